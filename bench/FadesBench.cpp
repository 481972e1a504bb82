// Fades in the host's DMX output: what one frame of 64 gliding channels costs, and the DMX
// output in real time with 64 channels always gliding beside the same output idle.
//
//   build/bench/bench/tarvex_fades_bench
//
// Benchmarks: fades/step/64 (one frame: 64 channels stepped into Universes, every change handed
// to the DMX sender's mailbox; one iteration is one frame), fades/realtime/none and
// fades/realtime/64 (two seconds each of frames every 25 ms on the event loop's side, with the
// sender's worker sending to an output that counts; counters: cpu_percent of one core for the
// whole process, the worker included, and frames_per_s sent for the universe).

#include "host/dmx/DmxSender.h"
#include "host/objects/Fades.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <ctime>
#include <thread>

namespace {

using namespace tarvex;
using namespace tarvex::host;
using namespace std::chrono_literals;

constexpr int Channels = 64;

class CountingOutput : public dmx::DmxOutput {
public:
    explicit CountingOutput(std::atomic<int> &frames) : m_frames(frames) {}
    bool connect(std::string &) override { return true; }
    bool send(uint8_t, const dmx::DmxFrame &frame, std::string &) override
    {
        benchmark::DoNotOptimize(frame[0]);
        ++m_frames;
        return true;
    }
    void disconnect() override {}

private:
    std::atomic<int> &m_frames;
};

double processCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Sends every channel to a new level over 300 ms: a wash that keeps moving.
void retarget(Fades &fades, int round)
{
    for (int c = 1; c <= Channels; ++c)
        fades.moveTo({1, c, false}, static_cast<uint32_t>((round * 97 + c * 13) % 256), 300ms);
}

void stepOfSixtyFour(benchmark::State &state)
{
    auto universes = std::make_shared<Universes>(1);
    std::atomic<int> frames{0};
    dmx::DmxSender sender(std::make_unique<CountingOutput>(frames), nullptr);
    universes->subscribe(
        [&](uint8_t u, const Universes::Frame &f) { sender.universeChanged(u, f); });
    Fades fades(universes);
    Fades::Clock::time_point now{};
    fades.setClock([&] { return now; });
    int frame = 0;
    for (auto _ : state) {
        if (frame % 12 == 0)
            retarget(fades, frame / 12);
        now += 25ms;
        fades.step();
        ++frame;
    }
}

void realTime(benchmark::State &state, bool fading)
{
    for (auto _ : state) {
        auto universes = std::make_shared<Universes>(1);
        std::atomic<int> frames{0};
        dmx::DmxSender sender(std::make_unique<CountingOutput>(frames), nullptr);
        universes->subscribe(
            [&](uint8_t u, const Universes::Frame &f) { sender.universeChanged(u, f); });
        universes->set(1, 1, 1); // the universe exists for the sender from the start
        sender.start();
        Fades fades(universes);
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = processCpuSeconds();
        const int startFrames = frames.load();
        auto next = start;
        for (int tick = 0; tick < 80; ++tick) { // 2 s of 25 ms frames
            if (fading && tick % 12 == 0)
                retarget(fades, tick / 12);
            if (fading)
                fades.step();
            next += 25ms;
            std::this_thread::sleep_until(next);
        }
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double cpu = processCpuSeconds() - cpuStart;
        sender.stop();
        state.SetIterationTime(wall);
        state.counters["cpu_percent"] = 100 * cpu / wall;
        state.counters["frames_per_s"] = (frames.load() - startFrames) / wall;
    }
}

BENCHMARK(stepOfSixtyFour)->Name("fades/step/64");
BENCHMARK_CAPTURE(realTime, none, false)
    ->Name("fades/realtime/none")
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK_CAPTURE(realTime, sixtyFour, true)
    ->Name("fades/realtime/64")
    ->UseManualTime()
    ->Iterations(1);

} // namespace

BENCHMARK_MAIN();
