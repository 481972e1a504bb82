#pragma once
// Conversions of tagged values: text that reads as a number, numbers as text, integer rounding
// and the comparison of two values. They follow the rules of the OLE Automation values the host
// exchanges with the plug-in and stores in its files, so that texts and numbers mean the same on
// both sides.

#include "core/Variant.h"

#include <optional>
#include <string>
#include <string_view>

namespace tarvex {

// The decimal separator of the C library's LC_NUMERIC locale.
char systemDecimalSeparator();

// Whether text reads as a number: after blanks are trimmed, an optional sign, digits with at most
// one decimal separator ('.' or the system's) and an optional exponent, no larger than a double
// holds. Every conversion of text gives the same verdict: a text beyond a double's range
// overflows (error 6) in all of them, one below its smallest value reads as 0 in all of them.
bool isNumericText(std::string_view text);

// Whether a value counts as numeric: numbers, booleans, Empty and numeric text; not Null,
// objects or arrays.
bool isNumeric(const Variant &value);

// Numeric conversions. Non-numeric text and other non-numeric kinds raise error 13, Null
// error 94; integer results round to nearest, ties to even, and raise error 6 when out of range.
Decimal toDecimal(const Variant &value);
double toDouble(const Variant &value);
int32_t toLong(const Variant &value);
int16_t toInteger(const Variant &value);
uint8_t toByte(const Variant &value);

// The text form: Empty is "", booleans "True"/"False", decimals and integers in plain digits,
// singles with 7 and doubles with 15 significant digits (exponent form for very large and small
// ones), with the system decimal separator. Null raises error 94, objects and arrays error 13.
std::string toText(const Variant &value);

enum class Comparison { Less, Equal, Greater, Null };

// Compares two values held in variants: numbers numerically (in decimals if either is a
// decimal, in singles if either is a single), texts by their characters, a number always less
// than a text, Empty as 0 against a number and as "" against a text, Null gives Null.
// Objects and arrays raise error 13.
Comparison compare(const Variant &left, const Variant &right);

} // namespace tarvex
