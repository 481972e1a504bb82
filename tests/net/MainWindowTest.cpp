// frmMainOSC: its controls, loading with the settings and autostart, starting and stopping on a
// real socket on 127.0.0.1, datagrams through the engine to the host, the receive indicator,
// and the window as the host and the engine see it.

#include "core/VbError.h"
#include "tests/support/WindowFixture.h"
#include "toolkit/ColorButton.h"
#include "toolkit/WindowObject.h"

namespace tarvex::test {
namespace {

using Calls = std::vector<std::string>;

TEST_F(WindowTest, controlsStartWithTheirNamesAndValues)
{
    frmMainOSC &w = window();
    EXPECT_EQ(w.windowTitle(), "Tarvex");
    EXPECT_EQ(w.Label1->text(), "IP:Port");
    EXPECT_EQ(w.Label2->text(), ":");
    EXPECT_EQ(w.Start->text(), "Start");
    EXPECT_EQ(w.chkAutostart->text(), "autostart");
    EXPECT_EQ(w.StatusLed->backColor(), PureRed);
    EXPECT_EQ(w.Timer1->interval(), 1000);
    EXPECT_FALSE(w.Timer1->enabled());
    EXPECT_EQ(w.StatusTimer->interval(), 100);
    EXPECT_FALSE(w.StatusTimer->enabled());
    EXPECT_EQ(w.Winsock1->State(), Winsock::sckClosed);
    EXPECT_EQ(w.reconnectCountdown, 0);
    for (const char *name : {"Label1", "IP", "Label2", "Port", "Start", "StatusLed", "chkAutostart",
                             "Timer1", "StatusTimer", "Winsock1"})
        EXPECT_NE(w.findChild<QObject *>(name), nullptr) << name;
}

TEST_F(WindowTest, loadingWithoutFilesShowsTheDefaultsAndStaysStopped)
{
    frmMainOSC &w = window();
    EXPECT_EQ(w.IP->text(), "127.0.0.1");
    EXPECT_EQ(w.Port->text(), "12345");
    EXPECT_FALSE(w.chkAutostart->isChecked());
    EXPECT_EQ(w.caption(), "Start");
    EXPECT_EQ(w.CMP, helper);
    EXPECT_TRUE(boxes->boxes.empty());
}

TEST_F(WindowTest, autostartFromTheSettingsStartsTheServerOnLoad)
{
    uint16_t port = freeUdpPort();
    writeSettings("127.0.0.1", std::to_string(port), 1);
    frmMainOSC &w = window();
    EXPECT_TRUE(w.chkAutostart->isChecked());
    EXPECT_EQ(w.caption(), "Stop");
    EXPECT_EQ(w.Winsock1->LocalPort(), port);
    EXPECT_EQ(w.Port->text().toStdString(), std::to_string(port));
    EXPECT_TRUE(boxes->boxes.empty());
}

TEST_F(WindowTest, aDatagramReachesTheHostTargetAndLightsTheIndicator)
{
    frmMainOSC &w = window();
    setFaderRow();
    startOn(freeUdpPort());
    ASSERT_EQ(w.caption(), "Stop");

    // The indicator as the host sees it while it executes the target.
    QColor ledDuringExecute;
    bool statusTimerDuringExecute = false;
    helper->log->onCall = [&](const std::string &call) {
        if (call.rfind("Execute", 0) == 0) {
            ledDuringExecute = w.StatusLed->backColor();
            statusTimerDuringExecute = w.StatusTimer->enabled();
        }
    };
    // The dispatcher reads the editor's learn caption, which loads the editor with its list.
    runtime.windows().settingsWindow();
    helper->log->clear();
    UdpSender(w.Winsock1->LocalPort()).send(fader(1.0f));
    ASSERT_TRUE(waitUntil([&] { return !executions().empty(); }));
    EXPECT_EQ(helper->log->calls,
              (Calls{"UserInteraction", "CreateTarget Ch1 T1 T2 3 1", "Execute Ch1 255 0 255"}));
    EXPECT_EQ(ledDuringExecute, PureGreen);
    EXPECT_TRUE(statusTimerDuringExecute);

    w.StatusTimer_Timer();
    EXPECT_EQ(w.StatusLed->backColor(), PureRed);
    EXPECT_FALSE(w.StatusTimer->enabled());
}

TEST_F(WindowTest, theIndicatorKeepsItsTickDuringAStream)
{
    frmMainOSC &w = window();
    w.StatusTimer->setInterval(5000); // no tick while the test looks, however busy the machine
    w.signalReception();
    int first = w.StatusTimer->remainingMs();
    ASSERT_GT(first, 0);
    ASSERT_TRUE(waitUntil([&] { return w.StatusTimer->remainingMs() < first - 20; }, 1000));
    w.signalReception(); // the next datagram
    EXPECT_LT(w.StatusTimer->remainingMs(), first - 20) << "a datagram pushed the red back";
    EXPECT_EQ(w.StatusLed->backColor(), PureGreen);
}

TEST_F(WindowTest, aPortThatIsTakenShowsTheBoxAndLeavesStart)
{
    frmMainOSC &w = window();
    TakenPort taken;
    startOn(taken.port);
    ASSERT_EQ(boxes->boxes.size(), 1u);
    EXPECT_EQ(boxes->boxes[0].text,
              "Konnte Server nicht starten !!!\n\nFehler:\nAddress 127.0.0.1:" +
                  std::to_string(taken.port) + " is already in use");
    EXPECT_EQ(boxes->boxes[0].icon, MessageIcon::Critical);
    EXPECT_EQ(boxes->boxes[0].title, "");
    EXPECT_EQ(w.caption(), "Start");
    EXPECT_FALSE(socketOpen());
    EXPECT_FALSE(w.Timer1->enabled());
}

TEST_F(WindowTest, portsOutsideOneTo65535FailWithTheBox)
{
    frmMainOSC &w = window();
    for (const char *text :
         {"abc", "0", "-1", "65536", "99999999999", "1.5", "1e3", "", " ", "12a", "+80"}) {
        boxes->boxes.clear();
        w.Port->setText(text);
        w.Start_Click();
        ASSERT_EQ(boxes->boxes.size(), 1u) << "port text '" << text << "'";
        EXPECT_EQ(boxes->boxes[0].text.rfind("Konnte Server nicht starten !!!\n\nFehler:\n", 0),
                  0u);
        EXPECT_EQ(w.caption(), "Start") << text;
        EXPECT_FALSE(socketOpen()) << text;
    }
}

TEST_F(WindowTest, anAddressThatCannotBeBoundShowsTheBox)
{
    frmMainOSC &w = window();
    w.IP->setText("no address");
    const uint16_t port = freeUdpPort();
    startOn(port);
    ASSERT_EQ(boxes->boxes.size(), 1u);
    EXPECT_NE(boxes->boxes[0].text.find("Address \"no address\":" + std::to_string(port)),
              std::string::npos);
    EXPECT_EQ(w.caption(), "Start");
}

TEST_F(WindowTest, portsAboveThe16BitSignedRangeWork)
{
    frmMainOSC &w = window();
    for (uint16_t port : {uint16_t(53000), uint16_t(57120), uint16_t(65535)}) {
        startOn(port);
        if (!boxes->boxes.empty()) {
            boxes->boxes.clear();
            continue; // taken by something else on this machine
        }
        EXPECT_EQ(w.caption(), "Stop");
        EXPECT_EQ(w.Winsock1->LocalPort(), port);
        w.Start_Click();
        EXPECT_EQ(w.caption(), "Start");
    }
    w.Port->setText("  40000 ");
    w.Start_Click();
    if (boxes->boxes.empty()) {
        EXPECT_EQ(w.Winsock1->LocalPort(), 40000) << "blanks around the number are allowed";
    }
}

TEST_F(WindowTest, theButtonStopsARunningServer)
{
    frmMainOSC &w = window();
    setFaderRow();
    uint16_t port = freeUdpPort();
    startOn(port);
    w.Start_Click();
    EXPECT_EQ(w.caption(), "Start");
    EXPECT_FALSE(socketOpen());
    TakenPort probe; // the port is free again: binding it elsewhere works
    UdpSender(port).send(fader(1.0f));
    processPendingEvents();
    EXPECT_TRUE(executions().empty());
}

TEST_F(WindowTest, aDatagramThatFailsIsLostAndTheServerGoesOn)
{
    frmMainOSC &w = window();
    setFaderRow();
    startOn(freeUdpPort());
    int thrown = 0;
    helper->log->onCall = [&](const std::string &call) {
        if (call == "Execute Ch1 0 0 255" && thrown++ == 0)
            throw VbError(5, "the host refused");
    };
    UdpSender sender(w.Winsock1->LocalPort());
    sender.send(OscBuilder().message("/fader1", ",f").raw({0x3F, 0x80}).bytes()); // cut short
    sender.send(fader(0.0f));                                                     // host fails
    sender.send(fader(1.0f));
    ASSERT_TRUE(waitUntil([&] { return executions().size() == 2; }));
    EXPECT_EQ(executions(), (Calls{"Execute Ch1 0 0 255", "Execute Ch1 255 0 255"}));
    EXPECT_EQ(w.caption(), "Stop");
    EXPECT_TRUE(boxes->boxes.empty()) << "a lost datagram shows nothing";
}

TEST_F(WindowTest, datagramsArrivingDuringAHostCallWaitForIt)
{
    frmMainOSC &w = window();
    setFaderRow();
    startOn(freeUdpPort());
    UdpSender sender(w.Winsock1->LocalPort());
    bool inExecute = false;
    int nested = 0;
    helper->log->onCall = [&](const std::string &call) {
        if (call.rfind("Execute", 0) != 0)
            return;
        if (inExecute)
            ++nested;
        if (call != "Execute Ch1 255 0 255")
            return;
        // The host pumps its messages while executing: more datagrams arrive meanwhile.
        inExecute = true;
        for (float v : {0.25f, 0.5f, 0.75f}) {
            sender.send(fader(v));
            for (int i = 0; i < 10; ++i)
                processPendingEvents();
        }
        inExecute = false;
    };
    sender.send(fader(1.0f));
    ASSERT_TRUE(waitUntil([&] { return executions().size() == 4; }));
    EXPECT_EQ(nested, 0) << "a datagram reached the engine inside another one's host call";
    EXPECT_EQ(executions(), (Calls{"Execute Ch1 255 0 255", "Execute Ch1 64 0 255",
                                   "Execute Ch1 128 0 255", "Execute Ch1 191 0 255"}));
}

TEST_F(WindowTest, theHostMayUnloadTheWindowWhileADatagramIsHandled)
{
    window();
    setFaderRow();
    uint16_t port = freeUdpPort();
    startOn(port);
    std::shared_ptr<WindowObject> object = runtime.windows().mainWindowObject();
    helper->log->onCall = [&](const std::string &call) {
        if (call.rfind("Execute", 0) == 0)
            object->unloadWindow();
    };
    UdpSender sender(port);
    sender.send(fader(1.0f));
    sender.send(fader(0.0f)); // dropped with the socket
    ASSERT_TRUE(waitUntil([&] { return runtime.windows().loadedMainWindow() == nullptr; }));
    processPendingEvents();
    EXPECT_EQ(executions(), Calls{"Execute Ch1 255 0 255"});
    EXPECT_EQ(object->isOpen(), VFalse);
    TakenPort probe; // the unloaded window's socket is gone
}

TEST_F(WindowTest, theHostObjectSurvivesUnloadAndReloadsWithTheSettings)
{
    uint16_t port = freeUdpPort();
    writeSettings("127.0.0.1", std::to_string(port), 1);
    std::shared_ptr<WindowObject> object = runtime.windows().mainWindowObject();
    EXPECT_EQ(runtime.windows().loadedMainWindow(), nullptr) << "the object alone loads nothing";
    EXPECT_EQ(runtime.state().windows.mainWindowHostModule(), nullptr)
        << "CMP is empty before the load";

    object->showWindow();
    ASSERT_NE(runtime.windows().loadedMainWindow(), nullptr);
    EXPECT_TRUE(runtime.windows().loadedMainWindow()->isVisible());
    EXPECT_EQ(runtime.state().windows.mainWindowHostModule(), helper);
    EXPECT_TRUE(runtime.state().windows.socketOpen());
    object->unloadWindow();
    EXPECT_EQ(runtime.windows().loadedMainWindow(), nullptr);

    // Touching the window again loads a fresh one, which starts again (autostart).
    EXPECT_EQ(runtime.state().settingsBoxes.mainPort(), std::to_string(port));
    EXPECT_EQ(window().caption(), "Stop");
    EXPECT_EQ(object->isOpen(), VTrue);
}

TEST_F(WindowTest, savingTheSettingsReadsTheMainWindowsBoxes)
{
    frmMainOSC &w = window();
    w.IP->setText("127.0.0.2");
    w.Port->setText("53000");
    w.chkAutostart->setChecked(true);
    saveSettings(runtime.state());
    VarArray saved;
    readArrayFile(folder.path("TarvexSettings.dat"), saved);
    ASSERT_EQ(saved.size(), 6u);
    EXPECT_EQ(toText(saved[1]), "127.0.0.2");
    EXPECT_EQ(toText(saved[2]), "53000");
    EXPECT_EQ(toText(saved[3]), "127.0.0.1") << "the editor's boxes keep their settings";
    EXPECT_EQ(toText(saved[4]), "12345");
    EXPECT_EQ(saved[5].type(), VarType::Integer);
    EXPECT_EQ(toLong(saved[5]), 1);
}

} // namespace
} // namespace tarvex::test
