// Loading a plug-in library through its entry point, in this process, with the test plug-in.

#include "host/app/PlugInLoader.h"
#include "host/app/HostSession.h"

#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tarvex::host {
namespace {

class PlugInLoaderTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString log = QDir(dir.path()).filePath("calls.log");

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        qputenv("TARVEX_TEST_PLUGIN_LOG", log.toLocal8Bit());
    }
    void TearDown() override { qunsetenv("TARVEX_TEST_PLUGIN_LOG"); }

    QStringList calls()
    {
        QFile file(log);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }

    static std::string failureOf(const std::function<void()> &call)
    {
        try {
            call();
        } catch (const std::exception &e) {
            return e.what();
        }
        return {};
    }
};

TEST_F(PlugInLoaderTest, findsEveryInterfaceThroughTheModuleInformation)
{
    HostSession session;
    session.start(TARVEX_TEST_PLUGIN, QDir(dir.path()).filePath("show.tarvex"),
                  HostSession::Show::Hidden);
    const PlugInLoader &plugIn = session.plugIn();
    EXPECT_EQ(plugIn.name(), "TarvexTest");
    EXPECT_NE(plugIn.mainWindow(), nullptr);
    EXPECT_NE(plugIn.commandServer(), nullptr);
    EXPECT_NE(plugIn.tool(), nullptr);
    EXPECT_NE(plugIn.scripting(), nullptr);
    EXPECT_EQ(plugIn.moduleInfo()->codes(), (std::vector<int32_t>{3, 15, 9}));
    EXPECT_EQ(plugIn.mainWindow()->isOpen(), VTrue) << "the main window is loaded";
    EXPECT_EQ(session.helper()->project()->baseFilename(),
              QDir(dir.path()).filePath("show.tarvex").toStdString());

    session.shutdown();
    EXPECT_FALSE(session.hasPlugIn());
    EXPECT_EQ(calls().mid(calls().size() - 3),
              (QStringList{"Term", "deleted", "window object deleted"}));
    session.shutdown(); // twice is harmless
    EXPECT_EQ(calls().count("Term"), 1);
}

TEST_F(PlugInLoaderTest, aLibraryThatIsMissingOrNoPlugInIsRefused)
{
    PlugInLoader loader;
    const QString missing = QDir(dir.path()).filePath("libnothing.so");
    EXPECT_NE(failureOf([&] { loader.load(missing); }).find("libnothing.so"), std::string::npos);
    EXPECT_FALSE(loader.isLoaded());

    QFile broken(QDir(dir.path()).filePath("libbroken.so"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not an ELF file");
    broken.close();
    EXPECT_NE(failureOf([&] { loader.load(broken.fileName()); }).find("cannot be loaded"),
              std::string::npos);

    const QString qtCore =
        QDir(QLibraryInfo::path(QLibraryInfo::LibrariesPath)).filePath("libQt6Core.so.6");
    ASSERT_TRUE(QFile::exists(qtCore));
    EXPECT_NE(failureOf([&] { loader.load(qtCore); }).find("no entry point"), std::string::npos);
    EXPECT_FALSE(loader.isLoaded());
}

TEST_F(PlugInLoaderTest, aStartThatFailsLeavesNoPlugInBehind)
{
    QFile foreign(QDir(dir.path()).filePath("notes.tarvex"));
    ASSERT_TRUE(foreign.open(QIODevice::WriteOnly));
    foreign.write("not a project\n");
    foreign.close();

    HostSession session;
    EXPECT_NE(failureOf([&] {
                  session.start(TARVEX_TEST_PLUGIN, foreign.fileName(), HostSession::Show::Hidden);
              }).find("not a tarvex-host project"),
              std::string::npos);
    EXPECT_FALSE(session.hasPlugIn());
    EXPECT_TRUE(calls().isEmpty()) << "the project is checked before the plug-in is loaded";
    EXPECT_NE(failureOf([&] { session.firstOptions(); }).find("no plug-in"), std::string::npos);
}

} // namespace
} // namespace tarvex::host
