#pragma once
// Timer: a window's timer control. Its handler runs every interval while it is enabled.
// Enabling a timer that already runs keeps its interval going instead of restarting it: the
// receive indicator relies on that, so that a steady stream of datagrams cannot hold it green.
//
//   Timer *t = new Timer(this, 100, [this] { StatusTimer_Timer(); });
//   t->setEnabled(true);   // first tick 100 ms from now
//   t->setEnabled(true);   // still the same tick
//
// The handler runs at the edge of Qt's event loop: an exception it lets out is reported and
// dropped (see EventEdge.h). Tests call the window's handler directly instead of waiting.

#include <QObject>
#include <QTimer>

#include <functional>

namespace tarvex {

class Timer : public QObject {
public:
    Timer(QObject *parent, int intervalMs, std::function<void()> handler);

    bool enabled() const { return m_timer.isActive(); }
    void setEnabled(bool enabled);

    int interval() const { return m_timer.interval(); }
    // A new interval starts counting from now when the timer runs.
    void setInterval(int intervalMs);
    // Milliseconds to the next tick; -1 when disabled.
    int remainingMs() const { return m_timer.remainingTime(); }

private:
    QTimer m_timer;
    std::function<void()> m_handler;
};

} // namespace tarvex
