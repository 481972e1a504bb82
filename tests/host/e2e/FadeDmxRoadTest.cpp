// Fades end to end through a private olad: the real plug-in with 512 channels that fade, a first
// message sets them all gliding up, a second one, sent while they glide, tells each channel a
// level of its own (every level of 0..255 on two channels), so that some channel is told the
// very level its fade is passing. Read back from olad, every channel ends where it was told.

#include "tests/host/e2e/HeadlessProcess.h"
#include "tests/host/e2e/RealShow.h"
#include "tests/support/FreePort.h"
#include "tests/support/OlaDaemon.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sstream>

namespace tarvex::test {
namespace {

constexpr int32_t FadeChannels = 512;

uint8_t toldLevel(int32_t channel)
{
    return static_cast<uint8_t>((channel - 1) % 256);
}

// /up glides every channel to full; /to sends each channel its own level (outMin = outMax).
VarArray fadingRows()
{
    VarArray rows;
    for (int32_t channel = 1; channel <= FadeChannels; ++channel) {
        const VarArray target =
            VarArray::ofValues({Variant("DMX"), Variant("Fade"), Variant("fade=1500"),
                                Variant::byte(1), Variant(channel)});
        const std::string level = std::to_string(toldLevel(channel));
        rows.append(
            actionRow("/up", {"f"}, {{condition("any", range("-", "0", "1"), target)}}, channel));
        rows.append(actionRow("/to", {"f"},
                              {{condition("any", range("-", "0", "1", level, level), target)}},
                              FadeChannels + channel));
    }
    return rows;
}

void oscsend(uint16_t port, const QString &address)
{
    QProcess sender;
    sender.start("oscsend", {"127.0.0.1", QString::number(port), address, "f", "1"});
    ASSERT_TRUE(sender.waitForFinished(5000));
    ASSERT_EQ(sender.exitCode(), 0) << sender.readAllStandardError().toStdString();
}

TEST(FadeDmxRoad, aLevelToldMidFadeArrivesOnEveryChannelAlsoTheOnePassingIt)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string show = QDir(dir.path()).filePath("show").toStdString();
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(show)));
    const uint16_t port = freeUdpPort();
    writeShowSettings(show, port);
    writeShowActions(show, fadingRows());

    OlaDaemon olad;
    ASSERT_TRUE(olad.start()) << olad.error();
    OlaUniverseReader reader(olad.port());
    ASSERT_TRUE(reader.subscribe(1)) << reader.error();
    HeadlessProcess host{QStringLiteral(TARVEX_REAL_PLUGIN)};
    ASSERT_TRUE(host.start(QString::fromStdString(show + "/show.tarvex"),
                           {"--ola-port", QString::number(olad.port())}));
    ASSERT_TRUE(host.waitFor("ready")) << host.errorOutput().toStdString();
    const std::optional<QJsonObject> state = host.waitFor("dmxOutput", 15000);
    ASSERT_TRUE(state);
    ASSERT_EQ(state->value("state").toString(), "on");

    oscsend(port, "/up");
    oscsend(port, "/to");
    // Reading the host's events keeps its output flowing.
    for (int i = 0; i < 2 * FadeChannels; ++i)
        ASSERT_TRUE(host.waitFor("execute")) << i;

    auto told = [](const DmxLevels &levels) {
        for (int32_t channel = 1; channel <= FadeChannels; ++channel) {
            if (levels[static_cast<size_t>(channel - 1)] != toldLevel(channel))
                return false;
        }
        return true;
    };
    if (!reader.waitForFrame(1, told, std::chrono::seconds(10))) {
        std::ostringstream wrong;
        if (const std::optional<DmxLevels> levels = reader.fetch(1)) {
            for (int32_t channel = 1; channel <= FadeChannels; ++channel) {
                const uint8_t level = (*levels)[static_cast<size_t>(channel - 1)];
                if (level != toldLevel(channel))
                    wrong << " " << channel << ":" << int(level) << "/" << int(toldLevel(channel));
            }
        }
        ADD_FAILURE() << "channels not at their level (channel:level/told):" << wrong.str() << " "
                      << reader.error();
    }
    host.send("quit");
    EXPECT_TRUE(host.waitForExit());
}

} // namespace
} // namespace tarvex::test
