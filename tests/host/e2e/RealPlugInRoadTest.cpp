// The headless host with the real plug-in: datagrams on 127.0.0.1 reach the plug-in's server,
// and its rows come back as the host's execute events. A "nothing happens" check sends a marker
// datagram afterwards and looks at what arrived before the marker's execute.

#include "store/ArrayCodec.h"
#include "tests/host/e2e/HeadlessProcess.h"
#include "tests/host/e2e/RealShow.h"
#include "tests/support/OscBuilder.h"
#include "tests/support/QtWait.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes floatMessage(const std::string &address, float value)
{
    return OscBuilder().message(address, ",f").f32(value).bytes();
}

// The show: a fader, a conditioned level, a beat row, an argument-less row that is deactivated
// and the marker.
VarArray showRows()
{
    return table({
        faderRow("/fader1", "Fader", 7, 1),
        faderRow("/level", "Level", 8, 2, ">", "0.5"),
        actionRow("/beat", {"f"},
                  {{condition("=", range("NumarkBeat", "-", "-", "-", "-", "-", "-"),
                              dmxChannel("Beat", 9))}},
                  3),
        actionRow(
            "/go", {"Empty"},
            {{condition("any", range("-", "-", "-", "-", "-", "-", "-"), dmxChannel("Go", 10))}}, 4,
            "Deactivated"),
        faderRow("/mark", "Mark", 11, 5),
    });
}

class RealPlugInRoad : public ::testing::Test {
protected:
    QTemporaryDir dir;
    HeadlessProcess host{QStringLiteral(TARVEX_REAL_PLUGIN)};
    uint16_t port = freeUdpPort();

    QString path(const QString &relative) const { return QDir(dir.path()).filePath(relative); }

    void writeShow(const QString &folder, const VarArray &rows)
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir().mkpath(path(folder)));
        writeShowSettings(path(folder).toStdString(), port);
        writeShowActions(path(folder).toStdString(), rows);
    }

    void startOn(const QString &folder)
    {
        ASSERT_TRUE(host.start(path(folder + "/show.tarvex"), {"--no-dmx-out"}));
        ASSERT_TRUE(host.waitFor("ready")) << host.errorOutput().toStdString();
    }

    void startShow()
    {
        writeShow("show", showRows());
        startOn("show");
        ASSERT_EQ(serverCaption(), "Stop") << host.errorOutput().toStdString();
    }

    QString serverCaption()
    {
        host.send("state");
        const std::optional<QJsonObject> state = host.waitFor("state");
        return state ? state->value("server").toString() : QString();
    }

    void send(const Bytes &datagram)
    {
        UdpSender sender(port);
        sender.send(datagram);
    }

    // The next execute's label and value.
    std::pair<QString, double> nextExecute()
    {
        const std::optional<QJsonObject> execute = host.waitFor("execute");
        if (!execute)
            return {"(none)", -1};
        return {execute->value("target").toArray().at(1).toString(),
                execute->value("value").toDouble()};
    }

    // Sends the marker and returns the labels executed before it.
    QStringList labelsUntilMarker()
    {
        send(floatMessage("/mark", 1));
        QStringList labels;
        for (;;) {
            const QString label = nextExecute().first;
            if (label == "Mark" || label == "(none)")
                return labels << label;
            labels << label;
        }
    }

    // A second quit ends a host that the first only told of unsaved changes (a listen, a cue).
    void quit()
    {
        host.send("quit");
        host.send("quit");
        ASSERT_TRUE(host.waitForExit());
        EXPECT_EQ(host.exitCode(), 0);
    }
};

TEST_F(RealPlugInRoad, scalingConditionsAndBundlesReachTheChannels)
{
    startShow();
    send(floatMessage("/fader1", 0.5f));
    const std::optional<QJsonObject> execute = host.waitFor("execute");
    ASSERT_TRUE(execute);
    EXPECT_EQ(execute->value("target").toArray(), (QJsonArray{"DMX", "Fader", "", 1, 7}));
    EXPECT_EQ(qRound(execute->value("value").toDouble()), 128);
    EXPECT_EQ(execute->value("min").toInt(), 0);
    EXPECT_EQ(execute->value("max").toInt(), 255);

    send(floatMessage("/level", 0.4f)); // not above one half
    EXPECT_EQ(labelsUntilMarker(), (QStringList{"Mark"}));
    send(floatMessage("/level", 0.8f));
    EXPECT_EQ(nextExecute().first, "Level");

    send(OscBuilder()
             .bundle()
             .element(floatMessage("/fader1", 0.25f))
             .element(floatMessage("/level", 0.75f))
             .bytes());
    EXPECT_EQ(labelsUntilMarker(), (QStringList{"Fader", "Level", "Mark"}));
    quit();
}

