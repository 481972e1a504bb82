#pragma once
// Decimal: the 96-bit scaled decimal number of OLE Automation (DECIMAL).
//
//   value = (-1)^negative * mantissa / 10^scale, mantissa < 2^96, 0 <= scale <= 28
//
// Arithmetic follows the Windows runtime: results that do not fit are scaled down and rounded to
// nearest, ties to even; an integer part that cannot be held raises error 6 (Overflow), division
// by zero error 11. Equality and ordering compare values, so 1.0 == 1.
//
//   Decimal half = Decimal::fromFloat(0.5f);         // 0.5, scale 1
//   int32_t v = (half * Decimal(255)).toInt32();     // 127.5 rounds to even: 128

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvex {

class Decimal {
public:
    static constexpr uint8_t MaxScale = 28;

    constexpr Decimal() = default;
    // Exact conversion from an integer.
    Decimal(int64_t value);

    // The raw fields; mid and lo are the two low 32-bit words of the mantissa.
    // Raises error 5 when scale > 28.
    static Decimal fromParts(bool negative, uint8_t scale, uint32_t hi, uint32_t mid, uint32_t lo);

    // What VarDecFromR4 does on Windows: 7 significant digits, ties to even, scale at most 28,
    // |x| < 2^-95 gives 0, |x| >= 2^96 and Inf/NaN raise error 6.
    static Decimal fromFloat(float value);
    // Whether fromFloat gives a value for this float rather than raising (false for |x| >= 2^96,
    // Inf and NaN): a check of the exponent alone.
    static bool holdsFloat(float value);
    // The same with 15 significant digits, rounded once from the double's exact binary value
    // (VarDecFromR8).
    static Decimal fromDouble(double value);

    // Reads text of the form: blanks, optional sign, digits with at most one decimal separator
    // ('.' or the given one), optional exponent (e/E, optional sign, digits), blanks.
    // Returns nothing when the text is not of that form; raises error 6 when the value does not
    // fit. Digits beyond what 96 bits and scale 28 hold are rounded half to even; trailing
    // fractional zeros are not kept ("1.50" gives 1.5, scale 1).
    static std::optional<Decimal> parse(std::string_view text, char decimalSeparator = '.');

    bool isNegative() const { return m_negative; }
    uint8_t scale() const { return m_scale; }
    uint32_t hi() const { return m_hi; }
    uint32_t mid() const { return static_cast<uint32_t>(m_lo >> 32); }
    uint32_t lo() const { return static_cast<uint32_t>(m_lo); }
    bool isZero() const { return m_hi == 0 && m_lo == 0; }

    // Plain digits, no exponent, no grouping, trailing fractional zeros dropped, leading zero
    // kept ("0.5"), "-" for negative values; zero is "0" whatever its scale or sign.
    std::string toString(char decimalSeparator = '.') const;

    double toDouble() const;
    // Rounded to nearest, ties to even; error 6 when the rounded value is out of range.
    int32_t toInt32() const;
    int16_t toInt16() const;
    uint8_t toUInt8() const;
    int64_t toInt64() const;

    // Rounds to the given number of decimals, ties to even; digits >= scale returns *this.
    // Raises error 5 for negative digits.
    Decimal round(int digits) const;
    Decimal negated() const;

    friend Decimal operator+(const Decimal &a, const Decimal &b);
    friend Decimal operator-(const Decimal &a, const Decimal &b);
    friend Decimal operator*(const Decimal &a, const Decimal &b);
    friend Decimal operator/(const Decimal &a, const Decimal &b);

    friend std::strong_ordering operator<=>(const Decimal &a, const Decimal &b);
    friend bool operator==(const Decimal &a, const Decimal &b) { return (a <=> b) == 0; }

    // Same value and same representation (scale and sign bit included).
    bool identicalTo(const Decimal &other) const;

private:
    uint64_t m_lo = 0; // low 64 bits of the mantissa
    uint32_t m_hi = 0; // high 32 bits of the mantissa
    uint8_t m_scale = 0;
    bool m_negative = false;
    // Fills the tail so the object has no padding: copies are then two whole eight-byte moves,
    // which the compiler can forward from registers without a store-forwarding stall.
    uint16_t m_reserved = 0;
};

} // namespace tarvex
