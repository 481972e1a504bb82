#include "host/EventJson.h"

#include "core/Conversions.h"
#include "core/VbError.h"

#include <cstdio>

namespace tarvex::host {
namespace {

// The length of the well-formed UTF-8 sequence at the start of text, or 0.
size_t utf8SequenceLength(std::string_view text)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    }
    return length;
}

void appendEscaped(std::string &out, unsigned char c)
{
    switch (c) {
    case '"': out += "\\\""; return;
    case '\\': out += "\\\\"; return;
    case '\n': out += "\\n"; return;
    case '\r': out += "\\r"; return;
    case '\t': out += "\\t"; return;
    default: break;
    }
    if (c < 0x20 || c == 0x7F) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
        out += escaped;
    } else {
        out += static_cast<char>(c);
    }
}

std::string textOf(const Variant &value)
{
    try {
        return toText(value);
    } catch (const VbError &) {
        return "";
    }
}

} // namespace

std::string jsonString(std::string_view text)
{
    std::string out = "\"";
    out.reserve(text.size() + 2);
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            appendEscaped(out, c);
            ++i;
        } else if (size_t n = utf8SequenceLength(text.substr(i))) {
            out.append(text.substr(i, n));
            i += n;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out + "\"";
}

std::string executeEventJson(const TargetValues &target, int32_t value, int32_t min, int32_t max)
{
    std::string line = "{\"event\":\"execute\",\"target\":[";
    line += jsonString(textOf(target.t0)) + "," + jsonString(textOf(target.t1)) + "," +
            jsonString(textOf(target.t2)) + "," + std::to_string(target.t3) + "," +
            std::to_string(target.t4) + "],\"value\":" + std::to_string(value) +
            ",\"min\":" + std::to_string(min) + ",\"max\":" + std::to_string(max) + "}";
    return line;
}

std::string userInteractionEventJson()
{
    return "{\"event\":\"userInteraction\"}";
}

} // namespace tarvex::host
