#pragma once
// PlugInLoader: one plug-in library, loaded. It opens the library, creates the plug-in's class
// through its entry point, hands it the host's helper and finds the interfaces the plug-in
// offers through its module information; unload() ends the plug-in again.
//
//   PlugInLoader plugIn;
//   plugIn.load("/opt/tarvex/libtarvex_plugin.so");  // throws std::runtime_error
//   plugIn.init(helper);                              // Init, ModuleInfo, PluginName
//   plugIn.tool()->LoadProjectData();
//   plugIn.mainWindow()->loadWindow();
//   plugIn.unload();                                  // Term, then the library goes
//
// Every object of the plug-in the host keeps (module information, main window, command server)
// is released before the class is deleted and the library unloaded: their code lives there.

#include "host/objects/HostModuleInfo.h"
#include "plugin/api/HostActions.h"
#include "plugin/api/HostControllers.h"
#include "plugin/api/HostRows.h"
#include "plugin/api/HostScripting.h"
#include "plugin/api/PlugInEntry.h"

#include <QLibrary>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tarvex::host {

// Runs a call into the plug-in and returns the text of its failure, or nothing when it succeeded.
// The text is copied while the exception is alive and the exception is gone when this returns:
// its object, type and text may live in the plug-in's library, which may be unloaded next.
std::optional<std::string> plugInFailureOf(const std::function<void()> &call);

class PlugInLoader {
public:
    PlugInLoader() = default;
    ~PlugInLoader();
    PlugInLoader(const PlugInLoader &) = delete;
    PlugInLoader &operator=(const PlugInLoader &) = delete;

    // Opens the library and creates the class. Throws std::runtime_error (no library, no entry
    // point, no class).
    void load(const QString &path);
    // Calls Init with the helper, then reads ModuleInfo and PluginName and finds the main
    // window, command server and project hooks. Throws std::runtime_error when Init fails or the
    // module information names no main window.
    void init(const ObjectPtr &helper, const std::string &callingAppTitle = "Tarvex Host");
    // Term (its failure is ignored), releases the plug-in's objects, deletes the class and
    // unloads the library. Harmless when nothing is loaded.
    void unload();

    bool isLoaded() const { return m_class != nullptr; }
    const QString &path() const { return m_path; }
    const std::string &name() const { return m_name; }
    IPlugInClass &plugInClass() { return *m_class; }
    const std::shared_ptr<HostModuleInfo> &moduleInfo() const { return m_info; }

    // The plug-in's interfaces; nullptr when it does not offer one.
    IExternalWindow *mainWindow() const { return m_window.get(); }
    ICommandServer *commandServer() const { return m_server.get(); }
    IZelmoTool *tool() const { return m_tool.get(); }
    IHostScripting *scripting() const { return m_scripting.get(); }
    IHostListening *listening() const { return m_listening.get(); }
    IHostActions *actions() const { return m_actions.get(); }
    IHostRowKeys *rowKeys() const { return m_rowKeys.get(); }
    IHostControllers *controllers() const { return m_controllers.get(); }

private:
    void releaseObjects();

    QLibrary m_library;
    QString m_path;
    std::unique_ptr<IPlugInClass> m_class;
    std::string m_name;
    std::shared_ptr<HostModuleInfo> m_info;
    std::shared_ptr<IExternalWindow> m_window;
    std::shared_ptr<ICommandServer> m_server;
    std::shared_ptr<IZelmoTool> m_tool;
    std::shared_ptr<IHostScripting> m_scripting;
    std::shared_ptr<IHostListening> m_listening;
    std::shared_ptr<IHostActions> m_actions;
    std::shared_ptr<IHostRowKeys> m_rowKeys;
    std::shared_ptr<IHostControllers> m_controllers;
};

// Where the host looks for the plug-in library when no path is given: beside its executable,
// then in ../lib/tarvex (the installed layout, cmake/Install.cmake), then in the build tree's
// plug-in folder next to the host's. The first that exists, or the first candidate when none does.
QString defaultPlugInPath();

} // namespace tarvex::host
