#pragma once
// WebServer: the show's page and its OSCQuery namespace over HTTP, and the page's live updates
// over a WebSocket, on Qt's HTTP server. It only carries traffic to WebRoutes, PageControl and
// the WebShow and their answers back; what is served is decided there (docs/web.md).
//
//   WebServer server(show);
//   quint16 port = server.listen(QHostAddress::LocalHost, 8080);   // 0: could not listen
//
// Each page's WebSocket first gets every event the show's page holds, then, at most 25 times a
// second, those that changed. A page on this machine may send control messages (PageControl);
// they reach the plug-in as OSC from a UDP socket of that page's own, so the plug-in sees each
// page as a controller and sends it feedback. What a page sends and what feedback brings is
// recorded as the address's value and goes to every page as a value event (the latest per
// address each time), and as an OSC packet to the WebSockets that LISTEN to that address. A
// WebSocket whose Origin is not the server it connected to is closed: another site open in the
// same browser must not drive the show. Beyond this machine the web PIN guards reading and
// driving (WebGate): an HTTP client shows it as "Authorization: Bearer PIN", a WebSocket as its
// message {"pin":"PIN"}, after which it is sent what a page on this machine is.

#include "host/web/PageControl.h"
#include "host/web/WebGate.h"
#include "host/web/WebRoutes.h"

#include <QHostAddress>
#include <QHttpServer>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <vector>

class QWebSocket;

namespace tarvex::host {

class WebServer : public QObject {
public:
    struct Limits {
        size_t pages = 16;           // WebSockets open at once; more are closed at once
        qint64 messageBytes = 4096;  // the largest message a page may send
        int controlsPerSecond = 100; // control messages of one page; more are refused
        size_t listenedPaths = 256;  // addresses one WebSocket may LISTEN to
        std::chrono::milliseconds tick{40};
    };

    explicit WebServer(WebShow &show, QObject *parent = nullptr);
    WebServer(WebShow &show, const Limits &limits, QObject *parent = nullptr);
    ~WebServer() override;
    // Who may read and drive beyond this machine (WebGate); without it, everyone may. Pages from
    // other machines let in before are closed: they come back and are asked for the new PIN.
    void setAccess(const WebAccess &access);
    // Listens on the address and port (0: any free one); the port listened on, or 0.
    quint16 listen(const QHostAddress &address, quint16 port);
    size_t pageCount() const { return m_pages.size(); }

private:
    struct Page;

    void answer(const QHttpServerRequest &request, QHttpServerResponder &&responder);
    void acceptPages();
    void closePage(QWebSocket *socket);
    void pageMessage(Page &page, const QString &text);
    void control(Page &page, const ControlDatagram &datagram);
    void offerPin(Page &page, const std::string &pin);
    // Whether an HTTP request may read the show: on this machine, reading open, or its
    // "Authorization: Bearer PIN" right; the status to answer when not (401, or 429 blocked).
    int readRefusal(const QHttpServerRequest &request);
    void listen(Page &page, const StreamCommand &command);
    // A datagram the plug-in was sent, or sent back: its messages' values, kept until the tick.
    void heard(std::span<const uint8_t> datagram);
    void readFeedback(Page &page);
    // Asks the show for its events and sends the changed ones to every page; a page in
    // `everything` gets all of them.
    void sendChanges(Page *everything = nullptr);

    QHttpServer m_server;
    WebShow &m_show;
    Limits m_limits;
    WebGate m_gate;
    std::vector<std::unique_ptr<Page>> m_pages;
    std::vector<std::string> m_sent; // the events as the pages have them
    // Values that changed since the last tick, the latest per address and type tags.
    std::map<std::pair<std::string, std::string>, ReceivedMessage> m_heard;
    QTimer m_tick;
};

// Where --web asks the page to be served: "[ADDRESS:]PORT", 127.0.0.1 without an ADDRESS, an
// IPv6 address in brackets ("[::1]:8080"); port 0 takes any free one. Nothing for any other text.
struct WebAddress {
    QHostAddress address;
    quint16 port = 0;
};
std::optional<WebAddress> webAddressOf(const QString &text);
// "http://127.0.0.1:8080/" for the address and port listened on.
QString webUrlOf(const QHostAddress &address, quint16 port);

// The request as the routes read it: method, decoded path and query, Accept header.
WebRequest webRequestOf(const QHttpServerRequest &request);
// Whether a request's Host header names this machine: an address, "localhost", or its host
// name (bare or .local). Any other name is refused (403), so a site whose name an attacker
// points at this machine (DNS rebinding) cannot reach the show through a browser here.
bool hostIsThisMachine(const QByteArray &host);
// Whether a WebSocket's Origin header (empty: none, as from a program that is no browser) names
// the server the socket connected to, as its Host header does.
bool originMatchesHost(const QByteArray &origin, const QByteArray &host);

} // namespace tarvex::host
