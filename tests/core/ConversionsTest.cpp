// Conversions of tagged values: numeric text, text forms, integer rounding, comparison.
#include "core/Conversions.h"
#include "core/Ansi.h"
#include "core/VbError.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <vector>

using namespace tarvex;

namespace {

int32_t errorNumberOf(auto &&action)
{
    try {
        action();
    } catch (const VbError &e) {
        return e.number();
    }
    return 0;
}

Decimal dec(const char *text)
{
    return Decimal::parse(text).value();
}

} // namespace

TEST(NumericText, acceptsSignDigitsOneSeparatorAndExponent)
{
    for (const char *text :
         {"5", " 12 ", "-3", "+3", "0.5", ".5", "5.", "1e3", "1E-3", "2.5e+2", "\t7\t"})
        EXPECT_TRUE(isNumericText(text)) << text;
}

TEST(NumericText, rejectsEverythingElse)
{
    for (const char *text : {"", " ", "-", ".", "1.2.3", "1e", "1e+", "abc", "12abc", "1 000",
                             "0x10", "&H10", "--1", "1,000", "-", "NumarkBeat", "1e400"})
        EXPECT_FALSE(isNumericText(text)) << text;
}

TEST(NumericText, acceptsTheSystemSeparatorToo)
{
    const char *previous = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = previous ? previous : "C";
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
        GTEST_SKIP() << "no German locale on this machine";
    EXPECT_TRUE(isNumericText("12,5"));
    EXPECT_TRUE(isNumericText("12.5"));
    EXPECT_EQ(toText(Variant(dec("1.5"))), "1,5");
    EXPECT_EQ(toDecimal(Variant("12,5")), dec("12.5"));
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(NumericText, everyConversionGivesTheSameVerdictOnTheSameText)
{
    // Beyond a double is an overflow everywhere (error 6); below it is 0 everywhere. A value a
    // double holds but a decimal or a Long does not overflows only in those conversions.
    struct Case {
        const char *text;
        bool numeric;
        std::string asDouble, asDecimal, asLong;
    };
    const auto outcome = [](auto convert) {
        try {
            return convert();
        } catch (const VbError &e) {
            return "error " + std::to_string(e.number());
        }
    };
    const std::vector<Case> cases = {
        {"1e400", false, "error 6", "error 6", "error 6"},
        {"-1e400", false, "error 6", "error 6", "error 6"},
        {"1.8e308", false, "error 6", "error 6", "error 6"},
        {"1000e306", false, "error 6", "error 6", "error 6"},
        {"1e-400", true, "0", "0", "0"},
        {"-0.0001e-399", true, "0", "0", "0"},
        {"0e99999999999", true, "0", "0", "0"},
        {"1.7e308", true, "1.7E+308", "error 6", "error 6"},
        {"0.001e311", true, "1E+308", "error 6", "error 6"},
        {"1e30", true, "1E+30", "error 6", "error 6"},
        {" 2.5 ", true, "2.5", "2.5", "2"},
        {"1e", false, "error 13", "error 13", "error 13"},
        {"abc", false, "error 13", "error 13", "error 13"},
    };
    for (const Case &c : cases) {
        const Variant text(c.text);
        EXPECT_EQ(isNumeric(text), c.numeric) << c.text;
        EXPECT_EQ(outcome([&] { return toText(Variant::fromDouble(toDouble(text))); }), c.asDouble)
            << c.text;
        EXPECT_EQ(outcome([&] { return toDecimal(text).toString(); }), c.asDecimal) << c.text;
        EXPECT_EQ(outcome([&] { return std::to_string(toLong(text)); }), c.asLong) << c.text;
    }
}

TEST(IsNumeric, countsNumbersEmptyAndNumericTextOnly)
{
    EXPECT_TRUE(isNumeric(Variant()));
    EXPECT_TRUE(isNumeric(Variant(3)));
    EXPECT_TRUE(isNumeric(Variant(dec("0.5"))));
    EXPECT_TRUE(isNumeric(Variant::boolean(false)));
    EXPECT_TRUE(isNumeric(Variant(" 5 ")));
    EXPECT_FALSE(isNumeric(Variant("-")));
    EXPECT_FALSE(isNumeric(Variant::null()));
    EXPECT_FALSE(isNumeric(Variant(VarArray())));
}

TEST(ToLong, roundsHalvesToEven)
{
    EXPECT_EQ(toLong(Variant(dec("127.5"))), 128);
    EXPECT_EQ(toLong(Variant(dec("128.5"))), 128);
    EXPECT_EQ(toLong(Variant(dec("-2.5"))), -2);
    EXPECT_EQ(toLong(Variant("2.5")), 2);
    EXPECT_EQ(toLong(Variant("3.5")), 4);
    EXPECT_EQ(toLong(Variant::fromDouble(0.5)), 0);
    EXPECT_EQ(toLong(Variant::fromDouble(1.5)), 2);
    // 0.3f * 255 is exactly 76.5 in single precision.
    EXPECT_EQ(toLong(Variant::single(0.3f * 255)), 76);
    EXPECT_EQ(toLong(Variant("1e3")), 1000);
    EXPECT_EQ(toLong(Variant::boolean(true)), -1);
    EXPECT_EQ(toLong(Variant()), 0);
}

TEST(ToLong, checksTheRangeAfterRounding)
{
    EXPECT_EQ(toLong(Variant(dec("2147483647.49"))), 2147483647);
    EXPECT_EQ(errorNumberOf([] { toLong(Variant(dec("2147483647.5"))); }), errc::Overflow);
    EXPECT_EQ(toLong(Variant(dec("-2147483648.5"))), INT32_MIN);
    EXPECT_EQ(toInteger(Variant(dec("32766.5"))), 32766);
    EXPECT_EQ(errorNumberOf([] { toInteger(Variant("32767.5")); }), errc::Overflow);
    EXPECT_EQ(errorNumberOf([] { toInteger(Variant(40000)); }), errc::Overflow);
    EXPECT_EQ(errorNumberOf([] { toByte(Variant(-1)); }), errc::Overflow);
}

TEST(ToLong, refusesWhatIsNotANumber)
{
    EXPECT_EQ(errorNumberOf([] { toLong(Variant("abc")); }), errc::TypeMismatch);
    EXPECT_EQ(errorNumberOf([] { toLong(Variant("")); }), errc::TypeMismatch);
    EXPECT_EQ(errorNumberOf([] { toLong(Variant::null()); }), errc::InvalidUseOfNull);
    EXPECT_EQ(errorNumberOf([] { toDecimal(Variant("-")); }), errc::TypeMismatch);
}

TEST(ToText, writesEachKindInItsOwnForm)
{
    EXPECT_EQ(toText(Variant()), "");
    EXPECT_EQ(toText(Variant(-42)), "-42");
    EXPECT_EQ(toText(Variant::integer(7)), "7");
    EXPECT_EQ(toText(Variant::byte(255)), "255");
    EXPECT_EQ(toText(Variant::boolean(true)), "True");
    EXPECT_EQ(toText(Variant::boolean(false)), "False");
    EXPECT_EQ(toText(Variant(Decimal::fromFloat(0.1f))), "0.1");
    EXPECT_EQ(toText(Variant(dec("-12345.6789"))), "-12345.6789");
    EXPECT_EQ(toText(Variant::single(1.0f / 3)), "0.3333333");
    EXPECT_EQ(toText(Variant::single(12345678.0f)), "1.234568E+07");
    EXPECT_EQ(toText(Variant::single(1e-10f)), "1E-10");
    EXPECT_EQ(toText(Variant::fromDouble(1.0 / 3)), "0.333333333333333");
    EXPECT_EQ(toText(Variant::fromDouble(1e15)), "1E+15");
    EXPECT_EQ(toText(Variant::fromDouble(0.0001)), "0.0001");
    EXPECT_EQ(errorNumberOf([] { toText(Variant::null()); }), errc::InvalidUseOfNull);
}

TEST(Compare, ordersTwoVariantsByKindThenValue)
{
    struct Case {
        Variant left, right;
        Comparison expected;
    };
    const std::vector<Case> cases = {
        {Variant(5), Variant("5"), Comparison::Less}, // a number is less than any text
        {Variant("5"), Variant(5), Comparison::Greater},
        {Variant(""), Variant(5), Comparison::Greater},
        {Variant(), Variant(""), Comparison::Equal},
        {Variant(), Variant("a"), Comparison::Less},
        {Variant(), Variant(0), Comparison::Equal},
        {Variant(), Variant(-1), Comparison::Greater},
        {Variant(), Variant(), Comparison::Equal},
        {Variant(), Variant::boolean(false), Comparison::Equal},
        {Variant::null(), Variant(1), Comparison::Null},
        {Variant("a"), Variant("B"), Comparison::Greater}, // binary order
        {Variant("a"), Variant("A"), Comparison::Greater},
        {Variant("10"), Variant("9"), Comparison::Less},
        {Variant("abc"), Variant("abcd"), Comparison::Less},
        {Variant::fromDouble(0.1), Variant::single(0.1f), Comparison::Equal},
        {Variant::fromDouble(0.1), Variant::fromDouble(double(0.1f)), Comparison::Less},
        {Variant(dec("0.1")), Variant::fromDouble(0.1), Comparison::Equal},
        {Variant(dec("0.1")), Variant::single(0.1f), Comparison::Equal},
        {Variant(dec("0.3333333")), Variant::single(1.0f / 3), Comparison::Equal},
        {Variant(1), Variant::boolean(true), Comparison::Greater},
        {Variant::integer(5), Variant(5), Comparison::Equal},
        {Variant(2147483647), Variant::fromDouble(2147483647.5), Comparison::Less},
        {Variant(dec("4.5")), Variant(dec("5")), Comparison::Less},
    };
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(compare(cases[i].left, cases[i].right), cases[i].expected) << "case " << i;
}

TEST(Compare, refusesArraysAndObjects)
{
    EXPECT_EQ(errorNumberOf([] { compare(Variant(VarArray()), Variant(1)); }), errc::TypeMismatch);
}

TEST(Ansi, decodesTheWesternCodePage)
{
    const uint8_t bytes[] = {'/', 0xE4, 0x80, 0x9F, 0x81};
    EXPECT_EQ(ansi::decode(bytes), "/\xC3\xA4\xE2\x82\xAC\xC5\xB8\xC2\x81"); // "/ä€Ÿ" and U+0081
    EXPECT_EQ(ansi::charOf(0xE4), "\xC3\xA4");
    // A zero byte inside a text is a character like any other.
    const uint8_t withZero[] = {'a', 0x00, 'b'};
    EXPECT_EQ(ansi::decode(withZero), std::string("a\0b", 3));
    EXPECT_EQ(ansi::encode(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Ansi, encodesBackAndReplacesWhatTheCodePageLacks)
{
    EXPECT_EQ(ansi::encode("/\xC3\xA4\xE2\x82\xAC"), "/\xE4\x80");
    EXPECT_EQ(ansi::encode("\xE2\x86\x92"), "?");       // an arrow is not in the code page
    EXPECT_EQ(ansi::encode("a\xC3"), "a?");             // a cut-short sequence
    EXPECT_EQ(ansi::encode("\xF0\x9F\x8E\xB5x"), "?x"); // a four-byte character
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<uint8_t>(b);
        EXPECT_EQ(ansi::encode(ansi::charOf(byte)), std::string(1, static_cast<char>(byte)))
            << "byte " << b;
    }
}

TEST(Ansi, turnsEveryBrokenPieceOfUtf8IntoAQuestionMark)
{
    // Each longest start of a sequence that cannot be completed is one '?'.
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"\xC0\x80", "??"},           // an overlong NUL
        {"\xC1\x81", "??"},           // an overlong "A"
        {"\xE0\x80\xAF", "???"},      // an overlong "/"
        {"\xF0\x80\x80\xAF", "????"}, // an overlong "/" in four bytes
        {"\xED\xA0\x80", "???"},      // a surrogate
        {"\xF4\x90\x80\x80", "????"}, // beyond U+10FFFF
        {"\xF5\x80", "??"},           // no lead byte at all
        {"\x80x", "?x"},              // a stray continuation byte
        {"\xE2\x82x", "?x"},          // a three-byte sequence cut short
        {"\xC3\xA4\xC3", "\xE4?"},    // a valid character, then a cut-short one
    };
    for (const auto &[utf8, expected] : cases)
        EXPECT_EQ(ansi::encode(utf8), expected) << testing::PrintToString(utf8);
}
