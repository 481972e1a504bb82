#pragma once
// TrafficTables: what the plug-in has heard on its socket, per sender endpoint and per address
// that no action row took. Both tables are bounded: the least recently seen entry makes room
// and is counted, so a sender with ever new ports or addresses cannot grow memory.
//
//   TrafficTables traffic;
//   EndpointTraffic *sender = nullptr;
//   if (traffic.datagram(from, bytes, now, sender) == TrafficTables::Arrival::Back) ...;
//   traffic.unmatched("/nobody/takes/this", now);
//
// Times are the caller's milliseconds (a steady clock).

#include "controllers/LruTable.h"
#include "engine/Endpoint.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tarvex {

struct EndpointTraffic {
    int64_t firstSeen = 0;
    int64_t lastSeen = 0;
    uint64_t datagrams = 0;
    uint64_t bytes = 0;
    uint64_t failed = 0;
    std::string lastAddress;
    bool present = false; // heard within the last SilenceMs

    void reset()
    {
        firstSeen = lastSeen = 0;
        datagrams = bytes = failed = 0;
        lastAddress.clear(); // keeps its buffer for the next sender
        present = false;
    }
};

struct UnmatchedTraffic {
    uint64_t messages = 0;
    int64_t lastSeen = 0;
};

class TrafficTables {
public:
    static constexpr size_t EndpointCapacity = 256;
    static constexpr size_t AddressCapacity = 1024;
    // A sender silent this long has gone; its next datagram brings it back.
    static constexpr int64_t SilenceMs = 10'000;
    // Addresses are kept up to this many bytes (longer ones share an entry by their start).
    static constexpr size_t MaxAddressBytes = 255;

    TrafficTables(size_t endpoints = EndpointCapacity, size_t addresses = AddressCapacity)
        : m_endpoints(endpoints), m_unmatched(addresses)
    {}

    enum class Arrival { Known, New, Back };
    // Counts one datagram of `bytes` from the sender; `record` is then its entry. New for a
    // sender not in the table, Back for its first datagram after SilenceMs.
    Arrival datagram(const Endpoint &from, size_t bytes, int64_t now, EndpointTraffic *&record);
    // One message that no row took.
    void unmatched(std::string_view address, int64_t now);
    // Senders present but silent for SilenceMs are marked gone and handed to gone(endpoint).
    // Returns the milliseconds until the next sender could go, or -1 when none is present.
    template <class F> int64_t expire(int64_t now, F gone);

    static void setLastAddress(EndpointTraffic &record, std::string_view address)
    {
        address = address.substr(0, MaxAddressBytes);
        // A controller mostly repeats its addresses' lengths: a plain copy then (per datagram).
        if (record.lastAddress.size() == address.size())
            std::memcpy(record.lastAddress.data(), address.data(), address.size());
        else
            record.lastAddress.assign(address);
    }
    static Endpoint endpointOf(uint64_t key)
    {
        return {static_cast<uint32_t>(key >> 16), static_cast<uint16_t>(key & 0xFFFF)};
    }

    LruTable<uint64_t, EndpointTraffic> &endpoints() { return m_endpoints; }
    const LruTable<uint64_t, EndpointTraffic> &endpoints() const { return m_endpoints; }
    const LruTable<std::string, UnmatchedTraffic> &unmatchedAddresses() const
    {
        return m_unmatched;
    }

private:
    LruTable<uint64_t, EndpointTraffic> m_endpoints;
    LruTable<std::string, UnmatchedTraffic> m_unmatched;
};

template <class F> int64_t TrafficTables::expire(int64_t now, F gone)
{
    int64_t next = -1;
    m_endpoints.forEach([&](uint64_t key, EndpointTraffic &t) {
        if (!t.present)
            return true;
        const int64_t left = t.lastSeen + SilenceMs - now;
        if (left <= 0) {
            t.present = false;
            gone(endpointOf(key));
        } else if (next < 0 || left < next) {
            next = left;
        }
        return true;
    });
    return next;
}

} // namespace tarvex
