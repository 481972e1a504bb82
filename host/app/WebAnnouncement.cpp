#include "host/app/WebAnnouncement.h"

#include <QMetaObject>

namespace tarvex::host {

WebAnnouncement::WebAnnouncement(const QHostAddress &address, quint16 port, Report report)
    : m_report(std::move(report))
{
    const std::string listened = address.toString().toStdString();
    if (!ServiceAnnouncer::reachableFromOthers(listened)) {
        m_report("the web page is not announced on the network: it listens on " + listened +
                 " only");
        return;
    }
    m_announcer = std::make_unique<ServiceAnnouncer>(
        [this](AnnouncementState state, const std::string &text) {
            // On the announcer's thread: the news is taken on ours.
            QMetaObject::invokeMethod(
                &m_context, [this, state, text] { changed(state, text); }, Qt::QueuedConnection);
        },
        ServiceAnnouncer::OscQueryServiceType);
    m_announcer->announce(ServiceAnnouncer::serviceName(), port, listened);
}

// What is settled is told; "announcing" is a step on the way to one or the other.
void WebAnnouncement::changed(AnnouncementState state, const std::string &text)
{
    if (state == AnnouncementState::Announced)
        m_report("the web page is " + text);
    else if (state == AnnouncementState::Unavailable)
        m_report("the web page is not announced: " + text);
}

} // namespace tarvex::host
