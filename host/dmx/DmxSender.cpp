#include "host/dmx/DmxSender.h"

#include <algorithm>
#include <condition_variable>
#include <future>
#include <mutex>
#include <vector>

namespace tarvex::dmx {

namespace {

constexpr size_t kUniverses = 256;

// What the caller left for the worker: the latest frame of a universe.
struct Mailbox {
    DmxFrame frame{};
    bool known = false;   // the host has written this universe at least once
    bool pending = false; // a frame the worker has not collected yet
};

// What the worker has sent (or will send) for a universe.
struct Outgoing {
    DmxFrame frame{};
    bool known = false;
    bool dirty = false; // differs from what the receiver last got, or the receiver is new
    bool everSent = false;
    DmxSender::Clock::time_point lastSent{};
};

} // namespace

class DmxSender::Core {
public:
    Core(std::unique_ptr<DmxOutput> output, StateCallback onStateChange, Timing timing)
        : m_output(std::move(output)), m_onStateChange(std::move(onStateChange)), m_timing(timing),
          m_mail(kUniverses), m_out(kUniverses)
    {}

    void universeChanged(uint8_t universe, const DmxFrame &frame);
    DmxOutputState state() const;
    Clock::time_point pump(Clock::time_point now);

    void run();
    void requestStop();
    bool waitUntilFinished(Clock::duration bound) const;
    const Timing &timing() const { return m_timing; }

private:
    bool tryConnect(Clock::time_point now);
    void loseConnection(const std::string &reason, Clock::time_point now);
    Clock::time_point collect(Clock::time_point now);
    Clock::time_point sendDue(Clock::time_point now);
    void report(DmxOutputState state);

    std::unique_ptr<DmxOutput> m_output; // used by the worker only
    StateCallback m_onStateChange;
    const Timing m_timing;

    // The caller's side, under m_mailMutex.
    std::mutex m_mailMutex;
    std::condition_variable m_wake;
    std::vector<Mailbox> m_mail;
    bool m_wakeUp = false;
    bool m_stopping = false;

    // The worker's side.
    std::vector<Outgoing> m_out;
    bool m_connected = false;
    Clock::time_point m_nextAttempt{}; // the epoch: the first pass connects at once

    mutable std::mutex m_stateMutex;
    DmxOutputState m_state{false, "not started"};
    bool m_reported = false;
    std::mutex m_callbackMutex; // held while the callback runs, so stop() can wait it out
    bool m_silenced = false;