TEST_F(RealPlugInRoad, onlyAFallingValueBeatsAndAnArgumentLessMessageRunsWhileDeactivated)
{
    startShow();
    for (float value : {0.2f, 0.5f, 0.9f})
        send(floatMessage("/beat", value));
    EXPECT_EQ(labelsUntilMarker(), (QStringList{"Mark"}));
    send(floatMessage("/beat", 0.1f));
    EXPECT_EQ(nextExecute().first, "Beat");

    send(OscBuilder().str("/go").bytes());
    EXPECT_EQ(nextExecute().first, "Go");
    quit();
}

TEST_F(RealPlugInRoad, cuesDeactivateAndActivateAndTheOptionsListTheActions)
{
    startShow();
    host.send("command 1 Deactivate");
    ASSERT_EQ(serverCaption(), "Stop"); // the command is handled before the datagram is sent
    send(floatMessage("/fader1", 0.5f));
    EXPECT_EQ(labelsUntilMarker(), (QStringList{"Mark"}));
    host.send("command 1 Activate");
    ASSERT_EQ(serverCaption(), "Stop");
    send(floatMessage("/fader1", 0.5f));
    EXPECT_EQ(nextExecute().first, "Fader");

    host.send("options");
    const std::optional<QJsonObject> options = host.waitFor("options");
    ASSERT_TRUE(options);
    QStringList captions;
    QStringList values;
    for (const QJsonValue &entry : options->value("first").toArray()) {
        captions << entry.toObject().value("caption").toString();
        values << entry.toObject().value("value").toVariant().toString();
    }
    EXPECT_EQ(captions, (QStringList{"1. /fader1", "2. /level", "3. /beat", "4. /go", "5. /mark"}));
    EXPECT_EQ(values, (QStringList{"1", "2", "3", "4", "5"}));
    QStringList second;
    for (const QJsonValue &entry : options->value("second").toArray())
        second << entry.toObject().value("value").toString();
    EXPECT_EQ(second, (QStringList{"Deactivate", "Activate", "toggle"}));
    quit();
}

// Headless, the rows say what each did and why one cannot fire; the actions go out as JSON and
// come back in, and a broken file changes nothing and says where it is broken.
TEST_F(RealPlugInRoad, rowsCountHitsAndTheActionsTravelAsText)
{
    startShow();
    send(floatMessage("/fader1", 0.5f));
    ASSERT_TRUE(host.waitFor("execute"));
    host.send("rows");
    std::optional<QJsonObject> rows = host.waitFor("rows");
    ASSERT_TRUE(rows);
    const QJsonArray list = rows->value("rows").toArray();
    ASSERT_EQ(list.size(), 5);
    EXPECT_EQ(list[0].toObject().value("hits").toInt(), 1);
    EXPECT_EQ(list[0].toObject().value("lastLevel").toInt(), 128);
    EXPECT_EQ(list[1].toObject().value("hits").toInt(), 0);
    EXPECT_EQ(list[3].toObject().value("cannotFire").toArray(), QJsonArray{})
        << "a message without arguments runs its row while it is deactivated";

    host.send("actions export " + path("actions.json"));
    ASSERT_TRUE(host.waitFor("actionsExported"));
    QFile exported(path("actions.json"));
    ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
    const QByteArray text = exported.readAll();
    // The export with one text replaced, as a file of its own.
    auto variant = [&](const QString &name, const char *before, const char *after) {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(text).replace(before, after));
        return path(name);
    };

    host.send("actions import " + variant("broken.json", "\"/level\"", "\"\""));
    const std::optional<QJsonObject> error = host.waitFor("error");
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->value("message").toString().contains("row 2, address: must not be empty"));
    host.send("actions import " + path("actions.json"));
    const std::optional<QJsonObject> imported = host.waitFor("actionsImported");
    ASSERT_TRUE(imported);
    EXPECT_EQ(imported->value("actions").toInt(), 5);
    EXPECT_EQ(imported->value("sharedIds").toArray(), QJsonArray{});
    send(floatMessage("/level", 0.8f));
    EXPECT_EQ(nextExecute().first, "Level");

    // The second row takes the first one's id: imported, and the event says which id is shared.
    host.send("actions import " + variant("shared.json", "\"id\": 2\n", "\"id\": 1\n"));
    const std::optional<QJsonObject> sharing = host.waitFor("actionsImported");
    ASSERT_TRUE(sharing);
    EXPECT_EQ(sharing->value("sharedIds").toArray(),
              (QJsonArray{QJsonObject{{"id", 1}, {"rows", 2}}}));
    quit();
}

