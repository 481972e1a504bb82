#pragma once
// IHostActions: offered by the plug-in's main-window object (the one its module information
// names), beside IHostScripting. The host reads the action table as JSON text and replaces it
// with one (docs/actions-json.md): its Project menu and the headless "actions export FILE",
// "actions import FILE" and "rows" go through it. An interface of its own, so that a plug-in
// built without it keeps working (those commands then fail with an error).
//
//   if (auto actions = std::dynamic_pointer_cast<IHostActions>(moduleInfo->mainWindow())) {
//       std::string text = actions->exportActions();
//       ActionsImportResult result = actions->importActions(text); // no errors: imported
//   }
//
// IHostActionEvents: offered by the host's helper, optional like the rest. The plug-in says
// that its action table changed (saved in its editor, rebuilt by a project save, replaced by a
// project load or an import), so that a host's view of the rows follows without a refresh.
//
//   if (auto events = std::dynamic_pointer_cast<IHostActionEvents>(helper))
//       events->actionsChanged();

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tarvex {

// An action number that several rows carry: a cue switches all of them.
struct SharedActionId {
    int32_t id;
    size_t rows;
    bool operator==(const SharedActionId &) const = default;
};

// What an import did. With errors (each naming the row and the field) nothing changed; without,
// the text's rows are the table: `actions` of them, and the numbers several of them share, in the
// order of their first row.
struct ActionsImportResult {
    std::vector<std::string> errors;
    size_t actions = 0;
    std::vector<SharedActionId> sharedIds;
};

class IHostActions {
public:
    virtual ~IHostActions() = default;
    // The action table as JSON text: the rows a project save would store from it (edits in an
    // open editor count once saved there).
    virtual std::string exportActions() = 0;
    // Checks every row and field of the text. With no error the text's rows replace the table,
    // an open editor shows them, and the next save stores them. Otherwise nothing changes and
    // the result holds the errors, each naming the row and the field.
    virtual ActionsImportResult importActions(const std::string &json) = 0;
};

class IHostActionEvents {
public:
    virtual ~IHostActionEvents() = default;
    // The table changed; read it when it suits (exportActions). Told from the event loop, once
    // for the changes that came together, never while the plug-in handles a datagram.
    virtual void actionsChanged() = 0;
};

} // namespace tarvex
