// The host window with the test plug-in: the cue panel lists the plug-in's actions and its
// button reaches the channel levels; a project that cannot be opened leaves the window as it was.

#include "host/app/HostWindow.h"
#include "host/app/CuePanel.h"
#include "host/app/HostSession.h"
#include "host/app/WindowPlacement.h"

#include <QApplication>
#include <QComboBox>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

// Readable rectangles and points in failure messages.
inline void PrintTo(const QPoint &point, std::ostream *os)
{
    *os << '(' << point.x() << ", " << point.y() << ')';
}
inline void PrintTo(const QRect &rect, std::ostream *os)
{
    PrintTo(rect.topLeft(), os);
    *os << ' ' << rect.width() << 'x' << rect.height();
}

namespace tarvex::host {
namespace {

class HostWindowTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    HostSession session;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QFile actions(QDir(dir.path()).filePath("TestActions.txt"));
        ASSERT_TRUE(actions.open(QIODevice::WriteOnly));
        actions.write("7 /fader1 0\n12 /button 1\n");
        QFile(QDir(dir.path()).filePath("TestTracksChanges")).open(QIODevice::WriteOnly);
    }

    QByteArray actionsFile() const
    {
        QFile file(QDir(dir.path()).filePath("TestActions.txt"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

// Answers the next message box with `button` from inside its own event loop, noting its text.
// After a second without one it gives up, closing whatever other modal window is up, so that a
// missing box can never leave the test waiting.
void answerNextBox(QMessageBox::StandardButton button, QString &text)
{
    auto *timer = new QTimer;
    auto tries = std::make_shared<int>(100);
    QObject::connect(timer, &QTimer::timeout, [timer, tries, button, &text] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            text = box->text();
            box->button(button)->click();
        } else if (--*tries > 0) {
            return;
        } else if (modal) {
            modal->close();
        }
        timer->stop();
        timer->deleteLater();
    });
    timer->start(10);
}

TEST_F(HostWindowTest, theCuePanelListsTheActionsAndItsButtonMovesAChannel)
{
    HostWindow window(session);
    session.start(TARVEX_TEST_PLUGIN, QDir(dir.path()).filePath("show.tarvex"),
                  HostSession::Show::Hidden);
    window.plugInStarted();
    EXPECT_EQ(window.windowTitle(), "show.tarvex – Tarvex Host");

    QComboBox *first = window.cuePanel()->firstList();
    QComboBox *second = window.cuePanel()->secondList();
    ASSERT_EQ(first->count(), 2);
    EXPECT_EQ(first->itemText(1), "2. /button");
    EXPECT_EQ(first->itemData(1).toString(), "12");
    ASSERT_EQ(second->count(), 3);

    second->setCurrentIndex(second->findData("Activate"));
    window.cuePanel()->execute();
    EXPECT_EQ(session.universes()->level(1, 7), 255);

    // The chosen action survives a refresh; a changed second list is read again.
    first->setCurrentIndex(1);
    window.cuePanel()->refresh();
    EXPECT_EQ(first->currentData().toString(), "12");
}

// The offscreen screen has no room beside the host: the windows go below its menu and tool bars.
TEST_F(HostWindowTest, thePlugInsWindowsNeverCoverTheHostsMenus)
{
    HostWindow window(session);
    window.show();
    session.start(TARVEX_TEST_PLUGIN, QDir(dir.path()).filePath("show.tarvex"),
                  HostSession::Show::Shown);
    session.configure();
    const int barsBottom = window.centralWidget()->mapToGlobal(QPoint(0, 0)).y() - 1;
    QList<QRect> plugIn;
    for (const QWidget *other : QApplication::topLevelWidgets()) {
        if (other != &window && other->isVisible())
            plugIn.append(other->frameGeometry());
    }
    ASSERT_EQ(plugIn.size(), 2) << "the plug-in's main window and its editor";
    EXPECT_FALSE(plugIn[0].intersects(plugIn[1]));
    for (const QRect &placed : plugIn)
        EXPECT_GT(placed.top(), barsBottom) << testing::PrintToString(placed);
}

// Frame rectangles, as a window manager draws them: title bars count.
TEST(WindowPlacement, besideTheHostWhereThereIsRoomElseUnderItElseOverItsCentralArea)
{
    const QRect screen(0, 0, 1600, 1000);
    const QSize size(400, 300);
    // The host's central area: below its bars (60 high), left of a dock, above another.
    const QRect open(0, 61, 900, 500);
    struct Case {
        QRect host;
        QList<QRect> taken;
        QPoint expected;
    } cases[] = {
        {{0, 0, 800, 600}, {}, {808, 0}},                     // to the right
        {{1000, 100, 600, 600}, {}, {592, 100}},              // to the left
        {{0, 0, 800, 600}, {{808, 0, 400, 50}}, {808, 58}},   // below a window already there
        {{0, 0, 1300, 600}, {}, {0, 608}},                    // no room beside: under the host
        {{0, 0, 1600, 1000}, {}, {8, 69}},                    // the whole screen: over its centre
        {{0, 0, 1600, 1000}, {{8, 69, 400, 40}}, {8, 117}},   // ... below a window there
        {{0, 0, 1600, 1000}, {{8, 69, 400, 300}}, {416, 69}}, // ... or beside one too tall
        {{0, 0, 1600, 1000}, {{8, 69, 890, 300}}, {8, 69}},   // no room: at the centre's corner
    };
    for (const Case &c : cases)
        EXPECT_EQ(placeBeside(c.host, open, size, screen, c.taken), c.expected)
            << testing::PrintToString(c.host);
}

// A cue switches an action of the test plug-in, which a project save would write.
TEST_F(HostWindowTest, closingWithUnsavedChangesAsksToSaveDiscardOrCancel)
{
    HostWindow window(session);
    session.start(TARVEX_TEST_PLUGIN, QDir(dir.path()).filePath("show.tarvex"),
                  HostSession::Show::Hidden);
    window.plugInStarted();
    window.show();
    QString asked;
    EXPECT_TRUE(window.close()) << "nothing to save: no question";
    EXPECT_TRUE(asked.isEmpty());

    session.executeCommand("7", "toggle");
    const QByteArray before = actionsFile();
    window.show();
    answerNextBox(QMessageBox::Cancel, asked);
    window.openProject();
    EXPECT_FALSE(asked.isEmpty()) << "Open asks first";
    asked.clear();
    answerNextBox(QMessageBox::Cancel, asked);
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(window.isVisible());
    answerNextBox(QMessageBox::Discard, asked);
    EXPECT_TRUE(window.close());
    EXPECT_EQ(actionsFile(), before);

    window.show();
    answerNextBox(QMessageBox::Save, asked);
    EXPECT_TRUE(window.close());
    EXPECT_EQ(actionsFile(), "7 /fader1 1\n12 /button 1\n");
    EXPECT_EQ(asked, "The project has changes that are not saved yet.");
}

TEST_F(HostWindowTest, theStatusLineSaysWhetherTheServerListensAndHowToStartIt)
{
    HostWindow window(session);
    session.start(TARVEX_TEST_PLUGIN, QDir(dir.path()).filePath("show.tarvex"),
                  HostSession::Show::Hidden);
    window.plugInStarted();
    EXPECT_TRUE(window.serverState()->text().contains("stopped: press Start"));
    session.scripting().pressStart();
    window.refreshServerState();
    EXPECT_EQ(window.serverState()->text(), "OSC server listening");
}

TEST_F(HostWindowTest, withoutAPlugInTheWindowSaysWhyAndOffersNoCues)
{
    HostWindow window(session);
    window.plugInMissing("there is no plug-in library at /nowhere");
    EXPECT_TRUE(window.plugInState()->text().contains("/nowhere"));
    EXPECT_EQ(window.cuePanel()->firstList()->count(), 0);
}

} // namespace
} // namespace tarvex::host
