#include "toolkit/PortText.h"

#include "core/VbError.h"

#include <string>

namespace tarvex {
namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

[[noreturn]] void rejectPort(std::string_view text)
{
    throw VbError(InvalidPortError, "Ungültiger Port \"" + std::string(text) +
                                        "\": erlaubt ist eine ganze Zahl von 1 bis 65535");
}

} // namespace

uint16_t portFromText(std::string_view text)
{
    std::string_view digits = text;
    while (!digits.empty() && isBlank(digits.front()))
        digits.remove_prefix(1);
    while (!digits.empty() && isBlank(digits.back()))
        digits.remove_suffix(1);
    if (digits.empty())
        rejectPort(text);
    uint32_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            rejectPort(text);
        value = value * 10 + static_cast<uint32_t>(c - '0');
        if (value > 65535)
            rejectPort(text);
    }
    if (value == 0)
        rejectPort(text);
    return static_cast<uint16_t>(value);
}

} // namespace tarvex
