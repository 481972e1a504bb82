#include "tests/support/OlaDaemon.h"

#include <ola/Callback.h>
#include <ola/DmxBuffer.h>
#include <ola/client/OlaClient.h>
#include <ola/io/SelectServer.h>
#include <ola/network/SocketAddress.h>
#include <ola/network/TCPSocket.h>

#include <arpa/inet.h>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <spawn.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace tarvex::test {

namespace {

using Clock = std::chrono::steady_clock;

// Every plug-in olad 0.10 knows; all but the dummy are switched off, because the network ones
// bind to every interface and the hardware ones probe devices.
const char *const kPlugins[] = {"artnet",  "dmx4linux",        "e131",  "espnet",     "ftdidmx",
                                "gpio",    "karate",           "kinet", "milinst",    "nanoleaf",
                                "opendmx", "openpixelcontrol", "osc",   "pathport",   "renard",
                                "sandnet", "shownet",          "spi",   "stageprofi", "uartdmx",
                                "usbdmx",  "usbserial"};

sockaddr_in loopback(uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A TCP port nobody listens on now: the kernel's pick for a socket bound to port 0.
uint16_t freeTcpPort()
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    uint16_t port = 0;
    if (bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    close(fd);
    return port;
}

bool accepts(uint16_t port)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(port);
    bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    close(fd);
    return ok;
}

void writeFile(const std::string &path, const std::string &text)
{
    std::ofstream(path) << text;
}

} // namespace

// --- OlaDaemon

OlaDaemon::OlaDaemon()
{
    // Under root olad runs as its own user, who may not reach a private TMPDIR: /tmp it is.
    std::filesystem::path parent =
        geteuid() == 0 ? std::filesystem::path("/tmp") : std::filesystem::temp_directory_path();
    std::string pattern = (parent / "tarvex-olad.XXXXXX").string();
    if (mkdtemp(pattern.data()))
        m_folder = pattern;
    m_port = freeTcpPort();
}

