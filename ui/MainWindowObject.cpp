#include "ui/MainWindowObject.h"

#include "net/frmMainOSC.h"
#include "ui/PlugInRuntime.h"
#include "ui/frmSettings.h"

namespace tarvex {
namespace {

// The editor as the project hooks need it: through the runtime's seam and registry.
class RuntimeProjectWindows : public ProjectWindows {
public:
    explicit RuntimeProjectWindows(PlugInRuntime &runtime) : m_runtime(runtime) {}
    bool editorLoaded() override { return m_runtime.loadedActionsEditor() != nullptr; }
    void unloadEditor() override { m_runtime.windows().unload(m_runtime.settingsWindowId()); }
    void rebuildActionTable() override { m_runtime.actionsEditor().rebuildActionTable(); }

private:
    PlugInRuntime &m_runtime;
};

// What a save would take from the windows: only windows that are loaded are read, so asking
// loads none.
class RuntimeSaveQuestion : public SaveQuestionWindows {
public:
    explicit RuntimeSaveQuestion(PlugInRuntime &runtime) : m_runtime(runtime) {}
    WindowSettings settingsToSave() override
    {
        WindowSettings values = shownSettings(m_runtime.state().settings);
        if (const frmMainOSC *main = m_runtime.loadedMainWindow()) {
            values.mainAddress = main->IP->text().toStdString();
            values.mainPort = main->Port->text().toStdString();
            values.autostart = main->chkAutostart->isChecked();
        }
        if (const frmSettings *editor = m_runtime.loadedSettingsWindow()) {
            values.editorAddress = editor->IP->text().toStdString();
            values.editorPort = editor->Port->text().toStdString();
        }
        return values;
    }
    std::optional<VarArray> tableToSave() override
    {
        frmSettings *editor = m_runtime.loadedSettingsWindow();
        if (!editor)
            return m_runtime.state().actionTable.rows();
        return editor->listEditor().tableToSave();
    }

private:
    PlugInRuntime &m_runtime;
};

} // namespace

MainWindowObject::MainWindowObject(PlugInRuntime &runtime, WindowRegistry &registry, WindowId id)
    : WindowObject(registry, id), m_runtime(&runtime)
{}

PlugInRuntime &MainWindowObject::runtime()
{
    registry(); // raises error 91 once the registry (and with it the runtime) is gone
    return *m_runtime;
}

std::string MainWindowObject::Name()
{
    return std::string(CommandServerName);
}

OptionListPtr MainWindowObject::GetFirstOptions()
{
    return getFirstOptions(runtime().state());
}

OptionListPtr MainWindowObject::GetSecondOptions(const Variant &)
{
    return getSecondOptions(runtime().state());
}

Variant MainWindowObject::ExecuteCommand(const Variant &firstSelection,
                                         const Variant &secondSelection, const Variant &,
                                         const Variant &, const Variant &)
{
    executeCommand(runtime().state(), firstSelection, secondSelection);
    return Variant();
}

void MainWindowObject::ClearProjectData() {}

void MainWindowObject::LoadProjectData()
{
    RuntimeProjectWindows windows(runtime());
    loadProjectData(runtime().state(), windows);
}

void MainWindowObject::SaveProjectData()
{
    RuntimeProjectWindows windows(runtime());
    saveProjectData(runtime().state(), windows);
}

VBool MainWindowObject::AskToSaveProjectData()
{
    RuntimeSaveQuestion windows(runtime());
    return toVBool(hasUnsavedChanges(runtime().state(), windows));
}

void MainWindowObject::SetViewMode(int32_t) {}

void MainWindowObject::pressStart()
{
    runtime().mainWindow().Start_Click();
}

void MainWindowObject::pressLearn()
{
    runtime().actionsEditor().LearnButton_Click();
}

std::string MainWindowObject::serverCaption()
{
    return runtime().mainWindow().caption();
}

std::string MainWindowObject::learnCaption()
{
    return runtime().actionsEditor().learnCaption();
}

std::string MainWindowObject::serverAddress()
{
    return runtime().mainAddress();
}

std::string MainWindowObject::serverPort()
{
    return runtime().mainPort();
}

void MainWindowObject::listen(const std::string &address, const std::string &port)
{
    runtime().mainWindow().listenOn(address, port);
}

} // namespace tarvex
