#include "host/objects/Universes.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace tarvex::host {

Universes::Universes(int count) : m_frames(static_cast<size_t>(std::clamp(count, 1, MaxCount)))
{
    for (Frame &frame : m_frames)
        frame.fill(0);
}

size_t Universes::index(int universe, int channel) const
{
    if (!isUniverse(universe))
        throw std::out_of_range("no universe " + std::to_string(universe));
    if (!isChannel(channel))
        throw std::out_of_range("no channel " + std::to_string(channel));
    return static_cast<size_t>(universe - 1);
}

bool Universes::set(int universe, int channel, uint8_t level)
{
    Frame &frame = m_frames[index(universe, channel)];
    uint8_t &slot = frame[static_cast<size_t>(channel - 1)];
    if (slot == level)
        return false;
    slot = level;
    notify(static_cast<uint8_t>(universe), frame);
    return true;
}

bool Universes::setPair(int universe, int channel, uint8_t first, uint8_t second)
{
    index(universe, channel + 1);
    Frame &frame = m_frames[index(universe, channel)];
    uint8_t &a = frame[static_cast<size_t>(channel - 1)];
    uint8_t &b = frame[static_cast<size_t>(channel)];
    if (a == first && b == second)
        return false;
    a = first;
    b = second;
    notify(static_cast<uint8_t>(universe), frame);
    return true;
}

void Universes::notify(uint8_t universe, const Frame &frame)
{
    // Counts the walks in progress, also when a listener throws, so that unsubscribing from
    // inside a listener only marks its entry.
    struct Walk {
        int &depth;
        explicit Walk(int &d) : depth(d) { ++depth; }
        ~Walk() { --depth; }
    };
    {
        Walk walk(m_notifying);
        // By index: a listener may subscribe while we walk (its entry is appended).
        for (size_t i = 0; i < m_listeners.size(); ++i) {
            if (m_listeners[i].second)
                m_listeners[i].second(universe, frame);
        }
    }
    compact();
}

void Universes::compact()
{
    if (m_notifying == 0)
        std::erase_if(m_listeners, [](const auto &entry) { return !entry.second; });
}

uint8_t Universes::level(int universe, int channel) const
{
    return m_frames[index(universe, channel)][static_cast<size_t>(channel - 1)];
}

const Universes::Frame &Universes::frame(int universe) const
{
    return m_frames[index(universe, 1)];
}

Universes::Subscription Universes::subscribe(Listener listener)
{
    Subscription id = m_nextSubscription++;
    m_listeners.emplace_back(id, std::move(listener));
    return id;
}

void Universes::unsubscribe(Subscription subscription)
{
    for (auto &entry : m_listeners) {
        if (entry.first == subscription)
            entry.second = nullptr; // erased once no notification is walking the list
    }
    compact();
}

} // namespace tarvex::host
