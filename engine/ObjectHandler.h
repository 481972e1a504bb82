#pragma once
// ObjectHandler: runs a satisfied condition's host target with a scaled value.

#include "engine/EngineState.h"

namespace tarvex {

// Notifies the host (UserInteraction on the helper's MyStream), scales the value with the
// condition's parameters (defaults: outMin 0, outMax 255, Min 0, Max 255, value 127 when the
// value or an input bound is not numeric) and executes the host target from getTarget. A target
// whose first value is "Deaktiviert" runs nothing after the notification.
//
// It works on copies of parameters and target: for arrays of the current table the copies
// made once per table change (PreparedActions), for any other arrays copies made here. The
// arrays are not read after the first host call, so a host that replaces the table meanwhile
// does not change what this action does. `value` must stay valid for the call: dispatch hands
// in decoded arguments, which nothing changes while a datagram is handled.
//
// `row` is the index in the action table of the row the condition belongs to: a host that
// counts hits per row (IHostRowHits) is told that row's key right before the target executes,
// NoRow for NotARow.
inline constexpr int32_t NotARow = -1;
void executeAction(EngineState &state, const Variant &value, const VarArray &parameters,
                   const VarArray &target, int32_t row = NotARow);

// The linear map of value from [inMin, inMax] to [outMin, outMax] in exact decimals, rounded
// half to even: round((value - inMin) * (outMax - outMin) / (inMax - inMin)) + outMin. Equal
// input bounds, or a term that does not fit 32 bits, give outMin. Returns a 32-bit integer.
Variant scaleValue(const Variant &value, const Variant &inMin, const Variant &inMax, int32_t outMin,
                   int32_t outMax);

// The host target for a condition's five creation values (a target array converts to a
// PreparedTarget), created through the host's target factory on first use and cached under
// targetKey. The prepared target remembers what it found while the cache is unchanged, so a
// prepared condition finds its host target without a lookup.
HostTargetPtr getTarget(EngineState &state, const PreparedTarget &target);

// Releases, through the factory, every cached target that no condition of the table uses.
void releaseUnusedTargets(EngineState &state);

// The cache key of a condition's target: the text of T0 to T4, each after its length, so that
// two targets share a key only when all five texts are equal ("1" and "21" never meet "12" and
// "1").
std::string targetKey(const VarArray &target);

} // namespace tarvex
