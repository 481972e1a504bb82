#pragma once
// OSCHandler: what happens to one received datagram, and the activation of single actions.
//
//   handleDatagram(state, bytes);   // decode, then learn or run every satisfied condition
//   activateAction(state, 1234);    // from the host's cues

#include "engine/Endpoint.h"
#include "engine/EngineState.h"

#include <span>
#include <string_view>

namespace tarvex {

// Decodes the datagram and, with learn mode on, hands it to learn mode and the analyzer;
// otherwise, with the socket open, runs every satisfied condition of every matching row.
// A datagram that cannot be decoded, or whose handling fails, is dropped from that point on.
//
// Never re-entered: a datagram handed in while one is being handled (by a host call that ran
// a nested event loop) is copied into state.incoming and handled, in arrival order, right
// after the current one, before this call returns. Each datagram's failure drops only that
// datagram; the ones waiting are still handled, and then the first failure reaches the caller.
// `source` is the sender, for state.dispatchListener, which hears of every datagram.
void handleDatagram(EngineState &state, std::span<const uint8_t> datagram,
                    const Endpoint &source = {});

// Decides one condition: `value` (the received argument, on the left) against `compareValue`
// with `op`, for a row whose activation is `activation`. "NumarkBeat" as compareValue selects
// the beat rule, which reads and updates state.lastBeatValue.
bool evaluateCondition(EngineState &state, std::string_view op, const Variant &compareValue,
                       const Variant &value, const Variant &activation);

// Switch every row with this actionId and tick or clear its list item.
void activateAction(EngineState &state, int32_t id);
void deactivateAction(EngineState &state, int32_t id);
// Whether the first row with this id that is "Activated" or "Deactivated" is "Activated".
bool isActionActivated(const EngineState &state, int32_t id);
// Whether the row carries this actionId, as the switches above compare it.
bool rowHasActionId(const VarArray &row, int32_t id);

} // namespace tarvex
