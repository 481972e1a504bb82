#pragma once
// The four target columns the host adds to the plug-in's editor list, and the texts a target
// shows in them. Column offsets count from the first target column the editor hands over (10).
//
//   offset 0 "Ziel"      the kind, T0: "DMX", "Deaktiviert" or "" (none)
//   offset 1 "Universum" T3, the universe 1..255; empty for 0 (none chosen)
//   offset 2 "Kanal"     T4, the channel 1..512; empty for 0 (none chosen)
//   offset 3 "Name"      T1, a label of the user's
//
// T2 is kept for the user's notes and not shown.

#include "host/HostEvents.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace tarvex::host {

enum class TargetColumn { Kind = 0, Universe = 1, Channel = 2, Label = 3 };
constexpr int TargetColumnCount = 4;

struct TargetColumnHeader {
    const char *caption;
    int widthTwips;
};
constexpr std::array<TargetColumnHeader, TargetColumnCount> TargetColumnHeaders{{
    {"Ziel", 1100},
    {"Universum", 1000},
    {"Kanal", 800},
    {"Name", 1500},
}};

// The kind texts. Only DmxKind makes a target write levels.
constexpr std::string_view DmxKind = "DMX";
constexpr std::string_view DisabledKind = "Deaktiviert";

// The column at an offset from the first target column, if it is one of ours.
std::optional<TargetColumn> targetColumnAt(int column, int firstColumn);

// The text a target shows in a column. Values without a text form (Null, objects, arrays) show
// as empty cells.
std::string targetCellText(const TargetValues &values, TargetColumn column);

// Takes a cell's text into the target's value of that column. A universe or channel text that is
// no whole number in range leaves the value as it was; an empty one means none (0).
void takeTargetCellText(TargetValues &values, TargetColumn column, const std::string &text);

} // namespace tarvex::host
