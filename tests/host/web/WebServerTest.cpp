// The web server over real HTTP and WebSockets on loopback: each request reaches the routes and
// comes back with their status, type and body, the page from the files compiled in; pages get
// the show's events and send control messages.
#include "host/web/server/WebServer.h"
#include "tests/support/QtWait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHostInfo>
#include <QNetworkAccessManager>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QNetworkReply>
#include <QUdpSocket>
#include <QWebSocket>

#include <gtest/gtest.h>

#include <algorithm>

namespace tarvex::host {
namespace {

class FakeShow : public WebShow {
public:
    std::vector<ActionRow> rows() override
    {
        ActionRow fader;
        fader.address = "/fader 1";
        fader.tags = {"f"};
        fader.argument = "1. Float";
        fader.inMin = "0";
        fader.inMax = "1";
        return {fader};
    }
    ReceivedValues &receivedValues() override { return m_values; }
    OscQueryHost oscQueryHost() override { return {"Tarvex", "", 9000, {}}; }
    std::vector<std::string> pageEvents() override { return events; }
    OscDestination plugInServer() override { return destination; }

    std::vector<std::string> events{R"({"event":"rows","rows":[]})"};
    OscDestination destination{"127.0.0.1", 0, "no OSC server in this test"};

private:
    ReceivedValues m_values;
};

void ensureApplication()
{
    static int argc = 1;
    static char name[] = "tarvex_web_tests";
    static char *argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
}

struct Reply {
    int status = 0;
    QByteArray contentType, body;
};

Reply fetch(QNetworkAccessManager &network, const QString &url, const QByteArray &accept,
            const QByteArray &verb = "GET", const QByteArray &authorization = {})
{
    QNetworkRequest request{QUrl(url)};
    if (!accept.isEmpty())
        request.setRawHeader("Accept", accept);
    if (!authorization.isEmpty())
        request.setRawHeader("Authorization", authorization);
    QNetworkReply *reply = network.sendCustomRequest(request, verb);
    const QDeadlineTimer deadline(10000);
    while (!reply->isFinished() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    Reply result{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                 reply->header(QNetworkRequest::ContentTypeHeader).toByteArray(), reply->readAll()};
    reply->deleteLater();
    return result;
}

TEST(WebServer, servesThePageToBrowsersAndTheNamespaceToEveryoneElse)
{
    ensureApplication();
    FakeShow show;
    WebServer server(show);
    const quint16 port = server.listen(QHostAddress::LocalHost, 0);
    ASSERT_NE(port, 0);
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(port);
    QNetworkAccessManager network;

    const struct {
        QString path;
        QByteArray accept, verb;
        int status;
        QByteArray contentType, bodyStart;
    } cases[] = {
        {"/", "text/html,application/xhtml+xml,*/*;q=0.8", "GET", 200, "text/html; charset=utf-8",
         "<!DOCTYPE html>"},
        {"/fader%201?HTML", "", "GET", 200, "text/html; charset=utf-8", "<!DOCTYPE html>"},
        {"/static/index.html", "*/*", "GET", 200, "text/html; charset=utf-8", "<!DOCTYPE html>"},
        {"/fader%201?VALUE", "application/json", "GET", 200, "application/json", "{}"},
        {"/fader%201", "", "GET", 200, "application/json",
         R"({"FULL_PATH": "/fader 1", "TYPE": "f", "ACCESS": 3, "RANGE": [{"MIN": 0, "MAX": 1}]})"},
        {"/?HOST_INFO", "*/*", "GET", 200, "application/json", R"({"NAME": "Tarvex", "OSC_PORT")"},
        {"/static/secret.txt", "*/*", "GET", 404, "", ""},
        {"/fader%201?COLOR", "*/*", "GET", 400, "", ""},
        {"/fader%201", "*/*", "POST", 405, "", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE((c.verb + " " + c.path.toUtf8() + " Accept: " + c.accept).toStdString());
        const Reply reply = fetch(network, base + c.path, c.accept, c.verb);
        EXPECT_EQ(reply.status, c.status);
        if (!c.contentType.isEmpty()) { // Qt names a type of its own for an empty body
            EXPECT_EQ(reply.contentType, c.contentType);
        }
        EXPECT_TRUE(reply.body.startsWith(c.bodyStart)) << reply.body.left(200).toStdString();
    }
}

// A page's WebSocket, with every text it was sent.
struct PageClient {
    QWebSocket socket;
    QStringList received;
    bool closed = false;

    PageClient(quint16 port, const QString &origin, const QString &host = "127.0.0.1")
        : socket(origin)
    {
        QObject::connect(&socket, &QWebSocket::textMessageReceived,
                         [this](const QString &text) { received.append(text); });
        QObject::connect(&socket, &QWebSocket::disconnected, [this] { closed = true; });
        socket.open(QUrl(QStringLiteral("ws://%1:%2/ws").arg(host).arg(port)));
    }
};

// Runs the loop until `done` holds or 10 s passed; whether it holds.
template <class Condition> bool waitFor(Condition done)
{
    return test::waitUntil(done, 10000);
}

TEST(WebServer, aPageGetsEveryEventThenOnlyChangesAndOtherSitesOrSurplusPagesAreClosed)
{
    ensureApplication();
    FakeShow show;
    WebServer server(show, {.pages = 2});
    const quint16 port = server.listen(QHostAddress::LocalHost, 0);
    const QString origin = QStringLiteral("http://127.0.0.1:%1").arg(port);

    PageClient first(port, origin);
    ASSERT_TRUE(waitFor([&] { return first.received.size() == 1; }));
    EXPECT_EQ(first.received[0], QString::fromStdString(show.events[0]));
    show.events.push_back(R"({"event":"levels","universe":1})");
    ASSERT_TRUE(waitFor([&] { return first.received.size() == 2; }));
    EXPECT_EQ(first.received[1], QString::fromStdString(show.events[1]));

    PageClient second(port, origin);
    ASSERT_TRUE(waitFor([&] { return second.received.size() == 2; }));
    PageClient foreign(port, QStringLiteral("http://evil.example"));
    PageClient surplus(port, origin);
    EXPECT_TRUE(waitFor([&] { return foreign.closed && surplus.closed; }));
    test::waitUntil([] { return false; }, 200); // whatever else was coming has come
    EXPECT_EQ(first.received.size(), 2) << "nothing changed, nothing sent";
    EXPECT_TRUE(foreign.received.isEmpty());
    EXPECT_EQ(server.pageCount(), 2u);

    EXPECT_TRUE(originMatchesHost("", "127.0.0.1:8080")) << "a program that is no browser";
    EXPECT_TRUE(originMatchesHost("http://stage-pc", "STAGE-PC"));
    EXPECT_FALSE(originMatchesHost("http://127.0.0.1:8081", "127.0.0.1:8080"));
    EXPECT_FALSE(originMatchesHost("null", "127.0.0.1:8080"));
}

// The first datagram the socket gets, with where it came from.
QNetworkDatagram nextDatagram(QUdpSocket &socket)
{
    waitFor([&] { return socket.hasPendingDatagrams(); });
    return socket.hasPendingDatagrams() ? socket.receiveDatagram() : QNetworkDatagram();
}

bool hasText(const QStringList &texts, const QString &part)
{
    return std::any_of(texts.begin(), texts.end(),
                       [&](const QString &t) { return t.contains(part); });
}

TEST(WebServer, controlReachesThePlugInAsOscAndValuesGoToEveryPageWithinTheLimits)
{
    ensureApplication();
    FakeShow show;
    QUdpSocket plugIn; // the plug-in's OSC server
    ASSERT_TRUE(plugIn.bind(QHostAddress::LocalHost, 0));
    WebServer server(show, {.messageBytes = 256, .controlsPerSecond = 5});
    const quint16 port = server.listen(QHostAddress::LocalHost, 0);
    const QString origin = QStringLiteral("http://127.0.0.1:%1").arg(port);
    PageClient page(port, origin), other(port, origin);
    ASSERT_TRUE(waitFor([&] { return other.received.size() == 1; }));
    other.socket.sendTextMessage(R"({"COMMAND":"LISTEN","DATA":"/fader 1"})");
    QByteArray streamed;
    QObject::connect(&other.socket, &QWebSocket::binaryMessageReceived,
                     [&](const QByteArray &packet) { streamed = packet; });

    page.socket.sendTextMessage(R"({"send":"/fader 1","type":"fs","args":[0.5,"x"]})");
    ASSERT_TRUE(waitFor([&] { return hasText(page.received, "controlRefused"); }));
    EXPECT_TRUE(hasText(page.received, "no OSC server in this test"));
    show.destination = {"127.0.0.1", plugIn.localPort(), ""};
    page.socket.sendTextMessage(R"({"send":"/fader 1","type":"fs","args":[0.5,"x"]})");
    const QNetworkDatagram sent = nextDatagram(plugIn);
    const QByteArray fader("/fader 1\0\0\0\0,fs\0\x3f\0\0\0x\0\0\0", 24);
    EXPECT_EQ(sent.data(), fader);
    // The other page's fader follows, and a LISTEN gets the message as OSC.
    const QString value =
        R"({"event": "value", "address": "/fader 1", "type": "fs", "args": [0.5, "x"]})";
    EXPECT_TRUE(waitFor([&] { return other.received.contains(value); }));
    EXPECT_TRUE(waitFor([&] { return streamed == fader; }));

    // Feedback from the plug-in to the page's own socket is a value like any; a datagram from
    // another address (127.0.0.2 is loopback too, but not the plug-in's) is not.
    QUdpSocket stranger;
    ASSERT_TRUE(stranger.bind(QHostAddress("127.0.0.2"), 0));
    const auto pagePort = static_cast<quint16>(sent.senderPort());
    stranger.writeDatagram(QByteArray("/fader 2\0\0\0\0,fs\0\x3f\x80\0\0z\0\0\0", 24),
                           QHostAddress::LocalHost, pagePort);
    const QByteArray feedback("/fader 1\0\0\0\0,fs\0\x3e\x80\0\0y\0\0\0", 24);
    plugIn.writeDatagram(feedback, sent.senderAddress(), pagePort);
    EXPECT_TRUE(waitFor([&] { return other.received.last().contains("[0.25, \"y\"]"); }))
        << other.received.last().toStdString();
    EXPECT_FALSE(hasText(other.received, "\"z\"")) << "a stranger's datagram counted";

    for (const char *refused :
         {R"({"send":"fader","type":"f","args":[1]})", R"({"send":"/a","type":"i","args":[1.5]})",
          R"({"send":"/a","type":"b","args":[1]})"})
        page.socket.sendTextMessage(QString::fromLatin1(refused));
    page.socket.sendTextMessage(R"({"send":"/go","type":"","args":[]})");
    ASSERT_TRUE(waitFor([&] { return hasText(page.received, "too many"); }));
    EXPECT_TRUE(hasText(page.received, "must start with"));
    EXPECT_TRUE(hasText(page.received, "whole number"));
    EXPECT_FALSE(plugIn.hasPendingDatagrams()) << "nothing refused reaches the plug-in";

    page.socket.sendTextMessage(QString(300, 'x'));
    EXPECT_TRUE(waitFor([&] { return page.closed; })) << "a message over the limit";
}

// An address of this machine that is not loopback: a client that connects to it is, for the
// server, a client from the network.
std::optional<QHostAddress> networkAddress()
{
    for (const QHostAddress &address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
            return address;
    }
    return std::nullopt;
}

TEST(WebServer, fromTheNetworkThePinGuardsTheShowButNotThePagesFilesAndANewPinShutsPagesOut)
{
    ensureApplication();
    const std::optional<QHostAddress> lan = networkAddress();
    if (!lan)
        GTEST_SKIP() << "this machine has no address beyond loopback";
    FakeShow show;
    WebServer server(show);
    server.setAccess({.pin = "483920"});
    const quint16 port = server.listen(QHostAddress::AnyIPv4, 0);
    const QString base = QStringLiteral("http://%1:%2").arg(lan->toString()).arg(port);
    QNetworkAccessManager network;
    EXPECT_EQ(fetch(network, base + "/", "text/html").status, 200);
    EXPECT_EQ(fetch(network, base + "/fader%201", "*/*").status, 401);
    EXPECT_EQ(fetch(network, base + "/fader%201", "*/*", "GET", "Bearer 000000").status, 401);
    EXPECT_EQ(fetch(network, base + "/fader%201", "*/*", "GET", "Bearer 483920").status, 200);

    PageClient page(port, base, lan->toString());
    ASSERT_TRUE(waitFor([&] { return page.received.size() == 1; }));
    EXPECT_TRUE(page.received[0].contains("pinNeeded"));
    page.socket.sendTextMessage(R"({"send":"/go","type":"","args":[]})");
    page.socket.sendTextMessage(R"({"pin":"000000"})");
    page.socket.sendTextMessage(R"({"pin":"483920"})");
    ASSERT_TRUE(waitFor([&] { return page.received.size() == 5; }));
    EXPECT_TRUE(page.received[1].contains("needs the web PIN"));
    EXPECT_TRUE(page.received[2].contains("pinRefused"));
    EXPECT_TRUE(page.received[3].contains("pinAccepted"));
    EXPECT_EQ(page.received[4], QString::fromStdString(show.events[0])) << "then the show";
    server.setAccess({.pin = "111111"});
    EXPECT_TRUE(waitFor([&] { return page.closed; })) << "a new PIN shuts it out";
}

TEST(WebServer, readsWhereTheWebOptionAsksToListenAndWhichHostNamesAreThisMachine)
{
    const struct {
        QString text;
        std::optional<QString> address;
        quint16 port;
    } cases[] = {
        {"8080", "127.0.0.1", 8080},   {"0.0.0.0:80", "0.0.0.0", 80}, {"[::1]:0", "::1", 0},
        {"::1:8080", std::nullopt, 0}, {"host:80", std::nullopt, 0},  {"70000", std::nullopt, 0},
        {"+80", std::nullopt, 0},      {"", std::nullopt, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const std::optional<WebAddress> read = webAddressOf(c.text);
        ASSERT_EQ(read.has_value(), c.address.has_value());
        if (read) {
            EXPECT_EQ(read->address, QHostAddress(*c.address));
            EXPECT_EQ(read->port, c.port);
        }
    }
    EXPECT_EQ(webUrlOf(QHostAddress("::1"), 80), "http://[::1]:80/");

    for (const char *mine : {"127.0.0.1:8080", "[::1]:80", "192.168.1.10", "LOCALHOST:1"})
        EXPECT_TRUE(hostIsThisMachine(mine)) << mine;
    EXPECT_TRUE(hostIsThisMachine(QHostInfo::localHostName().toLatin1() + ".local:8080"));
    for (const char *rebound : {"evil.example:8080", "localhost.evil.example", "", ":8080"})
        EXPECT_FALSE(hostIsThisMachine(rebound)) << rebound;
}

} // namespace
} // namespace tarvex::host
