// Decimal: rounding, errors, ordering, parsing and the conversions from doubles.
#include "core/Decimal.h"
#include "core/VbError.h"
#include "tests/core/DecimalText.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>

using tarvex::Decimal;
using tarvex::test::exact;
using tarvex::test::literal;
using tarvex::test::outcome;

namespace {
const Decimal Max = literal("79228162514264337593543950335");
}

TEST(DecimalRounding, halfEvenOnTheExactValue)
{
    EXPECT_EQ("0.0000000000000000000000000003",
              exact(literal("0.00000000000001") * literal("0.0000000000000250001")));
    EXPECT_EQ("0.0000000000000000000000000002",
              exact(literal("0.00000000000001") * literal("0.000000000000025")));
    // Past 36 significant digits the parser keeps only whether something non-zero followed.
    std::string longTie = std::string(28, '0').insert(1, ".");
    longTie.append("25").append(40, '0').append("1");
    EXPECT_EQ("0.0000000000000000000000000003", exact(*Decimal::parse(longTie)));
    EXPECT_EQ("1", exact(*Decimal::parse(std::string(45, '0').insert(0, "1").append("e-45"))));
    // A sum one digit too long: ...033.5 goes to the even ...034.
    EXPECT_EQ("8.922816251426433759354395034",
              exact(literal("7.9228162514264337593543950335") + Decimal(1)));
    // Exact halves at the seventh digit of a Single.
    EXPECT_EQ("1234568", exact(Decimal::fromFloat(1234567.5f)));
    EXPECT_EQ("1234568", exact(Decimal::fromFloat(1234568.5f)));
    // 0.3f * 255 is exactly 76.5.
    EXPECT_EQ(76, (Decimal::fromFloat(0.3f) * Decimal(255)).toInt32());
    EXPECT_EQ(76, Decimal::fromFloat(0.3f * 255).toInt32());
    // A quotient rounded up to a whole number keeps none of the zeros it developed.
    EXPECT_EQ("1", exact(Decimal(3) / literal("3.0000000000000000000000000001")));
    // The 28th digit rounds up to 2^96, so the quotient settles one digit shorter.
    EXPECT_EQ("7.922816251426433759354395034",
              exact(literal("71.305346262837903834189555302") / Decimal(9)));
}

TEST(DecimalErrors, overflowDivisionByZeroAndBadArguments)
{
    const auto err = [](std::function<void()> f) { return outcome([&] { return f(), "ok"; }); };
    EXPECT_EQ("error 6", err([] { (void)(Max.negated() - Decimal(1)); }));
    EXPECT_EQ("error 6", err([] { Decimal::fromDouble(std::nan("")); }));
    EXPECT_EQ("error 6", err([] { literal("255.5").toUInt8(); }));
    EXPECT_EQ("error 6", err([] { literal("-0.6").toUInt8(); }));
    EXPECT_EQ("error 6", err([] { literal("9223372036854775807.5").toInt64(); }));
    EXPECT_EQ("error 11", err([] { (void)(Decimal(0) / Decimal::fromParts(true, 3, 0, 0, 0)); }));
    EXPECT_EQ("error 5", err([] { Decimal::fromParts(false, 29, 0, 0, 1); }));
    EXPECT_EQ(0u, literal("-0.5").toUInt8());
    EXPECT_EQ(INT64_MIN, literal("-9223372036854775808.5").toInt64());
}

TEST(DecimalCompare, ordersByValueAcrossScales)
{
    EXPECT_EQ(literal("1.0"), Decimal(1));
    EXPECT_FALSE(literal("1.0").identicalTo(Decimal(1)));
    EXPECT_EQ(Decimal::fromParts(true, 5, 0, 0, 0), Decimal(0));
    EXPECT_LT(literal("-1"), literal("-0.5"));
    EXPECT_LT(literal("-0.5"), Decimal(0));
    EXPECT_GT(Max, literal("7.9228162514264337593543950335"));
    EXPECT_LT(literal("7.9228162514264337593543950334"), literal("7.9228162514264337593543950335"));
}

TEST(DecimalParse, rejectsWhatIsNotAPlainNumber)
{
    for (const char *text : {"&H10", "1,000", "(12)", "$1", "12-", "1e3x"})
        EXPECT_FALSE(Decimal::parse(text).has_value()) << text;
    EXPECT_EQ("0", exact(*Decimal::parse("1e-400")));
    EXPECT_EQ("0", exact(*Decimal::parse("0e99999999999999999999")));
    // 29 digits beyond 96 bits lose the last one.
    EXPECT_EQ("987654321098765432109876543.2",
              exact(*Decimal::parse("987654321098765432109876543.25")));
}

TEST(DecimalDouble, fifteenDigitsInNearestDoubleOut)
{
    EXPECT_EQ("0.333333333333333", exact(Decimal::fromDouble(1.0 / 3)));
    EXPECT_EQ(1e-28, literal("0.0000000000000000000000000001").toDouble());
    // Zeros of every scale, those from a subtraction included, are 0.
    for (uint8_t scale = 0; scale <= Decimal::MaxScale; ++scale) {
        EXPECT_EQ(0.0, Decimal::fromParts(false, scale, 0, 0, 0).toDouble()) << int(scale);
        EXPECT_EQ(0.0, Decimal::fromParts(true, scale, 0, 0, 0).toDouble()) << int(scale);
    }
    const Decimal tiny = literal("0.0000000000000000000000000001");
    EXPECT_EQ(0.0, (tiny - tiny).toDouble());
}

TEST(DecimalDouble, roundsTheExactValueOnceToFifteenDigits)
{
    // Between 2^49 and 10^15 the value already has its fifteen digits and a binary fraction.
    EXPECT_EQ("849485504857327", exact(Decimal::fromDouble(849485504857326.625)));
    EXPECT_EQ("751578565484753", exact(Decimal::fromDouble(751578565484753.375)));
    EXPECT_EQ("562949953421312", exact(Decimal::fromDouble(562949953421312.5))); // 2^49 + .5: even
    EXPECT_EQ("562949953421314", exact(Decimal::fromDouble(562949953421313.5)));
    EXPECT_EQ("-849485504857327", exact(Decimal::fromDouble(-849485504857326.625)));
    // Large and small values keep fifteen digits, ties to even on the exact binary value.
    EXPECT_EQ("1234567890123460", exact(Decimal::fromDouble(1234567890123456.0)));
    EXPECT_EQ("1234567890123450", exact(Decimal::fromDouble(1234567890123450.0)));
    EXPECT_EQ("0.1", exact(Decimal::fromDouble(0.1)));
    EXPECT_EQ("0.100000001490116", exact(Decimal::fromDouble(double(0.1f))));
    EXPECT_EQ("0.0000000000000000000000000001", exact(Decimal::fromDouble(1e-28)));
    EXPECT_EQ("0", exact(Decimal::fromDouble(4e-29)));
    EXPECT_EQ("79228162514264300000000000000", exact(Decimal::fromDouble(7.92281625142643e28)));
    EXPECT_EQ("error 6", outcome([] { return exact(Decimal::fromDouble(7.9228162514264338e28)); }));
}
