#include "plugin/MainWindowObject.h"

#include "engine/ObjectHandler.h"
#include "net/frmMainOSC.h"
#include "store/ArrayCodec.h"
#include "ui/editor/ActionsJson.h"
#include "ui/frmSettings.h"

namespace tarvex {
namespace {

// The editor as the project hooks need it.
class EditorForProject : public ProjectWindows {
public:
    EditorForProject(PlugInState &state, PlugInWindows &windows)
        : m_state(state), m_windows(windows)
    {}
    bool editorLoaded() override { return m_windows.loadedSettingsWindow() != nullptr; }
    void unloadEditor() override { m_windows.registry().unload(m_windows.settingsWindowId()); }
    // An editor that is not loaded would show the table's rows: the table is made what its
    // rebuild would leave without filling a list, which for a show of many thousands of rows
    // takes many times the time and memory of the save.
    void rebuildActionTable() override
    {
        if (frmSettings *editor = m_windows.loadedSettingsWindow()) {
            editor->rebuildActionTable();
            return;
        }
        makeRowsAsTheEditorSavesThem(m_state.actionTable.edit());
        releaseUnusedTargets(m_state);
    }

private:
    PlugInState &m_state;
    PlugInWindows &m_windows;
};

// What a save would take from the windows: only windows that are loaded are read, so asking
// loads none.
class WindowsForSaveQuestion : public SaveQuestionWindows {
public:
    WindowsForSaveQuestion(const PlugInState &state, PlugInWindows &windows)
        : m_state(state), m_windows(windows)
    {}
    WindowSettings settingsToSave() override
    {
        WindowSettings values = shownSettings(m_state.settings);
        if (const frmMainOSC *main = m_windows.loadedMainWindow()) {
            values.mainAddress = main->IP->text().toStdString();
            values.mainPort = main->Port->text().toStdString();
            values.autostart = main->chkAutostart->isChecked();
        }
        if (const frmSettings *editor = m_windows.loadedSettingsWindow()) {
            values.editorAddress = editor->IP->text().toStdString();
            values.editorPort = editor->Port->text().toStdString();
        }
        return values;
    }
    std::optional<VarArray> tableToSave() override
    {
        frmSettings *editor = m_windows.loadedSettingsWindow();
        if (editor)
            return editor->listEditor().tableToSave();
        VarArray table = m_state.actionTable.rows();
        makeRowsAsTheEditorSavesThem(table);
        return table;
    }

private:
    const PlugInState &m_state;
    PlugInWindows &m_windows;
};

ActionsImportResult refused(std::vector<std::string> errors)
{
    ActionsImportResult result;
    result.errors = std::move(errors);
    return result;
}

} // namespace

MainWindowObject::MainWindowObject(PlugInState &state, PlugInWindows &windows,
                                   PlugInControllers &controllers, WindowRegistry &registry,
                                   WindowId id)
    : WindowObject(registry, id), m_state(state), m_windows(windows), m_controllers(controllers)
{}

PlugInState &MainWindowObject::state()
{
    registry(); // raises error 91 once the registry (and with it the plug-in) is gone
    return m_state;
}

PlugInWindows &MainWindowObject::windows()
{
    registry();
    return m_windows;
}

PlugInControllers &MainWindowObject::controllers()
{
    registry();
    return m_controllers;
}

std::string MainWindowObject::Name()
{
    return std::string(CommandServerName);
}

OptionListPtr MainWindowObject::GetFirstOptions()
{
    return getFirstOptions(state());
}

OptionListPtr MainWindowObject::GetSecondOptions(const Variant &)
{
    return getSecondOptions(state());
}

Variant MainWindowObject::ExecuteCommand(const Variant &firstSelection,
                                         const Variant &secondSelection, const Variant &,
                                         const Variant &, const Variant &)
{
    executeCommand(state(), firstSelection, secondSelection);
    return Variant();
}

void MainWindowObject::ClearProjectData() {}

void MainWindowObject::LoadProjectData()
{
    EditorForProject editor(state(), windows());
    loadProjectData(state(), editor);
}

void MainWindowObject::SaveProjectData()
{
    EditorForProject editor(state(), windows());
    saveProjectData(state(), editor);
}

VBool MainWindowObject::AskToSaveProjectData()
{
    WindowsForSaveQuestion question(state(), windows());
    return toVBool(hasUnsavedChanges(state(), question));
}

void MainWindowObject::SetViewMode(int32_t) {}

void MainWindowObject::pressStart()
{
    windows().mainWindow().Start_Click();
}

void MainWindowObject::pressLearn()
{
    windows().settingsWindow().LearnButton_Click();
}

std::string MainWindowObject::serverCaption()
{
    return windows().mainWindow().caption();
}

std::string MainWindowObject::learnCaption()
{
    return windows().settingsWindow().learnCaption();
}

std::string MainWindowObject::serverAddress()
{
    return windows().mainWindow().IP->text().toStdString();
}

std::string MainWindowObject::serverPort()
{
    return windows().mainWindow().Port->text().toStdString();
}

void MainWindowObject::listen(const std::string &address, const std::string &port)
{
    windows().mainWindow().listenOn(address, port);
}

std::string MainWindowObject::exportActions()
{
    return exportActionsJson(state().actionTable.rows());
}

std::vector<RowKey> MainWindowObject::rowKeys()
{
    PlugInState &plugInState = state();
    const std::span<const RowKey> keys = plugInState.rowKeys.keysOf(plugInState.actionTable);
    const VarArray &rows = plugInState.actionTable.rows();
    // The export leaves out elements that are no whole rows, and so do their keys.
    std::vector<RowKey> exported;
    for (size_t i = 0; i < keys.size(); ++i)
        if (isWholeRow(rows.elements()[i]))
            exported.push_back(keys[i]);
    return exported;
}

ActionsImportResult MainWindowObject::importActions(const std::string &json)
{
    PlugInState &plugInState = state();
    const frmSettings *editor = windows().loadedSettingsWindow();
    if (editor && editor->learnCaption() == CaptionLearnStop)
        return refused({"learn mode is running: stop it before importing actions"});
    ActionsImport read = importActionsJson(
        json, {.storedText = arraycodec::whyTextCannotBeStored, .rowRead = m_importRowHook});
    if (!read.table)
        return refused(std::move(read.errors));
    if (std::optional<std::string> why = whyActionsFileCannotHold(*read.table))
        return refused({*why});
    const size_t actions = read.table->size();
    // The one step that changes the show: the table is swapped whole.
    plugInState.actionTable.replace(std::move(*read.table));
    showImportedTable();
    return {{}, actions, std::move(read.sharedIds)};
}

// The table is imported by now, and nothing here can undo that. Releasing a target the host
// refuses to release keeps it cached until the next release. An editor that could not be filled
// is closed rather than left with part of the rows, which its next save would make the table.
void MainWindowObject::showImportedTable()
{
    try {
        releaseUnusedTargets(state());
    } catch (...) {
    }
    // Host calls have run (releasing targets): the editor is looked up afresh.
    frmSettings *loaded = windows().loadedSettingsWindow();
    if (!loaded)
        return;
    try {
        loaded->refillList();
    } catch (...) {
        windows().registry().unload(windows().settingsWindowId());
    }
}

ControllerTables MainWindowObject::controllerTables()
{
    return controllers().tables();
}

FeedbackSettings MainWindowObject::feedback()
{
    loadSettings(state()); // the project's file, when nothing has read it yet
    return state().feedback;
}

void MainWindowObject::setFeedback(const FeedbackSettings &settings)
{
    controllers().setFeedback(settings);
}

} // namespace tarvex
