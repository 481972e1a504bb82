#pragma once
// ServiceAnnouncer: makes a server findable on the local network. While asked to, it announces
// a DNS-SD service type ("_osc._udp" unless told another) under a name and port through the
// system's avahi-daemon (mDNS/DNS-SD), so clients that browse for that type list it.
//
//   ServiceAnnouncer announcer([](AnnouncementState s, const std::string &text) { ... });
//   announcer.announce("Tarvex on stage-pc", 9000, "0.0.0.0");   // every interface
//   announcer.withdraw();
//
// The daemon is reached over D-Bus, whose calls may block for seconds: they all run on a thread
// of the announcer's own (Avahi's simple poll), never on the caller's. announce() and withdraw()
// only hand over what is wanted and return at once. Without a bus or a daemon the announcer says
// so (Unavailable, with the reason) and announces by itself once they are back, also after they
// restart; failed attempts are retried after growing pauses, never in a loop. A name another
// host already uses is replaced by Avahi's alternative ("Tarvex on stage-pc #2").
//
// The listener is called on the announcer's thread, without the announcer's state locked; it
// must hand the news to its own thread and return without waiting for the caller's thread. It
// is never called once the destructor has begun.

#include "plugin/api/HostControllers.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace tarvex {

class ServiceAnnouncer {
public:
    using Listener = std::function<void(AnnouncementState state, const std::string &text)>;
    // An OSC server over UDP, as controller apps browse for it.
    static constexpr const char *OscServiceType = "_osc._udp";
    // An OSCQuery server: its namespace over HTTP and WebSocket on the announced port.
    static constexpr const char *OscQueryServiceType = "_oscjson._tcp";
    // The longest the destructor waits for the thread (besides a listener call in progress). A
    // thread still inside a D-Bus call then finishes alone: it holds what it uses, the listener
    // is no longer called, and the daemon withdraws the announcement when that thread's
    // connection closes.
    static constexpr std::chrono::milliseconds QuitWait{40};

    explicit ServiceAnnouncer(Listener listener, std::string serviceType = OscServiceType);
    // Withdraws the announcement and ends the thread, waiting at most QuitWait.
    ~ServiceAnnouncer();
    ServiceAnnouncer(const ServiceAnnouncer &) = delete;
    ServiceAnnouncer &operator=(const ServiceAnnouncer &) = delete;

    // Announces the name (cut to the 63 bytes DNS-SD allows) and port on the interface that
    // holds `address` (every interface for "0.0.0.0" or "::"), over IPv6 for an IPv6 address,
    // replacing an earlier announcement.
    void announce(const std::string &name, uint16_t port, const std::string &address);
    void withdraw();

    // "Tarvex on " and this machine's host name.
    static std::string serviceName();
    // Whether a server bound to this IPv4 or IPv6 address can be reached from other machines:
    // not a loopback address (127.0.0.0/8, ::1, or 127.x written as IPv6).
    static bool reachableFromOthers(const std::string &address);

private:
    struct Wanted;
    struct Shared;
    class Session;

    static void run(const std::shared_ptr<Shared> &shared);
    void post(Wanted wanted);

    std::shared_ptr<Shared> m_shared; // the thread holds it too
    std::thread m_thread;
};

} // namespace tarvex
