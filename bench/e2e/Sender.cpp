// The sender: a forked process that sends numbered datagrams to 127.0.0.1 and stamps each
// send time in the shared record. Bursts go out in sendmmsg batches at full speed; paced sends
// keep a fixed rate; ping-pong sends the next datagram once the last one has been handled.

#include "bench/e2e/EndToEnd.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tarvex::bench {
namespace {

constexpr unsigned Batch = 64;
constexpr uint64_t PingPongWaitNs = 20'000'000; // a datagram not handled by then is lost

struct Sender {
    int fd;
    sockaddr_in to{};
    SharedRecord &record = sharedRecord();
    uint64_t deadline = 0;

    void sendOne(uint32_t number)
    {
        uint8_t bytes[DatagramSize];
        fillDatagram(bytes, number);
        record.sendNs[number] = nowNs();
        ::sendto(fd, bytes, sizeof bytes, 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
        record.sent.store(number + 1, std::memory_order_release);
    }

    void burst(uint32_t count) { burst(0, count); }

    // Datagrams [from, end) in sendmmsg batches at full speed.
    void burst(uint32_t from, uint32_t end)
    {
        static uint8_t bytes[Batch][DatagramSize];
        mmsghdr headers[Batch]{};
        iovec vectors[Batch]{};
        for (uint32_t first = from; first < end && nowNs() < deadline; first += Batch) {
            unsigned n = std::min<uint32_t>(Batch, end - first);
            for (unsigned i = 0; i < n; ++i) {
                fillDatagram(bytes[i], first + i);
                vectors[i] = {bytes[i], DatagramSize};
                headers[i].msg_hdr = {};
                headers[i].msg_hdr.msg_name = &to;
                headers[i].msg_hdr.msg_namelen = sizeof to;
                headers[i].msg_hdr.msg_iov = &vectors[i];
                headers[i].msg_hdr.msg_iovlen = 1;
            }
            uint64_t now = nowNs();
            for (unsigned i = 0; i < n; ++i)
                record.sendNs[first + i] = now;
            unsigned done = 0;
            while (done < n) {
                int s = ::sendmmsg(fd, headers + done, n - done, 0);
                if (s < 0 && errno != EINTR && errno != ENOBUFS && errno != EAGAIN)
                    return;
                if (s > 0)
                    done += static_cast<unsigned>(s);
            }
            record.sent.store(first + n, std::memory_order_release);
        }
    }

    void paced(uint32_t count, uint32_t rateHz)
    {
        uint64_t start = nowNs();
        uint64_t period = 1'000'000'000u / rateHz;
        for (uint32_t i = 0; i < count && nowNs() < deadline; ++i) {
            uint64_t due = start + i * period;
            timespec at{static_cast<time_t>(due / 1'000'000'000u),
                        static_cast<long>(due % 1'000'000'000u)};
            ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr);
            sendOne(i);
        }
    }

    // Rounds queued while the receiver waits; the next round once it has drained this one.
    void backlog(uint32_t count)
    {
        for (uint32_t first = 0; first < count && nowNs() < deadline; first += BacklogRound) {
            // Waits without spinning: on a two-core machine a spinning sender would take the
            // core a draining receiver may need.
            while (!record.receiverPaused.load(std::memory_order_acquire)) {
                if (nowNs() >= deadline)
                    return;
                timespec nap{0, 50'000};
                ::nanosleep(&nap, nullptr);
            }
            record.receiverPaused.store(0, std::memory_order_release);
            burst(first, std::min(count, first + BacklogRound));
            record.roundReady.store(1, std::memory_order_release);
        }
    }

    void pingPong(uint32_t count)
    {
        for (uint32_t i = 0; i < count && nowNs() < deadline; ++i) {
            sendOne(i);
            uint64_t giveUp = nowNs() + PingPongWaitNs;
            while (record.handled.load(std::memory_order_acquire) <= i && nowNs() < giveUp) {
            }
            if (record.handledNs[i] == 0)
                record.handled.store(i + 1); // lost: the next round starts from here
        }
    }
};

} // namespace

int startSender(uint16_t port, const ModeSettings &settings)
{
    int pid = ::fork();
    if (pid != 0)
        return pid;
    Sender sender{::socket(AF_INET, SOCK_DGRAM, 0)};
    sender.to.sin_family = AF_INET;
    sender.to.sin_port = htons(port);
    sender.to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sender.deadline = nowNs() + static_cast<uint64_t>(settings.timeLimitMs) * 1'000'000u;
    switch (settings.mode) {
    case Mode::Burst: sender.burst(settings.count); break;
    case Mode::Paced: sender.paced(settings.count, settings.rateHz); break;
    case Mode::PingPong: sender.pingPong(settings.count); break;
    case Mode::Backlog: sender.backlog(settings.count); break;
    }
    sender.record.senderDone.store(1, std::memory_order_release);
    ::_exit(0);
}

void joinSender(int pid)
{
    int status = 0;
    ::waitpid(pid, &status, 0);
}

} // namespace tarvex::bench
