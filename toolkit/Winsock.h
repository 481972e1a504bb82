#pragma once
// Winsock: the main window's UDP socket component in Qt's event loop, with the operations and
// events the windows use: close, local port, protocol, bind to a port and address, get data,
// state; the events close, error and data arrival.
//
//   Winsock *sock = new Winsock(this);
//   sock->onDataArrival = [sock](int32_t bytes) { std::vector<uint8_t> d; sock->GetData(d); ... };
//   sock->setProtocol(Winsock::Protocol::Udp);
//   sock->Bind(12345, "127.0.0.1");        // raises VbError when the port is taken
//
// Delivery. When the socket wakes the loop, every datagram queued in it is delivered, in arrival
// order, each as its own data-arrival event, before the loop sleeps again (at most a bounded
// number per turn of the loop, so that timers and painting still get their turn under a flood;
// the rest follows on the next turn without waiting for another datagram). Datagrams are read
// in batches (recvmmsg) to save system calls.
//
// One at a time. A data-arrival event never starts while another is being handled: when the
// handler runs a nested event loop (a modal box, a host call that pumps messages), datagrams
// arriving meanwhile wait in the socket and are delivered right after the handler returns, in
// order. The handler may close, rebind or even destroy the socket; delivery stops or carries on
// with the new binding accordingly.
//
// The receive buffer is asked for 4 MiB so that bursts are absorbed (the system may cap it).
// IPv4 only: the local address is a dotted IPv4 address.

#include <QObject>
#include <QSocketNotifier>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

class Winsock : public QObject {
public:
    // State: closed, or bound and listening.
    static constexpr int16_t sckClosed = 0;
    static constexpr int16_t sckOpen = 1;
    enum class Protocol : int16_t { Udp = 1 };

    explicit Winsock(QObject *parent = nullptr);
    ~Winsock() override;

    // Closes the socket; datagrams not yet delivered are dropped with it. Harmless when closed.
    void Close();
    // The port set before binding, or the port the socket is bound to.
    uint16_t LocalPort() const { return m_localPort; }
    void setLocalPort(uint16_t port) { m_localPort = port; }
    Protocol protocol() const { return m_protocol; }
    void setProtocol(Protocol protocol) { m_protocol = protocol; }
    // Binds to the port on the local address. Raises VbError when the socket is already bound
    // (40020), the address is no IPv4 address (10049), the port is taken (10048) or the system
    // refuses otherwise; the description of a refused bind names the address and port
    // ("Address 127.0.0.1:12345 is already in use").
    void Bind(uint16_t localPort, const std::string &localIP);
    // Whether Bind takes the text as its local address: a dotted IPv4 address ("0.0.0.0" is
    // every interface).
    static bool isIPv4Address(const std::string &localIP);
    // The datagram of the data-arrival event under way, whole; empty outside the event.
    void GetData(std::vector<uint8_t> &data) const;
    int16_t State() const { return m_fd >= 0 ? sckOpen : sckClosed; }

    // Events. They run at the edge of Qt's event loop: a failure a handler lets out is reported
    // and ends only that event.
    std::function<void()> onClose;
    std::function<void(int32_t number, const std::string &description)> onError;
    std::function<void(int32_t bytesTotal)> onDataArrival;

    // The receive buffer the system granted, in bytes (0 when closed).
    int receiveBufferSize() const;
    // Datagrams delivered in one turn of the event loop before timers and painting get theirs.
    void setDeliveriesPerTurn(int count) { m_deliveriesPerTurn = count; }

private:
    struct Batch;

    void drain();
    bool nextDatagram();
    void deliverFailure(int error);
    void park();

    int m_fd = -1;
    uint16_t m_localPort = 0;
    Protocol m_protocol = Protocol::Udp;
    QSocketNotifier m_notifier;
    std::unique_ptr<Batch> m_batch;
    int m_deliveriesPerTurn;
    bool m_delivering = false;
    bool m_parked = false;
    // Cleared by the destructor: delivery checks it after every event, since a handler may
    // destroy the window that owns the socket.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

// What comes before every Bind on a port typed into a window (the server's start, learn mode's
// start): closes the socket, sets the local port the text names (portFromText: error 380 for a
// text that is no port, the socket staying closed) and the protocol UDP.
void prepareToBind(Winsock &socket, std::string_view portText);

} // namespace tarvex
