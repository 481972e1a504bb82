#pragma once
// DispatchListener: what the engine tells about every datagram it handles, for the plug-in's
// view of the network (who sends, what no row takes, what to send on to other controllers). The
// engine runs without one; the plug-in sets EngineState::dispatchListener.
//
//   state.dispatchListener = &controllers;
//   handleDatagram(state, bytes, Endpoint{0x7F000001, 9000});

#include "engine/Endpoint.h"
#include "osc/OSCMessages.h"

#include <cstdint>
#include <span>

namespace tarvex {

// What became of one element of a datagram's element list.
enum class MessageFate : uint8_t {
    Skipped,   // not dispatched: a nested bundle, the socket closed, or the table changed under it
    Learned,   // learn mode took it
    Unmatched, // no row has its address and type tags
    Taken,     // a row has them, but no condition was satisfied
    Executed,  // at least one action ran for it
};

class DispatchListener {
public:
    virtual ~DispatchListener() = default;
    // A datagram was decoded and handled; `fates` has one entry per element of `messages`,
    // which were decoded from `datagram`. Called before handleDatagram returns, while both are
    // valid; it must not hand the engine another datagram.
    virtual void datagramHandled(const Endpoint &source, std::span<const uint8_t> datagram,
                                 const osc::OSCMessages &messages,
                                 std::span<const MessageFate> fates) = 0;
    // A datagram could not be decoded, or its handling failed part-way.
    virtual void datagramFailed(const Endpoint &source, std::span<const uint8_t> datagram) = 0;
};

} // namespace tarvex
