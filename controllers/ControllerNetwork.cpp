#include "controllers/ControllerNetwork.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <utility>

namespace tarvex {
namespace {

// Controls and other characters that do not print, and the backslash that starts an escape,
// as \xNN: what a sender of garbage wrote stays readable and tells its bytes.
std::string printable(std::string_view text)
{
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<uint8_t>(text[i]);
        // U+0080..U+009F, the C1 controls, are C2 80..C2 9F in UTF-8.
        const bool c1 = byte == 0xC2 && i + 1 < text.size() &&
                        static_cast<uint8_t>(text[i + 1]) >= 0x80 &&
                        static_cast<uint8_t>(text[i + 1]) <= 0x9F;
        const uint8_t code = c1 ? static_cast<uint8_t>(text[++i]) : byte;
        if (c1 || byte < 0x20 || byte == 0x7F || byte == '\\')
            out += {'\\', 'x', Hex[code >> 4], Hex[code & 0xF]};
        else
            out += text[i];
    }
    return out;
}

} // namespace

int64_t ControllerNetwork::steadyMilliseconds()
{
    // The coarse clock costs a few nanoseconds per datagram; its ticks of a few milliseconds
    // are plenty for the silence, the pacing and "last seen".
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1'000'000;
}

ControllerNetwork::ControllerNetwork(ControllerPort &port, const FeedbackSettings &settings,
                                     Clock clock)
    : m_port(port), m_settings(settings), m_clock(clock), m_feedback(port), m_mode(settings.mode)
{}

void ControllerNetwork::datagramHandled(const Endpoint &source, std::span<const uint8_t> datagram,
                                        const osc::OSCMessages &messages,
                                        std::span<const MessageFate> fates)
{
    const int64_t now = m_clock();
    m_feedback.received(messages.size(), datagram.size());
    TrafficTables::Arrival sender = m_traffic.datagram(source, datagram.size(), now, true);
    sender.record->irregular += messages.irregular();

    // A lone message as OSC writes it is sent on as it came (regular, the datagram starts with
    // its address, not with "#bundle").
    const bool alone = messages.size() == 1 && !messages.irregular() && datagram[0] == '/';
    bool executed = false;
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
        } else if (fate == MessageFate::Executed) {
            executed = true;
            m_feedback.executed(source, message, datagram, alone, m_settings);
        }
    }
    if (executed ? !sender.controller : sender.back)
        sender.record = &arrived(source, sender);
    if (last)
        TrafficTables::setLastAddress(*sender.record, last->address());
    changed();
}

void ControllerNetwork::datagramFailed(const Endpoint &source, std::span<const uint8_t> datagram)
{
    m_feedback.received(0, datagram.size());
    ++m_traffic.datagram(source, datagram.size(), m_clock(), false).record->failed;
    changed();
}

EndpointTraffic &ControllerNetwork::arrived(const Endpoint &source,
                                            const TrafficTables::Arrival &sender)
{
    EndpointTraffic &record = sender.controller
                                  ? *sender.record
                                  : m_traffic.promote(source, [&](const Endpoint &e) { gone(e); });
    if (!m_expiryAsked) {
        m_expiryAsked = true;
        m_port.expireIn(TrafficTables::SilenceMs);
    }
    if (feedbackOn())
        m_feedback.sendState(source, m_settings);
    if (onController)
        onController(source, sender.controller ? ControllerChange::Back : ControllerChange::New);
    return record;
}

void ControllerNetwork::gone(const Endpoint &controller)
{
    m_feedback.controllerGone(controller, m_settings);
    if (onController)
        onController(controller, ControllerChange::Gone);
}

void ControllerNetwork::flushFeedback()
{
    m_feedback.flush(m_traffic, m_settings, m_clock());
}

void ControllerNetwork::expire()
{
    const int64_t next = m_traffic.expire(m_clock(), [&](const Endpoint &e) { gone(e); });
    m_expiryAsked = next >= 0;
    if (m_expiryAsked)
        m_port.expireIn(next);
    changed();
}

void ControllerNetwork::feedbackChanged()
{
    const FeedbackMode was = std::exchange(m_mode, m_settings.mode);
    if (!feedbackOn()) {
        m_feedback.stop();
    } else if (was == FeedbackMode::Off) {
        const int64_t heardSince = m_clock() - int64_t{m_settings.recentMinutes} * 60'000;
        m_traffic.controllers().forEach([&](uint64_t key, const EndpointTraffic &t) {
            if (t.lastSeen < heardSince)
                return false;
            m_feedback.sendState(TrafficTables::endpointOf(key), m_settings);
            return true;
        });
    }
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
    // Both tables, merged in the order their senders were last heard.
    struct Heard {
        uint64_t key;
        const EndpointTraffic *entry;
        bool controller;
    };
    std::vector<Heard> heard;
    m_traffic.controllers().forEach([&](uint64_t key, const EndpointTraffic &e) {
        heard.push_back({key, &e, true});
        return true;
    });
    m_traffic.senders().forEach([&](uint64_t key, const EndpointTraffic &e) {
        heard.push_back({key, &e, false});
        return true;
    });
    std::ranges::sort(heard, std::ranges::greater{},
                      [](const Heard &h) { return h.entry->lastArrival; });
    for (const auto &[key, e, controller] : heard)
        t.controllers.push_back({TrafficTables::endpointOf(key).text(), wall(e->firstSeen),
                                 wall(e->lastSeen), e->datagrams, e->bytes, e->failed,
                                 printable(e->lastAddress), e->irregular, controller});
    m_traffic.unmatchedAddresses().forEach(
        [&](const std::string &address, const UnmatchedTraffic &u) {
            t.unmatched.push_back({printable(address), u.messages, wall(u.lastSeen)});
            return true;
        });
    t.controllersEvicted = m_traffic.evictions();
    t.unmatchedEvicted = m_traffic.unmatchedAddresses().evictions();
    t.feedbackSent = m_feedback.sent();
    t.feedbackDropped = m_feedback.dropped();
    t.echoesHeldBack = m_feedback.echoesHeldBack();
    t.feedback = m_settings;
    return t;
}

} // namespace tarvex
