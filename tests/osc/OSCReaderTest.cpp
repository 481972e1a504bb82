// The OSC decoder: byte fixtures, malformed datagrams, truncated prefixes and random packets;
// and the writer, which must give back what the decoder read.
#include "osc/OSCReader.h"
#include "osc/OSCWriter.h"

#include "core/VbError.h"
#include "tests/support/OscBuilder.h"
#include "tests/support/Printers.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace tarvex;
using namespace tarvex::osc;
using tarvex::test::OscBuilder;

namespace {

OSCMessages decode(const std::vector<uint8_t> &bytes)
{
    OSCMessages out;
    OSCReader::readPacket(bytes, out);
    return out;
}

bool isAbandoned(const std::vector<uint8_t> &bytes)
{
    OSCMessages out;
    try {
        OSCReader::readPacket(bytes, out);
        return false;
    } catch (const VbError &) {
        EXPECT_TRUE(out.empty());
        return true;
    }
}

std::vector<std::string> tagsOf(const OSCMessage &m)
{
    std::vector<std::string> tags;
    for (size_t i = 0; i < m.tagCount(); ++i)
        tags.emplace_back(m.tag(i));
    return tags;
}

using Tags = std::vector<std::string>;

Variant dec(const char *text)
{
    return Variant(Decimal::parse(text).value());
}

} // namespace

TEST(OSCReaderMessage, decodesIntegerAndFloatIntoSlotsByFirstAppearance)
{
    const std::vector<uint8_t> bytes = {
        '/',  'a',  '/',  'b',  0, 0, 0, 0, // address, padded to 8
        ',',  'i',  'f',  0,                // type tags, padded to 4
        0x00, 0x00, 0x00, 0x2A,             // i: 42
        0x3F, 0x80, 0x00, 0x00,             // f: 1.0
    };
    OSCMessages out = decode(bytes);
    ASSERT_EQ(out.size(), 1u);
    ASSERT_TRUE(out[0].isMessage());
    const OSCMessage &m = out[0].message();
    EXPECT_EQ(m.address(), "/a/b");
    EXPECT_EQ(tagsOf(m), (Tags{"i", "f"}));
    ASSERT_EQ(m.slotCount(), 2u);
    EXPECT_EQ(m.slot(0)[0], Variant(42));
    EXPECT_EQ(m.slot(1)[0], Variant(Decimal(1)));

    OSCMessages swapped =
        decode(OscBuilder().message("/a/b", ",fif").f32(1).i32(42).f32(0.5f).bytes());
    const OSCMessage &s = swapped[0].message();
    ASSERT_EQ(s.slot(0).size(), 2u);
    EXPECT_EQ(s.slot(0)[0], Variant(Decimal(1)));
    EXPECT_EQ(s.slot(0)[1], dec("0.5"));
    EXPECT_EQ(s.slot(1)[0], Variant(42));
}

TEST(OSCReaderMessage, readsStringsWithTheirPadding)
{
    const OSCMessages on = decode(OscBuilder().message("/x", ",s").str("on").bytes());
    EXPECT_EQ(on[0].message().slot(0)[0], Variant("on"));

    // An empty string is four zero bytes: the integer after it is read from the right place.
    const OSCMessages empty = decode(OscBuilder().message("/x", ",si").str("").i32(7).bytes());
    EXPECT_EQ(empty[0].message().slot(0)[0], Variant(""));
    EXPECT_EQ(empty[0].message().slot(1)[0], Variant(7));
}

TEST(OSCReaderMessage, readsAMessageWithoutArgumentsAsTheEmptyForm)
{
    for (const auto &bytes : {OscBuilder().str("/ping").bytes(),
                              OscBuilder().str("/ping").raw({',', 0, 0, 0}).bytes()}) {
        const OSCMessages mPacket = decode(bytes);
        const OSCMessage &m = mPacket[0].message();
        EXPECT_EQ(m.address(), "/ping");
        EXPECT_TRUE(m.hasEmptyTags());
        EXPECT_EQ(tagsOf(m), (Tags{"Empty"}));
        ASSERT_EQ(m.slotCount(), 1u);
        ASSERT_EQ(m.slot(0).size(), 1u);
        EXPECT_EQ(m.slot(0)[0], Variant::integer(0));
    }
}

