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
#include <ranges>
#include <set>

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
    int64_t flushAskedIn = -1;
    int64_t expiryAskedIn = -1;

    bool sendDatagram(const Endpoint &to, std::span<const uint8_t> bytes) override
    {
        sent.emplace_back(to, std::vector<uint8_t>(bytes.begin(), bytes.end()));
        return true;
    }
    void flushSoon() override { ++flushesAsked; }
    void flushIn(int64_t ms) override { flushAskedIn = ms; }
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

// A row per address /row0 ... /row1023, and the three of the fixture.
VarArray rowsForEveryAddress()
{
    std::vector<Variant> rows;
    for (int i = 0; i < 1024; ++i)
        rows.push_back(actionRow("/row" + std::to_string(i), {"f"},
                                 {{condition("any", range("", "0", "1"), target("Ch1"))}}));
    for (const char *address : {"/fader1", "/fader2"})
        rows.push_back(
            actionRow(address, {"f"}, {{condition("any", range("", "0", "1"), target("Ch1"))}}));
    return VarArray::ofValues(std::move(rows));
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
    // Flushes as the event loop would, the paced ones included, until nothing waits.
    void flushAll()
    {
        for (int turn = 0; turn < 10'000; ++turn) {
            port.flushAskedIn = -1;
            network.flushFeedback();
            if (port.flushAskedIn < 0 && port.flushesAsked == flushesSeen)
                return;
            flushesSeen = port.flushesAsked;
        }
        ADD_FAILURE() << "the flushes never end";
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
    int flushesSeen = 0;
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
    from(B, OscBuilder().message("/fader2", ",i").bytes()); // its integer is missing: irregular
    from(B, OscBuilder()
                .message("gar\x01"
                         "bage\\",
                         ",")
                .bytes());

    const ControllerTables t = network.tables(0);
    ASSERT_EQ(t.controllers.size(), 2u);
    EXPECT_EQ(t.controllers[0].endpoint, B.text()) << "the most recently heard first";
    const ControllerEntry &a = *entryOf(t, A);
    EXPECT_EQ(a.datagrams, 2u);
    EXPECT_EQ(a.bytes, bundle.size() + 16);
    EXPECT_EQ(a.lastAddress, "/gate");
    EXPECT_TRUE(a.controller) << "its /fader1 ran a row";
    const ControllerEntry &b = *entryOf(t, B);
    EXPECT_EQ(b.datagrams, 4u);
    EXPECT_EQ(b.failedDatagrams, 1u);
    EXPECT_EQ(b.irregularDatagrams, 2u);
    EXPECT_FALSE(b.controller);
    EXPECT_EQ(b.lastAddress, "gar\\x01bage\\x5C") << "control characters are shown escaped";
    ASSERT_EQ(t.unmatched.size(), 3u);
    EXPECT_EQ(t.unmatched[0].address, "gar\\x01bage\\x5C");
    EXPECT_EQ(t.unmatched[1].address, "/fader2");
    EXPECT_EQ(t.unmatched[1].messages, 2u);
    EXPECT_EQ(t.unmatched[2].address, "/nobody");
    EXPECT_EQ(news, (Strings{A.text() + " 0"})) << "only controllers come and go";

    // Ten seconds of silence: A has gone; its next datagram brings it back.
    EXPECT_EQ(port.expiryAskedIn, TrafficTables::SilenceMs);
    g_now += TrafficTables::SilenceMs;
    network.expire();
    from(B, fader("/gate", 0));
    from(A, fader("/gate", 0));
    EXPECT_EQ(news, (Strings{A.text() + " 0", A.text() + " 2", A.text() + " 1"}));
    EXPECT_TRUE(port.sent.empty()) << "feedback is off";
}

// Strangers' datagrams, undecodable, unmatched or matched without running a row, earn nothing:
// no feedback, no state, no news; a controller keeps its place however many of them come.
TEST_F(ControllerNetworkTest, onlyASenderWhoseMessageRanARowBecomesAController)
{
    othersOn();
    from(A, fader("/fader1", 0.5f));
    flushAll();
    port.sent.clear(); // its own message, as its state
    const std::vector<Datagrams> strangers = {
        {{0xFF}}, {fader("/nobody", 1)}, {fader("/gate", 0)}, {{}}};
    uint16_t port0 = 20000;
    for (const Datagrams &kind : strangers)
        for (int i = 0; i < 300; ++i, ++port0)
            for (const auto &bytes : kind)
                from({0x0A000001, port0}, bytes);
    from(A, fader("/fader1", 0.6f));
    flushAll();
    EXPECT_TRUE(port.sent.empty());
    EXPECT_EQ(news, (Strings{A.text() + " 0"}));
    const ControllerTables t = network.tables(0);
    ASSERT_TRUE(entryOf(t, A));
    EXPECT_TRUE(entryOf(t, A)->controller);
    EXPECT_EQ(std::ranges::count(t.controllers, true, &ControllerEntry::controller), 1);
    EXPECT_EQ(t.controllers.size(), 257u);
}

TEST_F(ControllerNetworkTest, feedbackSendsTheLastMessageOfEachAddressToTheOtherControllersOnly)
{
    for (const Endpoint &e : {A, B, C})
        from(e, fader("/gate", 6)); // runs the row: controllers
    othersOn();
    flushAll();
    port.sent.clear(); // the state each got when feedback came on
    from(A, fader("/fader1", 0.1f));
    from(A, fader("/fader1", 0.2f));
    from(B, OscBuilder().bundle().element(fader("/fader2", 0.7f)).bytes());
    EXPECT_TRUE(port.sent.empty()) << "nothing is sent while a datagram is handled";
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

    // Off: nothing gathered for sending, nothing sent.
    settings.mode = FeedbackMode::Off;
    network.feedbackChanged();
    from(A, fader("/fader1", 0.4f));
    network.flushFeedback();
    EXPECT_TRUE(port.sent.empty());
}

// The state: gathered while feedback is off, sent to the controllers there when it comes on
// and to those that appear; always from the flush, within the budgets of a turn, paced, and
// within the credit that the datagrams received earn.
TEST_F(ControllerNetworkTest, theStateGoesFromTheFlushWithinItsBudgetsAndCredit)
{
    setTable(rowsForEveryAddress());
    for (int i = 0; i < 1024; ++i)
        from(A, fader("/row" + std::to_string(i), 0.5f));
    from(B, fader("/row0", 0.25f));
    othersOn(); // A and B were heard: both get the state
    EXPECT_TRUE(port.sent.empty()) << "only a flush sends";
    network.flushFeedback();
    EXPECT_EQ(port.sent.size(), 2 * Feedback::StatePerTurn) << "a turn's part to each";
    EXPECT_EQ(port.flushAskedIn, Feedback::StatePaceMs) << "the rest paced";
    flushAll();
    EXPECT_EQ(port.sent.size(), Feedback::CreditDatagrams) << "the credit kept in reserve";
    const Endpoint stranger{0x0A000009, 1};
    auto earnReserve = [&] {
        for (uint64_t i = 0; i < Feedback::CreditDatagrams / Feedback::SendsPerMessage; ++i)
            from(stranger, {0xFF});
    };
    earnReserve();
    flushAll();
    std::map<std::string, std::set<std::vector<uint8_t>>> got;
    for (const auto &[to, bytes] : port.sent)
        got[to.text()].insert(bytes);
    EXPECT_EQ(got[A.text()].size(), 1024u);
    EXPECT_EQ(got[B.text()].size(), 1024u);
    EXPECT_EQ(port.sent.size(), 2048u);

    // Twenty controllers appear at once: a turn sends at most SendsPerTurn, StatePerTurn to
    // each, and in all no more than the credit.
    port.sent.clear();
    earnReserve();
    for (uint16_t p = 1; p <= 20; ++p)
        from({0x0A000002, p}, fader("/row1", 0.75f));
    EXPECT_TRUE(port.sent.empty());
    network.flushFeedback();
    EXPECT_EQ(port.sent.size(), Feedback::SendsPerTurn);
    std::map<std::string, size_t> perDestination;
    for (const auto &[to, bytes] : port.sent)
        ++perDestination[to.text()];
    EXPECT_LE(std::ranges::max(perDestination | std::views::values), Feedback::StatePerTurn);
    flushAll();
    EXPECT_EQ(port.sent.size(), Feedback::CreditDatagrams);
}

// Controllers that send straight back what they receive, late or not: the echo goes no
// further, so the traffic ends within two rounds; a real move afterwards still goes on.
TEST_F(ControllerNetworkTest, echoesDieWhateverTheirDelay)
{
    const Endpoint D{0x7F000004, 9004};
    for (const Endpoint &e : {A, B, C, D})
        from(e, fader("/gate", 6));
    othersOn();
    flushAll();
    port.sent.clear();
    float value = 0.1f;
    for (const int64_t delay : {0, 150, 1000}) {
        value += 0.1f;
        from(A, fader("/fader1", value));
        network.flushFeedback();
        int rounds = 0;
        for (; !port.sent.empty() && rounds < 10; ++rounds) {
            const auto echoed = std::exchange(port.sent, {});
            g_now += delay;
            for (const auto &[to, bytes] : echoed)
                from(to, bytes);
            flushAll();
        }
        EXPECT_LE(rounds, 2) << delay << " ms";
    }
    EXPECT_EQ(network.tables(0).echoesHeldBack, 3u * 3u);

    from(B, fader("/fader1", value)); // what it holds: a repeat
    from(B, fader("/fader1", 0.9f));  // a move of its own
    network.flushFeedback();
    EXPECT_EQ(port.takeDestinations().size(), 3u);
}

TEST_F(ControllerNetworkTest, aControllerPushedOutOfTheTableGetsItsGone)
{
    for (uint16_t p = 1; p <= TrafficTables::EndpointCapacity + 1; ++p)
        from({0x0A000003, p}, fader("/fader1", 0.5f));
    const Endpoint first{0x0A000003, 1};
    ASSERT_EQ(news.size(), TrafficTables::EndpointCapacity + 2);
    EXPECT_EQ(news[TrafficTables::EndpointCapacity], first.text() + " 2");
    EXPECT_EQ(network.tables(0).controllersEvicted, 1u);
}

TEST(ControllerTables, stayBoundedUnderTenThousandSendersAndAddressesWithFlatMemory)
{
    TrafficTables traffic;
    auto flood = [&](uint32_t first, uint32_t count) {
        for (uint32_t i = first; i < first + count; ++i) {
            const Endpoint from{0x0A000000 + i / 60000, static_cast<uint16_t>(i % 60000 + 1)};
            EndpointTraffic &record = *traffic.datagram(from, 20, i, true).record;
            TrafficTables::setLastAddress(record, "/a/rather/long/address/" + std::to_string(i));
            if (i % 2 == 0)
                traffic.promote(from, [](const Endpoint &) {});
            traffic.unmatched("/unmatched/" + std::to_string(i), i);
        }
    };
    flood(0, 2000); // every entry and buffer in use
    const size_t inUse = mallinfo2().uordblks;
    flood(2000, 8000);
    EXPECT_LE(mallinfo2().uordblks, inUse + 1024);
    EXPECT_EQ(traffic.senders().size(), TrafficTables::EndpointCapacity);
    EXPECT_EQ(traffic.controllers().size(), TrafficTables::EndpointCapacity);
    EXPECT_EQ(traffic.evictions(), 10000 - 2 * TrafficTables::EndpointCapacity);
    EXPECT_EQ(traffic.unmatchedAddresses().size(), TrafficTables::AddressCapacity);
    EXPECT_EQ(traffic.unmatchedAddresses().evictions(), 10000 - TrafficTables::AddressCapacity);
    EXPECT_NE(traffic.controllers().find(Endpoint{0x0A000000, 9998 % 60000 + 1}.key()), nullptr)
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
