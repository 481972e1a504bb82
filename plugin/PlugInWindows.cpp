#include "plugin/PlugInWindows.h"

#include "net/frmMainOSC.h"
#include "toolkit/EventEdge.h"
#include "ui/analyzer/frmAnalyzer.h"
#include "ui/frmSettings.h"

#include <QEvent>
#include <QPointer>

#include <functional>

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

PlugInWindows::PlugInWindows(Factories factories)
{
    m_mainWindow = m_registry.add("frmMainOSC", std::move(factories.mainWindow),
                                  std::move(factories.mainWindowObject));
    m_settingsWindow = m_registry.add("frmSettings", std::move(factories.settingsWindow));
    m_analyzerWindow = m_registry.add(
        "frmAnalyzer", unloadedOnClose(m_analyzerWindow, std::move(factories.analyzer)));
    m_regexSyntaxWindow = m_registry.add(
        "frmRegexSyntax", unloadedOnClose(m_regexSyntaxWindow, std::move(factories.regexSyntax)));
}

// The window cannot be discarded inside its own close event: the unload is queued, and is
// dropped when the window has meanwhile been unloaded (and perhaps loaded afresh). `id` is read
// when a window is created, after its registration has set it.
WindowRegistry::FormFactory PlugInWindows::unloadedOnClose(const WindowId &id,
                                                           WindowRegistry::FormFactory create)
{
    return [this, &id, create = std::move(create)] {
        std::unique_ptr<FormWindow> window = create();
        QPointer<FormWindow> closing(window.get());
        const WindowId registered = id;
        new CloseWatcher(window.get(), [this, registered, closing] {
            QMetaObject::invokeMethod(
                &m_unloadContext,
                [this, registered, closing] {
                    if (closing && m_registry.loaded(registered) == closing.data())
                        runEvent("Form_Unload", [&] { m_registry.unload(registered); });
                },
                Qt::QueuedConnection);
        });
        return window;
    };
}

std::shared_ptr<WindowObject> PlugInWindows::mainWindowObject()
{
    return m_registry.object(m_mainWindow);
}

frmMainOSC &PlugInWindows::mainWindow()
{
    return m_registry.window<frmMainOSC>(m_mainWindow);
}

frmMainOSC *PlugInWindows::loadedMainWindow() const
{
    return m_registry.loadedWindow<frmMainOSC>(m_mainWindow);
}

frmSettings &PlugInWindows::settingsWindow()
{
    return m_registry.window<frmSettings>(m_settingsWindow);
}

frmSettings *PlugInWindows::loadedSettingsWindow() const
{
    return m_registry.loadedWindow<frmSettings>(m_settingsWindow);
}

frmAnalyzer &PlugInWindows::analyzer()
{
    return m_registry.window<frmAnalyzer>(m_analyzerWindow);
}

frmAnalyzer *PlugInWindows::loadedAnalyzer() const
{
    return m_registry.loadedWindow<frmAnalyzer>(m_analyzerWindow);
}

} // namespace tarvex
