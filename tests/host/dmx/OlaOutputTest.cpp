// The sender against a real olad of the test's own, read back through OLA's client API.

#include "host/dmx/OlaOutput.h"
#include "host/dmx/DmxSender.h"
#include "tests/support/OlaDaemon.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

namespace tarvex::dmx {
namespace {

using namespace std::chrono_literals;
using test::DmxLevels;
using test::OlaDaemon;
using test::OlaUniverseReader;

DmxFrame frameWith(size_t channel, uint8_t level)
{
    DmxFrame frame{};
    frame[channel] = level;
    return frame;
}

auto levelIs(size_t channel, uint8_t level)
{
    return [=](const DmxLevels &frame) { return frame[channel] == level; };
}

// The sender's state reports, waited for with a bound.
class StateWatch {
public:
    DmxSender::StateCallback callback()
    {
        return [this](const DmxOutputState &state) {
            {
                std::lock_guard lock(m_mutex);
                m_reports.push_back(state);
            }
            m_changed.notify_all();
        };
    }
    // Waits until the latest report says `on`; returns that report's reason.
    std::optional<std::string> waitFor(bool on, std::chrono::milliseconds bound = 10s)
    {
        std::unique_lock lock(m_mutex);
        if (!m_changed.wait_for(lock, bound,
                                [&] { return !m_reports.empty() && m_reports.back().on == on; }))
            return std::nullopt;
        return m_reports.back().reason;
    }
    size_t count()
    {
        std::lock_guard lock(m_mutex);
        return m_reports.size();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<DmxOutputState> m_reports;
};

DmxSender::Timing quickRetry()
{
    DmxSender::Timing timing;
    timing.retryPeriod = 200ms;
    return timing;
}

TEST(OlaOutput, framesReachOladAndTheLastValueWins)
{
    OlaDaemon olad;
    ASSERT_TRUE(olad.start()) << olad.error();
    OlaUniverseReader reader(olad.port());
    ASSERT_TRUE(reader.subscribe(1)) << reader.error();
    ASSERT_TRUE(reader.subscribe(3)) << reader.error();

    StateWatch watch;
    DmxSender sender(makeOlaOutput(olad.port()), watch.callback());
    sender.start();
    auto reason = watch.waitFor(true);
    ASSERT_TRUE(reason);
    EXPECT_EQ(*reason, "sending to olad on 127.0.0.1:" + std::to_string(olad.port()));

    sender.universeChanged(1, frameWith(6, 128));
    EXPECT_TRUE(reader.waitForFrame(1, levelIs(6, 128))) << reader.error();
    // A sweep far faster than the frame rate ends on its last value.
    for (int level = 0; level <= 200; ++level)
        sender.universeChanged(3, frameWith(0, static_cast<uint8_t>(level)));
    EXPECT_TRUE(reader.waitForFrame(3, levelIs(0, 200))) << reader.error();
    auto held = reader.fetch(3);
    ASSERT_TRUE(held) << reader.error();
    EXPECT_EQ((*held)[0], 200);
    EXPECT_EQ(watch.count(), 1u);
}

TEST(OlaOutput, withoutOladOutputIsOffUntilOladAppears)
{
    OlaDaemon olad; // not started yet
    StateWatch watch;
    DmxSender sender(makeOlaOutput(olad.port()), watch.callback(), quickRetry());
    sender.start();
    auto reason = watch.waitFor(false);
    ASSERT_TRUE(reason);
    EXPECT_EQ(*reason,
              "no olad on 127.0.0.1:" + std::to_string(olad.port()) + " (is olad running?)");
    sender.universeChanged(1, frameWith(6, 99));

    ASSERT_TRUE(olad.start()) << olad.error();
    OlaUniverseReader reader(olad.port());
    ASSERT_TRUE(reader.subscribe(1)) << reader.error();
    EXPECT_TRUE(watch.waitFor(true));
    // Several retries failed in between; only the change was reported.
    EXPECT_EQ(watch.count(), 2u);
    EXPECT_TRUE(reader.waitForFrame(1, levelIs(6, 99))) << reader.error();
}

TEST(OlaOutput, oladStoppedInTheMiddleTurnsOutputOffAndBackOn)
{
    OlaDaemon olad;
    ASSERT_TRUE(olad.start()) << olad.error();
    StateWatch watch;
    DmxSender sender(makeOlaOutput(olad.port()), watch.callback(), quickRetry());
    {
        OlaUniverseReader reader(olad.port());
        ASSERT_TRUE(reader.subscribe(1)) << reader.error();
        sender.start();
        ASSERT_TRUE(watch.waitFor(true));
        sender.universeChanged(1, frameWith(0, 10));
        EXPECT_TRUE(reader.waitForFrame(1, levelIs(0, 10))) << reader.error();
    }

    olad.stop();
    // The once-a-second refresh finds the closed connection.
    auto reason = watch.waitFor(false);
    ASSERT_TRUE(reason);
    EXPECT_EQ(*reason, "lost the connection to olad on 127.0.0.1:" + std::to_string(olad.port()));
    sender.universeChanged(1, frameWith(0, 20));

    ASSERT_TRUE(olad.start()) << olad.error();
    OlaUniverseReader reader(olad.port());
    ASSERT_TRUE(reader.subscribe(1)) << reader.error();
    EXPECT_TRUE(watch.waitFor(true));
    EXPECT_TRUE(reader.waitForFrame(1, levelIs(0, 20))) << reader.error();
    sender.universeChanged(1, frameWith(0, 30));
    EXPECT_TRUE(reader.waitForFrame(1, levelIs(0, 30))) << reader.error();
}

TEST(OlaOutput, aHungOladCostsFramesAndCatchesUpWhenItResumes)
{
    OlaDaemon olad;
    ASSERT_TRUE(olad.start()) << olad.error();
    OlaUniverseReader reader(olad.port());
    ASSERT_TRUE(reader.subscribe(2)) << reader.error();
    StateWatch watch;
    DmxSender sender(makeOlaOutput(olad.port()), watch.callback());
    sender.start();
    ASSERT_TRUE(watch.waitFor(true));

    olad.pause();
    auto anyFrame = [](const DmxLevels &) { return true; };
    int level = 0;
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 1000; ++i)
            sender.universeChanged(2, frameWith(511, static_cast<uint8_t>(++level % 256)));
        // The frozen olad passes nothing on while the sender keeps writing to it.
        EXPECT_FALSE(reader.waitForFrame(2, anyFrame, 100ms));
    }
    olad.resume();
    EXPECT_TRUE(reader.waitForFrame(2, levelIs(511, 3000 % 256))) << reader.error();
    EXPECT_EQ(watch.count(), 1u);
}

TEST(OlaOutput, connectingWhereNoOladListensFailsAtOnce)
{
    OlaDaemon unstarted;
    OlaOutput output(unstarted.port());
    std::string reason;
    EXPECT_FALSE(output.send(1, DmxFrame{}, reason));
    EXPECT_EQ(reason, "not connected to olad on 127.0.0.1:" + std::to_string(unstarted.port()));
    EXPECT_FALSE(output.connect(reason));
    output.disconnect();
    output.disconnect();
}

} // namespace
} // namespace tarvex::dmx
