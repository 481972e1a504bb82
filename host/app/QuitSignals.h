#pragma once
// QuitSignals: SIGINT and SIGTERM as a Qt signal. The handler only writes a byte to a pipe; the
// event loop that reads it, the main loop or a modal box's, emits quitRequested, for every signal
// that arrives. A signal read in a nested loop before the main loop runs is remembered:
// received() tells the owner not to start that loop at all.
//
//   QuitSignals quitSignals;
//   QObject::connect(&quitSignals, &QuitSignals::quitRequested, &window,
//                    &HostWindow::quitBecauseOfSignal);
//   const int code = quitSignals.received() ? 0 : app.exec();
//
// One object at a time; it restores the previous handlers when it goes.

// Only Qt and the standard library here: moc reads this header.

#include <QObject>

#include <csignal>

class QSocketNotifier;

namespace tarvex::host {

class QuitSignals : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(QObject *parent = nullptr);
    ~QuitSignals() override;
    QuitSignals(const QuitSignals &) = delete;
    QuitSignals &operator=(const QuitSignals &) = delete;

    bool received() const { return m_received; }

signals:
    void quitRequested();

private:
    void readPipe();

    QSocketNotifier *m_notifier = nullptr;
    bool m_received = false;
    struct sigaction m_previousInt {};
    struct sigaction m_previousTerm {};
};

} // namespace tarvex::host
