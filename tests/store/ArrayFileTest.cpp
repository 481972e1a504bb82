// The array file: reading bytes spelled out by hand, writing them back byte for byte, damaged
// and hostile files, and writes that fail without harming the file they were to replace.
#include "store/ArrayFile.h"

#include "core/Object.h"
#include "core/VbError.h"
#include "engine/ActionTable.h"
#include "tests/store/StoreTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace tarvex;
using tarvex::test::Bytes;
using tarvex::test::ByteVector;
using tarvex::test::readFile;
using tarvex::test::TempFolder;
using tarvex::test::writeFile;

namespace {

VarArray readBytes(const TempFolder &folder, const ByteVector &bytes,
                   VarArray start = VarArray::ofValues({Variant("untouched")}))
{
    writeFile(folder.path("in.dat"), bytes);
    readArrayFile(folder.path("in.dat"), start);
    return start;
}

ByteVector writtenBytes(const TempFolder &folder, const VarArray &array)
{
    writeArrayFile(folder.path("out.dat"), array);
    return readFile(folder.path("out.dat"));
}

int32_t errorNumberOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const VbError &e) {
        return e.number();
    }
    return 0;
}

// The settings of a first start, as the file holds them.
const ByteVector SettingsExample = {
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00,                // header
    0x08, 0x00, 0x09, 0x00, 'V',  'e',  'r',  's',  'i',  'o',  'n', ' ', '3', // slot 0
    0x08, 0x00, 0x09, 0x00, '1',  '2',  '7',  '.',  '0',  '.',  '0', '.', '1', // slot 1
    0x08, 0x00, 0x05, 0x00, '1',  '2',  '3',  '4',  '5',                       // slot 2
    0x08, 0x00, 0x09, 0x00, '1',  '2',  '7',  '.',  '0',  '.',  '0', '.', '1', // slot 3
    0x08, 0x00, 0x05, 0x00, '1',  '2',  '3',  '4',  '5',                       // slot 4
    0x0B, 0x00, 0x00, 0x00,                                                    // slot 5
};

// A table of two elements: one row using every kind of element a row holds, then an Empty.
Bytes actionTableExample()
{
    Bytes b;
    b.header(0, 1);
    b.array(0x200C, 5).string("/mix/fader1");
    b.array(0x2008, 2).text("i").text("f"); // typeTags: plain strings, no type words
    b.array(0x200C, 2);                     // conditions: one group per kind
    b.array(0x200C, 1).array(0x200C, 3).string("=");
    b.array(0x200C, 7);
    for (const char *p : {"5", "0", "127", "0", "255", "0", "255"})
        b.string(p);
    b.array(0x200C, 5).string("Kanal").string("1").string("Dimmer");
    b.u16(0x0011).u8(7).u16(0x0003).i32(42); // target: byte and 32-bit integer
    b.array(0x200C, 1).array(0x200C, 1).string("never");
    b.u16(0x0003).i32(123456789).string("Activated");
    b.u16(0x0000);
    return b;
}

TEST(ArrayFilePaths, projectFolderCutsAtTheLastSeparatorOfEitherKind)
{
    EXPECT_EQ(projectFolder("/home/anna/shows/tour.zlm"), "/home/anna/shows/");
    EXPECT_EQ(projectFolder("C:\\Shows\\tour.zlm"), "C:\\Shows\\");
    EXPECT_EQ(projectFolder("C:\\Shows/tour.zlm"), "C:\\Shows/");
    EXPECT_EQ(projectFolder("/mnt/a\\b.zlm"), "/mnt/a\\");
    EXPECT_EQ(projectFolder("tour.zlm"), "");
    EXPECT_EQ(projectFolder(""), "");
}

