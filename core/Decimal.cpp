#include "core/Decimal.h"

#include "core/VbError.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <limits>
#include <type_traits>

namespace tarvex {

namespace {

__extension__ typedef unsigned __int128 u128;

constexpr u128 Limit96 = u128(1) << 96;

constexpr std::array<u128, 39> makePow10()
{
    std::array<u128, 39> table{};
    table[0] = 1;
    for (size_t i = 1; i < table.size(); ++i)
        table[i] = table[i - 1] * 10;
    return table;
}
constexpr std::array<u128, 39> Pow10 = makePow10();

// The float conversions scale in double arithmetic, as Windows does, so their rounding matches
// digit for digit; 10^n is exact for n <= 22, beyond that the nearest double.
constexpr double DoublePow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,
                                  1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19,
                                  1e20, 1e21, 1e22, 1e23, 1e24, 1e25, 1e26, 1e27, 1e28};

bool roundsUp(u128 remainderTimesTwo, u128 divisor, bool quotientOdd)
{
    return remainderTimesTwo > divisor || (remainderTimesTwo == divisor && quotientOdd);
}

// Unsigned 256-bit integer in 32-bit limbs, least significant first. Wide enough for a 96 x 96
// bit product and for a 96-bit mantissa scaled by 10^28.
struct Wide {
    static constexpr int Limbs = 8;
    std::array<uint32_t, Limbs> w{};

    static Wide of(u128 v)
    {
        Wide r;
        for (int i = 0; i < 4; ++i)
            r.w[i] = static_cast<uint32_t>(v >> (32 * i));
        return r;
    }

    static Wide product(u128 a, u128 b)
    {
        const uint64_t a0 = static_cast<uint64_t>(a), a1 = static_cast<uint64_t>(a >> 64);
        const uint64_t b0 = static_cast<uint64_t>(b), b1 = static_cast<uint64_t>(b >> 64);
        Wide r = of(u128(a0) * b0);
        r.addAt(u128(a0) * b1, 2);
        r.addAt(u128(a1) * b0, 2);
        r.addAt(u128(a1) * b1, 4);
        return r;
    }

    // Adds v shifted left by 32 * limb bits.
    void addAt(u128 v, int limb)
    {
        uint64_t carry = 0;
        for (int i = limb; i < Limbs; ++i) {
            const uint64_t t = uint64_t(w[i]) + static_cast<uint32_t>(v) + carry;
            w[i] = static_cast<uint32_t>(t);
            carry = t >> 32;
            v >>= 32;
            if (v == 0 && carry == 0)
                break;
        }
    }

    void add(const Wide &o)
    {
        uint64_t carry = 0;
        for (int i = 0; i < Limbs; ++i) {
            const uint64_t t = uint64_t(w[i]) + o.w[i] + carry;
            w[i] = static_cast<uint32_t>(t);
            carry = t >> 32;
        }
    }

    // Requires *this >= o.
    void subtract(const Wide &o)
    {
        int64_t borrow = 0;
        for (int i = 0; i < Limbs; ++i) {
            const int64_t t = int64_t(w[i]) - o.w[i] - borrow;
            w[i] = static_cast<uint32_t>(t);
            borrow = t < 0 ? 1 : 0;
        }
    }

    void multiply(uint32_t m)
    {
        uint64_t carry = 0;
        for (int i = 0; i < Limbs; ++i) {
            const uint64_t t = uint64_t(w[i]) * m + carry;
            w[i] = static_cast<uint32_t>(t);
            carry = t >> 32;
        }
    }

    void multiplyPow10(int n)
    {
        for (; n >= 9; n -= 9)
            multiply(1000000000u);
        if (n > 0)
            multiply(static_cast<uint32_t>(Pow10[n]));
    }

    uint32_t divide(uint32_t d)
    {
        uint64_t rem = 0;
        for (int i = Limbs - 1; i >= 0; --i) {
            const uint64_t cur = (rem << 32) | w[i];
            w[i] = static_cast<uint32_t>(cur / d);
            rem = cur % d;
        }
        return static_cast<uint32_t>(rem);
    }

    bool fits96() const
    {
        for (int i = 3; i < Limbs; ++i)
            if (w[i] != 0)
                return false;
        return true;
    }

