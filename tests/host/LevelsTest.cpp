// Curves and 16-bit levels against levels computed here another way: in long double, from
// positions that are exact binary fractions (so a tie is a tie), rounded to even by nearbyintl.
#include "host/objects/Levels.h"
#include "host/objects/TargetOptions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace tarvex::host {
namespace {

long double bent(Curve curve, long double p)
{
    switch (curve) {
    case Curve::Linear: return p;
    case Curve::Square: return p * p;
    case Curve::SquareRoot: return std::sqrt(p);
    case Curve::SCurve: return 3 * p * p - 2 * p * p * p;
    }
    return -1;
}

uint32_t expectedLevel(Curve curve, long double p, uint32_t full)
{
    return static_cast<uint32_t>(std::nearbyint(bent(curve, p) * full));
}

// The table in docs/host.md.
TEST(Levels, theCurvesAtTheQuarterPositions)
{
    const struct {
        Curve curve;
        uint32_t levels8[5];
        uint32_t levels16[5];
    } table[] = {
        {Curve::Linear, {0, 64, 128, 191, 255}, {0, 16384, 32768, 49151, 65535}},
        {Curve::Square, {0, 16, 64, 143, 255}, {0, 4096, 16384, 36863, 65535}},
        {Curve::SquareRoot, {0, 128, 180, 221, 255}, {0, 32768, 46340, 56755, 65535}},
        {Curve::SCurve, {0, 40, 128, 215, 255}, {0, 10240, 32768, 55295, 65535}},
    };
    for (const auto &row : table) {
        for (int quarter = 0; quarter <= 4; ++quarter) {
            const Position p = positionOf(quarter, 0, 4);
            EXPECT_EQ(curvedLevel(row.curve, p, FullLevel8), row.levels8[quarter]);
            EXPECT_EQ(curvedLevel(row.curve, p, FullLevel16), row.levels16[quarter]);
            EXPECT_EQ(row.levels8[quarter], expectedLevel(row.curve, quarter / 4.0L, 255));
            EXPECT_EQ(row.levels16[quarter], expectedLevel(row.curve, quarter / 4.0L, 65535));
        }
    }
}

TEST(Levels, everyCurveAtEveryStepOfAFineRangeBothWaysRound)
{
    for (Curve curve : Curves) {
        for (int32_t value = -8; value <= 1032; ++value) {
            const long double up = std::clamp(value, 0, 1024) / 1024.0L;
            for (uint32_t full : {FullLevel8, FullLevel16}) {
                ASSERT_EQ(curvedLevel(curve, positionOf(value, 0, 1024), full),
                          expectedLevel(curve, up, full))
                    << curveName(curve) << " " << value << " of 0..1024, full " << full;
                ASSERT_EQ(curvedLevel(curve, positionOf(value, 1024, 0), full),
                          expectedLevel(curve, 1 - up, full))
                    << curveName(curve) << " " << value << " of 1024..0, full " << full;
            }
        }
    }
}

TEST(TargetOptions, readFromT2OrKeptAsANote)
{
    const struct {
        const char *text;
        std::optional<TargetOptions> options;
    } cases[] = {
        {"", TargetOptions{}},
        {"curve=square;fade=300", TargetOptions{Curve::Square, 300}},
        {" fade = 50 ; curve = s-curve ;", TargetOptions{Curve::SCurve, 50}},
        {"curve=root", TargetOptions{Curve::SquareRoot, 0}},
        {"fade=600000", TargetOptions{Curve::Linear, 600000}},
        {"dimmer on the left", std::nullopt},
        {"curve=cubic", std::nullopt},
        {"fade=600001", std::nullopt},
        {"fade=-1", std::nullopt},
        {"fade=", std::nullopt},
        {"curve=square;colour=red", std::nullopt},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(readTargetOptions(c.text), c.options) << c.text;
        if (c.options) {
            EXPECT_EQ(readTargetOptions(optionsText(*c.options)), c.options) << c.text;
        }
    }
    EXPECT_EQ(optionsText({Curve::Square, 300}), "curve=square;fade=300");
    EXPECT_EQ(optionsText({}), "");
    EXPECT_EQ(targetOptionsOf(Variant(300)), TargetOptions{}); // no text: the defaults
}

} // namespace
} // namespace tarvex::host
