#pragma once
// CuePanel: the host's cue buttons for the plug-in's command server. The first list shows the
// plug-in's actions (GetFirstOptions), the second what to do with the chosen one
// (GetSecondOptions); "Execute" hands both values to ExecuteCommand.

// Only Qt and the standard library here: moc reads this header.

#include <QGroupBox>

class QComboBox;
class QPushButton;

namespace tarvex::host {

class HostSession;

class CuePanel : public QGroupBox {
    Q_OBJECT
public:
    explicit CuePanel(HostSession &session, QWidget *parent = nullptr);

    // Reads both lists again from the plug-in, keeping the chosen action where it still exists.
    void refresh();
    void execute();

    QComboBox *firstList() const { return m_first; }
    QComboBox *secondList() const { return m_second; }

signals:
    // A call of the plug-in failed; the text says why.
    void failed(const QString &text);
    void executed(const QString &text);

private:
    void firstChanged();
    void updateButtons();

    HostSession &m_session;
    QComboBox *m_first;
    QComboBox *m_second;
    QPushButton *m_execute;
    QPushButton *m_refresh;
};

} // namespace tarvex::host