    u128 low128() const
    {
        return u128(w[0]) | (u128(w[1]) << 32) | (u128(w[2]) << 64) | (u128(w[3]) << 96);
    }

    friend int compare(const Wide &a, const Wide &b)
    {
        for (int i = Limbs - 1; i >= 0; --i)
            if (a.w[i] != b.w[i])
                return a.w[i] < b.w[i] ? -1 : 1;
        return 0;
    }
};

// Scale 0 is the floor: an integer part that does not fit is an overflow, never a wrap.
void requireFits96(u128 v)
{
    if (v >= Limit96)
        raise(errc::Overflow);
}

Decimal make(u128 mantissa, int scale, bool negative)
{
    return Decimal::fromParts(negative && mantissa != 0, static_cast<uint8_t>(scale),
                              static_cast<uint32_t>(mantissa >> 64),
                              static_cast<uint32_t>(mantissa >> 32),
                              static_cast<uint32_t>(mantissa));
}

u128 mantissaOf(const Decimal &d)
{
    return (u128(d.hi()) << 64) | (u128(d.mid()) << 32) | d.lo();
}

// The one place where exact results become Decimals: digits are dropped from the right until the
// mantissa fits 96 bits and the scale is at most 28, then the last dropped digit and whether any
// digit before it was non-zero (sticky) decide a correct round half to even.
Decimal rounded(Wide n, int scale, bool negative, bool sticky = false)
{
    for (;;) {
        bool dropped = false;
        uint32_t lastDigit = 0;
        while (scale > Decimal::MaxScale || !n.fits96()) {
            if (scale == 0)
                raise(errc::Overflow);
            sticky = sticky || lastDigit != 0;
            lastDigit = n.divide(10);
            dropped = true;
            --scale;
        }
        if (!dropped)
            return make(n.low128(), scale, negative);
        const bool odd = n.w[0] & 1;
        if (lastDigit > 5 || (lastDigit == 5 && (sticky || odd)))
            n.addAt(1, 0);
        if (n.fits96())
            return make(n.low128(), scale, negative);
        // Rounding carried to exactly 2^96, a value whose next rounding cannot be a tie.
        sticky = false;
    }
}

struct ScaledInteger {
    u128 floor;   // the integer part
    u128 rounded; // to nearest, ties to even
};

// m * 2^q * 10^p in integers, rounded once: the quotient is developed with one extra bit that
// tells the half, and a sticky flag for anything below it. Wide enough for the whole range of
// doubles a decimal can hold (m < 2^53, -148 <= q <= 43, -14 <= p <= 28).
ScaledInteger scaledExactly(uint64_t m, int q, int p)
{
    Wide n = Wide::of(m);
    n.multiply(2);
    if (p > 0)
        n.multiplyPow10(p);
    for (int k = q; k > 0; k -= 31)
        n.multiply(uint32_t(1) << std::min(k, 31));
    bool sticky = false;
    for (int k = -p; k > 0; k -= 9)
        sticky = n.divide(static_cast<uint32_t>(Pow10[std::min(k, 9)])) != 0 || sticky;
    for (int k = -q; k > 0; k -= 31)
        sticky = n.divide(uint32_t(1) << std::min(k, 31)) != 0 || sticky;
    const u128 twice = n.low128();
    const u128 floor = twice >> 1;
    const bool half = (twice & 1) != 0;
    return {floor, floor + (half && (sticky || (floor & 1)) ? 1 : 0)};
}

// e with 2^(e-1) <= |value| < 2^e, from the exponent field alone; Inf and NaN, whose field is
// all ones, give the largest e of their type.
template <typename Bits, typename Float> int binaryExponent(Float value)
{
    constexpr int MantissaBits = std::numeric_limits<Float>::digits - 1;
    constexpr int Bias = std::numeric_limits<Float>::max_exponent - 2;
    const Bits bits = std::bit_cast<Bits>(value);
    const int biased = static_cast<int>((bits >> MantissaBits) &
                                        ((Bits(1) << (sizeof(Bits) * 8 - 1 - MantissaBits)) - 1));
    return biased - Bias;
}

// The largest binary exponent a decimal holds: |value| < 2^96.
constexpr int MaxDecimalExponent = 96;

template <int Digits, typename Bits, typename Float> Decimal fromBinary(Float value)
{
    const Bits bits = std::bit_cast<Bits>(value);
    const int e = binaryExponent<Bits>(value);
    if (e < -94)
        return Decimal();
    if (e > MaxDecimalExponent)
        raise(errc::Overflow); // also Inf and NaN
    const bool negative = (bits >> (sizeof(Bits) * 8 - 1)) != 0;

    // floor(e * log10(2)) picks the power of ten that leaves Digits or Digits - 1 integer digits.
    // floor(e * log10(2)) as a multiply and an arithmetic shift, exact for |e| < 2620.
    const int log10Estimate = (e * 315653) >> 20;
    int power = Digits - 1 - log10Estimate;
    if (power > Decimal::MaxScale)
        power = Decimal::MaxScale;

    const double magnitude = std::fabs(static_cast<double>(value));
    double scaled = power >= 0 ? magnitude * DoublePow10[power] : magnitude / DoublePow10[-power];
    if (scaled < DoublePow10[Digits - 1] && power < Decimal::MaxScale) {
        scaled *= 10;
        ++power;
    }

    // Nearest integer, ties to even, without a branch: scaled < 10^Digits < 2^52, and adding and
    // removing 2^52 rounds it in the default rounding mode.
    constexpr double Two52 = 4503599627370496.0;
    uint64_t m = static_cast<uint64_t>((scaled + Two52) - Two52);
    if (m == 0)
        return Decimal();

    if (power < 0) {
        const u128 big = u128(m) * Pow10[-power];
        requireFits96(big);
        return make(big, 0, negative);
    }
    // Trailing zeros come off, at most Digits - 1 of them (a mantissa that rounded up to
    // 10^Digits keeps one) and never below scale 0: in halving steps rather than one by one,
    // and in 32-bit arithmetic when the digits fit.
    using Digit = std::conditional_t<(Digits <= 9), uint32_t, uint64_t>;
    constexpr uint64_t StepPow10[] = {1,      10,      100,      1000,     10000,
                                      100000, 1000000, 10000000, 100000000};
    Digit mantissa = static_cast<Digit>(m);
    int strip = std::min(Digits - 1, power);
    // Most values end in a non-zero digit or in all the zeros they may lose.
    if (mantissa % 10 != 0)
        return make(mantissa, power, negative);
    if constexpr (Digits - 1 < static_cast<int>(std::size(StepPow10))) {
        constexpr auto AllZeros = static_cast<Digit>(StepPow10[Digits - 1]);
        if (strip == Digits - 1 && mantissa % AllZeros == 0)
            return make(mantissa / AllZeros, power - strip, negative);
    }
    for (int step = Digits - 1 >= 8 ? 8 : 4; step >= 1; step /= 2) {
        const auto divisor = static_cast<Digit>(StepPow10[step]);
        if (strip >= step && mantissa % divisor == 0) {
            mantissa /= divisor;
            power -= step;
            strip -= step;
        }
    }
    return make(mantissa, power, negative);
}

} // namespace