// Real datagrams into rows that share a channel, and into universe 1 channel 21 and universe 12
// channel 1: the rows count apart, and each target writes its own channel.
TEST_F(RealPlugInRoad, everyRowCountsItsOwnHits)
{
    auto far = [](uint8_t universe, int32_t channel) {
        return VarArray::ofValues({Variant("DMX"), Variant("Far"), Variant(""),
                                   Variant::byte(universe), Variant(channel)});
    };
    auto row = [](const std::string &address, VarArray target, int32_t id) {
        return actionRow(address, {"f"}, {{condition("any", range("-", "0", "1"), target)}}, id);
    };
    writeShow("show", table({faderRow("/fader1", "Fader", 7, 1), faderRow("/fader2", "Fader", 7, 2),
                             row("/near", far(1, 21), 3), row("/far", far(12, 1), 4)}));
    ASSERT_TRUE(host.start(path("show/show.tarvex"), {"--no-dmx-out", "--universes", "12"}));
    ASSERT_TRUE(host.waitFor("ready")) << host.errorOutput().toStdString();
    for (const auto &[address, value] : std::vector<std::pair<std::string, float>>{
             {"/fader1", 0.5f}, {"/fader1", 1}, {"/fader2", 0.2f}, {"/far", 1}}) {
        send(floatMessage(address, value));
        ASSERT_TRUE(host.waitFor("execute")) << address;
    }
    host.send("rows");
    const std::optional<QJsonObject> rows = host.waitFor("rows");
    ASSERT_TRUE(rows);
    QStringList hitsAndLevels;
    for (const QJsonValue &listed : rows->value("rows").toArray()) {
        const QJsonValue level = listed.toObject().value("lastLevel");
        hitsAndLevels << QString::number(listed.toObject().value("hits").toInt()) + " " +
                             (level.isNull() ? QString("-") : QString::number(level.toInt()));
    }
    EXPECT_EQ(hitsAndLevels, (QStringList{"2 255", "1 51", "0 -", "1 255"}));
    quit();
}

TEST_F(RealPlugInRoad, saveWritesBothFilesAndLoadReadsTheOtherProjectsRows)
{
    startShow();
    ASSERT_TRUE(QFile::remove(path("show/TarvexActions.dat")));
    ASSERT_TRUE(QFile::remove(path("show/TarvexSettings.dat")));
    host.send("save");
    ASSERT_TRUE(host.waitFor("saved")) << host.errorOutput().toStdString();
    EXPECT_TRUE(QFile::exists(path("show/TarvexSettings.dat")));
    VarArray saved;
    EXPECT_EQ(readArrayFile(path("show/TarvexActions.dat").toStdString(), saved),
              ArrayFileRead::Complete);
    EXPECT_EQ(saved.size(), 5);

    writeShow("other",
              table({faderRow("/fader1", "Other", 20, 9), faderRow("/mark", "Mark", 11, 5)}));
    host.send("load " + path("other/show.tarvex"));
    ASSERT_TRUE(host.waitFor("loaded"));
    send(floatMessage("/level", 0.9f)); // the first show's row is gone
    EXPECT_EQ(labelsUntilMarker(), (QStringList{"Mark"}));
    send(floatMessage("/fader1", 1));
    const std::optional<QJsonObject> execute = host.waitFor("execute");
    ASSERT_TRUE(execute);
    EXPECT_EQ(execute->value("target").toArray(), (QJsonArray{"DMX", "Other", "", 1, 20}));
    quit();
}

