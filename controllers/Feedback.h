#pragma once
// Feedback: keeps the controllers in step. A message from one controller that made rows execute
// is sent on to every other controller heard within the settings' minutes, at its source port or
// at the settings' port; a controller that appears gets the last such message of every address.
//
//   Feedback feedback(port);
//   feedback.executed(from, "/fader1", messageBytes, settings, now);   // gathered
//   feedback.flush(traffic, settings, now);                  // sent, once per turn of the loop
//
// Sending is gathered per turn of the event loop: of the messages of one address that arrive in
// one delivery, the last is sent (a controller needs the state, not every step to it), so a
// flood of fader moves costs a few sends instead of one per datagram.
//
// Loop protection: a message identical to one sent to its sender within EchoWindowMs is taken
// for that controller's echo and not sent on, so controllers that echo what they receive cannot
// start a storm.

#include "controllers/LruTable.h"
#include "controllers/TrafficTables.h"
#include "plugin/api/HostControllers.h"

#include <array>
#include <cstdint>
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
};

class Feedback {
public:
    static constexpr int64_t EchoWindowMs = 100;
    static constexpr size_t AddressCapacity = 1024;
    static constexpr size_t DestinationCapacity = 256;

    explicit Feedback(FeedbackPort &port);

    // A message from `from` made rows execute; `bytes` is it as one OSC message.
    void executed(const Endpoint &from, std::string_view address, std::span<const uint8_t> bytes,
                  const FeedbackSettings &settings, int64_t now);
    // Sends what was gathered to every controller heard within the settings' minutes except
    // the message's sender.
    void flush(const TrafficTables &traffic, const FeedbackSettings &settings, int64_t now);
    // A controller appeared (first datagram, or first after silence): it gets the last message
    // of every address, once.
    void appeared(const Endpoint &controller, const FeedbackSettings &settings, int64_t now);
    // Feedback was switched off: what was gathered and remembered goes.
    void forget();

    uint64_t sent() const { return m_sent; }
    uint64_t dropped() const { return m_dropped; }
    uint64_t echoesHeldBack() const { return m_echoes; }

private:
    static constexpr size_t RecentSends = 32;
    struct Message {
        std::vector<uint8_t> bytes;
        size_t hash = 0;
        Endpoint from;
        // Waits for the next flush. It belongs to the slot: a slot reused for another address
        // before the flush stays listed once, and the flush sends what it then holds.
        bool pending = false;
        void reset() { bytes.clear(); }
    };
    // What went to one destination lately, for the loop protection.
    struct Destination {
        std::array<size_t, RecentSends> hashes{};
        std::array<int64_t, RecentSends> times{};
        uint8_t next = 0, count = 0;
        uint64_t serial = 0; // the flush entry last sent here
        void reset() { *this = Destination{}; }
    };

    static Endpoint destinationOf(const Endpoint &controller, const FeedbackSettings &settings);
    bool isEcho(const Endpoint &destination, size_t hash, int64_t now);
    void send(const Endpoint &to, Destination &destination, const Message &message, int64_t now);

    FeedbackPort &m_port;
    // The last message of each address that made rows execute (state for a controller that
    // appears), and those of them that wait for the next flush (entries of m_last, whose slots
    // never move; at most one per slot).
    LruTable<std::string, Message> m_last{AddressCapacity};
    std::vector<Message *> m_pending;
    LruTable<uint64_t, Destination> m_destinations{DestinationCapacity};
    uint64_t m_serial = 0;
    bool m_flushAsked = false;
    uint64_t m_sent = 0, m_dropped = 0, m_echoes = 0;
};

} // namespace tarvex
