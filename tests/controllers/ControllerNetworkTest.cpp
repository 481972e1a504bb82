// The controllers' view behind the engine: traffic per sender and per unmatched address, the
// news of controllers coming and going, and feedback, with a clock of the test's own and a port
// that records what would be sent.
#include "controllers/ControllerNetwork.h"
#include "osc/OSCWriter.h"
#include "tests/engine/EngineFixture.h"

#include <malloc.h>

#include <algorithm>
#include <map>
#include <random>

namespace tarvex::test {
namespace {

int64_t g_now = 1'000'000;
int64_t testClock()
{
    return g_now;
}

class RecordingPort : public ControllerPort {
public:
    std::vector<std::pair<Endpoint, std::vector<uint8_t>>> sent;
    int flushesAsked = 0;
    int64_t expiryAskedIn = -1;

    bool sendDatagram(const Endpoint &to, std::span<const uint8_t> bytes) override
    {
        sent.emplace_back(to, std::vector<uint8_t>(bytes.begin(), bytes.end()));
        return true;
    }
    void flushSoon() override { ++flushesAsked; }
    void expireIn(int64_t ms) override { expiryAskedIn = ms; }
    // The destinations, in order, and forgets them.
    std::vector<std::string> takeDestinations()
    {
        std::vector<std::string> out;
        for (const auto &[to, bytes] : sent)
            out.push_back(to.text());
        sent.clear();
        return out;
    }
};

const Endpoint A{0x7F000001, 9001}, B{0x7F000001, 9002}, C{0x7F000002, 9003};

std::vector<uint8_t> fader(const std::string &address, float value)
{
    return OscBuilder().message(address, ",f").f32(value).bytes();
}

class ControllerNetworkTest : public EngineTest {
protected:
    ControllerNetworkTest()
    {
        g_now = 1'000'000;
        state.dispatchListener = &network;
        setTable(table(
            {actionRow("/fader1", {"f"}, {{condition("any", range("", "0", "1"), target("Ch1"))}}),
             actionRow("/fader2", {"f"}, {{condition("any", range("", "0", "1"), target("Ch2"))}}),
             actionRow("/gate", {"f"}, {{condition(">", range("5", "0", "10"), target("Ch3"))}})}));
        network.onController = [this](const Endpoint &e, ControllerChange c) {
            news.push_back(e.text() + " " + std::to_string(static_cast<int>(c)));
        };
    }
    void from(const Endpoint &sender, const std::vector<uint8_t> &bytes)
    {
        try {
            handleDatagram(state, bytes, sender);
        } catch (const VbError &) {
            // an undecodable datagram: counted, and dropped as the socket's handler drops it
        }
    }
    void othersOn(uint16_t feedbackPort = FeedbackSettings::SourcePort)
    {
        settings = {FeedbackMode::Others, feedbackPort, 10};
        network.feedbackChanged();
    }
    const ControllerEntry *entryOf(const ControllerTables &t, const Endpoint &e)
    {
        for (const ControllerEntry &c : t.controllers)
            if (c.endpoint == e.text())
                return &c;
        return nullptr;
    }

