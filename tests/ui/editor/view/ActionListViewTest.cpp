// The list widget on its own: headers, rows and their handles, check boxes, and the edit
// events a user's double-click, keys and choices raise.
#include "ui/editor/view/ActionListView.h"
#include "tests/support/Printers.h"

#include "core/VbError.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

using namespace tarvex;

namespace {
using Texts = std::vector<std::string>;
}

class ListView : public ::testing::Test {
protected:
    ListView()
    {
        list->setCheckBoxes(true);
        list->addColumn("OSC-Address", 2295);
        list->addColumn("Wert", 1155);
        list->addColumn("Operator", 1000);
        view.onEditRequest = [this](const ListRowPtr &row) {
            requests.push_back(std::to_string(row->position()) + "/" +
                               std::to_string(list->editRow()) + "," +
                               std::to_string(list->editColumn()));
        };
        view.onDropDownDone = [this](const std::string &oldText, const std::string &newText) {
            done.push_back("drop-down " + oldText + " -> " + newText);
        };
        view.onTextEditDone = [this](const std::string &oldText, const std::string &newText) {
            done.push_back("text " + oldText + " -> " + newText);
        };
        view.resize(800, 300);
        view.show();
    }
    QPoint centreOf(int position, int column)
    {
        return view.visualRect(view.model()->index(position - 1, column)).center();
    }
    void doubleClick(int position, int column)
    {
        QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, centreOf(position, column));
    }

    ActionListView view;
    ListWidgetPtr list = view.list();
    Texts requests, done;
};

TEST_F(ListView, showsLeftAlignedHeadersInVerdanaWithWidthsInTwips)
{
    EXPECT_EQ(list->columnCount(), 3);
    EXPECT_EQ(view.horizontalHeaderItem(1)->text(), "Wert");
    EXPECT_EQ(view.columnWidth(0), view.twipsToPixels(2295));
    EXPECT_EQ(view.font().family(), "Verdana");
    EXPECT_DOUBLE_EQ(view.font().pointSizeF(), 8.25);
    EXPECT_TRUE(view.showGrid());
    EXPECT_EQ(view.selectionBehavior(), QAbstractItemView::SelectRows);
}

TEST_F(ListView, rowHandlesFollowTheirRowAndFailOnceItIsRemoved)
{
    ListRowPtr a = list->addRow("/a");
    ListRowPtr b = list->addRow("/b");
    ListRowPtr c = list->addRow("/c");
    b->setSubItem(2, "=");
    b->setSubItem(13, "beyond the columns");
    EXPECT_EQ(b->subItem(2), "=");
    EXPECT_EQ(b->subItem(13), "beyond the columns");
    EXPECT_EQ(b->subItem(7), "");
    list->removeRow(2);
    EXPECT_EQ(c->position(), 2);
    EXPECT_EQ(list->row(2)->text(), "/c");
    EXPECT_EQ(list->row(1), a);
    try {
        b->text();
        FAIL() << "a removed row still answers";
    } catch (const VbError &e) {
        EXPECT_EQ(e.number(), 91);
    }
    EXPECT_THROW(list->row(3), VbError);
}

TEST_F(ListView, aColumnAddedLaterShowsTheTextAlreadyWritten)
{
    ListRowPtr row = list->addRow("/a");
    row->setSubItem(3, "kept");
    list->addColumn("Vergleichswert", 1500);
    EXPECT_EQ(view.item(0, 3)->text(), "kept");
    EXPECT_EQ(row->subItem(3), "kept");
}

TEST_F(ListView, tickingACheckBoxChangesOnlyTheCheckedState)
{
    ListRowPtr row = list->addRow("/a");
    EXPECT_FALSE(row->checked());
    const QRect cell = view.visualRect(view.model()->index(0, 0));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {},
                      QPoint(cell.left() + 10, cell.center().y()));
    EXPECT_TRUE(row->checked());
    EXPECT_EQ(row->text(), "/a");
    EXPECT_EQ(requests, Texts{});
    EXPECT_EQ(done, Texts{});
}