TEST(OSCReaderMessage, aTypeTagStringThatRunsPastTheLastPositionGivesTheEmptyForm)
{
    // The comma sits at index 32764: reading ",i" and its padding would pass index 32767.
    const std::vector<uint8_t> bytes = OscBuilder()
                                           .str("/a")
                                           .raw(std::vector<uint8_t>(32760, 'x'))
                                           .raw({',', 'i', 0, 0})
                                           .i32(5)
                                           .bytes();
    ASSERT_EQ(bytes[32764], ',');
    const OSCMessages out = decode(bytes);
    ASSERT_EQ(out.size(), 1u);
    const OSCMessage &m = out[0].message();
    EXPECT_EQ(m.address(), "/a");
    EXPECT_EQ(tagsOf(m), (Tags{"Empty"}));
    ASSERT_EQ(m.slotCount(), 1u);
    EXPECT_EQ(m.slot(0)[0], Variant::integer(0));
}

TEST(OSCReaderMessage, findsTheTypeTagsPastJunkAndKeepsUnknownTags)
{
    const OSCMessages out =
        decode(OscBuilder().str("/a").raw({'x', ',', 'i', 'T', 0, 0, 0, 0}).i32(5).bytes());
    const OSCMessage &m = out[0].message();
    EXPECT_EQ(tagsOf(m), (Tags{"i", "T"}));
    EXPECT_EQ(m.slot(0)[0], Variant(5));

    const OSCMessages onlyTPacket = decode(OscBuilder().message("/a", ",T").bytes());
    const OSCMessage &onlyT = onlyTPacket[0].message();
    EXPECT_EQ(tagsOf(onlyT), (Tags{"T"}));
    EXPECT_EQ(onlyT.slotCount(), 0u);
}

TEST(OSCReaderMessage, tagsThatCarryDataConsumeTheirBytes)
{
    // The integer after each data-carrying tag is read from behind that tag's data.
    const std::vector<std::pair<std::string, OscBuilder>> cases = {
        {",bi", OscBuilder().message("/a", ",bi").u32(5).raw({1, 2, 3, 4, 5, 0, 0, 0})},
        {",hi", OscBuilder().message("/a", ",hi").u32(1).u32(2)},
        {",ti", OscBuilder().message("/a", ",ti").u32(1).u32(2)},
        {",di", OscBuilder().message("/a", ",di").u32(1).u32(2)},
        {",ci", OscBuilder().message("/a", ",ci").u32('c')},
        {",ri", OscBuilder().message("/a", ",ri").u32(0xFF0000FF)},
        {",mi", OscBuilder().message("/a", ",mi").u32(0x00904060)},
        {",Si", OscBuilder().message("/a", ",Si").str("symbol")},
        {",TFNI[]i", OscBuilder().message("/a", ",TFNI[]i")},
    };
    for (auto [tags, builder] : cases) {
        builder.i32(99);
        const OSCMessages mPacket = decode(builder.bytes());
        const OSCMessage &m = mPacket[0].message();
        ASSERT_EQ(m.slotCount(), 1u) << tags;
        EXPECT_EQ(m.slot(0)[0], Variant(99)) << tags;
        EXPECT_EQ(m.tagCount(), tags.size() - 1) << tags;
    }
}

TEST(OSCReaderMessage, decodesTheAnsiCodePage)
{
    const OSCMessages mPacket = decode(OscBuilder().str("/k\xE4se").str(",s").str("\x80").bytes());
    const OSCMessage &m = mPacket[0].message();
    EXPECT_EQ(m.address(), "/k\xC3\xA4se"); // "/käse"
    EXPECT_EQ(m.slot(0)[0], Variant("\xE2\x82\xAC"));
}

TEST(OSCReaderMessage, readsMissingNumbersAtTheEndAsZero)
{
    const OSCMessages mPacket = decode(OscBuilder().message("/a", ",if").bytes());
    const OSCMessage &m = mPacket[0].message();
    EXPECT_EQ(m.slot(0)[0], Variant(0));
    EXPECT_EQ(m.slot(1)[0], Variant(Decimal()));

    // An unterminated string keeps everything up to the end.
    const OSCMessages sPacket = decode(OscBuilder().message("/a", ",s").raw({'a', 'b'}).bytes());
    const OSCMessage &s = sPacket[0].message();
    EXPECT_EQ(s.slot(0)[0], Variant("ab"));
}

