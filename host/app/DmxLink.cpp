#include "host/app/DmxLink.h"

#include "host/dmx/DmxSender.h"

#include <QMetaObject>

namespace tarvex::host {
namespace {

std::unique_ptr<dmx::DmxOutput> makeOutput(const DmxOptions &options)
{
    if (!options.enabled)
        return std::make_unique<dmx::NullOutput>("turned off with --no-dmx-out");
    return dmx::makeOlaOutput(options.olaPort);
}

} // namespace

DmxLink::DmxLink(std::shared_ptr<Universes> universes, const DmxOptions &options,
                 StateListener onState)
    : m_universes(std::move(universes)), m_onState(std::move(onState))
{
    // The sender reports from its worker thread; the report is queued to this thread.
    auto report = [this](const dmx::DmxOutputState &state) {
        QMetaObject::invokeMethod(
            &m_receiver,
            [this, on = state.on, reason = state.reason] {
                if (m_onState)
                    m_onState(on, reason);
            },
            Qt::QueuedConnection);
    };
    m_sender = std::make_unique<dmx::DmxSender>(makeOutput(options), report);
    m_subscription = m_universes->subscribe(
        [sender = m_sender.get()](uint8_t universe, const Universes::Frame &frame) {
            sender->universeChanged(universe, frame);
        });
    m_sender->start();
}

DmxLink::~DmxLink()
{
    m_universes->unsubscribe(m_subscription);
    // After stop() no report is made; reports already queued die with m_receiver.
    m_sender->stop();
}

} // namespace tarvex::host
