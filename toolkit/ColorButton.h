#pragma once
// ColorButton: a small caption-less button filled with its back colour; the windows' receive
// indicators. Setting the colour costs a scheduled repaint at most (nothing when it already has
// it), so the indicator can be set for every datagram.

#include <QColor>
#include <QPushButton>

namespace tarvex {

inline const QColor PureRed(255, 0, 0);
inline const QColor PureGreen(0, 255, 0);

class ColorButton : public QPushButton {
public:
    explicit ColorButton(QWidget *parent = nullptr);

    QColor backColor() const { return m_backColor; }
    void setBackColor(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_backColor;
};

} // namespace tarvex
