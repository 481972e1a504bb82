#include "engine/RowKeys.h"

#include <bit>
#include <functional>
#include <string_view>
#include <unordered_map>

namespace tarvex {
namespace {

class ContentHash {
public:
    void add(uint64_t value) { m_hash = std::rotl(m_hash ^ value, 29) * 0xBF58476D1CE4E5B9u; }
    uint64_t value() const { return m_hash ^ (m_hash >> 31); }

    void add(const Variant &value, int32_t skippedIndex = -1)
    {
        add(value.typeWord());
        if (value.isArray())
            return addArray(value.array(), skippedIndex);
        switch (value.type()) {
        case VarType::String:
            add(value.asString().size());
            add(std::hash<std::string_view>()(value.asString()));
            return;
        case VarType::Integer: add(static_cast<uint64_t>(value.asInteger())); return;
        case VarType::Long: add(static_cast<uint64_t>(value.asLong())); return;
        case VarType::Byte: add(value.asByte()); return;
        case VarType::Boolean: add(value.asBoolean() ? 1 : 0); return;
        case VarType::Single: add(std::bit_cast<uint32_t>(value.asSingle())); return;
        case VarType::Double: add(std::bit_cast<uint64_t>(value.asDouble())); return;
        case VarType::Decimal: {
            const Decimal &d = value.asDecimal();
            add(uint64_t{d.hi()} << 32 | d.mid());
            add(uint64_t{d.lo()} << 16 | uint64_t{d.scale()} << 1 | (d.isNegative() ? 1 : 0));
            return;
        }
        case VarType::Object: add(reinterpret_cast<uintptr_t>(value.asObject().get())); return;
        default: return; // Empty and Null are their type word
        }
    }

private:
    void addArray(const VarArray &array, int32_t skippedIndex)
    {
        add(array.typeWord());
        for (const VarArray::Bound &bound : array.bounds())
            add(uint64_t{static_cast<uint32_t>(bound.lower)} << 32 |
                static_cast<uint32_t>(bound.upper));
        const int32_t skipped = skippedIndex >= 0 && array.dimensionCount() == 1
                                    ? skippedIndex - array.lowerBound()
                                    : -1;
        int32_t position = 0;
        for (const Variant &element : array.elements()) {
            if (position++ != skipped)
                add(element);
        }
    }

    uint64_t m_hash = 0x9E3779B97F4A7C15u;
};

} // namespace

uint64_t rowContentHash(const Variant &row)
{
    ContentHash hash;
    hash.add(row, rowField::Activation);
    return hash.value();
}

std::span<const RowKey> RowKeys::keysOf(const ActionTable &table)
{
    if (!m_valid || m_generation != table.generation())
        update(table);
    return m_keys;
}

void RowKeys::update(const ActionTable &table)
{
    // The rows before, by content: the first of each content not matched yet, and from each
    // row the next one of the same content in table order (a chain, no allocation per content).
    constexpr uint32_t None = UINT32_MAX;
    std::unordered_map<uint64_t, uint32_t> firstWith;
    firstWith.reserve(m_keys.size());
    std::vector<uint32_t> nextWith(m_keys.size(), None);
    for (size_t i = m_keys.size(); i-- > 0;) {
        auto [entry, made] = firstWith.try_emplace(m_contents[i], static_cast<uint32_t>(i));
        if (!made) {
            nextWith[i] = entry->second;
            entry->second = static_cast<uint32_t>(i);
        }
    }
    std::vector<RowKey> earlierKeys;
    earlierKeys.swap(m_keys);

    const VarArray &rows = table.rows();
    const bool listed = rows.dimensionCount() == 1;
    m_lowerBound = listed ? rows.lowerBound() : 0;
    const std::span<const Variant> elements = listed ? rows.elements() : std::span<const Variant>();
    m_keys.assign(elements.size(), NoRow);
    m_contents.assign(elements.size(), 0);
    for (size_t i = 0; i < elements.size(); ++i) {
        m_contents[i] = rowContentHash(elements[i]);
        auto same = firstWith.find(m_contents[i]);
        if (same != firstWith.end() && same->second != None) {
            m_keys[i] = earlierKeys[same->second];
            same->second = nextWith[same->second];
        } else {
            m_keys[i] = m_nextKey++;
        }
    }
    m_generation = table.generation();
    m_valid = true;
}

} // namespace tarvex
