#pragma once
// WindowPlacement: puts the plug-in's windows where they cover none of the host's menu bar,
// toolbar or docks the first time each is shown: beside the host's window (to its right, else to
// its left), else under it, else over its central area (cue panel and levels); each in the first
// place there that no other window of the program takes. All rectangles are frame geometry:
// a window manager's title bars and borders count.
//
// A window manager places the host's window only once it maps it, after the plug-in's windows
// may have been shown already: so the windows placed so far are placed again once the host's
// window is on the screen, and again when it moves the first time after that. Until a window is
// on the screen within the frame it was given, it is placed again with the others whenever its
// frame outgrows that (it grows, or the window manager frames it wider). A window placed by
// its own code (moved before it was shown) is left where it is, and so is one shown again later:
// the user may have moved it.
//
//   auto *placement = new WindowPlacement(hostWindow); // a child of the window, watching from now

// Only Qt and the standard library here: moc reads this header.

#include <QEvent>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>

class QMainWindow;
class QWidget;

namespace tarvex::host {

// Where a window of `size` (its frame) goes beside `host` (frame geometry) on `screen` (its
// available geometry), avoiding the `taken` rectangles where it can. Where there is no room
// beside or under the host it goes over `open`, the part of the host's window that no bar or
// dock takes.
QPoint placeBeside(const QRect &host, const QRect &open, const QSize &size, const QRect &screen,
                   const QList<QRect> &taken);

class WindowPlacement : public QObject {
    Q_OBJECT
public:
    explicit WindowPlacement(QMainWindow *host);
    ~WindowPlacement() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Placed;
    static bool isFrameEvent(QEvent::Type type);
    bool isPlugInWindow(const QWidget *widget) const;
    const Placed *placedWindow(const QObject *object) const;
    bool fitsItsPlace(const Placed &placed) const;
    void forgetFramed();
    void hostMapped();
    void hostMoved();
    // Places `window` clear of every other visible window but those in `ignored`; where it
    // goes (its frame).
    QRect place(QWidget *window, const QList<QWidget *> &ignored);
    void placeAgain();
    QRect openArea() const;

    QMainWindow *m_host;
    // The windows still watched (the host's window is not settled yet, or they are not on the
    // screen in their frame yet), in the order they were shown, each with the frame it was
    // given: the window manager may not have moved it there yet.
    struct Placed {
        QPointer<QWidget> window;
        QRect frame;
    };
    QList<Placed> m_placed;
    bool m_hostMapped = false;
    bool m_settled = false;
};

} // namespace tarvex::host
