// What the controllers' view adds to one datagram's handling: decode, match and execute one
// fader row as in tarvex_dispatch_bench, with no listener, with the traffic tables (feedback
// off), and with feedback on to the two other controllers of three (sent through a real UDP
// socket on 127.0.0.1, flushed every 64 datagrams as a turn of the event loop would).
//
//   build/bench/bench/tarvex_controllers_bench --benchmark_repetitions=9
//
// Benchmarks: controllers/none, controllers/tables, controllers/feedback; one iteration is one
// datagram, the senders taking turns.

#include "bench/BenchHost.h"
#include "bench/ServerWindows.h"
#include "controllers/ControllerNetwork.h"
#include "engine/OSCHandler.h"
#include "tests/support/ActionRows.h"
#include "tests/support/OscBuilder.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <vector>

namespace {

using namespace tarvex;

struct KeepValue {
    static void executed(int32_t value) { benchmark::DoNotOptimize(value); }
};
using NullHelper = tarvex::bench::BenchHelper<KeepValue>;
using tarvex::bench::ServerWindows;

// Sends for real from a socket of its own; flushes are counted and done by the loop below.
class SocketPort : public ControllerPort {
public:
    SocketPort() : m_fd(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0)) {}
    ~SocketPort() override { ::close(m_fd); }
    bool sendDatagram(const Endpoint &to, std::span<const uint8_t> bytes) override
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(to.address);
        address.sin_port = htons(to.port);
        return ::sendto(m_fd, bytes.data(), bytes.size(), MSG_DONTWAIT,
                        reinterpret_cast<const sockaddr *>(&address), sizeof address) > 0;
    }
    void flushSoon() override {}
    void flushIn(int64_t) override {}
    void expireIn(int64_t) override {}

private:
    int m_fd;
};

// A controller that receives nothing it reads: its queue fills and the system drops the rest.
uint16_t boundPort(int &fd)
{
    fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    return ntohs(address.sin_port);
}

enum Variant_ { None, Tables, FeedbackOn };

void controllers(benchmark::State &bench)
{
    using namespace tarvex::test;
    auto helper = std::make_shared<NullHelper>();
    ServerWindows windows(helper);
    EngineState state(windows);
    state.hostHelper = helper;
    state.actionTable.replace(table({actionRow(
        "/fader1", {"f"}, {{condition("any", range("", "0", "1"), target("Channel"))}}, 1)}));

    SocketPort port;
    FeedbackSettings settings;
    ControllerNetwork network(port, settings);
    const auto variant = static_cast<Variant_>(bench.range(0));
    if (variant != None)
        state.dispatchListener = &network;
    if (variant == FeedbackOn)
        settings.mode = FeedbackMode::Others;

    int fds[3];
    std::vector<Endpoint> senders;
    for (int &fd : fds)
        senders.push_back({INADDR_LOOPBACK, boundPort(fd)});
    std::vector<std::vector<uint8_t>> datagrams;
    for (int i = 0; i < 64; ++i)
        datagrams.push_back(OscBuilder().message("/fader1", ",f").f32(i / 64.0f).bytes());
    for (const Endpoint &sender : senders)
        handleDatagram(state, datagrams[0], sender);

    size_t n = 0;
    for (auto _ : bench) {
        handleDatagram(state, datagrams[n % 64], senders[n % 3]);
        if (++n % 64 == 0)
            network.flushFeedback();
    }
    for (int fd : fds)
        ::close(fd);
    bench.SetItemsProcessed(static_cast<int64_t>(bench.iterations()));
}

} // namespace

BENCHMARK(controllers)
    ->Name("controllers")
    ->ArgName("variant")
    ->Arg(None)
    ->Arg(Tables)
    ->Arg(FeedbackOn);

BENCHMARK_MAIN();
