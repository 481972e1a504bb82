#pragma once
// The target columns the host adds to the plug-in's editor list, and the texts a target shows
// in them. Column offsets count from the first target column the editor hands over (10).
//
//   offset 0 "Ziel"      the kind, T0: "DMX", "DMX16", "Deaktiviert" or "" (none)
//   offset 1 "Universum" T3, the universe 1..255; empty for 0 (none chosen)
//   offset 2 "Kanal"     T4, the channel 1..512; empty for 0 (none chosen)
//   offset 3 "Name"      T1, a label of the user's
//   offset 4 "Treffer"   how often the row executed (shown, never edited)
//   offset 5 "Kurve"     the response curve, from the options in T2 (TargetOptions.h)
//   offset 6 "Fade ms"   the fade time in milliseconds, from the options in T2

#include "host/objects/HostEvents.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace tarvex::host {

enum class TargetColumn {
    Kind = 0,
    Universe = 1,
    Channel = 2,
    Label = 3,
    Hits = 4,
    Curve = 5,
    FadeMs = 6
};
constexpr int TargetColumnCount = 7;

struct TargetColumnHeader {
    const char *caption;
    int widthTwips;
};
constexpr std::array<TargetColumnHeader, TargetColumnCount> TargetColumnHeaders{{
    {"Ziel", 1100},
    {"Universum", 1000},
    {"Kanal", 800},
    {"Name", 1500},
    {"Treffer", 800},
    {"Kurve", 900},
    {"Fade ms", 800},
}};

// The kind texts. DmxKind writes a channel's level, Dmx16Kind a 16-bit level as the channel's
// coarse byte and the next channel's fine byte; other kinds write nothing.
constexpr std::string_view DmxKind = "DMX";
constexpr std::string_view Dmx16Kind = "DMX16";
constexpr std::string_view DisabledKind = "Deaktiviert";

// The column at an offset from the first target column, if it is one of ours.
std::optional<TargetColumn> targetColumnAt(int column, int firstColumn);

// The text a target shows in a column. Values without a text form (Null, objects, arrays) show
// as empty cells. The hits column is the factory's to fill (it knows the counts): "" here.
std::string targetCellText(const TargetValues &values, TargetColumn column);

// Takes a cell's text into the target's value of that column. A universe or channel text that is
// no whole number in range leaves the value as it was; an empty one means none (0). A curve or
// fade time rewrites T2 as the target's options (a note there gives way to them); a text that is
// no curve name or fade time leaves T2 as it was.
void takeTargetCellText(TargetValues &values, TargetColumn column, const std::string &text);

} // namespace tarvex::host
