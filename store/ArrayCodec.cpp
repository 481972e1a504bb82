#include "store/ArrayCodec.h"

#include "core/Ansi.h"
#include "core/VbError.h"
#include "store/ArrayFile.h"

#include <algorithm>
#include <bit>
#include <limits>

namespace tarvex::arraycodec {
namespace {

constexpr int32_t OutOfStackSpace = 28;
constexpr uint8_t DecimalNegative = 0x80;

[[noreturn]] void refuseTooManyDimensions()
{
    throw VbError(TooManyDimensionsError, std::string(TooManyDimensionsText));
}

void checkNesting(int depth)
{
    if (depth > MaxNesting)
        throw VbError(OutOfStackSpace, "Out of stack space");
}

// The element types an array in the file may have, and the fewest bytes one element takes.
size_t minimumElementBytes(VarType elementType)
{
    switch (elementType) {
    case VarType::Byte: return 1;
    case VarType::Integer:
    case VarType::Boolean:
    case VarType::String:
    case VarType::Variant: return 2;
    case VarType::Long:
    case VarType::Single: return 4;
    case VarType::Double: return 8;
    case VarType::Decimal: return 14;
    default: raise(errc::TypeMismatch);
    }
}

bool isAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Where the encoder writes; a counting sink only adds up how many bytes it would hold.
class ByteSink {
public:
    explicit ByteSink(bool counting = false) : m_counting(counting) {}

    void u8(uint8_t v)
    {
        if (m_counting)
            ++m_count;
        else
            m_bytes.push_back(static_cast<char>(v));
    }
    void u16(uint16_t v)
    {
        u8(static_cast<uint8_t>(v));
        u8(static_cast<uint8_t>(v >> 8));
    }
    void u32(uint32_t v)
    {
        u16(static_cast<uint16_t>(v));
        u16(static_cast<uint16_t>(v >> 16));
    }
    void u64(uint64_t v)
    {
        u32(static_cast<uint32_t>(v));
        u32(static_cast<uint32_t>(v >> 32));
    }
    void text(std::string_view utf8)
    {
        // Plain ASCII is its own code-page form: counted without making it.
        if (m_counting && isAscii(utf8)) {
            if (utf8.size() > MaxTextBytes)
                raise(errc::BadFileLength);
            m_count += 2 + utf8.size();
            return;
        }
        std::string bytes = ansi::encode(utf8);
        if (bytes.size() > MaxTextBytes)
            raise(errc::BadFileLength);
        u16(static_cast<uint16_t>(bytes.size()));
        if (m_counting)
            m_count += bytes.size();
        else
            m_bytes += bytes;
    }
    std::string take() { return std::move(m_bytes); }
    size_t count() const { return m_counting ? m_count : m_bytes.size(); }

private:
    bool m_counting;
    size_t m_count = 0;
    std::string m_bytes;
};

void encodeValue(ByteSink &out, const Variant &value, int depth);

void encodePayload(ByteSink &out, const Variant &value)
{
    switch (value.type()) {
    case VarType::Empty:
    case VarType::Null: break;
    case VarType::Integer: out.u16(static_cast<uint16_t>(value.asInteger())); break;
    case VarType::Long: out.u32(static_cast<uint32_t>(value.asLong())); break;
    case VarType::Single: out.u32(std::bit_cast<uint32_t>(value.asSingle())); break;
    case VarType::Double: out.u64(std::bit_cast<uint64_t>(value.asDouble())); break;
    case VarType::String: out.text(value.asString()); break;
    case VarType::Boolean: out.u16(value.asBoolean() ? 0xFFFF : 0x0000); break;
    case VarType::Byte: out.u8(value.asByte()); break;
    case VarType::Decimal: {
        const Decimal &d = value.asDecimal();
        out.u8(d.scale());
        out.u8(d.isNegative() ? DecimalNegative : 0);
        out.u32(d.hi());
        out.u32(d.lo());
        out.u32(d.mid());
        break;
    }
    default: raise(errc::TypeMismatch);
    }
}

// An element of an array of a fixed type (the array holds nothing else).
void encodeBareElement(ByteSink &out, VarType elementType, const Variant &element)
{
    if (element.isArray() || element.type() != elementType)
        raise(errc::TypeMismatch);
    encodePayload(out, element);
}

void encodeNestedArray(ByteSink &out, const VarArray &array, int depth)
{
    checkNesting(depth);
    if (array.dimensionCount() > MaxDimensions)
        refuseTooManyDimensions();
    VarType elementType = array.elementType();
    minimumElementBytes(elementType); // refuses element types the file cannot hold
    out.u16(static_cast<uint16_t>(array.dimensionCount()));
    for (const VarArray::Bound &b : array.bounds()) {
        out.u32(static_cast<uint32_t>(int64_t{b.upper} - b.lower + 1));
        out.u32(static_cast<uint32_t>(b.lower));
    }
    for (const Variant &element : array.elements()) {
        if (elementType == VarType::Variant)
            encodeValue(out, element, depth);
        else
            encodeBareElement(out, elementType, element);
    }
}

void encodeValue(ByteSink &out, const Variant &value, int depth)
{
    out.u16(value.typeWord());
    if (value.isArray())
        encodeNestedArray(out, value.array(), depth + 1);
    else
        encodePayload(out, value);
}

class ByteSource {
public:
    explicit ByteSource(std::span<const uint8_t> bytes) : m_bytes(bytes) {}

