#include "controllers/TrafficTables.h"

namespace tarvex {

TrafficTables::Arrival TrafficTables::datagram(const Endpoint &from, size_t bytes, int64_t now,
                                               bool decoded)
{
    Arrival arrival{m_controllers.use(from.key()), true, false};
    if (arrival.record) {
        EndpointTraffic &c = *arrival.record;
        if (decoded) {
            arrival.back = !c.present || now - c.lastSeen >= SilenceMs;
            c.present = true;
        }
    } else {
        bool added = false;
        arrival.record = &m_senders.touch(from.key(), added);
        arrival.controller = false;
        if (added)
            arrival.record->firstSeen = now;
    }
    EndpointTraffic &t = *arrival.record;
    t.lastSeen = now;
    t.lastArrival = ++m_arrivals;
    ++t.datagrams;
    t.bytes += bytes;
    return arrival;
}

void TrafficTables::unmatched(std::string_view address, int64_t now)
{
    bool added = false;
    UnmatchedTraffic &u = m_unmatched.touch(address.substr(0, MaxAddressBytes), added);
    ++u.messages;
    u.lastSeen = now;
}

} // namespace tarvex
