#include "engine/Lib.h"

#include "core/VbError.h"

#include <cmath>

namespace tarvex {

int32_t randomInRange(std::mt19937 &random, int32_t low, int32_t high)
{
    int64_t span = int64_t{high} - low + 1;
    if (span > INT32_MAX || span < INT32_MIN)
        raise(errc::Overflow);
    double unit = static_cast<double>(random()) / 4294967296.0; // 32 random bits: in [0, 1)
    return static_cast<int32_t>(std::floor(unit * static_cast<double>(span) + low));
}

} // namespace tarvex
