// The host window with the test plug-in: the cue panel lists the plug-in's actions and its
// button reaches the channel levels; a project that cannot be opened leaves the window as it was.

#include "host/HostWindow.h"
#include "host/CuePanel.h"
#include "host/HostSession.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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
    }
};

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

TEST_F(HostWindowTest, withoutAPlugInTheWindowSaysWhyAndOffersNoCues)
{
    HostWindow window(session);
    window.plugInMissing("there is no plug-in library at /nowhere");
    EXPECT_TRUE(window.plugInState()->text().contains("/nowhere"));
    EXPECT_EQ(window.cuePanel()->firstList()->count(), 0);
}

} // namespace
} // namespace tarvex::host
