#pragma once
// WebGate: who may read the show and who may drive it over the web. Pages and clients on this
// machine (loopback) may do both. Beyond it, driving the show (the Control view, anything that
// changes state) takes the project's web PIN, and so does reading it (the namespace, the live
// events) unless reading is open. The page's own files hold nothing of the show and are open to
// all. After MaxWrongPins wrong PINs from one address within a minute, that address is refused
// every PIN for a minute, so six digits cannot be tried through.
//
//   WebGate gate({.pin = "483920", .readingOpen = false});
//   gate.mayRead(peer)                    // loopback, reading open, or the PIN shown before
//   gate.offer(peer, "483920", now)       // Accepted: the connection may read and drive
//
// No Qt: peers are named by their address text and whether it is loopback.

#include <chrono>
#include <map>
#include <string>
#include <string_view>

namespace tarvex::host {

struct WebAccess {
    std::string pin{}; // "" turns the PIN off: everyone may read and drive (loopback-only servers)
    bool readingOpen = false;
    // Where the host serves the page when no --web is given ("0.0.0.0:8080"); "": it does not.
    std::string listen{};
};

struct WebPeer {
    std::string address;
    bool loopback = false;
};

class WebGate {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int MaxWrongPins = 5;
    static constexpr std::chrono::seconds Window{60};

    explicit WebGate(WebAccess access = {}) : m_access(std::move(access)) {}

    // Without a PIN shown on this connection.
    bool mayRead(const WebPeer &peer) const;
    bool mayDrive(const WebPeer &peer) const;

    enum class Verdict { Accepted, Wrong, Blocked };
    Verdict offer(const WebPeer &peer, std::string_view pin, Clock::time_point now);

private:
    bool free(const WebPeer &peer) const { return peer.loopback || m_access.pin.empty(); }

    struct Tries {
        Clock::time_point since;
        int wrong = 0;
    };
    WebAccess m_access;
    std::map<std::string, Tries> m_tries; // per address, within the current window
};

// Whether the two PINs are equal, in a time that does not tell how much of them matched.
bool samePin(std::string_view given, std::string_view pin);

} // namespace tarvex::host
