#pragma once
// A recording fake of the DMX output. Everything it sees lands in a DmxRecording shared with the
// test, which also plays the receiver: up or down, answering at once or holding every send
// until the test lets it go. Safe to use from the sender's worker thread.
//
//   auto rec = std::make_shared<DmxRecording>();
//   DmxSender sender(std::make_unique<RecordingDmxOutput>(rec), {});

#include "host/dmx/DmxOutput.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tarvex::test {

struct SentFrame {
    uint8_t universe;
    dmx::DmxFrame frame;
};

struct DmxRecording {
    std::mutex mutex;
    std::condition_variable changed;

    // --- what the sender did
    std::vector<SentFrame> sent;
    int connects = 0;
    int disconnects = 0;
    int sendsStarted = 0; // including any held at the gate
    bool destroyed = false;

    // --- how the receiver behaves
    bool receiverUp = true;
    bool holdSends = false;

    // Waits until `done` holds (checked under the mutex) or the bound passes.
    bool waitFor(const std::function<bool()> &done,
                 std::chrono::milliseconds bound = std::chrono::seconds(5))
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, bound, done);
    }
    void update(const std::function<void()> &change)
    {
        {
            std::lock_guard lock(mutex);
            change();
        }
        changed.notify_all();
    }
    size_t sentCount()
    {
        std::lock_guard lock(mutex);
        return sent.size();
    }
};

class RecordingDmxOutput : public dmx::DmxOutput {
public:
    explicit RecordingDmxOutput(std::shared_ptr<DmxRecording> rec) : m_rec(std::move(rec)) {}
    ~RecordingDmxOutput() override
    {
        m_rec->update([&] { m_rec->destroyed = true; });
    }

    bool connect(std::string &reason) override
    {
        bool up = false;
        m_rec->update([&] {
            ++m_rec->connects;
            up = m_rec->receiverUp;
        });
        reason = up ? "recording" : "receiver down";
        return up;
    }

    bool send(uint8_t universe, const dmx::DmxFrame &frame, std::string &reason) override
    {
        std::unique_lock lock(m_rec->mutex);
        ++m_rec->sendsStarted;
        m_rec->changed.notify_all();
        m_rec->changed.wait(lock, [&] { return !m_rec->holdSends; });
        if (!m_rec->receiverUp) {
            reason = "receiver lost";
            return false;
        }
        m_rec->sent.push_back({universe, frame});
        m_rec->changed.notify_all();
        return true;
    }

    void disconnect() override
    {
        m_rec->update([&] { ++m_rec->disconnects; });
    }

private:
    std::shared_ptr<DmxRecording> m_rec;
};

} // namespace tarvex::test
