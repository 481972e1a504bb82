#pragma once
// MainWindowObject: the main window frmMainOSC as the host holds it. Besides the window itself it
// is the plug-in's command server and project hooks, and the host program's scripting handle.
// Each member forwards to the command server or to the windows; a failure leaves the member as
// an exception, which the host takes as the call's failure. It also hands the host the action
// table as JSON text and takes one back (IHostActions), with the key of each row
// (IHostRowKeys).
//
//   auto server = std::dynamic_pointer_cast<ICommandServer>(windows.mainWindowObject());
//   server->ExecuteCommand(Variant("1234"), Variant("toggle"), {}, {}, {});

#include "net/CommandServer.h"
#include "plugin/PlugInControllers.h"
#include "plugin/PlugInWindows.h"
#include "plugin/api/HostActions.h"
#include "plugin/api/HostControllers.h"
#include "plugin/api/HostRows.h"
#include "plugin/api/HostScripting.h"
#include "toolkit/WindowObject.h"

#include <functional>

namespace tarvex {

class MainWindowObject : public WindowObject,
                         public ICommandServer,
                         public IZelmoTool,
                         public IHostScripting,
                         public IHostListening,
                         public IHostActions,
                         public IHostRowKeys,
                         public IHostControllers {
public:
    // The state, the windows and the controllers are borrowed: valid while the registry is
    // attached.
    MainWindowObject(PlugInState &state, PlugInWindows &windows, PlugInControllers &controllers,
                     WindowRegistry &registry, WindowId id);

    // ICommandServer, in slot order.
    std::string Name() override;
    OptionListPtr GetFirstOptions() override;
    OptionListPtr GetSecondOptions(const Variant &firstSelection) override;
    Variant ExecuteCommand(const Variant &firstSelection, const Variant &secondSelection,
                           const Variant &newValue, const Variant &stream,
                           const Variant &additionalData) override;

    // IZelmoTool, in slot order.
    void ClearProjectData() override;
    void LoadProjectData() override;
    void SaveProjectData() override;
    // True when a project save would write something the plug-in's files do not hold yet.
    VBool AskToSaveProjectData() override;
    void SetViewMode(int32_t mode) override;

    // IHostScripting.
    void pressStart() override;
    void pressLearn() override;
    std::string serverCaption() override;
    std::string learnCaption() override;

    // IHostListening.
    std::string serverAddress() override;
    std::string serverPort() override;
    void listen(const std::string &address, const std::string &port) override;

    // IHostActions. An import is refused while learn mode runs (no row can be edited then), and
    // when the actions file could not hold its rows.
    std::string exportActions() override;
    ActionsImportResult importActions(const std::string &json) override;
    // Called as each row of an import is read (ActionsImportRules::rowRead): where tests make an
    // import fail at a chosen row.
    void setImportRowHook(std::function<void(size_t row)> hook)
    {
        m_importRowHook = std::move(hook);
    }

    // IHostRowKeys.
    std::vector<RowKey> rowKeys() override;

    // IHostControllers.
    ControllerTables controllerTables() override;
    FeedbackSettings feedback() override;
    void setFeedback(const FeedbackSettings &settings) override;

private:
    // The state and the windows, or error 91 once the plug-in has ended (the host may hold the
    // object longer).
    PlugInState &state();
    PlugInWindows &windows();

    PlugInControllers &controllers();
    // Brings the targets and a loaded editor up to date with an imported table.
    void showImportedTable();

    PlugInState &m_state;
    PlugInWindows &m_windows;
    PlugInControllers &m_controllers;
    std::function<void(size_t)> m_importRowHook;
};

} // namespace tarvex
