// The list filled from the action table and rebuilt into it: the layout of the stored rows,
// kept numbers and activations, and removals that keep list, targets and table in step.
#include "tests/ui/editor/EditorFixture.h"

#include "engine/Lib.h"
#include "engine/ObjectHandler.h"

using namespace tarvex;
using namespace tarvex::test;

namespace {
Variant textCondition(const std::string &op, const std::string &compare, VarArray tgt)
{
    return Variant(VarArray::ofValues(
        {Variant(op), Variant(VarArray::ofValues({Variant(compare)})), Variant(std::move(tgt))}));
}
int32_t idOf(const VarArray &rows, int32_t index)
{
    return rows[index].array()[3].asLong();
}
} // namespace

class TableConversion : public EditorTest {
protected:
    // Rows of every kind: the second float chosen, a text, an argumentless message, one off.
    VarArray mixedTable()
    {
        return table({
            actionRow("/xy", {"f", "i", "f"},
                      {{never(), condition(">", range("0.5", "0", "1", "0", "100"), target("A"))},
                       {never()}},
                      11),
            actionRow("/name", {"s"}, {{textCondition("!=", "off", target("B"))}}, 22),
            actionRow("/go", {"Empty"},
                      {{condition("any", range("-", "-", "-", "-", "-", "-", "-"), target("C"))}},
                      33, "Deactivated"),
        });
    }
};

TEST_F(TableConversion, fillShowsEachRowsChosenArgumentAndItsTarget)
{
    state.actionTable.replace(mixedTable());
    load();
    ASSERT_EQ(list->rowCount(), 4);
    EXPECT_EQ(cells(1, 0, 10),
              (Texts{"/xy", "2. Float", ">", "0.5", "0", "1", "0", "100", "0", "255", "A"}));
    EXPECT_EQ(cells(2, 0, 4), (Texts{"/name", "1. String", "!=", "off", ""}));
    EXPECT_EQ(cells(3, 0, 3), (Texts{"/go", "1. Empty", "any", "-"}));
    EXPECT_TRUE(list->row(1)->checked());
    EXPECT_FALSE(list->row(3)->checked());
    EXPECT_EQ(targetNames(), (Texts{"A", "B", "C", ""}));
}

TEST_F(TableConversion, rebuildingAnUnchangedFillGivesTheSameTable)
{
    const VarArray original = mixedTable();
    state.actionTable.replace(original);
    load();
    editor.rebuildActionTable();
    EXPECT_EQ(actions(), original);
    EXPECT_EQ(list->rowCount(), 4);
}

TEST_F(TableConversion, fillSkipsATargetTheHostCannotCreate)
{
    state.actionTable.replace(mixedTable());
    helper->factory->failingTarget = "B";
    load();
    ASSERT_EQ(list->rowCount(), 4);
    EXPECT_EQ(cells(2, 0, 3), (Texts{"/name", "1. String", "!=", "off"}));
    EXPECT_EQ(cell(2, 10), "");
    EXPECT_EQ(targetNames(), (Texts{"A", "(none)", "C", ""}));
    EXPECT_EQ(cell(3, 10), "C");
}

TEST_F(TableConversion, aTargetTheHostCannotCreateIsSavedAsItWasStored)
{
    const VarArray original = mixedTable();
    state.actionTable.replace(original);
    helper->factory->failingTarget = "B";
    load();
    EXPECT_EQ(editor.getCommand(1), target("B"));
    // The other rows are saved, and the row without a target keeps what it was stored with.
    list->row(1)->setSubItem(3, "0.25");
    editor.rebuildActionTable();
    ASSERT_EQ(actions().size(), 3u);
    const VarArray &secondFloat =
        actions()[0].array()[rowField::Conditions].array()[0].array()[1].array();
    EXPECT_EQ(toText(secondFloat[1].array()[0]), "0.25");
    EXPECT_EQ(actions()[1], original[1]);
    EXPECT_EQ(actions()[2], original[2]);
    // Removing a row above it keeps the stored values with their row.
    editor.removeRow(1);
    EXPECT_EQ(editor.getCommand(0), target("B"));
    // A new address gives the row a real (blank) target, and the stored values are gone.
    choose(1, 0, "/name");
    EXPECT_EQ(editor.getCommand(0), blankTarget());
}

