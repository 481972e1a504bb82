#include "bench/host/HostProcess.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tarvex::bench {

bool isEvent(const std::string &line, const std::string &event)
{
    return line.find("\"event\":\"" + event + "\"") != std::string::npos;
}

HostProcess::~HostProcess()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    if (m_input >= 0)
        ::close(m_input);
    if (m_reader.joinable())
        m_reader.join();
    if (m_output >= 0)
        ::close(m_output);
}

bool HostProcess::start(const std::vector<std::string> &arguments, const std::string &errorFile)
{
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
        return false;
    m_pid = ::fork();
    if (m_pid < 0)
        return false;
    if (m_pid == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        const int error = errorFile.empty()
                              ? ::open("/dev/null", O_WRONLY)
                              : ::open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(error, 2);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        std::vector<char *> argv;
        for (const std::string &a : arguments)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    m_input = in[1];
    m_output = out[0];
    std::signal(SIGPIPE, SIG_IGN);
    m_reader = std::thread([this] { readLines(); });
    return true;
}

void HostProcess::readLines()
{
    std::string partial;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(m_output, buffer, sizeof buffer)) > 0) {
        const Clock::time_point at = Clock::now();
        partial.append(buffer, static_cast<size_t>(n));
        size_t end;
        std::lock_guard lock(m_mutex);
        while ((end = partial.find('\n')) != std::string::npos) {
            m_lines.push_back({at, partial.substr(0, end)});
            partial.erase(0, end + 1);
        }
        m_arrived.notify_all();
    }
    std::lock_guard lock(m_mutex);
    m_ended = true;
    m_arrived.notify_all();
}

void HostProcess::send(const std::string &line)
{
    const std::string text = line + "\n";
    if (::write(m_input, text.data(), text.size()) < 0)
        return; // a child that is gone shows in the next wait
}

std::optional<TimedLine> HostProcess::waitFor(const std::string &event,
                                              std::chrono::milliseconds bound)
{
    const Clock::time_point deadline = Clock::now() + bound;
    std::unique_lock lock(m_mutex);
    for (;;) {
        while (!m_lines.empty()) {
            TimedLine line = std::move(m_lines.front());
            m_lines.pop_front();
            if (isEvent(line.text, event))
                return line;
        }
        if (m_ended)
            return std::nullopt;
        if (m_arrived.wait_until(lock, deadline) == std::cv_status::timeout && m_lines.empty())
            return std::nullopt;
    }
}

std::optional<long> HostProcess::waitForExit(std::chrono::milliseconds bound)
{
    const Clock::time_point deadline = Clock::now() + bound;
    rusage usage{};
    int status = 0;
    while (::wait4(m_pid, &status, WNOHANG, &usage) == 0) {
        if (Clock::now() > deadline)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    m_pid = 0;
    return usage.ru_maxrss;
}

bool HostProcess::quit(std::chrono::milliseconds bound)
{
    send("quit");
    return waitForExit(bound).has_value();
}

} // namespace tarvex::bench
