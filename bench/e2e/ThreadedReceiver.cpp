// A receiver that reads off Qt's thread: a thread of its own sleeps in recvmmsg, puts what it
// reads into a single-producer ring and wakes Qt's loop through an eventfd only when the loop
// has said it is about to sleep. The loop handles the datagrams (here: stamps them), since that
// is where every host call has to run. In backlog rounds the thread reads only while the loop
// drains, so a round waits in the socket as it does for the other receivers.

#include "bench/e2e/Receivers.h"

#include <QSocketNotifier>

#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstring>
#include <thread>

namespace tarvex::bench {
namespace {

constexpr size_t RingSize = 8192; // datagrams; a power of two

struct Slot {
    uint32_t size;
    uint8_t bytes[DatagramSize];
};

class ReceiveThread {
public:
    ReceiveThread(int socketFd, bool readOnlyWhileDraining)
        : m_socket(socketFd), m_wake(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
          m_reading(!readOnlyWhileDraining), m_thread([this] { run(); })
    {}
    ~ReceiveThread()
    {
        m_stop.store(true);
        setReading(true);
        m_thread.join();
        ::close(m_wake);
    }

    int wakeFd() const { return m_wake; }
    void setReading(bool reading)
    {
        m_reading.store(reading, std::memory_order_release);
        m_reading.notify_one();
    }

    // Qt's side: everything in the ring, then a promise to be woken, then one more look (a
    // datagram pushed between the two would otherwise wait for the next one).
    void handleQueued()
    {
        uint64_t count = 0;
        [[maybe_unused]] ssize_t n = ::read(m_wake, &count, sizeof count);
        do {
            m_loopSleeping.store(false, std::memory_order_seq_cst);
            popAll();
            m_loopSleeping.store(true, std::memory_order_seq_cst);
        } while (m_tail.load(std::memory_order_acquire) != m_head.load(std::memory_order_acquire));
    }

private:
    void popAll()
    {
        size_t head = m_head.load(std::memory_order_relaxed);
        size_t tail = m_tail.load(std::memory_order_acquire);
        for (; head != tail; ++head) {
            const Slot &slot = m_ring[head % RingSize];
            int64_t number = numberOf(slot.bytes, slot.size);
            if (number >= 0)
                sharedRecord().markHandled(static_cast<uint32_t>(number));
        }
        m_head.store(head, std::memory_order_release);
    }

    void run()
    {
        DatagramBatch batch;
        while (!m_stop.load(std::memory_order_relaxed)) {
            m_reading.wait(false, std::memory_order_acquire);
            size_t tail = m_tail.load(std::memory_order_relaxed);
            if (RingSize - (tail - m_head.load(std::memory_order_acquire)) < DatagramBatch::Size) {
                std::this_thread::yield(); // the loop is behind by a whole ring
                continue;
            }
            // Blocks until one datagram (or the socket's 20 ms timeout), then takes what is there.
            int n =
                ::recvmmsg(m_socket, batch.headers, DatagramBatch::Size, MSG_WAITFORONE, nullptr);
            if (n <= 0)
                continue;
            for (int i = 0; i < n; ++i) {
                Slot &slot = m_ring[(tail + static_cast<size_t>(i)) % RingSize];
                slot.size = std::min<uint32_t>(batch.headers[i].msg_len, DatagramSize);
                std::memcpy(slot.bytes, batch.buffers[i], slot.size);
                if (batch.headers[i].msg_len != DatagramSize)
                    slot.size = 0; // not one of the stream's datagrams
            }
            m_tail.store(tail + static_cast<size_t>(n), std::memory_order_seq_cst);
            if (m_loopSleeping.exchange(false, std::memory_order_seq_cst)) {
                uint64_t one = 1;
                [[maybe_unused]] ssize_t w = ::write(m_wake, &one, sizeof one);
            }
        }
    }

    int m_socket;
    int m_wake;
    std::atomic<bool> m_reading;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_loopSleeping{true};
    std::atomic<size_t> m_head{0};
    std::atomic<size_t> m_tail{0};
    std::array<Slot, RingSize> m_ring{};
    std::thread m_thread;
};

} // namespace

Result runQtWithReceiveThread(const ModeSettings &settings)
{
    uint16_t port = 0;
    int fd = boundSocket(port);
    Result result;
    {
        const bool backlog = settings.mode == Mode::Backlog;
        auto thread = std::make_unique<ReceiveThread>(fd, backlog);
        QSocketNotifier notifier(thread->wakeFd(), QSocketNotifier::Read);
        QObject::connect(&notifier, &QSocketNotifier::activated,
                         [&thread] { thread->handleQueued(); });
        result = receiveInQtLoop(port, settings, "qt-thread",
                                 [&thread](bool draining) { thread->setReading(draining); });
    }
    ::close(fd);
    return result;
}

} // namespace tarvex::bench
