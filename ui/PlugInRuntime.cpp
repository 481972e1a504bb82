#include "ui/PlugInRuntime.h"

#include "core/Conversions.h"
#include "net/frmMainOSC.h"
#include "store/OSCSaver.h"
#include "toolkit/EventEdge.h"
#include "ui/MainWindowObject.h"
#include "ui/analyzer/frmAnalyzer.h"
#include "ui/analyzer/frmRegexSyntax.h"
#include "ui/frmSettings.h"

#include <QEvent>
#include <QPointer>

namespace tarvex {
namespace {

// Watches one window for its close event and hands it to a callback.
class CloseWatcher : public QObject {
public:
    CloseWatcher(QObject *window, std::function<void()> onClose)
        : QObject(window), m_onClose(std::move(onClose))
    {
        window->installEventFilter(this);
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Close)
            m_onClose();
        return false;
    }

private:
    std::function<void()> m_onClose;
};

} // namespace

PlugInRuntime::PlugInRuntime(std::unique_ptr<MessageBoxes> messageBoxes)
    : m_messageBoxes(std::move(messageBoxes))
{
    m_mainWindow = m_windows.add(
        "frmMainOSC",
        [this] { return std::make_unique<frmMainOSC>(m_state, *m_messageBoxes, *this); },
        [this](WindowRegistry &registry, WindowId id) {
            return std::make_shared<MainWindowObject>(*this, registry, id);
        });
    m_settingsWindow = m_windows.add("frmSettings", [this] { return createSettingsWindow(*this); });
    m_analyzerWindow = m_windows.add("frmAnalyzer", [this] {
        auto window = std::make_unique<frmAnalyzer>(*this);
        unloadOnClose(m_analyzerWindow, *window);
        return window;
    });
    m_regexSyntaxWindow = m_windows.add("frmRegexSyntax", [this] {
        auto window = std::make_unique<frmRegexSyntax>();
        unloadOnClose(m_regexSyntaxWindow, *window);
        return window;
    });
}

// The window cannot be discarded inside its own close event: the unload is queued, and is
// dropped when the window has meanwhile been unloaded (and perhaps loaded afresh).
void PlugInRuntime::unloadOnClose(WindowId id, FormWindow &window)
{
    QPointer<FormWindow> closing(&window);
    new CloseWatcher(&window, [this, id, closing] {
        QMetaObject::invokeMethod(
            &m_unloadContext,
            [this, id, closing] {
                if (closing && m_windows.loaded(id) == closing.data())
                    runEvent("Form_Unload", [this, id] { m_windows.unload(id); });
            },
            Qt::QueuedConnection);
    });
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

// Learn mode is armed exactly while the editor's learn button reads "Stop".
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
// Asking the analyzer touches it: when it is not there it is created and loaded hidden, and a
// loaded analyzer is open until its unload (a closed one reads false until the registry has
// discarded it). The engine asks only while learn mode is armed.
bool PlugInRuntime::analyzerOpen()
{
    return m_windows.window<frmAnalyzer>(m_analyzerWindow).AnalyzerOpen;
}

void PlugInRuntime::analyze(const osc::OSCMessages &messages)
{
    m_windows.window<frmAnalyzer>(m_analyzerWindow).Analyze(messages);
}

frmAnalyzer *PlugInRuntime::loadedAnalyzer() const
{
    return m_windows.loadedWindow<frmAnalyzer>(m_analyzerWindow);
}

void PlugInRuntime::showAnalyzer()
{
    FormWindow &window = m_windows.load(m_analyzerWindow);
    window.show();
    window.raise();
}

// --- What the analyzer asks of the others ---

void PlugInRuntime::clickLearnButton()
{
    actionsEditor().LearnButton_Click();
}

void PlugInRuntime::closeMainSocket()
{
    mainWindow().Winsock1->Close();
}

void PlugInRuntime::showWarning(const std::string &text)
{
    m_messageBoxes->show(text, MessageIcon::Exclamation);
}

void PlugInRuntime::showRegexSyntax()
{
    FormWindow &window = m_windows.load(m_regexSyntaxWindow);
    window.show();
    window.raise();
}

// While the settings writer runs, loading the editor fills only these boxes, not the list.
std::string PlugInRuntime::editorAddress()
{
    return settingsWindow().IP->text().toStdString();
}

bool PlugInRuntime::learnModeRunning()
{
    return loadedActionsEditor() && learnModeOn();
}

std::string PlugInRuntime::editorPort()
{
    return settingsWindow().Port->text().toStdString();
}

} // namespace tarvex
