// Controllers on real sockets on 127.0.0.1: the plug-in's main window receives from several
// controller sockets, counts them, keeps them in step by feedback (from its own port) and
// cannot be drawn into an echo storm; and its announcement as a browser on the network sees it.
#include "announce/ServiceAnnouncer.h"
#include "tests/support/AvahiBrowser.h"
#include "tests/support/WindowFixture.h"

#include <QElapsedTimer>

#include <fcntl.h>

namespace tarvex::test {
namespace {

// A controller: a socket of its own on 127.0.0.1 that sends to the server and collects what
// comes back.
class Controller {
public:
    explicit Controller(uint16_t serverPort)
        : m_fd(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0))
    {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof local;
        if (::bind(m_fd, reinterpret_cast<sockaddr *>(&local), sizeof local) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&local), &length) != 0)
            throw std::runtime_error("cannot bind a controller");
        port = ntohs(local.sin_port);
        m_server.sin_family = AF_INET;
        m_server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_server.sin_port = htons(serverPort);
    }
    ~Controller() { ::close(m_fd); }

    void send(const std::vector<uint8_t> &bytes)
    {
        ::sendto(m_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr *>(&m_server),
                 sizeof m_server);
    }
    // Reads what has arrived; an echoing controller sends each datagram straight back.
    void collect(bool echo = false)
    {
        uint8_t buffer[2048];
        ssize_t n;
        while ((n = ::recv(m_fd, buffer, sizeof buffer, 0)) > 0) {
            received.emplace_back(buffer, buffer + n);
            if (echo)
                send(received.back());
        }
    }
    std::string endpoint() const { return "127.0.0.1:" + std::to_string(port); }

    uint16_t port = 0;
    std::vector<std::vector<uint8_t>> received;

private:
    int m_fd;
    sockaddr_in m_server{};
};

class ControllersRoad : public WindowTest {
protected:
    ControllersRoad()
    {
        setFaderRow();
        startOn(serverPort);
    }
    ControllerTables tables() { return runtime.controllers().tables(); }
    uint64_t datagramsHandled()
    {
        uint64_t count = 0;
        for (const ControllerEntry &c : tables().controllers)
            count += c.datagrams;
        return count;
    }
    // Every datagram sent so far handled, and the feedback it caused sent.
    void settle(uint64_t sent)
    {
        ASSERT_TRUE(waitUntil([&] { return datagramsHandled() == sent; }));
        processPendingEvents();
    }

    uint16_t serverPort = freeUdpPort();
};

