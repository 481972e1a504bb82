#pragma once
// OlaOutput: frames to olad on 127.0.0.1 through OLA's streaming client, which writes each frame
// without waiting for an answer. Never starts olad itself: the user (or the system's service)
// does, and the sender connects once it is there.

#include "host/dmx/DmxOutput.h"

#include <memory>

namespace ola::client {
class StreamingClient;
}

namespace tarvex::dmx {

class OlaOutput : public DmxOutput {
public:
    explicit OlaOutput(uint16_t port = kOlaDefaultPort);
    ~OlaOutput() override;

    bool connect(std::string &reason) override;
    bool send(uint8_t universe, const DmxFrame &frame, std::string &reason) override;
    void disconnect() override;

private:
    std::string where() const;

    uint16_t m_port;
    std::unique_ptr<ola::client::StreamingClient> m_client;
};

} // namespace tarvex::dmx