    RecordingPort port;
    FeedbackSettings settings;
    ControllerNetwork network{port, settings, testClock};
    std::vector<std::string> news;
};

using Strings = std::vector<std::string>;
using Datagrams = std::vector<std::vector<uint8_t>>;

TEST_F(ControllerNetworkTest, countsSendersAndUnmatchedAddressesAndTellsWhoComesAndGoes)
{
    const auto bundle =
        OscBuilder().bundle().element(fader("/fader1", 0.5f)).element(fader("/nobody", 1)).bytes();
    from(A, bundle);
    from(A, fader("/gate", 1));                   // a row takes it, its condition is not satisfied
    from(B, {'/', 'x', 0, 0, ',', 'i', 0, 0, 1}); // cut inside its integer: cannot be decoded
    from(B, OscBuilder().message("/fader2", ",s").str("x").bytes()); // the row wants a float
    from(B, OscBuilder().message("/fader2", ",i").i32(1).bytes());

    const ControllerTables t = network.tables(0);
    ASSERT_EQ(t.controllers.size(), 2u);
    EXPECT_EQ(t.controllers[0].endpoint, B.text()) << "the most recently heard first";
    const ControllerEntry &a = *entryOf(t, A);
    EXPECT_EQ(a.datagrams, 2u);
    EXPECT_EQ(a.bytes, bundle.size() + 16);
    EXPECT_EQ(a.lastAddress, "/gate");
    const ControllerEntry &b = *entryOf(t, B);
    EXPECT_EQ(b.datagrams, 3u);
    EXPECT_EQ(b.failedDatagrams, 1u);
    ASSERT_EQ(t.unmatched.size(), 2u);
    EXPECT_EQ(t.unmatched[0].address, "/fader2");
    EXPECT_EQ(t.unmatched[0].messages, 2u);
    EXPECT_EQ(t.unmatched[1].address, "/nobody");
    EXPECT_EQ(news, (Strings{A.text() + " 0", B.text() + " 0"}));

    // Ten seconds of silence: both have gone; the next datagram brings one back.
    EXPECT_EQ(port.expiryAskedIn, TrafficTables::SilenceMs);
    g_now += TrafficTables::SilenceMs;
    network.expire();
    from(A, fader("/fader1", 0.1f));
    EXPECT_EQ(news, (Strings{A.text() + " 0", B.text() + " 0", B.text() + " 2", A.text() + " 2",
                             A.text() + " 1"}));
    EXPECT_TRUE(port.sent.empty()) << "feedback is off";
}

TEST_F(ControllerNetworkTest, feedbackSendsTheLastMessageOfEachAddressToTheOthersOnly)
{
    for (const Endpoint &e : {A, B, C})
        from(e, fader("/gate", 0)); // heard, nothing executed
    othersOn();
    from(A, fader("/fader1", 0.1f));
    from(A, fader("/fader1", 0.2f));
    from(B, OscBuilder().bundle().element(fader("/fader2", 0.7f)).bytes());
    EXPECT_EQ(port.flushesAsked, 1) << "one flush per turn of the loop";
    network.flushFeedback();

    // The last /fader1 to B and C, the bundle's element as a message of its own to A and C.
    ASSERT_EQ(port.sent.size(), 4u);
    std::map<std::string, std::vector<std::vector<uint8_t>>> got;
    for (const auto &[to, bytes] : port.sent)
        got[to.text()].push_back(bytes);
    EXPECT_EQ(got[A.text()], (Datagrams{fader("/fader2", 0.7f)}));
    EXPECT_EQ(got[B.text()], (Datagrams{fader("/fader1", 0.2f)}));
    EXPECT_EQ(got[C.text()], (Datagrams{fader("/fader1", 0.2f), fader("/fader2", 0.7f)}));

    // A fixed port: one datagram per machine, none to the sender's machine.
    port.sent.clear();
    othersOn(9000);
    from(A, fader("/fader1", 0.3f));
    network.flushFeedback();
    EXPECT_EQ(port.takeDestinations(), (Strings{"127.0.0.2:9000"}));

    // Off: nothing gathered, nothing sent.
    settings.mode = FeedbackMode::Off;
    network.feedbackChanged();
    from(A, fader("/fader1", 0.4f));
    network.flushFeedback();
    EXPECT_TRUE(port.sent.empty());
}

TEST_F(ControllerNetworkTest, aControllerThatAppearsGetsTheLastMessageOfEveryAddressOnce)
{
    othersOn();
    from(A, fader("/fader1", 0.1f));
    from(A, fader("/fader2", 0.2f));
    network.flushFeedback();
    port.sent.clear();

    const Endpoint D{0x7F000003, 7000};
    from(D, fader("/gate", 0));
    from(D, fader("/gate", 0));
    EXPECT_EQ(port.takeDestinations(), (Strings{D.text(), D.text()})) << "once, both addresses";

    // Back after ten seconds of silence: the state again.
    g_now += TrafficTables::SilenceMs;
    from(D, fader("/gate", 0));
    EXPECT_EQ(port.sent.size(), 2u);
    EXPECT_EQ(port.sent[1].second, fader("/fader2", 0.2f));
}

TEST_F(ControllerNetworkTest, anEchoWithinTheWindowIsHeldBackAndALaterOneGoesOn)
{
    for (const Endpoint &e : {A, B, C})
        from(e, fader("/gate", 0));
    othersOn();
    from(A, fader("/fader1", 0.5f));
    network.flushFeedback();
    port.sent.clear();

    g_now += Feedback::EchoWindowMs - 1;
    from(B, fader("/fader1", 0.5f)); // B echoes what it got
    network.flushFeedback();
    EXPECT_TRUE(port.sent.empty());
    EXPECT_EQ(network.tables(0).echoesHeldBack, 1u);

    g_now += 1; // the same value moved on B's own a moment later is news
    from(B, fader("/fader1", 0.5f));
    network.flushFeedback();
    EXPECT_EQ(port.takeDestinations().size(), 2u);
}

TEST(ControllerTables, stayBoundedUnderTenThousandSendersAndAddressesWithFlatMemory)
{
    TrafficTables traffic;
    EndpointTraffic *record = nullptr;
    auto flood = [&](uint32_t first, uint32_t count) {
        for (uint32_t i = first; i < first + count; ++i) {
            traffic.datagram({0x0A000000 + i / 60000, static_cast<uint16_t>(i % 60000 + 1)}, 20, i,
                             record);
            TrafficTables::setLastAddress(*record, "/a/rather/long/address/" + std::to_string(i));
            traffic.unmatched("/unmatched/" + std::to_string(i), i);
        }
    };
    flood(0, 2000); // every entry and buffer in use
    const size_t inUse = mallinfo2().uordblks;
    flood(2000, 8000);
    EXPECT_LE(mallinfo2().uordblks, inUse + 1024);
    EXPECT_EQ(traffic.endpoints().size(), TrafficTables::EndpointCapacity);
    EXPECT_EQ(traffic.endpoints().evictions(), 10000 - TrafficTables::EndpointCapacity);
    EXPECT_EQ(traffic.unmatchedAddresses().size(), TrafficTables::AddressCapacity);
    EXPECT_EQ(traffic.unmatchedAddresses().evictions(), 10000 - TrafficTables::AddressCapacity);
    EXPECT_NE(traffic.endpoints().find(Endpoint{0x0A000000, 10000 % 60000}.key()), nullptr)
        << "the newest stays";
}

// Random use against a plain model: the same entries, in the same order of use. A small table
// wraps around its buckets all the time.
TEST(LruTable, keepsTheMostRecentlyUsedEntriesInOrderOfUse)
{
    for (const size_t capacity : {size_t{3}, size_t{40}}) {
        std::mt19937 random(7);
        LruTable<uint64_t, int> table(capacity);
        std::vector<uint64_t> model; // most recent first
        for (int step = 0; step < 20000; ++step) {
            const uint64_t key = random() % (capacity * 3);
            bool added = false;
            table.touch(key, added) = static_cast<int>(key);
            std::erase(model, key);
            model.insert(model.begin(), key);
            if (model.size() > capacity)
                model.pop_back();
        }
        std::vector<uint64_t> order;
        table.forEach([&](uint64_t key, int value) {
            EXPECT_EQ(value, static_cast<int>(key));
            order.push_back(key);
            return true;
        });
        EXPECT_EQ(order, model) << capacity;
        for (uint64_t key = 0; key < capacity * 3; ++key)
            EXPECT_EQ(table.find(key) != nullptr, std::count(model.begin(), model.end(), key) == 1)
                << key;
    }
}

} // namespace
} // namespace tarvex::test
