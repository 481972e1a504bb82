#pragma once
// ObjectHandler: runs a satisfied condition's host target with a scaled value.

#include "engine/PluginState.h"

namespace tarvex {

// Notifies the host (UserInteraction on the helper's MyStream), scales the value with the
// condition's parameters (defaults: outMin 0, outMax 255, Min 0, Max 255, value 127 when the
// value or an input bound is not numeric) and executes the cached host target. A target whose
// first value is "Deaktiviert" runs nothing after the notification.
void executeAction(PluginState &state, const Variant &value, const VarArray &parameters,
                   const VarArray &target);

// executeAction with the condition's cells read beforehand (see PreparedAction); `target` is
// the condition's target array, read again only to create the host target.
void executePrepared(PluginState &state, const Variant &value, PreparedAction &prepared,
                     const VarArray &target);

// The linear map of value from [inMin, inMax] to [outMin, outMax] in exact decimals, rounded
// half to even: round((value - inMin) * (outMax - outMin) / (inMax - inMin)) + outMin. Equal
// input bounds, or a term that does not fit 32 bits, give outMin. Returns a 32-bit integer.
Variant scaleValue(const Variant &value, const Variant &inMin, const Variant &inMax, int32_t outMin,
                   int32_t outMax);

// The host target for a condition's five creation values, created through the host's target
// factory on first use and cached under the text of the values joined together.
HostTargetPtr getTarget(PluginState &state, const VarArray &target);

// Releases, through the factory, every cached target that no condition of the table uses.
void releaseUnusedTargets(PluginState &state);

// The cache key of a condition's target: the text of T0 to T4 joined without separator.
std::string targetKey(const VarArray &target);

} // namespace tarvex