    std::promise<void> m_finished;
    std::shared_future<void> m_finishedFuture = m_finished.get_future().share();
};

void DmxSender::Core::universeChanged(uint8_t universe, const DmxFrame &frame)
{
    bool wake = false;
    {
        std::lock_guard lock(m_mailMutex);
        Mailbox &box = m_mail[universe];
        if (box.known && box.frame == frame)
            return;
        box.frame = frame;
        box.known = true;
        // Only the first change since the worker last collected needs to wake it: the worker
        // already knows when a pending universe is due.
        if (!box.pending) {
            box.pending = true;
            wake = !m_wakeUp;
            m_wakeUp = true;
        }
    }
    if (wake)
        m_wake.notify_one();
}

DmxOutputState DmxSender::Core::state() const
{
    std::lock_guard lock(m_stateMutex);
    return m_state;
}

DmxSender::Clock::time_point DmxSender::Core::pump(Clock::time_point now)
{
    if (!m_connected && (now < m_nextAttempt || !tryConnect(now)))
        return m_nextAttempt;
    Clock::time_point nextChange = collect(now);
    Clock::time_point nextSend = sendDue(now);
    if (!m_connected)
        return m_nextAttempt;
    return std::min(nextChange, nextSend);
}

bool DmxSender::Core::tryConnect(Clock::time_point now)
{
    std::string reason;
    if (!m_output->connect(reason)) {
        m_output->disconnect();
        m_nextAttempt = now + m_timing.retryPeriod;
        report({false, reason});
        return false;
    }
    m_connected = true;
    // The receiver may have restarted and forgotten everything: it gets every universe again.
    for (Outgoing &out : m_out)
        out.dirty = out.known;
    report({true, reason});
    return true;
}

void DmxSender::Core::loseConnection(const std::string &reason, Clock::time_point now)
{
    m_output->disconnect();
    m_connected = false;
    m_nextAttempt = now + m_timing.retryPeriod;
    report({false, reason});
}

// Moves each pending frame whose universe may send again into the worker's side. Returns when
// the earliest frame left pending may go.
DmxSender::Clock::time_point DmxSender::Core::collect(Clock::time_point now)
{
    Clock::time_point next = Clock::time_point::max();
    std::lock_guard lock(m_mailMutex);
    for (size_t u = 0; u < kUniverses; ++u) {
        Mailbox &box = m_mail[u];
        if (!box.pending)
            continue;
        Outgoing &out = m_out[u];
        Clock::time_point mayGo = out.lastSent + m_timing.framePeriod;
        if (out.everSent && now < mayGo) {
            next = std::min(next, mayGo);
            continue;
        }
        out.dirty = out.dirty || !out.known || out.frame != box.frame;
        out.frame = box.frame;
        out.known = true;
        box.pending = false;
    }
    return next;
}

// Sends every universe that changed or is due for its refresh. Returns when the next refresh
// is due.
DmxSender::Clock::time_point DmxSender::Core::sendDue(Clock::time_point now)
{
    Clock::time_point next = Clock::time_point::max();
    for (size_t u = 0; u < kUniverses && m_connected; ++u) {
        Outgoing &out = m_out[u];
        if (!out.known)
            continue;
        if (out.dirty || now >= out.lastSent + m_timing.refreshPeriod) {
            std::string reason;
            if (!m_output->send(static_cast<uint8_t>(u), out.frame, reason)) {
                loseConnection(reason, now);
                break;
            }
            out.dirty = false;
            out.everSent = true;
            out.lastSent = now;
        }
        next = std::min(next, out.lastSent + m_timing.refreshPeriod);
    }
    return next;
}

// Tells the host when output turns on or off; a new reason for the same state stays quiet, so
// a retry every few seconds does not fill the log.
void DmxSender::Core::report(DmxOutputState state)
{
    {
        std::lock_guard lock(m_stateMutex);
        if (m_reported && m_state.on == state.on)
            return;
        m_state = state;
        m_reported = true;
    }
    std::lock_guard lock(m_callbackMutex);
    if (!m_silenced && m_onStateChange)
        m_onStateChange(state);
}

void DmxSender::Core::run()
{
    std::unique_lock lock(m_mailMutex);
    while (!m_stopping) {
        lock.unlock();
        Clock::time_point now = Clock::now();
        // Nothing to send and nothing to retry: sleep until a change wakes us.
        Clock::time_point due = std::min(pump(now), now + std::chrono::hours(1));
        lock.lock();
        m_wake.wait_until(lock, due, [this] { return m_stopping || m_wakeUp; });
        m_wakeUp = false;
    }
    lock.unlock();
    m_output->disconnect();
    m_finished.set_value();
}

void DmxSender::Core::requestStop()
{
    {
        std::lock_guard lock(m_callbackMutex);
        m_silenced = true;
    }
    {
        std::lock_guard lock(m_mailMutex);
        m_stopping = true;
    }
    m_wake.notify_one();
}

bool DmxSender::Core::waitUntilFinished(Clock::duration bound) const
{
    return m_finishedFuture.wait_for(bound) == std::future_status::ready;
}

DmxSender::DmxSender(std::unique_ptr<DmxOutput> output, StateCallback onStateChange)
    : DmxSender(std::move(output), std::move(onStateChange), Timing{})
{}

DmxSender::DmxSender(std::unique_ptr<DmxOutput> output, StateCallback onStateChange, Timing timing)
    : m_core(std::make_shared<Core>(std::move(output), std::move(onStateChange), timing))
{}

DmxSender::~DmxSender()
{
    stop();
}

void DmxSender::start()
{
    if (m_worker.joinable() || m_stopped)
        return;
    m_worker = std::thread([core = m_core] { core->run(); });
}

void DmxSender::stop()
{
    m_stopped = true;
    m_core->requestStop();
    if (!m_worker.joinable())
        return;
    // A worker stuck in a write to a hung receiver keeps its own reference to the core and
    // ends whenever the write does; quitting the host must not wait for that.
    if (m_core->waitUntilFinished(m_core->timing().stopWait))
        m_worker.join();
    else
        m_worker.detach();
}

void DmxSender::universeChanged(uint8_t universe, const DmxFrame &frame)
{
    m_core->universeChanged(universe, frame);
}

DmxOutputState DmxSender::state() const
{
    return m_core->state();
}

DmxSender::Clock::time_point DmxSender::pump(Clock::time_point now)
{
    return m_core->pump(now);
}

} // namespace tarvex::dmx
