// The sending rules, against the recording fake. Most tests drive the sender with pump() and a
// clock of their own; the threaded ones bound every wait.

#include "host/dmx/DmxSender.h"
#include "tests/support/RecordingDmxOutput.h"

#include <gtest/gtest.h>

#include <atomic>

namespace tarvex::dmx {
namespace {

using namespace std::chrono_literals;
using test::DmxRecording;
using test::RecordingDmxOutput;
using Time = DmxSender::Clock::time_point;

DmxFrame frameWith(size_t channel, uint8_t level)
{
    DmxFrame frame{};
    frame[channel] = level;
    return frame;
}

// The state reports, safe to read while the worker writes.
struct StateLog {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<DmxOutputState> reports;

    DmxSender::StateCallback callback()
    {
        return [this](const DmxOutputState &state) {
            {
                std::lock_guard lock(mutex);
                reports.push_back(state);
            }
            changed.notify_all();
        };
    }
    bool waitForReports(size_t count)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 5s, [&] { return reports.size() >= count; });
    }
    std::vector<bool> states()
    {
        std::lock_guard lock(mutex);
        std::vector<bool> on;
        for (const auto &r : reports)
            on.push_back(r.on);
        return on;
    }
};

class DmxSenderTest : public ::testing::Test {
protected:
    std::shared_ptr<DmxRecording> rec = std::make_shared<DmxRecording>();
    StateLog log;
    DmxSender sender{std::make_unique<RecordingDmxOutput>(rec), log.callback()};
    const Time t0 = Time{} + 1h;

    // Sends since the last call, as (universe, level of channel `channel`) pairs.
    std::vector<std::pair<int, int>> newSends(size_t channel = 0)
    {
        std::vector<std::pair<int, int>> out;
        for (; seen < rec->sent.size(); ++seen)
            out.emplace_back(rec->sent[seen].universe, rec->sent[seen].frame[channel]);
        return out;
    }
    size_t seen = 0;
    using Sends = std::vector<std::pair<int, int>>;
};

TEST_F(DmxSenderTest, sendsAChangeAtOnceThenRefreshesOnceASecond)
{
    sender.pump(t0);
    sender.universeChanged(1, frameWith(0, 10));
    EXPECT_EQ(sender.pump(t0 + 1ms), t0 + 1ms + 1s);
    EXPECT_EQ(newSends(), (Sends{{1, 10}}));

    sender.pump(t0 + 500ms);
    sender.pump(t0 + 1s);
    EXPECT_EQ(newSends(), Sends{});
    EXPECT_EQ(sender.pump(t0 + 1ms + 1s), t0 + 1ms + 2s);
    EXPECT_EQ(newSends(), (Sends{{1, 10}}));
    sender.pump(t0 + 1ms + 2s);
    EXPECT_EQ(newSends(), (Sends{{1, 10}}));
}

TEST_F(DmxSenderTest, mergesChangesWithinAFramePeriodAndTheLastValueWins)
{
    sender.pump(t0);
    sender.universeChanged(1, frameWith(0, 1));
    sender.pump(t0);
    sender.universeChanged(1, frameWith(0, 2));
    sender.universeChanged(1, frameWith(0, 3));
    EXPECT_EQ(sender.pump(t0 + 5ms), t0 + 25ms);
    EXPECT_EQ(sender.pump(t0 + 24ms), t0 + 25ms);
    EXPECT_EQ(newSends(), (Sends{{1, 1}}));

    sender.universeChanged(1, frameWith(0, 4));
    sender.pump(t0 + 25ms);
    EXPECT_EQ(newSends(), (Sends{{1, 4}}));
    // A change that comes back to what the receiver has is no change.
    sender.universeChanged(1, frameWith(0, 5));
    sender.universeChanged(1, frameWith(0, 4));
    sender.pump(t0 + 50ms);
    EXPECT_EQ(newSends(), Sends{});
}

