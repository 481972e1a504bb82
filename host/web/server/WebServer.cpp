#include "host/web/server/WebServer.h"

#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QMetaEnum>
#include <QUrl>

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

} // namespace

WebRequest webRequestOf(const QHttpServerRequest &request)
{
    const QUrl url = request.url();
    return {methodName(request.method()), url.path(QUrl::FullyDecoded).toStdString(),
            url.query(QUrl::FullyDecoded).toStdString(), headerOf(request, "Accept").toStdString()};
}

WebServer::WebServer(WebShow &show, QObject *parent) : QObject(parent), m_show(show)
{
    m_server.setMissingHandler(
        [this](const QHttpServerRequest &request, QHttpServerResponder &&responder) {
            answer(request, std::move(responder));
        });
}

quint16 WebServer::listen(const QHostAddress &address, quint16 port)
{
    return m_server.listen(address, port);
}

void WebServer::answer(const QHttpServerRequest &request, QHttpServerResponder &&responder)
{
    const WebResponse response = answerRequest(webRequestOf(request), m_show);
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

} // namespace tarvex::host
