#include "host/app/ControllersPanel.h"

#include "host/app/HostSession.h"
#include "host/objects/ControllersJson.h"

#include <QComboBox>
#include <QDateTime>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

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

// Every column as wide as its contents but the `stretching` one, which takes the room left and
// cuts its texts short ("…", whole in the cell's tip): no sideways scrolling where the dock has
// the room for the other columns (it has at 1600 pixels across).
QTableWidget *newTable(const QStringList &captions, int stretching)
{
    auto *table = new QTableWidget(0, static_cast<int>(captions.size()));
    table->setHorizontalHeaderLabels(captions);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setTextElideMode(Qt::ElideMiddle);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    QHeaderView *header = table->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(stretching, QHeaderView::Stretch);
    header->setMinimumSectionSize(table->fontMetrics().averageCharWidth() * 4);
    return table;
}

// A phrase whose words stay on one line when the text wraps.
QString unbroken(const QString &phrase)
{
    return QString(phrase).replace(' ', QChar(0x00A0));
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
    else
        item->setToolTip(text);
    table->setItem(row, column, item);
}

} // namespace

ControllersPanel::ControllersPanel(HostSession &session, QWidget *parent)
    : QWidget(parent), m_session(session), m_mode(new QComboBox), m_port(new QSpinBox),
      m_minutes(new QSpinBox), m_announcement(new QLabel), m_summary(new QLabel),
      m_controllers(
          newTable({tr("Endpoint"), tr("Controller"), tr("Datagrams"), tr("Bytes"), tr("Failed"),
                    tr("Irregular"), tr("Last address"), tr("First seen"), tr("Last seen")},
                   LastAddress)),
      m_unmatched(newTable({tr("Unmatched address"), tr("Messages"), tr("Last seen")}, Address))
{
    m_mode->addItems({tr("Off"), tr("To the other controllers")});
    m_port->setRange(0, 65535);
    m_port->setSpecialValueText(tr("each controller's own port"));
    m_minutes->setRange(1, FeedbackSettings::MaxRecentMinutes);
    m_minutes->setSuffix(tr(" min"));
    m_announcement->setWordWrap(true);
    m_summary->setWordWrap(true);
    // Narrow enough to leave the channel levels their room on a screen 1280 pixels across.
    setMinimumWidth(480);

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

QSize ControllersPanel::sizeHint() const
{
    const QHeaderView *header = m_controllers->horizontalHeader();
    int columns = fontMetrics().averageCharWidth() * 24; // the last address
    for (int column = 0; column < header->count(); ++column) {
        if (column != LastAddress)
            columns += header->sectionSizeHint(column);
    }
    const QMargins margins = layout()->contentsMargins();
    const int width = columns + 2 * m_controllers->frameWidth() + margins.left() + margins.right() +
                      m_controllers->verticalScrollBar()->sizeHint().width();
    return {std::max(width, minimumWidth()), QWidget::sizeHint().height()};
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
    // The counters break between phrases, never inside one.
    const QStringList counters{
        tr("Socket drops: %1").arg(t.socketDrops),
        tr("Senders evicted: %1").arg(t.controllersEvicted),
        tr("Addresses evicted: %1").arg(t.unmatchedEvicted),
        tr("Feedback sent: %1").arg(t.feedbackSent),
        tr("dropped: %1").arg(t.feedbackDropped),
        tr("echoes held back: %1").arg(t.echoesHeldBack),
    };
    QStringList phrases;
    for (const QString &counter : counters)
        phrases.append(unbroken(counter));
    m_summary->setText(phrases.join(QStringLiteral(" · ")));

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
