#include "host/app/RowsPanel.h"

#include "host/app/HostSession.h"
#include "host/objects/ActionRows.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tarvex::host {
namespace {

QString text(const std::string &s)
{
    return QString::fromStdString(s);
}

QString targetText(const ActionRow &row)
{
    if (!row.target)
        return {};
    const TargetValues &t = *row.target;
    QString kind = t.t0.isString() ? text(t.t0.asString()) : QString();
    QString shown = kind.isEmpty() ? QStringLiteral("(no kind)") : kind;
    if (t.t3 != 0 || t.t4 != 0)
        shown += QStringLiteral(" %1/%2").arg(t.t3).arg(t.t4);
    if (t.t1.isString() && !t.t1.asString().empty())
        shown += QStringLiteral(" \u2013 ") + text(t.t1.asString());
    return shown;
}

void setCell(QTableWidget &table, int row, int column, const QString &value)
{
    auto *item = table.item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        table.setItem(row, column, item);
    }
    if (item->text() != value)
        item->setText(value);
}

} // namespace

RowsPanel::RowsPanel(HostSession &session, QWidget *parent)
    : QWidget(parent), m_session(session), m_table(new QTableWidget(0, ColumnCount)),
      m_state(new QLabel), m_rows(std::make_unique<std::vector<ActionRow>>())
{
    m_table->setHorizontalHeaderLabels({tr("#"), tr("Address"), tr("Argument"), tr("Condition"),
                                        tr("Target"), tr("Active"), tr("Hits"), tr("Last level"),
                                        tr("Last hit"), tr("Cannot fire because")});
    m_table->verticalHeader()->hide();
    // One line of text a row, with a little air: more rows in the panel's height.
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->horizontalHeader()->setStretchLastSection(true);
    auto *refreshButton = new QPushButton(tr("Refresh"));
    connect(refreshButton, &QPushButton::clicked, this, &RowsPanel::refresh);
    auto *top = new QHBoxLayout;
    top->addWidget(m_state, 1);
    top->addWidget(refreshButton);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    layout->addWidget(m_table, 1);
}

RowsPanel::~RowsPanel() = default;

QSize RowsPanel::sizeHint() const
{
    const int frame = 2 * m_table->frameWidth();
    const int table = m_table->horizontalHeader()->sizeHint().height() +
                      ShownRows * m_table->verticalHeader()->defaultSectionSize() + frame +
                      m_table->horizontalScrollBar()->sizeHint().height();
    const int top = layout()->itemAt(0)->sizeHint().height() + layout()->spacing();
    return {QWidget::sizeHint().width(), top + table};
}

void RowsPanel::refresh()
{
    std::vector<RowStatus> rows;
    try {
        rows = m_session.rows();
    } catch (const std::exception &e) {
        m_rows->clear();
        m_table->setRowCount(0);
        m_state->setText(tr("No rows: %1").arg(e.what()));
        emit rowsRead();
        return;
    }
    m_rows->clear();
    m_table->setRowCount(static_cast<int>(rows.size()));
    int blocked = 0;
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const RowStatus &status = rows[static_cast<size_t>(i)];
        const ActionRow &row = status.row;
        setCell(*m_table, i, Number, QString::number(row.number));
        setCell(*m_table, i, Address, text(row.address));
        setCell(*m_table, i, Argument, text(row.argument));
        setCell(*m_table, i, Condition, text(conditionText(row)));
        setCell(*m_table, i, Target, targetText(row));
        setCell(*m_table, i, Active, row.activation == "Activated" ? tr("yes") : tr("no"));
        QStringList reasons;
        for (const std::string &reason : status.cannotFire)
            reasons << text(reason);
        setCell(*m_table, i, CannotFire, reasons.join(QStringLiteral("; ")));
        m_table->item(i, CannotFire)->setForeground(QColor(0xB0, 0x00, 0x00));
        blocked += reasons.isEmpty() ? 0 : 1;
        m_rows->push_back(row);
    }
    m_state->setText(tr("%n action(s)", nullptr, static_cast<int>(rows.size())) +
                     (blocked ? tr(", %1 cannot fire as they stand").arg(blocked) : QString()));
    refreshHits();
    m_table->resizeColumnsToContents();
    // The hit columns fill in later: room for what they will show.
    const QFontMetrics metrics = m_table->fontMetrics();
    for (auto [column, sample] : {std::pair{Hits, "000000"}, std::pair{LastLevel, "65535"},
                                  std::pair{LastHit, "00:00:00.000"}}) {
        const int wanted = metrics.horizontalAdvance(QString::fromLatin1(sample)) + 16;
        if (m_table->columnWidth(column) < wanted)
            m_table->setColumnWidth(column, wanted);
    }
    emit rowsRead();
}

const std::vector<ActionRow> &RowsPanel::rows() const
{
    return *m_rows;
}

void RowsPanel::refreshHits()
{
    const TargetHits &hits = *m_session.targets().hits();
    for (int i = 0; i < static_cast<int>(m_rows->size()); ++i) {
        const std::optional<TargetHit> hit = hitOf((*m_rows)[static_cast<size_t>(i)], hits);
        setCell(*m_table, i, Hits, QString::number(hit ? hit->count : 0));
        setCell(*m_table, i, LastLevel,
                hit && hit->level ? QString::number(*hit->level) : QString());
        const auto ms = hit ? std::chrono::duration_cast<std::chrono::milliseconds>(
                                  hit->time.time_since_epoch())
                                  .count()
                            : 0;
        setCell(*m_table, i, LastHit,
                hit ? QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("HH:mm:ss.zzz"))
                    : QString());
    }
}

} // namespace tarvex::host
