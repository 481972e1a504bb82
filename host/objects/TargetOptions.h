#pragma once
// TargetOptions: how a DMX target moves, kept as text in its T2 so that the plug-in stores it
// with the row unchanged: "curve=square;fade=300". Parts are separated by ";", blanks around
// names and values are ignored, and a part left out keeps its default (linear, no fade). An
// empty T2 is the defaults; a T2 that does not read as options is the user's note and also means
// the defaults.
//
//   TargetOptions o = targetOptionsOf(values.t2);   // {Curve::Square, 300 ms}
//   values.t2 = Variant(optionsText({Curve::SCurve, 1000}));  // "curve=s-curve;fade=1000"

#include "core/Variant.h"
#include "host/objects/Levels.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvex::host {

struct TargetOptions {
    // The longest fade a target takes: ten minutes.
    static constexpr uint32_t MaxFadeMs = 600000;

    Curve curve = Curve::Linear;
    uint32_t fadeMs = 0; // 0: the level jumps
    friend bool operator==(const TargetOptions &, const TargetOptions &) = default;
};

// The options a text spells, or nothing when it is no options text (a note).
std::optional<TargetOptions> readTargetOptions(std::string_view text);
// The options of a target's T2: the defaults for a note or a value that is no text.
TargetOptions targetOptionsOf(const Variant &t2);
// The shortest text for the options: the parts that differ from the defaults, curve first; the
// defaults give "".
std::string optionsText(const TargetOptions &options);

// A fade time as typed into "Fade ms": a whole number of milliseconds, 0..MaxFadeMs, blanks
// around it allowed; an empty text is 0.
std::optional<uint32_t> fadeMsOf(std::string_view text);

} // namespace tarvex::host
