#include "plugin/WindowAdapters.h"

#include "ui/analyzer/frmAnalyzer.h"
#include "ui/frmSettings.h"

namespace tarvex {

bool learnModeOn(PlugInWindows &windows)
{
    return windows.settingsWindow().learnCaptionIs(CaptionLearnStop);
}

// --- The engine ---

void EngineWindowsAdapter::signalReception()
{
    m_windows.mainWindow().signalReception();
}

bool EngineWindowsAdapter::socketOpen()
{
    return m_windows.mainWindow().Winsock1->State() != Winsock::sckClosed;
}

// CMP is a plain member of the window: reading it does not load the window, and an unloaded
// window has none.
HostModulePtr EngineWindowsAdapter::mainWindowHostModule()
{
    frmMainOSC *window = m_windows.loadedMainWindow();
    return window ? window->CMP : nullptr;
}

bool EngineWindowsAdapter::learnModeOn()
{
    return tarvex::learnModeOn(m_windows);
}

void EngineWindowsAdapter::setReceived()
{
    m_windows.settingsWindow().Received = true;
}

int EngineWindowsAdapter::actionListItemCount()
{
    return m_windows.settingsWindow().lvActions->list()->rowCount();
}

void EngineWindowsAdapter::setActionListItemChecked(int position, bool checked)
{
    m_windows.settingsWindow().lvActions->list()->row(position)->setChecked(checked);
}

// Asking the analyzer touches it: when it is not there it is created and loaded hidden, and a
// loaded analyzer is open until its unload (a closed one reads false until the registry has
// discarded it). The engine asks only while learn mode is armed.
bool EngineWindowsAdapter::analyzerOpen()
{
    return m_windows.analyzer().AnalyzerOpen;
}

void EngineWindowsAdapter::analyze(const osc::OSCMessages &messages)
{
    m_windows.analyzer().Analyze(messages);
}

// --- The settings writer ---

std::string SettingsBoxesAdapter::mainAddress()
{
    return m_windows.mainWindow().IP->text().toStdString();
}

std::string SettingsBoxesAdapter::mainPort()
{
    return m_windows.mainWindow().Port->text().toStdString();
}

int16_t SettingsBoxesAdapter::autostartValue()
{
    return m_windows.mainWindow().chkAutostart->isChecked() ? 1 : 0;
}

// While the settings writer runs, loading the editor fills only these boxes, not the list.
std::string SettingsBoxesAdapter::editorAddress()
{
    return m_windows.settingsWindow().IP->text().toStdString();
}

std::string SettingsBoxesAdapter::editorPort()
{
    return m_windows.settingsWindow().Port->text().toStdString();
}

// --- The main window ---

bool LearnModeAdapter::learnModeRunning()
{
    return m_windows.loadedSettingsWindow() && learnModeOn(m_windows);
}

// --- The editor ---

Winsock &EditorContextAdapter::lendMainSocket()
{
    frmMainOSC &main = m_windows.mainWindow();
    main.lendSocket();
    return *main.Winsock1;
}

void EditorContextAdapter::returnMainSocket()
{
    if (frmMainOSC *main = m_windows.loadedMainWindow())
        main->socketReturned();
}

void EditorContextAdapter::showMainWindow()
{
    m_windows.show(m_windows.mainWindowId());
}

void EditorContextAdapter::showAnalyzer()
{
    m_windows.show(m_windows.analyzerWindowId());
}

// --- The analyzer ---

bool AnalyzerContextAdapter::learnModeOn()
{
    return tarvex::learnModeOn(m_windows);
}

void AnalyzerContextAdapter::clickLearnButton()
{
    m_windows.settingsWindow().LearnButton_Click();
}

void AnalyzerContextAdapter::closeMainSocket()
{
    m_windows.mainWindow().Winsock1->Close();
}

void AnalyzerContextAdapter::showWarning(const std::string &text)
{
    m_messageBoxes.show(text, MessageIcon::Exclamation);
}

void AnalyzerContextAdapter::showRegexSyntax()
{
    m_windows.show(m_windows.regexSyntaxWindowId());
}

} // namespace tarvex
