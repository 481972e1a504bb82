#pragma once
// A plug-in class as the host creates it, on a recording host helper that also makes the host's
// real module information, with recorded message boxes and a stand-in editor whose learn button
// the test controls. Every window's hide (the first step of its unload) lands in `events`.

#include "host/HostModuleInfo.h"
#include "net/frmMainOSC.h"
#include "plugin/HostScripting.h"
#include "plugin/clsZelmoPlugIn.h"
#include "store/StoreTestSupport.h"
#include "support/FakeHost.h"
#include "support/QtWait.h"
#include "support/RecordingMessageBoxes.h"
#include "ui/ActionsEditor.h"
#include "ui/FormWindow.h"
#include "ui/PlugInRuntime.h"

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

// The editor as the other windows use it: learn mode is the `learning` flag, each click toggles
// it and is logged, a rebuild replaces the table with `rows`.
class StandInEditor : public FormWindow, public ActionsEditor {
public:
    StandInEditor(PluginState &state, std::vector<std::string> &events)
        : m_state(state), m_events(events)
    {}
    std::string learnCaption() const override { return learning ? "Stop" : "Lernen"; }
    void LearnButton_Click() override
    {
        m_events.push_back("LearnButton_Click");
        learning = !learning;
    }
    void rebuildActionTable() override
    {
        m_events.push_back("rebuildActionTable");
        m_state.actionTable.replace(rows);
    }
    static inline bool learning = false;
    static inline VarArray rows = VarArray(VarType::Variant);

private:
    PluginState &m_state;
    std::vector<std::string> &m_events;
};

class PlugInTest : public ::testing::Test {
protected:
    PlugInTest()
    {
        helper->setBaseFilename(folder.path("show.zpr"));
        StandInEditor::learning = false;
        StandInEditor::rows = VarArray();
        runtime().windows().setFormFactory(runtime().settingsWindowId(), [this] {
            return std::make_unique<StandInEditor>(runtime().state(), events);
        });
        ObjectPtr helperObject = helper;
        plugIn.plugin().Init("Host", "", helperObject);
    }

    PlugInRuntime &runtime() { return plugIn.runtime(); }
    WindowRegistry &windows() { return runtime().windows(); }
    // Logs the hides of a loaded window.
    void watchHides(WindowId id)
    {
        FormWindow *window = windows().loaded(id);
        frmMainOSC *main = id == runtime().mainWindowId() ? runtime().loadedMainWindow() : nullptr;
        auto *log = new HideLog(events, [main] {
            if (!main)
                return std::string();
            const bool open = main->Winsock1->State() != Winsock::sckClosed;
            return std::string(open ? " (socket open)" : " (socket closed)");
        });
        log->setParent(window);
        window->installEventFilter(log);
    }
    bool socketOpen()
    {
        frmMainOSC *main = runtime().loadedMainWindow();
        return main && main->Winsock1->State() != Winsock::sckClosed;
    }
    // Binds the main window's server to a free port on 127.0.0.1 and starts it.
    uint16_t startServer()
    {
        const uint16_t port = freeUdpPort();
        runtime().mainWindow().IP->setText("127.0.0.1");
        runtime().mainWindow().Port->setText(QString::number(port));
        runtime().mainWindow().Start_Click();
        return port;
    }

    TempFolder folder;
    std::shared_ptr<ModuleInfoHelper> helper = std::make_shared<ModuleInfoHelper>();
    RecordingMessageBoxes *boxes = new RecordingMessageBoxes;
    std::vector<std::string> events;
    clsZelmoPlugIn plugIn{std::unique_ptr<MessageBoxes>(boxes)};
};

} // namespace tarvex::test