TEST_F(RealPlugInRoad, aBrokenDatagramChangesNothing)
{
    startShow();
    Bytes cut = floatMessage("/fader1", 0.5f);
    cut.resize(cut.size() - 2); // the float cut short
    send(cut);
    EXPECT_EQ(labelsUntilMarker(), (QStringList{"Mark"}));
    send(floatMessage("/fader1", 1));
    EXPECT_EQ(nextExecute(), (std::pair<QString, double>{"Fader", 255}));
    quit();
}

// Another socket holding a port on 127.0.0.1; -1 when it could not bind.
int holdPort(uint16_t held)
{
    const int holder = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(held);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(holder, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0)
        return holder;
    ::close(holder);
    return -1;
}

TEST_F(RealPlugInRoad, listenMovesTheRunningServerAndStateSaysWhere)
{
    startShow();
    const QString first = QString::number(port);
    for (const QString &refused :
         QStringList{"listen 127.0.0.1 70000", "listen localhost " + first})
        host.send(refused);
    host.send("state");
    std::optional<QJsonObject> state = host.waitFor("state");
    ASSERT_TRUE(state);
    EXPECT_EQ(host.eventsNamed("error").size(), 2);
    EXPECT_EQ(state->value("address").toString(), "127.0.0.1");
    EXPECT_EQ(state->value("port").toString(), first);

    port = freeUdpPort();
    host.send("listen 127.0.0.1 " + QString::number(port));
    EXPECT_EQ(serverCaption(), "Stop");
    send(floatMessage("/fader1", 1));
    EXPECT_EQ(nextExecute(), (std::pair<QString, double>{"Fader", 255}));
    const int oldPortFree = holdPort(first.toUShort());
    EXPECT_GE(oldPortFree, 0) << "the server left its old port";

    // A port it cannot take: the start button's box, and the server stopped.
    const QString taken = QString::number(freeUdpPort());
    const int holder = holdPort(taken.toUShort());
    ASSERT_GE(holder, 0);
    host.send("listen 127.0.0.1 " + taken);
    host.send("state");
    state = host.waitFor("state");
    ASSERT_TRUE(state);
    ASSERT_EQ(host.eventsNamed("messageBox").size(), 1);
    EXPECT_TRUE(host.eventsNamed("messageBox")[0].value("text").toString().startsWith(
        "Konnte Server nicht starten !!!"));
    EXPECT_EQ(state->value("server").toString(), "Start");
    EXPECT_EQ(state->value("port").toString(), taken);
    quit();
    ::close(holder);
    ::close(oldPortFree);
}

TEST_F(RealPlugInRoad, aTakenPortIsReportedAndTheServerStaysStopped)
{
    // Another socket holds the show's port.
    const int holder = holdPort(port);
    ASSERT_GE(holder, 0);

    writeShow("show", showRows());
    startOn("show");
    // Autostart runs while the main window loads, before "ready".
    const QList<QJsonObject> boxes = host.eventsNamed("messageBox");
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].value("text").toString().startsWith("Konnte Server nicht starten !!!"))
        << boxes[0].value("text").toString().toStdString();
    EXPECT_EQ(serverCaption(), "Start");
    quit();
    ::close(holder);
}

TEST_F(RealPlugInRoad, aDamagedShowStartsWithTheRowsItCouldReadSaysSoAndSaves)
{
    writeShow("show", showRows());
    // The actions cut inside the third row, the settings inside their header.
    const VarArray twoRows = VarArray::ofValues({showRows()[0], showRows()[1]});
    const auto cut = static_cast<qint64>(arraycodec::encodeArrayFile(twoRows).size()) + 20;
    ASSERT_TRUE(QFile::resize(path("show/TarvexActions.dat"), cut));
    ASSERT_TRUE(QFile::resize(path("show/TarvexSettings.dat"), 15));
    startOn("show");

    const QList<QJsonObject> notices = host.eventsNamed("notice");
    ASSERT_EQ(notices.size(), 2);
    EXPECT_TRUE(notices[0].value("text").toString().contains("only 2 actions"));
    EXPECT_TRUE(notices[1].value("text").toString().contains("TarvexSettings.dat.damaged"));
    EXPECT_EQ(QFile(path("show/TarvexSettings.dat.damaged")).size(), 15);
    EXPECT_EQ(serverCaption(), "Start"); // the default settings do not start the server
    host.send("configure");
    host.send("save");
    ASSERT_TRUE(host.waitFor("saved")) << host.errorOutput().toStdString();
    VarArray saved;
    EXPECT_EQ(readArrayFile(path("show/TarvexActions.dat").toStdString(), saved),
              ArrayFileRead::Complete);
    EXPECT_EQ(saved, twoRows);
    quit();
}

