#pragma once
// ServiceAnnouncer: makes the OSC server findable on the local network. While asked to, it
// announces the service "_osc._udp" under a name and port through the system's avahi-daemon
// (mDNS/DNS-SD), so controller apps that browse for OSC hosts list it.
//
//   ServiceAnnouncer announcer([](AnnouncementState s, const std::string &text) { ... });
//   announcer.announce("Tarvex on stage-pc", 9000, "0.0.0.0");   // every interface
//   announcer.withdraw();
//
// The daemon is reached over D-Bus, whose calls may block: they all run on a thread of the
// announcer's own (Avahi's simple poll), never on the caller's. announce() and withdraw() only
// hand over what is wanted and return at once. The listener is called on that thread, without
// any lock held; it must hand the news to its own thread. Without a daemon the announcer says
// so (Unavailable, with the reason) and announces as soon as one appears. A name another host
// already uses is replaced by Avahi's alternative ("Tarvex on stage-pc #2").

#include "plugin/api/HostControllers.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace tarvex {

class ServiceAnnouncer {
public:
    using Listener = std::function<void(AnnouncementState state, const std::string &text)>;
    static constexpr const char *ServiceType = "_osc._udp";

    explicit ServiceAnnouncer(Listener listener);
    // Withdraws the announcement and ends the thread.
    ~ServiceAnnouncer();
    ServiceAnnouncer(const ServiceAnnouncer &) = delete;
    ServiceAnnouncer &operator=(const ServiceAnnouncer &) = delete;

    // Announces the name and port on the interface that holds `address` (every interface for
    // "0.0.0.0"), replacing an earlier announcement.
    void announce(const std::string &name, uint16_t port, const std::string &address);
    void withdraw();

    // "Tarvex on " and this machine's host name.
    static std::string serviceName();
    // Whether a server bound to this IPv4 address can be reached from other machines: not a
    // loopback address (127.0.0.0/8).
    static bool reachableFromOthers(const std::string &address);

private:
    struct Wanted {
        bool on = false;
        std::string name;
        uint16_t port = 0;
        int interfaceIndex = -1; // Avahi's "every interface"
        bool operator==(const Wanted &) const = default;
    };
    class Session;

    void run();
    void post(Wanted wanted);

    Listener m_listener;
    std::mutex m_mutex;
    Wanted m_wanted; // guarded by m_mutex
    bool m_quit = false;
    std::unique_ptr<Session> m_session; // lives on the thread
    std::thread m_thread;
};

} // namespace tarvex
