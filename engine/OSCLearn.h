#pragma once
// OSCLearn: learn mode records each received address once, with its type tags and the smallest
// and largest value of each numeric argument, in state.learnedMessages.
//
// A learned entry is [address, typeTags (array of texts), groups], where groups(g)(k) is
// [smallest, largest] for the k-th numeric argument of the g-th kind, [value] for a text.

#include "engine/EngineState.h"

namespace tarvex {

void learnMessages(EngineState &state, const osc::OSCMessages &messages);

namespace learned {
constexpr int32_t Address = 0;
constexpr int32_t TypeTags = 1;
constexpr int32_t Groups = 2;
} // namespace learned

} // namespace tarvex
