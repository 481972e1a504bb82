#include "osc/OSCReader.h"

#include "core/Ansi.h"
#include "core/VbError.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace tarvex::osc {
namespace {

// Read positions are 16-bit signed: they never pass this index, which also bounds how deep
// bundles can nest.
constexpr int32_t MaxPosition = 32767;

// A string's bytes, and whether they are all ASCII (which need no code page conversion).
// Kept as a pointer and a 32-bit size: copies of it then never read back two separate stores
// as one wider load, which stalls.
struct Text {
    const char *data = nullptr;
    int32_t size = 0;
    bool ascii = true;
    std::string_view bytes() const { return {data, static_cast<size_t>(size)}; }
};

constexpr uint32_t HighBits = 0x80808080u;

// The index of the first zero byte of data[from, size), or size; ascii tells whether the bytes
// before it are all ASCII. OSC strings are short and padded to four bytes, so a word at a time
// beats a call to memchr and a second pass for the check.
int32_t findZero(const uint8_t *data, int32_t from, int32_t size, bool &ascii)
{
    int32_t i = from;
    uint32_t high = 0;
    if constexpr (std::endian::native == std::endian::little) {
        for (; size - i >= 4; i += 4) {
            uint32_t word;
            std::memcpy(&word, data + i, 4);
            // Sets the high bit of the lowest zero byte (bits above it may be set falsely).
            uint32_t zeros = (word - 0x01010101u) & ~word & HighBits;
            if (zeros) {
                const int bytes = std::countr_zero(zeros) / 8;
                high |= word & ((uint32_t{1} << (8 * bytes)) - 1);
                ascii = (high & HighBits) == 0;
                return i + bytes;
            }
            high |= word;
        }
    }
    for (; i < size && data[i] != 0; ++i)
        high |= data[i];
    ascii = (high & HighBits) == 0;
    return i;
}

// One checked cursor over the datagram; every read goes through it.
class Cursor {
public:
    // `irregular` is set when a read is lenient: a value or padding cut short by the end, a
    // string without its zero, type tags not where they belong.
    Cursor(std::span<const uint8_t> bytes, bool &irregular)
        : m_data(bytes.data()), m_size(static_cast<int32_t>(bytes.size())), m_irregular(irregular)
    {}

    int32_t position() const { return m_pos; }
    int32_t lastIndex() const { return m_size - 1; }
    int32_t size() const { return m_size; }
    void markIrregular() { m_irregular = true; }
    // The offset of a text read from this datagram.
    uint16_t offsetOf(std::string_view text) const
    {
        return static_cast<uint16_t>(reinterpret_cast<const uint8_t *>(text.data()) - m_data);
    }

    // Bytes up to the first zero; the padding after it, up to the next multiple of four, is
    // skipped unchecked. A string cut short by the end leaves the position at the end.
    Text readString()
    {
        Text text;
        if (!tryReadString(text))
            raise(errc::Overflow);
        return text;
    }

    // The type-tag string after its comma. Reading it never abandons the datagram: when it
    // would move the position past index 32767 it gives the empty text, which is the "Empty"
    // form, and the position stops at that last index.
    std::string_view readTypeTags()
    {
        Text tags;
        if (!tryReadString(tags)) {
            m_pos = MaxPosition;
            m_irregular = true;
        }
        return tags.bytes();
    }

    // Four bytes, most significant first. At or after the end it yields 0 without moving; fewer
    // than four bytes (the end, or an unaligned position) abandon the datagram.
    uint32_t readWord()
    {
        if (m_pos >= m_size) {
            m_irregular = true;
            return 0;
        }
        if (m_pos % 4 != 0 || m_size - m_pos < 4)
            throw VbError(errc::InputPastEndOfFile, "Datagram ends inside a four-byte value");
        uint32_t word;
        std::memcpy(&word, m_data + m_pos, 4);
        moveTo(m_pos + 4);
        return std::endian::native == std::endian::little ? __builtin_bswap32(word) : word;
    }