TEST_F(ListView, doubleClickAndKeysRequestAnEditOfTheCell)
{
    list->addRow("/a");
    list->addRow("/b");
    doubleClick(2, 1);
    view.setCurrentCell(0, 2);
    QTest::keyClick(&view, Qt::Key_F2);
    QTest::keyClick(&view, Qt::Key_Return);
    EXPECT_EQ(requests, (Texts{"2/2,1", "1/1,2", "1/1,2"}));
}

TEST_F(ListView, theQueryCanRefuseAnEdit)
{
    list->addRow("/a");
    std::string asked;
    view.onQuery = [&](const std::string &text, bool &answer) {
        asked = text;
        answer = false;
    };
    doubleClick(1, 0);
    EXPECT_EQ(asked, "/a");
    EXPECT_EQ(requests, Texts{});
}

TEST_F(ListView, aChosenEntryReportsTheOldAndNewCellText)
{
    list->addRow("/a")->setSubItem(2, "<");
    view.onEditRequest = [this](const ListRowPtr &) {
        list->clearDropDown();
        for (const char *entry : {"=", "<", "any"})
            list->addDropDownEntry(entry);
        list->openDropDown();
        list->setDropDownText("<");
    };
    doubleClick(1, 2);
    ASSERT_TRUE(view.dropDownOpen());
    EXPECT_EQ(view.dropDownEntries(), (Texts{"=", "<", "any"}));
    EXPECT_EQ(view.dropDownText(), "<");
    EXPECT_EQ(view.dropDownEditor()->geometry().topLeft(),
              view.visualRect(view.model()->index(0, 2)).topLeft());
    EXPECT_TRUE(view.chooseDropDownEntry("any"));
    EXPECT_FALSE(view.dropDownOpen());
    EXPECT_EQ(done, Texts{"drop-down < -> any"});
}

TEST_F(ListView, theTextEditorCommitsOnEnterAndEscapeDropsTheEdit)
{
    list->addRow("/a")->setSubItem(1, "old");
    view.onEditRequest = [this](const ListRowPtr &) {
        list->openTextEditor();
        list->setTextEditorText("old");
    };
    doubleClick(1, 1);
    ASSERT_TRUE(view.textEditorOpen());
    QTest::keyClicks(view.textEditor(), "typed");
    QTest::keyClick(view.textEditor(), Qt::Key_Escape);
    EXPECT_FALSE(view.textEditorOpen());
    EXPECT_EQ(done, Texts{});

    doubleClick(1, 1);
    QTest::keyClicks(view.textEditor(), "new");
    QTest::keyClick(view.textEditor(), Qt::Key_Return);
    EXPECT_FALSE(view.textEditorOpen());
    EXPECT_EQ(done, Texts{"text old -> new"});
}

TEST_F(ListView, aDropDownLeftWithoutAChoiceCloses)
{
    list->addRow("/a");
    list->addRow("/b");
    view.onEditRequest = [this](const ListRowPtr &) {
        list->clearDropDown();
        list->addDropDownEntry("=");
        list->openDropDown();
    };
    doubleClick(1, 2);
    ASSERT_TRUE(view.dropDownOpen());
    view.dropDownEditor()->hidePopup();
    EXPECT_TRUE(view.dropDownOpen());
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, centreOf(2, 0));
    EXPECT_FALSE(view.dropDownOpen());
    EXPECT_FALSE(view.dropDownEditor()->isVisible());
    EXPECT_EQ(done, Texts{});
}

TEST(ListViewLifetime, handlesOutlivingTheViewRaiseError91)
{
    ListWidgetPtr list;
    ListRowPtr row;
    {
        ActionListView view;
        list = view.list();
        list->addColumn("OSC-Address", 2295);
        row = list->addRow("/a");
    }
    EXPECT_THROW(list->rowCount(), VbError);
    EXPECT_THROW(row->checked(), VbError);
}
