// The analyzer window: filtering, pending text and its refresh, Clear, the bounded box, the
// timer's life, and the error path of an invalid pattern.
#include "ui/analyzer/frmAnalyzer.h"
#include "ui/analyzer/frmRegexSyntax.h"

#include "tests/support/FakeAnalyzerContext.h"
#include "tests/support/QtWait.h"
#include "tests/ui/analyzer/AnalyzerSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

using namespace tarvex;
using namespace tarvex::test;

namespace {

class AnalyzerWindow : public ::testing::Test {
protected:
    AnalyzerWindow() { analyzer.Form_Load(); }

    void usePattern(const std::string &pattern)
    {
        analyzer.Filter->setText(QString::fromStdString(pattern));
        analyzer.refresh->click();
    }
    // The box's text with its line breaks written as CR LF.
    std::string shown() const
    {
        return analyzer.txtMessage->toPlainText().replace('\n', "\r\n").toStdString();
    }

    FakeAnalyzerContext context;
    frmAnalyzer analyzer{context};
};

} // namespace

TEST_F(AnalyzerWindow, hasItsCaptionsAndIsOpenFromLoadToUnload)
{
    EXPECT_EQ(analyzer.windowTitle(), "Analyzer");
    EXPECT_EQ(analyzer.Label1->text(), "Filter:");
    EXPECT_EQ(analyzer.refresh->text(), "Filter");
    EXPECT_EQ(analyzer.hilfe->text(), "Syntax");
    EXPECT_EQ(analyzer.Clear->text(), "Clear");
    EXPECT_EQ(analyzer.aktuallisiere->interval(), 10);
    EXPECT_TRUE(analyzer.AnalyzerOpen);
    EXPECT_EQ(analyzer.FilterPattern, "");
    analyzer.Form_Unload();
    EXPECT_FALSE(analyzer.AnalyzerOpen);
}

TEST_F(AnalyzerWindow, closingTheWindowUnloadsIt)
{
    analyzer.show();
    analyzer.close();
    EXPECT_FALSE(analyzer.AnalyzerOpen);
}

TEST_F(AnalyzerWindow, formatsMatchingMessagesInPacketOrderAndShowsThemAtTheTick)
{
    usePattern("FADER");
    analyzer.Analyze(decode(bundleOf({"/fader1", "/mute", "/Fader2"})));
    EXPECT_EQ(analyzer.PendingText, "/fader1,  i 1\t\r\n/Fader2,  i 3\t\r\n");
    EXPECT_EQ(shown(), "");
    EXPECT_TRUE(analyzer.refreshTimerEnabled());

    analyzer.aktuallisiere_Timer();
    EXPECT_EQ(shown(), "/fader1,  i 1\t\r\n/Fader2,  i 3\t\r\n");
    EXPECT_EQ(analyzer.PendingText, "");
    EXPECT_EQ(analyzer.shownLength(), static_cast<int>(shown().size()));
}

TEST_F(AnalyzerWindow, anEmptyPatternShowsEveryMessage)
{
    usePattern("x");
    usePattern("");
    analyzer.Analyze(decode(bundleOf({"/a", "/b"})));
    EXPECT_EQ(analyzer.PendingText, "/a,  i 1\t\r\n/b,  i 2\t\r\n");
}

TEST_F(AnalyzerWindow, typingAlonePutsNoPatternIntoUse)
{
    usePattern("/a");
    analyzer.Filter->setText("/b");
    analyzer.Analyze(decode(bundleOf({"/a", "/b"})));
    EXPECT_EQ(analyzer.PendingText, "/a,  i 1\t\r\n");
}

TEST_F(AnalyzerWindow, clearEmptiesTheBoxButKeepsWhatIsPending)
{
    analyzer.Analyze(decode(bundleOf({"/a"})));
    analyzer.aktuallisiere_Timer();
    analyzer.Analyze(decode(bundleOf({"/b"})));
    analyzer.Clear->click();
    EXPECT_EQ(shown(), "");
    analyzer.aktuallisiere_Timer();
    EXPECT_EQ(shown(), "/b,  i 1\t\r\n");
}

TEST_F(AnalyzerWindow, aBoxPastSixtyFiveThousandCharactersIsEmptiedBeforeTheNextText)
{
    // Exactly 65 000 stays; one more is emptied at the next tick.
    const std::string line(998, 'x');
    for (int i = 0; i < 65; ++i)
        analyzer.PendingText += line + "\r\n";
    analyzer.aktuallisiere_Timer();
    ASSERT_EQ(analyzer.shownLength(), 65000);
    analyzer.PendingText = "a";
    analyzer.aktuallisiere_Timer();
    EXPECT_EQ(analyzer.shownLength(), 65001);

    analyzer.Analyze(decode(bundleOf({"/new"})));
    analyzer.aktuallisiere_Timer();
    EXPECT_EQ(shown(), "/new,  i 1\t\r\n");
}

