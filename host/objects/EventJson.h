#pragma once
// The JSON lines the headless host prints for the events of its objects, one object per line
// (without the line break):
//
//   {"event":"execute","target":["DMX","Spot","",1,7],"value":128,"min":0,"max":255}
//   {"event":"userInteraction"}
//
// T0..T2 are written as strings (a value without a text form as ""), T3, T4 and the numbers as
// JSON numbers.

#include "core/Json.h"
#include "host/objects/HostEvents.h"

#include <string>
#include <string_view>

namespace tarvex::host {

std::string executeEventJson(const TargetValues &target, int32_t value, int32_t min, int32_t max);
std::string userInteractionEventJson();

} // namespace tarvex::host
