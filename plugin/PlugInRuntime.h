#pragma once
// PlugInRuntime: the plug-in wired together, from creation to the end. It owns the message-box
// service, the state, the windows and the ports through which the floors below reach the
// windows, and hands each window what it uses. The plug-in class owns one runtime; tests make a
// fresh one.
//
//   PlugInRuntime runtime(std::make_unique<QtMessageBoxes>());
//   runtime.state().hostHelper = helper;
//   auto window = runtime.windows().mainWindowObject();   // what the host gets; nothing loaded
//   window->showWindow();                                 // loads frmMainOSC (Form_Load), shows it
//
// A window is added by writing its class, registering it in PlugInWindows and creating it in
// windowFactories() with what it uses.

#include "plugin/ActionTableNews.h"
#include "plugin/PlugInControllers.h"
#include "plugin/PlugInWindows.h"
#include "plugin/WindowAdapters.h"
#include "store/PlugInState.h"
#include "toolkit/MessageBoxes.h"

#include <memory>

namespace tarvex {

class PlugInRuntime {
public:
    explicit PlugInRuntime(std::unique_ptr<MessageBoxes> messageBoxes);
    ~PlugInRuntime();
    PlugInRuntime(const PlugInRuntime &) = delete;
    PlugInRuntime &operator=(const PlugInRuntime &) = delete;

    PlugInState &state() { return m_state; }
    MessageBoxes &messageBoxes() { return *m_messageBoxes; }
    PlugInWindows &windows() { return m_windows; }
    // What the analyzer is handed (its tests drive the wiring through it).
    AnalyzerContext &analyzerContext() { return m_analyzerContext; }
    // The controllers on the network.
    PlugInControllers &controllers() { return m_controllers; }

private:
    PlugInWindows::Factories windowFactories();

    std::unique_ptr<MessageBoxes> m_messageBoxes;
    // The ports hold the windows by reference before the windows are built: nothing asks them
    // before this constructor has run.
    EngineWindowsAdapter m_engineWindows{m_windows};
    SettingsBoxesAdapter m_settingsBoxes{m_windows};
    PlugInState m_state{m_engineWindows, m_settingsBoxes};
    LearnModeAdapter m_learnMode{m_windows};
    EditorContextAdapter m_editorContext{m_state, *m_messageBoxes, m_windows};
    AnalyzerContextAdapter m_analyzerContext{*m_messageBoxes, m_windows};
    // Before the windows: the main window's socket tells it of its closing when it goes.
    PlugInControllers m_controllers{m_state, m_windows};
    // Before the windows too: unloading the editor may still change the table.
    ActionTableNews m_actionTableNews{m_state};
    // Declared last: the windows go first, while the state and the ports they use still exist.
    PlugInWindows m_windows;
};

} // namespace tarvex
