#include "ui/ColorButton.h"

namespace tarvex {

ColorButton::ColorButton(QWidget *parent) : QPushButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setBackColor(PureRed);
}

void ColorButton::setBackColor(const QColor &color)
{
    if (color == m_backColor)
        return;
    m_backColor = color;
    // A style sheet fills the whole face whatever the platform style draws for buttons.
    setStyleSheet(QStringLiteral("QPushButton { background-color: %1; border: 1px solid #404040; }")
                      .arg(color.name()));
}

} // namespace tarvex
