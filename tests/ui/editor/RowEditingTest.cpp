// Editing the list as a user does: which cell opens which editor with which entries, and what
// a committed edit does to the neighbouring cells, the rows and their host targets.
#include "tests/ui/editor/EditorFixture.h"

using namespace tarvex;
using namespace tarvex::test;

namespace {
const Texts Dashes6(6, "-");
}

class RowEditing : public EditorTest {
protected:
    // Three addresses as a controller sends them: a fader, a mixed message, a button.
    void learnThree()
    {
        for (float v : {0.3f, 0.1f, 0.8f})
            learn(OscBuilder().message("/fader1", ",f").f32(v));
        learn(OscBuilder().message("/mix", ",fsif").f32(0.5f).str("on").i32(7).f32(0.25f));
        learn(OscBuilder().message("/mix", ",fsif").f32(0.75f).str("off").i32(3).f32(0.1f));
        learn(OscBuilder().message("/button", ","));
    }
    // A new row for the address at the blank entry row; returns its position.
    int newRow(const std::string &address)
    {
        const int position = list->rowCount();
        choose(position, 0, address);
        return position;
    }
};

TEST_F(RowEditing, blankEntryRowIsCheckedEmptyAndHasABlankTarget)
{
    editor.addBlankRow();
    ASSERT_EQ(list->rowCount(), 1);
    EXPECT_TRUE(list->row(1)->checked());
    EXPECT_EQ(cells(1, 0, 13), Texts(14, ""));
    EXPECT_EQ(editor.getCommand(0), blankTarget());
    EXPECT_EQ(editor.rowTargets().size(), 1u);
}

TEST_F(RowEditing, addressDropDownOffersTheLearnedAddressesAndFillingTheBlankRowAppendsOne)
{
    learnThree();
    load();
    EXPECT_EQ(entriesOf(1, 0), (Texts{"", "/fader1", "/mix", "/button"}));
    choose(1, 0, "/mix");
    ASSERT_EQ(list->rowCount(), 2);
    EXPECT_EQ(cell(1, 0), "/mix");
    EXPECT_TRUE(list->row(1)->checked());
    EXPECT_EQ(cell(2, 0), "");
    EXPECT_TRUE(list->row(2)->checked());
    EXPECT_EQ(editor.rowTargets().size(), 2u);
    // The drop-down shows the row's address when it opens again.
    doubleClick(1, 0);
    EXPECT_EQ(fake->dropDownText, "/mix");
}

TEST_F(RowEditing, withoutLearnedAddressesOnlyFilledRowsOfferTheirOwnAddress)
{
    state.actionTable.replace(
        table({actionRow("/a", {"f"}, {{condition("=", range("1", "0", "1"), target("Ch1"))}})}));
    load();
    EXPECT_FALSE(opensEditor(2, 0));
    EXPECT_EQ(entriesOf(1, 0), (Texts{"", "/a"}));
}

TEST_F(RowEditing, argumentDropDownNamesEachArgumentByItsNumberWithinItsKind)
{
    learnThree();
    load();
    const int mix = newRow("/mix");
    EXPECT_EQ(entriesOf(mix, 1), (Texts{"1. Float", "1. String", "1. Integer", "2. Float"}));
    const int button = newRow("/button");
    EXPECT_EQ(entriesOf(button, 1), (Texts{"1. Empty"}));
    // The blank entry row has no address and so no argument to choose.
    EXPECT_FALSE(opensEditor(list->rowCount(), 1));
}

TEST_F(RowEditing, aFloatArgumentTakesItsLearnedRangeAndOffersEveryOperator)
{
    learnThree();
    load();
    const int mix = newRow("/mix");
    choose(mix, 1, "2. Float");
    EXPECT_EQ(cells(mix, 1, 5), (Texts{"2. Float", "=", "", "0.1", "0.25"}));
    EXPECT_EQ(entriesOf(mix, 2), (Texts{"=", "<", ">", "!=", "any"}));
    // Another argument refills only the range; the operator and the typed cells stay.
    choose(mix, 2, "<");
    type(mix, 3, "0.4");
    type(mix, 6, "10");
    choose(mix, 1, "1. Float");
    EXPECT_EQ(cells(mix, 1, 6), (Texts{"1. Float", "<", "0.4", "0.5", "0.75", "10"}));
    choose(mix, 1, "1. Integer");
    EXPECT_EQ(cells(mix, 4, 5), (Texts{"3", "7"}));
}

TEST_F(RowEditing, aStringArgumentLocksTheRangesAndKeepsThem)
{
    learnThree();
    load();
    const int mix = newRow("/mix");
    choose(mix, 1, "1. String");
    EXPECT_EQ(cell(mix, 2), "=");
    EXPECT_EQ(cells(mix, 4, 9), Dashes6);
    EXPECT_EQ(entriesOf(mix, 2), (Texts{"=", "!=", "any"}));
    EXPECT_TRUE(opensEditor(mix, 3));
    for (int column = 4; column <= 9; ++column)
        EXPECT_FALSE(opensEditor(mix, column)) << column;

    // A float chosen later keeps the operator, so the placeholders stay until the range is
    // refilled from learn mode.
    const int other = newRow("/mix");
    choose(other, 1, "1. Float");
    choose(other, 1, "1. String");
    EXPECT_EQ(cells(other, 4, 5), (Texts{"0.5", "0.75"}));
}

