#pragma once
// ActionsEditor: what the other windows and the plug-in class ask of the actions editor
// (frmSettings). The editor window implements it; the runtime hands it out.
//
//   if (runtime.actionsEditor().learnCaption() == "Stop") ...   // loads the editor if needed
//   runtime.actionsEditor().LearnButton_Click();

#include <memory>
#include <string>

namespace tarvex {

class FormWindow;
class PlugInRuntime;

class ActionsEditor {
public:
    virtual ~ActionsEditor() = default;
    // The LearnButton caption: "Lernen", or "Stop" while learn mode runs.
    virtual std::string learnCaption() const = 0;
    // Starts or stops learn mode, as the button does.
    virtual void LearnButton_Click() = 0;
    // Turns the list's rows back into the action table.
    virtual void rebuildActionTable() = 0;
};

// Creates the editor window (not yet loaded); the registry loads it.
std::unique_ptr<FormWindow> createSettingsWindow(PlugInRuntime &runtime);

} // namespace tarvex
