// tarvex-host's command line where there is no display: --help and --version answer, usage
// errors exit with 2, and a window without a screen is refused with a reason instead of an abort.

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tarvex::test {
namespace {

struct Case {
    QStringList arguments;
    int exitCode;
    QString says;
};

TEST(CommandLine, answersWithoutADisplay)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_CONFIG_HOME"})
        environment.remove(name);
    // A home of its own: --example looks for the user's copy in its documents folder.
    const QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    environment.insert("HOME", home.path());
    const Case cases[] = {
        {{"--help"}, 0, "--headless"},
        {{"-h"}, 0, "[options] [PROJECT_FILE]"},
        {{"--help"}, 0, "untitled.tarvex"},
        {{"--version"}, 0, "tarvex-host "},
        {{"--universes", "0", "show.tarvex"}, 2, "--universes takes 1 to"},
        {{"--web", "stage:80", "show.tarvex"}, 2, "--web takes [ADDRESS:]PORT"},
        {{"--bogus", "show.tarvex"}, 2, "Unknown option 'bogus'"},
        {{"--headless"}, 2, "--headless needs a PROJECT_FILE"},
        {{"--example", "show.tarvex"}, 2, "--example takes no PROJECT_FILE"},
        // The build tree has no installed example show.
        {{"--headless", "--example"}, 1, "there is no example show installed at"},
        {{"show.tarvex"}, 1, "no display"},
    };
    for (const Case &c : cases) {
        const std::string shown = c.arguments.join(' ').toStdString();
        QProcess host;
        host.setProcessEnvironment(environment);
        host.setProcessChannelMode(QProcess::MergedChannels);
        host.start(TARVEX_HOST_EXE, c.arguments);
        host.closeWriteChannel();
        ASSERT_TRUE(host.waitForFinished(10000)) << shown;
        EXPECT_EQ(host.exitStatus(), QProcess::NormalExit) << shown;
        EXPECT_EQ(host.exitCode(), c.exitCode) << shown;
        const QString output = QString::fromLocal8Bit(host.readAll());
        EXPECT_TRUE(output.contains(c.says)) << shown << ": " << output.toStdString();
    }
}

} // namespace
} // namespace tarvex::test
