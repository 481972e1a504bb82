// The list view wired to the editor's rules as the editor window wires them (setUpList,
// wireList): what a user does on the screen reaches the rules, and a rule that fails ends only
// its event.
#include "ui/editor/view/ListWiring.h"

#include "core/VbError.h"
#include "engine/OSCHandler.h"
#include "tests/support/FakeHost.h"
#include "tests/support/FakeWindows.h"
#include "tests/support/OscBuilder.h"

#include <QTest>

#include <gtest/gtest.h>

namespace tarvex::test {
namespace {

using Texts = std::vector<std::string>;

class ListWiring : public ::testing::Test {
protected:
    ListWiring()
    {
        state.hostHelper = helper;
        windows.cmp = helper;
        setUpList(list, helper);
        wireList(view, [this]() -> ActionListEditor & {
            if (!rules)
                raise(errc::ObjectVariableNotSet); // as the window does while unloaded
            return *rules;
        });
        view.resize(1600, 400);
        view.show();
    }
    void learnFader()
    {
        windows.learning = true;
        handleDatagram(state, OscBuilder().message("/fader1", ",f").f32(0.25f).bytes());
        handleDatagram(state, OscBuilder().message("/fader1", ",f").f32(0.75f).bytes());
        windows.learning = false;
    }
    void load()
    {
        rules->fillRows();
        rules->addBlankRow();
    }
    void doubleClick(int position, int column)
    {
        const QRect cell = view.visualRect(view.model()->index(position - 1, column));
        QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, cell.center());
    }
    Texts row(int position, int first, int last)
    {
        Texts texts{list->row(position)->text()};
        for (int column = first; column <= last; ++column)
            texts.push_back(list->row(position)->subItem(column));
        return texts;
    }

    std::shared_ptr<FakeHostHelper> helper = std::make_shared<FakeHostHelper>();
    FakeWindows windows;
    EngineState state{windows};
    ActionListView view;
    ListWidgetPtr list = view.list();
    std::unique_ptr<ActionListEditor> rules = std::make_unique<ActionListEditor>(
        state, list, helper, [this] { return windows.learning; });
};

TEST_F(ListWiring, aDoubleClickAChoiceAndTypingReachTheRules)
{
    learnFader();
    load();
    doubleClick(1, 0);
    ASSERT_TRUE(view.dropDownOpen());
    EXPECT_EQ(view.dropDownEntries(), (Texts{"", "/fader1"}));
    ASSERT_TRUE(view.chooseDropDownEntry("/fader1"));
    EXPECT_EQ(list->rowCount(), 2); // the rules added the next blank row

    view.requestEdit(1, 1);
    ASSERT_TRUE(view.chooseDropDownEntry("1. Float"));
    view.requestEdit(1, 3);
    ASSERT_TRUE(view.typeIntoTextEditor("0.5"));
    EXPECT_EQ(row(1, 1, 5), (Texts{"/fader1", "1. Float", "=", "0.5", "0.25", "0.75"}));
}

TEST_F(ListWiring, theDeleteKeyRemovesTheSelectedFilledRow)
{
    learnFader();
    load();
    view.requestEdit(1, 0);
    ASSERT_TRUE(view.chooseDropDownEntry("/fader1"));
    ASSERT_EQ(list->rowCount(), 2);
    view.selectRow(0);
    QTest::keyClick(&view, Qt::Key_Delete);
    EXPECT_EQ(list->rowCount(), 1);
    EXPECT_EQ(list->row(1)->text(), "");
}

TEST_F(ListWiring, aRuleThatFailsEndsOnlyItsEvent)
{
    load();
    rules.reset();
    doubleClick(1, 0);
    view.requestEdit(1, 0);
    EXPECT_FALSE(view.dropDownOpen());
    EXPECT_EQ(list->rowCount(), 1);
}

} // namespace
} // namespace tarvex::test