TEST(ArrayFilePaths, fileExistsAndDimensionCount)
{
    TempFolder folder;
    writeFile(folder.path("a.dat"), {1});
    EXPECT_TRUE(fileExists(folder.path("a.dat")));
    EXPECT_TRUE(fileExists(folder.folder()));
    EXPECT_FALSE(fileExists(folder.path("missing.dat")));

    VarArray cube;
    EXPECT_EQ(arrayDimensionCount(Variant(cube)), 0);
    cube.redim({{0, 1}, {0, 1}, {1, 2}});
    EXPECT_EQ(arrayDimensionCount(Variant(cube)), 3);
    EXPECT_EQ(errorNumberOf([] { arrayDimensionCount(Variant("text")); }), errc::TypeMismatch);
}

TEST(ArrayFileRead, settingsExampleReadsAndWritesBackByteForByte)
{
    TempFolder folder;
    VarArray settings = readBytes(folder, SettingsExample);
    ASSERT_EQ(settings.bounds(), (std::vector<VarArray::Bound>{{0, 5}}));
    EXPECT_EQ(settings[0], Variant("Version 3"));
    EXPECT_EQ(settings[2], Variant("12345"));
    EXPECT_EQ(settings[5], Variant::boolean(false));
    EXPECT_EQ(writtenBytes(folder, settings), SettingsExample);
}

TEST(ArrayFileRead, actionRowWithEveryElementKind)
{
    TempFolder folder;
    ByteVector bytes = actionTableExample().data;
    VarArray table = readBytes(folder, bytes);
    ASSERT_EQ(table.bounds(), (std::vector<VarArray::Bound>{{0, 1}}));
    EXPECT_TRUE(table[1].isEmpty());

    const VarArray &row = table[0].array();
    EXPECT_EQ(row[0], Variant("/mix/fader1"));
    EXPECT_EQ(row[1].typeWord(), 0x2008);
    EXPECT_EQ(row[1].array(), VarArray::ofStrings({"i", "f"}));
    const VarArray &condition = row[2].array()[0].array()[0].array();
    EXPECT_EQ(condition[1].array()[2], Variant("127"));
    const VarArray &target = condition[2].array();
    EXPECT_EQ(target[3], Variant::byte(7));
    EXPECT_EQ(target[4], Variant(42));
    EXPECT_EQ(row[2].array()[1].array()[0].array(), VarArray::ofValues({Variant("never")}));
    EXPECT_EQ(row[3], Variant(123456789));
    EXPECT_EQ(row[4], Variant("Activated"));

    EXPECT_EQ(writtenBytes(folder, table), bytes);
}

TEST(ArrayFileRead, scalarsTypedArraysAndNeverDimensionedNestedArrays)
{
    TempFolder folder;
    Bytes b;
    b.header(-1, 6);
    b.u16(0x0001).u16(0x0002).u16(0xFFFE).u16(0x0004).i32(0x3FC00000); // Null, -2, 1.5f
    b.u16(0x0005).i32(0).i32(0x40040000);                              // 2.5
    b.u16(0x000E).u8(1).u8(0x80).i32(0).i32(15).i32(0);                // decimal -1.5
    b.u16(0x200C).u16(0);                                              // never dimensioned
    b.u16(0x2003).u16(2).i32(2).i32(-1).i32(1).i32(4).i32(10).i32(20); // Long(-1..0, 4..4)
    b.u16(0x200B).u16(1).i32(2).i32(0).u16(0xFFFF).u16(0x0000);        // booleans
    VarArray values = readBytes(folder, b.data);

    ASSERT_EQ(values.bounds(), (std::vector<VarArray::Bound>{{-1, 6}}));
    EXPECT_TRUE(values[-1].isNull());
    EXPECT_EQ(values[0], Variant::integer(-2));
    EXPECT_EQ(values[1], Variant::single(1.5f));
    EXPECT_EQ(values[2], Variant::fromDouble(2.5));
    EXPECT_TRUE(values[3].asDecimal().identicalTo(Decimal::fromParts(true, 1, 0, 0, 15)));
    EXPECT_EQ(values[4].typeWord(), 0x200C);
    EXPECT_FALSE(values[4].array().isDimensioned());
    const VarArray &longs = values[5].array();
    EXPECT_EQ(longs.typeWord(), 0x2003);
    EXPECT_EQ(longs.bounds(), (std::vector<VarArray::Bound>{{-1, 0}, {4, 4}}));
    EXPECT_EQ(longs.elements()[1], Variant(20)); // first index runs fastest
    EXPECT_EQ(values[6].array()[0], Variant::boolean(true));

    EXPECT_EQ(writtenBytes(folder, values), b.data);
}

