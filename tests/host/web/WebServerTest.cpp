// The web server over real HTTP on loopback: each request reaches the routes and comes back with
// their status, type and body, the page from the files compiled in.
#include "host/web/server/WebServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <gtest/gtest.h>

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

} // namespace
} // namespace tarvex::host
