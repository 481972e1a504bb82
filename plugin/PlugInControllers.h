#pragma once
// PlugInControllers: the controllers on the network, wired into the plug-in. It owns the
// traffic tables and feedback (ControllerNetwork), answers their port with the main window's
// socket and Qt's event loop, announces the server through avahi-daemon while it listens on an
// address other machines can reach, and tells the host what changed.
//
//   PlugInControllers controllers(state, windows);   // state.dispatchListener is set
//   controllers.watch(*mainWindow.Winsock1);         // binds announce, closes withdraw
//   ControllerTables tables = controllers.tables();  // for IHostControllers
//
// The host hears of changes (IHostControllerEvents on its helper) from the event loop, never
// from inside a datagram's handling, and hears once per plug-in life that the announcement is off
// and why (IHostNotices).

#include "announce/ServiceAnnouncer.h"
#include "controllers/ControllerNetwork.h"
#include "plugin/PlugInWindows.h"
#include "store/PlugInState.h"

#include <QObject>
#include <QTimer>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tarvex {

class Winsock;

class PlugInControllers final : public ControllerPort {
public:
    // The state and the windows are borrowed and outlive this object.
    PlugInControllers(PlugInState &state, PlugInWindows &windows);
    ~PlugInControllers() override;

    // Follows the socket's binding: announced while bound to an address others can reach.
    void watch(Winsock &socket);

    ControllerTables tables();
    // Checks the settings, then takes them at once (kept with the next project save).
    void setFeedback(const FeedbackSettings &settings);

    ControllerNetwork &network() { return m_network; }

    // ControllerPort.
    bool sendDatagram(const Endpoint &to, std::span<const uint8_t> bytes) override;
    void flushSoon() override;
    void flushIn(int64_t ms) override;
    void expireIn(int64_t ms) override;

private:
    void socketBound(const std::string &address, uint16_t port);
    void socketUnbound();
    void announcementChanged(AnnouncementState state, const std::string &text);
    void tellHost();

    PlugInState &m_state;
    PlugInWindows &m_windows;
    QObject m_context; // the queued calls run in it; with it go those not yet run
    QTimer m_expiry;
    QTimer m_nextFlush; // the paced flushes of the state sent to controllers
    ControllerNetwork m_network;
    std::unique_ptr<ServiceAnnouncer> m_announcer; // made when first needed
    AnnouncementState m_announcement = AnnouncementState::Off;
    std::string m_announcementText;
    bool m_unavailableTold = false;
    // What waits for the host, told from the event loop.
    std::vector<std::pair<std::string, ControllerChange>> m_changes;
    bool m_tablesChanged = false;
    bool m_tellingQueued = false;
};

} // namespace tarvex
