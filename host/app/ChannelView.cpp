#include "host/app/ChannelView.h"

#include <QPainter>

namespace tarvex::host {
namespace {

constexpr int CellWidth = 30;
constexpr int CellHeight = 28;

} // namespace

ChannelView::ChannelView(std::shared_ptr<Universes> universes, QWidget *parent)
    : QWidget(parent), m_universes(std::move(universes))
{
    m_subscription = m_universes->subscribe(
        [this](uint8_t universe, const Universes::Frame &) { levelsChanged(universe); });
    setAttribute(Qt::WA_OpaquePaintEvent);
}

ChannelView::~ChannelView()
{
    m_universes->unsubscribe(m_subscription);
}

void ChannelView::setUniverse(int universe)
{
    if (!m_universes->isUniverse(universe) || universe == m_universe)
        return;
    m_universe = universe;
    m_repaintPending = true;
    update();
}

void ChannelView::levelsChanged(uint8_t universe)
{
    if (universe != m_universe || m_repaintPending)
        return;
    m_repaintPending = true;
    update();
}

QSize ChannelView::sizeHint() const
{
    return {Columns * CellWidth + 1, Rows * CellHeight + 1};
}

QSize ChannelView::minimumSizeHint() const
{
    return sizeHint() / 2;
}

QRect ChannelView::cellRect(int index) const
{
    const double w = (width() - 1) / double(Columns);
    const double h = (height() - 1) / double(Rows);
    const int column = index % Columns, row = index / Columns;
    const int left = int(column * w), top = int(row * h);
    return QRect(left, top, int((column + 1) * w) - left, int((row + 1) * h) - top);
}

void ChannelView::paintEvent(QPaintEvent *)
{
    m_repaintPending = false;
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    QFont small = font();
    small.setPixelSize(std::max(7, cellRect(0).height() / 3));
    painter.setFont(small);
    const Universes::Frame &frame = m_universes->frame(m_universe);
    for (int i = 0; i < Universes::ChannelCount; ++i) {
        const QRect cell = cellRect(i);
        const int level = frame[static_cast<size_t>(i)];
        if (level > 0) {
            const int barHeight = (cell.height() - 1) * level / 255;
            painter.fillRect(cell.left() + 1, cell.bottom() - barHeight + 1, cell.width() - 1,
                             barHeight, QColor(255, 190, 60));
        }
        painter.setPen(palette().mid().color());
        painter.drawRect(cell);
        painter.setPen(palette().placeholderText().color());
        painter.drawText(cell.adjusted(2, 1, -1, 0), Qt::AlignLeft | Qt::AlignTop,
                         QString::number(i + 1));
        // Dark channels stay blank, so the lit ones stand out.
        if (level > 0) {
            painter.setPen(palette().text().color());
            painter.drawText(cell.adjusted(1, 0, -2, -1), Qt::AlignRight | Qt::AlignBottom,
                             QString::number(level));
        }
    }
}

} // namespace tarvex::host