Decimal::Decimal(int64_t value)
    : m_lo(value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value)),
      m_negative(value < 0)
{}

Decimal Decimal::fromParts(bool negative, uint8_t scale, uint32_t hi, uint32_t mid, uint32_t lo)
{
    if (scale > MaxScale)
        raise(errc::InvalidProcedureCall);
    Decimal d;
    d.m_negative = negative;
    d.m_scale = scale;
    d.m_hi = hi;
    d.m_lo = (uint64_t(mid) << 32) | lo;
    return d;
}

Decimal Decimal::fromFloat(float value)
{
    return fromBinary<7, uint32_t>(value);
}

bool Decimal::holdsFloat(float value)
{
    return binaryExponent<uint32_t>(value) <= MaxDecimalExponent;
}

Decimal Decimal::fromDouble(double value)
{
    constexpr int Digits = 15;
    const auto bits = std::bit_cast<uint64_t>(value);
    const int biased = static_cast<int>((bits >> 52) & 0x7FF);
    const int e = biased - 1022; // 2^(e-1) <= |value| < 2^e
    if (e < -94)
        return Decimal();
    if (e > 96)
        raise(errc::Overflow); // also Inf and NaN
    const bool negative = (bits >> 63) != 0;
    // The exact value is m * 2^q; denormals are far below 2^-94 and never get here.
    const uint64_t m = (bits & ((uint64_t(1) << 52) - 1)) | (uint64_t(1) << 52);
    const int q = biased - 1075;

    int power = std::min(Digits - 1 - ((e * 315653) >> 20), int{Decimal::MaxScale});
    ScaledInteger n = scaledExactly(m, q, power);
    if (n.floor < Pow10[Digits - 1] && power < Decimal::MaxScale)
        n = scaledExactly(m, q, ++power);
    if (n.rounded == 0)
        return Decimal();
    if (power < 0) {
        const u128 big = n.rounded * Pow10[-power];
        requireFits96(big);
        return make(big, 0, negative);
    }
    // Trailing zeros come off, at most Digits - 1 of them and never below scale 0.
    u128 mantissa = n.rounded;
    for (int strip = std::min(Digits - 1, power); strip > 0 && mantissa % 10 == 0; --strip) {
        mantissa /= 10;
        --power;
    }
    return make(mantissa, power, negative);
}

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

