#include "controllers/TrafficTables.h"

namespace tarvex {

TrafficTables::Arrival TrafficTables::datagram(const Endpoint &from, size_t bytes, int64_t now,
                                               EndpointTraffic *&record)
{
    bool added = false;
    EndpointTraffic &t = m_endpoints.touch(from.key(), added);
    Arrival arrival = Arrival::Known;
    if (added) {
        t.firstSeen = now;
        arrival = Arrival::New;
    } else if (!t.present || now - t.lastSeen >= SilenceMs) {
        arrival = Arrival::Back;
    }
    t.present = true;
    t.lastSeen = now;
    ++t.datagrams;
    t.bytes += bytes;
    record = &t;
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
