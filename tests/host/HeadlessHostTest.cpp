// The headless front end in this process: how it reads lines from a descriptor and turns
// commands and failures into JSON lines.

#include "host/app/HeadlessHost.h"
#include "host/app/HostSession.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>

#include <sys/ioctl.h>
#include <unistd.h>

namespace tarvex::host {
namespace {

class HeadlessHostTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    HostSession session;
    std::vector<std::string> lines;
    HeadlessHost headless{session, [this](const std::string &line) { lines.push_back(line); }};
    int quits = 0;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QObject::connect(&headless, &HeadlessHost::quitRequested, [this] { ++quits; });
        session.start(TARVEX_TEST_PLUGIN, QDir(dir.path()).filePath("show.tarvex"),
                      HostSession::Show::Hidden);
    }

    // Runs the event loop until the condition holds or a second has passed.
    template <class Condition> bool spinUntil(Condition condition)
    {
        const QDeadlineTimer deadline(1000);
        while (!condition() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return condition();
    }
};

TEST_F(HeadlessHostTest, readsWholeLinesAndTakesALastLineWithoutBreakAtTheEnd)
{
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    headless.readFrom(pipe[0]);
    const std::string input = "sta";
    ASSERT_EQ(::write(pipe[1], input.data(), input.size()), 3);
    QCoreApplication::processEvents();
    EXPECT_TRUE(lines.empty()) << "half a line waits for the rest";

    const std::string rest = "te\n\n   \nstate";
    ASSERT_EQ(::write(pipe[1], rest.data(), rest.size()), static_cast<ssize_t>(rest.size()));
    ::close(pipe[1]);
    ASSERT_TRUE(spinUntil([&] { return quits > 0; }));
    const std::string state = R"({"event":"state","server":"Start","learn":"Lernen"})";
    EXPECT_EQ(lines, (std::vector<std::string>{state, state}));
    EXPECT_EQ(quits, 1);
    ::close(pipe[0]);
}

TEST_F(HeadlessHostTest, aLineBeyondTheBoundIsRefusedOnceAndSkippedToItsEnd)
{
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    headless.readFrom(pipe[0]);
    // Written from the event loop's side in pieces, as a slow sender would.
    const std::string chunk(4096, 'x');
    size_t sent = 0;
    while (sent <= HeadlessHost::MaxLineBytes + chunk.size()) {
        ASSERT_EQ(::write(pipe[1], chunk.data(), chunk.size()), static_cast<ssize_t>(chunk.size()));
        sent += chunk.size();
        ASSERT_TRUE(spinUntil([&] {
            int waiting = 0;
            return ::ioctl(pipe[0], FIONREAD, &waiting) == 0 && waiting == 0;
        }));
    }
    const std::string end = "xxx\nstate\n";
    ASSERT_EQ(::write(pipe[1], end.data(), end.size()), static_cast<ssize_t>(end.size()));
    ::close(pipe[1]);
    ASSERT_TRUE(spinUntil([&] { return quits > 0; }));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find(R"("message":"the line is longer than 65536 bytes")"),
              std::string::npos);
    EXPECT_EQ(lines[1], R"({"event":"state","server":"Start","learn":"Lernen"})");
    ::close(pipe[0]);
}

TEST_F(HeadlessHostTest, aClosedInputEndsAtOnce)
{
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    ::close(pipe[0]);
    ::close(pipe[1]);
    headless.readFrom(pipe[0]);
    EXPECT_TRUE(spinUntil([&] { return quits == 1; }));
}

TEST_F(HeadlessHostTest, quitIsTheLastCommandThatRuns)
{
    headless.runCommand("quit");
    headless.runCommand("state");
    headless.runCommand("quit");
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(quits, 1);
}