    // An OSC blob: a size, then that many bytes padded to a multiple of four.
    void skipBlob()
    {
        auto size = static_cast<int32_t>(readWord());
        if (size < 0 || size > m_size - m_pos)
            throw VbError(errc::InputPastEndOfFile, "Blob runs past the end of the datagram");
        int64_t padded = (int64_t{size} + 3) / 4 * 4;
        moveTo(static_cast<int32_t>(std::min<int64_t>(m_pos + padded, m_size)));
    }

    // Looks for the comma of the type-tag string at the position and after it, never at the
    // last byte. Success moves past the comma; failure leaves the position at the last index.
    bool findTypeTags()
    {
        int32_t limit = std::min(m_size - 2, MaxPosition - 1);
        if (m_pos <= limit && m_data[m_pos] == ',') { // where a well-formed message has it
            ++m_pos;
            return true;
        }
        m_irregular = true;
        if (m_pos <= limit) {
            const void *comma =
                std::memchr(m_data + m_pos, ',', static_cast<size_t>(limit - m_pos + 1));
            if (comma) {
                m_pos = static_cast<int32_t>(static_cast<const uint8_t *>(comma) - m_data) + 1;
                return true;
            }
        }
        m_pos = std::max(m_pos, std::min(m_size - 1, MaxPosition));
        return false;
    }

private:
    // A string read that reports a position past the limit instead of raising; the position
    // is left as it was then.
    bool tryReadString(Text &text)
    {
        int32_t start = std::min(m_pos, m_size);
        int32_t end = m_size, next = m_size;
        bool ascii = true;
        bool cut = true; // the zero or the padding after it is missing
        if (start < m_size) {
            int32_t zero = findZero(m_data, start, m_size, ascii);
            if (zero < m_size) {
                end = zero;
                const int32_t padded = (end / 4 + 1) * 4;
                cut = padded > m_size;
                next = cut ? m_size : padded;
            }
        } else {
            end = start;
        }
        if (next > MaxPosition)
            return false;
        if (cut)
            m_irregular = true;
        m_pos = next;
        text.data = reinterpret_cast<const char *>(m_data) + start;
        text.size = end - start;
        text.ascii = ascii;
        return true;
    }

    void moveTo(int32_t position)
    {
        if (position > MaxPosition)
            raise(errc::Overflow);
        m_pos = position;
    }

    const uint8_t *m_data;
    int32_t m_size;
    int32_t m_pos = 0;
    bool &m_irregular;
};

std::span<const uint8_t> bytesOf(std::string_view text)
{
    return {reinterpret_cast<const uint8_t *>(text.data()), text.size()};
}

void assignText(std::string &out, const Text &text)
{
    if (text.ascii) {
        // A stream repeats its addresses: an equal text is left as it is.
        if (out != text.bytes())
            out.assign(text.bytes());
    } else {
        out.clear();
        ansi::appendDecoded(out, bytesOf(text.bytes()));
    }
}

void assignText(Variant &out, const Text &text)
{
    if (text.ascii)
        out.assignText(text.bytes());
    else
        out.assignText(ansi::decode(bytesOf(text.bytes())));
}

bool isBundleTag(const Text &text)
{
    return text.bytes() == "#bundle";
}

// The first byte tells most addresses from "#bundle" and from garbage.
bool isOscAddress(const Text &text)
{
    return text.size > 0 && text.data[0] == '/';
}

// Tags OSC defines without data: they give no value and are regular.
bool isTagWithoutData(char tag)
{
    return tag == 'T' || tag == 'F' || tag == 'N' || tag == 'I' || tag == '[' || tag == ']';
}

// A float argument, checked here so that a float no decimal can hold abandons the datagram;
// its decimal is made when its slot is first read.
float floatFromWord(uint32_t word)
{
    const auto value = std::bit_cast<float>(word);
    if (!Decimal::holdsFloat(value))
        raise(errc::Overflow);
    return value;
}

} // namespace

// Decodes one datagram into an OSCMessages, element by element.
class PacketDecoder {
public:
    PacketDecoder(std::span<const uint8_t> bytes, OSCMessages &out)
        : m_cursor(bytes, out.m_irregular), m_out(out)
    {}

