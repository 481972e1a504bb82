#include "toolkit/Winsock.h"

#include "core/VbError.h"
#include "toolkit/EventEdge.h"
#include "toolkit/PortText.h"

#include <QMetaObject>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarvex {
namespace {

constexpr int ReceiveBufferBytes = 4 * 1024 * 1024;
// Datagrams fetched by one system call, and the largest datagram.
constexpr unsigned BatchSize = 16;
constexpr size_t DatagramBytes = 65536;
// Datagrams delivered in one turn of the event loop before timers and painting get theirs:
// a quarter of a millisecond of work for a plain datagram.
constexpr int DeliveriesPerTurn = 1024;

constexpr int32_t InvalidOperation = 40020;
constexpr int32_t AddressInUse = 10048;
constexpr int32_t AddressNotAvailable = 10049;
constexpr int32_t PermissionDenied = 10013;
constexpr int32_t SocketFailureBase = 10000;

bool parseIPv4(const std::string &text, in_addr &address)
{
    // A NUL inside would cut the text short for the system.
    return text.find('\0') == std::string::npos &&
           ::inet_pton(AF_INET, text.c_str(), &address) == 1;
}

// A failed bind names what it tried to bind to, so the user can tell which address or port to
// change.
[[noreturn]] void raiseBindError(int error, const std::string &localIP, uint16_t localPort)
{
    const std::string address = "Address " + localIP + ":" + std::to_string(localPort);
    switch (error) {
    case EADDRINUSE: throw VbError(AddressInUse, address + " is already in use");
    case EADDRNOTAVAIL:
        throw VbError(AddressNotAvailable, address + " is not available from the local machine");
    case EACCES: throw VbError(PermissionDenied, address + " cannot be bound: permission denied");
    default:
        throw VbError(SocketFailureBase + error,
                      address + " cannot be bound: " + std::strerror(error));
    }
}

} // namespace

void prepareToBind(Winsock &socket, std::string_view portText)
{
    socket.Close();
    socket.setLocalPort(portFromText(portText));
    socket.setProtocol(Winsock::Protocol::Udp);
}

// Datagrams read by the last system call, and which of them is being delivered.
struct Winsock::Batch {
    std::vector<uint8_t> storage = std::vector<uint8_t>(BatchSize * DatagramBytes);
    mmsghdr headers[BatchSize]{};
    iovec vectors[BatchSize]{};
    unsigned count = 0;
    unsigned next = 0;
    bool lastOfQueue = false; // the socket held nothing more when this batch was read
    // The datagram of the event under way.
    const uint8_t *current = nullptr;
    size_t currentSize = 0;

    Batch()
    {
        for (unsigned i = 0; i < BatchSize; ++i) {
            vectors[i] = {storage.data() + i * DatagramBytes, DatagramBytes};
            headers[i].msg_hdr.msg_iov = &vectors[i];
            headers[i].msg_hdr.msg_iovlen = 1;
        }
    }
    bool pending() const { return next < count; }
    void clear()
    {
        count = next = 0;
        lastOfQueue = false;
        current = nullptr;
        currentSize = 0;
    }
};

Winsock::Winsock(QObject *parent)
    : QObject(parent), m_notifier(QSocketNotifier::Read), m_deliveriesPerTurn(DeliveriesPerTurn)
{
    m_notifier.setEnabled(false);
    QObject::connect(&m_notifier, &QSocketNotifier::activated, this, [this] { drain(); });
}

Winsock::~Winsock()
{
    *m_alive = false;
    Close();
}

void Winsock::Close()
{
    if (m_fd < 0)
        return;
    m_notifier.setEnabled(false);
    m_notifier.setSocket(-1);
    m_parked = false;
    ::close(m_fd);
    m_fd = -1;
    if (m_batch)
        m_batch->clear();
}

bool Winsock::isIPv4Address(const std::string &localIP)
{
    in_addr address{};
    return parseIPv4(localIP, address);
}

