#include "host/web/WebGate.h"

namespace tarvex::host {

bool WebGate::mayRead(const WebPeer &peer) const
{
    return free(peer) || m_access.readingOpen;
}

bool WebGate::mayDrive(const WebPeer &peer) const
{
    return free(peer);
}

WebGate::Verdict WebGate::offer(const WebPeer &peer, std::string_view pin, Clock::time_point now)
{
    if (free(peer))
        return Verdict::Accepted;
    // Forget windows that ended, so the map holds only addresses trying now.
    std::erase_if(m_tries, [now](const auto &entry) { return now - entry.second.since >= Window; });
    auto found = m_tries.find(peer.address);
    if (found != m_tries.end() && found->second.wrong >= MaxWrongPins)
        return Verdict::Blocked;
    if (samePin(pin, m_access.pin))
        return Verdict::Accepted;
    if (found == m_tries.end())
        found = m_tries.emplace(peer.address, Tries{now, 0}).first;
    ++found->second.wrong;
    return Verdict::Wrong;
}

bool samePin(std::string_view given, std::string_view pin)
{
    if (pin.empty())
        return false;
    unsigned char difference = given.size() == pin.size() ? 0 : 1;
    for (size_t i = 0; i < given.size(); ++i)
        difference |= static_cast<unsigned char>(given[i] ^ pin[i % pin.size()]);
    return difference == 0;
}

} // namespace tarvex::host