TEST(OSCReaderMessage, acceptsFiftyOneValuesOfAKind)
{
    OscBuilder fiftyOne;
    fiftyOne.message("/many", "," + std::string(51, 'i'));
    for (int i = 0; i < 51; ++i)
        fiftyOne.i32(i);
    const OSCMessages mPacket = decode(fiftyOne.bytes());
    const OSCMessage &m = mPacket[0].message();
    EXPECT_EQ(m.slot(0).size(), 51u);
    EXPECT_EQ(m.slot(0)[50], Variant(50));
}

TEST(OSCReaderBundle, decodesElementsInDatagramOrder)
{
    const auto first = OscBuilder().message("/first", ",i").i32(1).bytes();  // 16 bytes
    const auto second = OscBuilder().message("/2", ",f").f32(0.25f).bytes(); // 12 bytes
    const OSCMessages out = decode(OscBuilder().bundle().element(first).element(second).bytes());
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].message().address(), "/first");
    EXPECT_EQ(out[1].message().address(), "/2");
    EXPECT_EQ(out[1].message().slot(0)[0], dec("0.25"));
}

TEST(OSCReaderBundle, ignoresElementSizes)
{
    const auto first = OscBuilder().message("/a", ",i").i32(1).bytes();
    const auto second = OscBuilder().message("/b", ",i").i32(2).bytes();
    OscBuilder b;
    b.bundle().u32(1000).raw(first).u32(3).raw(second);
    const OSCMessages out = decode(b.bytes());
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1].message().address(), "/b");
}

TEST(OSCReaderBundle, anEmptyBundleGivesNoElements)
{
    EXPECT_TRUE(decode(OscBuilder().bundle().bytes()).empty());
    EXPECT_TRUE(decode(OscBuilder().str("#bundle").bytes()).empty());
}

TEST(OSCReaderBundle, keepsNestedBundlesAsNestedLists)
{
    const auto inner = OscBuilder()
                           .bundle()
                           .element(OscBuilder().message("/in1", ",i").i32(1).bytes())
                           .element(OscBuilder().message("/in2", ",i").i32(2).bytes())
                           .bytes();
    const OSCMessages out =
        decode(OscBuilder()
                   .bundle()
                   .element(OscBuilder().message("/before", ",i").i32(0).bytes())
                   .element(inner)
                   .element(OscBuilder().message("/after", ",i").i32(3).bytes())
                   .bytes());
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].message().address(), "/before");
    ASSERT_FALSE(out[1].isMessage());
    // Element sizes do not delimit: the nested bundle reads on to the end of the datagram.
    OSCMessages::List nested = out[1].bundle();
    ASSERT_EQ(nested.size(), 3u);
    EXPECT_EQ(nested[0].message().address(), "/in1");
    EXPECT_EQ(nested[1].message().slot(0)[0], Variant(2));
    EXPECT_EQ(nested[2].message().address(), "/after");
}

TEST(OSCReaderBundle, nestsBundlesDeeply)
{
    std::vector<uint8_t> bytes = OscBuilder().message("/deep", ",i").i32(7).bytes();
    for (int depth = 0; depth < 1500; ++depth)
        bytes = OscBuilder().bundle().element(bytes).bytes();
    OSCMessages out = decode(bytes);
    OSCMessages::List list = out.elements();
    for (int depth = 1; depth < 1500; ++depth) {
        ASSERT_EQ(list.size(), 1u);
        ASSERT_FALSE(list[0].isMessage());
        list = list[0].bundle();
    }
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].message().address(), "/deep");
}

TEST(OSCReaderFailure, abandonsMalformedDatagrams)
{
    struct Case {
        const char *what;
        std::vector<uint8_t> bytes;
    };
    std::string fiftyTwo = "," + std::string(52, 'i');
    const std::vector<Case> cases = {
        {"integer cut short", OscBuilder().message("/a", ",i").raw({0, 1}).bytes()},
        {"float cut short", OscBuilder().message("/a", ",f").raw({0x3F, 0x80, 0}).bytes()},
        {"time tag cut short", OscBuilder().str("#bundle").raw({0, 0}).bytes()},
        {"element size cut short", OscBuilder().bundle().raw({0, 0}).bytes()},
        {"52 integers", OscBuilder().message("/a", fiftyTwo).bytes()},
        {"blob past the end", OscBuilder().message("/a", ",b").u32(64).raw({1, 2, 3, 4}).bytes()},
        {"negative blob size", OscBuilder().message("/a", ",b").u32(0xFFFFFFF0).bytes()},
        {"infinite float", OscBuilder().message("/a", ",f").f32(INFINITY).bytes()},
        {"not a number", OscBuilder().message("/a", ",f").u32(0x7FC00000).bytes()},
        {"float beyond a decimal", OscBuilder().message("/a", ",f").f32(1e30f).bytes()},
        {"address past 32767", OscBuilder().str(std::string(33000, 'a')).bytes()},
        {"string past 32767",
         OscBuilder().message("/a", ",s").str(std::string(40000, 'x')).bytes()},
    };
    for (const Case &c : cases)
        EXPECT_TRUE(isAbandoned(c.bytes)) << c.what;
}