    void decodeTopLevel()
    {
        Text address = m_cursor.readString();
        if (!isOscAddress(address)) {
            if (isBundleTag(address)) {
                m_out.m_top = readBundle();
                // A last byte the bundle's loop leaves is trailing.
                if (m_cursor.position() < m_cursor.size())
                    m_cursor.markIrregular();
                return;
            }
            m_cursor.markIrregular();
        }
        m_out.m_lists.push_back({false, readMessage(address)});
        m_out.m_top = {0, 1};
        if (m_cursor.position() != m_cursor.size())
            m_cursor.markIrregular(); // trailing bytes
    }

private:
    // Appends the element at the position to the pending list of the bundle being read; true
    // when it is a message.
    bool readElement()
    {
        Text address = m_cursor.readString();
        if (!isOscAddress(address)) {
            if (isBundleTag(address)) {
                OSCMessages::Range list = readBundle();
                m_out.m_pending.push_back({true, static_cast<uint32_t>(m_out.m_bundles.size())});
                m_out.m_bundles.push_back(list);
                return false;
            }
            m_cursor.markIrregular();
        }
        m_out.m_pending.push_back({false, readMessage(address)});
        return true;
    }

    // Reads a bundle's time tag (unused) and its elements; the element sizes do not delimit the
    // elements: each starts where the previous one's decoding stopped.
    OSCMessages::Range readBundle()
    {
        m_cursor.readWord();
        m_cursor.readWord();
        size_t first = m_out.m_pending.size();
        while (m_cursor.position() < m_cursor.lastIndex()) {
            const auto size = static_cast<int64_t>(m_cursor.readWord());
            const int32_t start = m_cursor.position();
            if (readElement() ? m_cursor.position() - start != size
                              : size > m_cursor.size() - start)
                m_cursor.markIrregular(); // the element is not the size it says
        }
        auto begin = m_out.m_pending.begin() + static_cast<ptrdiff_t>(first);
        OSCMessages::Range list{static_cast<uint32_t>(m_out.m_lists.size()),
                                static_cast<uint32_t>(m_out.m_pending.size() - first)};
        m_out.m_lists.insert(m_out.m_lists.end(), begin, m_out.m_pending.end());
        m_out.m_pending.erase(begin, m_out.m_pending.end());
        return list;
    }

    uint32_t readMessage(const Text &address)
    {
        if (m_out.m_messageCount == m_out.m_messages.size())
            m_out.m_messages.emplace_back();
        auto index = static_cast<uint32_t>(m_out.m_messageCount++);
        OSCMessage &message = m_out.m_messages[index];
        assignText(message.m_address, address);
        OSCMessage::Extent &extent = message.m_extent;
        extent.addressAt = m_cursor.offsetOf(address.bytes());
        extent.addressSize = static_cast<uint16_t>(address.size);

        std::string_view tags;
        if (m_cursor.findTypeTags())
            tags = m_cursor.readTypeTags();
        extent.argumentsAt = static_cast<uint16_t>(m_cursor.position());
        if (tags.empty()) {
            setEmptyForm(message);
            extent.argumentsEnd = extent.argumentsAt;
            return index;
        }
        // The same tags as the message this storage held last lay the slots out the same way.
        // Until the layout is made the storage reads as the "Empty" form, so tags that were
        // refused are looked at again next time.
        if (message.m_emptyTags || message.m_tags != tags) {
            message.m_emptyTags = true;
            message.m_tags.assign(tags);
            prepareSlots(message);
            message.m_emptyTags = false;
        }
        message.m_floatsPending = !message.m_floats.empty();
        readArguments(message);
        extent.argumentsEnd = static_cast<uint16_t>(m_cursor.position());
        return index;
    }

    static void setEmptyForm(OSCMessage &message)
    {
        message.m_emptyTags = true;
        message.m_floatsPending = false;
        message.m_tags.clear();
        message.m_values.resize(1);
        message.m_values[0] = Variant::integer(0);
        message.m_slotStart[0] = 0;
        message.m_slotSize[0] = 1;
        message.m_slotCount = 1;
    }

