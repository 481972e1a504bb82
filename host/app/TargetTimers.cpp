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

    m_factory.fades()->onStart = [this] { m_frames.start(); };
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