TEST_F(AnalyzerWindow, theTimerStopsOneTickAfterLearnModeEnds)
{
    analyzer.Analyze(decode(bundleOf({"/a"})));
    ASSERT_TRUE(analyzer.refreshTimerEnabled());
    analyzer.aktuallisiere_Timer();
    EXPECT_TRUE(analyzer.refreshTimerEnabled());

    context.learning = false;
    analyzer.Analyze(decode(bundleOf({"/b"})));
    analyzer.aktuallisiere_Timer();
    EXPECT_FALSE(analyzer.refreshTimerEnabled());
    EXPECT_EQ(shown(), "/a,  i 1\t\r\n/b,  i 1\t\r\n"); // that tick still showed /b

    // Without learn mode Analyze does not start it again.
    analyzer.Analyze(decode(bundleOf({"/c"})));
    EXPECT_FALSE(analyzer.refreshTimerEnabled());
    context.learning = true;
    analyzer.Analyze(decode(bundleOf({"/d"})));
    EXPECT_TRUE(analyzer.refreshTimerEnabled());
}

TEST_F(AnalyzerWindow, theRunningTimerMovesPendingLinesOnItsOwn)
{
    analyzer.Analyze(decode(bundleOf({"/a"})));
    EXPECT_TRUE(waitUntil([&] { return !shown().empty(); }));
    EXPECT_EQ(shown(), "/a,  i 1\t\r\n");
}

TEST_F(AnalyzerWindow, anInvalidPatternWarnsThenClosesTheSocketThenDisarmsLearning)
{
    analyzer.PendingText = "";
    usePattern("(fader");
    analyzer.Analyze(decode(bundleOf({"/fader1", "/fader2"})));
    EXPECT_EQ(context.calls, (std::vector<std::string>{"showWarning " + frmAnalyzer::RegexErrorText,
                                                       "closeMainSocket", "clickLearnButton"}));
    EXPECT_EQ(frmAnalyzer::RegexErrorText.rfind("Falsche Regex-Syntax\r\n"
                                                "Informationen \xC3\xBC"
                                                "ber die Syntax:\r\nhttps://",
                                                0),
              0u);
    EXPECT_EQ(analyzer.PendingText, "");
}

TEST_F(AnalyzerWindow, aNestedBundleIsPassedOverAndTheOtherMessagesShow)
{
    OscBuilder datagram;
    datagram.bundle()
        .element(OscBuilder().message("/a", ",i").i32(1).bytes())
        .element(OscBuilder().message("/b", ",i").i32(2).bytes())
        .element(bundleOf({"/inner"}).bytes());
    osc::OSCMessages messages = decode(datagram);
    ASSERT_EQ(messages.size(), 3u);
    ASSERT_FALSE(messages[2].isMessage());

    analyzer.Analyze(messages);
    EXPECT_EQ(analyzer.PendingText, "/a,  i 1\t\r\n/b,  i 2\t\r\n");
    EXPECT_TRUE(context.calls.empty());
    EXPECT_TRUE(context.learning);
}

TEST_F(AnalyzerWindow, hostilePatternsCostOneMessageNotTheWindow)
{
    usePattern("(a+)+$");
    OscBuilder datagram;
    datagram.bundle()
        .element(OscBuilder().message("/" + std::string(3000, 'a') + "!", ",i").i32(1).bytes())
        .element(OscBuilder().message("/aa", ",i").i32(2).bytes());
    analyzer.Analyze(decode(datagram));
    EXPECT_EQ(analyzer.PendingText, "/aa,  i 2\t\r\n");
    EXPECT_TRUE(context.calls.empty());
}

TEST_F(AnalyzerWindow, syntaxOpensTheHelpWindow)
{
    analyzer.hilfe->click();
    EXPECT_EQ(context.calls, std::vector<std::string>{"showRegexSyntax"});

    frmRegexSyntax help;
    EXPECT_EQ(help.windowTitle(), "Syntax");
    EXPECT_EQ(help.Label1->text(), QString::fromUtf8("\\S    steht f\xC3\xBCr jedes Zeichen "
                                                     "au\xC3\x9F"
                                                     "er dem Leerzeichen"));
}
