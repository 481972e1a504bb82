#include "host/objects/DmxTarget.h"

#include "core/VbError.h"
#include "host/objects/Levels.h"
#include "host/objects/TargetOptions.h"

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
    const Resolved &target = resolved();
    std::optional<uint32_t> level;
    if (target.slot) {
        level = curvedLevel(target.options.curve, positionOf(value, min, max),
                            target.slot->fullLevel());
        m_context->fades->moveTo(*target.slot, *level,
                                 std::chrono::milliseconds(target.options.fadeMs));
    }
    m_context->hits->recordExecute(value, min, max, level);
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

const DmxTarget::Resolved &DmxTarget::resolved()
{
    takePendingEdit();
    if (!m_resolved) {
        m_resolved =
            Resolved{channelSlotOf(m_values, *m_context->universes), targetOptionsOf(m_values.t2)};
    }
    return *m_resolved;
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
    m_resolved.reset();
    try {
        takeTargetCellText(m_values, edit.column, edit.row->subItem(edit.cellColumn));
    } catch (const VbError &) {
        // The row left the list before its text was taken: the edit is void.
    }
}

} // namespace tarvex::host
