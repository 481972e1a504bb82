// Dispatch time per datagram: decode, match and execute on a do-nothing host target, against
// action tables of 1, 100 and 10 000 rows of which one matches; beside liblo's dispatch of the
// same datagram to a server with 12 and with 128 registered methods.
//
//   build/bench/bench/tarvex_dispatch_bench --benchmark_format=json
//
// Benchmarks: dispatch/rows:<N> and dispatch/liblo/methods:<N>; one iteration is one datagram.

#include "bench/BenchHost.h"
#include "bench/ServerWindows.h"
#include "engine/OSCHandler.h"
#include "osc/OSCMessages.h"
#include "tests/support/ActionRows.h"
#include "tests/support/OscBuilder.h"

#include <benchmark/benchmark.h>
#include <lo/lo.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using namespace tarvex;
using tarvex::test::OscBuilder;

// The host target only keeps the value from being optimised away.
struct KeepValue {
    static void executed(int32_t value) { benchmark::DoNotOptimize(value); }
};
using NullHelper = tarvex::bench::BenchHelper<KeepValue>;
using tarvex::bench::ServerWindows;

std::vector<uint8_t> faderDatagram()
{
    return OscBuilder().message("/fader1", ",f").f32(0.5f).bytes();
}

// A fader row as the editor stores it: any value of the float, 0..1 onto 0..255.
Variant faderRow(const std::string &address, int32_t id)
{
    using namespace tarvex::test;
    return actionRow(address, {"f"},
                     {{condition("any", range("", "0", "1"), target("Channel " + address))}}, id);
}

void dispatchRows(benchmark::State &bench)
{
    const auto rows = static_cast<int32_t>(bench.range(0));
    auto helper = std::make_shared<NullHelper>();
    ServerWindows windows(helper);
    EngineState state(windows);
    state.hostHelper = helper;

    // The matching row stands last: a walk over the table would meet it after all the others.
    VarArray table;
    for (int32_t i = 1; i < rows; ++i)
        table.append(faderRow("/other/" + std::to_string(i), i));
    table.append(faderRow("/fader1", rows));
    state.actionTable.replace(std::move(table));

    const std::vector<uint8_t> datagram = faderDatagram();
    handleDatagram(state, datagram); // creates and caches the host target
    for (auto _ : bench)
        handleDatagram(state, datagram);
    bench.SetItemsProcessed(bench.iterations());
}

int ignoreMessage(const char *, const char *, lo_arg **argv, int, lo_message, void *)
{
    benchmark::DoNotOptimize(argv[0]->f);
    return 0;
}

void ignoreError(int, const char *, const char *) {}

void dispatchLiblo(benchmark::State &bench)
{
    const auto methods = static_cast<int>(bench.range(0));
    lo_server server = lo_server_new_with_proto(nullptr, LO_UDP, ignoreError);
    if (!server) {
        bench.SkipWithError("liblo could not open a server");
        return;
    }
    for (int i = 1; i < methods; ++i)
        lo_server_add_method(server, ("/other/" + std::to_string(i)).c_str(), "f", ignoreMessage,
                             nullptr);
    lo_server_add_method(server, "/fader1", "f", ignoreMessage, nullptr);

    std::vector<uint8_t> datagram = faderDatagram();
    for (auto _ : bench)
        lo_server_dispatch_data(server, datagram.data(), datagram.size());
    bench.SetItemsProcessed(bench.iterations());
    lo_server_free(server);
}

} // namespace

BENCHMARK(dispatchRows)->Name("dispatch")->ArgName("rows")->Arg(1)->Arg(100)->Arg(10000);
BENCHMARK(dispatchLiblo)->Name("dispatch/liblo")->ArgName("methods")->Arg(12)->Arg(128);

BENCHMARK_MAIN();
