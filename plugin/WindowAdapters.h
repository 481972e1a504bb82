#pragma once
// The ports the floors below declare, each answered by the plug-in's real windows: one small
// adapter per caller. Every answer touches the window that owns the control, as any other touch
// does, so asking may load a window (hidden); the comments of the ports say which.
//
//   EngineWindowsAdapter engineWindows(windows);
//   PlugInState state(engineWindows, settingsBoxes);   // the engine asks through it

#include "engine/EngineWindows.h"
#include "net/frmMainOSC.h"
#include "plugin/PlugInWindows.h"
#include "store/SettingsBoxes.h"
#include "toolkit/MessageBoxes.h"
#include "ui/EditorContext.h"
#include "ui/analyzer/AnalyzerContext.h"

namespace tarvex {

// Learn mode is armed exactly while the editor's learn button reads "Stop" (loads the editor).
bool learnModeOn(PlugInWindows &windows);

// What the engine asks while it handles datagrams, learns and switches actions.
class EngineWindowsAdapter final : public EngineWindows {
public:
    explicit EngineWindowsAdapter(PlugInWindows &windows) : m_windows(windows) {}

    void signalReception() override;
    bool socketOpen() override;
    HostModulePtr mainWindowHostModule() override;
    bool learnModeOn() override;
    void setReceived() override;
    int actionListItemCount() override;
    void setActionListItemChecked(int position, bool checked) override;
    bool analyzerOpen() override;
    void analyze(const osc::OSCMessages &messages) override;

private:
    PlugInWindows &m_windows;
};

// The five boxes the settings writer reads.
class SettingsBoxesAdapter final : public SettingsBoxes {
public:
    explicit SettingsBoxesAdapter(PlugInWindows &windows) : m_windows(windows) {}

    std::string mainAddress() override;
    std::string mainPort() override;
    int16_t autostartValue() override;
    std::string editorAddress() override;
    std::string editorPort() override;

private:
    PlugInWindows &m_windows;
};

// What the main window asks of the editor.
class LearnModeAdapter final : public LearnModeQuery {
public:
    explicit LearnModeAdapter(PlugInWindows &windows) : m_windows(windows) {}

    bool learnModeRunning() override;

private:
    PlugInWindows &m_windows;
};

// What the editor uses beyond its own controls.
class EditorContextAdapter final : public EditorContext {
public:
    EditorContextAdapter(PlugInState &state, MessageBoxes &messageBoxes, PlugInWindows &windows)
        : m_state(state), m_messageBoxes(messageBoxes), m_windows(windows)
    {}

    PlugInState &state() override { return m_state; }
    MessageBoxes &messageBoxes() override { return m_messageBoxes; }
    Winsock &lendMainSocket() override;
    void returnMainSocket() override;
    void showMainWindow() override;
    void showAnalyzer() override;

private:
    PlugInState &m_state;
    MessageBoxes &m_messageBoxes;
    PlugInWindows &m_windows;
};

// What the analyzer asks of the other windows.
class AnalyzerContextAdapter final : public AnalyzerContext {
public:
    AnalyzerContextAdapter(MessageBoxes &messageBoxes, PlugInWindows &windows)
        : m_messageBoxes(messageBoxes), m_windows(windows)
    {}

    bool learnModeOn() override;
    void clickLearnButton() override;
    void closeMainSocket() override;
    void showWarning(const std::string &text) override;
    void showRegexSyntax() override;

private:
    MessageBoxes &m_messageBoxes;
    PlugInWindows &m_windows;
};

} // namespace tarvex
