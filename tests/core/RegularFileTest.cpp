// The one read of a whole file: what a path may name instead of a regular file, and the bound.
#include "core/RegularFile.h"

#include "tests/store/StoreTestSupport.h"

#include <gtest/gtest.h>

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
