#pragma once
// WebServer: the show's page and its OSCQuery namespace over HTTP, on Qt's HTTP server. It
// only carries requests to WebRoutes and their answers back; what is served is decided there
// (docs/web.md).
//
//   WebServer server(show);
//   quint16 port = server.listen(QHostAddress::LocalHost, 8080);   // 0: could not listen

#include "host/web/WebRoutes.h"

#include <QHostAddress>
#include <QHttpServer>
#include <QObject>

namespace tarvex::host {

class WebServer : public QObject {
public:
    explicit WebServer(WebShow &show, QObject *parent = nullptr);
    // Listens on the address and port (0: any free one); the port listened on, or 0.
    quint16 listen(const QHostAddress &address, quint16 port);

private:
    QHttpServer m_server;
    WebShow &m_show;

    void answer(const QHttpServerRequest &request, QHttpServerResponder &&responder);
};

// The request as the routes read it: method, decoded path and query, Accept header.
WebRequest webRequestOf(const QHttpServerRequest &request);

} // namespace tarvex::host
