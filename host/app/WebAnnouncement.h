#pragma once
// WebAnnouncement: the show's web page made findable by OSCQuery clients on the network. While
// the page listens beyond loopback it is announced through avahi-daemon as "_oscjson._tcp" on
// the page's port, under the same name as the plug-in's OSC server ("Tarvex on stage-pc"); on
// loopback nobody else could reach it, so nothing is announced. Destroying it withdraws the
// announcement.
//
//   WebAnnouncement announcement(address, port, [](const std::string &line) { ... });
//
// Each line says what the announcement did ("the web page is announced ...") or why the page is
// not announced; lines come on the thread that made the object, from its event loop.

#include "announce/ServiceAnnouncer.h"

#include <QHostAddress>
#include <QObject>

#include <functional>
#include <memory>
#include <string>

namespace tarvex::host {

class WebAnnouncement {
public:
    using Report = std::function<void(const std::string &line)>;

    WebAnnouncement(const QHostAddress &address, quint16 port, Report report);
    WebAnnouncement(const WebAnnouncement &) = delete;
    WebAnnouncement &operator=(const WebAnnouncement &) = delete;

private:
    void changed(AnnouncementState state, const std::string &text);

    Report m_report;
    QObject m_context; // the news from the announcer's thread is taken in its event loop
    std::unique_ptr<ServiceAnnouncer> m_announcer; // first to go: no news after it
};

} // namespace tarvex::host
