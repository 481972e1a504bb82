#include "core/VarArray.h"

#include "core/Conversions.h"
#include "core/VbError.h"

#include <limits>

namespace tarvex {
namespace {
constexpr int32_t OutOfMemory = 7;
// Above this many elements an array is refused instead of attempted.
constexpr uint64_t MaxElements = uint64_t{1} << 28;
} // namespace

VarArray::Bounds::Bounds(const Bounds &other)
    : m_count(other.m_count), m_one(other.m_one),
      m_many(other.m_many ? std::make_unique<std::vector<Bound>>(*other.m_many) : nullptr)
{}

VarArray::Bounds &VarArray::Bounds::operator=(const Bounds &other)
{
    if (this != &other)
        *this = Bounds(other);
    return *this;
}

void VarArray::Bounds::assign(const std::vector<Bound> &bounds)
{
    m_count = static_cast<uint32_t>(bounds.size());
    if (bounds.size() == 1) {
        m_one = bounds[0];
        m_many.reset();
    } else {
        m_many = bounds.empty() ? nullptr : std::make_unique<std::vector<Bound>>(bounds);
    }
}

void VarArray::Bounds::assign(Bound one)
{
    m_count = 1;
    m_one = one;
    m_many.reset();
}

bool VarArray::Bounds::operator==(const Bounds &other) const
{
    if (m_count != other.m_count)
        return false;
    for (size_t i = 0; i < m_count; ++i)
        if (!((*this)[i] == other[i]))
            return false;
    return true;
}

void VarArray::Bounds::clear()
{
    m_count = 0;
    m_many.reset();
}

std::vector<VarArray::Bound> VarArray::Bounds::list() const
{
    if (m_count == 1)
        return {m_one};
    return m_many ? *m_many : std::vector<Bound>();
}

VarArray::VarArray(VarType elementType) : m_elementType(elementType) {}

VarArray VarArray::ofValues(std::vector<Variant> values, VarType elementType)
{
    VarArray array(elementType);
    for (Variant &value : values)
        value = array.accepted(std::move(value));
    array.m_bounds.assign(Bound{0, static_cast<int32_t>(values.size()) - 1});
    array.m_elements = std::move(values);
    return array;
}

VarArray VarArray::ofStrings(const std::vector<std::string> &texts)
{
    std::vector<Variant> values(texts.begin(), texts.end());
    return ofValues(std::move(values), VarType::String);
}

int32_t VarArray::lowerBound(int dimension) const
{
    if (dimension < 1 || dimension > dimensionCount())
        raise(errc::SubscriptOutOfRange);
    return m_bounds[dimension - 1].lower;
}

int32_t VarArray::upperBound(int dimension) const
{
    if (dimension < 1 || dimension > dimensionCount())
        raise(errc::SubscriptOutOfRange);
    return m_bounds[dimension - 1].upper;
}

Variant VarArray::emptyElement() const
{
    switch (m_elementType) {
    case VarType::Integer: return Variant::integer(0);
    case VarType::Long: return Variant(0);
    case VarType::Single: return Variant::single(0.0f);
    case VarType::Double: return Variant::fromDouble(0.0);
    case VarType::String: return Variant(std::string());
    case VarType::Boolean: return Variant::boolean(false);
    case VarType::Decimal: return Variant(Decimal());
    case VarType::Byte: return Variant::byte(0);
    default: return Variant();
    }
}

Variant VarArray::accepted(Variant value) const
{
    if (m_elementType == VarType::Variant)
        return value;
    // A text array takes the text form of a value, as an assignment to a text variable does.
    if (m_elementType == VarType::String)
        return value.isString() ? std::move(value) : Variant(toText(value));
    if (value.isEmpty())
        return emptyElement();
    if (value.isArray() || value.type() != m_elementType)
        raise(errc::TypeMismatch);
    return value;
}

void VarArray::requireVariantElements() const
{
    if (m_elementType != VarType::Variant)
        raise(errc::TypeMismatch);
}

void VarArray::redim(const std::vector<Bound> &bounds)
{
    if (bounds.empty() || bounds.size() > MaxDimensions)
        raise(errc::SubscriptOutOfRange);
    uint64_t count = 1;
    for (const Bound &b : bounds) {
        int64_t n = int64_t{b.upper} - b.lower + 1;
        if (n < 0)
            raise(errc::SubscriptOutOfRange);
        count *= static_cast<uint64_t>(n);
        if (count > MaxElements)
            throw VbError(OutOfMemory, "Out of memory");
    }
    m_elements.assign(count, emptyElement());
    m_bounds.assign(bounds);
}

void VarArray::redimPreserve(int32_t upper)
{
    if (dimensionCount() > 1)
        raise(errc::SubscriptOutOfRange);
    int32_t lower = isDimensioned() ? m_bounds[0].lower : 0;
    int64_t n = int64_t{upper} - lower + 1;
    if (n < 0)
        raise(errc::SubscriptOutOfRange);
    if (static_cast<uint64_t>(n) > MaxElements)
        throw VbError(OutOfMemory, "Out of memory");
    m_elements.resize(static_cast<size_t>(n), emptyElement());
    m_bounds.assign(Bound{lower, upper});
}

void VarArray::erase()
{
    m_bounds.clear();
    m_elements.clear();
}

void VarArray::append(Variant value)
{
    if (dimensionCount() > 1 ||
        (isDimensioned() && m_bounds[0].upper == std::numeric_limits<int32_t>::max()))
        raise(errc::SubscriptOutOfRange);
    Variant element = accepted(std::move(value));
    if (!isDimensioned())
        m_bounds.assign(Bound{0, -1});
    m_elements.push_back(std::move(element));
    ++m_bounds[0].upper;
}

void VarArray::set(int32_t index, Variant value)
{
    m_elements[offsetOf(index)] = accepted(std::move(value));
}

void VarArray::setElement(size_t position, Variant value)
{
    if (position >= m_elements.size())
        raise(errc::SubscriptOutOfRange);
    m_elements[position] = accepted(std::move(value));
}

std::span<Variant> VarArray::elements()
{
    requireVariantElements();
    return m_elements;
}

size_t VarArray::offsetOf(int32_t index) const
{
    if (dimensionCount() != 1 || index < m_bounds[0].lower || index > m_bounds[0].upper)
        raise(errc::SubscriptOutOfRange);
    return static_cast<size_t>(int64_t{index} - m_bounds[0].lower);
}

const Variant &VarArray::operator[](int32_t index) const
{
    return m_elements[offsetOf(index)];
}
Variant &VarArray::operator[](int32_t index)
{
    requireVariantElements();
    return m_elements[offsetOf(index)];
}

const Variant *VarArray::find(int32_t index) const
{
    if (dimensionCount() != 1 || index < m_bounds[0].lower || index > m_bounds[0].upper)
        return nullptr;
    return &m_elements[static_cast<size_t>(int64_t{index} - m_bounds[0].lower)];
}

bool operator==(const VarArray &a, const VarArray &b)
{
    return a.m_elementType == b.m_elementType && a.m_bounds == b.m_bounds &&
           a.m_elements == b.m_elements;
}

} // namespace tarvex
