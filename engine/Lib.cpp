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

std::string_view keywordOfTag(std::string_view tag)
{
    if (tag == "s")
        return "String";
    if (tag == "f")
        return "Float";
    if (tag == "i")
        return "Integer";
    if (tag == "Empty")
        return "Empty";
    return {};
}

std::string_view tagOfKeyword(std::string_view keyword)
{
    if (keyword == "String")
        return "s";
    if (keyword == "Float")
        return "f";
    if (keyword == "Integer")
        return "i";
    if (keyword == "Empty")
        return "Empty";
    return {};
}

} // namespace tarvex
