#pragma once
// Endpoint: where a datagram came from, or where one goes: an IPv4 address and a UDP port, both
// in host byte order. The zero endpoint stands for "unknown" (a datagram handed in by code).
//
//   Endpoint from{0x7F000001, 9000};
//   from.text();   // "127.0.0.1:9000"

#include <cstdint>
#include <string>

namespace tarvex {

struct Endpoint {
    uint32_t address = 0;
    uint16_t port = 0;

    bool operator==(const Endpoint &) const = default;
    bool known() const { return address != 0 || port != 0; }
    // One number per endpoint, for tables keyed by it.
    uint64_t key() const { return uint64_t{address} << 16 | port; }
    // "A.B.C.D:PORT".
    std::string text() const
    {
        return std::to_string(address >> 24) + "." + std::to_string(address >> 16 & 0xFF) + "." +
               std::to_string(address >> 8 & 0xFF) + "." + std::to_string(address & 0xFF) + ":" +
               std::to_string(port);
    }
};

} // namespace tarvex
