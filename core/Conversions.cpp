#include "core/Conversions.h"

#include "core/VbError.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <langinfo.h>
#include <limits>

namespace tarvex {
namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// std::from_chars reads neither blanks nor a leading '+' nor another separator than '.'.
std::string normalised(std::string_view trimmedText)
{
    std::string normal;
    const char separator = systemDecimalSeparator();
    for (char c : trimmedText) {
        if (c == separator)
            normal.push_back('.');
        else if (c != '+' || !normal.empty())
            normal.push_back(c);
    }
    return normal;
}

// What a text is as a number: not one at all, one beyond the range of a double, or one that a
// double holds (values too small for a double read as 0). Every conversion of text asks this
// first, so that all of them give the same verdict on the same text.
enum class TextNumber { None, TooLarge, Fits };

// The largest decimal exponent of a leading digit that a double can hold (1.79e308).
constexpr int64_t LargestDoubleExponent = 308;

// Checks the grammar without building anything: after blanks are trimmed, an optional sign,
// digits with at most one decimal separator ('.' or the system's), an optional exponent. Also
// finds the decimal exponent of the first significant digit, which decides the range.
TextNumber scanNumber(std::string_view text)
{
    text = trimmed(text);
    const char separator = systemDecimalSeparator();
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    size_t digits = 0;
    bool point = false, significant = false;
    int64_t lead = 0; // the exponent of the first significant digit, before the exponent part
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (isDigit(c)) {
            ++digits;
            if (!significant && c != '0') {
                significant = true;
                lead = point ? lead - 1 : 0;
            } else if (!significant && point) {
                --lead;
            } else if (significant && !point) {
                ++lead;
            }
        } else if ((c == '.' || c == separator) && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0)
        return TextNumber::None;
    int64_t exponent = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negative = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            negative = text[i++] == '-';
        size_t exponentDigits = 0;
        for (; i < text.size() && isDigit(text[i]); ++i, ++exponentDigits)
            exponent = std::min<int64_t>(exponent * 10 + (text[i] - '0'), 1000000000);
        if (exponentDigits == 0)
            return TextNumber::None;
        exponent = negative ? -exponent : exponent;
    }
    if (i != text.size())
        return TextNumber::None;
    if (!significant || lead + exponent < LargestDoubleExponent)
        return TextNumber::Fits;
    if (lead + exponent > LargestDoubleExponent)
        return TextNumber::TooLarge;
    double ignored = 0;
    std::string normal = normalised(text);
    auto [end, ec] = std::from_chars(normal.data(), normal.data() + normal.size(), ignored);
    return ec == std::errc::result_out_of_range ? TextNumber::TooLarge : TextNumber::Fits;
}

// The value of a text whose verdict is Fits.
double readDouble(std::string_view text)
{
    std::string normal = normalised(trimmed(text));
    double value = 0;
    auto [end, ec] = std::from_chars(normal.data(), normal.data() + normal.size(), value);
    if (ec == std::errc::result_out_of_range)
        return 0; // below the smallest double
    if (ec != std::errc() || end != normal.data() + normal.size())
        raise(errc::TypeMismatch);
    return value;
}

void raiseUnlessFits(TextNumber verdict)
{
    if (verdict == TextNumber::None)
        raise(errc::TypeMismatch);
    if (verdict == TextNumber::TooLarge)
        raise(errc::Overflow);
}

Decimal textToDecimal(const std::string &text)
{
    raiseUnlessFits(scanNumber(text));
    std::optional<Decimal> value = Decimal::parse(text, systemDecimalSeparator());
    if (!value)
        raise(errc::TypeMismatch);
    return *value;
}

// Rounds to nearest, ties to even, and checks the range of the integer type.
template <typename Int> Int roundedDouble(double value)
{
    double r = std::nearbyint(value); // the default rounding mode is to nearest, ties to even
    if (!(r >= static_cast<double>(std::numeric_limits<Int>::min()) &&
          r <= static_cast<double>(std::numeric_limits<Int>::max())))
        raise(errc::Overflow);
    return static_cast<Int>(r);
}

template <typename Int> Int checkedInt(int64_t value)
{
    if (value < std::numeric_limits<Int>::min() || value > std::numeric_limits<Int>::max())
        raise(errc::Overflow);
    return static_cast<Int>(value);
}

// The integer conversions share one rule; the decimal path keeps exact ties.
template <typename Int> Int toInt(const Variant &value)
{
    switch (value.type()) {
    case VarType::Empty: return 0;
    case VarType::Null: raise(errc::InvalidUseOfNull);
    case VarType::Integer: return checkedInt<Int>(value.asInteger());
    case VarType::Long: return checkedInt<Int>(value.asLong());
    case VarType::Byte: return checkedInt<Int>(value.asByte());
    case VarType::Boolean: return checkedInt<Int>(value.asBoolean() ? -1 : 0);
    case VarType::Single: return roundedDouble<Int>(value.asSingle());
    case VarType::Double: return roundedDouble<Int>(value.asDouble());
    case VarType::Decimal: return checkedInt<Int>(value.asDecimal().toInt64());
    case VarType::String: return checkedInt<Int>(textToDecimal(value.asString()).toInt64());
    default: raise(errc::TypeMismatch);
    }
}

