#include "core/Ansi.h"

#include <array>

namespace tarvex::ansi {
namespace {

// Code points of the bytes 0x80 to 0x9F; the rest of the page equals Latin-1.
constexpr std::array<char32_t, 32> HighControlRange = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr char32_t codePointOf(uint8_t byte)
{
    if (byte >= 0x80 && byte < 0xA0)
        return HighControlRange[byte - 0x80];
    return byte;
}

struct EncodedByte {
    char bytes[4]{};
    uint8_t length = 0;
};

// The UTF-8 form of every byte, built at compile time.
struct DecodeTable {
    std::array<EncodedByte, 256> entries{};
    constexpr DecodeTable()
    {
        for (int b = 0; b < 256; ++b) {
            char32_t cp = codePointOf(static_cast<uint8_t>(b));
            EncodedByte &e = entries[b];
            if (cp < 0x80) {
                e.bytes[0] = static_cast<char>(cp);
                e.length = 1;
            } else if (cp < 0x800) {
                e.bytes[0] = static_cast<char>(0xC0 | (cp >> 6));
                e.bytes[1] = static_cast<char>(0x80 | (cp & 0x3F));
                e.length = 2;
            } else {
                e.bytes[0] = static_cast<char>(0xE0 | (cp >> 12));
                e.bytes[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                e.bytes[2] = static_cast<char>(0x80 | (cp & 0x3F));
                e.length = 3;
            }
        }
    }
};

constexpr DecodeTable Utf8OfByte;

const DecodeTable &decodeTable()
{
    return Utf8OfByte;
}

int encodeCodePoint(char32_t cp)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<int>(cp);
    for (int i = 0; i < 32; ++i) {
        if (HighControlRange[i] == cp)
            return 0x80 + i;
    }
    return '?';
}

// The range the byte after a lead byte must fall in; the later ones are always 80..BF. These
// ranges exclude overlong forms, surrogates and code points above U+10FFFF.
struct LeadRule {
    size_t length;
    uint8_t secondLow, secondHigh;
};

LeadRule ruleOf(uint8_t lead)
{
    if (lead < 0x80)
        return {1, 0, 0};
    if (lead >= 0xC2 && lead <= 0xDF)
        return {2, 0x80, 0xBF};
    if (lead == 0xE0)
        return {3, 0xA0, 0xBF};
    if (lead == 0xED)
        return {3, 0x80, 0x9F};
    if (lead >= 0xE1 && lead <= 0xEF)
        return {3, 0x80, 0xBF};
    if (lead == 0xF0)
        return {4, 0x90, 0xBF};
    if (lead >= 0xF1 && lead <= 0xF3)
        return {4, 0x80, 0xBF};
    if (lead == 0xF4)
        return {4, 0x80, 0x8F};
    return {0, 0, 0};
}

// How many bytes at the start of `text` belong to a valid sequence, before the first byte that
// breaks it (at least 1).
size_t brokenPrefixLength(std::string_view text)
{
    LeadRule rule = ruleOf(static_cast<uint8_t>(text[0]));
    size_t k = 1;
    while (k < rule.length && k < text.size()) {
        auto b = static_cast<uint8_t>(text[k]);
        bool fits = k == 1 ? b >= rule.secondLow && b <= rule.secondHigh : (b & 0xC0) == 0x80;
        if (!fits)
            break;
        ++k;
    }
    return k;
}

// The length of the well-formed UTF-8 sequence at the start of `text` and its code point, or 0.
size_t sequenceAt(std::string_view text, char32_t &cp)
{
    auto lead = static_cast<uint8_t>(text[0]);
    LeadRule rule = ruleOf(lead);
    if (rule.length == 0 || rule.length > text.size() || brokenPrefixLength(text) < rule.length)
        return 0;
    cp = rule.length == 1 ? lead : lead & (0x7F >> rule.length);
    for (size_t k = 1; k < rule.length; ++k)
        cp = (cp << 6) | (static_cast<uint8_t>(text[k]) & 0x3F);
    return rule.length;
}

} // namespace

std::string_view charOf(uint8_t byte)
{
    const EncodedByte &e = decodeTable().entries[byte];
    return {e.bytes, e.length};
}

void appendDecoded(std::string &out, std::span<const uint8_t> bytes)
{
    for (uint8_t b : bytes) {
        if (b < 0x80)
            out.push_back(static_cast<char>(b));
        else
            out.append(charOf(b));
    }
}

std::string decode(std::span<const uint8_t> bytes)
{
    std::string out;
    out.reserve(bytes.size());
    appendDecoded(out, bytes);
    return out;
}

std::string encode(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        char32_t cp = 0;
        size_t length = sequenceAt(utf8.substr(i), cp);
        if (length == 0) {
            // The longest start of a sequence that could still have been valid is one '?'.
            out.push_back('?');
            i += brokenPrefixLength(utf8.substr(i));
            continue;
        }
        out.push_back(static_cast<char>(encodeCodePoint(cp)));
        i += length;
    }
    return out;
}

} // namespace tarvex::ansi