std::optional<Decimal> Decimal::parse(std::string_view text, char decimalSeparator)
{
    size_t i = 0;
    const size_t n = text.size();
    while (i < n && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';

    // Up to 36 significant digits are kept exactly (10^36 < 2^120); any further digit can only
    // decide a tie, so it is folded into a sticky flag.
    constexpr int KeptDigits = 36;
    u128 digits = 0;
    int kept = 0;
    bool sticky = false;
    bool anyDigit = false;
    bool seenSeparator = false;
    int64_t exponent = 0; // of the last kept digit
    for (; i < n; ++i) {
        const char c = text[i];
        if (isDigit(c)) {
            anyDigit = true;
            if (seenSeparator)
                --exponent;
            if (kept == 0 && c == '0')
                continue;
            if (kept < KeptDigits) {
                digits = digits * 10 + static_cast<unsigned>(c - '0');
                ++kept;
            } else {
                sticky = sticky || c != '0';
                ++exponent;
            }
        } else if ((c == '.' || c == decimalSeparator) && !seenSeparator) {
            seenSeparator = true;
        } else {
            break;
        }
    }
    if (!anyDigit)
        return std::nullopt;

    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool expNegative = false;
        if (i < n && (text[i] == '+' || text[i] == '-'))
            expNegative = text[i++] == '-';
        if (i >= n || !isDigit(text[i]))
            return std::nullopt;
        int64_t e = 0;
        for (; i < n && isDigit(text[i]); ++i)
            e = std::min<int64_t>(e * 10 + (text[i] - '0'), 1000000);
        exponent += expNegative ? -e : e;
    }
    while (i < n && isBlank(text[i]))
        ++i;
    if (i != n)
        return std::nullopt;

    if (digits == 0)
        return Decimal();
    if (exponent >= 0) {
        // Even one digit times 10^29 is past 2^96.
        if (exponent > 29)
            raise(errc::Overflow);
        Wide w = Wide::of(digits);
        w.multiplyPow10(static_cast<int>(exponent));
        if (!w.fits96())
            raise(errc::Overflow);
        return make(w.low128(), 0, negative);
    }
    // Beyond this the value is below half of 10^-28 and rounds to zero.
    if (-exponent > KeptDigits + MaxScale + 1)
        return Decimal();
    Decimal d = rounded(Wide::of(digits), static_cast<int>(-exponent), negative, sticky);
    u128 m = mantissaOf(d);
    int scale = d.scale();
    while (scale > 0 && m % 10 == 0) {
        m /= 10;
        --scale;
    }
    return make(m, scale, negative);
}

std::string Decimal::toString(char decimalSeparator) const
{
    if (isZero())
        return "0";
    char digits[40];
    int count = 0;
    for (u128 m = mantissaOf(*this); m != 0; m /= 10)
        digits[count++] = static_cast<char>('0' + static_cast<int>(m % 10));
    // digits[] is least significant first.
    int first = 0;
    while (first < m_scale && digits[first] == '0')
        ++first;
    const int fractionDigits = m_scale - first;

    std::string out;
    out.reserve(count + 4);
    if (m_negative)
        out += '-';
    if (count <= m_scale) {
        out += '0';
    } else {
        for (int k = count - 1; k >= m_scale; --k)
            out += digits[k];
    }
    if (fractionDigits > 0) {
        out += decimalSeparator;
        for (int k = m_scale - 1; k >= first; --k)
            out += k < count ? digits[k] : '0';
    }
    return out;
}

