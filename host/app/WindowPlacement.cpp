#include "host/app/WindowPlacement.h"

#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <QVariant>
#include <QWindow>

#include <algorithm>
#include <optional>

namespace tarvex::host {
namespace {

constexpr int Gap = 8;
constexpr const char *PlacedProperty = "tarvexHostPlaced";

// The highest place at `x`, from `top` down, where the window meets none of `taken` and stays
// within `bounds`; nothing when there is none.
std::optional<QPoint> freePlaceBelow(int x, int top, const QSize &size, const QRect &bounds,
                                     const QList<QRect> &taken)
{
    QRect candidate(QPoint(x, top), size);
    for (bool moved = true; moved && candidate.bottom() <= bounds.bottom();) {
        moved = false;
        for (const QRect &other : taken) {
            if (candidate.intersects(other)) {
                candidate.moveTop(other.bottom() + 1 + Gap);
                moved = true;
            }
        }
    }
    if (candidate.bottom() > bounds.bottom() || candidate.right() > bounds.right())
        return std::nullopt;
    return candidate.topLeft();
}

// A place inside `open` that meets none of `taken`: at its left edge or right of a window
// already there, as high as it goes.
std::optional<QPoint> freePlaceInside(const QRect &open, const QSize &size,
                                      const QList<QRect> &taken)
{
    QList<int> columns{open.left() + Gap};
    for (const QRect &other : taken) {
        if (other.intersects(open))
            columns.append(other.right() + 1 + Gap);
    }
    std::sort(columns.begin(), columns.end());
    for (int x : columns) {
        if (const std::optional<QPoint> free =
                freePlaceBelow(x, open.top() + Gap, size, open, taken))
            return free;
    }
    return std::nullopt;
}

// The margins of `window`'s frame as Qt reports them; nothing while they are not known. A
// window manager frames a window in steps: for a moment Qt may report a frame smaller than the
// window, or none at all.
std::optional<QMargins> reportedMargins(const QWidget *window)
{
    constexpr int Widest = 64; // no window manager draws a wider border or title bar
    const QRect frame = window->frameGeometry();
    const QRect inside = window->geometry();
    const QMargins margins(inside.left() - frame.left(), inside.top() - frame.top(),
                           frame.right() - inside.right(), frame.bottom() - inside.bottom());
    for (int side : {margins.left(), margins.top(), margins.right(), margins.bottom()}) {
        if (side < 0 || side > Widest)
            return std::nullopt;
    }
    return margins;
}

// The margins to keep free around `window`: the wider of its own and the host's on each side,
// as the same window manager frames both (a maximized host may have no side borders, and a new
// window none yet). Counting a margin too wide only leaves a wider gap.
QMargins frameMargins(const QWidget *window, const QWidget *host)
{
    const QMargins own = reportedMargins(window).value_or(QMargins());
    const QMargins hosts = reportedMargins(host).value_or(QMargins());
    return {std::max(own.left(), hosts.left()), std::max(own.top(), hosts.top()),
            std::max(own.right(), hosts.right()), std::max(own.bottom(), hosts.bottom())};
}

} // namespace

QPoint placeBeside(const QRect &host, const QRect &open, const QSize &size, const QRect &screen,
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
    // No room beside the host: under its window where the screen has room, else over its
    // central area, which no bar or dock takes.
    const int x = std::clamp(host.left(), screen.left(),
                             std::max(screen.left(), screen.right() + 1 - size.width()));
    if (const std::optional<QPoint> under =
            freePlaceBelow(x, host.bottom() + 1 + Gap, size, screen, taken))
        return *under;
    return freePlaceInside(open, size, taken).value_or(open.topLeft() + QPoint(Gap, Gap));
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
    if (!m_settled && event->type() == QEvent::Expose && watched == m_host->windowHandle())
        hostMapped();
    if (!m_settled && event->type() == QEvent::Move && watched == m_host)
        hostMoved();
    // A window that grows once it is on the screen, or that the window manager frames with
    // other margins than were counted, could cover the next one.
    if (m_hostMapped && isFrameEvent(event->type())) {
        if (const Placed *placed = placedWindow(watched)) {
            if (!fitsItsPlace(*placed))
                placeAgain();
            forgetFramed();
        }
    }
    if (event->type() != QEvent::Show || !watched->isWidgetType())
        return false;
    auto *widget = static_cast<QWidget *>(watched);
    if (!isPlugInWindow(widget) || widget->property(PlacedProperty).toBool())
        return false;
    widget->setProperty(PlacedProperty, true);
    // Qt sends Show before the window reaches the screen: moved now, it appears in its place.
    if (widget->testAttribute(Qt::WA_Moved) || !m_host->isVisible())
        return false;
    m_placed.append({widget, place(widget, {})});
    return false;
}

bool WindowPlacement::isFrameEvent(QEvent::Type type)
{
    return type == QEvent::Resize || type == QEvent::Move || type == QEvent::Expose;
}

// The placed window that `object` is, or whose native window it is; null for any other.
const WindowPlacement::Placed *WindowPlacement::placedWindow(const QObject *object) const
{
    const auto found = std::find_if(m_placed.cbegin(), m_placed.cend(), [object](const Placed &p) {
        return p.window && (p.window == object || p.window->windowHandle() == object);
    });
    return found != m_placed.cend() ? &*found : nullptr;
}

// Whether the window's frame, as far as it is known, is no larger than the one it was given.
bool WindowPlacement::fitsItsPlace(const Placed &placed) const
{
    const QSize framed =
        placed.window->size().grownBy(reportedMargins(placed.window).value_or(QMargins()));
    return framed.width() <= placed.frame.width() && framed.height() <= placed.frame.height();
}

// Once the host's window is settled, a window on the screen, framed, and within the frame it
// was given needs no more watching.
void WindowPlacement::forgetFramed()
{
    if (!m_settled)
        return;
    m_placed.removeIf([this](const Placed &placed) {
        const QWidget *window = placed.window;
        return !window || (window->windowHandle() && window->windowHandle()->isExposed() &&
                           reportedMargins(window) && fitsItsPlace(placed));
    });
}

// The window manager has mapped the host's window: its frame and place are known now.
void WindowPlacement::hostMapped()
{
    if (m_hostMapped || !m_host->windowHandle()->isExposed())
        return;
    m_hostMapped = true;
    placeAgain();
}

// The window manager's first move after mapping the host's window is where it puts it.
void WindowPlacement::hostMoved()
{
    if (!m_hostMapped)
        return;
    m_settled = true;
    placeAgain();
    forgetFramed();
}

// Each window placed so far, again in the order they were shown: a window not placed again
// yet does not keep the one before from its place.
void WindowPlacement::placeAgain()
{
    m_placed.removeIf([](const Placed &placed) { return placed.window.isNull(); });
    QList<QWidget *> waiting;
    for (const Placed &placed : std::as_const(m_placed))
        waiting.append(placed.window);
    for (Placed &placed : m_placed) {
        waiting.removeOne(placed.window);
        if (placed.window->isVisible())
            placed.frame = place(placed.window, waiting);
    }
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

// The host's central area in global coordinates: below its menu and tool bars, beside its docks.
QRect WindowPlacement::openArea() const
{
    if (const QWidget *central = m_host->centralWidget())
        return {central->mapToGlobal(QPoint(0, 0)), central->size()};
    const QRect inside(m_host->mapToGlobal(QPoint(0, 0)), m_host->size());
    return inside.adjusted(0, m_host->menuBar()->height(), 0, 0);
}

QRect WindowPlacement::place(QWidget *window, const QList<QWidget *> &ignored)
{
    QList<QRect> taken;
    for (QWidget *other : QApplication::topLevelWidgets()) {
        if (other == window || other == m_host || !other->isVisible() || ignored.contains(other))
            continue;
        const auto placed = std::find_if(m_placed.cbegin(), m_placed.cend(),
                                         [other](const Placed &p) { return p.window == other; });
        taken.append(placed != m_placed.cend() ? placed->frame : other->frameGeometry());
    }
    const QMargins margins = frameMargins(window, m_host);
    const QPoint frame =
        placeBeside(m_host->frameGeometry(), openArea(), window->size().grownBy(margins),
                    m_host->screen()->availableGeometry(), taken);
    // The window's own position, inside its frame: a window manager may take a frame position
    // for a mapped window's inside.
    const QPoint inside = frame + QPoint(margins.left(), margins.top());
    // The widget's size goes with it: a native window not shown yet may still hold Qt's default
    // size, which a bare move would hand to the window manager.
    if (QWindow *handle = window->windowHandle())
        handle->setGeometry(QRect(inside, window->size()));
    else
        window->move(frame);
    return {frame, window->size().grownBy(margins)};
}

} // namespace tarvex::host
