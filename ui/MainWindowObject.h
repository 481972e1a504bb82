#pragma once
// MainWindowObject: the main window frmMainOSC as the host holds it. Besides the window itself it
// is the plug-in's command server and project hooks, and the host program's scripting handle.
// Each member forwards to the engine's command server or to the windows; a failure leaves the
// member as an exception, which the host takes as the call's failure.
//
//   auto server = std::dynamic_pointer_cast<ICommandServer>(runtime.mainWindowObject());
//   server->ExecuteCommand(Variant("1234"), Variant("toggle"), {}, {}, {});

#include "net/CommandServer.h"
#include "plugin/api/HostScripting.h"
#include "toolkit/WindowObject.h"

namespace tarvex {

class PlugInRuntime;

class MainWindowObject : public WindowObject,
                         public ICommandServer,
                         public IZelmoTool,
                         public IHostScripting,
                         public IHostListening {
public:
    MainWindowObject(PlugInRuntime &runtime, WindowRegistry &registry, WindowId id);

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

private:
    // The runtime, or error 91 once the plug-in has ended (the host may hold the object longer).
    PlugInRuntime &runtime();

    PlugInRuntime *m_runtime; // borrowed; valid while the registry is attached
};

} // namespace tarvex
