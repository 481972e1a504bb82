// The socket component on its own: every queued datagram is delivered per wake-up, in order and
// one at a time, also when a handler runs a nested event loop, closes or destroys the socket.

#include "toolkit/Winsock.h"
#include "core/VbError.h"
#include "tests/support/QtWait.h"

#include <gtest/gtest.h>

#include <memory>

namespace tarvex::test {
namespace {

std::vector<uint8_t> numbered(int n)
{
    return {static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)};
}

int numberOf(const std::vector<uint8_t> &data)
{
    return data.size() == 2 ? (data[0] << 8) | data[1] : -1;
}

class WinsockTest : public ::testing::Test {
protected:
    WinsockTest()
    {
        socket->setProtocol(Winsock::Protocol::Udp);
        socket->Bind(0, "127.0.0.1");
        socket->onDataArrival = [this](int32_t bytes) {
            std::vector<uint8_t> data;
            socket->GetData(data);
            EXPECT_EQ(static_cast<size_t>(bytes), data.size());
            received.push_back(numberOf(data));
            if (onEach)
                onEach(numberOf(data));
        };
    }

    std::unique_ptr<Winsock> socket = std::make_unique<Winsock>();
    std::vector<int> received;
    std::function<void(int)> onEach;
};

TEST_F(WinsockTest, deliversEveryQueuedDatagramInOrderBeforeTheLoopTurns)
{
    UdpSender sender(socket->LocalPort());
    const int count = 200;
    for (int i = 0; i < count; ++i)
        sender.send(numbered(i));
    // A zero timer runs on the loop's next turn: all datagrams must come before it.
    int deliveredAtNextTurn = -1;
    onEach = [&](int n) {
        if (n == 0)
            QTimer::singleShot(0, [&] { deliveredAtNextTurn = static_cast<int>(received.size()); });
    };
    ASSERT_TRUE(waitUntil([&] { return deliveredAtNextTurn >= 0; }));
    EXPECT_EQ(deliveredAtNextTurn, count);
    std::vector<int> expected(count);
    for (int i = 0; i < count; ++i)
        expected[i] = i;
    EXPECT_EQ(received, expected);
}

TEST_F(WinsockTest, aFloodLetsTheLoopTurnAndLosesNoDatagram)
{
    // Ten per turn: each turn ends with datagrams fetched but not delivered (batches of 16),
    // and with datagrams still in the socket.
    socket->setDeliveriesPerTurn(10);
    UdpSender sender(socket->LocalPort());
    const int count = 45;
    for (int i = 0; i < count; ++i)
        sender.send(numbered(i));
    int deliveredAtNextTurn = -1;
    onEach = [&](int n) {
        if (n == 0)
            QTimer::singleShot(0, [&] { deliveredAtNextTurn = static_cast<int>(received.size()); });
    };
    ASSERT_TRUE(waitUntil([&] { return received.size() == count; }));
    EXPECT_GE(deliveredAtNextTurn, 10);
    EXPECT_LT(deliveredAtNextTurn, count) << "the loop got no turn during the flood";
    for (int i = 0; i < count; ++i)
        EXPECT_EQ(received[i], i);
}

TEST_F(WinsockTest, aDatagramArrivingDuringANestedLoopWaitsForTheHandler)
{
    UdpSender sender(socket->LocalPort());
    int depth = 0, deepest = 0;
    onEach = [&](int n) {
        ++depth;
        deepest = std::max(deepest, depth);
        if (n == 0) {
            sender.send(numbered(1));
            sender.send(numbered(2));
            for (int i = 0; i < 20; ++i)
                processPendingEvents(); // a modal box or a host call under way
            EXPECT_EQ(received.size(), 1u) << "delivered inside the nested loop";
        }
        --depth;
    };
    sender.send(numbered(0));
    ASSERT_TRUE(waitUntil([&] { return received.size() == 3; }));
    EXPECT_EQ(received, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(deepest, 1);
    // The socket is watched again afterwards.
    sender.send(numbered(3));
    EXPECT_TRUE(waitUntil([&] { return received.size() == 4; }));
}

TEST_F(WinsockTest, closingInAHandlerDropsTheRest)
{
    UdpSender sender(socket->LocalPort());
    onEach = [&](int n) {
        if (n == 1)
            socket->Close();
    };
    for (int i = 0; i < 5; ++i)
        sender.send(numbered(i));
    ASSERT_TRUE(waitUntil([&] { return received.size() >= 2; }));
    processPendingEvents();
    EXPECT_EQ(received, (std::vector<int>{0, 1}));
    EXPECT_EQ(socket->State(), Winsock::sckClosed);
}

TEST_F(WinsockTest, aHandlerMayRebindAndDeliveryGoesOnWithTheNewSocket)
{
    UdpSender first(socket->LocalPort());
    uint16_t next = freeUdpPort();
    UdpSender second(next);
    onEach = [&](int n) {
        if (n == 0) {
            socket->Close();
            socket->Bind(next, "127.0.0.1");
            second.send(numbered(10));
            second.send(numbered(11));
        }
    };
    first.send(numbered(0));
    first.send(numbered(1)); // went down with the first socket
    ASSERT_TRUE(waitUntil([&] { return received.size() == 3; }));
    EXPECT_EQ(received, (std::vector<int>{0, 10, 11}));
}

TEST_F(WinsockTest, aHandlerMayDestroyTheSocket)
{
    UdpSender sender(socket->LocalPort());
    onEach = [&](int) { socket.reset(); };
    sender.send(numbered(0));
    sender.send(numbered(1));
    ASSERT_TRUE(waitUntil([&] { return socket == nullptr; }));
    processPendingEvents();
    EXPECT_EQ(received, std::vector<int>{0});
}

TEST_F(WinsockTest, bindFailuresCarryTheSocketsErrorNumbersAndNameTheAddressAndPort)
{
    struct Failure {
        int32_t number = 0;
        std::string description;
    };
    auto failureOf = [](auto &&bind) {
        try {
            bind();
        } catch (const VbError &e) {
            return Failure{e.number(), e.description()};
        }
        return Failure{};
    };
    EXPECT_EQ(failureOf([&] { socket->Bind(1234, "127.0.0.1"); }).number, 40020)
        << "binding a bound socket";
    Winsock other;
    const uint16_t taken = socket->LocalPort();
    const uint16_t free = freeUdpPort();
    const std::string freeText = std::to_string(free);
    const std::vector<std::tuple<std::string, uint16_t, int32_t, std::string>> cases{
        {"127.0.0.1", taken, 10048,
         "Address 127.0.0.1:" + std::to_string(taken) + " is already in use"},
        {"localhost", free, 10049, "Address \"localhost\":" + freeText}, // dotted IPv4 only
        {"127.0.0.300", free, 10049, "Address \"127.0.0.300\":" + freeText},
        {"192.0.2.1", free, 10049,
         "Address 192.0.2.1:" + freeText + " is not available from the local machine"},
    };
    for (const auto &[ip, port, number, description] : cases) {
        const Failure failure = failureOf([&] { other.Bind(port, ip); });
        EXPECT_EQ(failure.number, number) << ip;
        EXPECT_EQ(failure.description.rfind(description, 0), 0u) << failure.description;
    }
    EXPECT_EQ(other.State(), Winsock::sckClosed);
}

TEST_F(WinsockTest, getDataOutsideAnEventIsEmptyAndCloseIsHarmlessTwice)
{
    std::vector<uint8_t> data{1, 2, 3};
    socket->GetData(data);
    EXPECT_TRUE(data.empty());
    EXPECT_GE(socket->receiveBufferSize(), 256 * 1024);
    socket->Close();
    socket->Close();
    EXPECT_EQ(socket->State(), Winsock::sckClosed);
    EXPECT_EQ(socket->receiveBufferSize(), 0);
}

TEST_F(WinsockTest, emptyAndLargestDatagramsArriveWhole)
{
    std::vector<size_t> sizes;
    socket->onDataArrival = [&](int32_t) {
        std::vector<uint8_t> data;
        socket->GetData(data);
        sizes.push_back(data.size());
    };
    UdpSender sender(socket->LocalPort());
    sender.send({});
    sender.send(std::vector<uint8_t>(65507, 0xAB));
    ASSERT_TRUE(waitUntil([&] { return sizes.size() == 2; }));
    EXPECT_EQ(sizes, (std::vector<size_t>{0, 65507}));
}

} // namespace
} // namespace tarvex::test