TEST_F(ControllersRoad, threeControllersAreCountedAndKeptInStepWithoutAnEchoStorm)
{
    runtime.state().actionTable.replace(table(
        {actionRow("/fader1", {"f"}, {{condition("any", range("", "0", "1"), target("Ch1"))}}),
         actionRow("/fader2", {"f"}, {{condition("any", range("", "0", "1"), target("Ch2"))}})}));
    Controller a(serverPort), b(serverPort), c(serverPort);
    a.send(fader(0.5f));
    a.send(OscBuilder().message("/nobody", ",i").i32(1).bytes());
    b.send(fader(0.4f));
    c.send(fader(0.3f));
    settle(4);
    ControllerTables t = tables();
    ASSERT_EQ(t.controllers.size(), 3u);
    EXPECT_EQ(t.controllers[2].endpoint, a.endpoint());
    EXPECT_EQ(t.controllers[2].datagrams, 2u);
    EXPECT_EQ(t.controllers[2].lastAddress, "/nobody");
    ASSERT_EQ(t.unmatched.size(), 1u);
    EXPECT_EQ(t.unmatched[0].address, "/nobody");
    for (Controller *x : {&a, &b, &c})
        x->collect();
    EXPECT_TRUE(a.received.empty() && b.received.empty() && c.received.empty())
        << "feedback is off";

    // On: each controller gets the state, then the two others get A's move, from the server's
    // own port; A gets nothing more.
    runtime.controllers().setFeedback({FeedbackMode::Others, FeedbackSettings::SourcePort, 10});
    ASSERT_TRUE(waitUntil([&] {
        for (Controller *x : {&a, &b, &c})
            x->collect();
        return a.received.size() == 1 && b.received.size() == 1 && c.received.size() == 1;
    }));
    EXPECT_EQ(a.received[0], fader(0.3f)) << "the state, gathered while feedback was off";
    for (Controller *x : {&a, &b, &c})
        x->received.clear();
    a.send(fader(0.25f));
    ASSERT_TRUE(waitUntil([&] {
        b.collect();
        c.collect();
        return b.received.size() == 1 && c.received.size() == 1;
    }));
    settle(5);
    a.collect();
    EXPECT_EQ(b.received[0], fader(0.25f));
    EXPECT_EQ(c.received[0], fader(0.25f));
    EXPECT_TRUE(a.received.empty());

    // A controller that appears gets the state.
    Controller d(serverPort);
    d.send(OscBuilder().message("/fader2", ",f").f32(0.75f).bytes());
    ASSERT_TRUE(waitUntil([&] {
        d.collect();
        return d.received.size() == 2;
    }));
    EXPECT_EQ(d.received[0], fader(0.25f));

    // B, C and D echo everything: over two seconds the traffic stays what A's moves cause.
    for (float value : {0.1f, 0.2f, 0.3f})
        a.send(fader(value));
    size_t before = 0;
    for (Controller *x : {&a, &b, &c, &d})
        before += x->received.size();
    waitUntil(
        [&] {
            b.collect(true);
            c.collect(true);
            d.collect(true);
            return false;
        },
        2000);
    size_t after = 0;
    for (Controller *x : {&a, &b, &c, &d}) {
        x->collect();
        after += x->received.size();
    }
    EXPECT_LE(after - before, 3u * 3u + 3u) << "each move to each other controller, at most";
    EXPECT_GE(tables().echoesHeldBack, 3u);
}

// Feedback on, a show of 1 024 addresses: 300 new ports, each sending one datagram, earn no
// feedback when the datagram is undecodable or matches no row; when it runs a row, what is sent
// stays within the credit (8 sends and 8 times the bytes per datagram, over a reserve).
TEST_F(ControllersRoad, strangersEarnNoFeedbackAndControllersNoMoreThanTheCredit)
{
    std::vector<Variant> rows;
    for (int i = 0; i < 1024; ++i)
        rows.push_back(actionRow("/row" + std::to_string(i), {"f"},
                                 {{condition("any", range("", "0", "1"), target("Ch1"))}}));
    runtime.state().actionTable.replace(VarArray::ofValues(std::move(rows)));
    auto row = [](int i) {
        return OscBuilder().message("/row" + std::to_string(i), ",f").f32(0.5f).bytes();
    };
    // Every datagram here either runs a row or lands in the unmatched table.
    uint64_t sent = 0;
    auto handled = [&] {
        uint64_t count = executions().size();
        for (const UnmatchedEntry &u : tables().unmatched)
            count += u.messages;
        return count == sent;
    };
    Controller show(serverPort);
    for (int i = 0; i < 1024; ++i) {
        show.send(row(i));
        if (++sent % 128 == 0) {
            ASSERT_TRUE(waitUntil(handled));
        }
    }
    runtime.controllers().setFeedback({FeedbackMode::Others, FeedbackSettings::SourcePort, 10});
    // Feedback is sent until it stops (sending waits for credit); what the sockets received.
    auto quiet = [&] {
        uint64_t last = UINT64_MAX;
        QElapsedTimer still;
        waitUntil([&] {
            const uint64_t now = tables().feedbackSent;
            if (now != last) {
                last = now;
                still.start();
            }
            return still.elapsed() > 200;
        });
    };
    quiet();

    struct Phase {
        const char *what;
        std::vector<uint8_t> bytes;
        bool controller;
    };
    const Phase phases[] = {
        {"one undecodable byte", {0xFF}, false},
        {"a valid unmatched message", OscBuilder().message("/nobody", ",f").f32(1).bytes(), false},
        {"a valid matched message", row(7), true}};
    for (const Phase &phase : phases) {
        std::vector<std::unique_ptr<Controller>> strangers;
        const uint64_t sentBefore = tables().feedbackSent;
        show.collect();
        show.received.clear();
        for (int i = 0; i < 300; ++i) {
            strangers.push_back(std::make_unique<Controller>(serverPort));
            strangers.back()->send(phase.bytes);
            if (++sent % 100 == 0) {
                ASSERT_TRUE(waitUntil(handled));
            }
        }
        quiet();
        size_t datagrams = 0, bytes = 0;
        show.collect();
        for (auto &s : strangers)
            s->collect();
        auto count = [&](const Controller &x) {
            datagrams += x.received.size();
            for (const auto &d : x.received)
                bytes += d.size();
        };
        count(show);
        for (const auto &s : strangers)
            count(*s);
        EXPECT_EQ(datagrams, tables().feedbackSent - sentBefore) << phase.what;
        const size_t received = 300, receivedBytes = 300 * phase.bytes.size();
        std::cerr << phase.what << ": " << double(datagrams) / received << " datagrams and "
                  << double(bytes) / received << " bytes sent per datagram received\n";
        if (!phase.controller) {
            EXPECT_EQ(datagrams, 0u) << phase.what;
            continue;
        }
        EXPECT_GT(datagrams, 0u);
        EXPECT_LE(datagrams, Feedback::CreditDatagrams + Feedback::SendsPerMessage * received);
        EXPECT_LE(bytes, Feedback::CreditBytes + Feedback::SendsPerMessage * receivedBytes);
    }
}