TEST_F(RowEditing, anArgumentlessMessageIsTestedWithAnyAndOpensNoValueEditor)
{
    learnThree();
    load();
    const int button = newRow("/button");
    choose(button, 1, "1. Empty");
    EXPECT_EQ(cell(button, 2), "any");
    EXPECT_EQ(cells(button, 3, 9), Texts(7, "-"));
    for (int column = 2; column <= 9; ++column)
        EXPECT_FALSE(opensEditor(button, column)) << column;
}

TEST_F(RowEditing, operatorAnyAndTheBeatRuleReplaceTheCellsTheyMakeUnused)
{
    learnThree();
    load();
    const int fader = newRow("/fader1");
    choose(fader, 1, "1. Float");
    choose(fader, 2, "any");
    EXPECT_EQ(cell(fader, 3), "-");
    EXPECT_FALSE(opensEditor(fader, 3));
    choose(fader, 2, "=");
    EXPECT_EQ(cell(fader, 3), "-");
    type(fader, 3, "NumarkBeat");
    EXPECT_EQ(cells(fader, 4, 9), Dashes6);
    for (int column = 4; column <= 9; ++column)
        EXPECT_FALSE(opensEditor(fader, column)) << column;
    type(fader, 3, "0.5");
    EXPECT_TRUE(opensEditor(fader, 4));
}

TEST_F(RowEditing, textEditorStartsWithTheCellAndTheHostTakesPartFromColumnEightOn)
{
    learnThree();
    load();
    const int fader = newRow("/fader1");
    choose(fader, 1, "1. Float");
    calls().clear();
    doubleClick(fader, 5);
    EXPECT_EQ(fake->textEditorText, "0.8");
    cancelEdit();
    EXPECT_EQ(calls(), Texts{});
    type(fader, 8, "20");
    EXPECT_EQ(calls(), (Texts{"BeginCellEdit 10", "EndCellEdit 10"}));
    EXPECT_EQ(cell(fader, 8), "20");
    // A target column opens no editor of the list's own; the host edits it.
    calls().clear();
    EXPECT_FALSE(opensEditor(fader, 11));
    EXPECT_EQ(calls(), Texts{"BeginCellEdit 10"});
    // Not on the blank entry row, which has no address.
    calls().clear();
    doubleClick(list->rowCount(), 9);
    EXPECT_EQ(calls(), Texts{});
}

TEST_F(RowEditing, changingTheAddressClearsTheRowButNotItsLastCell)
{
    learnThree();
    load();
    const int mix = newRow("/mix");
    choose(mix, 1, "1. Integer");
    list->row(mix)->setSubItem(12, "x");
    list->row(mix)->setSubItem(13, "kept");
    choose(mix, 0, "/fader1");
    EXPECT_EQ(cell(mix, 0), "/fader1");
    EXPECT_EQ(cells(mix, 1, 12), Texts(12, ""));
    EXPECT_EQ(cell(mix, 13), "kept");
    EXPECT_EQ(list->rowCount(), 2);
}

TEST_F(RowEditing, reenteringTheSameAddressKeepsTheCellsButGivesANewBlankTarget)
{
    state.actionTable.replace(
        table({actionRow("/a", {"f"}, {{condition("=", range("1", "0", "1"), target("Ch1"))}})}));
    load();
    ASSERT_EQ(targetNames(), (Texts{"Ch1", ""}));
    choose(1, 0, "/a");
    EXPECT_EQ(cells(1, 0, 3), (Texts{"/a", "1. Float", "=", "1"}));
    EXPECT_EQ(targetNames(), (Texts{"", ""}));
    EXPECT_EQ(list->rowCount(), 2);
}

TEST_F(RowEditing, anEmptyAddressOnTheBlankRowChangesNothing)
{
    learnThree();
    load();
    choose(1, 0, "");
    EXPECT_EQ(list->rowCount(), 1);
    EXPECT_EQ(editor.rowTargets().size(), 1u);
}

TEST_F(RowEditing, noEditorOpensWhileLearning)
{
    learnThree();
    load();
    const int fader = newRow("/fader1");
    choose(fader, 1, "1. Float");
    windows.learning = true;
    calls().clear();
    for (int column = 0; column <= 11; ++column)
        EXPECT_FALSE(opensEditor(fader, column)) << column;
    EXPECT_FALSE(opensEditor(list->rowCount(), 0));
    EXPECT_EQ(calls(), Texts{});
}

TEST_F(RowEditing, anAddressEditShowsTheNewBlankTargetInTheTargetColumns)
{
    state.actionTable.replace(
        table({actionRow("/a", {"f"}, {{condition("=", range("1", "0", "1"), target("Ch1"))}})}));
    load();
    ASSERT_EQ(cell(1, 10), "Ch1");
    calls().clear();
    choose(1, 0, "/a");
    // The cells show the blank target the row now holds, not the one it lost.
    EXPECT_EQ(cell(1, 10), "");
    EXPECT_EQ(calls(), (Texts{"CreateTarget    0 0", "ShowTargetInRow 10"}));
}