TEST(ArrayFileRead, unusableHeaderLeavesTheArrayAsItWas)
{
    TempFolder folder;
    const VarArray untouched = VarArray::ofValues({Variant("untouched")});
    for (uint16_t dimensions : {0, 11, 0xFFFF})
        EXPECT_EQ(readBytes(folder, Bytes().u16(dimensions).i32(0).i32(0).u16(0).data), untouched)
            << dimensions;
    EXPECT_EQ(readBytes(folder, {}), untouched);
    EXPECT_EQ(readBytes(folder, Bytes().header(0, -2).data), untouched);
    // Half a billion elements promised by a ten-byte file: refused, nothing allocated.
    EXPECT_EQ(readBytes(folder, Bytes().header(0, 0x1FFFFFFF).u16(0).data), untouched);

    VarArray kept = untouched;
    readArrayFile(folder.path("missing.dat"), kept);
    EXPECT_EQ(kept, untouched);
}

TEST(ArrayFileRead, damagedNestedDescriptorsStopTheReadKeepingWhatCameBefore)
{
    TempFolder folder;
    ByteVector hugeNested = Bytes().header(0, 1).string("first").array(0x200C, 0x7FFFFFFF).data;
    VarArray table = readBytes(folder, hugeNested);
    EXPECT_EQ(table, VarArray::ofValues({Variant("first"), Variant()}));

    ByteVector manyDimensions = Bytes().header(0, 1).string("first").u16(0x200C).u16(11).data;
    for (int i = 0; i < 11; ++i)
        manyDimensions.insert(manyDimensions.end(), {1, 0, 0, 0, 0, 0, 0, 0});
    manyDimensions.insert(manyDimensions.end(), {0, 0});
    EXPECT_EQ(readBytes(folder, manyDimensions), table);

    ByteVector overflowingBound = Bytes().header(0, 0).array(0x200C, 2, 0x7FFFFFFF).data;
    overflowingBound.insert(overflowingBound.end(), {0, 0, 0, 0});
    EXPECT_EQ(readBytes(folder, overflowingBound), VarArray::ofValues({Variant()}));
}

TEST(ArrayFileRead, fileCutShortLoadsAsFarAsItGoes)
{
    TempFolder folder;
    ByteVector settings(SettingsExample.begin(), SettingsExample.begin() + 64); // inside slot 4
    VarArray cut = readBytes(folder, settings);
    EXPECT_EQ(cut, VarArray::ofValues({Variant("Version 3"), Variant("127.0.0.1"), Variant("12345"),
                                       Variant("127.0.0.1"), Variant(), Variant()}));

    // Every prefix of a row reads without a report and keeps the address once it is complete.
    ByteVector table = actionTableExample().data;
    const size_t addressEnd = 10 + 12 + 2 + 2 + 11;
    for (size_t length = 18; length < table.size(); ++length) {
        VarArray partial = readBytes(folder, ByteVector(table.begin(), table.begin() + length));
        ASSERT_EQ(partial.size(), 2u) << length;
        const Variant *address = elementOf(partial[0], 0);
        EXPECT_EQ(address && *address == Variant("/mix/fader1"), length >= addressEnd) << length;
    }
}

// Every element held, at every level of nesting.
size_t elementsHeld(const VarArray &array)
{
    size_t count = array.size();
    for (const Variant &element : array.elements())
        if (element.isArray())
            count += elementsHeld(element.array());
    return count;
}

