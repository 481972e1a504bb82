#include "host/web/server/WebServer.h"

#include "core/Json.h"
#include "host/web/PageControl.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QHostInfo>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QMetaEnum>
#include <QNetworkDatagram>
#include <QRegularExpression>
#include <QUdpSocket>
#include <QUrl>
#include <QWebSocket>

#include <algorithm>
#include <set>

namespace tarvex::host {
namespace {

// Where the page's files are compiled in (CMakeLists.txt).
const QString PageResources = QStringLiteral(":/tarvex/web/");

std::string methodName(QHttpServerRequest::Method method)
{
    const char *name =
        QMetaEnum::fromType<QHttpServerRequest::Method>().valueToKey(static_cast<int>(method));
    return name ? QByteArray(name).toUpper().toStdString() : std::string();
}

QByteArray headerOf(const QHttpServerRequest &request, const QByteArray &name)
{
    for (const auto &[key, value] : request.headers())
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return {};
}

bool isWebSocketUpgrade(const QHttpServerRequest &request)
{
    return headerOf(request, "Upgrade").compare("websocket", Qt::CaseInsensitive) == 0;
}

QString controlRefusedEvent(const std::string &reason)
{
    return QString::fromStdString("{\"event\":\"controlRefused\",\"reason\":" + jsonString(reason) +
                                  "}");
}

WebPeer peerOf(const QHostAddress &address)
{
    return {address.toString().toStdString(), address.isLoopback()};
}

QString pinEvent(const char *kind, const std::string &reason = {})
{
    return QString::fromStdString(std::string("{\"event\":\"") + kind + "\"" +
                                  (reason.empty() ? "" : ",\"reason\":" + jsonString(reason)) +
                                  "}");
}

} // namespace

struct WebServer::Page {
    std::unique_ptr<QWebSocket> socket;
    QUdpSocket osc;      // what the page sends to the plug-in, and the feedback it gets
    QHostAddress plugIn; // where it sent last: feedback comes from there, nothing else counts
    std::set<std::string> listening;
    WebPeer peer;
    bool mayRead = false;
    bool mayControl = false;
    QDeadlineTimer second;
    int controls = 0;
};

bool originMatchesHost(const QByteArray &origin, const QByteArray &host)
{
    if (origin.isEmpty())
        return true;
    const QUrl url(QString::fromLatin1(origin));
    if (!url.isValid() || (url.scheme() != "http" && url.scheme() != "https"))
        return false;
    const int port = url.port(url.scheme() == "https" ? 443 : 80);
    const QString hostAndPort = url.host(QUrl::FullyEncoded) + ':' + QString::number(port);
    // A Host header without a port means the scheme's.
    QString expected = QString::fromLatin1(host).toLower();
    if (!expected.contains(QRegularExpression(QStringLiteral(":\\d+$"))))
        expected += ':' + QString::number(url.scheme() == "https" ? 443 : 80);
    return hostAndPort.toLower() == expected;
}

std::optional<WebAddress> webAddressOf(const QString &text)
{
    QString address = QStringLiteral("127.0.0.1");
    QString port = text;
    const qsizetype colon = text.lastIndexOf(':');
    if (colon >= 0) {
        address = text.left(colon);
        port = text.mid(colon + 1);
        if (address.startsWith('[') && address.endsWith(']'))
            address = address.mid(1, address.size() - 2);
        else if (address.contains(':'))
            return std::nullopt; // an IPv6 address needs its brackets
    }
    bool isNumber = false;
    const uint number = port.toUInt(&isNumber);
    const QHostAddress host(address);
    if (!isNumber || number > 65535 || host.isNull() || port.startsWith('+'))
        return std::nullopt;
    return WebAddress{host, static_cast<quint16>(number)};
}

QString webUrlOf(const QHostAddress &address, quint16 port)
{
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? '[' + address.toString() + ']'
                             : address.toString();
    return QStringLiteral("http://%1:%2/").arg(host).arg(port);
}

bool hostIsThisMachine(const QByteArray &host)
{
    // The name without its port; an IPv6 address comes in brackets.
    QString name = QString::fromLatin1(host).toLower();
    if (name.startsWith('[')) {
        name = name.mid(1, name.indexOf(']') - 1);
    } else if (const qsizetype colon = name.lastIndexOf(':'); colon >= 0) {
        name = name.left(colon);
    }
    if (name.isEmpty())
        return false;
    if (!QHostAddress(name).isNull())
        return true;
    const QString machine = QHostInfo::localHostName().toLower();
    return name == "localhost" || name == machine || name == machine + ".local";
}

WebRequest webRequestOf(const QHttpServerRequest &request)
{
    const QUrl url = request.url();
    return {methodName(request.method()), url.path(QUrl::FullyDecoded).toStdString(),
            url.query(QUrl::FullyDecoded).toStdString(), headerOf(request, "Accept").toStdString()};
}

WebServer::WebServer(WebShow &show, QObject *parent) : WebServer(show, Limits(), parent) {}

WebServer::WebServer(WebShow &show, const Limits &limits, QObject *parent)
    : QObject(parent), m_show(show), m_limits(limits)
{
    m_server.setMissingHandler(
        [this](const QHttpServerRequest &request, QHttpServerResponder &&responder) {
            answer(request, std::move(responder));
        });
    // Qt's server hands a WebSocket upgrade over only when a route takes its request: the
    // route leaves the upgrade alone and answers any other request to /ws as the rest.
    m_server.route(QStringLiteral("/ws"),
                   [this](const QHttpServerRequest &request, QHttpServerResponder &&responder) {
                       if (!isWebSocketUpgrade(request))
                           answer(request, std::move(responder));
                   });
    connect(&m_server, &QAbstractHttpServer::newWebSocketConnection, this, &WebServer::acceptPages);
    m_tick.setInterval(m_limits.tick);
    connect(&m_tick, &QTimer::timeout, this, [this] { sendChanges(); });
}

WebServer::~WebServer()
{
    // The sockets' signals reach this object: none may come while it is half gone.
    for (const std::unique_ptr<Page> &page : m_pages)
        page->socket->disconnect(this);
}

void WebServer::setAccess(const WebAccess &access)
{
    m_gate = WebGate(access);
    for (const std::unique_ptr<Page> &page : m_pages) {
        if (!page->peer.loopback)
            page->socket->close(QWebSocketProtocol::CloseCodePolicyViolated);
    }
}

quint16 WebServer::listen(const QHostAddress &address, quint16 port)
{
    return m_server.listen(address, port);
}

int WebServer::readRefusal(const QHttpServerRequest &request)
{
    const WebPeer peer = peerOf(request.remoteAddress());
    if (m_gate.mayRead(peer))
        return 0;
    const QByteArray authorization = headerOf(request, "Authorization");
    const QByteArray bearer = "Bearer ";
    if (!authorization.startsWith(bearer))
        return 401;
    switch (m_gate.offer(peer, authorization.mid(bearer.size()).trimmed().toStdString(),
                         WebGate::Clock::now())) {
    case WebGate::Verdict::Accepted: return 0;
    case WebGate::Verdict::Wrong: return 401;
    case WebGate::Verdict::Blocked: return 429;
    }
    return 401;
}

void WebServer::answer(const QHttpServerRequest &request, QHttpServerResponder &&responder)
{
    if (!hostIsThisMachine(headerOf(request, "Host"))) {
        responder.write(QHttpServerResponder::StatusCode::Forbidden);
        return;
    }
    WebResponse response = answerRequest(webRequestOf(request), m_show);
    // The page's own files hold nothing of the show: a page from another machine loads, then
    // asks for the PIN.
    if (response.resource.empty() && response.status != 405) {
        if (const int refusal = readRefusal(request)) {
            responder.write(static_cast<QHttpServerResponder::StatusCode>(refusal));
            return;
        }
    }
    const auto status = static_cast<QHttpServerResponder::StatusCode>(response.status);
    if (response.contentType.empty()) {
        responder.write(status);
        return;
    }
    QByteArray body = QByteArray::fromStdString(response.body);
    if (!response.resource.empty()) {
        QFile file(PageResources + QString::fromStdString(response.resource));
        if (!file.open(QIODevice::ReadOnly)) {
            responder.write(QHttpServerResponder::StatusCode::InternalServerError);
            return;
        }
        body = file.readAll();
    }
    responder.write(body, QByteArray::fromStdString(response.contentType), status);
}

void WebServer::acceptPages()
{
    while (m_server.hasPendingWebSocketConnections()) {
        std::unique_ptr<QWebSocket> socket = m_server.nextPendingWebSocketConnection();
        if (!socket)
            continue;
        const QByteArray host = socket->request().rawHeader("Host");
        if (m_pages.size() >= m_limits.pages || !hostIsThisMachine(host) ||
            !originMatchesHost(socket->origin().toLatin1(), host)) {
            QWebSocket *closing = socket.release();
            closing->close(QWebSocketProtocol::CloseCodePolicyViolated);
            closing->deleteLater();
            continue;
        }
        socket->setMaxAllowedIncomingMessageSize(static_cast<quint64>(m_limits.messageBytes));
        socket->setMaxAllowedIncomingFrameSize(static_cast<quint64>(m_limits.messageBytes));
        auto page = std::make_unique<Page>();
        page->peer = peerOf(socket->peerAddress());
        page->mayRead = m_gate.mayRead(page->peer);
        page->mayControl = m_gate.mayDrive(page->peer);
        QWebSocket *raw = socket.get();
        page->socket = std::move(socket);
        // Queued: a send or close may report the end at once, while m_pages is being walked.
        connect(
            raw, &QWebSocket::disconnected, this, [this, raw] { closePage(raw); },
            Qt::QueuedConnection);
        Page *added = page.get();
        connect(raw, &QWebSocket::textMessageReceived, this,
                [this, added](const QString &text) { pageMessage(*added, text); });
        connect(&page->osc, &QUdpSocket::readyRead, this, [this, added] { readFeedback(*added); });
        m_pages.push_back(std::move(page));
        if (!added->mayControl)
            raw->sendTextMessage(added->mayRead
                                     ? QStringLiteral(R"({"event":"pinNeeded","reading":true})")
                                     : QStringLiteral(R"({"event":"pinNeeded","reading":false})"));
        if (added->mayRead)
            sendChanges(added);
        m_tick.start();
    }
}

void WebServer::closePage(QWebSocket *socket)
{
    const auto found = std::find_if(m_pages.begin(), m_pages.end(),
                                    [socket](const auto &p) { return p->socket.get() == socket; });
    if (found == m_pages.end())
        return;
    // The socket may still be inside a signal of its own: it goes once that has returned.
    (*found)->socket->disconnect(this);
    (*found)->socket.release()->deleteLater();
    (*found)->osc.disconnect(this);
    m_pages.erase(found);
    if (m_pages.empty()) {
        m_tick.stop();
        m_sent.clear();
    }
}

void WebServer::pageMessage(Page &page, const QString &text)
{
    const PageMessage message = readPageMessage(text.toStdString());
    switch (message.kind) {
    case PageMessage::Kind::Control: control(page, message.control); break;
    case PageMessage::Kind::Pin: offerPin(page, message.pin); break;
    case PageMessage::Kind::Stream: listen(page, message.stream); break;
    case PageMessage::Kind::Other: break;
    }
}

void WebServer::offerPin(Page &page, const std::string &pin)
{
    switch (m_gate.offer(page.peer, pin, WebGate::Clock::now())) {
    case WebGate::Verdict::Accepted: {
        const bool wasReading = page.mayRead;
        page.mayRead = page.mayControl = true;
        page.socket->sendTextMessage(pinEvent("pinAccepted"));
        if (!wasReading)
            sendChanges(&page);
        return;
    }
    case WebGate::Verdict::Wrong:
        page.socket->sendTextMessage(pinEvent("pinRefused", "wrong PIN"));
        return;
    case WebGate::Verdict::Blocked:
        page.socket->sendTextMessage(
            pinEvent("pinRefused", "too many wrong PINs from this address: wait a minute"));
        page.socket->close(QWebSocketProtocol::CloseCodePolicyViolated);
        return;
    }
}

void WebServer::control(Page &page, const ControlDatagram &datagram)
{
    if (!page.mayControl) {
        page.socket->sendTextMessage(
            controlRefusedEvent("driving the show from another machine needs the web PIN"));
        return;
    }
    if (page.second.hasExpired()) {
        page.second = QDeadlineTimer(1000);
        page.controls = 0;
    }
    if (++page.controls > m_limits.controlsPerSecond) {
        page.socket->sendTextMessage(controlRefusedEvent("too many control messages a second"));
        return;
    }
    if (!datagram.error.empty()) {
        page.socket->sendTextMessage(controlRefusedEvent(datagram.error));
        return;
    }
    const OscDestination server = m_show.plugInServer();
    if (!server.error.empty()) {
        page.socket->sendTextMessage(controlRefusedEvent(server.error));
        return;
    }
    const auto size = static_cast<qint64>(datagram.bytes.size());
    page.plugIn = QHostAddress(QString::fromStdString(server.address));
    if (page.osc.writeDatagram(reinterpret_cast<const char *>(datagram.bytes.data()), size,
                               page.plugIn, server.port) != size) {
        page.socket->sendTextMessage(
            controlRefusedEvent("cannot send: " + page.osc.errorString().toStdString()));
        return;
    }
    heard(datagram.bytes);
}

void WebServer::listen(Page &page, const StreamCommand &command)
{
    if (!command.listen)
        page.listening.erase(command.path);
    else if (page.listening.size() < m_limits.listenedPaths)
        page.listening.insert(command.path);
}

void WebServer::readFeedback(Page &page)
{
    while (page.osc.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = page.osc.receiveDatagram();
        // The socket's port is open to the network: a stranger's datagram is no feedback.
        if (!datagram.senderAddress().isEqual(page.plugIn, QHostAddress::TolerantConversion))
            continue;
        const QByteArray &bytes = datagram.data();
        heard(std::span(reinterpret_cast<const uint8_t *>(bytes.constData()),
                        static_cast<size_t>(bytes.size())));
    }
}

void WebServer::heard(std::span<const uint8_t> datagram)
{
    for (ReceivedMessage &message : receivedMessages(datagram)) {
        if (!m_show.receivedValues().record(message.address, message.tags, message.values))
            continue;
        auto key = std::make_pair(message.address, message.tags);
        m_heard.insert_or_assign(std::move(key), std::move(message));
    }
}

void WebServer::sendChanges(Page *everything)
{
    if (m_pages.empty())
        return;
    const std::vector<std::string> events = m_show.pageEvents();
    for (size_t i = 0; i < events.size(); ++i) {
        const bool changed = i >= m_sent.size() || m_sent[i] != events[i];
        if (!changed && !everything)
            continue;
        const QString text = QString::fromStdString(events[i]);
        for (const std::unique_ptr<Page> &page : m_pages) {
            if (page->mayRead && (changed || page.get() == everything))
                page->socket->sendTextMessage(text);
        }
    }
    m_sent = events;
    for (const auto &[key, message] : m_heard) {
        const QString event = QString::fromStdString(valueEventJson(message));
        const QByteArray packet(reinterpret_cast<const char *>(message.bytes.data()),
                                static_cast<qsizetype>(message.bytes.size()));
        for (const std::unique_ptr<Page> &page : m_pages) {
            if (!page->mayRead)
                continue;
            page->socket->sendTextMessage(event);
            if (page->listening.contains(message.address))
                page->socket->sendBinaryMessage(packet);
        }
    }
    m_heard.clear();
}

} // namespace tarvex::host
