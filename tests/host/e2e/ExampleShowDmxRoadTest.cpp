// The example show with the real plug-in, end to end to a private olad: liblo's oscsend moves
// the fader, and universe 1 read back from olad carries the scaled level; with olad gone the
// host goes on handling OSC, and once olad is back the latest level arrives.

#include "tests/host/e2e/HeadlessProcess.h"
#include "tests/host/e2e/RealShow.h"
#include "tests/support/OlaDaemon.h"
#include "tests/support/QtWait.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tarvex::test {
namespace {

class ExampleShowDmxRoad : public ::testing::Test {
protected:
    QTemporaryDir dir;
    HeadlessProcess host{QStringLiteral(TARVEX_REAL_PLUGIN)};
    uint16_t port = freeUdpPort();

    QString path(const QString &relative) const { return QDir(dir.path()).filePath(relative); }

    // A copy of the example show whose server listens on a free port.
    void copyExampleShow()
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir().mkpath(path("show")));
        for (const char *name : {"show.tarvex", "TarvexActions.dat"})
            ASSERT_TRUE(
                QFile::copy(QStringLiteral(TARVEX_EXAMPLE_SHOW "/") + name, path("show/") + name));
        writeShowSettings(path("show").toStdString(), port);
    }

    // liblo's own command-line sender.
    void oscsend(const QString &value)
    {
        QProcess sender;
        sender.start("oscsend", {"127.0.0.1", QString::number(port), "/fader1", "f", value});
        ASSERT_TRUE(sender.waitForFinished(5000));
        ASSERT_EQ(sender.exitCode(), 0) << sender.readAllStandardError().toStdString();
    }

    std::optional<QJsonObject> nextOutputState() { return host.waitFor("dmxOutput", 15000); }
};

TEST_F(ExampleShowDmxRoad, oscsendMovesChannel7AndTheShowOutlivesOlad)
{
    copyExampleShow();
    OlaDaemon olad;
    ASSERT_TRUE(olad.start()) << olad.error();
    auto reader = std::make_unique<OlaUniverseReader>(olad.port());
    ASSERT_TRUE(reader->subscribe(1)) << reader->error();

    ASSERT_TRUE(host.start(path("show/show.tarvex"), {"--ola-port", QString::number(olad.port())}));
    ASSERT_TRUE(host.waitFor("ready")) << host.errorOutput().toStdString();
    std::optional<QJsonObject> state = nextOutputState();
    ASSERT_TRUE(state);
    ASSERT_EQ(state->value("state").toString(), "on");

    oscsend("0.5");
    ASSERT_TRUE(host.waitFor("execute")) << host.errorOutput().toStdString();
    EXPECT_TRUE(reader->waitForFrame(1, [](const DmxLevels &f) { return f[6] == 128; }))
        << reader->error();

    // olad goes: output off, OSC still handled.
    reader.reset();
    olad.stop();
    state = nextOutputState();
    ASSERT_TRUE(state);
    EXPECT_EQ(state->value("state").toString(), "off");
    oscsend("1");
    EXPECT_TRUE(host.waitFor("execute"));

    // olad is back: output on, and the level set while it was away arrives.
    ASSERT_TRUE(olad.start()) << olad.error();
    reader = std::make_unique<OlaUniverseReader>(olad.port());
    ASSERT_TRUE(reader->subscribe(1)) << reader->error();
    state = nextOutputState();
    ASSERT_TRUE(state);
    EXPECT_EQ(state->value("state").toString(), "on");
    EXPECT_TRUE(reader->waitForFrame(1, [](const DmxLevels &f) { return f[6] == 255; }))
        << reader->error();

    host.send("quit");
    EXPECT_TRUE(host.waitForExit());
}

} // namespace
} // namespace tarvex::test
