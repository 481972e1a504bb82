#pragma once
// CommandServer: what the host's cues see of the plug-in (the actions to pick and the three
// switches), and the project hooks that keep the actions file beside the host's project.
//
//   OptionListPtr actions = getFirstOptions(state);     // "1. /fader1" -> "1234"
//   executeCommand(state, Variant("1234"), Variant("toggle"));
//
// The window the host calls these through (the main window) stays thin: it forwards here, and
// hands the project hooks the few editor operations they need as a ProjectWindows.

#include "store/OSCSaver.h"
#include "store/PlugInState.h"

#include <optional>
#include <string_view>

namespace tarvex {

inline constexpr std::string_view CommandServerName = "Tarvex";

// The second options' values, compared exactly (case-sensitive) by executeCommand.
namespace command {
inline constexpr std::string_view Deactivate = "Deactivate";
inline constexpr std::string_view Activate = "Activate";
inline constexpr std::string_view Toggle = "toggle";
} // namespace command

// Runs loadSettings, then lists every row as "n. address" valued by its actionId as decimal
// text. A row whose entry cannot be made is left out and does not use up a number. The list is
// created through the host helper's typed view (error 424 when the host offered none).
OptionListPtr getFirstOptions(PlugInState &state);

// "Deaktivieren"/"Deactivate", "Aktivieren"/"Activate", "Toggeln"/"toggle", in that order.
OptionListPtr getSecondOptions(EngineState &state);

// Switches the action whose number firstSelection holds as secondSelection says. A first
// selection that is not a number raises error 13 before anything changes; a second selection
// that is none of the three values (in their exact spelling) changes nothing.
void executeCommand(EngineState &state, const Variant &firstSelection,
                    const Variant &secondSelection);

// The editor window as the project hooks need it; the main window implements it with the real
// editor, tests with a recording fake.
class ProjectWindows {
public:
    virtual ~ProjectWindows() = default;
    // Whether the editor window is loaded.
    virtual bool editorLoaded() = 0;
    // Unloads the editor window (its unsaved list edits are discarded); harmless when unloaded.
    virtual void unloadEditor() = 0;
    // rebuildActionTable: the editor's rows become the action table; without a loaded editor,
    // the table becomes what an editor filled from it would save.
    virtual void rebuildActionTable() = 0;
};

// The host opened a project: the editor goes, the table is erased and read from the new
// project's actions file, and the feedback settings from its network file. The settings are not
// read again.
void loadProjectData(PlugInState &state, ProjectWindows &windows);

// What a project save would take from the windows, found without loading, rebuilding or
// changing anything; the main window implements it with the real windows, tests with a fake.
class SaveQuestionWindows {
public:
    virtual ~SaveQuestionWindows() = default;
    // The settings a save would write: the boxes of a loaded window, for a window that is not
    // loaded the settings in memory (which it would show).
    virtual WindowSettings settingsToSave() = 0;
    // The action table the save's rebuild would leave, worked out from the editor's rows; the
    // table itself while the editor is not loaded (it would show the table's rows). Nothing
    // when the rebuild would make a new action, whose number it draws at random.
    virtual std::optional<VarArray> tableToSave() = 0;
};

// Whether a project save would write something the files do not hold now: other settings (the
// main window's address, port and autostart, the editor's address and port), other action rows
// or other feedback settings. Asking reads the files and writes nothing. False while the settings
// have not been loaded: nothing can have been changed then.
bool hasUnsavedChanges(PlugInState &state, SaveQuestionWindows &windows);

// The host is saving its project: the settings file is written, the table rebuilt from the
// editor and written to the actions file when it has at least one dimension, and the feedback
// settings written when they differ from the network file's.
//
// Writing the settings reads the editor's address and port, which loads the editor window while
// SavingSettings holds back its list fill. An editor loaded that way would show no rows, so it
// is unloaded again before the rebuild, which then works from the table.
void saveProjectData(PlugInState &state, ProjectWindows &windows);

} // namespace tarvex
