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
    // Counts the changes being told, also when a listener throws; the outermost one to end drops
    // the entries unsubscribed meanwhile.
    struct Telling {
        Universes &universes;
        explicit Telling(Universes &u) : universes(u) { ++universes.m_notifying; }
        ~Telling()
        {
            if (--universes.m_notifying == 0)
                universes.compact();
        }
    };
    Telling telling(*this);
    // Listeners subscribed from here on are appended past `count` and wait for the next change.
    const size_t count = m_listeners.size();
    for (size_t i = 0; i < count; ++i) {
        if (Listener *listener = m_listeners[i].listener.get())
            (*listener)(universe, frame);
    }
}

void Universes::compact()
{
    std::erase_if(m_listeners, [](const Entry &entry) { return !entry.listener; });
    m_retired.clear();
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
    m_listeners.push_back({id, std::make_unique<Listener>(std::move(listener))});
    return id;
}

void Universes::unsubscribe(Subscription subscription)
{
    for (Entry &entry : m_listeners) {
        if (entry.id == subscription && entry.listener)
            m_retired.push_back(std::move(entry.listener)); // it may be the one running
    }
    if (m_notifying == 0)
        compact();
}

} // namespace tarvex::host
