#include "tests/support/PrivateAvahi.h"

#include <avahi-client/client.h>
#include <avahi-common/simple-watch.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <net/if.h>
#include <poll.h>
#include <sched.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace tarvex::test {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto Pause = std::chrono::milliseconds(50);

std::string findProgram(const std::string &name)
{
    std::string path = getenv("PATH") ? getenv("PATH") : "";
    std::stringstream folders(path + ":/usr/sbin:/sbin:/usr/bin");
    for (std::string folder; std::getline(folders, folder, ':');)
        if (!folder.empty() && access((folder + "/" + name).c_str(), X_OK) == 0)
            return folder + "/" + name;
    return {};
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool accepts(const std::string &socketPath)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    bool ok = connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    close(fd);
    return ok;
}

// Whether an avahi-daemon answers on this process's system bus and has its host name.
bool daemonRuns()
{
    AvahiSimplePoll *poll = avahi_simple_poll_new();
    int error = 0;
    AvahiClient *client = avahi_client_new(avahi_simple_poll_get(poll), AvahiClientFlags(0),
                                           nullptr, nullptr, &error);
    bool runs = client && avahi_client_get_state(client) == AVAHI_CLIENT_S_RUNNING;
    if (client)
        avahi_client_free(client);
    avahi_simple_poll_free(poll);
    return runs;
}

// In a child between clone and exec, async-signal-safe calls only.
void say(const char *text)
{
    [[maybe_unused]] auto written = write(2, text, strlen(text));
}

// The loopback of a new network namespace is down; avahi-daemon announces on it once up.
bool loopbackUp()
{
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq request{};
    memcpy(request.ifr_name, "lo", 3);
    bool up = fd >= 0 && ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags |= IFF_UP;
    up = up && ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    close(fd);
    return up;
}

// Inside its new namespaces: a private /run, and the loopback up.
bool prepareNamespaces()
{
    // Private propagation first, or the tmpfs would show in the machine's /run too.
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", "/run", "tmpfs", 0, "mode=0755") != 0) {
        say("cannot mount a private /run\n");
        return false;
    }
    if (!loopbackUp()) {
        say("cannot bring up the loopback\n");
        return false;
    }
    return true;
}

struct ChildStart {
    char *const *argv;
    int log;
    bool isolated;
};

int runChild(void *start)
{
    const auto &c = *static_cast<ChildStart *>(start);
    if (c.log < 0 || dup2(c.log, 1) < 0 || dup2(c.log, 2) < 0 ||
        (c.isolated && !prepareNamespaces()))
        return 126;
    execve(c.argv[0], c.argv, environ);
    return 127;
}

// A child, born in a mount and a network namespace of its own when isolated (clone rather than
// fork and unshare: a process with threads cannot unshare its mounts). 0 on failure.
pid_t cloneChild(int (*run)(void *), void *start, bool isolated)
{
    static std::vector<char> stack(256 * 1024); // the child's copy; the parent never runs on it
    const int flags = SIGCHLD | (isolated ? CLONE_NEWNS | CLONE_NEWNET : 0);
    return std::max(0, clone(run, stack.data() + stack.size(), flags, start));
}

// Runs the program with its output appended to the log.
pid_t spawn(const std::vector<std::string> &args, const std::string &logPath, bool isolated)
{
    std::vector<char *> argv;
    for (const std::string &arg : args)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    ChildStart start{argv.data(),
                     open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644),
                     isolated};
    const pid_t pid = cloneChild(&runChild, &start, isolated);
    if (start.log >= 0)
        close(start.log);
    return pid;
}

} // namespace

const std::string &PrivateAvahi::claimSystemBus()
{
    static const std::string *folder = nullptr; // kept past static destruction, for atexit
    if (!folder) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tarvex-bus.XXXXXX").string();
        folder = new std::string(mkdtemp(pattern.data()) ? pattern : std::string());
        setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + *folder + "/system_bus_socket").c_str(),
               1);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(claimSystemBus(), ignored);
        });
    }
    return *folder;
}

