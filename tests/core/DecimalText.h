#pragma once
// Decimals in tests: every digit their scale implies, decimals written with the scale their text
// shows, and the outcome of a call as text ("error 6" when it raises).

#include "core/Decimal.h"
#include "core/VbError.h"

#include <functional>
#include <string>
#include <string_view>

namespace tarvex::test {

__extension__ typedef unsigned __int128 u128;

// Every digit the scale implies ("0.0000010"), from the raw words rather than toString. A zero is
// "0": the scale and sign of a zero result are not established for Windows.
inline std::string exact(const Decimal &d)
{
    std::string digits;
    for (u128 m = (u128(d.hi()) << 64) | (u128(d.mid()) << 32) | d.lo(); m != 0; m /= 10)
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(m % 10)));
    if (digits.empty())
        return "0";
    if (digits.size() <= d.scale())
        digits.insert(0, d.scale() + 1 - digits.size(), '0');
    if (d.scale() > 0)
        digits.insert(digits.size() - d.scale(), 1, '.');
    return (d.isNegative() ? "-" : "") + digits;
}

// A Decimal with the scale its text shows ("4.00" is 400 at scale 2).
inline Decimal literal(std::string_view text)
{
    const bool negative = text.front() == '-';
    const size_t point = text.find('.');
    u128 m = 0;
    for (char c : text.substr(negative ? 1 : 0))
        m = c == '.' ? m : m * 10 + static_cast<unsigned>(c - '0');
    const auto scale = static_cast<uint8_t>(point == text.npos ? 0 : text.size() - point - 1);
    return Decimal::fromParts(negative, scale, static_cast<uint32_t>(m >> 64),
                              static_cast<uint32_t>(m >> 32), static_cast<uint32_t>(m));
}

inline std::string outcome(const std::function<std::string()> &call)
{
    try {
        return call();
    } catch (const VbError &e) {
        return "error " + std::to_string(e.number());
    }
}

} // namespace tarvex::test
