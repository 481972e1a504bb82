// The web server over real HTTP and WebSockets on loopback: each request reaches the routes and
// comes back with their status, type and body, the page from the files compiled in; pages get
// the show's events and send control messages.
#include "host/web/server/WebServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QWebSocket>

#include <gtest/gtest.h>

#include <functional>

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
    const ReceivedValues &receivedValues() override { return m_values; }
    OscQueryHost oscQueryHost() override { return {"Tarvex", "", 9000, {}}; }
    std::vector<std::string> pageEvents() override { return events; }
    std::string sendToPlugIn(const std::vector<uint8_t> &datagram) override
    {
        sent.push_back(datagram);
        return {};
    }

    std::vector<std::string> events{R"({"event":"rows","rows":[]})"};
    std::vector<std::vector<uint8_t>> sent;

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
            const QByteArray &verb = "GET")
{
    QNetworkRequest request{QUrl(url)};
    if (!accept.isEmpty())
        request.setRawHeader("Accept", accept);
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

    PageClient(quint16 port, const QString &origin) : socket(origin)
    {
        QObject::connect(&socket, &QWebSocket::textMessageReceived,
                         [this](const QString &text) { received.append(text); });
        QObject::connect(&socket, &QWebSocket::disconnected, [this] { closed = true; });
        socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(port)));
    }
    // Runs the loop until `done` holds or 10 s passed; whether it holds.
    static bool waitFor(const std::function<bool()> &done)
    {
        const QDeadlineTimer deadline(10000);
        while (!done() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        return done();
    }
};

void runFor(int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
}

TEST(WebServer, aPageGetsEveryEventThenOnlyChangesAndOtherSitesOrSurplusPagesAreClosed)
{
    ensureApplication();
    FakeShow show;
    WebServer server(show, {.pages = 2});
    const quint16 port = server.listen(QHostAddress::LocalHost, 0);
    const QString origin = QStringLiteral("http://127.0.0.1:%1").arg(port);

    PageClient first(port, origin);
    ASSERT_TRUE(PageClient::waitFor([&] { return first.received.size() == 1; }));
    EXPECT_EQ(first.received[0], QString::fromStdString(show.events[0]));
    show.events.push_back(R"({"event":"levels","universe":1})");
    ASSERT_TRUE(PageClient::waitFor([&] { return first.received.size() == 2; }));
    EXPECT_EQ(first.received[1], QString::fromStdString(show.events[1]));

    PageClient second(port, origin);
    ASSERT_TRUE(PageClient::waitFor([&] { return second.received.size() == 2; }));
    PageClient foreign(port, QStringLiteral("http://evil.example"));
    PageClient surplus(port, origin);
    EXPECT_TRUE(PageClient::waitFor([&] { return foreign.closed && surplus.closed; }));
    runFor(200);
    EXPECT_EQ(first.received.size(), 2) << "nothing changed, nothing sent";
    EXPECT_TRUE(foreign.received.isEmpty());
    EXPECT_EQ(server.pageCount(), 2u);

    EXPECT_TRUE(originMatchesHost("", "127.0.0.1:8080")) << "a program that is no browser";
    EXPECT_TRUE(originMatchesHost("http://stage-pc", "STAGE-PC"));
    EXPECT_FALSE(originMatchesHost("http://127.0.0.1:8081", "127.0.0.1:8080"));
    EXPECT_FALSE(originMatchesHost("null", "127.0.0.1:8080"));
}

TEST(WebServer, controlMessagesReachThePlugInAsOscWithinTheirLimits)
{
    ensureApplication();
    FakeShow show;
    WebServer server(show, {.messageBytes = 256, .controlsPerSecond = 4});
    const quint16 port = server.listen(QHostAddress::LocalHost, 0);
    PageClient page(port, QStringLiteral("http://127.0.0.1:%1").arg(port));
    ASSERT_TRUE(PageClient::waitFor([&] { return page.received.size() == 1; }));

    page.socket.sendTextMessage(R"({"send":"/fader 1","type":"fs","args":[0.5,"x"]})");
    ASSERT_TRUE(PageClient::waitFor([&] { return show.sent.size() == 1; }));
    const std::vector<uint8_t> fader{'/', 'f', 'a', 'd', 'e', 'r', ' ', '1', 0, 0, 0, 0,
                                     ',', 'f', 's', 0, 0x3f, 0, 0, 0, 'x', 0, 0, 0};
    EXPECT_EQ(show.sent[0], fader);

    for (const char *refused : {R"({"send":"fader","type":"f","args":[1]})",
                                R"({"send":"/a","type":"i","args":[1.5]})",
                                R"({"send":"/a","type":"b","args":[1]})"})
        page.socket.sendTextMessage(QString::fromLatin1(refused));
    ASSERT_TRUE(PageClient::waitFor([&] { return page.received.size() == 4; }));
    EXPECT_TRUE(page.received[1].contains("controlRefused")) << page.received[1].toStdString();
    page.socket.sendTextMessage(R"({"send":"/go","type":"","args":[]})");
    ASSERT_TRUE(PageClient::waitFor([&] { return page.received.size() == 5; }));
    EXPECT_TRUE(page.received[4].contains("too many")) << page.received[4].toStdString();
    EXPECT_EQ(show.sent.size(), 1u);

    page.socket.sendTextMessage(QString(300, 'x'));
    EXPECT_TRUE(PageClient::waitFor([&] { return page.closed; })) << "a message over the limit";
}

TEST(WebServer, readsWhereTheWebOptionAsksToListen)
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
}

} // namespace
} // namespace tarvex::host