void Winsock::Bind(uint16_t localPort, const std::string &localIP)
{
    if (m_fd >= 0)
        throw VbError(InvalidOperation, "Invalid operation at current state");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(localPort);
    if (!parseIPv4(localIP, address.sin_addr))
        throw VbError(AddressNotAvailable,
                      "Address \"" + localIP + "\":" + std::to_string(localPort) +
                          " is not available from the local machine (an IPv4 address such as "
                          "127.0.0.1, or 0.0.0.0 for every interface)");

    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        raiseBindError(errno, localIP, localPort);
    int size = ReceiveBufferBytes;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size); // a smaller grant is fine
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        int error = errno;
        ::close(fd);
        raiseBindError(error, localIP, localPort);
    }
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&bound), &length);

    if (!m_batch)
        m_batch = std::make_unique<Batch>();
    m_batch->clear();
    m_fd = fd;
    m_localPort = ntohs(bound.sin_port);
    m_notifier.setSocket(fd);
    // A handler that rebinds from within a data-arrival event leaves the notifier to the
    // delivery under way, which goes on reading from the new socket.
    if (m_delivering)
        park();
    else
        m_notifier.setEnabled(true);
}

void Winsock::GetData(std::vector<uint8_t> &data) const
{
    if (!m_batch || !m_batch->current) {
        data.clear();
        return;
    }
    data.assign(m_batch->current, m_batch->current + m_batch->currentSize);
}

int Winsock::receiveBufferSize() const
{
    if (m_fd < 0)
        return 0;
    int size = 0;
    socklen_t length = sizeof size;
    ::getsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &size, &length);
    return size;
}

// While an event is handled the socket must not wake the (nested) loop again and again: its
// notifier rests until the delivery under way has finished.
void Winsock::park()
{
    m_notifier.setEnabled(false);
    m_parked = true;
}

void Winsock::drain()
{
    if (m_delivering) {
        park();
        return;
    }
    std::shared_ptr<bool> alive = m_alive;
    m_delivering = true;
    for (int delivered = 0; delivered < m_deliveriesPerTurn; ++delivered) {
        bool arrived = nextDatagram(); // may deliver a failure event instead
        if (!*alive)
            return;
        if (!arrived)
            break;
        if (onDataArrival) {
            // A copy: the handler may destroy the socket, and the handler stored in it with it.
            std::function<void(int32_t)> handler = onDataArrival;
            auto bytesTotal = static_cast<int32_t>(m_batch->currentSize);
            runEvent("DataArrival", [&] { handler(bytesTotal); });
        }
        if (!*alive)
            return;
        m_batch->current = nullptr;
    }
    m_delivering = false;
    if (m_fd < 0)
        return;
    if (m_parked) {
        m_parked = false;
        m_notifier.setEnabled(true);
    }
    // Datagrams already fetched are not announced by the socket again: deliver them on the
    // next turn of the loop.
    if (m_batch->pending())
        QMetaObject::invokeMethod(
            this, [this] { drain(); }, Qt::QueuedConnection);
}

// Makes the next datagram the current one, reading a new batch when the last is used up.
// False when the socket is closed, empty, or failed (the failure has then been delivered).
bool Winsock::nextDatagram()
{
    if (m_fd < 0)
        return false;
    Batch &b = *m_batch;
    if (!b.pending() && b.lastOfQueue) {
        b.clear();
        return false;
    }
    if (!b.pending()) {
        b.clear();
        int n;
        do
            n = ::recvmmsg(m_fd, b.headers, BatchSize, MSG_DONTWAIT, nullptr);
        while (n < 0 && errno == EINTR);
        if (n < 0) {
            int error = errno;
            if (error != EAGAIN && error != EWOULDBLOCK)
                deliverFailure(error);
            return false;
        }
        if (n == 0)
            return false;
        b.count = static_cast<unsigned>(n);
        // Fewer than asked for: the socket was empty after these. Once they are delivered the
        // loop may turn without asking again; a datagram arriving later wakes it at once.
        b.lastOfQueue = b.count < BatchSize;
    }
    b.current = static_cast<const uint8_t *>(b.vectors[b.next].iov_base);
    b.currentSize = b.headers[b.next].msg_len;
    ++b.next;
    return true;
}

// A UDP socket has no peer that could close it: the close event stands for the system taking
// the socket away; every other failure of a read is the error event.
void Winsock::deliverFailure(int error)
{
    if (error == EBADF || error == ENOTSOCK) {
        if (std::function<void()> handler = onClose)
            runEvent("Close", [&] { handler(); });
        return;
    }
    if (std::function<void(int32_t, const std::string &)> handler = onError)
        runEvent("Error", [&] { handler(SocketFailureBase + error, std::strerror(error)); });
}

} // namespace tarvex