TEST_F(DmxSenderTest, aFaderSweepGoesOutEveryFramePeriodAndEndsOnItsLastValue)
{
    sender.pump(t0);
    // A change every millisecond for 300 ms, the worker woken each time as a change would.
    std::vector<Time> sendTimes;
    for (int ms = 0; ms <= 300; ++ms) {
        Time now = t0 + std::chrono::milliseconds(ms);
        sender.universeChanged(7, frameWith(100, static_cast<uint8_t>(ms % 256)));
        size_t before = rec->sent.size();
        sender.pump(now);
        if (rec->sent.size() > before)
            sendTimes.push_back(now);
    }
    for (size_t i = 1; i < sendTimes.size(); ++i)
        EXPECT_EQ(sendTimes[i] - sendTimes[i - 1], 25ms);
    EXPECT_EQ(sendTimes.size(), 13u);
    EXPECT_EQ(rec->sent.back().frame[100], 300 % 256);
    // A change 10 ms after a frame waits for the rest of the period.
    sender.universeChanged(7, frameWith(100, 1));
    EXPECT_EQ(sender.pump(t0 + 310ms), t0 + 325ms);
    EXPECT_EQ(rec->sent.back().frame[100], 300 % 256);
    sender.pump(t0 + 325ms);
    EXPECT_EQ(rec->sent.back().frame[100], 1);
}

TEST_F(DmxSenderTest, universesKeepTheirOwnTimes)
{
    sender.pump(t0);
    sender.universeChanged(1, frameWith(0, 1));
    sender.pump(t0);
    sender.universeChanged(1, frameWith(0, 2));
    sender.universeChanged(0, frameWith(0, 9));
    sender.universeChanged(255, frameWith(0, 8));
    // Universe 1 waits for its period; the others are new and go at once.
    EXPECT_EQ(sender.pump(t0 + 10ms), t0 + 25ms);
    EXPECT_EQ(newSends(), (Sends{{1, 1}, {0, 9}, {255, 8}}));
    sender.pump(t0 + 25ms);
    EXPECT_EQ(newSends(), (Sends{{1, 2}}));
    // Each refreshes a second after its own last frame.
    EXPECT_EQ(sender.pump(t0 + 1010ms), t0 + 1025ms);
    EXPECT_EQ(newSends(), (Sends{{0, 9}, {255, 8}}));
    sender.pump(t0 + 1025ms);
    EXPECT_EQ(newSends(), (Sends{{1, 2}}));
}

TEST_F(DmxSenderTest, anAllZeroFirstFrameIsSentAndAnUnchangedOneIsNot)
{
    sender.pump(t0);
    sender.universeChanged(3, DmxFrame{});
    sender.universeChanged(3, DmxFrame{});
    sender.pump(t0);
    sender.universeChanged(3, DmxFrame{});
    sender.pump(t0 + 100ms);
    EXPECT_EQ(newSends(), (Sends{{3, 0}}));
}

TEST_F(DmxSenderTest, withoutAReceiverSaysOffOnceRetriesAndCatchesUpWhenItComes)
{
    rec->receiverUp = false;
    EXPECT_EQ(sender.pump(t0), t0 + 3s);
    sender.universeChanged(1, frameWith(0, 1));
    sender.universeChanged(2, frameWith(0, 2));
    sender.universeChanged(1, frameWith(0, 3));
    EXPECT_EQ(sender.pump(t0 + 1s), t0 + 3s);
    sender.pump(t0 + 3s);
    sender.pump(t0 + 6s);
    EXPECT_EQ(rec->connects, 3);
    EXPECT_EQ(log.states(), std::vector<bool>{false});
    EXPECT_EQ(sender.state().reason, "receiver down");
    EXPECT_EQ(newSends(), Sends{});

    rec->receiverUp = true;
    sender.pump(t0 + 9s);
    EXPECT_EQ(log.states(), (std::vector<bool>{false, true}));
    EXPECT_EQ(newSends(), (Sends{{1, 3}, {2, 2}}));
}

TEST_F(DmxSenderTest, aLostReceiverIsReportedRetriedAndGivenEveryUniverseAgain)
{
    sender.pump(t0);
    sender.universeChanged(1, frameWith(0, 1));
    sender.universeChanged(2, frameWith(0, 2));
    sender.pump(t0);
    newSends();

    rec->receiverUp = false;
    sender.universeChanged(1, frameWith(0, 5));
    EXPECT_EQ(sender.pump(t0 + 30ms), t0 + 30ms + 3s);
    EXPECT_EQ(log.states(), (std::vector<bool>{true, false}));
    EXPECT_EQ(sender.state().reason, "receiver lost");
    EXPECT_EQ(rec->disconnects, 1);
    sender.pump(t0 + 2s);
    EXPECT_EQ(rec->connects, 1);

    rec->receiverUp = true;
    sender.pump(t0 + 30ms + 3s);
    EXPECT_EQ(rec->connects, 2);
    EXPECT_EQ(log.states(), (std::vector<bool>{true, false, true}));
    EXPECT_EQ(newSends(), (Sends{{1, 5}, {2, 2}}));
}

