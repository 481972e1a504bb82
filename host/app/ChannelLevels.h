#pragma once
// ChannelLevels: what the channel view shows, apart from the painting. The levels of the shown
// universe as they were at the last tick of the view's frame clock, which channels changed and
// how long each stays highlighted, whether a tick needs a repaint, which universes are in use
// and which rows drive a channel.
//
//   ShownLevels shown;
//   shown.show(universes.frame(1));              // a universe chosen: nothing highlighted
//   if (shown.tick(universes.frame(1))) update(); // each tick: repaint only for a change or a fade
//
// No Qt here, and only Universes.h of the host's objects: moc reads this header through the
// view's.

#include "host/objects/Universes.h"

#include <array>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace tarvex::host {

struct ActionRow;

// The channels (1..512) whose level differs between the two frames.
std::vector<int> changedChannels(const Universes::Frame &before, const Universes::Frame &after);

class ShownLevels {
public:
    // Ticks a changed channel stays highlighted, fading: one second at the view's 25 ticks.
    static constexpr int HighlightTicks = 25;

    // Shows another universe's levels: none counts as changed.
    void show(const Universes::Frame &levels);
    // Takes the levels as they are now, highlights the channels that changed and ages the older
    // highlights by one tick. Returns whether what is shown changed: a level, or a fading
    // highlight. Levels and highlights as they were give false.
    bool tick(const Universes::Frame &levels);
    // Whether a highlight is still fading (the clock must keep ticking for it).
    bool fading() const { return m_lit > 0; }

    const Universes::Frame &levels() const { return m_levels; }
    int level(int channel) const { return m_levels[static_cast<size_t>(channel - 1)]; }
    // How strongly the channel is highlighted: 1 on the tick it changed, falling to 0.
    double highlight(int channel) const;

private:
    Universes::Frame m_levels{};
    std::array<uint8_t, Universes::ChannelCount> m_ticksLeft{};
    int m_lit = 0;
};

// The universes worth choosing, ascending: those rows drive, those with a level above 0, and the
// one shown (so the choice never vanishes from under the user).
std::vector<int> universesInUse(const Universes &universes, const std::vector<int> &driven,
                                int shown);

// For each universe and channel a row writes to, the rows' names: the target's name (T1), or
// the row's address where the target has none, with the row's number.
using ChannelDrivers = std::map<std::pair<int, int>, std::vector<std::string>>;
ChannelDrivers channelDrivers(const std::vector<ActionRow> &rows, const Universes &universes);
// The universes ChannelDrivers names, ascending.
std::vector<int> drivenUniverses(const ChannelDrivers &drivers);

} // namespace tarvex::host
