// The analyzer inside the plug-in: fed by the engine while learn mode is armed, its error path
// through the other windows, its help window, closing it, and where message boxes go.
#include "tests/plugin/PlugInFixture.h"

#include "plugin/api/HostScripting.h"
#include "tests/support/OscBuilder.h"
#include "ui/analyzer/frmAnalyzer.h"

#include <QPlainTextEdit>

using namespace tarvex;
using namespace tarvex::test;

namespace {

class AnalyzerWiringTest : public PlugInTest {
protected:
    frmAnalyzer *analyzer() { return runtime().windows().loadedAnalyzer(); }
    // Starts the server and notes when the main window has handled a datagram.
    uint16_t startNoting()
    {
        const uint16_t port = startServer();
        Winsock &socket = *runtime().windows().mainWindow().Winsock1;
        auto handle = socket.onDataArrival;
        socket.onDataArrival = [this, handle](int32_t bytes) {
            handle(bytes);
            ++handled;
        };
        return port;
    }
    // Sends one message to the server and waits until the main window has handled it.
    void deliver(uint16_t port, const std::string &address)
    {
        const int before = handled;
        UdpSender(port).send(OscBuilder().message(address, ",i").i32(7).bytes());
        ASSERT_TRUE(waitUntil([&] { return handled > before; })) << address;
    }
    int handled = 0;
};

// A host helper that takes message boxes when `take` is set, noting each text it is offered.
class BoxTakingHelper : public ModuleInfoHelper, public IHostMessageBoxes {
public:
    bool takeMessageBox(const std::string &text) override
    {
        offered.push_back(text);
        return take;
    }
    bool take = true;
    std::vector<std::string> offered;
};

} // namespace

TEST_F(AnalyzerWiringTest, theEngineFeedsTheAnalyzerOnlyWhileLearnModeIsArmed)
{
    const uint16_t port = startNoting();
    showAnalyzer();
    ASSERT_TRUE(analyzer() && analyzer()->isVisible() && analyzer()->AnalyzerOpen);

    deliver(port, "/quiet");
    EXPECT_EQ(analyzer()->PendingText, "");

    const uint16_t learnPort = armLearnMode();
    deliver(learnPort, "/heard");
    EXPECT_NE(analyzer()->PendingText.find("/heard"), std::string::npos);
    EXPECT_TRUE(analyzer()->refreshTimerEnabled());
    analyzer()->aktuallisiere_Timer();
    EXPECT_NE(analyzer()->txtMessage->toPlainText().indexOf("/heard"), -1);
}

TEST_F(AnalyzerWiringTest, aClosedAnalyzerIsDiscardedAndLearnModeBringsAFreshHiddenOne)
{
    startNoting();
    const uint16_t port = armLearnMode();
    showAnalyzer();
    frmAnalyzer *first = analyzer();
    first->close();
    EXPECT_FALSE(runtime().state().windows.analyzerOpen()); // closed, not yet discarded: the engine
                                                            // feeds nothing
    ASSERT_TRUE(waitUntil([&] { return analyzer() == nullptr; }));

    // The next datagram in learn mode asks for the analyzer again: a fresh one, hidden.
    deliver(port, "/again");
    ASSERT_NE(analyzer(), nullptr);
    EXPECT_FALSE(analyzer()->isVisible());
    EXPECT_NE(analyzer()->PendingText.find("/again"), std::string::npos);
}

TEST_F(AnalyzerWiringTest, anInvalidPatternWarnsThenDisarmsLearnModeAndTheServerResumes)
{
    const uint16_t serverPort = startNoting();
    const uint16_t port = armLearnMode();
    showAnalyzer();
    analyzer()->Filter->setText("(");
    analyzer()->refresh_Click();
    boxes->onShow = [this](const ShownBox &) {
        events.push_back(std::string("box, socket ") + (socketOpen() ? "open" : "closed") +
                         (learning() ? ", learning" : ""));
    };

    deliver(port, "/x");
    ASSERT_EQ(boxes->boxes.size(), 1u);
    EXPECT_EQ(boxes->boxes[0].text, frmAnalyzer::RegexErrorText);
    EXPECT_EQ(boxes->boxes[0].icon, MessageIcon::Exclamation);
    // The box came while the socket was open and learn mode armed; then learn mode ended and
    // the server listens on its own port again.
    EXPECT_EQ(events, std::vector<std::string>{"box, socket open, learning"});
    EXPECT_FALSE(learning());
    EXPECT_EQ(runtime().windows().mainWindow().caption(), "Stop");
    EXPECT_EQ(runtime().windows().mainWindow().Winsock1->LocalPort(), serverPort);
    deliver(serverPort, "/after");
}

// The warning's box runs a nested event loop, in which the user may stop learn mode himself.
TEST_F(AnalyzerWiringTest, learnModeStoppedDuringTheWarningLeavesTheResumedServerAlone)
{
    const uint16_t serverPort = startNoting();
    const uint16_t port = armLearnMode();
    showAnalyzer();
    analyzer()->Filter->setText("(");
    analyzer()->refresh_Click();
    boxes->onShow = [this](const ShownBox &) {
        runtime().windows().settingsWindow().LearnButton_Click();
    };

    deliver(port, "/x");
    EXPECT_FALSE(learning());
    EXPECT_EQ(runtime().windows().mainWindow().caption(), "Stop");
    EXPECT_EQ(runtime().windows().mainWindow().Winsock1->LocalPort(), serverPort);
    EXPECT_TRUE(socketOpen());
}

TEST_F(AnalyzerWiringTest, syntaxHelpIsModelessAndClosingItDiscardsIt)
{
    showAnalyzer();
    analyzer()->hilfe_Click();
    FormWindow *help = windows().loaded(runtime().windows().regexSyntaxWindowId());
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_FALSE(help->isModal());
    help->close();
    EXPECT_TRUE(
        waitUntil([&] { return !windows().loaded(runtime().windows().regexSyntaxWindowId()); }));
    EXPECT_NE(analyzer(), nullptr);
}

TEST_F(AnalyzerWiringTest, messageBoxesGoToTheHostFirst)
{
    auto taking = std::make_shared<BoxTakingHelper>();
    ObjectPtr helperObject = taking;
    plugIn.plugin().Init("Host", "", helperObject);

    runtime().analyzerContext().showWarning("taken");
    EXPECT_EQ(taking->offered, std::vector<std::string>{"taken"});
    EXPECT_TRUE(boxes->boxes.empty());

    taking->take = false;
    runtime().analyzerContext().showWarning("left");
    ASSERT_EQ(boxes->boxes.size(), 1u);
    EXPECT_EQ(boxes->boxes[0].text, "left");
    EXPECT_EQ(boxes->boxes[0].icon, MessageIcon::Exclamation);
}
