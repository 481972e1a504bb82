// Switching single actions by their number, as the host's cues do.
#include "tests/engine/EngineFixture.h"

using namespace tarvex;
using namespace tarvex::test;

namespace {
Variant switchableRow(const std::string &address, int32_t id, const std::string &activation)
{
    return actionRow(address, {"f"}, {{condition("any", range("", "0", "1"), target(address))}}, id,
                     activation);
}
std::string activationOf(const EngineState &state, int32_t index)
{
    return state.actionTable.rows()[index].array()[4].asString();
}
} // namespace

using Activation = EngineTest;

TEST_F(Activation, switchesEveryRowWithTheIdAndItsListItem)
{
    setTable(table({switchableRow("/a", 7, "Deactivated"), switchableRow("/b", 8, "Deactivated"),
                    switchableRow("/c", 7, "Deactivated")}));
    windows.listItemCount = 4; // three rows and the blank entry row
    activateAction(state, 7);
    EXPECT_EQ(activationOf(state, 0), "Activated");
    EXPECT_EQ(activationOf(state, 1), "Deactivated");
    EXPECT_EQ(activationOf(state, 2), "Activated");
    EXPECT_EQ(windows.checkedItems, (std::vector<std::pair<int, bool>>{{1, true}, {3, true}}));
    EXPECT_TRUE(isActionActivated(state, 7));

    deactivateAction(state, 7);
    EXPECT_FALSE(isActionActivated(state, 7));
    EXPECT_EQ(windows.checkedItems.back(), (std::pair<int, bool>{3, false}));
}

TEST_F(Activation, anUnknownIdOrAnEmptyTableChangesNothing)
{
    activateAction(state, 1);
    EXPECT_FALSE(isActionActivated(state, 1));
    setTable(table({switchableRow("/a", 7, "Deactivated")}));
    windows.listItemCount = 2;
    activateAction(state, 8);
    EXPECT_EQ(activationOf(state, 0), "Deactivated");
    EXPECT_TRUE(windows.checkedItems.empty());
}

TEST_F(Activation, leavesTheListAloneWhileItHasNoItems)
{
    setTable(table({switchableRow("/a", 7, "Deactivated")}));
    activateAction(state, 7);
    EXPECT_EQ(activationOf(state, 0), "Activated");
    EXPECT_TRUE(windows.checkedItems.empty());
}

TEST_F(Activation, isActivatedAsksTheFirstRowWithAKnownState)
{
    setTable(table({switchableRow("/a", 7, "activated"), switchableRow("/b", 7, "Activated"),
                    switchableRow("/c", 7, "Deactivated")}));
    EXPECT_TRUE(isActionActivated(state, 7));
    setTable(table({switchableRow("/a", 7, "Deactivated"), switchableRow("/b", 7, "Activated")}));
    EXPECT_FALSE(isActionActivated(state, 7));
}

TEST_F(Activation, countsListItemsOverNonEmptyRowsAndWritesTheRowItself)
{
    setTable(table({Variant(), switchableRow("/a", 5, "Deactivated")}));
    windows.listItemCount = 2;
    activateAction(state, 5);
    EXPECT_TRUE(state.actionTable.rows()[0].isEmpty());
    EXPECT_EQ(activationOf(state, 1), "Activated");
    EXPECT_EQ(windows.checkedItems, (std::vector<std::pair<int, bool>>{{1, true}}));
}

TEST_F(Activation, anActivatedRowRunsAgain)
{
    setTable(table({switchableRow("/a", 5, "Deactivated")}));
    receiveFloat("/a", 1);
    activateAction(state, 5);
    receiveFloat("/a", 1);
    EXPECT_EQ(executions(), (Calls{"Execute /a 255 0 255"}));
}

TEST_F(Activation, passesOverARowWithoutAnActivationSlotAndSwitchesTheOthers)
{
    // Five slots, but from index -1: the id is at 3 and there is no index 4.
    VarArray damaged;
    damaged.redim({{-1, 3}});
    damaged[3] = Variant(7);
    setTable(table({switchableRow("/a", 7, "Activated"), Variant(damaged),
                    switchableRow("/c", 7, "Activated")}));
    windows.listItemCount = 4;
    deactivateAction(state, 7);
    EXPECT_EQ(activationOf(state, 0), "Deactivated");
    EXPECT_EQ(state.actionTable.rows()[1].array(), damaged);
    EXPECT_EQ(activationOf(state, 2), "Deactivated");
    EXPECT_EQ(windows.checkedItems, (std::vector<std::pair<int, bool>>{{1, false}, {3, false}}));
}
