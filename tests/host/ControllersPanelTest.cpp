// The Controllers dock with the real plug-in: a refresh, which traffic causes a few times a
// second, leaves alone what the user is typing into a setting; finishing the edit applies it.

#include "host/app/ControllersPanel.h"
#include "host/app/HostSession.h"

#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace tarvex::host {
namespace {

TEST(ControllersPanel, aRefreshKeepsWhatTheUserTypesAndFinishingTheEditAppliesIt)
{
    QTemporaryDir dir;
    HostSession session;
    session.start(TARVEX_REAL_PLUGIN, dir.filePath("show.tarvex"), HostSession::Show::Hidden);
    ControllersPanel panel(session);
    panel.refresh();
    QSpinBox *port = panel.feedbackPort();
    port->selectAll();
    QTest::keyClicks(port, "9000");
    panel.refresh();
    EXPECT_EQ(port->text().toStdString(), "9000") << "a refresh took the user's typing away";

    QTest::keyClick(port, Qt::Key_Return);
    ASSERT_TRUE(session.controllers());
    EXPECT_EQ(session.controllers()->feedback().port, 9000);
    panel.refresh();
    EXPECT_EQ(port->value(), 9000);
    session.shutdown();
}

} // namespace
} // namespace tarvex::host
