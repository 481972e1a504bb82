#include "host/objects/Universes.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace tarvex::host {
namespace {

struct Seen {
    uint8_t universe;
    uint8_t level;
};

TEST(Universes, notifiesTheWholeFrameOnlyWhenALevelChanges)
{
    Universes universes(2);
    std::vector<Seen> seen;
    universes.subscribe([&](uint8_t u, const Universes::Frame &frame) {
        seen.push_back({u, frame[6]});
        EXPECT_EQ(frame[0], 9); // the frame holds the universe's other levels too
    });
    universes.set(2, 1, 9);
    seen.clear();

    EXPECT_TRUE(universes.set(2, 7, 200));
    EXPECT_FALSE(universes.set(2, 7, 200));
    EXPECT_TRUE(universes.set(2, 7, 0));

    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].universe, 2);
    EXPECT_EQ(seen[0].level, 200);
    EXPECT_EQ(seen[1].level, 0);
    EXPECT_EQ(universes.level(2, 7), 0);
    EXPECT_EQ(universes.level(1, 7), 0);
}

TEST(Universes, rejectsUniversesAndChannelsOutOfRange)
{
    Universes universes(3);
    EXPECT_THROW(universes.set(0, 1, 1), std::out_of_range);
    EXPECT_THROW(universes.set(4, 1, 1), std::out_of_range);
    EXPECT_THROW(universes.set(1, 0, 1), std::out_of_range);
    EXPECT_THROW(universes.set(1, 513, 1), std::out_of_range);
    EXPECT_THROW(universes.level(1, 513), std::out_of_range);
    EXPECT_NO_THROW(universes.set(3, 512, 1));
    EXPECT_EQ(universes.frame(3)[511], 1);

    EXPECT_EQ(Universes(0).count(), 1);
    EXPECT_EQ(Universes(1000).count(), Universes::MaxCount);
}

TEST(Universes, callsListenersInOrderAndLetsOneUnsubscribeWhileCalled)
{
    Universes universes(1);
    std::vector<std::string> calls;
    Universes::Subscription first = 0;
    first = universes.subscribe([&](uint8_t, const Universes::Frame &) {
        calls.push_back("first");
        universes.unsubscribe(first);
    });
    universes.subscribe([&](uint8_t, const Universes::Frame &) { calls.push_back("second"); });

    universes.set(1, 1, 10);
    universes.set(1, 1, 20);

    EXPECT_EQ(calls, (std::vector<std::string>{"first", "second", "second"}));
}

// Read by a listener after it unsubscribed itself, when its own captures may be gone: whether
// what it captured still lives.
std::weak_ptr<int> leaverCapture;

// Listeners that subscribe, unsubscribe (themselves included) and change levels while they are
// called, also from inside a nested change: each one called is alive, one subscribed during a
// change waits for the next, one unsubscribed is never called again. Under AddressSanitizer this
// also proves that no listener runs from memory a subscription moved or freed.
TEST(Universes, listenersSubscribeAndUnsubscribeWhileCalled)
{
    Universes universes(1);
    std::vector<std::string> calls;
    auto note = [&calls](std::string name) {
        return [&calls, name](uint8_t, const Universes::Frame &) { calls.push_back(name); };
    };
    bool grown = false;
    // Small enough to live inside its std::function: a list that grows would move it.
    universes.subscribe([&universes, &grown](uint8_t, const Universes::Frame &) {
        if (std::exchange(grown, true))
            return;
        for (int i = 0; i < 40; ++i)
            universes.subscribe([](uint8_t, const Universes::Frame &) {});
        EXPECT_TRUE(grown);
    });
    Universes::Subscription leaver = 0, doomed = 0;
    auto capture = std::make_shared<int>(1);
    leaverCapture = capture;
    leaver =
        universes.subscribe([&, capture = std::move(capture)](uint8_t, const Universes::Frame &) {
            calls.push_back("leaver");
            universes.unsubscribe(doomed);
            universes.unsubscribe(leaver);
            universes.set(1, 2, 1); // a nested change: the walk outside must keep its places
            if (leaverCapture.expired())
                ADD_FAILURE() << "the listener's captures died while it ran";
        });
    doomed = universes.subscribe(note("doomed"));
    universes.subscribe([&, subscribed = false](uint8_t, const Universes::Frame &) mutable {
        calls.push_back("joiner");
        if (!std::exchange(subscribed, true))
            universes.subscribe(note("late"));
    });

    universes.set(1, 1, 10);
    EXPECT_EQ(calls, (std::vector<std::string>{"leaver", "joiner", "joiner"}))
        << "nested change first (joiner subscribes late), then the rest of the first";
    EXPECT_TRUE(leaverCapture.expired()) << "dropped once the change was told";

    calls.clear();
    universes.set(1, 1, 20);
    EXPECT_EQ(calls, (std::vector<std::string>{"joiner", "late"}));
}

} // namespace
} // namespace tarvex::host