    // Numbers the kinds by their first tag and lays their value lists out one after another.
    void prepareSlots(OSCMessage &message)
    {
        const std::string &tags = message.m_tags;
        uint32_t ints = 0, floats = 0, texts = 0;
        for (char tag : tags) {
            ints += tag == 'i';
            floats += tag == 'f';
            texts += tag == 's';
        }
        if (std::max({ints, floats, texts}) > OSCMessage::MaxValuesPerKind)
            raise(errc::SubscriptOutOfRange);
        const std::array<uint32_t, 3> count{ints, floats, texts};
        std::array<int8_t, 3> &slotOfKind = message.m_slotOfKind;
        slotOfKind = {-1, -1, -1};
        const uint8_t slots = (ints > 0) + (floats > 0) + (texts > 0);
        // Slots in order of each kind's first tag: the scan stops once every kind is placed.
        uint8_t placed = 0;
        for (size_t i = 0; placed < slots; ++i) {
            const int kind = tags[i] == 'i' ? 0 : tags[i] == 'f' ? 1 : tags[i] == 's' ? 2 : -1;
            if (kind < 0 || slotOfKind[kind] >= 0)
                continue;
            slotOfKind[kind] = static_cast<int8_t>(placed);
            message.m_slotSize[placed++] = static_cast<uint16_t>(count[kind]);
        }
        uint16_t start = 0;
        for (uint8_t slot = 0; slot < slots; ++slot) {
            message.m_slotStart[slot] = start;
            start = static_cast<uint16_t>(start + message.m_slotSize[slot]);
        }
        message.m_slotCount = slots;
        message.m_values.resize(start);
        message.m_floats.resize(floats);
        message.m_floatSlot = static_cast<uint8_t>(std::max<int8_t>(slotOfKind[1], 0));
    }

    void readArguments(OSCMessage &message)
    {
        Variant *values = message.m_values.data();
        // Kinds without tags keep a pointer that is never used.
        const std::array<int8_t, 3> &slotOfKind = message.m_slotOfKind;
        auto firstOf = [&](int kind) {
            return slotOfKind[kind] < 0 ? values : values + message.m_slotStart[slotOfKind[kind]];
        };
        Variant *nextInt = firstOf(0);
        float *nextFloat = message.m_floats.data();
        Variant *nextText = firstOf(2);
        for (char tag : message.m_tags) {
            switch (tag) {
            case 'i': (nextInt++)->assignLong(static_cast<int32_t>(m_cursor.readWord())); break;
            case 'f': *nextFloat++ = floatFromWord(m_cursor.readWord()); break;
            case 's': assignText(*nextText++, m_cursor.readString()); break;
            default: skipUnreadData(tag); break;
            }
        }
    }

    // Tags that carry data in OSC but give no value here still consume their bytes; they, and
    // tags OSC does not define, make the datagram irregular.
    void skipUnreadData(char tag)
    {
        if (!isTagWithoutData(tag))
            m_cursor.markIrregular();
        switch (tag) {
        case 'b': m_cursor.skipBlob(); break;
        case 'h':
        case 't':
        case 'd':
            m_cursor.readWord();
            m_cursor.readWord();
            break;
        case 'c':
        case 'r':
        case 'm': m_cursor.readWord(); break;
        case 'S': m_cursor.readString(); break;
        default: break;
        }
    }

    Cursor m_cursor;
    OSCMessages &m_out;
};

void OSCReader::readPacket(std::span<const uint8_t> datagram, OSCMessages &out)
{
    out.clear();
    try {
        PacketDecoder(datagram, out).decodeTopLevel();
    } catch (...) {
        out.clear();
        throw;
    }
}

std::string_view OSCMessage::tag(size_t index) const
{
    if (m_emptyTags)
        return "Empty";
    return ansi::charOf(static_cast<uint8_t>(m_tags[index]));
}

void OSCMessage::makeFloatDecimals() const
{
    Variant *values = m_values.data() + m_slotStart[m_floatSlot];
    for (size_t i = 0; i < m_floats.size(); ++i)
        values[i].assignDecimal(Decimal::fromFloat(m_floats[i]));
    m_floatsPending = false;
}

void OSCMessages::clear()
{
    m_messageCount = 0;
    m_lists.clear();
    m_bundles.clear();
    m_pending.clear();
    m_top = {0, 0};
    m_irregular = false;
}

} // namespace tarvex::osc
