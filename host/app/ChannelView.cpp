#include "host/app/ChannelView.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QToolTip>
#include <QVBoxLayout>

namespace tarvex::host {
namespace {

// A cell must hold "512" above and "255" below; smaller, the bars scroll.
constexpr int MinCellWidth = 26;
constexpr int MinCellHeight = 26;
const QColor BarColor(255, 178, 40);
const QColor HighlightColor(40, 140, 255);
const QColor DrivenColor(20, 90, 200);

// 32 columns where they fit (rows start at 1, 33, 65, …), else 16, else 8.
int columnsFor(int width)
{
    for (int columns : {32, 16})
        if (width >= columns * MinCellWidth)
            return columns;
    return 8;
}

int rowsFor(int columns)
{
    return Universes::ChannelCount / columns;
}

} // namespace

// The bars themselves: their painting and hovering are the view's.
class LevelBars : public QWidget {
public:
    explicit LevelBars(ChannelView &view) : m_view(view)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setMinimumWidth(8 * MinCellWidth);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        ++m_view.m_paints;
        QPainter painter(this);
        m_view.paintBars(painter);
    }
    void resizeEvent(QResizeEvent *) override
    {
        setMinimumHeight(rowsFor(columnsFor(width())) * MinCellHeight);
    }
    bool event(QEvent *event) override
    {
        if (event->type() != QEvent::ToolTip)
            return QWidget::event(event);
        auto *help = static_cast<QHelpEvent *>(event);
        const int channel = m_view.channelAt(help->pos());
        if (channel == 0)
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), m_view.toolTipText(channel), this,
                               m_view.cellRect(channel));
        return true;
    }

private:
    ChannelView &m_view;
};

ChannelView::ChannelView(std::shared_ptr<Universes> universes, QWidget *parent)
    : QWidget(parent), m_universes(std::move(universes)), m_picker(new QComboBox),
      m_scroll(new QScrollArea), m_bars(new LevelBars(*this))
{
    m_shown.show(m_universes->frame(m_universe));
    m_subscription = m_universes->subscribe(
        [this](uint8_t universe, const Universes::Frame &) { levelsChanged(universe); });
    m_clock.setInterval(TickMs);
    connect(&m_clock, &QTimer::timeout, this, &ChannelView::tick);

    m_scroll->setWidget(m_bars);
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel(tr("Universe:")));
    top->addWidget(m_picker);
    top->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    layout->addWidget(m_scroll, 1);
    refreshUniverseList();
    connect(m_picker, &QComboBox::activated, this,
            [this](int index) { setUniverse(m_picker->itemData(index).toInt()); });
}

ChannelView::~ChannelView()
{
    m_universes->unsubscribe(m_subscription);
}

QWidget *ChannelView::bars() const
{
    return m_bars;
}

void ChannelView::setUniverse(int universe)
{
    if (!m_universes->isUniverse(universe) || universe == m_universe)
        return;
    m_universe = universe;
    m_shown.show(m_universes->frame(universe));
    refreshUniverseList();
    m_bars->update();
}

void ChannelView::setRows(const std::vector<ActionRow> &rows)
{
    m_drivers = channelDrivers(rows, *m_universes);
    m_drivenUniverses = drivenUniverses(m_drivers);
    refreshUniverseList();
    m_bars->update();
}

// Only notes the change: the next tick shows it, however many came in between.
void ChannelView::levelsChanged(uint8_t universe)
{
    if (universe != m_universe)
        m_otherUniversesChanged = true;
    if (!m_clock.isActive())
        m_clock.start();
}

void ChannelView::tick()
{
    ++m_ticks;
    if (m_otherUniversesChanged) {
        m_otherUniversesChanged = false;
        refreshUniverseList();
    }
    if (m_shown.tick(m_universes->frame(m_universe)))
        m_bars->update();
    if (!m_shown.fading())
        m_clock.stop();
}