std::string PrivateAvahi::cannotRun()
{
    if (geteuid() != 0)
        return "a private avahi-daemon needs root for its namespaces";
    for (const char *program : {"dbus-daemon", "avahi-daemon"})
        if (findProgram(program).empty())
            return std::string(program) + " is not installed";
    // A container may forbid new namespaces even to root.
    const pid_t probe = cloneChild([](void *) { return 0; }, nullptr, true);
    int status = 0;
    if (probe == 0 || waitpid(probe, &status, 0) != probe || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return "this machine does not allow new network namespaces";
    return {};
}

PrivateAvahi::PrivateAvahi(Options options)
    : m_folder(claimSystemBus()), m_address(getenv("DBUS_SYSTEM_BUS_ADDRESS"))
{
    writeConfigs(options);
}

PrivateAvahi::~PrivateAvahi()
{
    m_daemon.stop();
    stopBus();
}

void PrivateAvahi::writeConfigs(const Options &options) const
{
    std::ofstream(m_folder + "/bus.conf")
        << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig>\n"
           "  <type>system</type>\n"
           "  <listen>unix:path="
        << m_folder
        << "/system_bus_socket</listen>\n"
           "  <auth>EXTERNAL</auth>\n"
           "  <policy context=\"default\">\n"
           "    <allow user=\"*\"/>\n"
           "    <allow own=\"*\"/>\n"
           "    <allow send_destination=\"*\"/>\n"
           "    <allow receive_sender=\"*\"/>\n"
           "  </policy>\n"
           "</busconfig>\n";
    std::ofstream(m_folder + "/avahi-daemon.conf")
        << "[server]\nuse-ipv4=yes\nuse-ipv6=no\nenable-dbus=yes\n"
           "[wide-area]\nenable-wide-area=no\n"
           "[publish]\npublish-hinfo=no\npublish-workstation=no\n"
           "disable-user-service-publishing="
        << (options.publishing ? "no" : "yes") << "\n";
}

bool PrivateAvahi::fail(const std::string &why, const std::string &logName)
{
    m_error = why + "; " + logName + ":\n" + readFile(m_folder + "/" + logName);
    return false;
}

bool PrivateAvahi::launch(Child &child, const std::vector<std::string> &args,
                          const std::string &logName, bool isolated,
                          const std::function<bool()> &ready, std::chrono::milliseconds bound)
{
    if (child.running())
        return true;
    const std::string program = std::filesystem::path(args[0]).filename();
    child.pid = spawn(args, m_folder + "/" + logName, isolated);
    if (!child.pid)
        return fail("cannot start " + program, logName);
    child.pidfd = static_cast<int>(syscall(SYS_pidfd_open, child.pid, 0));
    const auto deadline = Clock::now() + bound;
    while (!ready()) {
        // Waiting on the child doubles as the pause between looks, and ends early if it ends.
        if (child.exited(Pause))
            return fail(program + " ended", logName);
        if (Clock::now() > deadline)
            return fail(program + " was not ready in time", logName);
    }
    return true;
}

bool PrivateAvahi::startBus(std::chrono::milliseconds bound)
{
    return launch(
        m_bus,
        {findProgram("dbus-daemon"), "--config-file=" + m_folder + "/bus.conf", "--nofork",
         "--nopidfile"},
        "bus.log", false, [&] { return accepts(m_folder + "/system_bus_socket"); }, bound);
}

bool PrivateAvahi::startDaemon(std::chrono::milliseconds bound)
{
    return launch(m_daemon,
                  {findProgram("avahi-daemon"), "--no-chroot", "--no-drop-root", "--no-rlimits",
                   "-f", m_folder + "/avahi-daemon.conf"},
                  "avahi.log", true, daemonRuns, bound);
}

bool PrivateAvahi::watchCalls(std::chrono::milliseconds bound)
{
    const std::string log = m_folder + "/calls.log";
    if (!m_monitor.running())
        std::filesystem::remove(log); // an earlier test's calls are not this one's
    // A monitor gives up its name once it monitors.
    return launch(
        m_monitor,
        {findProgram("dbus-monitor"), "--address", m_address,
         "type='method_call',destination='org.freedesktop.Avahi'"},
        "calls.log", false,
        [&] { return readFile(log).find("member=NameLost") != std::string::npos; }, bound);
}

std::vector<double> PrivateAvahi::callTimes(const std::string &member) const
{
    std::vector<double> times;
    std::stringstream log(readFile(m_folder + "/calls.log"));
    for (std::string line; std::getline(log, line);) {
        const size_t time = line.find(" time=");
        if (line.rfind("method call", 0) == 0 && time != std::string::npos &&
            line.find("member=" + member) != std::string::npos)
            times.push_back(std::strtod(line.c_str() + time + 6, nullptr));
    }
    return times;
}

bool PrivateAvahi::waitForCalls(const std::string &member, size_t count,
                                std::chrono::milliseconds bound)
{
    const auto deadline = Clock::now() + bound;
    while (callTimes(member).size() < count) {
        // Waiting on the monitor doubles as the pause between looks.
        if (m_monitor.exited(Pause))
            return fail("dbus-monitor ended", "calls.log");
        if (Clock::now() > deadline)
            return fail("fewer than " + std::to_string(count) + " calls of " + member, "calls.log");
    }
    return true;
}

void PrivateAvahi::stopBus()
{
    m_monitor.stop();
    m_bus.stop();
    if (m_daemon.running() && !m_daemon.exited(std::chrono::seconds(5)))
        m_daemon.stop();
    std::filesystem::remove(m_folder + "/system_bus_socket");
}

void PrivateAvahi::stopDaemon()
{
    m_daemon.stop();
}

void PrivateAvahi::pauseDaemon()
{
    if (m_daemon.running())
        kill(m_daemon.pid, SIGSTOP);
}

void PrivateAvahi::resumeDaemon()
{
    if (m_daemon.running())
        kill(m_daemon.pid, SIGCONT);
}

// Whether the child has ended within the bound; reaps it if so.
bool PrivateAvahi::Child::exited(std::chrono::milliseconds bound)
{
    if (pid <= 0)
        return true;
    pollfd ended{pidfd, POLLIN, 0};
    if (pidfd >= 0 && ::poll(&ended, 1, static_cast<int>(bound.count())) == 0)
        return false;
    if (waitpid(pid, nullptr, pidfd >= 0 ? 0 : WNOHANG) == 0)
        return false;
    pid = 0;
    if (pidfd >= 0)
        close(pidfd);
    pidfd = -1;
    return true;
}

void PrivateAvahi::Child::stop()
{
    if (!running())
        return;
    kill(pid, SIGCONT); // a paused child cannot act on SIGTERM
    kill(pid, SIGTERM);
    if (exited(std::chrono::seconds(5)))
        return;
    kill(pid, SIGKILL);
    exited(std::chrono::seconds(5));
}

} // namespace tarvex::test
