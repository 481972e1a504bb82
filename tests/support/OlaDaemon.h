#pragma once
// A private olad for tests and benchmarks, and a reader that sees what it holds.
//
//   OlaDaemon olad;                     // a temporary config folder and a free RPC port
//   ASSERT_TRUE(olad.start()) << olad.error();
//   OlaUniverseReader reader(olad.port());
//   ASSERT_TRUE(reader.subscribe(1)) << reader.error();
//   ... send to olad.port() ...
//   auto frame = reader.waitForFrame(1, [](const DmxLevels &f) { return f[6] == 128; });
//
// olad runs on 127.0.0.1 without its web server, with only the dummy plug-in enabled, so it
// opens no socket beyond the loopback. It refuses to run as root, so under root it runs as the
// `olad` user the Debian package creates.

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>

namespace ola::client {
class OlaClient;
}
namespace ola::io {
class SelectServer;
}
namespace ola::network {
class TCPSocket;
}

namespace tarvex::test {

using DmxLevels = std::array<uint8_t, 512>;

class OlaDaemon {
public:
    OlaDaemon();  // makes the folder and picks the port; does not start
    ~OlaDaemon(); // stops, removes the folder
    OlaDaemon(const OlaDaemon &) = delete;
    OlaDaemon &operator=(const OlaDaemon &) = delete;

    // Starts olad and waits until it takes connections. On failure returns false and error()
    // says why, with olad's log. Starting again after stop() uses the same port and folder.
    bool start(std::chrono::milliseconds bound = std::chrono::seconds(10));
    // Asks olad to quit, kills it if it has not within the bound. Harmless when stopped.
    void stop(std::chrono::milliseconds bound = std::chrono::seconds(5));

    // Freezes olad (SIGSTOP) and thaws it: a hung olad, as far as its clients can tell.
    void pause();
    void resume();

    bool running() const { return m_pid > 0; }
    uint16_t port() const { return m_port; }
    const std::string &folder() const { return m_folder; }
    const std::string &error() const { return m_error; }
    std::string log() const;

private:
    bool spawn();
    bool waitUntilListening(std::chrono::milliseconds bound);
    bool waitForExit(std::chrono::milliseconds bound);
    void writeConfig();

    std::string m_folder;
    uint16_t m_port = 0;
    pid_t m_pid = 0;
    int m_pidfd = -1;
    std::string m_error;
};

// Reads universes from an olad through OLA's client API on any port (OLA's command-line tools
// only talk to the standard one). Every wait is bounded.
class OlaUniverseReader {
public:
    explicit OlaUniverseReader(uint16_t port);
    ~OlaUniverseReader();
    OlaUniverseReader(const OlaUniverseReader &) = delete;
    OlaUniverseReader &operator=(const OlaUniverseReader &) = delete;

    // Registers for the universe's frames; olad creates a universe a client listens to, so
    // frames streamed to it are kept from then on.
    bool subscribe(unsigned universe, std::chrono::milliseconds bound = std::chrono::seconds(5));
    // Waits for a frame of the universe for which `wanted` holds; the last such frame, or none.
    std::optional<DmxLevels>
    waitForFrame(unsigned universe, const std::function<bool(const DmxLevels &)> &wanted,
                 std::chrono::milliseconds bound = std::chrono::seconds(5));
    // The universe's current frame as olad holds it.
    std::optional<DmxLevels> fetch(unsigned universe,
                                   std::chrono::milliseconds bound = std::chrono::seconds(5));
    // Runs the client's events, calling `seen` with every frame, until it returns true or the
    // bound passes. Returns whether it did.
    bool runUntil(const std::function<bool(unsigned universe, const DmxLevels &)> &seen,
                  std::chrono::milliseconds bound);

    const std::string &error() const { return m_error; }

private:
    bool connect();
    bool runEventsUntil(const std::function<bool()> &done, std::chrono::milliseconds bound);

    uint16_t m_port;
    std::unique_ptr<ola::io::SelectServer> m_events;
    std::unique_ptr<ola::network::TCPSocket> m_socket;
    std::unique_ptr<ola::client::OlaClient> m_client;
    std::function<void(unsigned, const DmxLevels &)> m_onFrame;
    std::string m_error;
};

} // namespace tarvex::test