std::string formatFloating(double value, int significantDigits)
{
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    if (value == 0)
        return "0";
    char buffer[64];
    // %G with 7 or 15 significant digits gives the host's text forms: "0.3333333", "1.234568E+07",
    // "1E-10".
    std::snprintf(buffer, sizeof buffer, "%.*G", significantDigits, value);
    return buffer;
}

Comparison fromOrdering(std::partial_ordering order)
{
    if (order == std::partial_ordering::less)
        return Comparison::Less;
    if (order == std::partial_ordering::greater)
        return Comparison::Greater;
    if (order == std::partial_ordering::equivalent)
        return Comparison::Equal;
    return Comparison::Null; // NaN
}

Comparison compareNumbers(const Variant &left, const Variant &right)
{
    if (left.type() == VarType::Decimal || right.type() == VarType::Decimal)
        return fromOrdering(toDecimal(left) <=> toDecimal(right));
    if (left.type() == VarType::Single || right.type() == VarType::Single) {
        auto l = static_cast<float>(toDouble(left));
        auto r = static_cast<float>(toDouble(right));
        return fromOrdering(l <=> r);
    }
    return fromOrdering(toDouble(left) <=> toDouble(right));
}

Comparison compareTexts(std::string_view left, std::string_view right)
{
    int c = left.compare(right);
    return c < 0 ? Comparison::Less : c > 0 ? Comparison::Greater : Comparison::Equal;
}

} // namespace

char systemDecimalSeparator()
{
    // nl_langinfo reads the current LC_NUMERIC without localeconv's copying of every field.
    const char *point = nl_langinfo(RADIXCHAR);
    return point && point[0] ? point[0] : '.';
}

bool isNumericText(std::string_view text)
{
    return scanNumber(text) == TextNumber::Fits;
}

bool isNumeric(const Variant &value)
{
    if (value.isEmpty() || value.isNumberType())
        return true;
    if (value.isString())
        return isNumericText(value.asString());
    return false;
}

Decimal toDecimal(const Variant &value)
{
    switch (value.type()) {
    case VarType::Empty: return Decimal();
    case VarType::Null: raise(errc::InvalidUseOfNull);
    case VarType::Integer: return Decimal(value.asInteger());
    case VarType::Long: return Decimal(value.asLong());
    case VarType::Byte: return Decimal(value.asByte());
    case VarType::Boolean: return Decimal(value.asBoolean() ? -1 : 0);
    case VarType::Single: return Decimal::fromFloat(value.asSingle());
    case VarType::Double: return Decimal::fromDouble(value.asDouble());
    case VarType::Decimal: return value.asDecimal();
    case VarType::String: return textToDecimal(value.asString());
    default: raise(errc::TypeMismatch);
    }
}

double toDouble(const Variant &value)
{
    switch (value.type()) {
    case VarType::Empty: return 0;
    case VarType::Null: raise(errc::InvalidUseOfNull);
    case VarType::Integer: return value.asInteger();
    case VarType::Long: return value.asLong();
    case VarType::Byte: return value.asByte();
    case VarType::Boolean: return value.asBoolean() ? -1 : 0;
    case VarType::Single: return value.asSingle();
    case VarType::Double: return value.asDouble();
    case VarType::Decimal: return value.asDecimal().toDouble();
    case VarType::String:
        raiseUnlessFits(scanNumber(value.asString()));
        return readDouble(value.asString());
    default: raise(errc::TypeMismatch);
    }
}

int32_t toLong(const Variant &value)
{
    return toInt<int32_t>(value);
}
int16_t toInteger(const Variant &value)
{
    return toInt<int16_t>(value);
}
uint8_t toByte(const Variant &value)
{
    return toInt<uint8_t>(value);
}

std::string toText(const Variant &value)
{
    switch (value.type()) {
    case VarType::Empty: return {};
    case VarType::Null: raise(errc::InvalidUseOfNull);
    case VarType::Integer: return std::to_string(value.asInteger());
    case VarType::Long: return std::to_string(value.asLong());
    case VarType::Byte: return std::to_string(value.asByte());
    case VarType::Boolean: return value.asBoolean() ? "True" : "False";
    case VarType::Single: return formatFloating(value.asSingle(), 7);
    case VarType::Double: return formatFloating(value.asDouble(), 15);
    case VarType::Decimal: return value.asDecimal().toString(systemDecimalSeparator());
    case VarType::String: return value.asString();
    default: raise(errc::TypeMismatch);
    }
}

Comparison compare(const Variant &left, const Variant &right)
{
    if (left.isNull() || right.isNull())
        return Comparison::Null;
    if (left.isArray() || right.isArray() || left.isObject() || right.isObject())
        raise(errc::TypeMismatch);
    bool leftText = left.isString(), rightText = right.isString();
    if (leftText && rightText)
        return compareTexts(left.asString(), right.asString());
    if (leftText || rightText) {
        // Empty stands for "" against a text; any number is less than any text.
        if (left.isEmpty())
            return compareTexts("", right.asString());
        if (right.isEmpty())
            return compareTexts(left.asString(), "");
        return leftText ? Comparison::Greater : Comparison::Less;
    }
    return compareNumbers(left, right);
}

} // namespace tarvex
