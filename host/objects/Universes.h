#pragma once
// Universes: the host's channel levels, the one place every DMX target writes to and every view
// and output reads from. Universes are numbered 1..count (as the user sees them), channels
// 1..512, levels 0..255.
//
//   Universes universes(4);
//   universes.subscribe([](uint8_t u, const Universes::Frame &f) { send(u, f); });
//   universes.set(1, 7, 255); // listeners see universe 1's whole frame once
//
// A write that leaves the level as it was notifies nobody, so an OSC fader that keeps sending
// the same value costs one comparison.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace tarvex::host {

class Universes {
public:
    static constexpr int ChannelCount = 512;
    // The most universes a target can address: its universe number is one byte.
    static constexpr int MaxCount = 255;
    using Frame = std::array<uint8_t, ChannelCount>;
    using Listener = std::function<void(uint8_t universe, const Frame &frame)>;
    using Subscription = int;

    // count is clamped to 1..MaxCount; every level starts at 0.
    explicit Universes(int count = 4);

    int count() const { return static_cast<int>(m_frames.size()); }
    bool isUniverse(int universe) const { return universe >= 1 && universe <= count(); }
    static bool isChannel(int channel) { return channel >= 1 && channel <= ChannelCount; }

    // Sets one level; returns whether it changed. A universe or channel out of range raises
    // std::out_of_range.
    bool set(int universe, int channel, uint8_t level);
    // Sets a channel and the next one with one notification, so that no listener (and no frame
    // sent out) ever sees one without the other: the coarse and fine bytes of a 16-bit level.
    bool setPair(int universe, int channel, uint8_t first, uint8_t second);
    uint8_t level(int universe, int channel) const;
    const Frame &frame(int universe) const;

    // Listeners are called, in the order they subscribed, after every change. Both calls are
    // safe from inside a listener, also while it is called for a change made by another one:
    // a listener subscribed during a change is first called for the next change, and one
    // unsubscribed during a change is not called again, not even for the rest of that change
    // (a listener that unsubscribes itself runs to its end). An unknown subscription is ignored.
    Subscription subscribe(Listener listener);
    void unsubscribe(Subscription subscription);

private:
    struct Entry {
        Subscription id;
        std::unique_ptr<Listener> listener; // null once unsubscribed
    };

    size_t index(int universe, int channel) const;
    void notify(uint8_t universe, const Frame &frame);
    void compact();

    std::vector<Frame> m_frames;
    // Entries stay in place while a change is being told (calls may nest), so that a walk's
    // index keeps naming the same listener; unsubscribed ones are dropped once the outermost
    // change is told. A listener lives on the heap, so a subscription that grows the list never
    // moves one that is running, and one unsubscribed while running waits in m_retired.
    std::vector<Entry> m_listeners;
    std::vector<std::unique_ptr<Listener>> m_retired;
    Subscription m_nextSubscription = 1;
    int m_notifying = 0;
};

} // namespace tarvex::host