// A controller's socket on 127.0.0.1: sends to the show and takes what comes back.
struct ControllerSocket {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    uint16_t port = 0;
    ControllerSocket()
    {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof local;
        ::bind(fd, reinterpret_cast<sockaddr *>(&local), sizeof local);
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&local), &length);
        port = ntohs(local.sin_port);
    }
    ~ControllerSocket() { ::close(fd); }
    void send(uint16_t to, const Bytes &bytes)
    {
        sockaddr_in server{};
        server.sin_family = AF_INET;
        server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        server.sin_port = htons(to);
        ::sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr *>(&server),
                 sizeof server);
    }
    Bytes receive()
    {
        Bytes buffer(2048);
        const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
        buffer.resize(n > 0 ? static_cast<size_t>(n) : 0);
        return buffer;
    }
};

TEST_F(RealPlugInRoad, controllersAreListedAndFeedbackIsSwitchedFromTheCommandLine)
{
    startShow();
    ControllerSocket phone, tablet;
    tablet.send(port, {'/', 'x', 0, 0, ',', 'f', 0, 0}); // its float is missing
    phone.send(port, floatMessage("/fader1", 1));
    phone.send(port, floatMessage("/nowhere", 1));
    const std::optional<QJsonObject> news = host.waitFor("controller");
    ASSERT_TRUE(news);
    const QString phoneEndpoint = "127.0.0.1:" + QString::number(phone.port);
    EXPECT_EQ(news->value("endpoint").toString(), phoneEndpoint);
    EXPECT_EQ(news->value("state").toString(), "new");

    // The news comes with the phone's first datagram; its second may not be handled yet.
    std::optional<QJsonObject> tables;
    ASSERT_TRUE(waitUntil([&] {
        host.send("controllers");
        tables = host.waitFor("controllers");
        return tables && !tables->value("unmatched").toArray().isEmpty();
    }));
    const QJsonObject entry = tables->value("controllers").toArray().at(0).toObject();
    EXPECT_EQ(entry.value("endpoint").toString(), phoneEndpoint);
    EXPECT_EQ(entry.value("datagrams").toInt(), 2);
    EXPECT_EQ(entry.value("controller").toBool(), true);
    const QJsonObject stranger = tables->value("controllers").toArray().at(1).toObject();
    EXPECT_EQ(stranger.value("controller").toBool(), false);
    EXPECT_EQ(stranger.value("irregular").toInt(), 1);
    EXPECT_EQ(tables->value("unmatched").toArray().at(0).toObject().value("address").toString(),
              "/nowhere");
    EXPECT_EQ(tables->value("feedback").toObject().value("mode").toString(), "off");

    for (const char *refused : {"feedback sideways", "feedback others 70000", "feedback off 1"})
        host.send(refused);
    host.send("feedback others");
    host.send("controllers"); // commands run in order: feedback is on once this is answered
    tables = host.waitFor("controllers");
    ASSERT_TRUE(tables);
    EXPECT_EQ(tables->value("feedback").toObject().value("mode").toString(), "others");
    Bytes fedBack;
    ASSERT_TRUE(waitUntil([&] { return !(fedBack = phone.receive()).empty(); }));
    EXPECT_EQ(fedBack, floatMessage("/fader1", 1)) << "the state, once feedback is on";
    tablet.send(port, floatMessage("/fader1", 0.5f));
    ASSERT_TRUE(waitUntil([&] { return !(fedBack = phone.receive()).empty(); }));
    EXPECT_EQ(fedBack, floatMessage("/fader1", 0.5f));
    EXPECT_EQ(host.eventsNamed("error").size(), 3);
    host.send("quit");
    EXPECT_TRUE(host.waitFor("unsavedChanges")) << "the feedback setting is the project's";
    quit();
}

} // namespace
} // namespace tarvex::test
