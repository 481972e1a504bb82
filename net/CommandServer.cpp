#include "net/CommandServer.h"

#include "core/Conversions.h"
#include "core/VbError.h"
#include "engine/OSCHandler.h"
#include "store/ArrayFile.h"
#include "store/NetworkFile.h"

#include <string>

namespace tarvex {

namespace {

OptionListPtr newOptionList(const EngineState &state)
{
    OptionListPtr list = requiredHostModule(state.hostHelper)->NewOptionList();
    if (!list)
        raise(errc::ObjectRequired);
    return list;
}

// Adds the entry of the row at `index`; false when the row cannot give one.
bool addRowEntry(IOptionList &list, const VarArray &rows, int32_t index, int32_t number)
{
    try {
        const VarArray *row = rowAt(rows, index);
        if (!row)
            return false;
        std::string caption = std::to_string(number) + ". " + toText((*row)[rowField::Address]);
        std::string value = toText((*row)[rowField::ActionId]);
        list.AddEntry(caption, value);
        return true;
    } catch (const VbError &) {
        return false;
    }
}

// Unloads the editor again when the settings writer was the one to load it.
void unloadIfLoadedSince(ProjectWindows &windows, bool wasLoaded)
{
    if (!wasLoaded && windows.editorLoaded())
        windows.unloadEditor();
}

} // namespace

OptionListPtr getFirstOptions(PlugInState &state)
{
    loadSettings(state);
    OptionListPtr list = newOptionList(state);
    const VarArray &rows = state.actionTable.rows();
    if (!rows.isDimensioned())
        return list;
    int32_t number = 1;
    for (int32_t i = rows.lowerBound(); i <= rows.upperBound(); ++i)
        if (addRowEntry(*list, rows, i, number))
            ++number;
    return list;
}

OptionListPtr getSecondOptions(EngineState &state)
{
    OptionListPtr list = newOptionList(state);
    list->AddEntry("Deaktivieren", std::string(command::Deactivate));
    list->AddEntry("Aktivieren", std::string(command::Activate));
    list->AddEntry("Toggeln", std::string(command::Toggle));
    return list;
}

void executeCommand(EngineState &state, const Variant &firstSelection,
                    const Variant &secondSelection)
{
    const int32_t id = toLong(firstSelection);
    const bool active = isActionActivated(state, id);
    const std::string what = secondSelection.isString() ? secondSelection.asString() : "";
    if (active && (what == command::Deactivate || what == command::Toggle))
        deactivateAction(state, id);
    else if (!active && (what == command::Toggle || what == command::Activate))
        activateAction(state, id);
}

void loadProjectData(PlugInState &state, ProjectWindows &windows)
{
    windows.unloadEditor();
    reloadActionTable(state);
    tellHost(state, loadNetworkSettings(state));
}

bool hasUnsavedChanges(PlugInState &state, SaveQuestionWindows &windows)
{
    if (!state.settingsLoaded)
        return false;
    if (settingsFileDiffers(state, windows.settingsToSave()) || networkSettingsUnsaved(state))
        return true;
    const std::optional<VarArray> table = windows.tableToSave();
    if (!table)
        return true;
    // A save writes the actions file only for a table with rows.
    return table->isDimensioned() && !arrayFileHolds(actionsFilePath(state), *table);
}

void saveProjectData(PlugInState &state, ProjectWindows &windows)
{
    const bool wasLoaded = windows.editorLoaded();
    try {
        saveSettings(state);
    } catch (...) {
        // Also on failure: an editor left loaded that way would show an empty list, and saving
        // it would erase the table.
        unloadIfLoadedSince(windows, wasLoaded);
        throw;
    }
    unloadIfLoadedSince(windows, wasLoaded);
    windows.rebuildActionTable();
    saveActionTable(state);
    saveNetworkSettings(state);
}

} // namespace tarvex
