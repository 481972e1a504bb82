#include "controllers/Feedback.h"

#include <algorithm>

namespace tarvex {
namespace {

size_t hashOf(std::span<const uint8_t> bytes)
{
    return std::hash<std::string_view>{}(
        std::string_view(reinterpret_cast<const char *>(bytes.data()), bytes.size()));
}

} // namespace

Feedback::Feedback(FeedbackPort &port) : m_port(port)
{
    m_pending.reserve(AddressCapacity);
}

Endpoint Feedback::destinationOf(const Endpoint &controller, const FeedbackSettings &settings)
{
    return {controller.address,
            settings.port == FeedbackSettings::SourcePort ? controller.port : settings.port};
}

void Feedback::executed(const Endpoint &from, std::string_view address,
                        std::span<const uint8_t> bytes, const FeedbackSettings &settings,
                        int64_t now)
{
    const size_t hash = hashOf(bytes);
    if (isEcho(destinationOf(from, settings), hash, now)) {
        ++m_echoes;
        return;
    }
    bool added = false;
    Message &m = m_last.touch(address, added);
    m.bytes.assign(bytes.begin(), bytes.end());
    m.hash = hash;
    m.from = from;
    if (!m.pending) {
        m.pending = true;
        m_pending.push_back(&m);
    }
    if (!m_flushAsked) {
        m_flushAsked = true;
        m_port.flushSoon();
    }
}

bool Feedback::isEcho(const Endpoint &destination, size_t hash, int64_t now)
{
    const Destination *d = m_destinations.find(destination.key());
    if (!d)
        return false;
    for (size_t i = 0; i < d->count; ++i)
        if (d->hashes[i] == hash && now - d->times[i] < EchoWindowMs)
            return true;
    return false;
}

void Feedback::send(const Endpoint &to, Destination &destination, const Message &message,
                    int64_t now)
{
    if (!m_port.sendDatagram(to, message.bytes)) {
        ++m_dropped;
        return;
    }
    ++m_sent;
    destination.hashes[destination.next] = message.hash;
    destination.times[destination.next] = now;
    destination.next = static_cast<uint8_t>((destination.next + 1) % RecentSends);
    destination.count = static_cast<uint8_t>(std::min<size_t>(destination.count + 1u, RecentSends));
}

void Feedback::flush(const TrafficTables &traffic, const FeedbackSettings &settings, int64_t now)
{
    m_flushAsked = false;
    if (m_pending.empty())
        return;
    const int64_t heardSince = now - int64_t{settings.recentMinutes} * 60'000;
    for (Message *pending : m_pending) {
        pending->pending = false;
        const Message &message = *pending;
        ++m_serial;
        const Endpoint sender = destinationOf(message.from, settings);
        traffic.endpoints().forEach([&](uint64_t key, const EndpointTraffic &t) {
            if (t.lastSeen < heardSince)
                return false; // the rest were heard even earlier
            const Endpoint to = destinationOf(TrafficTables::endpointOf(key), settings);
            if (to == sender)
                return true;
            bool added = false;
            Destination &d = m_destinations.touch(to.key(), added);
            if (d.serial != m_serial) { // several senders may share a destination
                d.serial = m_serial;
                send(to, d, message, now);
            }
            return true;
        });
    }
    m_pending.clear();
}

void Feedback::appeared(const Endpoint &controller, const FeedbackSettings &settings, int64_t now)
{
    const Endpoint to = destinationOf(controller, settings);
    bool added = false;
    Destination &d = m_destinations.touch(to.key(), added);
    m_last.forEachOldestFirst([&](const std::string &, const Message &message) {
        send(to, d, message, now);
        return true;
    });
}

void Feedback::forget()
{
    for (Message *pending : m_pending)
        pending->pending = false;
    m_pending.clear();
    m_last.clear();
    m_destinations.clear();
}

} // namespace tarvex