TEST(ArrayFileRead, nestedArraysShareOneBudgetOfTheFilesBytes)
{
    // 63 arrays nested in the first element of the one before, each promising as many elements
    // as the bytes after its own descriptor could hold; zeros (Empty) fill the rest.
    const size_t fileSize = 16384;
    Bytes b;
    b.header(0, 0);
    for (int level = 0; level < 63; ++level) {
        size_t after = fileSize - b.data.size() - 12;
        b.array(0x200C, static_cast<int32_t>(after / 2));
    }
    b.data.resize(fileSize, 0);
    TempFolder folder;
    writeFile(folder.path("in.dat"), b.data);
    VarArray table;
    EXPECT_EQ(readArrayFile(folder.path("in.dat"), table), ArrayFileRead::Damaged);
    ASSERT_TRUE(table.isDimensioned());
    // A value may take a few dozen bytes, never a thousand times its share of the file.
    EXPECT_LE(elementsHeld(table) * sizeof(Variant), 64 * fileSize);
    EXPECT_GE(elementsHeld(table), fileSize / 4); // the first level was read
}

TEST(ArrayFileRead, aTextWithAZeroByteKeepsItBothWays)
{
    TempFolder folder;
    const ByteVector bytes = Bytes().header(0, 0).string(std::string_view("a\0b\0", 4)).data;
    VarArray read = readBytes(folder, bytes);
    EXPECT_EQ(read[0], Variant(std::string("a\0b\0", 4)));
    EXPECT_EQ(writtenBytes(folder, read), bytes);
}

TEST(ArrayFileWrite, roundTripKeepsBoundsTypeWordsAndValues)
{
    TempFolder folder;
    VarArray grid(VarType::Integer);
    grid.redim({{1, 2}, {-3, -2}});
    for (int16_t i = 0; i < 4; ++i)
        grid.setElement(static_cast<size_t>(i),
                        Variant::integer(static_cast<int16_t>(i * 1000 - 1)));
    VarArray decimals(VarType::Decimal);
    decimals.redim({{0, 0}});
    decimals.set(0, Variant(Decimal::fromParts(false, 28, 0xFFFFFFFF, 1, 2)));
    VarArray table;
    table.redim({{0, 1}, {5, 6}});
    auto cells = table.elements();
    cells[0] = Variant(grid);
    cells[1] = Variant(decimals);
    cells[2] = Variant(VarArray::ofValues(
        {Variant::byte(255), Variant::null(), Variant::fromDouble(-0.1), Variant(INT32_MIN)}));
    cells[3] = Variant(std::string(0xFFFE, 'x'));

    // A longer file of that name must not leave its tail behind.
    writeFile(folder.path("out.dat"), ByteVector(200000, 0xAA));
    ByteVector bytes = writtenBytes(folder, table);
    VarArray back = readBytes(folder, bytes);
    EXPECT_EQ(back, table);
    EXPECT_EQ(back.elements()[1].typeWord(), 0x200E);
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"in.dat", "out.dat"}));
}

TEST(ArrayFileWrite, textIsStoredInTheWindowsCodePage)
{
    TempFolder folder;
    ByteVector bytes = writtenBytes(folder, VarArray::ofValues({Variant("Grüße 5 € ✓")}));
    ByteVector expected = Bytes()
                              .header(0, 0)
                              .string("Gr\xFC\xDF"
                                      "e 5 \x80 ?")
                              .data;
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(readBytes(folder, bytes)[0], Variant("Grüße 5 € ?"));
}

TEST(ArrayFileWrite, neverDimensionedArrayRemovesTheFile)
{
    TempFolder folder;
    writeFile(folder.path("out.dat"), SettingsExample);
    writeArrayFile(folder.path("out.dat"), VarArray());
    EXPECT_FALSE(fileExists(folder.path("out.dat")));
    writeArrayFile(folder.path("out.dat"), VarArray());
    EXPECT_TRUE(folder.names().empty());
}

