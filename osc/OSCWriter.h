#pragma once
// OSCWriter: one OSC message as the bytes of a datagram, for sending.
//
//   std::vector<uint8_t> out;
//   OSCWriter::writeMessage("/fader1", "f", argumentBytes, out);
//   OSCWriter::rewriteMessage(received[0].message(), datagram, out);   // as it came, on its own
//
// The writer does not interpret arguments: they are the bytes of the values in OSC's encoding,
// as a message carried them. Rewriting a decoded message takes its address and argument bytes
// from the datagram it was decoded from, so a float keeps every bit and a blob or a 64-bit
// value stays what it was; a bundle's element becomes a message of its own. Decoding the result
// gives the same message the datagram gave (the decoder reads missing trailing words as 0, and
// so does it on the rewritten message).

#include "osc/OSCMessages.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace tarvex::osc {

class OSCWriter {
public:
    // Replaces out with the message: the address (bytes as on the wire) and a zero, padded to
    // four; a comma, the type tags and a zero, padded to four; the argument bytes, padded with
    // zeros to four. Empty tags write "," alone, the form of a message without arguments.
    static void writeMessage(std::string_view address, std::string_view typeTags,
                             std::span<const uint8_t> arguments, std::vector<uint8_t> &out);

    // Replaces out with the message as it came in `datagram`, the bytes it was decoded from.
    static void rewriteMessage(const OSCMessage &message, std::span<const uint8_t> datagram,
                               std::vector<uint8_t> &out);
};

} // namespace tarvex::osc
