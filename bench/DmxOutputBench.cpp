// DMX output latency: from DmxSender::universeChanged to the frame seen by an OLA client
// registered for the universe on a private olad; beside the same road without the sender
// (libola's streaming client called directly), and the caller's cost of universeChanged.
//
//   build/bench/bench/tarvex_dmx_bench --benchmark_counters_tabular=true
//
// Benchmarks (one iteration is one frame unless said otherwise; the p50_us and p99_us counters
// are over the iterations):
//   dmx/olad/direct            StreamingClient::SendDmx straight to olad: the baseline
//   dmx/olad/sender/spaced     a change 26 ms after the previous frame: never merged
//   dmx/olad/sender/busy       a change as soon as the previous one is seen: rate-limited
//   dmx/universeChanged/olad   the caller's time per change, output to olad
//   dmx/universeChanged/hung   the same while the output is stuck in a write

#include "host/dmx/DmxSender.h"
#include "tests/support/OlaDaemon.h"
#include "tests/support/RecordingDmxOutput.h"

#include <benchmark/benchmark.h>
#include <ola/DmxBuffer.h>
#include <ola/client/StreamingClient.h>

#include <algorithm>
#include <thread>
#include <vector>

namespace {

using namespace tarvex;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr unsigned kUniverse = 1;
constexpr size_t kChannel = 6;

// One olad for the whole run, started on first use.
test::OlaDaemon *olad(std::string &error)
{
    static test::OlaDaemon daemon;
    static bool started = daemon.start();
    if (!started)
        error = daemon.error();
    return started ? &daemon : nullptr;
}

void reportPercentiles(benchmark::State &state, std::vector<double> micros)
{
    if (micros.empty())
        return;
    std::sort(micros.begin(), micros.end());
    auto at = [&](double q) { return micros[static_cast<size_t>(q * (micros.size() - 1))]; };
    state.counters["p50_us"] = at(0.50);
    state.counters["p99_us"] = at(0.99);
    state.counters["max_us"] = micros.back();
}

// Times `send(level)` until the reader sees the level; one sample per iteration.
template <typename Send>
void measure(benchmark::State &state, test::OlaUniverseReader &reader, Send send,
             Clock::duration pause)
{
    std::vector<double> micros;
    uint8_t level = 0;
    for (auto _ : state) {
        level = static_cast<uint8_t>(level % 250 + 1);
        Clock::time_point sent = Clock::now();
        Clock::time_point seen{};
        send(level);
        bool ok = reader.runUntil(
            [&](unsigned universe, const test::DmxLevels &frame) {
                if (universe != kUniverse || frame[kChannel] != level)
                    return false;
                seen = Clock::now();
                return true;
            },
            2s);
        if (!ok) {
            state.SkipWithError("the frame did not arrive within 2 s");
            return;
        }
        std::chrono::duration<double> took = seen - sent;
        state.SetIterationTime(took.count());
        micros.push_back(took.count() * 1e6);
        if (pause > 0s)
            std::this_thread::sleep_for(pause);
    }
    reportPercentiles(state, std::move(micros));
}

bool prepare(benchmark::State &state, test::OlaDaemon *&daemon,
             std::unique_ptr<test::OlaUniverseReader> &reader)
{
    std::string error;
    daemon = olad(error);
    if (!daemon) {
        state.SkipWithError(("olad did not start: " + error).c_str());
        return false;
    }
    reader = std::make_unique<test::OlaUniverseReader>(daemon->port());
    if (!reader->subscribe(kUniverse)) {
        state.SkipWithError(("cannot read from olad: " + reader->error()).c_str());
        return false;
    }
    return true;
}

void direct(benchmark::State &state)
{
    test::OlaDaemon *daemon = nullptr;
    std::unique_ptr<test::OlaUniverseReader> reader;
    if (!prepare(state, daemon, reader))
        return;
    ola::client::StreamingClient::Options options;
    options.auto_start = false;
    options.server_port = daemon->port();
    ola::client::StreamingClient client(options);
    if (!client.Setup()) {
        state.SkipWithError("the streaming client did not connect");
        return;
    }
    ola::DmxBuffer buffer;
    buffer.Blackout();
    measure(
        state, *reader,
        [&](uint8_t level) {
            buffer.SetChannel(kChannel, level);
            client.SendDmx(kUniverse, buffer);
        },
        26ms);
}
BENCHMARK(direct)->Name("dmx/olad/direct")->UseManualTime()->Iterations(200);

void throughSender(benchmark::State &state, Clock::duration pause)
{
    test::OlaDaemon *daemon = nullptr;
    std::unique_ptr<test::OlaUniverseReader> reader;
    if (!prepare(state, daemon, reader))
        return;
    dmx::DmxSender sender(dmx::makeOlaOutput(daemon->port()), {});
    sender.start();
    dmx::DmxFrame frame{};
    // The first frame makes sure the sender is connected before the clock runs.
    sender.universeChanged(kUniverse, frame);
    if (!reader->waitForFrame(kUniverse, [](const test::DmxLevels &) { return true; })) {
        state.SkipWithError("the sender did not reach olad");
        return;
    }
    if (pause > 0s)
        std::this_thread::sleep_for(pause);
    measure(
        state, *reader,
        [&](uint8_t level) {
            frame[kChannel] = level;
            sender.universeChanged(kUniverse, frame);
        },
        pause);
}
void spaced(benchmark::State &state)
{
    throughSender(state, 26ms);
}
void busy(benchmark::State &state)
{
    throughSender(state, 0s);
}
BENCHMARK(spaced)->Name("dmx/olad/sender/spaced")->UseManualTime()->Iterations(200);
BENCHMARK(busy)->Name("dmx/olad/sender/busy")->UseManualTime()->Iterations(100);

// The caller's side: one change per iteration, each a different frame.
void callerCost(benchmark::State &state, dmx::DmxSender &sender)
{
    dmx::DmxFrame frame{};
    uint32_t n = 0;
    for (auto _ : state) {
        ++n;
        frame[n % 512] = static_cast<uint8_t>(n);
        sender.universeChanged(static_cast<uint8_t>(n % 4), frame);
    }
}

void changedToOlad(benchmark::State &state)
{
    std::string error;
    test::OlaDaemon *daemon = olad(error);
    if (!daemon) {
        state.SkipWithError(("olad did not start: " + error).c_str());
        return;
    }
    dmx::DmxSender sender(dmx::makeOlaOutput(daemon->port()), {});
    sender.start();
    callerCost(state, sender);
}
BENCHMARK(changedToOlad)->Name("dmx/universeChanged/olad");

void changedWhileHung(benchmark::State &state)
{
    auto rec = std::make_shared<test::DmxRecording>();
    rec->holdSends = true;
    {
        dmx::DmxSender::Timing timing;
        timing.stopWait = 0s;
        dmx::DmxSender sender(std::make_unique<test::RecordingDmxOutput>(rec), {}, timing);
        sender.start();
        callerCost(state, sender);
    }
    rec->update([&] { rec->holdSends = false; });
    rec->waitFor([&] { return rec->destroyed; });
}
BENCHMARK(changedWhileHung)->Name("dmx/universeChanged/hung");

} // namespace

BENCHMARK_MAIN();