double Decimal::toDouble() const
{
    const u128 m = mantissaOf(*this);
    // A zero of any scale has no digits to read back.
    if (m == 0)
        return 0.0;
    double v = 0;
    if (m < (u128(1) << 53) && m_scale <= 22) {
        // Both operands exact, so the one division rounds correctly.
        v = static_cast<double>(static_cast<uint64_t>(m)) / DoublePow10[m_scale];
    } else {
        // Digits with an exponent suffix, read back by from_chars, which rounds to nearest.
        char reversed[32];
        int count = 0;
        for (u128 rest = m; rest != 0; rest /= 10)
            reversed[count++] = static_cast<char>('0' + static_cast<int>(rest % 10));
        char text[40];
        int len = 0;
        while (count > 0)
            text[len++] = reversed[--count];
        text[len++] = 'e';
        text[len++] = '-';
        text[len++] = static_cast<char>('0' + m_scale / 10);
        text[len++] = static_cast<char>('0' + m_scale % 10);
        // A non-zero mantissa below 2^96 at scale 28 or less is always inside a double's range.
        auto [end, error] = std::from_chars(text, text + len, v);
        if (error != std::errc() || end != text + len)
            raise(errc::Overflow);
    }
    return m_negative ? -v : v;
}

namespace {

// |d| rounded to an integer, ties to even, on the exact value.
u128 roundedMagnitude(u128 mantissa, int scale)
{
    if (scale == 0)
        return mantissa;
    const u128 p = Pow10[scale];
    u128 q = mantissa / p;
    const u128 r = mantissa % p;
    if (roundsUp(r * 2, p, q & 1))
        ++q;
    return q;
}

int64_t toIntegerIn(const Decimal &d, u128 mantissa, int64_t min, int64_t max)
{
    const u128 q = roundedMagnitude(mantissa, d.scale());
    if (d.isNegative()) {
        const u128 limit = u128(0 - static_cast<uint64_t>(min));
        if (q > limit)
            raise(errc::Overflow);
        return static_cast<int64_t>(0 - static_cast<uint64_t>(q));
    }
    if (q > static_cast<u128>(max))
        raise(errc::Overflow);
    return static_cast<int64_t>(q);
}

} // namespace

int32_t Decimal::toInt32() const
{
    return static_cast<int32_t>(toIntegerIn(*this, mantissaOf(*this), INT32_MIN, INT32_MAX));
}

int16_t Decimal::toInt16() const
{
    return static_cast<int16_t>(toIntegerIn(*this, mantissaOf(*this), INT16_MIN, INT16_MAX));
}

uint8_t Decimal::toUInt8() const
{
    return static_cast<uint8_t>(toIntegerIn(*this, mantissaOf(*this), 0, 255));
}

int64_t Decimal::toInt64() const
{
    return toIntegerIn(*this, mantissaOf(*this), INT64_MIN, INT64_MAX);
}

Decimal Decimal::round(int digits) const
{
    if (digits < 0)
        raise(errc::InvalidProcedureCall);
    if (digits >= m_scale)
        return *this;
    const u128 p = Pow10[m_scale - digits];
    const u128 m = mantissaOf(*this);
    u128 q = m / p;
    if (roundsUp((m % p) * 2, p, q & 1))
        ++q;
    Decimal d = make(q, digits, m_negative);
    return d;
}

Decimal Decimal::negated() const
{
    Decimal d = *this;
    d.m_negative = !d.m_negative;
    return d;
}

