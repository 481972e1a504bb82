// The channel view: the numbers it shows are the levels, a change lights its channel for a while,
// its clock paints at most once a tick and stops once nothing changes, hovering names the
// rows that drive a channel, and the chooser offers the universes in use.

#include "host/app/ChannelView.h"
#include "host/objects/ActionRows.h"

#include "tests/support/QtWait.h"

#include <QComboBox>
#include <QCoreApplication>

#include <gtest/gtest.h>

namespace tarvex::host {
namespace {

using tarvex::test::processPendingEvents;
using tarvex::test::waitUntil;

class ChannelViewTest : public ::testing::Test {
protected:
    std::shared_ptr<Universes> universes = std::make_shared<Universes>(4);
    ChannelView view{universes};

    void SetUp() override
    {
        view.resize(1100, 600);
        view.show();
        QCoreApplication::processEvents();
    }

    // One tick of the view's clock, and the paints it caused.
    int paintsOfATick()
    {
        const int before = view.paints();
        view.tick();
        QCoreApplication::processEvents();
        return view.paints() - before;
    }
};

TEST_F(ChannelViewTest, showsTheLevelsAsTheyAreAndTheirChangesForAWhile)
{
    const std::vector<std::pair<int, uint8_t>> levels = {{1, 1},     {2, 127},   {33, 128},
                                                         {256, 254}, {511, 100}, {512, 255}};
    for (auto [channel, level] : levels)
        universes->set(1, channel, level);
    universes->set(2, 5, 77);
    view.tick();
    for (auto [channel, level] : levels) {
        EXPECT_EQ(view.valueText(channel), QString::number(level)) << channel;
        EXPECT_EQ(view.channelAt(view.cellRect(channel).center()), channel);
    }
    EXPECT_EQ(view.valueText(3), "");

    EXPECT_DOUBLE_EQ(view.highlight(512), 1.0);
    EXPECT_DOUBLE_EQ(view.highlight(3), 0.0);
    for (int tick = 1; tick < ShownLevels::HighlightTicks; ++tick)
        view.tick();
    EXPECT_GT(view.highlight(512), 0.0);
    view.tick();
    EXPECT_DOUBLE_EQ(view.highlight(512), 0.0);
    EXPECT_FALSE(view.ticking());

    // Another universe shows its own levels, none of them lit.
    view.setUniverse(2);
    EXPECT_EQ(view.valueText(5), "77");
    EXPECT_EQ(view.valueText(512), "");
    EXPECT_DOUBLE_EQ(view.highlight(5), 0.0);
}

TEST_F(ChannelViewTest, repaintsAtMostOncePerTickAndNotAtAllWithoutAChange)
{
    EXPECT_EQ(paintsOfATick(), 0);

    // Thousands of writes, then the clock runs until the highlights have faded.
    const int ticks = view.ticks(), paints = view.paints();
    for (int level = 1; level <= 255; ++level)
        for (int channel = 1; channel <= 64; ++channel)
            universes->set(1, channel, static_cast<uint8_t>(level));
    universes->set(3, 9, 1); // not shown: the clock notes it for the chooser, no paint
    EXPECT_TRUE(waitUntil([&] { return !view.ticking(); }));
    processPendingEvents(); // the last tick's paint
    EXPECT_GE(view.paints() - paints, 1);
    EXPECT_LE(view.paints() - paints, view.ticks() - ticks);
    EXPECT_LE(view.ticks() - ticks, ShownLevels::HighlightTicks + 1);

    EXPECT_EQ(paintsOfATick(), 0);
    EXPECT_FALSE(view.ticking());
}

TEST_F(ChannelViewTest, namesTheRowsDrivingAChannelAndOffersTheUniversesInUse)
{
    auto row = [](int number, const char *address, const char *kind, const char *name,
                  uint8_t universe, int32_t channel) {
        ActionRow r;
        r.number = number;
        r.address = address;
        r.target = TargetValues{Variant(kind), Variant(name), Variant(""), universe, channel};
        return r;
    };
    view.setRows({row(1, "/fader1", "DMX", "Front wash", 1, 7), row(2, "/pan", "DMX16", "", 3, 20),
                  row(3, "/mark", "DMX", "Spot", 1, 7),
                  row(4, "/off", "Deaktiviert", "Nothing", 2, 1)});
    EXPECT_EQ(view.toolTipText(7), "Universe 1, channel 7: 0\nFront wash (row 1)\nSpot (row 3)");
    EXPECT_EQ(view.toolTipText(8), "Universe 1, channel 8: 0");

    auto offered = [&] {
        std::vector<int> listed;
        for (int i = 0; i < view.universePicker()->count(); ++i)
            listed.push_back(view.universePicker()->itemData(i).toInt());
        return listed;
    };
    EXPECT_EQ(offered(), (std::vector<int>{1, 3}));
    universes->set(4, 1, 10);
    view.tick();
    EXPECT_EQ(offered(), (std::vector<int>{1, 3, 4}));

    emit view.universePicker()->activated(1);
    EXPECT_EQ(view.universe(), 3);
    EXPECT_EQ(view.toolTipText(21), "Universe 3, channel 21: 0\n/pan (row 2)");
}

TEST(ChannelView, stopsListeningWhenItGoes)
{
    auto universes = std::make_shared<Universes>(1);
    {
        ChannelView view(universes);
    }
    EXPECT_NO_THROW(universes->set(1, 1, 1));
}

} // namespace
} // namespace tarvex::host
