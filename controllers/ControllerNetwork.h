#pragma once
// ControllerNetwork: the plug-in's view of the controllers on the network. It hears of every
// datagram the engine handles (as its DispatchListener) and counts it per sender; a sender
// becomes a controller when one of its messages made a row execute, and only controllers take
// part in feedback (sent when the settings ask for it) and in the news of controllers that
// appear, come back or go.
//
//   ControllerNetwork controllers(port, state.feedback);
//   state.dispatchListener = &controllers;
//   controllers.onController = [](const Endpoint &e, ControllerChange c) { ... };
//   ControllerTables tables = controllers.tables(wallClockMs);
//
// Everything runs on the thread that handles datagrams; the port asks that thread's event loop
// for the flushes of feedback and for the check of silent controllers.

#include "controllers/Feedback.h"
#include "controllers/TrafficTables.h"
#include "engine/DispatchListener.h"
#include "plugin/api/HostControllers.h"

#include <functional>

namespace tarvex {

// What the controllers' view needs of the socket and the event loop.
class ControllerPort : public FeedbackPort {
public:
    // Asks for ControllerNetwork::expire in `ms` milliseconds, unless one is asked for already.
    virtual void expireIn(int64_t ms) = 0;
};

class ControllerNetwork final : public DispatchListener {
public:
    // Milliseconds of a steady clock.
    using Clock = int64_t (*)();
    static int64_t steadyMilliseconds();

    // The port and the settings are borrowed and outlive this object.
    ControllerNetwork(ControllerPort &port, const FeedbackSettings &settings,
                      Clock clock = steadyMilliseconds);

    void datagramHandled(const Endpoint &source, std::span<const uint8_t> datagram,
                         const osc::OSCMessages &messages,
                         std::span<const MessageFate> fates) override;
    void datagramFailed(const Endpoint &source, std::span<const uint8_t> datagram) override;

    // Sends the feedback that waits, as far as its budgets allow.
    void flushFeedback();
    // Controllers silent for TrafficTables::SilenceMs have gone (onController); asks the port
    // for the next check while any is present.
    void expire();
    // The settings changed: feedback switched off stops sending; switched on, it sends the
    // state to every controller heard within the settings' minutes.
    void feedbackChanged();

    // The tables as the host sees them; `wallNowMs` is the Unix time now, in milliseconds.
    // Reading them lets the next change be announced again.
    ControllerTables tables(int64_t wallNowMs);

    // A controller appeared, came back or went (set by the plug-in).
    std::function<void(const Endpoint &, ControllerChange)> onController;
    // The tables changed for the first time since they were last read.
    std::function<void()> onChanged;

private:
    bool feedbackOn() const { return m_settings.mode == FeedbackMode::Others; }
    // A sender became a controller, or a controller came back: told, watched for silence,
    // sent the state. Returns its entry.
    EndpointTraffic &arrived(const Endpoint &source, const TrafficTables::Arrival &sender);
    void gone(const Endpoint &controller);
    void changed();

    ControllerPort &m_port;
    const FeedbackSettings &m_settings;
    Clock m_clock;
    TrafficTables m_traffic;
    Feedback m_feedback;
    FeedbackMode m_mode = FeedbackMode::Off; // as feedbackChanged last saw it
    int64_t m_wallOffset = 0; // the Unix time of the steady clock's zero, in milliseconds
    bool m_changeAnnounced = false;
    bool m_expiryAsked = false;
};

} // namespace tarvex
