#pragma once
// OSCReader: turns the bytes of one UDP datagram into the OSC messages it carries.
//
//   OSCMessages received;
//   try { OSCReader::readPacket(datagram, received); } catch (const VbError &) { /* dropped */ }
//
// Lenient where OSC is strict: padding bytes are not checked, a missing type-tag string is read
// as "no arguments", unknown tags are kept; tags that carry data in OSC 1.0/1.1 ("b", "h", "t",
// "d", "c", "r", "m", "S") consume their bytes but give no value. A datagram is abandoned (a
// VbError is raised and the output left empty) when a four-byte read finds only part of its
// bytes, a blob runs past the end, a message holds more than 51 values of one kind, a position
// would pass index 32767, or a float cannot be held as a decimal (Inf, NaN, |x| >= 2^96).
// A datagram read leniently is decoded all the same and marked (OSCMessages::irregular), so
// that a sender of broken OSC can be told apart; padding bytes' contents are not looked at.
// The decoder is pure: signalling reception is its caller's business.

#include "osc/OSCMessages.h"

#include <cstdint>
#include <span>

namespace tarvex::osc {

class OSCReader {
public:
    // Decodes the datagram into out, replacing what out held.
    static void readPacket(std::span<const uint8_t> datagram, OSCMessages &out);
};

} // namespace tarvex::osc
