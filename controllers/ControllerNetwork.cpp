#include "controllers/ControllerNetwork.h"

#include "osc/OSCWriter.h"

#include <cstdlib>
#include <ctime>

namespace tarvex {

int64_t ControllerNetwork::steadyMilliseconds()
{
    // The coarse clock costs a few nanoseconds per datagram; its ticks of a few milliseconds
    // are plenty for the silence, the echo window and "last seen".
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1'000'000;
}

ControllerNetwork::ControllerNetwork(ControllerPort &port, const FeedbackSettings &settings,
                                     Clock clock)
    : m_port(port), m_settings(settings), m_clock(clock), m_feedback(port)
{}

EndpointTraffic &ControllerNetwork::count(const Endpoint &source, size_t bytes, int64_t now)
{
    EndpointTraffic *record = nullptr;
    const TrafficTables::Arrival arrival = m_traffic.datagram(source, bytes, now, record);
    if (!m_expiryAsked) {
        m_expiryAsked = true;
        m_port.expireIn(TrafficTables::SilenceMs);
    }
    if (arrival != TrafficTables::Arrival::Known) {
        if (m_settings.mode == FeedbackMode::Others)
            m_feedback.appeared(source, m_settings, now);
        if (onController)
            onController(source, arrival == TrafficTables::Arrival::New ? ControllerChange::New
                                                                        : ControllerChange::Back);
    }
    changed();
    return *record;
}

void ControllerNetwork::datagramHandled(const Endpoint &source, std::span<const uint8_t> datagram,
                                        const osc::OSCMessages &messages,
                                        std::span<const MessageFate> fates)
{
    const int64_t now = m_clock();
    EndpointTraffic &sender = count(source, datagram.size(), now);
    const bool feedback = m_settings.mode == FeedbackMode::Others;
    size_t index = 0;
    const osc::OSCMessage *last = nullptr;
    for (osc::OSCMessages::Element element : messages.elements()) {
        const MessageFate fate = fates[index++];
        if (!element.isMessage())
            continue;
        const osc::OSCMessage &message = element.message();
        last = &message;
        if (fate == MessageFate::Unmatched) {
            m_traffic.unmatched(message.address(), now);
        } else if (fate == MessageFate::Executed && feedback) {
            osc::OSCWriter::rewriteMessage(message, datagram, m_message);
            m_feedback.executed(source, message.address(), m_message, m_settings, now);
        }
    }
    if (last)
        TrafficTables::setLastAddress(sender, last->address());
}

void ControllerNetwork::datagramFailed(const Endpoint &source, std::span<const uint8_t> datagram)
{
    ++count(source, datagram.size(), m_clock()).failed;
}

void ControllerNetwork::flushFeedback()
{
    m_feedback.flush(m_traffic, m_settings, m_clock());
}

void ControllerNetwork::expire()
{
    const int64_t next = m_traffic.expire(m_clock(), [&](const Endpoint &gone) {
        if (onController)
            onController(gone, ControllerChange::Gone);
    });
    m_expiryAsked = next >= 0;
    if (m_expiryAsked)
        m_port.expireIn(next);
    changed();
}

void ControllerNetwork::feedbackChanged()
{
    if (m_settings.mode == FeedbackMode::Off)
        m_feedback.forget();
    changed();
}

void ControllerNetwork::changed()
{
    if (m_changeAnnounced)
        return;
    m_changeAnnounced = true;
    if (onChanged)
        onChanged();
}

ControllerTables ControllerNetwork::tables(int64_t wallNowMs)
{
    m_changeAnnounced = false;
    // One offset between the clocks, so times read twice read the same; renewed when the wall
    // clock was set (a jump of more than a second).
    const int64_t offset = wallNowMs - m_clock();
    if (m_wallOffset == 0 || std::abs(offset - m_wallOffset) > 1000)
        m_wallOffset = offset;
    auto wall = [&](int64_t steady) { return steady + m_wallOffset; };
    ControllerTables t;
    m_traffic.endpoints().forEach([&](uint64_t key, const EndpointTraffic &e) {
        t.controllers.push_back({TrafficTables::endpointOf(key).text(), wall(e.firstSeen),
                                 wall(e.lastSeen), e.datagrams, e.bytes, e.failed, e.lastAddress});
        return true;
    });
    m_traffic.unmatchedAddresses().forEach(
        [&](const std::string &address, const UnmatchedTraffic &u) {
            t.unmatched.push_back({address, u.messages, wall(u.lastSeen)});
            return true;
        });
    t.controllersEvicted = m_traffic.endpoints().evictions();
    t.unmatchedEvicted = m_traffic.unmatchedAddresses().evictions();
    t.feedbackSent = m_feedback.sent();
    t.feedbackDropped = m_feedback.dropped();
    t.echoesHeldBack = m_feedback.echoesHeldBack();
    t.feedback = m_settings;
    return t;
}

} // namespace tarvex
