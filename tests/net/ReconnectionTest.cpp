// The server's reconnection: a socket that fails while running is re-bound after a countdown of
// three seconds, again and again until it binds or the user stops it. The countdown's handler
// is driven directly, one call per second.

#include "tests/support/WindowFixture.h"

namespace tarvex::test {
namespace {

class ReconnectionTest : public WindowTest {
protected:
    // A running server whose socket has just failed.
    frmMainOSC &failedServer()
    {
        frmMainOSC &w = window();
        port = freeUdpPort();
        startOn(port);
        EXPECT_EQ(w.caption(), "Stop");
        w.Winsock1_Error(10054, "Connection reset by peer");
        return w;
    }
    // Runs the countdown's ticks, returning the caption after each.
    std::vector<std::string> tick(int times)
    {
        std::vector<std::string> captions;
        for (int i = 0; i < times; ++i) {
            window().Timer1_Timer();
            captions.push_back(window().caption());
        }
        return captions;
    }
    uint16_t port = 0;
};

using Captions = std::vector<std::string>;

TEST_F(ReconnectionTest, aSocketErrorCountsDownAndBindsAgain)
{
    frmMainOSC &w = failedServer();
    EXPECT_EQ(w.caption(), "Reconnecting in 3");
    EXPECT_EQ(w.reconnectCountdown, 3);
    EXPECT_TRUE(w.Timer1->enabled());
    EXPECT_FALSE(socketOpen());

    EXPECT_EQ(tick(3), (Captions{"Reconnecting in 2", "Reconnecting in 1", "Reconnecting in 0"}));
    EXPECT_FALSE(socketOpen());
    EXPECT_EQ(tick(1), Captions{"Stop"});
    EXPECT_FALSE(w.Timer1->enabled());
    EXPECT_EQ(w.Winsock1->LocalPort(), port);

    setFaderRow();
    UdpSender(port).send(fader(1.0f));
    EXPECT_TRUE(waitUntil([&] { return executions().size() == 1; }));
    EXPECT_TRUE(boxes->boxes.empty());
}

TEST_F(ReconnectionTest, aFailedAttemptStartsTheCountdownAgainWithoutABox)
{
    frmMainOSC &w = failedServer();
    TakenPort taken;
    w.Port->setText(QString::number(taken.port));
    EXPECT_EQ(tick(4), (Captions{"Reconnecting in 2", "Reconnecting in 1", "Reconnecting in 0",
                                 "Reconnecting in 3"}));
    EXPECT_EQ(w.reconnectCountdown, 3);
    EXPECT_TRUE(w.Timer1->enabled());
    w.Port->setText("letters");
    EXPECT_EQ(tick(4).back(), "Reconnecting in 3");
    EXPECT_TRUE(boxes->boxes.empty()) << "failed attempts are not reported";
    EXPECT_FALSE(socketOpen());
}

TEST_F(ReconnectionTest, aPortEditedDuringTheCountdownIsUsedByTheNextAttempt)
{
    frmMainOSC &w = failedServer();
    tick(1);
    uint16_t edited = freeUdpPort();
    w.Port->setText(QString::number(edited));
    EXPECT_EQ(tick(3).back(), "Stop");
    EXPECT_EQ(w.Winsock1->LocalPort(), edited);
}

TEST_F(ReconnectionTest, theButtonStopsAReconnection)
{
    frmMainOSC &w = failedServer();
    tick(1);
    ASSERT_EQ(w.caption(), "Reconnecting in 2");
    w.Start_Click();
    EXPECT_EQ(w.caption(), "Start");
    EXPECT_FALSE(w.Timer1->enabled());
    EXPECT_FALSE(socketOpen());
    w.Start_Click(); // and the next press starts again
    EXPECT_EQ(w.caption(), "Stop");
}

TEST_F(ReconnectionTest, aClosedSocketReconnectsLikeAFailedOne)
{
    frmMainOSC &w = window();
    startOn(freeUdpPort());
    w.Winsock1_Close();
    EXPECT_EQ(w.caption(), "Reconnecting in 3");
    EXPECT_TRUE(w.Timer1->enabled());
}

TEST_F(ReconnectionTest, socketEventsWhileStoppedOrReconnectingChangeNothing)
{
    frmMainOSC &w = window();
    w.Winsock1_Error(10054, "reset");
    w.Winsock1_Close();
    EXPECT_EQ(w.caption(), "Start");
    EXPECT_FALSE(w.Timer1->enabled());

    failedServer();
    tick(2);
    w.Winsock1_Error(10054, "reset");
    EXPECT_EQ(w.caption(), "Reconnecting in 1") << "the countdown went on";
}

TEST_F(ReconnectionTest, theTimerDrivesTheCountdownOnItsOwn)
{
    frmMainOSC &w = failedServer();
    w.Timer1->setInterval(1); // the same handler, without waiting seconds for it
    EXPECT_TRUE(waitUntil([&] { return w.caption() == "Stop"; }));
    EXPECT_FALSE(w.Timer1->enabled());
}

TEST_F(ReconnectionTest, stopWithTheSocketTakenElsewhereStopsAndThenStartsOnTheBoxes)
{
    // Learn mode rebinds the socket without touching the caption.
    frmMainOSC &w = window();
    startOn(freeUdpPort());
    w.Winsock1->Close();
    uint16_t elsewhere = freeUdpPort();
    w.Winsock1->Bind(elsewhere, "127.0.0.1");
    w.Start_Click();
    EXPECT_EQ(w.caption(), "Start");
    EXPECT_FALSE(socketOpen());
    uint16_t typed = freeUdpPort();
    startOn(typed);
    EXPECT_EQ(w.Winsock1->LocalPort(), typed);
}

} // namespace
} // namespace tarvex::test
