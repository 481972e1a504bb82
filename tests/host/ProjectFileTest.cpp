#include "host/app/ProjectFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace tarvex::host {
namespace {

class ProjectFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::string path(const QString &relative) const
    {
        return QDir(dir.path()).filePath(relative).toStdString();
    }
    void write(const QString &relative, const QByteArray &bytes)
    {
        QFile file(QString::fromStdString(path(relative)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    static bool refused(const std::function<void()> &call)
    {
        try {
            call();
        } catch (const std::runtime_error &) {
            return true;
        }
        return false;
    }
};

TEST_F(ProjectFileTest, aMissingFileIsANewProjectAndAWrittenOneReadsBack)
{
    EXPECT_FALSE(refused([&] { checkProjectFile(path("deep/new/show.tarvex")); }));
    writeProjectFile(path("deep/new/show.tarvex"));
    EXPECT_FALSE(refused([&] { checkProjectFile(path("deep/new/show.tarvex")); }));
    EXPECT_EQ(QDir(QString::fromStdString(path("deep/new"))).entryList(QDir::Files),
              QStringList{"show.tarvex"});
}

TEST_F(ProjectFileTest, onlyOurFirstLineMakesAProject)
{
    write("windows.tarvex", "tarvex-host project 1\r\nlater: settings\r\n");
    EXPECT_FALSE(refused([&] { checkProjectFile(path("windows.tarvex")); }));
    write("actions.tarvex", QByteArray("\x02\x00\x11\x20", 4));
    EXPECT_TRUE(refused([&] { checkProjectFile(path("actions.tarvex")); }));
    write("empty.tarvex", "");
    EXPECT_TRUE(refused([&] { checkProjectFile(path("empty.tarvex")); }));
    EXPECT_TRUE(refused([&] { checkProjectFile(dir.path().toStdString()); }));
    // Refused at once, without waiting for a writer or reading without end.
    ASSERT_EQ(::mkfifo(path("fifo.tarvex").c_str(), 0600), 0);
    EXPECT_TRUE(refused([&] { checkProjectFile(path("fifo.tarvex")); }));
    ASSERT_TRUE(QFile::link("/dev/zero", QString::fromStdString(path("zero.tarvex"))));
    EXPECT_TRUE(refused([&] { checkProjectFile(path("zero.tarvex")); }));
}

TEST_F(ProjectFileTest, aFolderThatCannotBeMadeFailsAndLeavesNothing)
{
    write("file", "in the way");
    EXPECT_TRUE(refused([&] { writeProjectFile(path("file/show.tarvex")); }));
    EXPECT_TRUE(refused([&] { makeProjectFolder(path("file/show.tarvex")); }));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"file"});
}

// Links planted beside the project file, at names a writer might take for its temporary, and at
// the file's own name, lead nowhere: the targets stay as they were and the project file is a
// file of its own.
TEST_F(ProjectFileTest, aSaveNeverWritesThroughALinkBesideTheProjectFile)
{
    write("victim", "keep");
    const QString victim = QString::fromStdString(path("victim"));
    for (const char *name : {"show.tarvex.new", "show.tarvex.tmp", "show.tarvex~", "show.tarvex"})
        ASSERT_TRUE(QFile::link(victim, QString::fromStdString(path(name))));
    writeProjectFile(path("show.tarvex"));
    EXPECT_FALSE(QFileInfo(QString::fromStdString(path("show.tarvex"))).isSymLink());
    EXPECT_FALSE(refused([&] { checkProjectFile(path("show.tarvex")); }));
    QFile kept(victim);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "keep");
}

} // namespace
} // namespace tarvex::host
