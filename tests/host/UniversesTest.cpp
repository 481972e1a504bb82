#include "host/objects/Universes.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
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

} // namespace
} // namespace tarvex::host
