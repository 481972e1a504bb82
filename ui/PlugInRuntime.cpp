#include "ui/PlugInRuntime.h"

#include "core/Conversions.h"
#include "net/frmMainOSC.h"
#include "store/OSCSaver.h"

namespace tarvex {

PlugInRuntime::PlugInRuntime(std::unique_ptr<MessageBoxes> messageBoxes)
    : m_messageBoxes(std::move(messageBoxes))
{
    m_mainWindow =
        m_windows.add("frmMainOSC", [this] { return std::make_unique<frmMainOSC>(*this); });
    m_settingsWindow = m_windows.add("frmSettings", [this] { return createSettingsWindow(*this); });
}

PlugInRuntime::~PlugInRuntime() = default;

std::shared_ptr<WindowObject> PlugInRuntime::mainWindowObject()
{
    return m_windows.object(m_mainWindow);
}

frmMainOSC &PlugInRuntime::mainWindow()
{
    return m_windows.window<frmMainOSC>(m_mainWindow);
}

frmMainOSC *PlugInRuntime::loadedMainWindow() const
{
    return m_windows.loadedWindow<frmMainOSC>(m_mainWindow);
}

ActionsEditor &PlugInRuntime::actionsEditor()
{
    return dynamic_cast<ActionsEditor &>(m_windows.load(m_settingsWindow));
}

ActionsEditor *PlugInRuntime::loadedActionsEditor() const
{
    return dynamic_cast<ActionsEditor *>(m_windows.loaded(m_settingsWindow));
}

// --- Main window ---

void PlugInRuntime::signalReception()
{
    mainWindow().signalReception();
}

bool PlugInRuntime::socketOpen()
{
    return mainWindow().Winsock1->State() != Winsock::sckClosed;
}

// CMP is a plain member of the window: reading it does not load the window, and an unloaded
// window has none.
HostModulePtr PlugInRuntime::mainWindowHostModule()
{
    frmMainOSC *window = loadedMainWindow();
    return window ? window->CMP : nullptr;
}

std::string PlugInRuntime::mainAddress()
{
    return mainWindow().IP->text().toStdString();
}

std::string PlugInRuntime::mainPort()
{
    return mainWindow().Port->text().toStdString();
}

int16_t PlugInRuntime::autostartValue()
{
    return mainWindow().chkAutostart->isChecked() ? 1 : 0;
}

// --- Editor and analyzer ---
// EDITOR: until the actions editor (frmSettings) and the analyzer (frmAnalyzer) are registered,
// these answer as a freshly loaded editor and a closed analyzer would: learn mode off, an empty
// list, the editor's boxes as its load fills them from the settings. The editor's issue replaces
// each of them with a touch of the real window.

bool PlugInRuntime::learnModeOn()
{
    return false; // EDITOR: LearnButton caption == "Stop"
}

void PlugInRuntime::setReceived()
{
    // EDITOR: frmSettings.Received = true
}

int PlugInRuntime::actionListItemCount()
{
    return 0; // EDITOR: lvActions item count
}

void PlugInRuntime::setActionListItemChecked(int, bool)
{
    // EDITOR: lvActions item check box
}

bool PlugInRuntime::analyzerOpen()
{
    return false; // ANALYZER: frmAnalyzer.AnalyzerOpen
}

void PlugInRuntime::analyze(const osc::OSCMessages &)
{
    // ANALYZER: frmAnalyzer.Analyze; never called while analyzerOpen() is false.
}

std::string PlugInRuntime::editorAddress()
{
    loadSettings(m_state); // EDITOR: frmSettings.IP (its load fills it from slot 3)
    return toText(settingValue(m_state, setting::EditorAddress));
}

std::string PlugInRuntime::editorPort()
{
    loadSettings(m_state); // EDITOR: frmSettings.Port (its load fills it from slot 4)
    return toText(settingValue(m_state, setting::EditorPort));
}

} // namespace tarvex