TEST(ArrayFileWrite, refusalsLeaveTheOldFileUntouched)
{
    TempFolder folder;
    std::string path = folder.path("out.dat");
    writeFile(path, SettingsExample);

    VarArray eleven;
    eleven.redim(std::vector<VarArray::Bound>(11, {0, 0}));
    try {
        writeArrayFile(path, eleven);
        FAIL() << "eleven dimensions written";
    } catch (const VbError &e) {
        EXPECT_EQ(e.number(), TooManyDimensionsError);
        EXPECT_EQ(e.description(), TooManyDimensionsText);
    }
    VarArray nestedEleven = VarArray::ofValues({Variant(eleven)});
    EXPECT_EQ(errorNumberOf([&] { writeArrayFile(path, nestedEleven); }), TooManyDimensionsError);
    VarArray longText = VarArray::ofValues({Variant(std::string(0xFFFF, 'x'))});
    EXPECT_EQ(errorNumberOf([&] { writeArrayFile(path, longText); }), errc::BadFileLength);
    VarArray object = VarArray::ofValues({Variant(std::make_shared<Object>())});
    EXPECT_EQ(errorNumberOf([&] { writeArrayFile(path, object); }), errc::TypeMismatch);

    EXPECT_EQ(readFile(path), SettingsExample);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"out.dat"});
}

TEST(ArrayFileWrite, failedWriteKeepsTheOldFileAndReportsTheError)
{
    TempFolder folder;
    std::string path = folder.path("out.dat");
    writeFile(path, SettingsExample);
    VarArray big = VarArray::ofValues({Variant(std::string(4000, 'x'))});

    // A file size limit fails the write even for root; the signal it raises is ignored so that
    // the write returns its error instead.
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1000;
    ::setrlimit(RLIMIT_FSIZE, &small);
    int32_t number = errorNumberOf([&] { writeArrayFile(path, big); });
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(number, 61); // Disk full
    EXPECT_EQ(readFile(path), SettingsExample);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"out.dat"});

    std::filesystem::create_directory(folder.path("folder.dat"));
    EXPECT_EQ(errorNumberOf([&] { writeArrayFile(folder.path("folder.dat"), big); }), 75);
    EXPECT_EQ(errorNumberOf([&] { writeArrayFile(folder.path("folder.dat"), VarArray()); }), 75);
    EXPECT_EQ(errorNumberOf([&] { writeArrayFile(folder.path("no/such.dat"), big); }), 75);
    EXPECT_TRUE(std::filesystem::is_directory(folder.path("folder.dat")));
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"folder.dat", "out.dat"}));
}

TEST(ArrayFileWrite, aSuccessfulWriteRemovesStaleTemporariesOfThatFileOnly)
{
    TempFolder folder;
    // Left by writes that crashed between writing and renaming.
    for (const char *name : {"out.dat.tmp-AbC123", "out.dat.tmp-zz9zz9", "other.dat.tmp-AbC123",
                             "out.dat.tmp-AbC1234", "out.dat.tmp-AbC12"})
        writeFile(folder.path(name), SettingsExample);
    writeArrayFile(folder.path("out.dat"), VarArray::ofValues({Variant("x")}));
    EXPECT_EQ(folder.names(),
              (std::vector<std::string>{"other.dat.tmp-AbC123", "out.dat", "out.dat.tmp-AbC12",
                                        "out.dat.tmp-AbC1234"}));
}

TEST(ArrayFileWrite, aNewFileFollowsTheUmaskAndAReplacedOneKeepsItsMode)
{
    TempFolder folder;
    const mode_t previous = ::umask(027);
    writeArrayFile(folder.path("new.dat"), VarArray::ofValues({Variant("x")}));
    writeFile(folder.path("old.dat"), SettingsExample);
    std::filesystem::permissions(folder.path("old.dat"), std::filesystem::perms(0604));
    writeArrayFile(folder.path("old.dat"), VarArray::ofValues({Variant("x")}));
    ::umask(previous);
    EXPECT_EQ(std::filesystem::status(folder.path("new.dat")).permissions(),
              std::filesystem::perms(0640));
    EXPECT_EQ(std::filesystem::status(folder.path("old.dat")).permissions(),
              std::filesystem::perms(0604));
}

} // namespace