void ChannelView::refreshUniverseList()
{
    const std::vector<int> inUse = universesInUse(*m_universes, m_drivenUniverses, m_universe);
    QList<int> listed;
    for (int i = 0; i < m_picker->count(); ++i)
        listed << m_picker->itemData(i).toInt();
    if (listed == QList<int>(inUse.begin(), inUse.end()))
        return;
    m_picker->clear();
    for (int universe : inUse) {
        m_picker->addItem(tr("Universe %1").arg(universe), universe);
        if (universe == m_universe)
            m_picker->setCurrentIndex(m_picker->count() - 1);
    }
}

QString ChannelView::valueText(int channel) const
{
    const int level = m_shown.level(channel);
    return level == 0 ? QString() : QString::number(level);
}

QString ChannelView::toolTipText(int channel) const
{
    QString text =
        tr("Universe %1, channel %2: %3").arg(m_universe).arg(channel).arg(m_shown.level(channel));
    const auto drivers = m_drivers.find({m_universe, channel});
    if (drivers != m_drivers.end())
        for (const std::string &name : drivers->second)
            text += QStringLiteral("\n") + QString::fromStdString(name);
    return text;
}

QRect ChannelView::cellRect(int channel) const
{
    const int columns = columnsFor(m_bars->width());
    const double w = (m_bars->width() - 1) / double(columns);
    const double h = (m_bars->height() - 1) / double(rowsFor(columns));
    const int column = (channel - 1) % columns, row = (channel - 1) / columns;
    const int left = int(column * w), top = int(row * h);
    return QRect(left, top, int((column + 1) * w) - left, int((row + 1) * h) - top);
}

int ChannelView::channelAt(const QPoint &point) const
{
    const int columns = columnsFor(m_bars->width());
    const int column = int(point.x() * columns / double(m_bars->width() - 1));
    const int row = int(point.y() * rowsFor(columns) / double(m_bars->height() - 1));
    if (point.x() < 0 || point.y() < 0 || column >= columns || row >= rowsFor(columns))
        return 0;
    return row * columns + column + 1;
}

void ChannelView::paintBars(QPainter &painter)
{
    painter.fillRect(m_bars->rect(), palette().base());
    const QRect first = cellRect(1);
    QFont number = font();
    number.setPixelSize(std::clamp(first.height() / 4, 9, 12));
    QFont value = font();
    value.setBold(true);
    // The largest size at which "255" leaves a gap to the next cell's value.
    for (int size = std::clamp(first.height() * 2 / 5, 9, 16); size >= 9; --size) {
        value.setPixelSize(size);
        if (QFontMetrics(value).horizontalAdvance(QStringLiteral("255")) <= first.width() - 6)
            break;
    }
    for (int channel = 1; channel <= Universes::ChannelCount; ++channel) {
        const QRect cell = cellRect(channel);
        const int level = m_shown.level(channel);
        // A change tints the cell behind its bar and frames it; both fade together.
        const double lit = m_shown.highlight(channel);
        QColor glow = HighlightColor;
        if (lit > 0) {
            glow.setAlphaF(0.35 * lit);
            painter.fillRect(cell, glow);
        }
        const int barHeight = (cell.height() - 1) * level / 255;
        painter.fillRect(cell.left() + 1, cell.bottom() - barHeight + 1, cell.width() - 1,
                         barHeight, BarColor);
        painter.setPen(palette().mid().color());
        painter.drawRect(cell);
        if (lit > 0) {
            glow.setAlphaF(lit);
            painter.setPen(QPen(glow, 2));
            painter.drawRect(cell.adjusted(1, 1, -1, -1));
        }
        const bool driven = m_drivers.contains({m_universe, channel});
        number.setBold(driven);
        painter.setFont(number);
        painter.setPen(driven ? DrivenColor : palette().placeholderText().color());
        painter.drawText(cell.adjusted(3, 1, -2, 0), Qt::AlignLeft | Qt::AlignTop,
                         QString::number(channel));
        painter.setFont(value);
        painter.setPen(palette().text().color());
        painter.drawText(cell.adjusted(1, 0, -1, -2), Qt::AlignHCenter | Qt::AlignBottom,
                         valueText(channel));
    }
}

} // namespace tarvex::host
