#pragma once
// HostProcess: a real tarvex-host child for the benchmarks. Its standard output is read by a
// thread of its own that stamps every line with the time it arrived, so the benchmark's own
// work never delays the stamp. Every wait is bounded.
//
//   HostProcess host;
//   host.start({TARVEX_HOST_EXE, "--headless", project});
//   auto ready = host.waitFor("ready", std::chrono::seconds(10));

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace tarvex::bench {

using Clock = std::chrono::steady_clock;

struct TimedLine {
    Clock::time_point at;
    std::string text;
};

class HostProcess {
public:
    HostProcess() = default;
    ~HostProcess(); // kills a child still running
    HostProcess(const HostProcess &) = delete;
    HostProcess &operator=(const HostProcess &) = delete;

    // Runs the program (arguments[0]) with QT_QPA_PLATFORM=offscreen; standard error goes to
    // errorFile, or is dropped without one.
    bool start(const std::vector<std::string> &arguments, const std::string &errorFile = {});
    void send(const std::string &line);
    // The next line not yet taken that carries this event; lines before it are skipped.
    std::optional<TimedLine> waitFor(const std::string &event, std::chrono::milliseconds bound);
    // Sends "quit" and waits for the exit; kills the child after the bound.
    bool quit(std::chrono::milliseconds bound);
    // Waits for the child to end by itself (as with --help); its peak resident size in kB.
    std::optional<long> waitForExit(std::chrono::milliseconds bound);
    pid_t pid() const { return m_pid; }

private:
    void readLines();

    pid_t m_pid = 0;
    int m_input = -1;
    int m_output = -1;
    std::thread m_reader;
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::deque<TimedLine> m_lines;
    bool m_ended = false;
};

// The "event" of a JSON line, as the host writes it: {"event":"NAME",...}.
bool isEvent(const std::string &line, const std::string &event);

} // namespace tarvex::bench
