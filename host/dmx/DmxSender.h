#pragma once
// DmxSender: the host's universes in, frames out. The host hands it every change of a universe;
// a worker thread sends what changed, at most once per frame period per universe (changes in
// between merge, the last value wins), re-sends an unchanged universe once per refresh period,
// and keeps trying to reach the output while it is away.
//
//   DmxSender sender(makeOlaOutput(port), [](const DmxOutputState &s) { ...post to GUI... });
//   sender.start();
//   sender.universeChanged(1, frame); // from the event loop, as often as channels move
//
// The caller never waits on the output: universeChanged only copies the frame into the
// universe's mailbox. A slow or hung receiver costs frames, never the caller's time.

#include "host/dmx/DmxOutput.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace tarvex::dmx {

struct DmxOutputState {
    bool on = false;
    std::string reason;
};

class DmxSender {
public:
    using Clock = std::chrono::steady_clock;
    // Called on the worker thread (or the thread that calls pump) whenever output turns on or
    // off; the first attempt always reports. It must not call stop() nor wait for the thread
    // that does: post the state to the event loop instead.
    using StateCallback = std::function<void(const DmxOutputState &)>;

    struct Timing {
        Clock::duration framePeriod = std::chrono::milliseconds(25);
        Clock::duration refreshPeriod = std::chrono::seconds(1);
        Clock::duration retryPeriod = std::chrono::seconds(3);
        // How long stop() waits for a worker stuck in a write to a hung receiver before it
        // leaves the worker to finish on its own.
        Clock::duration stopWait = std::chrono::seconds(2);
    };

    DmxSender(std::unique_ptr<DmxOutput> output, StateCallback onStateChange);
    DmxSender(std::unique_ptr<DmxOutput> output, StateCallback onStateChange, Timing timing);
    ~DmxSender();
    DmxSender(const DmxSender &) = delete;
    DmxSender &operator=(const DmxSender &) = delete;

    // --- lifecycle
    // Starts the worker thread, which connects at once. Starting twice is harmless; a stopped
    // sender stays stopped.
    void start();
    // Stops the worker and closes the output; no state callback runs after it returns.
    // Stopping twice is harmless; the destructor stops.
    void stop();

    // --- feeding (any thread)
    void universeChanged(uint8_t universe, const DmxFrame &frame);

    // --- state (any thread)
    DmxOutputState state() const;

    // One pass of the worker at `now`: connect when a retry is due, send what is due. Returns
    // when the next pass is due (a change brings it forward). Tests drive the sender through
    // this instead of start(), with a clock of their own.
    Clock::time_point pump(Clock::time_point now);

private:
    class Core;
    std::shared_ptr<Core> m_core; // shared with the worker, which may outlive a hung stop()
    std::thread m_worker;
    bool m_stopped = false;
};

} // namespace tarvex::dmx
