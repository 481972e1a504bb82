#pragma once
// Small shared helpers of the action engine: the random action numbers.

#include <cstdint>
#include <random>

namespace tarvex {

// A uniformly drawn integer n with low <= n <= high: the integer part of
// (random number in [0, 1)) * (high - low + 1) + low. Raises error 6 when high - low + 1 does not
// fit 32 bits.
int32_t randomInRange(std::mt19937 &random, int32_t low, int32_t high);

// The lowest and highest number a new action draws.
constexpr int32_t FirstActionId = 1;
constexpr int32_t LastActionId = 2147483600;

} // namespace tarvex
