#include "controllers/Feedback.h"

#include "osc/OSCWriter.h"

#include <algorithm>
#include <cstring>

namespace tarvex {
namespace {

size_t hashOfBytes(std::span<const uint8_t> bytes)
{
    return std::hash<std::string_view>{}(
        std::string_view(reinterpret_cast<const char *>(bytes.data()), bytes.size()));
}

} // namespace

Feedback::Feedback(FeedbackPort &port) : m_port(port)
{
    m_pending.reserve(AddressCapacity);
    m_deliveries.reserve(DestinationCapacity);
}

Endpoint Feedback::destinationOf(const Endpoint &controller, const FeedbackSettings &settings)
{
    return {controller.address,
            settings.port == FeedbackSettings::SourcePort ? controller.port : settings.port};
}

uint64_t Feedback::heldKey(const Endpoint &destination, std::string_view address)
{
    return destination.key() * 0x9E3779B97F4A7C15ULL ^ std::hash<std::string_view>{}(address);
}

void Feedback::askFlush()
{
    if (m_flushAsked)
        return;
    m_flushAsked = true;
    m_port.flushSoon();
}

void Feedback::received(size_t messages, size_t bytes)
{
    m_credit =
        std::min(CreditDatagrams, m_credit + SendsPerMessage * std::max<size_t>(messages, 1));
    m_creditBytes = std::min(CreditBytes, m_creditBytes + SendsPerMessage * bytes);
    if (m_waitingForCredit) {
        m_waitingForCredit = false;
        askFlush();
    }
}

size_t Feedback::hashOf(const Message &message)
{
    if (!message.hashed) {
        message.hash = hashOfBytes(message.bytes);
        message.hashed = true;
    }
    return message.hash;
}

uint32_t Feedback::newSlotOf(std::string_view address)
{
    bool added = false;
    return m_lastSlot = m_last.touchSlot(address, added);
}

void Feedback::executed(const Endpoint &from, const osc::OSCMessage &message,
                        std::span<const uint8_t> datagram, bool alone,
                        const FeedbackSettings &settings)
{
    auto write = [&](std::vector<uint8_t> &out) {
        if (!alone)
            osc::OSCWriter::rewriteMessage(message, datagram, out);
        else if (out.size() == datagram.size()) // a stream repeats its messages' sizes
            std::memcpy(out.data(), datagram.data(), datagram.size());
        else
            out.assign(datagram.begin(), datagram.end());
    };
    if (settings.mode != FeedbackMode::Others) {
        // Only kept: the bytes, hashed when first sent.
        Message &m = *m_last.atSlot(slotOf(message.address()));
        write(m.bytes);
        m.hashed = false;
        m.from = from;
        return;
    }
    write(m_incoming);
    const size_t hash = hashOfBytes(m_incoming);
    const uint64_t senderKey = heldKey(destinationOf(from, settings), message.address());
    if (const size_t *held = m_held.find(senderKey); held && *held == hash) {
        ++m_echoes;
        return;
    }
    const uint32_t slot = slotOf(message.address());
    Message &m = *m_last.atSlot(slot);
    m.bytes.swap(m_incoming);
    m.hash = hash;
    m.hashed = true;
    m.from = from;
    bool added = false;
    m_held.touch(senderKey, added) = hash; // the sender holds what it sent
    if (!m.pending) {
        m.pending = true;
        m_pending.push_back(slot);
    }
    askFlush();
}

void Feedback::sendState(const Endpoint &controller, const FeedbackSettings &settings)
{
    const Endpoint to = destinationOf(controller, settings);
    auto delivery = std::ranges::find(m_deliveries, to, &Delivery::to);
    if (delivery != m_deliveries.end())
        delivery->nextSlot = 0;
    else if (m_deliveries.size() < DestinationCapacity)
        m_deliveries.push_back({to, 0});
    askFlush();
}

void Feedback::controllerGone(const Endpoint &controller, const FeedbackSettings &settings)
{
    std::erase_if(m_deliveries, [to = destinationOf(controller, settings)](const Delivery &d) {
        return d.to == to;
    });
}

bool Feedback::sendTo(const Endpoint &to, std::string_view address, const Message &message,
                      bool skipHeld, Budget &budget)
{
    const uint64_t key = heldKey(to, address);
    if (skipHeld) {
        if (const size_t *held = m_held.find(key); held && *held == hashOf(message))
            return true;
    }
    if (budget.turn == 0)
        return false;
    if (m_credit == 0 || m_creditBytes < message.bytes.size()) {
        budget.outOfCredit = true;
        return false;
    }
    --budget.turn;
    --m_credit;
    m_creditBytes -= message.bytes.size();
    if (!m_port.sendDatagram(to, message.bytes)) {
        ++m_dropped;
        return true;
    }
    ++m_sent;
    bool added = false;
    m_held.touch(key, added) = hashOf(message);
    return true;
}

// One pending message to every controller heard lately but its sender; false when the budget
// ran out first (the destinations served hold it, so the next flush skips them).
bool Feedback::fanOut(uint32_t slot, const TrafficTables &traffic, const FeedbackSettings &settings,
                      int64_t now, Budget &budget)
{
    const Message &message = *m_last.atSlot(slot);
    const std::string &address = m_last.keyAtSlot(slot);
    const Endpoint sender = destinationOf(message.from, settings);
    const int64_t heardSince = now - int64_t{settings.recentMinutes} * 60'000;
    bool complete = true;
    traffic.controllers().forEach([&](uint64_t key, const EndpointTraffic &t) {
        if (t.lastSeen < heardSince)
            return false; // the rest were heard even earlier
        const Endpoint to = destinationOf(TrafficTables::endpointOf(key), settings);
        if (to == sender)
            return true;
        complete = sendTo(to, address, message, true, budget);
        return complete;
    });
    return complete;
}

// The state, StatePerTurn messages to each destination in turn; the destinations left waiting
// go first next time.
void Feedback::sendStates(Budget &budget)
{
    for (size_t i = 0; i < m_deliveries.size();) {
        Delivery &d = m_deliveries[i];
        for (size_t sent = 0; sent < StatePerTurn && d.nextSlot < m_last.slotCount();) {
            const Message *message = m_last.atSlot(d.nextSlot);
            if (message && !sendTo(d.to, m_last.keyAtSlot(d.nextSlot), *message, false, budget)) {
                std::rotate(m_deliveries.begin(), m_deliveries.begin() + static_cast<ptrdiff_t>(i),
                            m_deliveries.end());
                return;
            }
            sent += message != nullptr;
            ++d.nextSlot;
        }
        if (d.nextSlot >= m_last.slotCount())
            m_deliveries.erase(m_deliveries.begin() + static_cast<ptrdiff_t>(i));
        else
            ++i;
    }
}

void Feedback::flush(const TrafficTables &traffic, const FeedbackSettings &settings, int64_t now)
{
    m_flushAsked = false;
    if (settings.mode != FeedbackMode::Others)
        return;
    Budget budget;
    size_t done = 0;
    for (; done < m_pending.size(); ++done) {
        if (!fanOut(m_pending[done], traffic, settings, now, budget))
            break;
        m_last.atSlot(m_pending[done])->pending = false;
    }
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<ptrdiff_t>(done));
    if (m_pending.empty())
        sendStates(budget);

    if (budget.outOfCredit)
        m_waitingForCredit = true; // the next datagram asks for a flush
    else if (!m_pending.empty())
        askFlush();
    else if (!m_deliveries.empty())
        m_port.flushIn(StatePaceMs);
}

void Feedback::stop()
{
    for (uint32_t slot : m_pending)
        if (Message *m = m_last.atSlot(slot))
            m->pending = false;
    m_pending.clear();
    m_deliveries.clear();
    m_held.clear();
    m_waitingForCredit = false;
}

} // namespace tarvex
