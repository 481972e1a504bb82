#include "host/objects/Fades.h"

#include "host/objects/Levels.h"

#include <optional>
#include <vector>

namespace tarvex::host {

uint32_t ChannelSlot::fullLevel() const
{
    return wide ? FullLevel16 : FullLevel8;
}

Fades::Fades(std::shared_ptr<Universes> universes) : m_universes(std::move(universes)) {}

uint32_t Fades::keyOf(const ChannelSlot &slot)
{
    return static_cast<uint32_t>(slot.universe) << 16 | static_cast<uint32_t>(slot.channel);
}

uint32_t Fades::Fade::levelAt(Clock::time_point when) const
{
    if (when >= start + duration)
        return to;
    if (when <= start)
        return from;
    const auto elapsed = static_cast<uint64_t>((when - start).count());
    const auto total = static_cast<uint64_t>(duration.count());
    const uint64_t distance = from < to ? to - from : from - to;
    // Rounded to the nearest level; distance <= 65535 and elapsed < total keep this in 64 bits
    // for any fade of up to hours in nanoseconds.
    const uint64_t covered = (distance * elapsed + total / 2) / total;
    return static_cast<uint32_t>(from < to ? from + covered : from - covered);
}

uint32_t Fades::level(const ChannelSlot &slot) const
{
    const uint32_t coarse = m_universes->level(slot.universe, slot.channel);
    if (!slot.wide)
        return coarse;
    return coarse << 8 | m_universes->level(slot.universe, slot.channel + 1);
}

void Fades::write(const ChannelSlot &slot, uint32_t level)
{
    if (slot.wide)
        m_universes->setPair(slot.universe, slot.channel, static_cast<uint8_t>(level >> 8),
                             static_cast<uint8_t>(level & 0xFF));
    else
        m_universes->set(slot.universe, slot.channel, static_cast<uint8_t>(level));
}

void Fades::moveTo(const ChannelSlot &slot, uint32_t level, Clock::duration duration)
{
    const bool jump = duration <= Clock::duration::zero();
    // A jump while nothing fades, the common case, neither reads the clock nor looks for fades.
    if (jump && m_fades.empty()) {
        write(slot, level);
        return;
    }
    const bool wasIdle = m_fades.empty();
    const Clock::time_point now = m_now();
    const uint32_t key = keyOf(slot);
    std::optional<uint32_t> passing; // where a fade of this very slot is now
    if (const auto own = m_fades.find(key);
        own != m_fades.end() && own->second.slot.wide == slot.wide) {
        if (!jump && own->second.to == level)
            return;
        passing = own->second.levelAt(now);
    }
    settleOverlapping(slot, now);
    const uint32_t from = passing ? *passing : this->level(slot);
    if (jump || from == level) {
        // Arrived, also when the fade is passing this very level now: the last frame may have
        // written an earlier one.
        m_fades.erase(key);
        write(slot, level);
        return;
    }
    m_fades[key] = Fade{slot, from, level, now, duration};
    if (wasIdle && onStart)
        onStart();
}

void Fades::settleOverlapping(const ChannelSlot &slot, Clock::time_point now)
{
    // The fades that share a channel with the slot, its own (same first channel and width)
    // excepted: a 16-bit one on the channel before, another width on the same channel, and for a
    // 16-bit slot anything on the next.
    std::vector<Fade> settled;
    auto take = [&](int channel, auto overlaps) {
        const auto fade = m_fades.find(keyOf({slot.universe, channel, false}));
        if (fade != m_fades.end() && overlaps(fade->second.slot)) {
            settled.push_back(fade->second);
            m_fades.erase(fade);
        }
    };
    take(slot.channel - 1, [](const ChannelSlot &other) { return other.wide; });
    take(slot.channel, [&](const ChannelSlot &other) { return other.wide != slot.wide; });
    if (slot.wide)
        take(slot.channel + 1, [](const ChannelSlot &) { return true; });
    // Written after the map is done with: writing calls listeners, which may move levels too.
    for (const Fade &fade : settled)
        write(fade.slot, fade.levelAt(now));
}

bool Fades::step()
{
    const Clock::time_point now = m_now();
    // Writing calls Universes' listeners, which may start or end fades: walk a copy of the keys.
    std::vector<uint32_t> keys;
    keys.reserve(m_fades.size());
    for (const auto &entry : m_fades)
        keys.push_back(entry.first);
    for (uint32_t key : keys) {
        const auto fade = m_fades.find(key);
        if (fade == m_fades.end())
            continue;
        const Fade current = fade->second;
        if (now >= current.start + current.duration)
            m_fades.erase(fade);
        write(current.slot, current.levelAt(now));
    }
    return !m_fades.empty();
}

} // namespace tarvex::host
