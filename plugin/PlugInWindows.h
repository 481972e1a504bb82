#pragma once
// PlugInWindows: the plug-in's four windows in their registry, reached by what they are. A touch
// (mainWindow(), settingsWindow(), analyzer()) loads the window, hidden, when it is not loaded;
// loadedX() never loads. The analyzer and its syntax help are unloaded when the user closes
// them by their close box; the main window and the editor only hide.
//
//   PlugInWindows windows(factories);        // registers the four; nothing is created yet
//   auto object = windows.mainWindowObject(); // what the host gets
//   windows.mainWindow().Start_Click();       // loads frmMainOSC (Form_Load) first

#include "toolkit/WindowObject.h"
#include "toolkit/WindowRegistry.h"

#include <QObject>

#include <memory>

namespace tarvex {

class frmAnalyzer;
class frmMainOSC;
class frmSettings;

class PlugInWindows {
public:
    // How each window is created; the main window also has an object of its own for the host.
    struct Factories {
        WindowRegistry::FormFactory mainWindow;
        WindowRegistry::ObjectFactory mainWindowObject;
        WindowRegistry::FormFactory settingsWindow;
        WindowRegistry::FormFactory analyzer;
        WindowRegistry::FormFactory regexSyntax;
    };

    explicit PlugInWindows(Factories factories);
    PlugInWindows(const PlugInWindows &) = delete;
    PlugInWindows &operator=(const PlugInWindows &) = delete;

    WindowRegistry &registry() { return m_registry; }
    WindowId mainWindowId() const { return m_mainWindow; }
    WindowId settingsWindowId() const { return m_settingsWindow; }
    WindowId analyzerWindowId() const { return m_analyzerWindow; }
    WindowId regexSyntaxWindowId() const { return m_regexSyntaxWindow; }

    // The main window's object (created, never loaded by this call) and the window.
    std::shared_ptr<WindowObject> mainWindowObject();
    frmMainOSC &mainWindow();
    frmMainOSC *loadedMainWindow() const;
    // The actions editor.
    frmSettings &settingsWindow();
    frmSettings *loadedSettingsWindow() const;
    // The analyzer.
    frmAnalyzer &analyzer();
    frmAnalyzer *loadedAnalyzer() const;

    // Shows the window on top, loading it first if needed.
    void show(WindowId id) { m_registry.show(id); }

private:
    // A window closed by its close box is unloaded once its close event is over.
    WindowRegistry::FormFactory unloadedOnClose(const WindowId &id,
                                                WindowRegistry::FormFactory create);

    WindowId m_mainWindow = 0;
    WindowId m_settingsWindow = 0;
    WindowId m_analyzerWindow = 0;
    WindowId m_regexSyntaxWindow = 0;
    // After the ids: the windows it unloads on its way out may still reach them.
    WindowRegistry m_registry;
    // Receives the deferred unloads of closed windows; goes first, so none runs afterwards.
    QObject m_unloadContext;
};

} // namespace tarvex
