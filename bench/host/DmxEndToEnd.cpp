// tarvex-bench-dmx-e2e: from an OSC datagram sent to the host process to the frame an OLA client
// registered for the universe sees, beside the host's own OSC-to-execute latency in the same run
// (the time to its "execute" line). A private olad on 127.0.0.1; the real plug-in and host.
//
// Three modes: datagrams spaced 30 ms (every change is a frame of its own); a continuous stream,
// one datagram about every 5 ms as a fader moved by hand sends them (the output sends the first
// change at once and merges the rest into a frame a period after the last, so a change waits
// half a period on average); and back to back (bursts of 25 datagrams within a millisecond or
// two: all but the first wait for the frame a period later). One JSON line per mode.

#include "bench/host/BenchShow.h"
#include "bench/host/HostProcess.h"
#include "tests/support/OlaDaemon.h"
#include "tests/support/OscBuilder.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <future>
#include <iostream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace tarvex::bench;
using tarvex::test::DmxLevels;
using namespace std::chrono_literals;

namespace {

struct Frame {
    Clock::time_point at;
    uint8_t level;
};

// Reads universe 1 in a thread of its own and keeps every change of channel 7.
class FrameWatcher {
public:
    explicit FrameWatcher(uint16_t olaPort)
    {
        std::promise<bool> subscribed;
        std::future<bool> ready = subscribed.get_future();
        m_thread = std::thread([this, olaPort, &subscribed] {
            tarvex::test::OlaUniverseReader reader(olaPort);
            subscribed.set_value(reader.subscribe(1));
            uint8_t last = 0;
            while (!m_stop)
                reader.runUntil(
                    [&](unsigned, const DmxLevels &levels) {
                        if (levels[6] != last) {
                            last = levels[6];
                            std::lock_guard lock(m_mutex);
                            m_frames.push_back({Clock::now(), last});
                        }
                        return m_stop.load();
                    },
                    200ms);
        });
        m_subscribed = ready.get();
    }
    ~FrameWatcher()
    {
        m_stop = true;
        m_thread.join();
    }
    bool subscribed() const { return m_subscribed; }
    std::vector<Frame> frames()
    {
        std::lock_guard lock(m_mutex);
        return m_frames;
    }

private:
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    bool m_subscribed = false;
    std::mutex m_mutex;
    std::vector<Frame> m_frames;
};

struct Sent {
    Clock::time_point at;
    uint8_t level;
};

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(p * values.size()))];
}

// Each datagram's frame: the first frame that shows its level or a later datagram's.
std::vector<std::optional<Clock::time_point>> frameTimes(const std::vector<Sent> &sent,
                                                         const std::vector<Frame> &frames)
{
    std::vector<std::optional<Clock::time_point>> times(sent.size());
    for (size_t i = 0; i < sent.size(); ++i) {
        for (const Frame &frame : frames) {
            if (frame.at < sent[i].at)
                continue;
            bool showsThisOrLater = false;
            for (size_t j = i; j < sent.size() && sent[j].at <= frame.at; ++j)
                showsThisOrLater = showsThisOrLater || sent[j].level == frame.level;
            if (showsThisOrLater) {
                times[i] = frame.at;
                break;
            }
        }
    }
    return times;
}

double milliseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

class Run {
public:
    Run(HostProcess &host, uint16_t oscPort, FrameWatcher &watcher)
        : m_host(host), m_watcher(watcher), m_fd(::socket(AF_INET, SOCK_DGRAM, 0))
    {
        m_to.sin_family = AF_INET;
        m_to.sin_port = htons(oscPort);
        m_to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    }
    ~Run() { ::close(m_fd); }

    // rounds of `burst` datagrams back to back, `gap` between rounds.
    void measure(const char *mode, int rounds, int burst, std::chrono::milliseconds gap)
    {
        std::vector<Sent> sent;
        std::vector<std::optional<Clock::time_point>> executed;
        for (int r = 0; r < rounds; ++r) {
            for (int b = 0; b < burst; ++b)
                sent.push_back(send());
            for (int b = 0; b < burst; ++b) {
                const auto execute = m_host.waitFor("execute", 2s);
                executed.push_back(execute ? std::optional(execute->at) : std::nullopt);
            }
            std::this_thread::sleep_for(gap);
        }
        std::this_thread::sleep_for(100ms); // the last frame
        const auto framed = frameTimes(sent, m_watcher.frames());
        // Per datagram: send to execute, send to frame, and what the output adds (execute to
        // frame).
        std::vector<double> executes, frames, adds;
        for (size_t i = 0; i < sent.size(); ++i) {
            if (executed[i])
                executes.push_back(milliseconds(*executed[i] - sent[i].at));
            if (framed[i])
                frames.push_back(milliseconds(*framed[i] - sent[i].at));
            if (executed[i] && framed[i])
                adds.push_back(milliseconds(*framed[i] - *executed[i]));
        }
        std::printf("{\"bench\": \"dmx-e2e\", \"mode\": \"%s\", \"sent\": %zu, \"executed\": %zu, "
                    "\"framed\": %zu, \"execute_p50_ms\": %.3f, \"execute_p99_ms\": %.3f, "
                    "\"frame_p50_ms\": %.3f, \"frame_p99_ms\": %.3f, \"output_adds_p50_ms\": %.3f, "
                    "\"output_adds_p99_ms\": %.3f, \"output_adds_max_ms\": %.3f}\n",
                    mode, sent.size(), executes.size(), frames.size(), percentile(executes, 0.5),
                    percentile(executes, 0.99), percentile(frames, 0.5), percentile(frames, 0.99),
                    percentile(adds, 0.5), percentile(adds, 0.99), percentile(adds, 1.0));
        std::fflush(stdout);
    }

private:
    Sent send()
    {
        m_level = static_cast<uint8_t>(m_level % 254 + 1); // 1..254, never the one before
        const auto bytes =
            tarvex::test::OscBuilder().message("/fader1", ",f").f32(m_level / 255.0f).bytes();
        const Clock::time_point at = Clock::now();
        ::sendto(m_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr *>(&m_to),
                 sizeof m_to);
        return {at, m_level};
    }

    HostProcess &m_host;
    FrameWatcher &m_watcher;
    int m_fd;
    sockaddr_in m_to{};
    uint8_t m_level = 0;
};

int fail(const std::string &why)
{
    std::cerr << "tarvex-bench-dmx-e2e: " << why << "\n";
    return 1;
}

} // namespace

int main()
{
    tarvex::test::OlaDaemon olad;
    if (!olad.start())
        return fail(olad.error());
    const uint16_t oscPort = freeUdpPort();
    const std::string project = writeExampleShow(oscPort);
    int result = 0;
    {
        FrameWatcher watcher(olad.port());
        HostProcess host;
        if (!watcher.subscribed())
            result = fail("no OLA client for universe 1");
        else if (!host.start({TARVEX_HOST_EXE, "--headless", "--plugin", TARVEX_PLUGIN,
                              "--ola-port", std::to_string(olad.port()), project}) ||
                 !host.waitFor("ready", 10s) || !host.waitFor("dmxOutput", 10s))
            result = fail("the host did not come up");
        else {
            Run run(host, oscPort, watcher);
            run.measure("spaced-30ms", 300, 1, 30ms);
            run.measure("stream-5ms", 400, 1, 5ms);
            run.measure("back-to-back", 40, 25, 100ms);
            host.quit(5s);
        }
    }
    std::filesystem::remove_all(std::filesystem::path(project).parent_path());
    return result;
}