TEST(DmxSenderOutputs, aNullOutputStaysOffWithItsReason)
{
    std::vector<DmxOutputState> reports;
    DmxSender sender(std::make_unique<NullOutput>("turned off"),
                     [&](const DmxOutputState &s) { reports.push_back(s); });
    sender.pump(DmxSender::Clock::now());
    sender.universeChanged(1, DmxFrame{});
    sender.pump(DmxSender::Clock::now() + 10s);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_FALSE(reports[0].on);
    EXPECT_EQ(reports[0].reason, "turned off");
}

TEST(DmxSenderOutputs, aBuildWithoutOlaSaysSo)
{
    std::string reason;
    bool connected = makeOlaOutput(1)->connect(reason);
    EXPECT_FALSE(connected);
    if (!builtWithOla())
        EXPECT_EQ(reason, "built without OLA");
    else
        EXPECT_EQ(reason, "no olad on 127.0.0.1:1 (is olad running?)");
}

// --- the worker thread

class DmxSenderThreadTest : public ::testing::Test {
protected:
    std::shared_ptr<DmxRecording> rec = std::make_shared<DmxRecording>();
    StateLog log;

    std::unique_ptr<DmxSender> makeSender(DmxSender::Timing timing = {})
    {
        return std::make_unique<DmxSender>(std::make_unique<RecordingDmxOutput>(rec),
                                           log.callback(), timing);
    }
    bool waitForLevel(uint8_t universe, size_t channel, uint8_t level)
    {
        return rec->waitFor([&] {
            return !rec->sent.empty() && rec->sent.back().universe == universe &&
                   rec->sent.back().frame[channel] == level;
        });
    }
};

TEST_F(DmxSenderThreadTest, theWorkerConnectsAndSendsChanges)
{
    auto sender = makeSender();
    sender->start();
    ASSERT_TRUE(log.waitForReports(1));
    EXPECT_TRUE(sender->state().on);
    sender->universeChanged(4, frameWith(6, 77));
    EXPECT_TRUE(waitForLevel(4, 6, 77));
    sender->stop();
    EXPECT_TRUE(rec->waitFor([&] { return rec->destroyed || rec->disconnects > 0; }));
}

TEST_F(DmxSenderThreadTest, aHungReceiverCostsFramesNotTheCallersTime)
{
    auto sender = makeSender();
    rec->holdSends = true;
    sender->start();
    sender->universeChanged(1, frameWith(0, 0));
    ASSERT_TRUE(rec->waitFor([&] { return rec->sendsStarted == 1; }));

    // The worker is stuck in a write; every change still returns at once and is merged.
    for (int i = 1; i <= 1000; ++i)
        sender->universeChanged(1, frameWith(0, static_cast<uint8_t>(i % 251)));
    EXPECT_EQ(rec->sentCount(), 0u);

    rec->update([&] { rec->holdSends = false; });
    EXPECT_TRUE(waitForLevel(1, 0, 1000 % 251));
    EXPECT_LE(rec->sentCount(), 3u);
}

TEST_F(DmxSenderThreadTest, stopReturnsWhileTheReceiverHangsAndStaysQuietAfterwards)
{
    DmxSender::Timing timing;
    timing.stopWait = 50ms;
    auto sender = makeSender(timing);
    rec->holdSends = true;
    sender->start();
    ASSERT_TRUE(log.waitForReports(1));
    sender->universeChanged(1, frameWith(0, 1));
    ASSERT_TRUE(rec->waitFor([&] { return rec->sendsStarted == 1; }));

    sender->stop();
    sender.reset();
    // Let the stuck write fail: the worker would report "off", but stop() silenced it.
    rec->update([&] {
        rec->receiverUp = false;
        rec->holdSends = false;
    });
    EXPECT_TRUE(rec->waitFor([&] { return rec->destroyed; }));
    EXPECT_EQ(log.states(), std::vector<bool>{true});
}

} // namespace
} // namespace tarvex::dmx