    size_t remaining() const { return m_bytes.size() - m_position; }
    uint8_t u8() { return take(1)[0]; }
    uint16_t u16()
    {
        auto b = take(2);
        return static_cast<uint16_t>(b[0] | b[1] << 8);
    }
    uint32_t u32()
    {
        uint32_t low = u16();
        return low | uint32_t{u16()} << 16;
    }
    uint64_t u64()
    {
        uint64_t low = u32();
        return low | uint64_t{u32()} << 32;
    }
    std::string text()
    {
        uint16_t length = u16();
        if (length > MaxTextBytes)
            raise(errc::BadFileLength);
        return ansi::decode(take(length));
    }
    std::span<const uint8_t> take(size_t count)
    {
        if (count > remaining())
            raise(errc::InputPastEndOfFile);
        auto bytes = m_bytes.subspan(m_position, count);
        m_position += count;
        return bytes;
    }

    // Starts the budget of element bytes: everything after the header.
    void startBudget() { m_budget = remaining(); }

    // Every element takes at least its fewest bytes of the file, and no byte of the file is the
    // fewest bytes of two elements; so all arrays, at every level of nesting, draw their
    // elements from one budget, and arrays that would overdraw it promise more than the file
    // holds. A damaged count thus never turns into a huge allocation, nested or not.
    void claimElements(const std::vector<VarArray::Bound> &bounds, size_t bytesPerElement)
    {
        uint64_t count = 1;
        for (const VarArray::Bound &b : bounds)
            if (b.upper < b.lower)
                return; // a dimension without elements: the array has none
        uint64_t fitting = m_budget / bytesPerElement;
        for (const VarArray::Bound &b : bounds) {
            count *= static_cast<uint64_t>(int64_t{b.upper} - b.lower + 1);
            if (count > fitting)
                raise(errc::InputPastEndOfFile);
        }
        m_budget -= count * bytesPerElement;
    }

private:
    std::span<const uint8_t> m_bytes;
    size_t m_position = 0;
    size_t m_budget = 0;
};

Variant decodeDecimal(ByteSource &in)
{
    uint8_t scale = in.u8();
    uint8_t sign = in.u8();
    if (sign != 0 && sign != DecimalNegative)
        raise(errc::InvalidProcedureCall);
    uint32_t hi = in.u32();
    uint32_t lo = in.u32();
    uint32_t mid = in.u32();
    return Variant(Decimal::fromParts(sign == DecimalNegative, scale, hi, mid, lo));
}

Variant decodePayload(ByteSource &in, VarType type)
{
    switch (type) {
    case VarType::Empty: return Variant();
    case VarType::Null: return Variant::null();
    case VarType::Integer: return Variant::integer(static_cast<int16_t>(in.u16()));
    case VarType::Long: return Variant(static_cast<int32_t>(in.u32()));
    case VarType::Single: return Variant::single(std::bit_cast<float>(in.u32()));
    case VarType::Double: return Variant::fromDouble(std::bit_cast<double>(in.u64()));
    case VarType::String: return Variant(in.text());
    case VarType::Boolean: return Variant::boolean(in.u16() != 0);
    case VarType::Byte: return Variant::byte(in.u8());
    case VarType::Decimal: return decodeDecimal(in);
    default: raise(errc::TypeMismatch);
    }
}

std::vector<VarArray::Bound> decodeNestedBounds(ByteSource &in, uint16_t dimensions)
{
    std::vector<VarArray::Bound> bounds;
    for (uint16_t k = 0; k < dimensions; ++k) {
        uint32_t count = in.u32();
        auto lower = static_cast<int32_t>(in.u32());
        int64_t upper = int64_t{lower} + count - 1;
        if (upper > std::numeric_limits<int32_t>::max())
            raise(errc::SubscriptOutOfRange);
        bounds.push_back({lower, static_cast<int32_t>(upper)});
    }
    return bounds;
}

void decodeValue(ByteSource &in, Variant &dest, int depth);

// The nested array is stored into dest before its elements are read, so a file cut short keeps
// the elements read so far.
void decodeNestedArray(ByteSource &in, VarType elementType, Variant &dest, int depth)
{
    checkNesting(depth);
    size_t bytesPerElement = minimumElementBytes(elementType);
    uint16_t dimensions = in.u16();
    if (dimensions > MaxDimensions)
        refuseTooManyDimensions();
    VarArray array(elementType);
    if (dimensions > 0) {
        std::vector<VarArray::Bound> bounds = decodeNestedBounds(in, dimensions);
        in.claimElements(bounds, bytesPerElement);
        array.redim(bounds);
    }
    dest = Variant(std::move(array));
    VarArray &stored = dest.mutableArray();
    if (elementType != VarType::Variant) {
        for (size_t i = 0; i < stored.size(); ++i)
            stored.setElement(i, decodePayload(in, elementType));
        return;
    }
    for (Variant &element : stored.elements())
        decodeValue(in, element, depth);
}

void decodeValue(ByteSource &in, Variant &dest, int depth)
{
    uint16_t typeWord = in.u16();
    if (typeWord & ArrayTypeFlag)
        decodeNestedArray(in, static_cast<VarType>(typeWord & ~ArrayTypeFlag), dest, depth + 1);
    else
        dest = decodePayload(in, static_cast<VarType>(typeWord));
}

std::vector<VarArray::Bound> decodeHeader(ByteSource &in)
{
    auto dimensions = static_cast<int16_t>(in.u16());
    if (dimensions < 1 || dimensions > MaxDimensions)
        refuseTooManyDimensions();
    std::vector<VarArray::Bound> bounds(static_cast<size_t>(dimensions));
    for (VarArray::Bound &b : bounds)
        b.lower = static_cast<int32_t>(in.u32());
    for (VarArray::Bound &b : bounds) {
        b.upper = static_cast<int32_t>(in.u32());
        if (int64_t{b.upper} < int64_t{b.lower} - 1)
            raise(errc::SubscriptOutOfRange);
    }
    return bounds;
}

} // namespace

std::optional<std::string> whyTextCannotBeStored(std::string_view utf8)
{
    const bool ascii = isAscii(utf8);
    const size_t bytes = ascii ? utf8.size() : ansi::encode(utf8).size();
    if (bytes > MaxTextBytes)
        return "is " + std::to_string(bytes) + " bytes long; the actions file holds at most " +
               std::to_string(MaxTextBytes) + " in one text";
    if (ascii)
        return std::nullopt;
    // Character by character, to name the first one the code page lacks.
    for (size_t at = 0; at < utf8.size();) {
        size_t length = 1;
        while (at + length < utf8.size() &&
               (static_cast<unsigned char>(utf8[at + length]) & 0xC0) == 0x80)
            ++length;
        const std::string_view character = utf8.substr(at, length);
        const std::string stored = ansi::encode(character);
        if (ansi::decode({reinterpret_cast<const uint8_t *>(stored.data()), stored.size()}) !=
            character)
            return "holds \"" + std::string(character) +
                   "\", which the actions file cannot store (it keeps texts in Windows-1252)";
        at += length;
    }
    return std::nullopt;
}

namespace {

void encodeTopArray(ByteSink &out, const VarArray &array)
{
    int dimensions = array.dimensionCount();
    if (dimensions > MaxDimensions)
        refuseTooManyDimensions();
    if (dimensions == 0)
        raise(errc::SubscriptOutOfRange);
    out.u16(static_cast<uint16_t>(dimensions));
    for (const VarArray::Bound &b : array.bounds())
        out.u32(static_cast<uint32_t>(b.lower));
    for (const VarArray::Bound &b : array.bounds())
        out.u32(static_cast<uint32_t>(b.upper));
    for (const Variant &element : array.elements())
        encodeValue(out, element, 1);
}

} // namespace

std::string encodeArrayFile(const VarArray &array)
{
    ByteSink out;
    encodeTopArray(out, array);
    return out.take();
}

size_t encodedArrayFileSize(const VarArray &array)
{
    ByteSink out(true);
    encodeTopArray(out, array);
    return out.count();
}

void decodeArrayFile(std::span<const uint8_t> content, VarArray &array)
{
    ByteSource in(content);
    std::vector<VarArray::Bound> bounds = decodeHeader(in);
    in.startBudget();
    in.claimElements(bounds, minimumElementBytes(VarType::Variant));
    VarArray fresh(VarType::Variant);
    fresh.redim(bounds);
    array = std::move(fresh);
    for (Variant &element : array.elements())
        decodeValue(in, element, 1);
    // The writer leaves nothing after the last element: bytes there are the rest of something
    // the damaged header or a damaged count left unread.
    if (in.remaining() > 0)
        raise(errc::BadFileLength);
}

} // namespace tarvex::arraycodec
