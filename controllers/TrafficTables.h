#pragma once
// TrafficTables: what the plug-in has heard on its socket, per sender endpoint and per address
// that no action row took. A sender becomes a controller when one of its messages made a row
// run; controllers are kept in a table of their own, so that a flood of other senders can push
// out only other senders. All tables are bounded: the least recently seen entry makes room and
// is counted, so a sender with ever new ports or addresses cannot grow memory.
//
//   TrafficTables traffic;
//   TrafficTables::Arrival a = traffic.datagram(from, bytes, now, true);
//   if (!a.controller && aRowRan) traffic.promote(from, [](const Endpoint &gone) { ... });
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
    uint64_t lastArrival = 0; // the number of its last datagram, counting every sender's
    uint64_t datagrams = 0;
    uint64_t bytes = 0;
    uint64_t failed = 0;    // could not be decoded or handled
    uint64_t irregular = 0; // decoded, but read leniently
    std::string lastAddress;
    bool present = false; // a controller whose last decoded datagram came within SilenceMs

    void reset()
    {
        firstSeen = lastSeen = 0;
        lastArrival = datagrams = bytes = failed = irregular = 0;
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
    // Senders that are not controllers, and as many controllers.
    static constexpr size_t EndpointCapacity = 256;
    static constexpr size_t AddressCapacity = 1024;
    // A controller silent this long has gone; its next decoded datagram brings it back.
    static constexpr int64_t SilenceMs = 10'000;
    // Addresses are kept up to this many bytes (longer ones share an entry by their start).
    static constexpr size_t MaxAddressBytes = 255;

    TrafficTables(size_t endpoints = EndpointCapacity, size_t addresses = AddressCapacity)
        : m_senders(endpoints), m_controllers(endpoints), m_unmatched(addresses)
    {}

    struct Arrival {
        EndpointTraffic *record; // the sender's entry, valid until the tables change
        bool controller;
        bool back; // a controller's first decoded datagram after it went silent
    };
    // Counts one datagram of `bytes` from the sender; a decoded one keeps a controller present.
    Arrival datagram(const Endpoint &from, size_t bytes, int64_t now, bool decoded);
    // The sender, not yet a controller, becomes one, present; its counts go with it. A present
    // controller pushed out to make room is handed to gone(endpoint) first.
    template <class F> EndpointTraffic &promote(const Endpoint &from, F gone);
    // One message that no row took.
    void unmatched(std::string_view address, int64_t now);
    // Controllers present but silent for SilenceMs are marked gone and handed to gone(endpoint).
    // Returns the milliseconds until the next one could go, or -1 when none is present.
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

    // Both tables, most recently heard first, by endpoint key.
    const LruTable<uint64_t, EndpointTraffic> &senders() const { return m_senders; }
    const LruTable<uint64_t, EndpointTraffic> &controllers() const { return m_controllers; }
    // Senders and controllers pushed out to make room.
    uint64_t evictions() const { return m_senders.evictions() + m_controllers.evictions(); }
    const LruTable<std::string, UnmatchedTraffic> &unmatchedAddresses() const
    {
        return m_unmatched;
    }

private:
    LruTable<uint64_t, EndpointTraffic> m_senders;
    LruTable<uint64_t, EndpointTraffic> m_controllers;
    LruTable<std::string, UnmatchedTraffic> m_unmatched;
    uint64_t m_arrivals = 0;
};

template <class F> EndpointTraffic &TrafficTables::promote(const Endpoint &from, F gone)
{
    bool added = false;
    EndpointTraffic &c =
        m_controllers.touch(from.key(), added, [&](uint64_t key, const EndpointTraffic &evicted) {
            if (evicted.present)
                gone(endpointOf(key));
        });
    if (const EndpointTraffic *sender = m_senders.find(from.key())) {
        c.firstSeen = sender->firstSeen;
        c.lastSeen = sender->lastSeen;
        c.lastArrival = sender->lastArrival;
        c.datagrams = sender->datagrams;
        c.bytes = sender->bytes;
        c.failed = sender->failed;
        c.irregular = sender->irregular;
        c.lastAddress.assign(sender->lastAddress);
        m_senders.erase(from.key());
    }
    c.present = true;
    return c;
}

template <class F> int64_t TrafficTables::expire(int64_t now, F gone)
{
    int64_t next = -1;
    m_controllers.forEach([&](uint64_t key, EndpointTraffic &t) {
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
