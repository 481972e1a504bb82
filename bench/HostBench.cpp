// The host's share of a datagram: a DMX target's execute (level rule, channel write, listener)
// against the floor of the same work written inline, and a whole datagram through the engine into
// the host's objects against the same datagram into a do-nothing host.
//
//   build/bench/bench/tarvex_host_bench --benchmark_format=json
//
// Benchmarks: host/execute/changing (every call moves the level), host/execute/unchanged (the
// same level again), host/floor (scale, store, call a listener; no objects), host/datagram/dmx
// and host/datagram/null; one iteration is one execute or one datagram.

#include "engine/OSCHandler.h"
#include "host/objects/HostHelper.h"
#include "tests/support/ActionRows.h"
#include "tests/support/FakeHost.h"
#include "tests/support/FakeWindows.h"
#include "tests/support/OscBuilder.h"

#include <benchmark/benchmark.h>

#include <array>
#include <functional>
#include <memory>

namespace {

using namespace tarvex;
using namespace tarvex::host;

struct Host {
    std::shared_ptr<Universes> universes = std::make_shared<Universes>(4);
    std::shared_ptr<HostEvents> events = std::make_shared<HostEvents>();
    std::shared_ptr<HostHelper> helper = std::make_shared<HostHelper>(universes, events);

    Host()
    {
        universes->subscribe(
            [](uint8_t, const Universes::Frame &frame) { benchmark::DoNotOptimize(frame[0]); });
        events->executed = [](const TargetValues &t, int32_t v, int32_t, int32_t) {
            benchmark::DoNotOptimize(&t);
            benchmark::DoNotOptimize(v);
        };
    }
};

void executeDmx(benchmark::State &state, bool changing)
{
    Host host;
    HostTargetPtr target = host.helper->GetTargetFactory()->CreateTarget("DMX", "", "", 1, 7);
    int32_t step = 0;
    for (auto _ : state) {
        int32_t value = changing ? (step++ & 0xFF) : 128, min = 0, max = 255;
        target->Execute(value, min, max, Variant());
    }
}

void floorOfTheSameWork(benchmark::State &state)
{
    std::array<uint8_t, 512> frame{};
    std::function<void(uint8_t, const std::array<uint8_t, 512> &)> listener =
        [](uint8_t, const std::array<uint8_t, 512> &f) { benchmark::DoNotOptimize(f[0]); };
    int32_t step = 0;
    for (auto _ : state) {
        int32_t value = step++ & 0xFF;
        benchmark::DoNotOptimize(value);
        frame[6] = static_cast<uint8_t>((int64_t{value} * 255 + 127) / 255);
        listener(1, frame);
    }
}

class NullTarget : public test::FakeHostTarget {
public:
    NullTarget() : FakeHostTarget(nullptr, {}, {}, {}, 0, 0) {}
    void Execute(int32_t &value, int32_t &, int32_t &, const Variant &) override
    {
        benchmark::DoNotOptimize(value);
    }
};

class NullFactory : public test::FakeTargetFactory {
public:
    NullFactory() : FakeTargetFactory(nullptr) {}
    HostTargetPtr CreateTarget(const Variant &, const Variant &, const Variant &, uint8_t,
                               int32_t) override
    {
        return std::make_shared<NullTarget>();
    }
};

class NullHelper : public Object, public IHostModule {
public:
    std::shared_ptr<Object> stream = std::make_shared<HostStream>(nullptr);
    std::shared_ptr<NullFactory> factory = std::make_shared<NullFactory>();
    Variant callByName(std::string_view member, std::span<const Variant> arguments) override
    {
        if (sameMemberName(member, "MyStream"))
            return Variant(stream);
        return Object::callByName(member, arguments);
    }
    TargetFactoryPtr GetTargetFactory() override { return factory; }
    OptionListPtr NewOptionList() override { return nullptr; }
    ModuleInfoPtr NewModuleInfo() override { return nullptr; }
};

void datagram(benchmark::State &state, const ObjectPtr &helper)
{
    test::FakeWindows windows;
    windows.cmp = std::dynamic_pointer_cast<IHostModule>(helper);
    EngineState plugin(windows);
    plugin.hostHelper = helper;
    plugin.actionTable.replace(test::table({test::actionRow(
        "/fader1", {"f"},
        {{test::condition("any", test::range("", "0", "1"),
                          VarArray::ofValues({Variant("DMX"), Variant(""), Variant(""),
                                              Variant::byte(1), Variant(7)}))}})}));
    std::vector<std::vector<uint8_t>> datagrams;
    for (int i = 0; i < 256; ++i)
        datagrams.push_back(
            test::OscBuilder().message("/fader1", ",f").f32(static_cast<float>(i) / 255).bytes());
    size_t i = 0;
    for (auto _ : state)
        handleDatagram(plugin, datagrams[i++ & 0xFF]);
}

void datagramIntoDmx(benchmark::State &state)
{
    Host host;
    datagram(state, host.helper);
}

void datagramIntoNull(benchmark::State &state)
{
    datagram(state, std::make_shared<NullHelper>());
}

BENCHMARK_CAPTURE(executeDmx, changing, true)->Name("host/execute/changing");
BENCHMARK_CAPTURE(executeDmx, unchanged, false)->Name("host/execute/unchanged");
BENCHMARK(floorOfTheSameWork)->Name("host/floor");
BENCHMARK(datagramIntoDmx)->Name("host/datagram/dmx");
BENCHMARK(datagramIntoNull)->Name("host/datagram/null");

} // namespace

BENCHMARK_MAIN();
