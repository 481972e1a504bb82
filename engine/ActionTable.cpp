#include "engine/ActionTable.h"

#include "core/Conversions.h"
#include "core/ShortText.h"
#include "core/VbError.h"
#include "engine/ArgumentWalk.h"

#include <cstring>

namespace tarvex {

void ActionTable::changed()
{
    ++m_generation;
    if (m_changed.call)
        m_changed.call();
}

VarArray &ActionTable::edit()
{
    m_indexValid = false;
    changed();
    return m_rows;
}

void ActionTable::replace(VarArray rows)
{
    m_rows = std::move(rows);
    m_indexValid = false;
    changed();
}

void ActionTable::erase()
{
    m_rows.erase();
    m_indexValid = false;
    changed();
}

void ActionTable::setActivation(int32_t index, std::string_view activation)
{
    m_rows[index].mutableArray()[rowField::Activation] = Variant(activation);
    // References into the rows stay valid, so the generation stays; a view of the rows does not.
    if (m_changed.call)
        m_changed.call();
}

namespace {

const std::string *addressOf(const VarArray &row)
{
    const Variant *address = row.find(rowField::Address);
    return address && address->isString() ? &address->asString() : nullptr;
}

// Whether the indices hold the same entries for either row.
bool sameKeys(const VarArray *old, const Variant &row)
{
    if (!old || !row.isArray())
        return false;
    const std::string *a = addressOf(*old);
    const std::string *b = addressOf(row.array());
    return (a == nullptr) == (b == nullptr) && (!a || *a == *b) &&
           actionIdOf(*old) == actionIdOf(row.array());
}

} // namespace

void ActionTable::replaceRow(int32_t index, Variant row)
{
    if (!sameKeys(rowAt(m_rows, index), row))
        m_indexValid = false;
    m_rows[index] = std::move(row);
    changed();
}

std::span<const ActionTable::RowPlace> ActionTable::rowsWithActionId(int32_t id) const
{
    if (!m_indexValid)
        rebuildIndex();
    auto found = m_idIndex.find(id);
    if (found == m_idIndex.end())
        return {};
    return found->second;
}

size_t ActionTable::TransparentHash::operator()(std::string_view s) const
{
    uint64_t h = s.size() * 0x9E3779B97F4A7C15u;
    size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        uint64_t word;
        std::memcpy(&word, s.data() + i, 8);
        h = (h ^ word) * 0xFF51AFD7ED558CCDu;
        h ^= h >> 32;
    }
    uint64_t tail = 0;
    for (; i < s.size(); ++i)
        tail = tail << 8 | static_cast<uint8_t>(s[i]);
    h = (h ^ tail) * 0xC4CEB9FE1A85EC53u;
    return static_cast<size_t>(h ^ (h >> 29));
}

std::span<const int32_t> ActionTable::rowsWithAddress(std::string_view address) const
{
    if (!m_indexValid)
        rebuildIndex();
    if (m_last.valid && equalBytes(address, m_last.address))
        return m_last.rows;
    auto found = m_index.find(address);
    m_last.rows = found == m_index.end() ? std::span<const int32_t>() : found->second;
    m_last.address.assign(address);
    m_last.valid = true;
    return m_last.rows;
}

void ActionTable::rebuildIndex() const
{
    m_last.valid = false;
    m_index.clear();
    m_idIndex.clear();
    if (m_rows.isDimensioned()) {
        int32_t position = 0;
        for (int32_t i = m_rows.lowerBound(); i <= m_rows.upperBound(); ++i) {
            const VarArray *r = rowAt(m_rows, i);
            if (!r)
                continue;
            ++position;
            // Only a text equals a message's address; only a one-dimensional table is matched.
            if (const std::string *address = addressOf(*r); address && m_rows.dimensionCount() == 1)
                m_index[*address].push_back(i);
            if (std::optional<int32_t> id = actionIdOf(*r))
                m_idIndex[*id].push_back({i, position});
        }
    }
    m_indexValid = true;
}

const VarArray *rowAt(const VarArray &rows, int32_t index)
{
    const Variant *element = rows.find(index);
    return element && element->isArray() ? &element->array() : nullptr;
}

const Variant *elementOf(const Variant &array, int32_t index)
{
    return array.isArray() ? array.array().find(index) : nullptr;
}

std::optional<int32_t> actionIdOf(const VarArray &row)
{
    const Variant *id = row.find(rowField::ActionId);
    if (!id)
        return std::nullopt;
    if (id->type() == VarType::Long)
        return id->asLong();
    if (id->isEmpty() || !isNumeric(*id))
        return std::nullopt;
    try {
        return toLong(*id);
    } catch (const VbError &) {
        return std::nullopt; // beyond 32 bits
    }
}

namespace {

// A value the editor can show in a cell.
bool hasTextForm(const Variant *value)
{
    return value && !value->isNull() && !value->isArray() && !value->isObject();
}

const VarArray *arrayIn(const Variant *value)
{
    return value && value->isArray() ? &value->array() : nullptr;
}

bool hasCells(const VarArray &array, int32_t count)
{
    for (int32_t i = 0; i < count; ++i)
        if (!hasTextForm(array.find(i)))
            return false;
    return true;
}

bool isWholeCondition(const Variant *value, bool textArgument)
{
    const VarArray *condition = arrayIn(value);
    const Variant *op = condition ? condition->find(conditionField::Operator) : nullptr;
    if (!hasTextForm(op))
        return false;
    if (toText(*op) == NeverOperator)
        return true;
    const VarArray *parameters = arrayIn(condition->find(conditionField::Parameters));
    const VarArray *target = arrayIn(condition->find(conditionField::Target));
    constexpr int32_t ParameterCount = parameterField::Max + 1;
    return parameters && hasCells(*parameters, textArgument ? 1 : ParameterCount) && target &&
           hasCells(*target, static_cast<int32_t>(conditionField::TargetSize));
}

} // namespace

bool isWholeRow(const Variant &value)
{
    const VarArray *row = arrayIn(&value);
    if (!row || row->dimensionCount() != 1)
        return false;
    const Variant *address = row->find(rowField::Address);
    const Variant *activation = row->find(rowField::Activation);
    const VarArray *tags = arrayIn(row->find(rowField::TypeTags));
    const VarArray *conditions = arrayIn(row->find(rowField::Conditions));
    if (!address || !address->isString() || !activation || !activation->isString() || !tags ||
        !conditions || !actionIdOf(*row))
        return false;
    for (const Variant &tag : tags->elements())
        if (!tag.isString() || (tag.asString() == "Empty" && tags->size() != 1))
            return false; // "Empty" stands alone: a message without arguments
    bool whole = true;
    forEachTaggedArgument(*tags, [&](const std::string &tag, int slot, int ordinal) {
        const Variant *group = conditions->find(slot);
        whole =
            whole && isWholeCondition(group ? elementOf(*group, ordinal - 1) : nullptr, tag == "s");
    });
    return whole;
}

} // namespace tarvex
