#include "host/objects/Levels.h"

#include <algorithm>
#include <cmath>

namespace tarvex::host {
namespace {

__extension__ using Wide = unsigned __int128;

// numerator / denominator rounded to the nearest whole number, halves to even.
Wide roundedQuotient(Wide numerator, Wide denominator)
{
    Wide quotient = numerator / denominator;
    const Wide twiceRemainder = 2 * (numerator % denominator);
    if (twiceRemainder > denominator || (twiceRemainder == denominator && quotient % 2 != 0))
        ++quotient;
    return quotient;
}

// round(full x sqrt(n / d)), halves to even. A level L lies within half a step of x exactly when
// (2L - 1)^2 d <= 4 full^2 n <= (2L + 1)^2 d, which integers decide without rounding errors;
// the floating-point estimate only says where to start looking.
uint32_t rootLevel(Position p, uint32_t full)
{
    const Wide n = p.numerator, d = p.denominator;
    const Wide target = 4 * Wide{full} * full * n;
    auto edge = [&](uint64_t twiceLevelPlusOne) {
        return Wide{twiceLevelPlusOne} * twiceLevelPlusOne * d;
    };
    const double estimate = full * std::sqrt(static_cast<double>(n) / static_cast<double>(d));
    uint64_t level = static_cast<uint64_t>(std::clamp(estimate, 0.0, double(full)));
    while (level > 0 && edge(2 * level - 1) > target)
        --level;
    while (level < full && edge(2 * level + 1) < target)
        ++level;
    // Exactly halfway: to the even neighbour.
    if (level % 2 != 0 && level < full && edge(2 * level + 1) == target)
        ++level;
    else if (level % 2 != 0 && level > 0 && edge(2 * level - 1) == target)
        --level;
    return static_cast<uint32_t>(level);
}

} // namespace

std::string_view curveName(Curve curve)
{
    switch (curve) {
    case Curve::Linear: return "linear";
    case Curve::Square: return "square";
    case Curve::SquareRoot: return "root";
    case Curve::SCurve: return "s-curve";
    }
    return "linear";
}

std::optional<Curve> curveNamed(std::string_view name)
{
    for (Curve curve : Curves)
        if (curveName(curve) == name)
            return curve;
    return std::nullopt;
}

Position positionOf(int32_t value, int32_t min, int32_t max)
{
    if (min == max)
        return {value >= min ? 1u : 0u, 1};
    const int64_t low = std::min(min, max), high = std::max(min, max);
    const int64_t clamped = std::clamp<int64_t>(value, low, high);
    const int64_t distance = clamped - min, range = int64_t{max} - min;
    // Both have the sign of max - min.
    return {static_cast<uint64_t>(distance < 0 ? -distance : distance),
            static_cast<uint64_t>(range < 0 ? -range : range)};
}

uint32_t curvedLevel(Curve curve, Position p, uint32_t full)
{
    // n, d < 2^33: n^2 (3d - 2n) x 65535 < 2^117 fits in 128 bits.
    const Wide n = p.numerator, d = p.denominator;
    switch (curve) {
    case Curve::Linear: return static_cast<uint32_t>(roundedQuotient(n * full, d));
    case Curve::Square: return static_cast<uint32_t>(roundedQuotient(n * n * full, d * d));
    case Curve::SquareRoot: return rootLevel(p, full);
    case Curve::SCurve:
        return static_cast<uint32_t>(roundedQuotient(n * n * (3 * d - 2 * n) * full, d * d * d));
    }
    return 0;
}

} // namespace tarvex::host
