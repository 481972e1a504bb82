#include "host/app/WindowPlacement.h"

#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <QVariant>

#include <algorithm>
#include <optional>

namespace tarvex::host {
namespace {

constexpr int Gap = 8;
constexpr const char *PlacedProperty = "tarvexHostPlaced";

// The highest place at `x`, from `top` down, where the window meets none of `taken` and stays on
// the screen; nothing when there is none.
std::optional<QPoint> freePlaceBelow(int x, int top, const QSize &size, const QRect &screen,
                                     const QList<QRect> &taken)
{
    QRect candidate(QPoint(x, top), size);
    for (bool moved = true; moved && candidate.bottom() <= screen.bottom();) {
        moved = false;
        for (const QRect &other : taken) {
            if (candidate.intersects(other)) {
                candidate.moveTop(other.bottom() + 1 + Gap);
                moved = true;
            }
        }
    }
    if (candidate.bottom() > screen.bottom())
        return std::nullopt;
    return candidate.topLeft();
}

} // namespace

QPoint placeBeside(const QRect &host, int barsBottom, const QSize &size, const QRect &screen,
                   const QList<QRect> &taken)
{
    QList<int> columns;
    const int right = host.right() + 1 + Gap;
    if (right + size.width() - 1 <= screen.right())
        columns.append(right);
    const int left = host.left() - Gap - size.width();
    if (left >= screen.left())
        columns.append(left);
    const int top = std::max(host.top(), screen.top());
    for (int x : columns) {
        if (const std::optional<QPoint> free = freePlaceBelow(x, top, size, screen, taken))
            return *free;
    }
    if (!columns.isEmpty())
        return {columns.front(), top};
    // No room beside the host: under its window where the screen has room, else over the window
    // but below its menu and tool bars.
    const int x = std::clamp(host.left(), screen.left(),
                             std::max(screen.left(), screen.right() + 1 - size.width()));
    if (const std::optional<QPoint> under =
            freePlaceBelow(x, host.bottom() + 1 + Gap, size, screen, taken))
        return *under;
    const int belowBars = barsBottom + 1 + Gap;
    return freePlaceBelow(x, belowBars, size, screen, taken).value_or(QPoint(x, belowBars));
}

WindowPlacement::WindowPlacement(QMainWindow *host) : QObject(host), m_host(host)
{
    qApp->installEventFilter(this);
}

WindowPlacement::~WindowPlacement()
{
    qApp->removeEventFilter(this);
}

bool WindowPlacement::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Show || !watched->isWidgetType())
        return false;
    auto *widget = static_cast<QWidget *>(watched);
    if (!isPlugInWindow(widget) || widget->property(PlacedProperty).toBool())
        return false;
    widget->setProperty(PlacedProperty, true);
    // Qt sends Show before the window reaches the screen: moved now, it appears in its place.
    if (!widget->testAttribute(Qt::WA_Moved) && m_host->isVisible())
        place(widget);
    return false;
}

// A plain window (no dialog, menu or tool tip) that is not the host's window or one of its own.
bool WindowPlacement::isPlugInWindow(const QWidget *widget) const
{
    if (!widget->isWindow() || widget->windowType() != Qt::Window)
        return false;
    for (const QWidget *up = widget; up; up = up->parentWidget()) {
        if (up == m_host)
            return false;
    }
    return true;
}

void WindowPlacement::place(QWidget *window)
{
    // The central widget begins where the menu and tool bars end.
    const QWidget *central = m_host->centralWidget();
    const QMenuBar *menus = m_host->menuBar();
    const int barsBottom = central ? central->mapToGlobal(QPoint(0, 0)).y() - 1
                                   : menus->mapToGlobal(QPoint(0, menus->height())).y() - 1;
    QList<QRect> taken;
    for (const QWidget *other : QApplication::topLevelWidgets()) {
        if (other != window && other != m_host && other->isVisible())
            taken.append(other->frameGeometry());
    }
    window->move(placeBeside(m_host->frameGeometry(), barsBottom, window->frameGeometry().size(),
                             m_host->screen()->availableGeometry(), taken));
}

} // namespace tarvex::host