TEST_F(TableConversion, mixedTagsStoreNeverMarkersForTheArgumentsNotChosen)
{
    learn(OscBuilder().message("/mix", ",fsi").f32(0.5f).str("a").i32(7));
    load();
    choose(1, 0, "/mix");
    choose(1, 1, "1. Integer");
    type(1, 3, "5");
    editor.rebuildActionTable();
    ASSERT_EQ(actions().size(), 1u);
    const int32_t id = idOf(actions(), 0);
    EXPECT_GE(id, FirstActionId);
    EXPECT_LE(id, LastActionId);
    EXPECT_EQ(
        actions()[0],
        actionRow("/mix", {"f", "s", "i"},
                  {{never()},
                   {never()},
                   {condition("=", parameters({"5", "7", "7", "", "", "", ""}), blankTarget())}},
                  id, "Activated"));
}

TEST_F(TableConversion, rebuildKeepsNumbersAndStoresTheCheckBoxes)
{
    state.actionTable.replace(mixedTable());
    windows.listItemCount = 4;
    load();
    list->row(1)->setChecked(false); // the user unticks it
    list->row(3)->setChecked(true);
    editor.rebuildActionTable();
    EXPECT_EQ(idOf(actions(), 0), 11);
    EXPECT_EQ(toText(actions()[0].array()[4]), "Deactivated");
    EXPECT_EQ(toText(actions()[2].array()[4]), "Activated");
    // Every row is switched through the engine, which ticks the list items it finds.
    EXPECT_EQ(windows.checkedItems,
              (std::vector<std::pair<int, bool>>{{1, false}, {2, true}, {3, true}}));
}

TEST_F(TableConversion, rowsWithoutAnArgumentAreDroppedBeforeTheRebuild)
{
    learn(OscBuilder().message("/new", ",i").i32(4));
    state.actionTable.replace(mixedTable());
    load();
    choose(4, 0, "/new"); // no argument chosen: dropped
    choose(5, 0, "/new");
    choose(5, 1, "1. Integer");
    choose(1, 0, "/new"); // the address changed, the argument is gone: dropped with its action
    editor.rebuildActionTable();
    EXPECT_EQ(list->rowCount(), 4);
    ASSERT_EQ(actions().size(), 3u);
    EXPECT_EQ(idOf(actions(), 0), 22);
    EXPECT_EQ(idOf(actions(), 1), 33);
    EXPECT_EQ(toText(actions()[2].array()[0]), "/new");
    EXPECT_EQ(editor.rowTargets().size(), 4u);
}

TEST_F(TableConversion, aNewActionDrawsAgainWhenItsNumberIsTaken)
{
    constexpr uint32_t seed = 4711;
    std::mt19937 random(seed);
    const int32_t firstDraw = randomInRange(random, FirstActionId, LastActionId);
    const int32_t secondDraw = randomInRange(random, FirstActionId, LastActionId);
    // Two rows already share the first number; they keep it.
    state.actionTable.replace(table({
        actionRow("/a", {"f"}, {{condition("=", range("1", "0", "1"), target("A"))}}, firstDraw),
        actionRow("/a", {"f"}, {{condition("=", range("2", "0", "1"), target("A"))}}, firstDraw),
    }));
    learn(OscBuilder().message("/b", ",f").f32(1));
    load();
    choose(3, 0, "/b");
    choose(3, 1, "1. Float");
    editor.setSeedSource([] { return seed; });
    editor.rebuildActionTable();
    ASSERT_EQ(actions().size(), 3u);
    EXPECT_EQ(idOf(actions(), 0), firstDraw);
    EXPECT_EQ(idOf(actions(), 1), firstDraw);
    EXPECT_EQ(idOf(actions(), 2), secondDraw);
}

TEST_F(TableConversion, removingAMiddleRowRemovesItsActionAndTarget)
{
    state.actionTable.replace(mixedTable());
    load();
    choose(2, 0, "");
    ASSERT_EQ(list->rowCount(), 3);
    EXPECT_EQ(cell(2, 0), "/go");
    ASSERT_EQ(actions().size(), 2u);
    EXPECT_EQ(idOf(actions(), 0), 11);
    EXPECT_EQ(idOf(actions(), 1), 33);
    EXPECT_EQ(targetNames(), (Texts{"A", "C", ""}));
    EXPECT_EQ(editor.getCommand(1), target("C"));
}

