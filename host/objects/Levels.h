#pragma once
// Levels: how a target turns the value it is executed with into a channel level. The value's
// position within the limits is an exact fraction, a response curve bends it, and the level is
// the bent position times the channel's full level (255 for 8 bits, 65535 for 16), rounded to
// the nearest whole number, halves to even, all in exact integer arithmetic.
//
//   Position p = positionOf(value, min, max);          // (clamp(value) - min) / (max - min)
//   uint32_t dimmer = curvedLevel(Curve::Square, p, FullLevel8);
//   uint32_t pan = curvedLevel(Curve::Linear, p, FullLevel16);

#include <cstdint>
#include <optional>
#include <string_view>

namespace tarvex::host {

inline constexpr uint32_t FullLevel8 = 255;
inline constexpr uint32_t FullLevel16 = 65535;

enum class Curve { Linear, Square, SquareRoot, SCurve };

// The curves' names in a target's options and the "Kurve" column.
std::string_view curveName(Curve curve);
std::optional<Curve> curveNamed(std::string_view name);
inline constexpr Curve Curves[] = {Curve::Linear, Curve::Square, Curve::SquareRoot, Curve::SCurve};

// A position in [0, 1] as numerator / denominator (denominator > 0, numerator <= denominator).
struct Position {
    uint64_t numerator = 0;
    uint64_t denominator = 1;
};

// The value clamped into the limits, and its distance from min as a share of max - min. Limits
// in reverse order count from min all the same (min is 0, max is 1). Equal limits have no range:
// a value at or above them is 1, a value below them 0.
Position positionOf(int32_t value, int32_t min, int32_t max);

// round(curve(position) x full), halves to even. The curves: linear p, square p^2, square root
// sqrt(p), S-curve 3p^2 - 2p^3 (smoothstep: slow at both ends, steep in the middle).
uint32_t curvedLevel(Curve curve, Position position, uint32_t full);

} // namespace tarvex::host
