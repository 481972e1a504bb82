// The baselines: a plain recvfrom loop, and a liblo server with one method.

#include "bench/e2e/Receivers.h"

#include <lo/lo.h>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace tarvex::bench {
namespace {

constexpr uint64_t IdleEndNs = 300'000'000; // after the sender: this long without data ends it

// The receiver's end: the sender is done and every datagram handled, or nothing came lately.
class EndOfStream {
public:
    bool reached()
    {
        SharedRecord &r = sharedRecord();
        uint32_t handled = r.handled.load(std::memory_order_acquire);
        uint64_t now = nowNs();
        if (handled != m_lastHandled) {
            m_lastHandled = handled;
            m_lastChange = now;
        }
        if (!r.senderDone.load(std::memory_order_acquire))
            return false;
        return handled >= r.sent.load() || now - m_lastChange > IdleEndNs;
    }

private:
    uint32_t m_lastHandled = 0;
    uint64_t m_lastChange = nowNs();
};

int boundSocket(uint16_t &port)
{
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    setReceiveBuffer(fd);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        throw std::runtime_error("cannot bind 127.0.0.1");
    port = ntohs(address.sin_port);
    timeval wait{0, 20'000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    return fd;
}

int handleFader(const char *, const char *, lo_arg **argv, int, lo_message, void *)
{
    sharedRecord().markHandled(static_cast<uint32_t>(argv[0]->f));
    return 0;
}

void ignoreError(int, const char *, const char *) {}

// One datagram; false when none came (timeout, or an empty socket with MSG_DONTWAIT).
bool receiveOne(int fd, int flags)
{
    uint8_t buffer[2048];
    ssize_t n = ::recvfrom(fd, buffer, sizeof buffer, flags, nullptr, nullptr);
    if (n < 0)
        return false;
    int64_t number = numberOf(buffer, static_cast<size_t>(n));
    if (number >= 0)
        sharedRecord().markHandled(static_cast<uint32_t>(number));
    return true;
}

} // namespace

Result runRecvfrom(const ModeSettings &settings)
{
    uint16_t port = 0;
    int fd = boundSocket(port);
    sharedRecord().reset();
    double cpu = 0;
    double cpuBefore = processCpuSeconds();
    int sender = startSender(port, settings);
    if (settings.mode == Mode::Backlog) {
        while (waitForRound()) {
            double start = processCpuSeconds();
            while (receiveOne(fd, MSG_DONTWAIT)) {
            }
            cpu += processCpuSeconds() - start;
        }
    } else {
        EndOfStream end;
        while (!end.reached())
            receiveOne(fd, 0);
        cpu = processCpuSeconds() - cpuBefore;
    }
    joinSender(sender);
    ::close(fd);
    return summarize("recvfrom", settings.mode, cpu);
}

Result runLiblo(const ModeSettings &settings)
{
    lo_server server = lo_server_new_with_proto(nullptr, LO_UDP, ignoreError);
    if (!server)
        throw std::runtime_error("liblo could not open a server");
    setReceiveBuffer(lo_server_get_socket_fd(server));
    lo_server_add_method(server, "/fader1", "f", handleFader, nullptr);
    auto port = static_cast<uint16_t>(lo_server_get_port(server));
    sharedRecord().reset();
    double cpu = 0;
    double cpuBefore = processCpuSeconds();
    int sender = startSender(port, settings);
    if (settings.mode == Mode::Backlog) {
        while (waitForRound()) {
            double start = processCpuSeconds();
            while (lo_server_recv_noblock(server, 0) > 0) {
            }
            cpu += processCpuSeconds() - start;
        }
    } else {
        EndOfStream end;
        while (!end.reached())
            lo_server_recv_noblock(server, 20);
        cpu = processCpuSeconds() - cpuBefore;
    }
    joinSender(sender);
    lo_server_free(server);
    return summarize("liblo", settings.mode, cpu);
}

} // namespace tarvex::bench