TEST_F(HeadlessHostTest, quitWithUnsavedChangesSaysSoAndOnlyTheQuitRightAfterItQuits)
{
    std::ofstream(QDir(dir.path()).filePath("TestActions.txt").toStdString()) << "7 /fader1 0\n";
    std::ofstream(QDir(dir.path()).filePath("TestTracksChanges").toStdString());
    headless.runCommand("load " + QDir(dir.path()).filePath("show.tarvex").toStdString());
    headless.runCommand("command 7 toggle");
    lines.clear();
    const std::string unsaved = R"({"event":"unsavedChanges"})";
    for (const char *command : {"quit", "state", "quit"})
        headless.runCommand(command);
    EXPECT_EQ(lines.front(), unsaved);
    EXPECT_EQ(lines.back(), unsaved);
    EXPECT_EQ(quits, 0);
    headless.runCommand("quit");
    EXPECT_EQ(quits, 1);
    EXPECT_EQ(lines.back(), unsaved) << "said once per refused quit";

    // The end of input quits at once, after saying so.
    lines.clear();
    HeadlessHost reader(session, [this](const std::string &line) { lines.push_back(line); });
    int ended = 0;
    QObject::connect(&reader, &HeadlessHost::quitRequested, [&] { ++ended; });
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    ::close(pipe[1]);
    reader.readFrom(pipe[0]);
    ASSERT_TRUE(spinUntil([&] { return ended == 1; }));
    EXPECT_EQ(lines, std::vector<std::string>{unsaved});
    ::close(pipe[0]);
}

TEST_F(HeadlessHostTest, anErrorLineQuotesTheCommandAsItWasMeant)
{
    headless.runCommand("  save \"now\"\t\r");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], R"({"event":"error","command":"save \"now\"","message":"usage: save"})");
}

// A word that is no command is named as such, whatever follows it. Every form the banner lists
// is a command: given the wrong number of arguments, it answers with its usage.
TEST_F(HeadlessHostTest, anUnknownWordIsNamedAndEveryCommandOfTheBannerAnswersItsUsage)
{
    headless.runCommand("foo bar");
    EXPECT_EQ(lines,
              std::vector<std::string>{
                  R"({"event":"error","command":"foo bar","message":"unknown command: foo"})"});
    const std::string summary = HeadlessHost::commandSummary();
    size_t forms = 0;
    for (size_t at = 0; at < summary.size(); ++forms) {
        const size_t end = std::min(summary.find(", ", at), summary.size());
        const std::string form = summary.substr(at, end - at);
        at = end + 2;
        const std::string word = form.substr(0, form.find(' '));
        lines.clear();
        headless.runCommand(word == form ? word + " extra" : word);
        ASSERT_EQ(lines.size(), 1u) << form;
        const size_t usage = lines[0].find(R"("message":"usage: )");
        ASSERT_NE(usage, std::string::npos) << lines[0];
        EXPECT_NE(lines[0].find(form, usage), std::string::npos) << lines[0];
    }
    EXPECT_EQ(forms, 15u);
}

TEST_F(HeadlessHostTest, aPlugInWithoutAnAddressToSetStillRunsAndOnlyListenFails)
{
    headless.runCommand("listen 0.0.0.0 9000");
    headless.runCommand("state");
    EXPECT_EQ(lines, (std::vector<std::string>{
                         R"({"event":"error","command":"listen 0.0.0.0 9000",)"
                         R"("message":"the plug-in offers no address and port to set"})",
                         R"({"event":"state","server":"Start","learn":"Lernen"})"}));
}

TEST_F(HeadlessHostTest, theSessionsEventsBecomeLinesUntilTheFrontEndGoes)
{
    int32_t value = 128, min = 0, max = 255;
    session.helper()
        ->factory()
        ->CreateTarget("DMX", "Spot", "", 1, 7)
        ->Execute(value, min, max, Variant());
    EXPECT_TRUE(session.helper()->takeMessageBox("Port belegt"));
    EXPECT_EQ(lines, (std::vector<std::string>{
                         R"({"event":"execute","target":["DMX","Spot","",1,7],"value":128,)"
                         R"("min":0,"max":255})",
                         R"({"event":"messageBox","text":"Port belegt"})"}));
    {
        HostSession other;
        auto gone = std::make_unique<HeadlessHost>(other, [](const std::string &) {});
        gone.reset();
        EXPECT_FALSE(other.helper()->takeMessageBox("nobody")) << "the plug-in shows its own";
    }
}

} // namespace
} // namespace tarvex::host
