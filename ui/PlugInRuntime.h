#pragma once
// PlugInRuntime: everything of the plug-in that lives from Init to the end: the plug-in state,
// the windows and the message-box service. It is also what the engine asks of the windows
// (EngineWindows): each answer touches the window that owns the control, as any other touch
// does. The plug-in class owns one runtime; tests make a fresh one.
//
//   PlugInRuntime runtime(std::make_unique<QtMessageBoxes>());
//   runtime.state().hostHelper = helper;
//   auto window = runtime.mainWindowObject();   // what the host gets; nothing loaded yet
//   window->showWindow();                      // loads frmMainOSC (Form_Load) and shows it
//
// A window is added by writing its class and registering it in the constructor.

#include "net/frmMainOSC.h"
#include "store/PlugInState.h"
#include "toolkit/MessageBoxes.h"
#include "toolkit/WindowObject.h"
#include "toolkit/WindowRegistry.h"
#include "ui/ActionsEditor.h"
#include "ui/analyzer/AnalyzerContext.h"

#include <QObject>

#include <memory>

namespace tarvex {

class frmAnalyzer;
class frmSettings;

class PlugInRuntime : public EngineWindows,
                      public SettingsBoxes,
                      public AnalyzerContext,
                      public LearnModeQuery {
public:
    explicit PlugInRuntime(std::unique_ptr<MessageBoxes> messageBoxes);
    ~PlugInRuntime() override;
    PlugInRuntime(const PlugInRuntime &) = delete;
    PlugInRuntime &operator=(const PlugInRuntime &) = delete;

    PlugInState &state() { return m_state; }
    MessageBoxes &messageBoxes() { return *m_messageBoxes; }
    WindowRegistry &windows() { return m_windows; }

    // The main window: its object (created, not loaded), the window (loaded if needed), and
    // the window only if it is loaded.
    WindowId mainWindowId() const { return m_mainWindow; }
    std::shared_ptr<WindowObject> mainWindowObject();
    frmMainOSC &mainWindow();
    frmMainOSC *loadedMainWindow() const;

    // The actions editor (frmSettings): its id, the editor (loaded if needed), and the editor only
    // if it is loaded.
    WindowId settingsWindowId() const { return m_settingsWindow; }
    ActionsEditor &actionsEditor();
    ActionsEditor *loadedActionsEditor() const;
    // The editor window with its controls (loaded if needed), and only if it is loaded.
    frmSettings &settingsWindow();
    frmSettings *loadedSettingsWindow() const;

    // The analyzer (frmAnalyzer): its id, and the window only if it is loaded. Closing it (or
    // the syntax help) by the window's close box unloads it.
    WindowId analyzerWindowId() const { return m_analyzerWindow; }
    WindowId regexSyntaxWindowId() const { return m_regexSyntaxWindow; }
    frmAnalyzer *loadedAnalyzer() const;
    // The editor's "Analyzer" button: shows the analyzer, loading it first if needed.
    void showAnalyzer();

    // EngineWindows (learnModeOn also answers the analyzer).
    void signalReception() override;
    bool socketOpen() override;
    HostModulePtr mainWindowHostModule() override;
    bool learnModeOn() override;
    void setReceived() override;
    int actionListItemCount() override;
    void setActionListItemChecked(int position, bool checked) override;
    bool analyzerOpen() override;
    void analyze(const osc::OSCMessages &messages) override;

    // SettingsBoxes.
    std::string mainAddress() override;
    std::string mainPort() override;
    int16_t autostartValue() override;
    std::string editorAddress() override;
    std::string editorPort() override;

    // AnalyzerContext.
    void clickLearnButton() override;
    void closeMainSocket() override;
    void showWarning(const std::string &text) override;
    void showRegexSyntax() override;

    // LearnModeQuery: learn mode runs in a loaded editor only.
    bool learnModeRunning() override;

private:
    // A window closed by its close box is unloaded once its close event is over.
    void unloadOnClose(WindowId id, FormWindow &window);

    std::unique_ptr<MessageBoxes> m_messageBoxes;
    PlugInState m_state{*this, *this};
    // Declared last: the windows go first, while the state they use still exists.
    WindowRegistry m_windows;
    WindowId m_mainWindow;
    WindowId m_settingsWindow;
    WindowId m_analyzerWindow;
    WindowId m_regexSyntaxWindow;
    // Receives the deferred unloads of closed windows; goes first, so none runs afterwards.
    QObject m_unloadContext;
};

} // namespace tarvex
