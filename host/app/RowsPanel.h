#pragma once
// RowsPanel: every action of the plug-in as a row of a table: its address, argument, condition,
// target and activation, how often the row executed with the last level and time, and in
// words why it cannot fire as it stands. The rows are read from the plug-in on refresh (its
// "Refresh" button, a project opened or saved, actions imported, and whenever the plug-in says
// its table changed, as after a save in its editor); the hit columns follow the counts as the
// host refreshes them (at most ten times a second).

// Only Qt and the standard library here: moc reads this header.

#include <QWidget>

#include <memory>

class QLabel;
class QTableWidget;

namespace tarvex::host {

class HostSession;
struct ActionRow;

class RowsPanel : public QWidget {
    Q_OBJECT
public:
    enum Column {
        Number,
        Address,
        Argument,
        Condition,
        Target,
        Active,
        Hits,
        LastLevel,
        LastHit,
        CannotFire,
        ColumnCount
    };

    // Rows the panel asks room for before its table scrolls.
    static constexpr int ShownRows = 12;

    explicit RowsPanel(HostSession &session, QWidget *parent = nullptr);
    ~RowsPanel() override;

    QSize sizeHint() const override;

    // Reads the rows again from the plug-in (a plug-in without them: the panel says so).
    void refresh();
    // Writes the hit columns again from the counts.
    void refreshHits();

    QTableWidget *table() const { return m_table; }
    QLabel *state() const { return m_state; }
    // The rows as last read.
    const std::vector<ActionRow> &rows() const;

signals:
    // The rows were read again (refresh), whether or not they changed.
    void rowsRead();

private:
    HostSession &m_session;
    QTableWidget *m_table;
    QLabel *m_state;
    std::unique_ptr<std::vector<ActionRow>> m_rows;
};

} // namespace tarvex::host
