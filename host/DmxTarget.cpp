#include "host/DmxTarget.h"

#include "core/VbError.h"

#include <algorithm>

namespace tarvex::host {

uint8_t dmxLevel(int32_t value, int32_t min, int32_t max)
{
    if (min == max)
        return value >= min ? 255 : 0;
    const int64_t low = std::min(min, max), high = std::max(min, max);
    const int64_t v = std::clamp<int64_t>(value, low, high);
    // |v - min| * 255 < 2^41 and |max - min| < 2^33: exact in 64 bits.
    int64_t numerator = (v - min) * 255;
    int64_t denominator = int64_t{max} - min;
    if (denominator < 0) {
        numerator = -numerator;
        denominator = -denominator;
    }
    int64_t level = numerator / denominator; // numerator >= 0 here
    const int64_t twiceRemainder = 2 * (numerator % denominator);
    if (twiceRemainder > denominator || (twiceRemainder == denominator && level % 2 != 0))
        ++level;
    return static_cast<uint8_t>(level);
}

DmxTarget::DmxTarget(TargetValues values, std::shared_ptr<Universes> universes,
                     std::shared_ptr<const HostEvents> events)
    : m_values(std::move(values)), m_universes(std::move(universes)), m_events(std::move(events))
{}

void DmxTarget::Execute(int32_t &value, int32_t &min, int32_t &max, const Variant &)
{
    takePendingEdit();
    if (isDmxChannel())
        m_universes->set(m_values.t3, m_values.t4, dmxLevel(value, min, max));
    if (m_events && m_events->executed)
        m_events->executed(m_values, value, min, max);
}

Variant DmxTarget::T1()
{
    return values().t1;
}

uint8_t DmxTarget::T3()
{
    return values().t3;
}

Variant DmxTarget::T0()
{
    return values().t0;
}

int32_t DmxTarget::T4()
{
    return values().t4;
}

Variant DmxTarget::T2()
{
    return values().t2;
}

const TargetValues &DmxTarget::values()
{
    takePendingEdit();
    return m_values;
}

bool DmxTarget::isDmxChannel()
{
    const TargetValues &v = values();
    return v.t0.isString() && v.t0.asString() == DmxKind && m_universes &&
           m_universes->isUniverse(v.t3) && Universes::isChannel(v.t4);
}

void DmxTarget::setPendingEdit(ListRowPtr row, int cellColumn, TargetColumn column)
{
    m_pending = PendingEdit{std::move(row), cellColumn, column};
}

void DmxTarget::takePendingEdit()
{
    if (!m_pending)
        return;
    PendingEdit edit = std::move(*m_pending);
    m_pending.reset();
    try {
        takeTargetCellText(m_values, edit.column, edit.row->subItem(edit.cellColumn));
    } catch (const VbError &) {
        // The row left the list before its text was taken: the edit is void.
    }
}

} // namespace tarvex::host
