#include "host/app/ChannelView.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace tarvex::host {
namespace {

TEST(ChannelViewTest, writesToTheShownUniverseMergeIntoOneRepaint)
{
    auto universes = std::make_shared<Universes>(2);
    ChannelView view(universes);
    view.resize(view.sizeHint());
    view.show();
    QCoreApplication::processEvents();
    view.repaint();
    ASSERT_FALSE(view.repaintPending());

    universes->set(2, 1, 10); // not shown
    EXPECT_FALSE(view.repaintPending());
    for (int level = 1; level <= 255; ++level)
        universes->set(1, 7, static_cast<uint8_t>(level));
    EXPECT_TRUE(view.repaintPending());
    view.repaint();
    EXPECT_FALSE(view.repaintPending());

    view.setUniverse(2);
    EXPECT_TRUE(view.repaintPending());
    view.setUniverse(3); // no such universe
    EXPECT_EQ(view.universe(), 2);
}

TEST(ChannelViewTest, stopsListeningWhenItGoes)
{
    auto universes = std::make_shared<Universes>(1);
    {
        ChannelView view(universes);
    }
    EXPECT_NO_THROW(universes->set(1, 1, 1));
}

} // namespace
} // namespace tarvex::host
