// The plug-in's engine driving the host's own objects: a datagram ends as a channel level, a
// target chosen in the editor's cells reaches the engine through its five values, and hits are
// counted per row, in the rows and in the editor's "Treffer" cells.
#include "host/objects/HostHelper.h"

#include "engine/OSCHandler.h"
#include "tests/support/ActionRows.h"
#include "tests/support/FakeListWidget.h"
#include "tests/support/FakeWindows.h"
#include "tests/support/OscBuilder.h"
#include "ui/editor/ActionListEditor.h"

#include <gtest/gtest.h>

namespace tarvex::host {
namespace {

using namespace tarvex::test;

VarArray dmxTarget(uint8_t universe, int32_t channel)
{
    return VarArray::ofValues(
        {Variant("DMX"), Variant("Spot"), Variant(""), Variant::byte(universe), Variant(channel)});
}

class EngineRoad : public ::testing::Test {
protected:
    EngineRoad()
    {
        events->userInteraction = [this] { lines.push_back("userInteraction"); };
        events->executed = [this](const TargetValues &, int32_t v, int32_t lo, int32_t hi) {
            lines.push_back("execute " + std::to_string(v) + " " + std::to_string(lo) + " " +
                            std::to_string(hi));
        };
        windows.cmp = typedView(helper);
        state.hostHelper = helper;
    }

    void receiveFloat(const std::string &address, float value)
    {
        handleDatagram(state, OscBuilder().message(address, ",f").f32(value).bytes());
    }

    // The key of the table's row at index, and the hits counted under it.
    const TargetHit *hitsOfRow(int32_t index)
    {
        return helper->factory()->hits()->find(state.rowKeys.keyOf(state.actionTable, index));
    }

