// The host's window on a real X server, with openbox or without a window manager: the plug-in's
// windows, placed once the window manager has mapped and moved the host's window, cover none of
// its bars and docks; the panels and the status line fit the screen.

#include "host/app/ControllersPanel.h"
#include "host/app/HostSession.h"
#include "host/app/HostWindow.h"
#include "host/app/RowsPanel.h"
#include "tests/support/QtWait.h"

#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QWindow>

#include <gtest/gtest.h>

namespace tarvex::host {
namespace {

constexpr int WaitMs = 30000; // a loaded machine under the sanitizers is slow to map windows

QRect globalRect(const QWidget *widget)
{
    return {widget->mapToGlobal(QPoint(0, 0)), widget->size()};
}

std::string text(const QRect &r)
{
    return QStringLiteral("(%1, %2) %3x%4")
        .arg(r.x())
        .arg(r.y())
        .arg(r.width())
        .arg(r.height())
        .toStdString();
}

// Runs Qt's loop until `done` holds or the time is up; whether it holds.
template <class Condition> bool waitUntil(Condition done)
{
    return test::waitUntil(done, WaitMs);
}

// What the plug-in's windows must not cover: the host's title bar, menu and tool bars (the
// strip above its central area), its docks and its status line.
QList<QRect> hostBarsAndDocks(const HostWindow &window)
{
    const QRect frame = window.frameGeometry();
    const QRect central = globalRect(window.centralWidget());
    QList<QRect> kept{QRect(frame.left(), frame.top(), frame.width(), central.top() - frame.top()),
                      globalRect(window.statusBar())};
    for (const QDockWidget *dock : window.findChildren<QDockWidget *>()) {
        if (dock->isVisible())
            kept.append(globalRect(dock));
    }
    return kept;
}

QList<const QWidget *> plugInWindows(const HostWindow &window)
{
    QList<const QWidget *> windows;
    for (const QWidget *other : QApplication::topLevelWidgets()) {
        if (other != &window && other->isVisible() && other->windowType() == Qt::Window)
            windows.append(other);
    }
    return windows;
}

// Empty when the plug-in's windows are on the screen, apart, and clear of the host's bars and
// docks; otherwise what is wrong.
std::string misplaced(const HostWindow &window)
{
    const QList<const QWidget *> windows = plugInWindows(window);
    if (windows.size() != 2)
        return "not both of the plug-in's windows are shown";
    const QRect screen = window.screen()->geometry();
    for (const QWidget *shown : windows) {
        if (!shown->windowHandle()->isExposed())
            return "a window is not on the screen yet";
        const QRect placed = shown->frameGeometry();
        if (!screen.contains(placed))
            return text(placed) + " leaves the screen";
        for (const QRect &kept : hostBarsAndDocks(window)) {
            if (placed.intersects(kept))
                return text(placed) + " covers " + text(kept);
        }
    }
    if (windows[0]->frameGeometry().intersects(windows[1]->frameGeometry()))
        return "the plug-in's windows cover each other: " + text(windows[0]->frameGeometry()) +
               " and " + text(windows[1]->frameGeometry());
    return {};
}

TEST(HostOnScreen, thePlugInsWindowsCoverNoBarNorDockAndThePanelsFit)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    HostSession session;
    HostWindow window(session);
    // As the program does: the window first, then the plug-in with its main window shown.
    window.show();
    session.start(TARVEX_TEST_PLUGIN, QDir(dir.path()).filePath("show.tarvex"),
                  HostSession::Show::Shown);
    window.plugInStarted();
    session.configure();
    ASSERT_TRUE(waitUntil([&] { return window.windowHandle()->isExposed(); }));
    EXPECT_TRUE(waitUntil([&] { return misplaced(window).empty(); })) << misplaced(window);

    const QTableWidget *rows = window.rowsPanel()->table();
    EXPECT_GE(rows->viewport()->height() / rows->verticalHeader()->defaultSectionSize(),
              RowsPanel::ShownRows);
    for (const QTableWidget *table : window.controllersPanel()->findChildren<QTableWidget *>())
        EXPECT_LE(table->horizontalHeader()->length(), table->viewport()->width());

    // A long message, the DMX output's reason and the server's state side by side.
    session.events().notice(std::string(400, 'x'));
    session.events().dmxOutput(false, "olad is not running on localhost:9010");
    EXPECT_TRUE(window.dmxOutputState()->text().contains("olad is not running"));
    const QList<QLabel *> texts{window.message(), window.serverState(), window.dmxOutputState(),
                                window.plugInState()};
    ASSERT_TRUE(waitUntil([&] { return globalRect(window.message()).width() > 0; }));
    for (qsizetype i = 0; i < texts.size(); ++i) {
        EXPECT_TRUE(window.statusBar()->rect().contains(texts[i]->geometry()))
            << texts[i]->text().toStdString();
        for (qsizetype j = i + 1; j < texts.size(); ++j)
            EXPECT_FALSE(texts[i]->geometry().intersects(texts[j]->geometry()))
                << texts[i]->text().toStdString() << " / " << texts[j]->text().toStdString();
    }
}

} // namespace
} // namespace tarvex::host
