// The one read of a whole file (what a path may name instead of a regular file, and the bound)
// and the one write: never through a link, never half done.
#include "core/RegularFile.h"

#include "tests/store/StoreTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

using namespace tarvex;
using tarvex::test::TempFolder;
using tarvex::test::writeFile;

TEST(RegularFile, onlyARegularFileWithinTheBoundIsRead)
{
    TempFolder folder;
    writeFile(folder.path("file"), {1, 2, 3, 4});
    writeFile(folder.path("big"), std::vector<uint8_t>(5));
    ASSERT_EQ(::mkfifo(folder.path("fifo").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", folder.path("zeros").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", folder.path("dangling").c_str()), 0);
    ASSERT_EQ(::symlink("loop", folder.path("loop").c_str()), 0);
    const struct {
        std::string name;
        RegularFile::Status status;
    } cases[] = {
        {"file", RegularFile::Read},
        {"missing", RegularFile::Absent},
        {"missing/below", RegularFile::Absent},
        {"big", RegularFile::Unreadable},
        {"fifo", RegularFile::Unreadable},
        {"zeros", RegularFile::Unreadable},
        {"dangling", RegularFile::Unreadable},
        {"loop", RegularFile::Unreadable},
        {"", RegularFile::Unreadable}, // the folder itself
    };
    for (const auto &c : cases) {
        const RegularFile file = readRegularFile(folder.path(c.name), 4);
        EXPECT_EQ(file.status, c.status) << c.name;
        EXPECT_EQ(file.reason.empty(), c.status != RegularFile::Unreadable) << c.name;
    }
    EXPECT_EQ(readRegularFile(folder.path("file"), 4).bytes, (std::vector<uint8_t>{1, 2, 3, 4}));
}

namespace {

std::string textOf(const std::string &path)
{
    const std::vector<uint8_t> bytes = readRegularFile(path, 1 << 20).bytes;
    return std::string(bytes.begin(), bytes.end());
}

std::string writeFailure(const std::function<void()> &write)
{
    try {
        write();
    } catch (const FileWriteError &e) {
        return e.what();
    }
    return "written";
}

} // namespace

// Whatever stands at the names a write tries (a link to a file elsewhere, a link to nowhere,
// which creating through would make, a file, a folder) is passed over and stays as it is; only
// when every name is taken does the write fail, naming the file and leaving it as it was.
TEST(RegularFileWrite, anEntryPlantedAtEveryTemporaryNameIsNeverFollowedNorReplaced)
{
    TempFolder folder, elsewhere;
    const std::string path = folder.path("show.dat");
    writeFile(path, {'o', 'l', 'd'});
    writeFile(elsewhere.path("victim"), {'v'});
    const auto tried = [&](int attempt) { return path + ".try" + std::to_string(attempt); };
    for (int attempt = 0; attempt < TemporaryNameAttempts; ++attempt) {
        const std::string name = tried(attempt);
        switch (attempt % 4) {
        case 0: ASSERT_EQ(::symlink(elsewhere.path("victim").c_str(), name.c_str()), 0); break;
        case 1: ASSERT_EQ(::symlink(elsewhere.path("made").c_str(), name.c_str()), 0); break;
        case 2: writeFile(name, {'x'}); break;
        case 3: ASSERT_EQ(::mkdir(name.c_str(), 0700), 0); break;
        }
    }
    const std::vector<std::string> planted = folder.names();

    EXPECT_EQ(writeFailure([&] { replaceRegularFile(path, "new", tried); }),
              "found no free temporary name to write " + path + ": File exists");
    EXPECT_EQ(textOf(path), "old");
    EXPECT_EQ(folder.names(), planted);

    ASSERT_EQ(::rmdir(tried(TemporaryNameAttempts - 1).c_str()), 0);
    replaceRegularFile(path, "new", tried);
    EXPECT_EQ(textOf(path), "new");
    EXPECT_EQ(textOf(elsewhere.path("victim")), "v");
    EXPECT_EQ(elsewhere.names(), std::vector<std::string>{"victim"});
    EXPECT_EQ(textOf(tried(2)), "x");
    std::vector<std::string> after = planted;
    after.erase(std::find(after.begin(), after.end(), "show.dat.try99"));
    EXPECT_EQ(folder.names(), after);
}

// A link at the file's own name is replaced by the new file; what it pointed at is untouched.
// A write that fails names the file.
TEST(RegularFileWrite, aLinkAtTheNameIsReplacedAndAFailureNamesTheFile)
{
    TempFolder folder, elsewhere;
    writeFile(elsewhere.path("victim"), {'v'});
    const std::string path = folder.path("show.dat");
    ASSERT_EQ(::symlink(elsewhere.path("victim").c_str(), path.c_str()), 0);
    replaceRegularFile(path, "new");
    struct stat entry {};
    ASSERT_EQ(::lstat(path.c_str(), &entry), 0);
    EXPECT_TRUE(S_ISREG(entry.st_mode));
    EXPECT_EQ(textOf(path), "new");
    EXPECT_EQ(textOf(elsewhere.path("victim")), "v");

    const std::string missing = folder.path("no/such.dat");
    EXPECT_EQ(writeFailure([&] { replaceRegularFile(missing, "x"); }),
              "cannot write " + missing + ": No such file or directory");
}

// Each entry kept aside becomes the newest copy; the older ones move one number on and the
// oldest beyond the count goes. A folder among the copies stops the moves before any.
TEST(RegularFileKeepAside, theNewestCopiesAreKeptUnderNumberedNames)
{
    TempFolder folder;
    const std::string path = folder.path("a.dat");
    const std::string kept = path + ".damaged";
    for (char version : {'1', '2', '3', '4'}) {
        writeFile(path, {static_cast<uint8_t>(version)});
        EXPECT_EQ(keepAside(path, kept, 3), KeptAside::Kept);
    }
    EXPECT_EQ(folder.names(),
              (std::vector<std::string>{"a.dat.damaged", "a.dat.damaged.1", "a.dat.damaged.2"}));
    EXPECT_EQ(textOf(kept) + textOf(kept + ".1") + textOf(kept + ".2"), "432");
    EXPECT_EQ(keepAside(path, kept, 3), KeptAside::Nothing);

    ASSERT_EQ(::unlink((kept + ".1").c_str()), 0);
    writeFile(path, {'5'});
    EXPECT_EQ(keepAside(path, kept, 3), KeptAside::Kept); // fills the gap, drops nothing
    EXPECT_EQ(textOf(kept) + textOf(kept + ".1") + textOf(kept + ".2"), "542");

    ASSERT_EQ(::unlink((kept + ".2").c_str()), 0);
    ASSERT_EQ(::mkdir((kept + ".2").c_str(), 0700), 0);
    writeFile(path, {'6'});
    EXPECT_EQ(keepAside(path, kept, 3), KeptAside::Failed);
    EXPECT_EQ(textOf(path) + textOf(kept) + textOf(kept + ".1"), "654");
    EXPECT_EQ(keepAside(folder.path("a.dat.damaged.2"), kept, 3), KeptAside::Nothing);
}