TEST(OSCReaderFailure, everyTruncatedPrefixDecodesOrIsAbandoned)
{
    const auto bytes = OscBuilder()
                           .bundle()
                           .element(OscBuilder()
                                        .message("/x/y", ",ifsb")
                                        .i32(1)
                                        .f32(2)
                                        .str("three")
                                        .u32(3)
                                        .raw({1, 2, 3, 0})
                                        .bytes())
                           .element(OscBuilder()
                                        .bundle()
                                        .element(OscBuilder().message("/z", ",i").i32(4).bytes())
                                        .bytes())
                           .bytes();
    for (size_t n = 0; n <= bytes.size(); ++n) {
        std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(n));
        OSCMessages out;
        try {
            OSCReader::readPacket(prefix, out);
        } catch (const VbError &) {
            EXPECT_TRUE(out.empty()) << "prefix " << n;
        }
    }
    EXPECT_EQ(decode(bytes).size(), 2u);
}

TEST(OSCReaderReuse, aSecondDatagramReplacesTheFirst)
{
    OSCMessages out;
    OSCReader::readPacket(
        OscBuilder()
            .bundle()
            .element(OscBuilder().message("/a", ",sss").str("1").str("2").str("3").bytes())
            .element(OscBuilder().message("/b", ",i").i32(1).bytes())
            .bytes(),
        out);
    ASSERT_EQ(out.size(), 2u);
    OSCReader::readPacket(OscBuilder().message("/c", ",f").f32(0.5f).bytes(), out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].message().address(), "/c");
    EXPECT_EQ(out[0].message().slot(0)[0], dec("0.5"));
    EXPECT_THROW(OSCReader::readPacket(OscBuilder().message("/d", ",i").raw({1}).bytes(), out),
                 VbError);
    EXPECT_TRUE(out.empty());
}

// The storage keeps a message's layout while the tags stay the same: what changes between the
// datagrams of a stream must still be read, and tags refused once are refused again.
TEST(OSCReaderReuse, aStreamOfOneShapeReadsEachDatagramAfresh)
{
    OSCMessages out;
    auto read = [&](const std::vector<uint8_t> &bytes) -> const OSCMessage & {
        OSCReader::readPacket(bytes, out);
        return out[0].message();
    };
    EXPECT_EQ(read(OscBuilder().message("/f", ",fi").f32(0.5f).i32(1).bytes()).slot(0)[0],
              dec("0.5"));
    const OSCMessage &again = read(OscBuilder().message("/g", ",fi").f32(0.25f).i32(2).bytes());
    EXPECT_EQ(again.address(), "/g");
    EXPECT_EQ(again.slot(1)[0], Variant(2));
    EXPECT_EQ(again.slot(0)[0], dec("0.25"));
    EXPECT_TRUE(read(OscBuilder().str("/g").bytes()).hasEmptyTags());
    EXPECT_EQ(read(OscBuilder().message("/g", ",f").f32(2).bytes()).slot(0)[0], dec("2"));

    const auto fiftyTwo = OscBuilder().message("/a", "," + std::string(52, 'i')).bytes();
    for (int attempt = 0; attempt < 2; ++attempt)
        EXPECT_THROW(OSCReader::readPacket(fiftyTwo, out), VbError) << attempt;
}

