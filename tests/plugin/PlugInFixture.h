#pragma once
// A plug-in class as the host creates it, on a recording host helper that also makes the host's
// real module information, with recorded message boxes. Every window's hide (the first step of
// its unload) lands in `events`.

#include "host/objects/HostModuleInfo.h"
#include "net/frmMainOSC.h"
#include "plugin/PlugInRuntime.h"
#include "plugin/api/HostScripting.h"
#include "plugin/clsZelmoPlugIn.h"
#include "tests/store/StoreTestSupport.h"
#include "tests/support/FakeHost.h"
#include "tests/support/QtWait.h"
#include "tests/support/RecordingMessageBoxes.h"
#include "toolkit/FormWindow.h"
#include "ui/frmSettings.h"

#include <QEvent>

#include <gtest/gtest.h>

namespace tarvex::test {

class ModuleInfoHelper : public FakeHostHelper {
public:
    ModuleInfoPtr NewModuleInfo() override { return std::make_shared<host::HostModuleInfo>(); }
};

// Notes "hide <name>" (with the main socket's state for the main window) when a window hides.
class HideLog : public QObject {
public:
    HideLog(std::vector<std::string> &events, std::function<std::string()> detail)
        : m_events(events), m_detail(std::move(detail))
    {}
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Hide)
            m_events.push_back("hide " + watched->objectName().toStdString() + m_detail());
        return false;
    }

private:
    std::vector<std::string> &m_events;
    std::function<std::string()> m_detail;
};

class PlugInTest : public ::testing::Test {
protected:
    PlugInTest()
    {
        helper->setBaseFilename(folder.path("show.zpr"));
        ObjectPtr helperObject = helper;
        plugIn.plugin().Init("Host", "", helperObject);
    }

    PlugInRuntime &runtime() { return plugIn.runtime(); }
    WindowRegistry &windows() { return runtime().windows().registry(); }
    // What the editor's "Analyzer" button does.
    void showAnalyzer() { runtime().windows().show(runtime().windows().analyzerWindowId()); }
    // Logs the hides of a loaded window.
    void watchHides(WindowId id)
    {
        FormWindow *window = windows().loaded(id);
        frmMainOSC *main = id == runtime().windows().mainWindowId()
                               ? runtime().windows().loadedMainWindow()
                               : nullptr;
        auto *log = new HideLog(events, [main] {
            if (!main)
                return std::string();
            const bool open = main->Winsock1->State() != Winsock::sckClosed;
            return std::string(open ? " (socket open)" : " (socket closed)");
        });
        log->setParent(window);
        window->installEventFilter(log);
    }
    // Arms learn mode through the real editor on a free port of 127.0.0.1, which the main
    // window's socket is bound to from then on; returns the port.
    uint16_t armLearnMode()
    {
        const uint16_t port = freeUdpPort();
        frmSettings &editor = runtime().windows().settingsWindow();
        editor.IP->setText("127.0.0.1");
        editor.Port->setText(QString::number(port));
        editor.LearnButton_Click();
        return port;
    }
    bool learning()
    {
        const frmSettings *editor = runtime().windows().loadedSettingsWindow();
        return editor && editor->learnCaption() == "Stop";
    }
    bool socketOpen()
    {
        frmMainOSC *main = runtime().windows().loadedMainWindow();
        return main && main->Winsock1->State() != Winsock::sckClosed;
    }
    // Binds the main window's server to a free port on 127.0.0.1 and starts it.
    uint16_t startServer()
    {
        const uint16_t port = freeUdpPort();
        runtime().windows().mainWindow().IP->setText("127.0.0.1");
        runtime().windows().mainWindow().Port->setText(QString::number(port));
        runtime().windows().mainWindow().Start_Click();
        return port;
    }

    TempFolder folder;
    std::shared_ptr<ModuleInfoHelper> helper = std::make_shared<ModuleInfoHelper>();
    RecordingMessageBoxes *boxes = new RecordingMessageBoxes;
    std::vector<std::string> events;
    clsZelmoPlugIn plugIn{std::unique_ptr<MessageBoxes>(boxes)};
};

} // namespace tarvex::test