namespace {

// Magnitudes brought to the larger of the two scales; exact, as 10^28 * 2^96 < 2^190.
struct Aligned {
    Wide a, b;
    int scale;
};

Aligned align(u128 ma, int sa, u128 mb, int sb)
{
    Aligned r{Wide::of(ma), Wide::of(mb), std::max(sa, sb)};
    if (sa < sb)
        r.a.multiplyPow10(sb - sa);
    else if (sb < sa)
        r.b.multiplyPow10(sa - sb);
    return r;
}

Decimal addSigned(const Decimal &a, const Decimal &b, bool bNegative)
{
    const u128 ma = mantissaOf(a), mb = mantissaOf(b);
    if (a.scale() == b.scale()) {
        // Common case: no rescaling and no rounding unless the sum needs 97 bits.
        if (a.isNegative() == bNegative) {
            const u128 sum = ma + mb;
            if (sum < Limit96)
                return make(sum, a.scale(), bNegative);
        } else {
            const bool aBigger = ma >= mb;
            return make(aBigger ? ma - mb : mb - ma, a.scale(),
                        aBigger ? a.isNegative() : bNegative);
        }
    }
    Aligned al = align(ma, a.scale(), mb, b.scale());
    if (a.isNegative() == bNegative) {
        al.a.add(al.b);
        return rounded(al.a, al.scale, bNegative);
    }
    if (compare(al.a, al.b) >= 0) {
        al.a.subtract(al.b);
        return rounded(al.a, al.scale, a.isNegative());
    }
    al.b.subtract(al.a);
    return rounded(al.b, al.scale, bNegative);
}

} // namespace

Decimal operator+(const Decimal &a, const Decimal &b)
{
    return addSigned(a, b, b.isNegative());
}

Decimal operator-(const Decimal &a, const Decimal &b)
{
    return addSigned(a, b, !b.isNegative());
}

Decimal operator*(const Decimal &a, const Decimal &b)
{
    const u128 ma = mantissaOf(a), mb = mantissaOf(b);
    const bool negative = a.isNegative() != b.isNegative();
    const int scale = a.scale() + b.scale();
    if ((ma >> 64) == 0 && (mb >> 64) == 0) {
        const u128 p = ma * mb;
        if (p < Limit96 && scale <= Decimal::MaxScale)
            return make(p, scale, negative);
    }
    return rounded(Wide::product(ma, mb), scale, negative);
}

Decimal operator/(const Decimal &a, const Decimal &b)
{
    if (b.isZero())
        raise(errc::DivisionByZero);
    const u128 ma = mantissaOf(a), mb = mantissaOf(b);
    const bool negative = a.isNegative() != b.isNegative();
    // The quotient is developed one decimal digit at a time from the natural scale; below scale 0
    // every digit is required, above it digits are added only while the division is inexact
    // and the mantissa still fits.
    int scale = a.scale() - b.scale();
    const int minScale = std::max(scale, 0);
    u128 q = ma / mb;
    u128 r = ma % mb;
    while (scale < 0) {
        r *= 10; // r < 2^96, so no wrap
        const u128 next = q * 10 + r / mb;
        requireFits96(next);
        q = next;
        r %= mb;
        ++scale;
    }
    while (r != 0 && scale < Decimal::MaxScale) {
        const u128 next = q * 10 + (r * 10) / mb;
        if (next >= Limit96)
            break;
        q = next;
        r = (r * 10) % mb;
        ++scale;
    }
    if (r != 0 && roundsUp(r * 2, mb, q & 1)) {
        ++q;
        // Only reachable after digits were added, so dropping one more keeps scale >= minScale.
        if (q == Limit96)
            return rounded(Wide::of(q), scale, negative);
    }
    // Zeros developed past the natural scale carry no information.
    while (scale > minScale && q % 10 == 0) {
        q /= 10;
        --scale;
    }
    return make(q, scale, negative);
}

std::strong_ordering operator<=>(const Decimal &a, const Decimal &b)
{
    const int signA = a.isZero() ? 0 : (a.isNegative() ? -1 : 1);
    const int signB = b.isZero() ? 0 : (b.isNegative() ? -1 : 1);
    if (signA != signB || signA == 0)
        return signA <=> signB;
    const Aligned al = align(mantissaOf(a), a.scale(), mantissaOf(b), b.scale());
    const int c = compare(al.a, al.b) * signA;
    return c <=> 0;
}

bool Decimal::identicalTo(const Decimal &other) const
{
    return m_lo == other.m_lo && m_hi == other.m_hi && m_scale == other.m_scale &&
           m_negative == other.m_negative;
}

} // namespace tarvex