TEST(OSCReaderRandom, decodesWhatWasEncoded)
{
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> count(0, 12), kind(0, 2), byte(1, 255);
    for (int round = 0; round < 500; ++round) {
        std::string tags = ",";
        std::vector<Variant> ints, floats, texts;
        OscBuilder args;
        for (int n = count(random); n > 0; --n) {
            switch (kind(random)) {
            case 0: {
                auto v = static_cast<int32_t>(random());
                tags += 'i';
                args.i32(v);
                ints.emplace_back(v);
                break;
            }
            case 1: {
                float v = std::uniform_real_distribution<float>(-1e6f, 1e6f)(random);
                tags += 'f';
                args.f32(v);
                floats.emplace_back(Decimal::fromFloat(v));
                break;
            }
            default: {
                std::string v(static_cast<size_t>(count(random)), 'a');
                for (char &c : v)
                    c = static_cast<char>('a' + byte(random) % 26);
                tags += 's';
                args.str(v);
                texts.emplace_back(v);
            }
            }
        }
        const std::vector<uint8_t> sent =
            OscBuilder().message("/r", tags).raw(args.bytes()).bytes();
        // The writer gives the same bytes, and a bundle's element rewritten is the message sent.
        std::vector<uint8_t> written;
        OSCWriter::writeMessage("/r", tags.substr(1), args.bytes(), written);
        EXPECT_EQ(written, sent);
        const auto bundle =
            OscBuilder().bundle().element({'/', 'x', 0, 0, ',', 0, 0, 0}).element(sent).bytes();
        OSCWriter::rewriteMessage(decode(bundle)[1].message(), bundle, written);
        EXPECT_EQ(written, sent);

        const OSCMessages mPacket = decode(sent);
        const OSCMessage &m = mPacket[0].message();
        if (tags.size() == 1) {
            EXPECT_TRUE(m.hasEmptyTags());
            continue;
        }
        ASSERT_EQ(m.tagCount(), tags.size() - 1);
        // Slots are numbered by the first tag of each kind.
        size_t slot = 0;
        bool seen[3] = {};
        for (char t : tags.substr(1)) {
            int k = t == 'i' ? 0 : t == 'f' ? 1 : 2;
            if (seen[k])
                continue;
            seen[k] = true;
            const auto &expected = k == 0 ? ints : k == 1 ? floats : texts;
            ASSERT_EQ(m.slot(slot).size(), expected.size());
            for (size_t i = 0; i < expected.size(); ++i)
                EXPECT_EQ(m.slot(slot)[i], expected[i]) << "round " << round;
            ++slot;
        }
        EXPECT_EQ(m.slotCount(), slot);
    }
}

