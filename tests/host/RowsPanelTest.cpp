// The Rows panel with the real plug-in: it follows the table when a cue switches a row or the
// user saves in the plug-in's editor, each row counts its own hits (there and in the editor's
// "Treffer" column), and hits counted in one project are gone when another one opens.

#include "host/app/RowsPanel.h"
#include "host/app/ChannelView.h"
#include "host/app/HostSession.h"
#include "host/app/HostWindow.h"
#include "tests/host/e2e/RealShow.h"
#include "tests/support/OscBuilder.h"
#include "tests/support/QtWait.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace tarvex::host {
namespace {

using namespace tarvex::test;

// The plug-in's editor: one of the application's windows, found by its name.
QWidget *plugInEditor()
{
    for (QWidget *window : QApplication::topLevelWidgets())
        if (window->objectName() == QLatin1String("frmSettings"))
            return window;
    return nullptr;
}

TEST(RowsPanel, followsCuesAndEditorSavesCountsEachRowAndForgetsTheHitsOfAnotherProject)
{
    QTemporaryDir dir;
    const uint16_t port = freeUdpPort();
    for (const QString folder : {"a", "b"}) {
        ASSERT_TRUE(QDir(dir.path()).mkpath(folder));
        writeShowSettings(dir.filePath(folder).toStdString(), port);
        // Both rows drive one channel.
        writeShowActions(
            dir.filePath(folder).toStdString(),
            table({faderRow("/fader1", "Fader", 7, 1), faderRow("/mark", "Fader", 7, 2)}));
    }
    HostSession session;
    HostWindow window(session);
    session.start(TARVEX_REAL_PLUGIN, dir.filePath("a/show.tarvex"), HostSession::Show::Hidden);
    window.plugInStarted();
    QTableWidget *rows = window.rowsPanel()->table();
    ASSERT_EQ(rows->rowCount(), 2);
    // The channel view names both rows where it shows their channel.
    EXPECT_EQ(window.channelView()->toolTipText(7).toStdString(),
              "Universe 1, channel 7: 0\nFader (row 1)\nFader (row 2)");
    auto hitsOf = [&](int row) { return rows->item(row, RowsPanel::Hits)->text().toStdString(); };
    auto hitsOfFirstRow = [&] { return hitsOf(0); };

    UdpSender(port).send(OscBuilder().message("/fader1", ",f").f32(0.5f).bytes());
    EXPECT_TRUE(waitUntil([&] { return hitsOfFirstRow() == "1"; })) << hitsOfFirstRow();
    EXPECT_EQ(hitsOf(1), "0");
    UdpSender(port).send(OscBuilder().message("/mark", ",f").f32(0.5f).bytes());
    EXPECT_TRUE(waitUntil([&] { return hitsOf(1) == "1"; })) << hitsOf(1);
    EXPECT_EQ(hitsOfFirstRow(), "1");

    // A cue switches the first row off.
    session.executeCommand("1", "Deactivate");
    auto activeOfFirstRow = [&] { return rows->item(0, RowsPanel::Active)->text().toStdString(); };
    EXPECT_TRUE(waitUntil([&] { return activeOfFirstRow() == "no"; })) << activeOfFirstRow();

    // The user deletes the first row in the editor and saves there.
    session.configure();
    QWidget *editor = plugInEditor();
    ASSERT_NE(editor, nullptr);
    auto *list = editor->findChild<QTableWidget *>();
    ASSERT_NE(list, nullptr);
    constexpr int Treffer = 14;
    EXPECT_EQ(list->item(0, Treffer)->text(), "1");
    EXPECT_EQ(list->item(1, Treffer)->text(), "1");
    UdpSender(port).send(OscBuilder().message("/mark", ",f").f32(0.7f).bytes());
    EXPECT_TRUE(waitUntil([&] { return list->item(1, Treffer)->text() == "2"; }));
    EXPECT_EQ(list->item(0, Treffer)->text(), "1");
    list->setCurrentCell(0, 1);
    QTest::keyClick(list, Qt::Key_Delete);
    editor->findChild<QPushButton *>(QStringLiteral("Speichern"))->click();
    EXPECT_TRUE(waitUntil([&] { return rows->rowCount() == 1; })) << rows->rowCount();
    EXPECT_EQ(hitsOfFirstRow(), "2") << "the row left keeps its own count";
    EXPECT_EQ(list->item(0, Treffer)->text(), "2");

    session.openProject(dir.filePath("b/show.tarvex"));
    ASSERT_TRUE(waitUntil([&] { return rows->rowCount() == 2; })) << rows->rowCount();
    EXPECT_EQ(hitsOfFirstRow(), "0");
    session.shutdown();
}

} // namespace
} // namespace tarvex::host
