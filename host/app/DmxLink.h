#pragma once
// DmxLink: the host's channel levels on their way to real lights. It feeds every change of the
// host's universes to a DmxSender (which sends them to olad from a thread of its own) and hands
// the output's on/off state back on the event loop's thread, where the window and the headless
// host report it.
//
//   DmxLink link(universes, {.olaPort = 9010}, [](bool on, const std::string &why) { ... });
//
// The event loop never waits on the output: a change only lands in the sender's mailbox.

#include "host/dmx/DmxOutput.h"
#include "host/objects/Universes.h"

#include <QObject>

#include <functional>
#include <memory>
#include <string>

namespace tarvex::dmx {
class DmxSender;
}

namespace tarvex::host {

struct DmxOptions {
    // false: no output at all; the state says it was turned off.
    bool enabled = true;
    uint16_t olaPort = dmx::kOlaDefaultPort;
};

class DmxLink {
public:
    using StateListener = std::function<void(bool on, const std::string &reason)>;

    // Starts at once: the first state arrives on the event loop soon after.
    DmxLink(std::shared_ptr<Universes> universes, const DmxOptions &options, StateListener onState);
    // Stops listening and stops the sender; no state is reported afterwards.
    ~DmxLink();
    DmxLink(const DmxLink &) = delete;
    DmxLink &operator=(const DmxLink &) = delete;

private:
    std::shared_ptr<Universes> m_universes;
    Universes::Subscription m_subscription = 0;
    // Queued state reports are delivered through this object, so they die with it.
    QObject m_receiver;
    StateListener m_onState;
    std::unique_ptr<dmx::DmxSender> m_sender;
};

} // namespace tarvex::host
