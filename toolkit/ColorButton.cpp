#include "toolkit/ColorButton.h"

#include <QPainter>

namespace tarvex {

ColorButton::ColorButton(QWidget *parent) : QPushButton(parent), m_backColor(PureRed)
{
    setFocusPolicy(Qt::NoFocus);
}

void ColorButton::setBackColor(const QColor &color)
{
    if (color == m_backColor)
        return;
    m_backColor = color;
    // Only a repaint is scheduled: the indicator changes while datagrams are handled, where a
    // style change (re-polishing the widget) would cost more than the datagram itself.
    update();
}

void ColorButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_backColor);
    painter.setPen(QColor(64, 64, 64));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace tarvex
