#pragma once
// DmxOutput: where the host's DMX frames go. One connection to one receiver (olad, or a fake in
// tests); DmxSender decides what to send and when, and drives it from its worker thread only.
//
//   std::unique_ptr<DmxOutput> out = makeOlaOutput(9010);
//   std::string why;
//   if (out->connect(why)) out->send(1, frame, why);

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace tarvex::dmx {

using DmxFrame = std::array<uint8_t, 512>;

// OLA's standard RPC port, where olad listens unless told otherwise.
inline constexpr uint16_t kOlaDefaultPort = 9010;

class DmxOutput {
public:
    virtual ~DmxOutput() = default;

    // Opens the connection. On failure returns false and says why in `reason`; on success
    // `reason` tells where the frames go. Called again after a failure or a disconnect.
    virtual bool connect(std::string &reason) = 0;
    // Sends one frame. Returns false when the connection is lost (and says why); the sender
    // then calls disconnect() and retries connect() later. May block while the receiver is slow.
    virtual bool send(uint8_t universe, const DmxFrame &frame, std::string &reason) = 0;
    // Closes the connection; harmless when closed.
    virtual void disconnect() = 0;
};

// An output that never connects, for a host that turned output off or was built without OLA.
class NullOutput : public DmxOutput {
public:
    explicit NullOutput(std::string reason) : m_reason(std::move(reason)) {}
    bool connect(std::string &reason) override;
    bool send(uint8_t universe, const DmxFrame &frame, std::string &reason) override;
    void disconnect() override {}

private:
    std::string m_reason;
};

// The output to olad on 127.0.0.1:port through OLA's streaming client; a NullOutput that says
// "built without OLA" when the build left OLA out.
std::unique_ptr<DmxOutput> makeOlaOutput(uint16_t port = kOlaDefaultPort);

// Whether this build can reach olad at all.
bool builtWithOla();

} // namespace tarvex::dmx
