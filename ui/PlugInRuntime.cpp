#include "ui/PlugInRuntime.h"

#include "core/Conversions.h"
#include "net/frmMainOSC.h"
#include "store/OSCSaver.h"
#include "ui/frmSettings.h"

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

frmSettings &PlugInRuntime::settingsWindow()
{
    return m_windows.window<frmSettings>(m_settingsWindow);
}

frmSettings *PlugInRuntime::loadedSettingsWindow() const
{
    return m_windows.loadedWindow<frmSettings>(m_settingsWindow);
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

// --- Editor ---
// Each answer touches the editor window, which loads it (hidden) when it is not loaded yet.

bool PlugInRuntime::learnModeOn()
{
    return settingsWindow().learnCaption() == CaptionLearnStop;
}

void PlugInRuntime::setReceived()
{
    settingsWindow().Received = true;
}

int PlugInRuntime::actionListItemCount()
{
    return settingsWindow().lvActions->list()->rowCount();
}

void PlugInRuntime::setActionListItemChecked(int position, bool checked)
{
    settingsWindow().lvActions->list()->row(position)->setChecked(checked);
}

// --- Analyzer ---

bool PlugInRuntime::analyzerOpen()
{
    return false; // ANALYZER: frmAnalyzer.AnalyzerOpen
}

void PlugInRuntime::analyze(const osc::OSCMessages &)
{
    // ANALYZER: frmAnalyzer.Analyze; never called while analyzerOpen() is false.
}

// While the settings writer runs, loading the editor fills only these boxes, not the list.
std::string PlugInRuntime::editorAddress()
{
    return settingsWindow().IP->text().toStdString();
}

std::string PlugInRuntime::editorPort()
{
    return settingsWindow().Port->text().toStdString();
}

} // namespace tarvex
