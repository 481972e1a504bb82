#pragma once
// Readable test failure messages for tagged values.

#include "core/Conversions.h"
#include "core/VarArray.h"

#include <ostream>

namespace tarvex {

inline void PrintTo(const Variant &value, std::ostream *os)
{
    *os << "<0x" << std::hex << value.typeWord() << std::dec << ' ';
    if (value.isArray()) {
        *os << '[';
        const char *separator = "";
        for (const Variant &element : value.array().elements()) {
            *os << separator;
            PrintTo(element, os);
            separator = ", ";
        }
        *os << ']';
    } else if (value.isNull()) {
        *os << "Null";
    } else if (value.isObject()) {
        *os << "object";
    } else {
        *os << '"' << toText(value) << '"';
    }
    *os << '>';
}

} // namespace tarvex