    std::shared_ptr<Universes> universes = std::make_shared<Universes>(12);
    std::shared_ptr<HostEvents> events = std::make_shared<HostEvents>();
    std::shared_ptr<HostHelper> helper = std::make_shared<HostHelper>(universes, events);
    FakeWindows windows;
    EngineState state{windows};
    std::vector<std::string> lines;
};

TEST_F(EngineRoad, aFaderSetsItsChannelAndEqualLimitsGiveATenthOfFull)
{
    state.actionTable.replace(table({
        actionRow("/fader1", {"f"}, {{condition("any", range("", "0", "1"), dmxTarget(1, 7))}}),
        actionRow("/fader2", {"f"},
                  {{condition("any", range("", "0", "1", "0", "255", "5", "5"), dmxTarget(2, 1))}},
                  2),
    }));

    receiveFloat("/fader1", 0.5f);
    receiveFloat("/fader2", 1.0f);

    EXPECT_EQ(universes->level(1, 7), 128);
    EXPECT_EQ(universes->level(2, 1), 26);
    EXPECT_EQ(lines, (std::vector<std::string>{"userInteraction", "execute 128 0 255",
                                               "userInteraction", "execute 10000 0 100000"}));
}

// Two rows on one channel count apart, and universe 1 channel 21 is never universe 12 channel 1.
TEST_F(EngineRoad, eachRowCountsItsOwnExecutesOnWhicheverTarget)
{
    state.actionTable.replace(table({
        actionRow("/a", {"f"}, {{condition("any", range("", "0", "1"), dmxTarget(1, 7))}}, 1),
        actionRow("/b", {"f"}, {{condition("any", range("", "0", "1"), dmxTarget(1, 7))}}, 2),
        actionRow("/c", {"f"}, {{condition("any", range("", "0", "1"), dmxTarget(1, 21))}}, 3),
        actionRow("/d", {"f"}, {{condition("any", range("", "0", "1"), dmxTarget(12, 1))}}, 4),
    }));
    receiveFloat("/a", 0.5f);
    receiveFloat("/a", 1.0f);
    receiveFloat("/b", 0.2f);
    receiveFloat("/d", 1.0f);

    ASSERT_NE(hitsOfRow(0), nullptr);
    EXPECT_EQ(hitsOfRow(0)->count, 2u);
    EXPECT_EQ(hitsOfRow(0)->level, 255u);
    ASSERT_NE(hitsOfRow(1), nullptr);
    EXPECT_EQ(hitsOfRow(1)->count, 1u);
    EXPECT_EQ(hitsOfRow(1)->level, 51u);
    EXPECT_EQ(hitsOfRow(2), nullptr);
    ASSERT_NE(hitsOfRow(3), nullptr);
    EXPECT_EQ(hitsOfRow(3)->count, 1u);
    EXPECT_EQ(universes->level(1, 21), 0);
    EXPECT_EQ(universes->level(12, 1), 255);
}

// The editor's "Treffer" cell counts the table row its list row was filled from: two rows on one
// channel apart, a new row nothing. Counts survive a save of another row's edit and a deleted
// row; the edited row counts from 0 again.
TEST_F(EngineRoad, theEditorsHitCellsCountTheRowTheyWereFilledFrom)
{
    state.actionTable.replace(table({
        actionRow("/a", {"f"}, {{condition("any", range("", "0", "1"), dmxTarget(1, 7))}}, 1),
        actionRow("/b", {"f"}, {{condition("any", range("", "0", "1"), dmxTarget(1, 7))}}, 2),
        actionRow("/c", {"f"}, {{condition("any", range("", "0", "1"), dmxTarget(1, 8))}}, 3),
    }));
    HostModulePtr module = typedView(helper);
    auto list = std::make_shared<FakeListWidget>();
    setUpList(list, module);
    ActionListEditor editor(state, list, module, [] { return false; });
    editor.fillRows();
    editor.addBlankRow();
    auto cells = [&] {
        helper->factory()->refreshHitCells();
        std::vector<std::string> texts;
        for (int position = 1; position <= list->rowCount(); ++position)
            texts.push_back(list->row(position)->subItem(14));
        return texts;
    };
    using Cells = std::vector<std::string>;

    receiveFloat("/a", 1.0f);
    receiveFloat("/a", 0.5f);
    receiveFloat("/b", 1.0f);
    list->setEditCell(4, 0);
    editor.applyCellEdit("/new"); // typed into the blank row: not saved yet
    EXPECT_EQ(cells(), (Cells{"2", "1", "0", "", ""}));

    list->setEditCell(3, 5);
    editor.applyCellEdit("2"); // the third row's inMax
    editor.rebuildActionTable();
    EXPECT_EQ(cells(), (Cells{"2", "1", "0", ""}));
    receiveFloat("/c", 1.0f);
    EXPECT_EQ(cells(), (Cells{"2", "1", "1", ""}));

    editor.deleteRow(list->row(1));
    receiveFloat("/b", 1.0f);
    EXPECT_EQ(cells(), (Cells{"2", "1", ""}));
}

TEST_F(EngineRoad, aTargetChosenInTheEditorsCellsIsTheOneTheEngineExecutes)
{
    TargetFactoryPtr factory = typedView(helper)->GetTargetFactory();
    auto list = std::make_shared<FakeListWidget>();
    ListRowPtr row = list->addRow("/fader1");
    HostTargetPtr edited = factory->CreateTarget("", "", "", 0, 0);
    const std::vector<std::pair<int, std::string>> choices = {
        {10, "DMX"}, {11, "2"}, {12, "300"}, {13, "Wash"}};
    for (const auto &[column, text] : choices) {
        list->setEditCell(1, column);
        factory->BeginCellEdit(edited, list, 10);
        factory->EndCellEdit(edited, list, 10);
        row->setSubItem(column, text);
    }

    // The editor's getCommand reads T0..T4; the rebuild stores them as the condition's target.
    VarArray target = VarArray::ofValues({edited->T0(), edited->T1(), edited->T2(),
                                          Variant::byte(edited->T3()), Variant(edited->T4())});
    state.actionTable.replace(
        table({actionRow("/fader1", {"f"}, {{condition("any", range("", "0", "1"), target)}})}));
    receiveFloat("/fader1", 1.0f);

    EXPECT_EQ(universes->level(2, 300), 255);
}

} // namespace
} // namespace tarvex::host
