// The host's DMX output end to end: a real tarvex-host process sends the levels its targets set
// to a private olad, reports the output's state as it comes and goes, and keeps handling the
// plug-in's calls while olad is away.

#include "tests/host/e2e/HeadlessProcess.h"
#include "tests/support/OlaDaemon.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tarvex::test {
namespace {

class DmxOutputRoad : public ::testing::Test {
protected:
    QTemporaryDir dir;
    HeadlessProcess host{HeadlessProcess::testPlugInPath()};

    QString path(const QString &relative) const { return QDir(dir.path()).filePath(relative); }

    // The test plug-in executes its action 7 on universe 1, channel 7, with 255.
    void startOn(const QStringList &arguments)
    {
        ASSERT_TRUE(dir.isValid());
        QDir().mkpath(path("show"));
        QFile actions(path("show/TestActions.txt"));
        ASSERT_TRUE(actions.open(QIODevice::WriteOnly));
        actions.write("7 /fader1 0\n");
        actions.close();
        ASSERT_TRUE(host.start(path("show/show.tarvex"), arguments));
        ASSERT_TRUE(host.waitFor("ready")) << host.errorOutput().toStdString();
    }

    std::optional<QJsonObject> nextOutputState() { return host.waitFor("dmxOutput", 15000); }
};

TEST_F(DmxOutputRoad, noDmxOutSaysSoOnceAndTheShowGoesOn)
{
    startOn({"--no-dmx-out"});
    const std::optional<QJsonObject> state = nextOutputState();
    ASSERT_TRUE(state);
    EXPECT_EQ(state->value("state").toString(), "off");
    EXPECT_EQ(state->value("reason").toString(), "turned off with --no-dmx-out");
    host.send("command 7 Activate");
    EXPECT_TRUE(host.waitFor("execute"));
    host.send("quit");
    ASSERT_TRUE(host.waitForExit());
    EXPECT_EQ(host.eventsNamed("dmxOutput").size(), 1);
}

TEST_F(DmxOutputRoad, levelsReachOladAndFollowItWhenItGoesAndComesBack)
{
    OlaDaemon olad;
    ASSERT_TRUE(olad.start()) << olad.error();
    auto reader = std::make_unique<OlaUniverseReader>(olad.port());
    ASSERT_TRUE(reader->subscribe(1)) << reader->error();

    startOn({"--ola-port", QString::number(olad.port())});
    std::optional<QJsonObject> state = nextOutputState();
    ASSERT_TRUE(state);
    EXPECT_EQ(state->value("state").toString(), "on")
        << state->value("reason").toString().toStdString();

    host.send("command 7 Activate");
    ASSERT_TRUE(host.waitFor("execute"));
    auto channel7Full = [](const DmxLevels &levels) { return levels[6] == 255; };
    EXPECT_TRUE(reader->waitForFrame(1, channel7Full)) << reader->error();

    // olad goes away: the host says so and keeps answering.
    reader.reset();
    olad.stop();
    state = nextOutputState();
    ASSERT_TRUE(state);
    EXPECT_EQ(state->value("state").toString(), "off");
    host.send("state");
    EXPECT_TRUE(host.waitFor("state"));

    // olad is back: output starts by itself and the universe is sent again.
    ASSERT_TRUE(olad.start()) << olad.error();
    reader = std::make_unique<OlaUniverseReader>(olad.port());
    ASSERT_TRUE(reader->subscribe(1)) << reader->error();
    state = nextOutputState();
    ASSERT_TRUE(state);
    EXPECT_EQ(state->value("state").toString(), "on");
    EXPECT_TRUE(reader->waitForFrame(1, channel7Full)) << reader->error();

    host.send("quit");
    EXPECT_TRUE(host.waitForExit());
}

} // namespace
} // namespace tarvex::test
