#include "host/app/TargetTimers.h"

#include "host/objects/DmxTargetFactory.h"

namespace tarvex::host {

TargetTimers::TargetTimers(DmxTargetFactory &factory, std::chrono::milliseconds framePeriod,
                           QObject *parent)
    : QObject(parent), m_factory(factory)
{
    m_frames.setTimerType(Qt::PreciseTimer);
    m_frames.setInterval(framePeriod);
    connect(&m_frames, &QTimer::timeout, this, &TargetTimers::frame);
    m_hits.setSingleShot(true);
    m_hits.setInterval(HitRefreshPeriod);
    connect(&m_hits, &QTimer::timeout, this, &TargetTimers::refreshHits);

    // A fade can start while the clock still ticks for one that just ended (a jump ended it
    // between two frames): restarting would shift the frames, and a stream of such starts
    // faster than a frame would hold every frame back.
    m_factory.fades()->onStart = [this] {
        if (!m_frames.isActive())
            m_frames.start();
    };
    m_factory.hits()->onRecord = [this] {
        if (!m_hits.isActive())
            m_hits.start();
    };
}

TargetTimers::~TargetTimers()
{
    m_factory.fades()->onStart = nullptr;
    m_factory.hits()->onRecord = nullptr;
}

void TargetTimers::frame()
{
    if (!m_factory.fades()->step())
        m_frames.stop();
}

void TargetTimers::refreshHits()
{
    m_factory.refreshHitCells();
    if (hitsShown)
        hitsShown();
}

} // namespace tarvex::host
