#include "host/app/ControllersPanel.h"

#include "host/app/HostSession.h"
#include "host/objects/ControllersJson.h"

#include <QComboBox>
#include <QDateTime>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tarvex::host {
namespace {

enum ControllerColumn {
    Endpoint,
    Role,
    Datagrams,
    Bytes,
    Failed,
    Irregular,
    LastAddress,
    FirstSeen,
    LastSeen
};
enum UnmatchedColumn { Address, Messages, UnmatchedLastSeen };

QTableWidget *newTable(const QStringList &captions)
{
    auto *table = new QTableWidget(0, static_cast<int>(captions.size()));
    table->setHorizontalHeaderLabels(captions);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

QString localTime(int64_t unixMs)
{
    return QDateTime::fromMSecsSinceEpoch(unixMs).toString(QStringLiteral("HH:mm:ss"));
}

void setCell(QTableWidget *table, int row, int column, const QString &text, bool number = false)
{
    auto *item = new QTableWidgetItem(text);
    if (number)
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    table->setItem(row, column, item);
}

} // namespace

ControllersPanel::ControllersPanel(HostSession &session, QWidget *parent)
    : QWidget(parent), m_session(session), m_mode(new QComboBox), m_port(new QSpinBox),
      m_minutes(new QSpinBox), m_announcement(new QLabel), m_summary(new QLabel),
      m_controllers(
          newTable({tr("Endpoint"), tr("Controller"), tr("Datagrams"), tr("Bytes"), tr("Failed"),
                    tr("Irregular"), tr("Last address"), tr("First seen"), tr("Last seen")})),
      m_unmatched(newTable({tr("Unmatched address"), tr("Messages"), tr("Last seen")}))
{
    m_mode->addItems({tr("Off"), tr("To the other controllers")});
    m_port->setRange(0, 65535);
    m_port->setSpecialValueText(tr("each controller's own port"));
    m_minutes->setRange(1, FeedbackSettings::MaxRecentMinutes);
    m_minutes->setSuffix(tr(" min"));
    m_announcement->setWordWrap(true);
    m_summary->setWordWrap(true);
    // Wide enough for both tables' columns beside the channel levels.
    setMinimumWidth(660);

    auto *settings = new QFormLayout;
    settings->addRow(tr("Feedback:"), m_mode);
    settings->addRow(tr("Feedback port:"), m_port);
    settings->addRow(tr("Controllers heard within:"), m_minutes);
    settings->addRow(tr("Announcement:"), m_announcement);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(settings);
    layout->addWidget(m_summary);
    layout->addWidget(m_controllers, 2);
    layout->addWidget(m_unmatched, 1);

    m_refresh.setSingleShot(true);
    m_refresh.setInterval(RefreshDelayMs);
    connect(&m_refresh, &QTimer::timeout, this, &ControllersPanel::refresh);
    connect(m_mode, &QComboBox::currentIndexChanged, this, &ControllersPanel::applyFeedback);
    connect(m_port, &QSpinBox::editingFinished, this, &ControllersPanel::applyFeedback);
    connect(m_minutes, &QSpinBox::editingFinished, this, &ControllersPanel::applyFeedback);
}

void ControllersPanel::refreshSoon()
{
    if (!m_refresh.isActive())
        m_refresh.start();
}

void ControllersPanel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refresh();
}

void ControllersPanel::refresh()
{
    IHostControllers *plugIn = m_session.controllers();
    setEnabled(plugIn != nullptr);
    if (!plugIn) {
        m_summary->setText(tr("The plug-in offers no view of the controllers."));
        return;
    }
    ControllerTables t;
    try {
        t = plugIn->controllerTables();
    } catch (const std::exception &e) {
        emit failed(QString::fromStdString(e.what()));
        return;
    }
    // The settings' controls follow the plug-in only when its settings changed: a refresh in
    // the middle of the user's typing would otherwise take the typing away.
    const std::array<int, 3> settings{t.feedback.mode == FeedbackMode::Others ? 1 : 0,
                                      t.feedback.port, t.feedback.recentMinutes};
    if (settings != m_shownSettings) {
        m_shownSettings = settings;
        m_filling = true; // what the plug-in says is no choice of the user's
        m_mode->setCurrentIndex(settings[0]);
        m_port->setValue(settings[1]);
        m_minutes->setValue(settings[2]);
        m_filling = false;
    }
    // The text says what is announced or why nothing is; without one the state says it.
    m_announcement->setText(QString::fromStdString(
        t.announcementText.empty() ? std::string(announcementWord(t.announcement))
                                   : t.announcementText));
    m_summary->setText(tr("Socket drops: %1 · Senders evicted: %2 · Addresses evicted: %3 · "
                          "Feedback sent: %4, dropped: %5, echoes held back: %6")
                           .arg(t.socketDrops)
                           .arg(t.controllersEvicted)
                           .arg(t.unmatchedEvicted)
                           .arg(t.feedbackSent)
                           .arg(t.feedbackDropped)
                           .arg(t.echoesHeldBack));

    m_controllers->setRowCount(static_cast<int>(t.controllers.size()));
    for (int row = 0; const ControllerEntry &c : t.controllers) {
        setCell(m_controllers, row, Endpoint, QString::fromStdString(c.endpoint));
        setCell(m_controllers, row, Role, c.controller ? tr("yes") : tr("no"));
        setCell(m_controllers, row, Datagrams, QString::number(c.datagrams), true);
        setCell(m_controllers, row, Bytes, QString::number(c.bytes), true);
        setCell(m_controllers, row, Failed, QString::number(c.failedDatagrams), true);
        setCell(m_controllers, row, Irregular, QString::number(c.irregularDatagrams), true);
        setCell(m_controllers, row, LastAddress, QString::fromStdString(c.lastAddress));
        setCell(m_controllers, row, FirstSeen, localTime(c.firstSeenMs));
        setCell(m_controllers, row, LastSeen, localTime(c.lastSeenMs));
        ++row;
    }
    m_unmatched->setRowCount(static_cast<int>(t.unmatched.size()));
    for (int row = 0; const UnmatchedEntry &u : t.unmatched) {
        setCell(m_unmatched, row, Address, QString::fromStdString(u.address));
        setCell(m_unmatched, row, Messages, QString::number(u.messages), true);
        setCell(m_unmatched, row, UnmatchedLastSeen, localTime(u.lastSeenMs));
        ++row;
    }
}

void ControllersPanel::applyFeedback()
{
    IHostControllers *plugIn = m_session.controllers();
    if (m_filling || !plugIn)
        return;
    FeedbackSettings settings;
    settings.mode = m_mode->currentIndex() == 1 ? FeedbackMode::Others : FeedbackMode::Off;
    settings.port = static_cast<uint16_t>(m_port->value());
    settings.recentMinutes = m_minutes->value();
    try {
        if (plugIn->feedback() != settings)
            plugIn->setFeedback(settings);
    } catch (const std::exception &e) {
        emit failed(QString::fromStdString(e.what()));
    }
    refresh();
}

} // namespace tarvex::host
