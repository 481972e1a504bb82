#pragma once
// Bounded waits on Qt's event loop, and a UDP sender on 127.0.0.1, for the window tests. A wait
// that runs out fails the test instead of hanging it; nothing sleeps.

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include "tests/support/FreePort.h"

#include <arpa/inet.h>
#include <cstdint>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace tarvex::test {

// Runs the event loop until the condition holds or the time is up; returns the condition. The
// condition is looked at after every event and at least every 2 ms.
template <class Condition> bool waitUntil(Condition condition, int timeoutMs = 5000)
{
    QDeadlineTimer deadline(timeoutMs);
    QTimer wakeUp; // ends every wait for events soon, the last one at the deadline
    wakeUp.setTimerType(Qt::PreciseTimer);
    wakeUp.start(2);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Processes the events that are pending now, without waiting for more.
inline void processPendingEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// Sends datagrams to 127.0.0.1:port. Over the loopback the datagram is queued at the receiver
// when send() returns.
class UdpSender {
public:
    explicit UdpSender(uint16_t port) : m_fd(::socket(AF_INET, SOCK_DGRAM, 0))
    {
        m_to.sin_family = AF_INET;
        m_to.sin_port = htons(port);
        m_to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    }
    ~UdpSender() { ::close(m_fd); }
    UdpSender(const UdpSender &) = delete;
    UdpSender &operator=(const UdpSender &) = delete;

    void send(const std::vector<uint8_t> &bytes)
    {
        if (::sendto(m_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr *>(&m_to),
                     sizeof m_to) != static_cast<ssize_t>(bytes.size()))
            throw std::runtime_error("sendto failed");
    }

private:
    int m_fd;
    sockaddr_in m_to{};
};

// Whether a UDP socket can bind this port on 127.0.0.1 now (nothing else holds it).
inline bool canBindUdp(uint16_t port)
{
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

// Holds a UDP port on 127.0.0.1 so that binding it fails.
class TakenPort {
public:
    TakenPort() : m_fd(::socket(AF_INET, SOCK_DGRAM, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
            throw std::runtime_error("cannot take a port");
        port = ntohs(address.sin_port);
    }
    ~TakenPort() { ::close(m_fd); }
    TakenPort(const TakenPort &) = delete;
    TakenPort &operator=(const TakenPort &) = delete;
    uint16_t port = 0;

private:
    int m_fd;
};

} // namespace tarvex::test