// What the decoder reads leniently marks the datagram irregular; OSC written as it should be,
// a message without arguments (",") and tags without data included, never does.
TEST(OSCReaderIrregular, marksEveryLenientReadAndNothingElse)
{
    struct Case {
        const char *what;
        std::vector<uint8_t> bytes;
        bool irregular;
    };
    const auto msg = OscBuilder().message("/a", ",i").i32(1).bytes();
    const auto nested = OscBuilder().bundle().element(msg).bytes();
    const std::vector<Case> cases = {
        {"a message", msg, false},
        {"no arguments", OscBuilder().message("/a", ",").bytes(), false},
        {"tags without data", OscBuilder().message("/a", ",TFNI[]").bytes(), false},
        {"strings", OscBuilder().message("/a", ",ss").str("abc").str("").bytes(), false},
        {"a bundle", OscBuilder().bundle().element(msg).element(nested).bytes(), false},
        {"a nested bundle before another element",
         OscBuilder().bundle().element(nested).element(msg).bytes(), false},
        {"an empty bundle", OscBuilder().bundle().bytes(), false},
        {"an address without a slash", OscBuilder().message("garbage!", ",").bytes(), true},
        {"an empty datagram", {}, true},
        {"one byte", {0xFF}, true},
        {"no type tags", OscBuilder().str("/a").bytes(), true},
        {"type tags after junk", OscBuilder().str("/a").raw({'x', ',', 'i', 0}).i32(5).bytes(),
         true},
        {"type tags past index 32767",
         OscBuilder().str("/a").raw(std::vector<uint8_t>(32760, 'x')).str(",i").i32(5).bytes(),
         true},
        {"a number cut short", OscBuilder().message("/fader1", ",f").bytes(), true},
        {"a string without its zero", OscBuilder().message("/a", ",s").raw({'a', 'b'}).bytes(),
         true},
        {"padding cut short", OscBuilder().message("/a", ",s").raw({'a', 'b', 0}).bytes(), true},
        {"a blob", OscBuilder().message("/a", ",b").u32(1).raw({7, 0, 0, 0}).bytes(), true},
        {"a 64-bit integer", OscBuilder().message("/a", ",h").u32(0).u32(1).bytes(), true},
        {"a symbol", OscBuilder().message("/a", ",S").str("sym").bytes(), true},
        {"a tag OSC does not define", OscBuilder().message("/a", ",x").bytes(), true},
        {"trailing bytes", OscBuilder().raw(msg).u32(0).bytes(), true},
        {"a time tag cut short", OscBuilder().str("#bundle").bytes(), true},
        {"an element longer than it says", OscBuilder().bundle().u32(4).raw(msg).bytes(), true},
        {"an element shorter than it says", OscBuilder().bundle().u32(64).raw(msg).bytes(), true},
        {"a nested bundle longer than the datagram",
         OscBuilder().bundle().u32(64).raw(nested).bytes(), true},
        {"a stray byte after a bundle", OscBuilder().bundle().element(msg).raw({0}).bytes(), true},
        {"a number cut short in a bundle",
         OscBuilder()
             .bundle()
             .element(msg)
             .element(OscBuilder().message("/b", ",f").bytes())
             .bytes(),
         true},
    };
    for (const Case &c : cases)
        EXPECT_EQ(decode(c.bytes).irregular(), c.irregular) << c.what;

    // Every prefix of a well-formed message is irregular, or abandoned; random well-formed
    // messages and bundles are regular.
    const auto full = OscBuilder().message("/x/y", ",ifsT").i32(1).f32(2).str("three").bytes();
    for (size_t n = 0; n < full.size(); ++n) {
        const std::vector<uint8_t> prefix(full.begin(), full.begin() + static_cast<ptrdiff_t>(n));
        EXPECT_TRUE(isAbandoned(prefix) || decode(prefix).irregular()) << "prefix " << n;
    }
    std::mt19937 random(24);
    for (int round = 0; round < 200; ++round) {
        OscBuilder bundle;
        bundle.bundle();
        for (int element = 0; element < 3; ++element) {
            std::string tags = ",";
            OscBuilder args;
            for (int n = static_cast<int>(random() % 6); n > 0; --n) {
                const size_t kind = random() % 4;
                tags += "ifsT"[kind];
                if (kind == 0)
                    args.i32(static_cast<int32_t>(random()));
                else if (kind == 1)
                    args.f32(static_cast<float>(random() % 1000));
                else if (kind == 2)
                    args.str(std::string(random() % 9, 'a'));
            }
            const auto message = OscBuilder().message("/r", tags).raw(args.bytes()).bytes();
            EXPECT_FALSE(decode(message).irregular()) << tags;
            bundle.element(message);
        }
        EXPECT_FALSE(decode(bundle.bytes()).irregular()) << "round " << round;
    }
}

// Rewriting keeps the bytes of arguments the decoder gives no value for, drops what it passed
// over before the type tags, and decodes as the received message did, also when that was cut short.
TEST(OSCWriter, rewritesAMessageAsItCameWithoutWhatTheDecoderPassedOver)
{
    struct Case {
        std::vector<uint8_t> received, rewritten;
    };
    const Case cases[] = {
        {OscBuilder().message("/b", ",bhf").u32(3).raw({1, 2, 3, 0}).u32(0).u32(7).f32(1).bytes(),
         {}}, // as it came
        {OscBuilder().str("/g").raw({'x', 'y', 'z', 0}).str(",i").i32(5).bytes(),
         OscBuilder().message("/g", ",i").i32(5).bytes()},
        {OscBuilder().message("/cut", ",fi").f32(2).bytes(), {}}, // the integer is missing
        {OscBuilder().str("/none").bytes(), OscBuilder().message("/none", ",").bytes()},
    };
    for (const Case &c : cases) {
        const OSCMessages original = decode(c.received);
        std::vector<uint8_t> out;
        OSCWriter::rewriteMessage(original[0].message(), c.received, out);
        EXPECT_EQ(out, c.rewritten.empty() ? c.received : c.rewritten);
        const OSCMessages again = decode(out);
        const OSCMessage &a = original[0].message(), &b = again[0].message();
        EXPECT_EQ(b.address(), a.address());
        EXPECT_EQ(tagsOf(b), tagsOf(a));
        ASSERT_EQ(b.slotCount(), a.slotCount());
        for (size_t slot = 0; slot < a.slotCount(); ++slot)
            EXPECT_TRUE(std::ranges::equal(b.slot(slot), a.slot(slot)));
    }
}
