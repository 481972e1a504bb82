#pragma once
// Feedback: keeps the controllers in step. A message from one controller that made rows execute
// is sent on to every other controller heard within the settings' minutes, at its source port or
// at the settings' port; a controller that appears, comes back after silence, or is there when
// feedback is switched on gets the last such message of every address (its state).
//
//   Feedback feedback(port);
//   feedback.received(messages, bytes);                            // every datagram
//   feedback.executed(from, "/fader1", messageBytes, settings, now);   // gathered
//   feedback.sendState(controller, settings);                      // queued
//   feedback.flush(traffic, settings, now);                        // sent, from the event loop
//
// Sending happens in flush, which the port runs from the event loop, never while a datagram is
// handled, and it is bounded twice:
// - per turn of the loop: SendsPerTurn datagrams in all, StatePerTurn of the state to each
//   destination; the rest goes on later turns, the state StatePaceMs apart so that a
//   controller's receive buffer keeps up;
// - by credit: each datagram received earns SendsPerMessage sends per message it carries and
//   SendsPerMessage times its bytes, kept up to a reserve (CreditDatagrams, CreditBytes). Without
//   credit, sending waits for the next datagram, so what goes out stays within that multiple of
//   what came in, whoever sends it.
//
// Of the messages of one address that arrive before a flush, the last is sent (a controller
// needs the state, not every step to it). The last message of every address is kept also while
// feedback is off, so that switching it on mid-show has a state to send.
//
// Loop protection: what each destination holds per address is remembered (the message last sent
// to it, or the one it last sent). A message it holds is not sent to it again, and a message
// from a controller that repeats what it holds is its echo and goes no further, however late it
// comes; it still runs its rows, as any message does.

#include "controllers/LruTable.h"
#include "controllers/TrafficTables.h"
#include "osc/OSCMessages.h"
#include "plugin/api/HostControllers.h"

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

// What feedback needs of the socket and the event loop.
class FeedbackPort {
public:
    virtual ~FeedbackPort() = default;
    // Sends one datagram without waiting; false when it could not go (a full send buffer, a
    // closed socket).
    virtual bool sendDatagram(const Endpoint &to, std::span<const uint8_t> bytes) = 0;
    // Asks for Feedback::flush once the datagrams waiting now have been handled.
    virtual void flushSoon() = 0;
    // Asks for Feedback::flush in `ms` milliseconds, unless one is asked for already.
    virtual void flushIn(int64_t ms) = 0;
};

class Feedback {
public:
    static constexpr size_t AddressCapacity = 1024;
    static constexpr size_t DestinationCapacity = 256;
    // Pairs of destination and address whose message is remembered.
    static constexpr size_t HeldCapacity = 8192;
    static constexpr size_t SendsPerTurn = 256;
    static constexpr size_t StatePerTurn = 32;
    static constexpr int64_t StatePaceMs = 10;
    static constexpr uint64_t SendsPerMessage = 8;
    static constexpr uint64_t CreditDatagrams = 1024;
    static constexpr uint64_t CreditBytes = 64 * 1024;

    explicit Feedback(FeedbackPort &port);

    // A datagram of `bytes` carrying `messages` messages (0 for one that could not be decoded)
    // was received: it earns credit.
    void received(size_t messages, size_t bytes);
    // A message from `from` made rows execute. It becomes its address's state, and is sent on
    // at the next flush when feedback is on, unless it is the sender's echo. `datagram` is what
    // it was decoded from; `alone` says that the datagram is this message and nothing else, as
    // OSC writes it, so that its bytes can be kept as they came.
    void executed(const Endpoint &from, const osc::OSCMessage &message,
                  std::span<const uint8_t> datagram, bool alone, const FeedbackSettings &settings);
    // The controller gets the state, from the next flushes on.
    void sendState(const Endpoint &controller, const FeedbackSettings &settings);
    // The controller went: what of its state has not gone yet is not sent.
    void controllerGone(const Endpoint &controller, const FeedbackSettings &settings);
    // Sends what waits, within the turn's budget and the credit, to the controllers heard
    // within the settings' minutes (the message's sender excepted).
    void flush(const TrafficTables &traffic, const FeedbackSettings &settings, int64_t now);
    // Feedback was switched off: nothing waits any more and what the destinations hold is
    // forgotten; the state is kept.
    void stop();

    uint64_t sent() const { return m_sent; }
    uint64_t dropped() const { return m_dropped; }
    uint64_t echoesHeldBack() const { return m_echoes; }

private:
    struct Message {
        std::vector<uint8_t> bytes;
        mutable size_t hash = 0;
        mutable bool hashed = false; // hash is that of bytes (made when first needed)
        Endpoint from;
        // Waits for the next flush. It belongs to the slot: a slot reused for another address
        // before the flush stays listed once, and the flush sends what it then holds.
        bool pending = false;
        void reset() { bytes.clear(); }
    };
    // A destination getting the state: the next slot of m_last it gets.
    struct Delivery {
        Endpoint to;
        size_t nextSlot = 0;
    };
    // What one flush may still send.
    struct Budget {
        size_t turn = SendsPerTurn;
        bool outOfCredit = false;
    };

    static Endpoint destinationOf(const Endpoint &controller, const FeedbackSettings &settings);
    static size_t hashOf(const Message &message);
    // The slot of the address's entry, made the most recently used (added when new). The
    // table's slots never empty (it is never cleared or erased from), so the last one found
    // stays valid.
    uint32_t slotOf(std::string_view address)
    {
        if (m_lastSlot != UINT32_MAX) {
            const std::string &key = m_last.keyAtSlot(m_lastSlot);
            if (key.size() == address.size() &&
                std::memcmp(key.data(), address.data(), key.size()) == 0) {
                m_last.makeNewest(m_lastSlot);
                return m_lastSlot;
            }
        }
        return newSlotOf(address);
    }
    uint32_t newSlotOf(std::string_view address);
    static uint64_t heldKey(const Endpoint &destination, std::string_view address);
    void askFlush();
    bool fanOut(uint32_t slot, const TrafficTables &traffic, const FeedbackSettings &settings,
                int64_t now, Budget &budget);
    void sendStates(Budget &budget);
    // Sends unless the destination holds the message (skipHeld); false when the budget or the
    // credit is spent.
    bool sendTo(const Endpoint &to, std::string_view address, const Message &message, bool skipHeld,
                Budget &budget);

    FeedbackPort &m_port;
    // The last message of each address that made rows execute, and the slots of those that
    // wait for the next flush (at most once each).
    LruTable<std::string, Message> m_last{AddressCapacity};
    std::vector<uint32_t> m_pending;
    uint32_t m_lastSlot = UINT32_MAX; // of the last message executed: a stream repeats it
    std::vector<uint8_t> m_incoming;  // a message being looked at while feedback is on
    std::vector<Delivery> m_deliveries;
    // The hash of the message each destination holds per address, by heldKey.
    LruTable<uint64_t, size_t> m_held{HeldCapacity};
    uint64_t m_credit = 0, m_creditBytes = 0;
    bool m_flushAsked = false;
    bool m_waitingForCredit = false;
    uint64_t m_sent = 0, m_dropped = 0, m_echoes = 0;
};

} // namespace tarvex
