#pragma once
// DmxTarget: the host's target, a DMX channel. It keeps its creation values T0..T4 as they were
// handed over and reads them back unchanged. Executing it sends a level to its channel when its
// kind is "DMX" (8 bits), or to its channel and the next when it is "DMX16" (16 bits: coarse and
// fine), its universe exists and its channel (and for 16 bits the next) is 1..512; otherwise it
// writes nothing. The options in T2 (TargetOptions.h) bend the level with a curve and let it
// glide over a fade time (Fades.h). Every execute is counted for the action row the plug-in
// said it is for (TargetHits) and reported to HostEvents, valid or not.
//
// The target factory may change the values: a cell edit in the editor's target columns ends
// before the editor writes the chosen text into the cell, so the factory leaves the target a
// pending edit (the row and column) and the target takes the cell's text the next time anyone
// asks it for its values or executes it.

#include "host/objects/Fades.h"
#include "host/objects/HostEvents.h"
#include "host/objects/TargetColumns.h"
#include "host/objects/TargetHits.h"
#include "host/objects/TargetOptions.h"
#include "host/objects/Universes.h"
#include "plugin/api/HostInterfaces.h"
#include "plugin/api/ListWidget.h"

#include <memory>
#include <optional>

namespace tarvex::host {

// The level for a value within the limits: the value is clamped to [min, max] and mapped
// proportionally onto 0..255 (min gives 0, max gives 255), rounded half to even. Limits in
// reverse order map in reverse. Equal limits have no range: a value at or above them gives 255,
// a value below them 0.
uint8_t dmxLevel(int32_t value, int32_t min, int32_t max);

// What the targets of one host share: the levels they write, the fades that move them, the
// counts of what they did and who hears of every execute.
struct TargetContext {
    std::shared_ptr<Universes> universes;
    std::shared_ptr<const HostEvents> events;
    std::shared_ptr<Fades> fades;
    std::shared_ptr<TargetHits> hits;
};

// Where a target with these values writes: kind "DMX" or "DMX16", an existing universe, and its
// channel (for 16 bits also the next) 1..512. Nothing for any other target.
std::optional<ChannelSlot> channelSlotOf(const TargetValues &values, const Universes &universes);

class DmxTarget : public IHostTarget {
public:
    DmxTarget(TargetValues values, std::shared_ptr<const TargetContext> context);

    void Execute(int32_t &value, int32_t &min, int32_t &max, const Variant &stream) override;
    Variant T1() override;
    uint8_t T3() override;
    Variant T0() override;
    int32_t T4() override;
    Variant T2() override;

    // The current values, with a pending edit taken first.
    const TargetValues &values();
    // Where the target writes its level: its kind is "DMX" or "DMX16" and its channels exist.
    std::optional<ChannelSlot> channelSlot() { return resolved().slot; }

    // Factory side: the cell whose text becomes the value of a column once the editor has
    // written it. A later edit replaces an earlier one that was not taken yet.
    void setPendingEdit(ListRowPtr row, int cellColumn, TargetColumn column);
    void takePendingEdit();
    bool hasPendingEdit() const { return m_pending.has_value(); }

private:
    struct PendingEdit {
        ListRowPtr row;
        int cellColumn;
        TargetColumn column;
    };

    // What the values mean, worked out again only when they change (an edit taken).
    struct Resolved {
        std::optional<ChannelSlot> slot;
        TargetOptions options;
    };
    const Resolved &resolved();

    TargetValues m_values;
    std::shared_ptr<const TargetContext> m_context;
    std::optional<PendingEdit> m_pending;
    std::optional<Resolved> m_resolved;
};
using DmxTargetPtr = std::shared_ptr<DmxTarget>;

} // namespace tarvex::host