TEST_F(ControllersRoad, tenThousandSendersLeaveTheTablesBounded)
{
    constexpr int Senders = 10000;
    int sent = 0;
    for (uint16_t port = 20000; sent < Senders && port < 65000; ++port) {
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in local{}, to{};
        local.sin_family = to.sin_family = AF_INET;
        local.sin_addr.s_addr = to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        local.sin_port = htons(port);
        to.sin_port = htons(serverPort);
        const std::vector<uint8_t> bytes = fader(0.5f);
        if (::bind(fd, reinterpret_cast<sockaddr *>(&local), sizeof local) == 0 &&
            ::sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr *>(&to),
                     sizeof to) > 0)
            ++sent;
        ::close(fd);
        if (sent % 200 == 0) { // within what the receive queue holds
            ASSERT_TRUE(waitUntil([&] { return executions().size() == size_t(sent); }));
        }
    }
    ASSERT_EQ(sent, Senders);
    ASSERT_TRUE(waitUntil([&] { return executions().size() == size_t(Senders); }));
    const ControllerTables t = tables();
    EXPECT_EQ(t.controllers.size(), 256u);
    EXPECT_EQ(t.controllersEvicted, uint64_t(Senders - 256));
    EXPECT_EQ(t.socketDrops, 0u);
}

// Against the system's avahi-daemon (.ci/start-avahi starts one): the service appears with the
// server's port, follows it to another and is gone once the server stops.
TEST_F(ControllersRoad, theServerIsAnnouncedWhileItListensBeyondTheLoopback)
{
    AvahiBrowser browser;
    if (!browser.running())
        GTEST_SKIP() << "no avahi-daemon to announce through (" << browser.why()
                     << "); .ci/start-avahi starts one";
    const std::string name = ServiceAnnouncer::serviceName();
    // The daemon probes the name before it announces it, slowly on a loaded machine.
    constexpr int AvahiMs = 30000;
    window().listenOn("0.0.0.0", std::to_string(serverPort));
    EXPECT_TRUE(browser.waitFor(name, serverPort, AvahiMs)) << "announced";
    ASSERT_TRUE(
        waitUntil([&] { return tables().announcement == AnnouncementState::Announced; }, AvahiMs));

    const uint16_t other = freeUdpPort();
    window().listenOn("0.0.0.0", std::to_string(other));
    EXPECT_TRUE(browser.waitFor(name, other, AvahiMs)) << "moved with the port";
    window().Start_Click();
    EXPECT_TRUE(browser.waitForNone(name, AvahiMs)) << "withdrawn when the server stops";
    EXPECT_TRUE(boxes->boxes.empty());
}

} // namespace
} // namespace tarvex::test
