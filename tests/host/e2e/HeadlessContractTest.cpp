// The headless host's contract, end to end: a real tarvex-host process, commands on its standard
// input, JSON lines on its standard output. These tests hold for any plug-in (TARVEX_E2E_PLUGIN).

#include "tests/host/e2e/HeadlessProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tarvex::test {
namespace {

class HeadlessContract : public ::testing::Test {
protected:
    QTemporaryDir dir;
    HeadlessProcess host;

    QString path(const QString &relative) const { return QDir(dir.path()).filePath(relative); }

    void startOn(const QString &project,
                 const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(host.start(project, {}, environment));
        ASSERT_TRUE(host.waitFor("ready")) << host.errorOutput().toStdString();
    }

    void quitCleanly()
    {
        host.send("quit");
        ASSERT_TRUE(host.waitForExit());
        EXPECT_EQ(host.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(host.exitCode(), 0) << host.errorOutput().toStdString();
        EXPECT_TRUE(host.strayLines().isEmpty()) << host.strayLines().join('\n').toStdString();
    }
};

TEST_F(HeadlessContract, comesUpOffscreenOnANewProjectAndQuitsWithZero)
{
    // A display the host cannot have: it must not try to reach one. No runtime folder either,
    // as in a root shell: nothing to warn about.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.remove("XDG_RUNTIME_DIR");
    const QString project = path("new/show.tarvex");
    startOn(project, environment);

    const QJsonObject ready = host.events().front();
    EXPECT_EQ(ready.value("event").toString(), "ready");
    EXPECT_FALSE(ready.value("plugin").toString().isEmpty());
    EXPECT_EQ(ready.value("project").toString(), QFileInfo(project).absoluteFilePath());
    EXPECT_TRUE(QFileInfo(path("new")).isDir()) << "the plug-in's folder exists";
    EXPECT_FALSE(QFileInfo::exists(project)) << "the project file is written on save";

    host.send("state");
    const std::optional<QJsonObject> state = host.waitFor("state");
    ASSERT_TRUE(state);
    EXPECT_TRUE(state->value("server").isString());
    EXPECT_TRUE(state->value("learn").isString());
    quitCleanly();
    EXPECT_FALSE(host.errorOutput().contains("XDG_RUNTIME_DIR"))
        << host.errorOutput().toStdString();
}

TEST_F(HeadlessContract, endOfInputIsQuit)
{
    startOn(path("show.tarvex"));
    host.send("options");
    host.closeInput();
    ASSERT_TRUE(host.waitForExit());
    EXPECT_EQ(host.exitCode(), 0);
    EXPECT_EQ(host.eventsNamed("options").size(), 1) << "commands before the end still run";
}

TEST_F(HeadlessContract, failedCommandsPrintAnErrorAndTheHostGoesOn)
{
    startOn(path("show.tarvex"));
    const QStringList bad{
        "frobnicate",      "command 1",    "command 1 2 3",    "load",
        "save now",        "state please", "command x toggle", "load " + dir.path(),
        "listen 127.0.0.1"};
    for (const QString &line : bad)
        host.send(line);
    host.send("state");
    ASSERT_TRUE(host.waitFor("state"));

    const QList<QJsonObject> errors = host.eventsNamed("error");
    ASSERT_EQ(errors.size(), bad.size());
    for (qsizetype i = 0; i < bad.size(); ++i) {
        EXPECT_EQ(errors[i].value("command").toString(), bad[i]);
        EXPECT_FALSE(errors[i].value("message").toString().isEmpty()) << bad[i].toStdString();
    }
    quitCleanly();
}

TEST_F(HeadlessContract, optionsListTheActionsAndWhatToDoWithThem)
{
    startOn(path("show.tarvex"));
    host.send("options");
    const std::optional<QJsonObject> options = host.waitFor("options");
    ASSERT_TRUE(options);
    ASSERT_TRUE(options->value("first").isArray());
    const QJsonArray second = options->value("second").toArray();
    QStringList values;
    for (const QJsonValue &entry : second) {
        EXPECT_TRUE(entry.toObject().value("caption").isString());
        values.append(entry.toObject().value("value").toString());
    }
    EXPECT_EQ(values, (QStringList{"Deactivate", "Activate", "toggle"}));
    quitCleanly();
}

TEST_F(HeadlessContract, saveWritesTheProjectAndLoadSwitchesToAnother)
{
    const QString first = path("a/show.tarvex");
    startOn(first);
    host.send("save");
    ASSERT_TRUE(host.waitFor("saved"));
    QFile written(first);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.readLine().startsWith("tarvex-host project"));

    const QString second = path("b/other.tarvex");
    host.send("load " + second);
    const std::optional<QJsonObject> loaded = host.waitFor("loaded");
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->value("project").toString(), QFileInfo(second).absoluteFilePath());

    // A file that is no project of ours, or a path that names no file, is refused; the project
    // stays where it was and still saves.
    QFile foreign(path("b/notes.txt"));
    ASSERT_TRUE(foreign.open(QIODevice::WriteOnly));
    foreign.write("shopping list\n");
    foreign.close();
    const QStringList refused{foreign.fileName(), QString(QChar(u'\0')), path("c/"), path("c/..")};
    for (const QString &project : refused)
        host.send("load " + project);
    host.send("save");
    ASSERT_TRUE(host.waitFor("saved"))
        << host.events().last().value("message").toString().toStdString();
    EXPECT_EQ(host.eventsNamed("error").size(), refused.size());
    EXPECT_EQ(host.eventsNamed("loaded").size(), 1);
    EXPECT_TRUE(QFileInfo::exists(second));
    quitCleanly();
}

} // namespace
} // namespace tarvex::test
