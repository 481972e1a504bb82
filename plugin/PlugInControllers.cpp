#include "plugin/PlugInControllers.h"

#include "core/VbError.h"
#include "net/frmMainOSC.h"
#include "plugin/api/HostScripting.h"
#include "store/OSCSaver.h"

#include <QMetaObject>

#include <chrono>

namespace tarvex {
namespace {

int64_t wallClockMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

} // namespace

PlugInControllers::PlugInControllers(PlugInState &state, PlugInWindows &windows)
    : m_state(state), m_windows(windows), m_network(*this, state.feedback)
{
    m_state.dispatchListener = &m_network;
    m_expiry.setSingleShot(true);
    QObject::connect(&m_expiry, &QTimer::timeout, &m_context, [this] { m_network.expire(); });
    m_nextFlush.setSingleShot(true);
    QObject::connect(&m_nextFlush, &QTimer::timeout, &m_context,
                     [this] { m_network.flushFeedback(); });
    m_network.onChanged = [this] {
        m_tablesChanged = true;
        tellHost();
    };
    m_network.onController = [this](const Endpoint &endpoint, ControllerChange change) {
        m_changes.emplace_back(endpoint.text(), change);
        tellHost();
    };
}

PlugInControllers::~PlugInControllers()
{
    m_state.dispatchListener = nullptr;
}

void PlugInControllers::watch(Winsock &socket)
{
    socket.onBound = [this](const std::string &address, uint16_t port) {
        socketBound(address, port);
    };
    socket.onUnbound = [this] { socketUnbound(); };
}

// --- The announcement ---

void PlugInControllers::socketBound(const std::string &address, uint16_t port)
{
    if (!ServiceAnnouncer::reachableFromOthers(address)) {
        socketUnbound();
        return;
    }
    if (!m_announcer)
        m_announcer = std::make_unique<ServiceAnnouncer>(
            [this](AnnouncementState state, const std::string &text) {
                // On the announcer's thread: the news is taken on ours.
                QMetaObject::invokeMethod(
                    &m_context, [this, state, text] { announcementChanged(state, text); },
                    Qt::QueuedConnection);
            });
    m_announcer->announce(ServiceAnnouncer::serviceName(), port, address);
}

void PlugInControllers::socketUnbound()
{
    if (m_announcer)
        m_announcer->withdraw();
}

void PlugInControllers::announcementChanged(AnnouncementState state, const std::string &text)
{
    m_announcement = state;
    m_announcementText = text;
    m_tablesChanged = true;
    tellHost();
    if (state != AnnouncementState::Unavailable || m_unavailableTold)
        return;
    m_unavailableTold = true;
    if (auto notices = std::dynamic_pointer_cast<IHostNotices>(m_state.hostHelper)) {
        try {
            notices->notice("The server is not announced on the network (" + text +
                            "): until avahi-daemon is back, controllers must be given this "
                            "computer's address by hand.");
        } catch (...) {
            // A host that fails to listen changes nothing.
        }
    }
}

// --- The host ---

// Changes are told from the event loop, one call gathering those of a whole delivery: a host
// call may run a nested loop, which must never happen inside a datagram's handling.
void PlugInControllers::tellHost()
{
    if (m_tellingQueued)
        return;
    m_tellingQueued = true;
    QMetaObject::invokeMethod(
        &m_context,
        [this] {
            m_tellingQueued = false;
            auto events = std::dynamic_pointer_cast<IHostControllerEvents>(m_state.hostHelper);
            std::vector<std::pair<std::string, ControllerChange>> changes;
            changes.swap(m_changes);
            const bool tablesChanged = std::exchange(m_tablesChanged, false);
            if (!events)
                return;
            try {
                for (const auto &[endpoint, change] : changes)
                    events->controller(endpoint, change);
                if (tablesChanged)
                    events->controllersChanged();
            } catch (...) {
                // A host that fails to listen changes nothing.
            }
        },
        Qt::QueuedConnection);
}

ControllerTables PlugInControllers::tables()
{
    ControllerTables tables = m_network.tables(wallClockMs());
    if (const frmMainOSC *main = m_windows.loadedMainWindow())
        tables.socketDrops = main->Winsock1->droppedDatagrams();
    tables.announcement = m_announcement;
    tables.announcementText = m_announcementText;
    return tables;
}

void PlugInControllers::setFeedback(const FeedbackSettings &settings)
{
    if (settings.recentMinutes < 1 || settings.recentMinutes > FeedbackSettings::MaxRecentMinutes)
        throw VbError(errc::InvalidProcedureCall,
                      "Feedback goes to controllers heard within 1 to " +
                          std::to_string(FeedbackSettings::MaxRecentMinutes) + " minutes, not " +
                          std::to_string(settings.recentMinutes));
    loadSettings(m_state); // the file's settings must not replace these later
    m_state.feedback = settings;
    m_network.feedbackChanged();
}

// --- The port ---

bool PlugInControllers::sendDatagram(const Endpoint &to, std::span<const uint8_t> bytes)
{
    frmMainOSC *main = m_windows.loadedMainWindow();
    return main && main->Winsock1->SendTo(to.address, to.port, bytes);
}

void PlugInControllers::flushSoon()
{
    QMetaObject::invokeMethod(
        &m_context, [this] { m_network.flushFeedback(); }, Qt::QueuedConnection);
}

void PlugInControllers::flushIn(int64_t ms)
{
    if (!m_nextFlush.isActive())
        m_nextFlush.start(static_cast<int>(ms));
}

void PlugInControllers::expireIn(int64_t ms)
{
    m_expiry.start(static_cast<int>(ms));
}

} // namespace tarvex
