#include "toolkit/Timer.h"

#include "toolkit/EventEdge.h"

namespace tarvex {

Timer::Timer(QObject *parent, int intervalMs, std::function<void()> handler)
    : QObject(parent), m_handler(std::move(handler))
{
    m_timer.setInterval(intervalMs);
    // A precise timer: the countdown counts whole seconds and the indicator 100 ms.
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, this,
                     [this] { runEvent("Timer", [this] { m_handler(); }); });
}

void Timer::setEnabled(bool enabled)
{
    if (!enabled)
        m_timer.stop();
    else if (!m_timer.isActive())
        m_timer.start();
}

void Timer::setInterval(int intervalMs)
{
    m_timer.setInterval(intervalMs);
}

} // namespace tarvex
