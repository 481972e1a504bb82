#include "host/dmx/OlaOutput.h"

#include <ola/DmxBuffer.h>
#include <ola/client/StreamingClient.h>

namespace tarvex::dmx {

OlaOutput::OlaOutput(uint16_t port) : m_port(port) {}

OlaOutput::~OlaOutput()
{
    disconnect();
}

std::string OlaOutput::where() const
{
    return "olad on 127.0.0.1:" + std::to_string(m_port);
}

bool OlaOutput::connect(std::string &reason)
{
    disconnect();
    ola::client::StreamingClient::Options options;
    options.auto_start = false; // starting olad is the user's business, not the host's
    options.server_port = m_port;
    // A fresh client per attempt: a client whose set-up failed keeps half its state.
    auto client = std::make_unique<ola::client::StreamingClient>(options);
    if (!client->Setup()) {
        reason = "no " + where() + " (is olad running?)";
        return false;
    }
    m_client = std::move(client);
    reason = "sending to " + where();
    return true;
}

bool OlaOutput::send(uint8_t universe, const DmxFrame &frame, std::string &reason)
{
    if (!m_client) {
        reason = "not connected to " + where();
        return false;
    }
    ola::DmxBuffer buffer(frame.data(), static_cast<unsigned int>(frame.size()));
    // The client looks for a closed socket before it writes, so a stopped olad shows here.
    if (!m_client->SendDmx(universe, buffer)) {
        reason = "lost the connection to " + where();
        return false;
    }
    return true;
}

void OlaOutput::disconnect()
{
    if (m_client)
        m_client->Stop();
    m_client.reset();
}

std::unique_ptr<DmxOutput> makeOlaOutput(uint16_t port)
{
    return std::make_unique<OlaOutput>(port);
}

bool builtWithOla()
{
    return true;
}

} // namespace tarvex::dmx
