#pragma once
// equalBytes: whether two short texts (OSC addresses, type tags) hold the same bytes, inline and
// eight bytes at a time, where the library's comparison calls out to memcmp.
//
//   if (equalBytes(plan.tags, message.tagBytes())) ...

#include <cstdint>
#include <cstring>
#include <string_view>

namespace tarvex {

inline bool equalBytes(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    size_t i = 0;
    for (; i + 8 <= a.size(); i += 8) {
        uint64_t x, y;
        std::memcpy(&x, a.data() + i, 8);
        std::memcpy(&y, b.data() + i, 8);
        if (x != y)
            return false;
    }
    for (; i < a.size(); ++i) {
        if (a[i] != b[i])
            return false;
    }
    return true;
}

} // namespace tarvex
