#pragma once
// WindowPlacement: puts the plug-in's windows beside the host's window the first time each is
// shown, so that none covers the host's menu bar: to its right, else to its left, else under the
// host's window, else below its menu and tool bars; each in the first place there that no other
// window of the program takes. A
// window placed by its own code (moved before it was shown) is left where it is, and so is one
// shown again later: the user may have moved it.
//
//   auto *placement = new WindowPlacement(hostWindow); // a child of the window, watching from now

// Only Qt and the standard library here: moc reads this header.

#include <QList>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>

class QMainWindow;
class QWidget;

namespace tarvex::host {

// Where a window of `size` goes beside `host` (frame geometry) on `screen` (its available
// geometry), avoiding the `taken` rectangles where it can; never above `barsBottom` (the last
// line of the host's menu and tool bars) when it overlaps the host.
QPoint placeBeside(const QRect &host, int barsBottom, const QSize &size, const QRect &screen,
                   const QList<QRect> &taken);

class WindowPlacement : public QObject {
    Q_OBJECT
public:
    explicit WindowPlacement(QMainWindow *host);
    ~WindowPlacement() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool isPlugInWindow(const QWidget *widget) const;
    void place(QWidget *window);

    QMainWindow *m_host;
};

} // namespace tarvex::host
