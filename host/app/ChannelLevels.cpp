#include "host/app/ChannelLevels.h"

#include "host/objects/ActionRows.h"
#include "host/objects/DmxTarget.h"

#include <algorithm>

namespace tarvex::host {

std::vector<int> changedChannels(const Universes::Frame &before, const Universes::Frame &after)
{
    std::vector<int> changed;
    for (size_t i = 0; i < before.size(); ++i)
        if (before[i] != after[i])
            changed.push_back(static_cast<int>(i) + 1);
    return changed;
}

void ShownLevels::show(const Universes::Frame &levels)
{
    m_levels = levels;
    m_ticksLeft.fill(0);
    m_lit = 0;
}

bool ShownLevels::tick(const Universes::Frame &levels)
{
    const bool wasFading = fading();
    for (uint8_t &left : m_ticksLeft)
        if (left > 0 && --left == 0)
            --m_lit;
    const std::vector<int> changed = changedChannels(m_levels, levels);
    for (int channel : changed) {
        uint8_t &left = m_ticksLeft[static_cast<size_t>(channel - 1)];
        m_lit += left == 0 ? 1 : 0;
        left = HighlightTicks;
    }
    m_levels = levels;
    return !changed.empty() || wasFading;
}

double ShownLevels::highlight(int channel) const
{
    return m_ticksLeft[static_cast<size_t>(channel - 1)] / double(HighlightTicks);
}

std::vector<int> universesInUse(const Universes &universes, const std::vector<int> &driven,
                                int shown)
{
    std::vector<int> inUse;
    for (int universe = 1; universe <= universes.count(); ++universe) {
        const Universes::Frame &frame = universes.frame(universe);
        const bool lit = std::any_of(frame.begin(), frame.end(), [](uint8_t l) { return l > 0; });
        if (universe == shown || lit || std::ranges::find(driven, universe) != driven.end())
            inUse.push_back(universe);
    }
    return inUse;
}

namespace {

std::string driverName(const ActionRow &row)
{
    const Variant &name = row.target->t1;
    const std::string what =
        name.isString() && !name.asString().empty() ? name.asString() : row.address;
    return what + " (row " + std::to_string(row.number) + ")";
}

} // namespace

ChannelDrivers channelDrivers(const std::vector<ActionRow> &rows, const Universes &universes)
{
    ChannelDrivers drivers;
    for (const ActionRow &row : rows) {
        if (!row.target)
            continue;
        const std::optional<ChannelSlot> slot = channelSlotOf(*row.target, universes);
        if (!slot)
            continue;
        for (int channel = slot->channel; channel <= slot->channel + (slot->wide ? 1 : 0);
             ++channel)
            drivers[{slot->universe, channel}].push_back(driverName(row));
    }
    return drivers;
}

std::vector<int> drivenUniverses(const ChannelDrivers &drivers)
{
    std::vector<int> universes;
    for (const auto &[place, names] : drivers)
        if (universes.empty() || universes.back() != place.first)
            universes.push_back(place.first);
    return universes;
}

} // namespace tarvex::host
