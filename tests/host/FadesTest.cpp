// Fades against a clock of the test's own: one step per frame, a new level mid-fade setting off
// from where the fade is, and no fade time being a jump.
#include "host/objects/Fades.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarvex::host {
namespace {

using namespace std::chrono_literals;

class FadesTest : public ::testing::Test {
protected:
    std::shared_ptr<Universes> universes = std::make_shared<Universes>(1);
    Fades fades{universes};
    Fades::Clock::time_point now{};
    int starts = 0;
    int notifications = 0;

    FadesTest()
    {
        fades.setClock([this] { return now; });
        fades.onStart = [this] { ++starts; };
        universes->subscribe([this](uint8_t, const Universes::Frame &) { ++notifications; });
    }

    // Frames 25 ms apart: the levels after each.
    std::vector<uint32_t> frames(const ChannelSlot &slot, int count)
    {
        std::vector<uint32_t> levels;
        for (int i = 0; i < count; ++i) {
            now += 25ms;
            fades.step();
            levels.push_back(fades.level(slot));
        }
        return levels;
    }
};

TEST_F(FadesTest, glidesOneStepPerFrameAndSetsOffAgainFromWhereItIs)
{
    const ChannelSlot dimmer{1, 7, false};
    fades.moveTo(dimmer, 255, 100ms);
    EXPECT_EQ(fades.level(dimmer), 0u) << "nothing moves before the first frame";
    EXPECT_EQ(frames(dimmer, 2), (std::vector<uint32_t>{64, 128}));

    // Between two frames (60 ms in: 153), back down over 100 ms from there, not from the level
    // the last frame wrote (128) nor from 255.
    now += 10ms;
    fades.moveTo(dimmer, 0, 100ms);
    EXPECT_EQ(frames(dimmer, 4), (std::vector<uint32_t>{115, 76, 38, 0}));
    EXPECT_FALSE(fades.running());
    EXPECT_EQ(starts, 1) << "the clock was woken once, when the first fade started";

    // A late frame catches up: the fade ends on time.
    fades.moveTo(dimmer, 200, 100ms);
    now += 150ms;
    EXPECT_FALSE(fades.step());
    EXPECT_EQ(fades.level(dimmer), 200u);
}

TEST_F(FadesTest, noFadeTimeJumpsAndTheSameLevelAgainLeavesAFadeAlone)
{
    const ChannelSlot dimmer{1, 7, false};
    fades.moveTo(dimmer, 255, 100ms);
    frames(dimmer, 1);
    fades.moveTo(dimmer, 255, 100ms); // a controller sending its value again
    EXPECT_EQ(frames(dimmer, 1), (std::vector<uint32_t>{128}));

    fades.moveTo(dimmer, 10, 0ms); // a jump ends the fade on its channel
    EXPECT_EQ(fades.level(dimmer), 10u);
    EXPECT_FALSE(fades.running());
    EXPECT_EQ(frames(dimmer, 1), (std::vector<uint32_t>{10}));
}

TEST_F(FadesTest, sixteenBitLevelsMoveBothBytesInOneNotification)
{
    const ChannelSlot pan{1, 20, true};
    fades.moveTo(pan, 0x1234, 0ms);
    EXPECT_EQ(universes->level(1, 20), 0x12);
    EXPECT_EQ(universes->level(1, 21), 0x34);
    EXPECT_EQ(notifications, 1);

    fades.moveTo(pan, 0x1434, 100ms);
    EXPECT_EQ(frames(pan, 2), (std::vector<uint32_t>{0x12B4, 0x1334}));
    EXPECT_EQ(notifications, 3);
}

} // namespace
} // namespace tarvex::host
