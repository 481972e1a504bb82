#pragma once
// ControllersPanel: the controllers on the network as the plug-in sees them (IHostControllers):
// every sender with its counts and times and whether it is a controller (one of its messages
// made a row execute), the addresses no action takes, the socket's drops and the announcement,
// and the feedback settings to change. It reads the plug-in's tables when they changed
// (HostEvents::controllersChanged), at most a few times a second, and when it is shown.

// Only Qt and the standard library here: moc reads this header.

#include <QTimer>
#include <QWidget>

#include <array>

class QComboBox;
class QLabel;
class QSpinBox;
class QTableWidget;

namespace tarvex::host {

class HostSession;

class ControllersPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int RefreshDelayMs = 250;

    explicit ControllersPanel(HostSession &session, QWidget *parent = nullptr);
    // Wide enough for every column of the senders' table, a last address of some length too.
    QSize sizeHint() const override;

    // Reads the tables again soon (once per RefreshDelayMs however often it is asked).
    void refreshSoon();
    // Reads the tables and the settings now.
    void refresh();

    QTableWidget *controllers() const { return m_controllers; }
    QTableWidget *unmatched() const { return m_unmatched; }
    QComboBox *feedbackMode() const { return m_mode; }
    QSpinBox *feedbackPort() const { return m_port; }
    QLabel *summary() const { return m_summary; }
    QLabel *announcement() const { return m_announcement; }

signals:
    // Setting the feedback failed; the text says why.
    void failed(const QString &text);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void applyFeedback();

    HostSession &m_session;
    QTimer m_refresh;
    QComboBox *m_mode;
    QSpinBox *m_port;
    QSpinBox *m_minutes;
    QLabel *m_announcement;
    QLabel *m_summary;
    QTableWidget *m_controllers;
    QTableWidget *m_unmatched;
    bool m_filling = false;
    // The feedback settings the controls last showed: mode index, port, minutes.
    std::array<int, 3> m_shownSettings{-1, -1, -1};
};

} // namespace tarvex::host
