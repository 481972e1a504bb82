#pragma once
// TargetTimers: the two clocks of the host's targets, on the event loop. While a fade runs, it
// steps the fades once per DMX frame (the output's frame period), so the channel view glides and
// every frame sent carries the next step, whether the output is on or off. While targets execute,
// it refreshes the editor's "Treffer" cells at most ten times a second and then tells hitsShown.
// An idle host runs neither timer.
//
//   TargetTimers timers(*helper->factory(), std::chrono::milliseconds(25));
//   timers.hitsShown = [&] { rowsPanel->refreshHits(); };

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

namespace tarvex::host {

class DmxTargetFactory;

class TargetTimers : public QObject {
public:
    static constexpr std::chrono::milliseconds HitRefreshPeriod{100};

    // Takes over the factory's fade start and hit record callbacks; the factory outlives us.
    TargetTimers(DmxTargetFactory &factory, std::chrono::milliseconds framePeriod,
                 QObject *parent = nullptr);
    ~TargetTimers() override;

    std::function<void()> hitsShown;

    bool fading() const { return m_frames.isActive(); }

private:
    void frame();
    void refreshHits();

    DmxTargetFactory &m_factory;
    QTimer m_frames;
    QTimer m_hits;
};

} // namespace tarvex::host
