// Fuzzes OSCReader::readPacket with arbitrary datagrams.
//
// A VbError is how a datagram is dropped, so it is expected, but it must leave the output empty.
// Any other exception, a sanitizer report or a broken invariant below is a fault:
//   - every message is reachable exactly once by walking the element lists, nested bundles
//     included, and there are no more elements than the datagram has four-byte words;
//   - a message's slots follow its "i", "f" and "s" tags: one slot per kind in order of first
//     appearance, lying back to back, each holding that kind's values (Long, Decimal, String),
//     at most 51 of them; the "Empty" form is one slot holding the 16-bit integer 0;
//   - addresses and strings are UTF-8 without zero bytes; decimals have a valid scale;
//   - decoding again into the same object gives the same result, and an object that last held a
//     different datagram gives the same result as a fresh one.

#include "core/VbError.h"
#include "osc/OSCReader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>

using tarvex::Decimal;
using tarvex::Variant;
using tarvex::VarType;
using tarvex::osc::OSCMessage;
using tarvex::osc::OSCMessages;
using tarvex::osc::OSCReader;

namespace {

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "readPacket invariant broken: %s\n", what);
    std::abort();
}

void check(bool condition, const char *what)
{
    if (!condition)
        fail(what);
}

bool isUtf8(std::string_view text)
{
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80           ? 1
                              : (lead >> 5) == 0x6  ? 2
                              : (lead >> 4) == 0xE  ? 3
                              : (lead >> 3) == 0x1E ? 4
                                                    : 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) >> 6) != 0x2)
                return false;
        }
        i += length;
    }
    return true;
}

void checkText(std::string_view text)
{
    check(text.find('\0') == std::string_view::npos, "text holds a zero byte");
    check(isUtf8(text), "text is not UTF-8");
}

VarType typeOfKind(char tag)
{
    switch (tag) {
    case 'i': return VarType::Long;
    case 'f': return VarType::Decimal;
    default: return VarType::String;
    }
}

void checkMessage(const OSCMessage &message)
{
    checkText(message.address());

    if (message.hasEmptyTags()) {
        check(message.tagCount() == 1 && message.tag(0) == "Empty", "Empty form has other tags");
        check(message.slotCount() == 1, "Empty form has other than one slot");
        std::span<const Variant> slot = message.slot(0);
        check(slot.size() == 1 && slot[0].type() == VarType::Integer && slot[0].asInteger() == 0,
              "Empty form's slot is not the integer 0");
        return;
    }

    // The slots the tags call for: kinds in order of first appearance, with their counts.
    char kinds[3];
    size_t counts[3] = {};
    size_t slots = 0;
    for (size_t t = 0; t < message.tagCount(); ++t) {
        std::string_view tag = message.tag(t);
        check(!tag.empty(), "empty tag entry");
        if (tag != "i" && tag != "f" && tag != "s")
            continue;
        size_t slot = 0;
        while (slot < slots && kinds[slot] != tag[0])
            ++slot;
        if (slot == slots)
            kinds[slots++] = tag[0];
        ++counts[slot];
    }

    check(message.slotCount() == slots, "slot count differs from the kinds in the tags");
    const Variant *next = nullptr;
    for (size_t s = 0; s < slots; ++s) {
        std::span<const Variant> values = message.slot(s);
        check(values.size() == counts[s], "slot size differs from its kind's tag count");
        check(values.size() <= OSCMessage::MaxValuesPerKind, "more than 51 values in a slot");
        check(next == nullptr || values.data() == next, "slots do not lie back to back");
        next = values.data() + values.size();
        for (const Variant &value : values) {
            check(value.type() == typeOfKind(kinds[s]), "value of the wrong type for its slot");
            if (value.type() == VarType::Decimal)
                check(value.asDecimal().scale() <= Decimal::MaxScale, "decimal scale past 28");
            else if (value.isString())
                checkText(value.asString());
        }
    }
}

// Walks a list, checking each message once; returns the number of elements seen.
size_t walk(OSCMessages::List list, std::unordered_set<const OSCMessage *> &seen, size_t depth,
            size_t maxElements)
{
    check(depth <= maxElements, "bundles nest deeper than the datagram allows");
    size_t elements = 0;
    for (OSCMessages::Element element : list) {
        ++elements;
        if (element.isMessage()) {
            check(seen.insert(&element.message()).second, "a message is reachable twice");
            checkMessage(element.message());
        } else {
            elements += walk(element.bundle(), seen, depth + 1, maxElements);
        }
        check(elements <= maxElements, "more elements than the datagram has words");
    }
    return elements;
}

void appendValue(std::string &out, const Variant &value)
{
    out += std::to_string(value.typeWord());
    out += ':';
    switch (value.type()) {
    case VarType::Integer: out += std::to_string(value.asInteger()); break;
    case VarType::Long: out += std::to_string(value.asLong()); break;
    case VarType::Decimal: {
        const Decimal &d = value.asDecimal();
        out += std::to_string(d.isNegative()) + '/' + std::to_string(d.scale()) + '/' +
               std::to_string(d.hi()) + '/' + std::to_string(d.mid()) + '/' +
               std::to_string(d.lo());
        break;
    }
    case VarType::String: out += value.asString(); break;
    default: out += '?'; break;
    }
    out += '\x1f';
}

// Everything a caller can observe, as text, for comparing two decodings.
void describe(std::string &out, OSCMessages::List list)
{
    out += '[';
    for (OSCMessages::Element element : list) {
        if (!element.isMessage()) {
            describe(out, element.bundle());
            continue;
        }
        const OSCMessage &message = element.message();
        out += message.address();
        out += '\x1e';
        for (size_t t = 0; t < message.tagCount(); ++t)
            out += message.tag(t);
        out += '\x1e';
        for (size_t s = 0; s < message.slotCount(); ++s) {
            for (const Variant &value : message.slot(s))
                appendValue(out, value);
            out += '\x1d';
        }
    }
    out += ']';
}

// Decodes into out; returns the description, or "dropped" for a VbError.
std::string decode(std::span<const uint8_t> bytes, OSCMessages &out)
{
    try {
        OSCReader::readPacket(bytes, out);
    } catch (const tarvex::VbError &) {
        check(out.empty(), "a dropped datagram left messages behind");
        return "dropped";
    }
    std::string text;
    describe(text, out.elements());
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::span<const uint8_t> bytes(data, size);

    // Holds the previous input's decoding, as the program's receiver object would.
    static OSCMessages reused;
    const std::string afterOther = decode(bytes, reused);
    OSCMessages fresh;
    const std::string first = decode(bytes, fresh);
    check(afterOther == first, "decoding depends on what the object held before");

    if (first != "dropped") {
        std::unordered_set<const OSCMessage *> seen;
        const size_t maxElements = size / 4 + 1;
        walk(fresh.elements(), seen, 0, maxElements);
    }

    check(decode(bytes, fresh) == first, "decoding the same bytes twice differs");
    return 0;
}
