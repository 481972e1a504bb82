#include "host/DmxTarget.h"

#include "core/VbError.h"
#include "host/Levels.h"
#include "host/TargetOptions.h"

#include <algorithm>

namespace tarvex::host {

uint8_t dmxLevel(int32_t value, int32_t min, int32_t max)
{
    return static_cast<uint8_t>(curvedLevel(Curve::Linear, positionOf(value, min, max), 255));
}

std::optional<ChannelSlot> channelSlotOf(const TargetValues &values, const Universes &universes)
{
    if (!values.t0.isString() || !universes.isUniverse(values.t3))
        return std::nullopt;
    const std::string &kind = values.t0.asString();
    const bool wide = kind == Dmx16Kind;
    if (!wide && kind != DmxKind)
        return std::nullopt;
    if (!Universes::isChannel(values.t4) || (wide && !Universes::isChannel(values.t4 + 1)))
        return std::nullopt;
    return ChannelSlot{values.t3, values.t4, wide};
}

DmxTarget::DmxTarget(TargetValues values, std::shared_ptr<const TargetContext> context)
    : m_values(std::move(values)), m_context(std::move(context))
{}

void DmxTarget::Execute(int32_t &value, int32_t &min, int32_t &max, const Variant &)
{
    takePendingEdit();
    std::optional<uint32_t> level;
    if (const std::optional<ChannelSlot> slot = channelSlot()) {
        const TargetOptions options = targetOptionsOf(m_values.t2);
        level = curvedLevel(options.curve, positionOf(value, min, max), slot->fullLevel());
        m_context->fades->moveTo(*slot, *level, std::chrono::milliseconds(options.fadeMs));
    }
    m_context->hits->record(m_values, value, min, max, level);
    if (m_context->events && m_context->events->executed)
        m_context->events->executed(m_values, value, min, max);
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

std::optional<ChannelSlot> DmxTarget::channelSlot()
{
    return channelSlotOf(values(), *m_context->universes);
}

const TargetHit *DmxTarget::hit()
{
    return m_context->hits->find(values());
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
