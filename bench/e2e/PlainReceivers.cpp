// The baselines: a plain recvfrom loop; a poll loop that reads what each wake-up finds with
// recvmmsg, the least any event-loop receiver does; and a liblo server with one method. (The Qt
// loop's floor is beside Tarvex, in TarvexReceiver.cpp, since it shares its loop.)

#include "bench/e2e/Receivers.h"

#include <lo/lo.h>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
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

// Runs a receiver's two ways of reading: `drain` empties the socket in a backlog round,
// `wait` waits up to 20 ms for the stream's next datagrams and handles them.
template <typename Drain, typename Wait>
Result runPlain(const char *impl, uint16_t port, const ModeSettings &settings, Drain drain,
                Wait wait)
{
    sharedRecord().reset();
    ReceiverCost cost;
    int sender = startSender(port, settings);
    if (settings.mode == Mode::Backlog) {
        while (waitForRound()) {
            cost.start();
            drain();
            cost.stop();
        }
    } else {
        cost.start();
        EndOfStream end;
        while (!end.reached())
            wait();
        cost.stop();
    }
    joinSender(sender);
    return summarize(impl, settings.mode, cost);
}

} // namespace

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

// Every datagram queued in the socket, read in batches; false when there was none.
bool receiveQueued(int fd)
{
    static DatagramBatch batch;
    bool any = false;
    for (;;) {
        int n = ::recvmmsg(fd, batch.headers, DatagramBatch::Size, MSG_DONTWAIT, nullptr);
        if (n <= 0)
            return any;
        any = true;
        for (int i = 0; i < n; ++i) {
            int64_t number = numberOf(batch.buffers[i], batch.headers[i].msg_len);
            if (number >= 0)
                sharedRecord().markHandled(static_cast<uint32_t>(number));
        }
        if (static_cast<unsigned>(n) < DatagramBatch::Size)
            return true;
    }
}

Result runRecvfrom(const ModeSettings &settings)
{
    uint16_t port = 0;
    int fd = boundSocket(port);
    Result result = runPlain(
        "recvfrom", port, settings,
        [fd] {
            while (receiveOne(fd, MSG_DONTWAIT)) {
            }
        },
        [fd] { receiveOne(fd, 0); });
    ::close(fd);
    return result;
}

Result runPoll(const ModeSettings &settings)
{
    uint16_t port = 0;
    int fd = boundSocket(port);
    Result result = runPlain(
        "poll", port, settings, [fd] { receiveQueued(fd); },
        [fd] {
            pollfd watched{fd, POLLIN, 0};
            if (::poll(&watched, 1, 20) > 0)
                receiveQueued(fd);
        });
    ::close(fd);
    return result;
}

Result runLiblo(const ModeSettings &settings)
{
    lo_server server = lo_server_new_with_proto(nullptr, LO_UDP, ignoreError);
    if (!server)
        throw std::runtime_error("liblo could not open a server");
    setReceiveBuffer(lo_server_get_socket_fd(server));
    lo_server_add_method(server, "/fader1", "f", handleFader, nullptr);
    auto port = static_cast<uint16_t>(lo_server_get_port(server));
    Result result = runPlain(
        "liblo", port, settings,
        [server] {
            while (lo_server_recv_noblock(server, 0) > 0) {
            }
        },
        [server] { lo_server_recv_noblock(server, 20); });
    lo_server_free(server);
    return result;
}

} // namespace tarvex::bench
