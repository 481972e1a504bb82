// The headless host with the test plug-in, whose behaviour is known: commands reach targets,
// message boxes become events, the buttons are pressed, the plug-in's files follow the project,
// and quitting ends the plug-in before the library goes.

#include "tests/host/e2e/HeadlessProcess.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>

#include <csignal>
#include <gtest/gtest.h>

namespace tarvex::test {
namespace {

class TestPlugInRoad : public ::testing::Test {
protected:
    QTemporaryDir dir;
    HeadlessProcess host{HeadlessProcess::testPlugInPath()};

    QString path(const QString &relative) const { return QDir(dir.path()).filePath(relative); }

    void write(const QString &relative, const QByteArray &text)
    {
        QDir().mkpath(QFileInfo(path(relative)).path());
        QFile file(path(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    QByteArray read(const QString &relative)
    {
        QFile file(path(relative));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void startOn(const QString &relative)
    {
        ASSERT_TRUE(dir.isValid());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TARVEX_TEST_PLUGIN_LOG", path("calls.log"));
        ASSERT_TRUE(host.start(path(relative), {}, environment));
        ASSERT_TRUE(host.waitFor("ready")) << host.errorOutput().toStdString();
    }

    QStringList firstCaptions()
    {
        host.send("options");
        std::optional<QJsonObject> options = host.waitFor("options");
        QStringList captions;
        if (options) {
            for (const QJsonValue &entry : options->value("first").toArray())
                captions.append(entry.toObject().value("caption").toString());
        }
        return captions;
    }

    std::pair<QString, QString> state()
    {
        host.send("state");
        std::optional<QJsonObject> reply = host.waitFor("state");
        if (!reply)
            return {};
        return {reply->value("server").toString(), reply->value("learn").toString()};
    }
};

TEST_F(TestPlugInRoad, aCueExecutesItsTargetAfterTheUserInteraction)
{
    write("show/TestActions.txt", "7 /fader1 0\n");
    startOn("show/show.tarvex");
    host.send("command 7 Activate");
    const std::optional<QJsonObject> execute = host.waitFor("execute");
    ASSERT_TRUE(execute);
    EXPECT_EQ(execute->value("target").toArray(), (QJsonArray{"DMX", "/fader1", "", 1, 7}));
    EXPECT_EQ(execute->value("value").toInt(), 255);
    EXPECT_EQ(execute->value("min").toInt(), 0);
    EXPECT_EQ(execute->value("max").toInt(), 255);
    // After "ready", the plug-in's events in order (the DMX output's state comes when it may).
    QStringList order;
    for (const QJsonObject &event : host.events()) {
        if (event.value("event").toString() != "dmxOutput")
            order.append(event.value("event").toString());
    }
    EXPECT_EQ(order, (QStringList{"ready", "userInteraction", "execute"}));

    host.send("command 8 Activate"); // no such action: the plug-in fails the call
    const std::optional<QJsonObject> error = host.waitFor("error");
    ASSERT_TRUE(error);
    EXPECT_EQ(error->value("command").toString(), "command 8 Activate");
}

TEST_F(TestPlugInRoad, messageBoxesArePrintedAndNeverWaitedFor)
{
    write("show/TestActions.txt", "7 /fader1 0\n");
    startOn("show/show.tarvex");
    host.send("command 7 Message");
    const std::optional<QJsonObject> box = host.waitFor("messageBox");
    ASSERT_TRUE(box);
    EXPECT_EQ(box->value("text").toString(), "Aktion /fader1");
    host.send("quit");
    ASSERT_TRUE(host.waitForExit());
    EXPECT_TRUE(read("calls.log").contains("box taken\n"));
}

TEST_F(TestPlugInRoad, startAndLearnPressTheButtonsAndStateReadsThem)
{
    startOn("show/show.tarvex");
    EXPECT_EQ(state(), std::make_pair(QString("Start"), QString("Lernen")));
    EXPECT_TRUE(host.errorOutput().contains("the OSC server is stopped")) << "said at start";
    host.send("start");
    EXPECT_EQ(state(), std::make_pair(QString("Stop"), QString("Lernen")));
    host.send("learn");
    host.send("configure");
    EXPECT_EQ(state(), std::make_pair(QString("Stop"), QString("Stop")));
    EXPECT_TRUE(host.eventsNamed("error").isEmpty());
}

TEST_F(TestPlugInRoad, theMainWindowIsLoadedSoAutostartApplies)
{
    write("show/TestAutostart", "");
    startOn("show/show.tarvex");
    EXPECT_EQ(state().first, "Stop");
    EXPECT_FALSE(host.errorOutput().contains("the OSC server is stopped"));
}

TEST_F(TestPlugInRoad, thePlugInsFilesFollowSaveAndLoad)
{
    write("a/TestActions.txt", "1 /a 0\n2 /b 1\n");
    write("b/TestActions.txt", "5 /other 0\n");
    startOn("a/show.tarvex");
    host.send("command 1 toggle");
    host.send("save");
    ASSERT_TRUE(host.waitFor("saved"));
    EXPECT_EQ(read("a/TestActions.txt"), "1 /a 1\n2 /b 1\n");

    host.send("load " + path("b/other.tarvex"));
    ASSERT_TRUE(host.waitFor("loaded"));
    EXPECT_EQ(firstCaptions(), QStringList{"1. /other"});
    host.send("load " + path("a/show.tarvex"));
    ASSERT_TRUE(host.waitFor("loaded"));
    EXPECT_EQ(firstCaptions(), (QStringList{"1. /a", "2. /b"}));
}

TEST_F(TestPlugInRoad, loadingRunsInOrderAndQuitEndsThePlugInBeforeUnloading)
{
    startOn("show/show.tarvex");
    host.send("quit");
    ASSERT_TRUE(host.waitForExit());
    EXPECT_EQ(host.exitCode(), 0);
    EXPECT_TRUE(host.strayLines().isEmpty());
    EXPECT_TRUE(host.errorOutput().contains("TarvexTest: Init")) << "the plug-in's print";
    const QString calls = QString::fromUtf8(read("calls.log"));
    const QString folder = QDir(path("show")).absolutePath();
    EXPECT_EQ(
        calls.split('\n', Qt::SkipEmptyParts),
        (QStringList{"created", "Init", "ModuleInfo", "PluginName", "LoadProjectData " + folder,
                     "loadWindow", "loadWindow", "Term", "deleted", "window object deleted"}))
        << "the second: the host reads the start button's caption to say the server is stopped";
}

TEST_F(TestPlugInRoad, aPlugInFailingAtStartIsReportedAndTheHostExitsWithOne)
{
    ASSERT_TRUE(dir.isValid());
    for (const QString call : {"LoadProjectData", "loadWindow"}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TARVEX_TEST_PLUGIN_FAIL", call);
        HeadlessProcess failing(HeadlessProcess::testPlugInPath());
        ASSERT_TRUE(failing.start(path("show/show.tarvex"), {}, environment));
        ASSERT_TRUE(failing.waitForExit());
        EXPECT_EQ(failing.exitStatus(), QProcess::NormalExit) << call.toStdString();
        EXPECT_EQ(failing.exitCode(), 1) << call.toStdString();
        EXPECT_TRUE(failing.events().isEmpty()) << "no ready";
        EXPECT_TRUE(failing.errorOutput().contains("the test plug-in fails in " + call))
            << failing.errorOutput().toStdString();
    }
}

TEST_F(TestPlugInRoad, aTerminationSignalEndsThePlugInAsQuitDoes)
{
    startOn("show/show.tarvex");
    host.terminate();
    ASSERT_TRUE(host.waitForExit());
    EXPECT_EQ(host.exitCode(), 0);
    EXPECT_TRUE(read("calls.log").endsWith("Term\ndeleted\nwindow object deleted\n"));
}

// The window host, offscreen: the plug-in's own modal box is up while the signal comes.
TEST_F(TestPlugInRoad, aSignalWhileAModalBoxIsUpEndsTheWindowedHost)
{
    ASSERT_TRUE(dir.isValid());
    for (const int signal : {SIGTERM, SIGINT}) {
        QFile::remove(path("calls.log"));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("TARVEX_TEST_PLUGIN_LOG", path("calls.log"));
        environment.insert("TARVEX_TEST_PLUGIN_BOX_SIGNAL", QString::number(signal));
        QProcess windowed;
        windowed.setProcessEnvironment(environment);
        windowed.start(TARVEX_HOST_EXE, {"--plugin", HeadlessProcess::testPlugInPath(),
                                         "--no-dmx-out", path("show/show.tarvex")});
        ASSERT_TRUE(windowed.waitForFinished(HeadlessProcess::DefaultWaitMs)) << signal;
        EXPECT_EQ(windowed.exitStatus(), QProcess::NormalExit) << signal;
        EXPECT_EQ(windowed.exitCode(), 0) << signal;
        const QByteArray calls = read("calls.log");
        EXPECT_TRUE(calls.contains("box closed\n") &&
                    calls.endsWith("Term\ndeleted\nwindow object deleted\n"))
            << calls.toStdString();
    }
}

TEST_F(TestPlugInRoad, aSignalWithUnsavedChangesSaysSoAndQuitsWithoutSaving)
{
    write("show/TestActions.txt", "7 /fader1 0\n");
    write("show/TestTracksChanges", "");
    startOn("show/show.tarvex");
    host.send("command 7 toggle");
    ASSERT_TRUE(host.waitFor("execute"));
    host.terminate();
    ASSERT_TRUE(host.waitForExit());
    EXPECT_EQ(host.exitCode(), 0);
    EXPECT_EQ(host.eventsNamed("unsavedChanges").size(), 1);
    EXPECT_EQ(read("show/TestActions.txt"), "7 /fader1 0\n");
}

} // namespace
} // namespace tarvex::test
