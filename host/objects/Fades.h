#pragma once
// Fades: levels that glide. A target with a fade time hands its new level here instead of
// writing it; each frame (step) writes every fade's level for that moment into Universes, until
// it arrives. Levels follow the time since the fade set off, so a late frame catches up and the
// fade ends on time, however irregular the frames.
//
//   Fades fades(universes);
//   fades.onStart = [&] { frameTimer.start(); };   // the first fade wakes the frame clock
//   fades.moveTo({1, 7, false}, 255, 300ms);       // channel 7 of universe 1, over 300 ms
//   while (fades.step()) waitForNextFrame();       // one step per frame; false: all arrived
//
// A new level for a channel whose fade is under way sets off from where that fade is now, over
// the new fade's whole time; a new level equal to the one the fade is passing now ends the fade
// there and is written at once; the same level as the fade's end again leaves the fade alone (a
// controller that keeps sending its value must not hold it back). A jump (no fade time) ends a
// fade on its slot. The last level told to a channel wins: a level for a slot that shares a
// channel with another fade (a 16-bit slot overlapping an 8-bit one or another 16-bit one) first
// ends that fade where it is now. So no two fades ever write one channel, and once every fade
// has had a step at or after its end, every channel holds the last level it was told.
// Fades run on the host's one thread, like Universes.

#include "host/objects/Universes.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>

namespace tarvex::host {

// Where a level goes: one channel (8 bits), or a channel with its fine byte on the next (16).
struct ChannelSlot {
    int universe = 0;
    int channel = 0;
    bool wide = false;
    uint32_t fullLevel() const;
};

class Fades {
public:
    using Clock = std::chrono::steady_clock;

    explicit Fades(std::shared_ptr<Universes> universes);

    // The clock moveTo and step read; the steady clock unless replaced (tests).
    void setClock(std::function<Clock::time_point()> now) { m_now = std::move(now); }
    Clock::time_point now() const { return m_now(); }

    // Sends the slot to `level` (0..fullLevel) over `duration` from where it is; a zero duration
    // writes the level at once. The slot must exist (Universes raises std::out_of_range).
    void moveTo(const ChannelSlot &slot, uint32_t level, Clock::duration duration);
    // One frame: writes every fade's level at now(); fades that arrived end. Returns whether a
    // fade still runs.
    bool step();
    bool running() const { return !m_fades.empty(); }
    // Called when a fade starts while none runs: the owner's frame clock starts ticking.
    std::function<void()> onStart;

    // The slot's level as Universes holds it.
    uint32_t level(const ChannelSlot &slot) const;

private:
    struct Fade {
        ChannelSlot slot;
        uint32_t from = 0, to = 0;
        Clock::time_point start;
        Clock::duration duration{};
        uint32_t levelAt(Clock::time_point when) const;
    };
    static uint32_t keyOf(const ChannelSlot &slot);
    void write(const ChannelSlot &slot, uint32_t level);
    // Ends every other fade that writes one of the slot's channels, at its level for `now`.
    void settleOverlapping(const ChannelSlot &slot, Clock::time_point now);

    std::shared_ptr<Universes> m_universes;
    std::function<Clock::time_point()> m_now = [] { return Clock::now(); };
    std::unordered_map<uint32_t, Fade> m_fades;
};

} // namespace tarvex::host
