#include "engine/ActionTable.h"

#include "core/Conversions.h"
#include "core/VbError.h"

namespace tarvex {

VarArray &ActionTable::edit()
{
    m_indexValid = false;
    ++m_generation;
    return m_rows;
}

void ActionTable::replace(VarArray rows)
{
    m_rows = std::move(rows);
    m_indexValid = false;
    ++m_generation;
}

void ActionTable::erase()
{
    m_rows.erase();
    m_indexValid = false;
    ++m_generation;
}

void ActionTable::setActivation(int32_t index, std::string_view activation)
{
    m_rows[index].mutableArray()[rowField::Activation] = Variant(activation);
}

std::span<const int32_t> ActionTable::rowsWithAddress(std::string_view address) const
{
    if (!m_indexValid)
        rebuildIndex();
    auto found = m_index.find(address);
    if (found == m_index.end())
        return {};
    return found->second;
}

void ActionTable::rebuildIndex() const
{
    m_index.clear();
    if (m_rows.dimensionCount() == 1) {
        for (int32_t i = m_rows.lowerBound(); i <= m_rows.upperBound(); ++i) {
            const VarArray *r = rowAt(m_rows, i);
            const Variant *address = r ? r->find(rowField::Address) : nullptr;
            // Only a text equals a message's address.
            if (address && address->isString())
                m_index[address->asString()].push_back(i);
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

} // namespace tarvex