TEST_F(TableConversion, removingTheLastFilledRowAndARowNotYetRebuilt)
{
    learn(OscBuilder().message("/new", ",i").i32(4));
    state.actionTable.replace(mixedTable());
    load();
    choose(4, 0, "/new");
    choose(4, 0, ""); // added since the rebuild: the table stays
    EXPECT_EQ(actions().size(), 3u);
    choose(3, 0, ""); // the last filled row
    EXPECT_EQ(list->rowCount(), 3);
    EXPECT_EQ(actions().size(), 2u);
    EXPECT_EQ(targetNames(), (Texts{"A", "B", ""}));
}

TEST_F(TableConversion, removingTheOnlyRowErasesTheTable)
{
    state.actionTable.replace(table({mixedTable()[0]}));
    load();
    choose(1, 0, "");
    EXPECT_EQ(list->rowCount(), 1);
    EXPECT_FALSE(state.actionTable.isDimensioned());
    EXPECT_EQ(targetNames(), Texts{""});
    // A rebuild of the blank row alone leaves the table undimensioned.
    editor.rebuildActionTable();
    EXPECT_FALSE(state.actionTable.isDimensioned());
}

TEST_F(TableConversion, rebuildReleasesTargetsNoActionUsesAnyMore)
{
    state.actionTable.replace(mixedTable());
    load();
    getTarget(state, target("A"));
    getTarget(state, target("B"));
    choose(2, 0, "");
    calls().clear();
    editor.rebuildActionTable();
    EXPECT_EQ(calls(), Texts{"ReleaseTarget B"});
}

// Rows that share a number are switched by the first of them, once: a rebuild of many such rows
// switches each row once, not once for every row of its number.
TEST_F(TableConversion, rowsSharingANumberAreSwitchedOnceEach)
{
    constexpr int Rows = 2000;
    VarArray shared;
    for (int i = 0; i < Rows; ++i)
        shared.append(actionRow("/f" + std::to_string(i), {"f"},
                                {{condition("any", range("", "0", "1"), target("A"))}}, 7));
    state.actionTable.replace(shared);
    windows.listItemCount = Rows + 1;
    windows.checkedList = list;
    load();
    list->row(1)->setChecked(false);
    editor.rebuildActionTable();
    EXPECT_EQ(windows.checkedItems.size(), static_cast<size_t>(Rows));
    EXPECT_EQ(toText(actions()[Rows - 1].array()[rowField::Activation]), "Deactivated");
}

// Without a loaded editor a save makes the table what a rebuild of an editor filled from it
// leaves, row for row, also from rows stored in forms the editor does not write itself.
TEST_F(TableConversion, theRowsAsTheEditorSavesThemEqualARebuildOfAFreshFill)
{
    VarArray stored = mixedTable();
    const VarArray numbers =
        VarArray::ofValues({Variant::fromDouble(0.5), Variant(0), Variant(1), Variant(""),
                            Variant("255"), Variant(0), Variant(255)});
    const VarArray wideTarget =
        VarArray::ofValues({Variant("A"), Variant("T1"), Variant(""), Variant(2), Variant("7")});
    const VarArray noTarget =
        VarArray::ofValues({Variant("B"), Variant("T1"), Variant(""), Variant(300), Variant(1)});
    stored.append(
        actionRow("/numbers", {"f"}, {{condition(">", numbers, wideTarget)}}, 44, "activated"));
    stored.append(actionRow("/none", {"i", "T"}, {{never()}}, 45));
    stored.append(actionRow("/first", {"f"}, {{condition("any", range("", "0", "1"), noTarget)}},
                            46, "Deactivated"));
    stored.append(actionRow("/two", {"f", "f"},
                            {{condition("<", range("1", "0", "1"), target("A")),
                              condition("any", range("", "0", "1"), target("C"))}},
                            46));
    VarArray withoutEditor = stored;
    makeRowsAsTheEditorSavesThem(withoutEditor);

    state.actionTable.replace(stored);
    windows.listItemCount = static_cast<int>(stored.size()) + 1;
    windows.checkedList = list;
    load();
    editor.rebuildActionTable();
    ASSERT_EQ(actions().size(), withoutEditor.size());
    for (int32_t i = 0; i < static_cast<int32_t>(withoutEditor.size()); ++i)
        EXPECT_EQ(actions()[i], withoutEditor[i]) << "row " << i + 1;
    EXPECT_EQ(withoutEditor.size(), 6u);
}