OlaDaemon::~OlaDaemon()
{
    stop();
    if (!m_folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
}

std::string OlaDaemon::log() const
{
    std::ifstream in(m_folder + "/olad.log");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void OlaDaemon::writeConfig()
{
    for (const char *plugin : kPlugins)
        writeFile(m_folder + "/ola-" + plugin + ".conf", "enabled = false\n");
    // One dummy device without its RDM responders: an output port a test may patch.
    writeFile(m_folder + "/ola-dummy.conf",
              "enabled = true\ndummy_device_count = 1\nack_timer_count = 0\n"
              "advanced_dimmer_count = 0\ndimmer_count = 0\ndimmer_subdevice_count = 0\n"
              "moving_light_count = 0\nnetwork_device_count = 0\nsensor_device_count = 0\n");
}

bool OlaDaemon::start(std::chrono::milliseconds bound)
{
    if (running())
        return true;
    m_error.clear();
    if (m_folder.empty() || m_port == 0) {
        m_error = "no temporary folder or free port for olad";
        return false;
    }
    writeConfig();
    if (!spawn())
        return false;
    if (waitUntilListening(bound))
        return true;
    stop();
    return false;
}

bool OlaDaemon::spawn()
{
    // setpriv ends olad with the test, should the test die without stopping it.
    std::vector<std::string> args = {"setpriv", "--pdeathsig", "TERM"};
    if (geteuid() == 0) {
        // olad aborts under root; it runs as its own user, which must own the folder.
        const passwd *user = getpwnam("olad");
        if (!user) {
            m_error = "running as root, and there is no olad user to run olad as";
            return false;
        }
        for (const auto &entry : std::filesystem::recursive_directory_iterator(m_folder))
            (void)chown(entry.path().c_str(), user->pw_uid, user->pw_gid);
        (void)chown(m_folder.c_str(), user->pw_uid, user->pw_gid);
        for (const char *arg : {"--reuid=olad", "--regid=nogroup", "--clear-groups"})
            args.emplace_back(arg);
    }
    for (const char *arg :
         {"olad", "-c", m_folder.c_str(), "--no-http", "--no-register-with-dns-sd", "-r"})
        args.emplace_back(arg);
    args.push_back(std::to_string(m_port));

    std::vector<char *> argv;
    for (auto &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    std::string logPath = m_folder + "/olad.log";
    posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    int rc = posix_spawnp(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        m_pid = 0;
        m_error = std::string("cannot start ") + argv[0] + ": " + strerror(rc);
        return false;
    }
    m_pidfd = static_cast<int>(syscall(SYS_pidfd_open, m_pid, 0));
    return true;
}

bool OlaDaemon::waitUntilListening(std::chrono::milliseconds bound)
{
    Clock::time_point deadline = Clock::now() + bound;
    while (!accepts(m_port)) {
        // Waiting on the process doubles as the pause between attempts, and ends it early
        // when olad gives up.
        if (waitForExit(std::chrono::milliseconds(20))) {
            m_error = "olad exited before it took connections; its log:\n" + log();
            return false;
        }
        if (Clock::now() > deadline) {
            m_error = "olad did not take connections on 127.0.0.1:" + std::to_string(m_port) +
                      " within " + std::to_string(bound.count()) + " ms; its log:\n" + log();
            return false;
        }
    }
    return true;
}

// Whether olad has exited within the bound; reaps it if so.
bool OlaDaemon::waitForExit(std::chrono::milliseconds bound)
{
    if (m_pid <= 0)
        return true;
    pollfd exited{m_pidfd, POLLIN, 0};
    if (m_pidfd >= 0 && poll(&exited, 1, static_cast<int>(bound.count())) == 0)
        return false;
    if (waitpid(m_pid, nullptr, m_pidfd >= 0 ? 0 : WNOHANG) == 0)
        return false;
    m_pid = 0;
    if (m_pidfd >= 0)
        close(m_pidfd);
    m_pidfd = -1;
    return true;
}

void OlaDaemon::pause()
{
    if (running())
        kill(m_pid, SIGSTOP);
}

void OlaDaemon::resume()
{
    if (running())
        kill(m_pid, SIGCONT);
}

void OlaDaemon::stop(std::chrono::milliseconds bound)
{
    if (!running())
        return;
    kill(m_pid, SIGCONT); // a paused olad cannot act on SIGTERM
    kill(m_pid, SIGTERM);
    if (waitForExit(bound))
        return;
    kill(m_pid, SIGKILL);
    waitForExit(std::chrono::seconds(5));
}

// --- OlaUniverseReader

namespace {

DmxLevels levelsOf(const ola::DmxBuffer &buffer)
{
    DmxLevels levels{};
    for (unsigned i = 0; i < buffer.Size() && i < levels.size(); ++i)
        levels[i] = buffer.Get(i);
    return levels;
}

void deliverFrame(std::function<void(unsigned, const DmxLevels &)> *sink,
                  const ola::client::DMXMetadata &metadata, const ola::DmxBuffer &buffer)
{
    if (*sink)
        (*sink)(metadata.universe, levelsOf(buffer));
}

struct Reply {
    bool done = false;
    std::string error;
    std::optional<DmxLevels> frame;
};

void takeRegistration(Reply *reply, const ola::client::Result &result)
{
    reply->done = true;
    reply->error = result.Success() ? "" : result.Error();
}

void takeFetch(Reply *reply, const ola::client::Result &result, const ola::client::DMXMetadata &,
               const ola::DmxBuffer &buffer)
{
    takeRegistration(reply, result);
    if (result.Success())
        reply->frame = levelsOf(buffer);
}

} // namespace

OlaUniverseReader::OlaUniverseReader(uint16_t port) : m_port(port) {}

OlaUniverseReader::~OlaUniverseReader()
{
    if (m_client)
        m_client->Stop();
    if (m_socket) {
        m_events->RemoveReadDescriptor(m_socket.get());
        m_socket->Close();
    }
    m_client.reset();
    m_socket.reset();
}

bool OlaUniverseReader::connect()
{
    if (m_client)
        return true;
    m_socket.reset(ola::network::TCPSocket::Connect(
        ola::network::IPV4SocketAddress(ola::network::IPV4Address::Loopback(), m_port)));
    if (!m_socket) {
        m_error = "cannot connect to olad on 127.0.0.1:" + std::to_string(m_port);
        return false;
    }
    m_events = std::make_unique<ola::io::SelectServer>();
    m_events->AddReadDescriptor(m_socket.get());
    m_client = std::make_unique<ola::client::OlaClient>(m_socket.get());
    m_client->Setup();
    m_client->SetDMXCallback(ola::NewCallback(&deliverFrame, &m_onFrame));
    return true;
}

bool OlaUniverseReader::runEventsUntil(const std::function<bool()> &done,
                                       std::chrono::milliseconds bound)
{
    Clock::time_point deadline = Clock::now() + bound;
    while (!done()) {
        if (Clock::now() > deadline)
            return false;
        m_events->RunOnce(ola::TimeInterval(0, 10000));
    }
    return true;
}

bool OlaUniverseReader::subscribe(unsigned universe, std::chrono::milliseconds bound)
{
    if (!connect())
        return false;
    Reply reply;
    m_client->RegisterUniverse(universe, ola::client::REGISTER,
                               ola::NewSingleCallback(&takeRegistration, &reply));
    if (!runEventsUntil([&] { return reply.done; }, bound)) {
        m_error = "olad did not answer the registration for universe " + std::to_string(universe);
        return false;
    }
    m_error = reply.error;
    return reply.error.empty();
}

bool OlaUniverseReader::runUntil(const std::function<bool(unsigned, const DmxLevels &)> &seen,
                                 std::chrono::milliseconds bound)
{
    if (!connect())
        return false;
    bool done = false;
    m_onFrame = [&](unsigned universe, const DmxLevels &levels) {
        done = done || seen(universe, levels);
    };
    bool ok = runEventsUntil([&] { return done; }, bound);
    m_onFrame = nullptr;
    return ok;
}

std::optional<DmxLevels>
OlaUniverseReader::waitForFrame(unsigned universe,
                                const std::function<bool(const DmxLevels &)> &wanted,
                                std::chrono::milliseconds bound)
{
    m_error.clear();
    std::optional<DmxLevels> found;
    runUntil(
        [&](unsigned u, const DmxLevels &levels) {
            if (u != universe || !wanted(levels))
                return false;
            found = levels;
            return true;
        },
        bound);
    if (!found && m_error.empty())
        m_error = "no such frame of universe " + std::to_string(universe) + " within " +
                  std::to_string(bound.count()) + " ms";
    return found;
}

std::optional<DmxLevels> OlaUniverseReader::fetch(unsigned universe,
                                                  std::chrono::milliseconds bound)
{
    if (!connect())
        return std::nullopt;
    Reply reply;
    m_client->FetchDMX(universe, ola::NewSingleCallback(&takeFetch, &reply));
    if (!runEventsUntil([&] { return reply.done; }, bound))
        m_error = "olad did not answer the fetch of universe " + std::to_string(universe);
    else
        m_error = reply.error;
    return reply.frame;
}

} // namespace tarvex::test
