#include "host/objects/DmxTargetFactory.h"

#include "tests/support/FakeListWidget.h"
#include "ui/editor/ActionListEditor.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarvex::host {
namespace {

using test::FakeListWidget;

constexpr int16_t FirstTargetColumn = 10;

// Drives the factory the way the plug-in's editor does: its columns first, the factory's columns
// at set-up, a blank target per row, and cell edits in three steps.
class TargetFactoryTest : public ::testing::Test {
protected:
    std::shared_ptr<Universes> universes = std::make_shared<Universes>(4);
    std::shared_ptr<DmxTargetFactory> factory =
        std::make_shared<DmxTargetFactory>(universes, std::make_shared<HostEvents>());
    std::shared_ptr<FakeListWidget> list = std::make_shared<FakeListWidget>();

    void SetUp() override
    {
        for (const ListColumn &column : EditorColumns)
            list->addColumn(column.header, column.widthTwips);
        factory->SetupList(list);
        list->calls.clear();
    }

    HostTargetPtr blankTarget() { return factory->CreateTarget("", "", "", 0, 0); }

    ListRowPtr addFilledRow(const std::string &address)
    {
        ListRowPtr row = list->addRow(address);
        for (int column = 1; column <= 13; ++column)
            row->setSubItem(column, "");
        return row;
    }

    // The edit-request event: the widget has set the edit cell; the editor calls the factory.
    void beginEdit(const HostTargetPtr &target, const ListRowPtr &row, int column)
    {
        list->setEditCell(row->position(), column);
        factory->BeginCellEdit(target, list, FirstTargetColumn);
    }

    // The edit-done event: the editor calls the factory, then writes the chosen text.
    void finishEdit(const HostTargetPtr &target, const ListRowPtr &row, int column,
                    const std::string &text)
    {
        list->setEditCell(row->position(), column);
        factory->EndCellEdit(target, list, FirstTargetColumn);
        row->setSubItem(column, text);
    }

    void edit(const HostTargetPtr &target, const ListRowPtr &row, int column,
              const std::string &text)
    {
        beginEdit(target, row, column);
        finishEdit(target, row, column, text);
    }

    // What the editor's getCommand reads back.
    static TargetValues readBack(const HostTargetPtr &target)
    {
        TargetValues v;
        v.t1 = target->T1();
        v.t3 = target->T3();
        v.t0 = target->T0();
        v.t4 = target->T4();
        v.t2 = target->T2();
        return v;
    }
};

TEST_F(TargetFactoryTest, addsItsSevenColumnsAfterTheEditorsTen)
{
    ASSERT_EQ(list->columnCount(), 17);
    EXPECT_EQ(list->headers[10], "Ziel");
    EXPECT_EQ(list->headers[11], "Universum");
    EXPECT_EQ(list->headers[12], "Kanal");
    EXPECT_EQ(list->headers[13], "Name");
    EXPECT_EQ(list->headers[14], "Treffer");
    EXPECT_EQ(list->headers[15], "Kurve");
    EXPECT_EQ(list->headers[16], "Fade ms");
    EXPECT_THROW(factory->SetupList(std::make_shared<Object>()), VbError);
}

TEST_F(TargetFactoryTest, opensADropDownOrTextEditorWithTheTargetsValue)
{
    ListRowPtr row = addFilledRow("/fader1");
    HostTargetPtr target = factory->CreateTarget("DMX", "Spot", "fade=300", 3, 17);

    beginEdit(target, row, 10);
    EXPECT_EQ(list->dropDownEntries, (std::vector<std::string>{"DMX", "DMX16", "Deaktiviert"}));
    EXPECT_EQ(list->calls.back(), "setDropDownText DMX");

    beginEdit(target, row, 11);
    EXPECT_EQ(list->dropDownEntries, (std::vector<std::string>{"1", "2", "3", "4"}));
    EXPECT_EQ(list->calls.back(), "setDropDownText 3");

    beginEdit(target, row, 12);
    ASSERT_EQ(list->dropDownEntries.size(), 512u);
    EXPECT_EQ(list->dropDownEntries.front(), "1");
    EXPECT_EQ(list->dropDownEntries.back(), "512");
    EXPECT_EQ(list->calls.back(), "setDropDownText 17");

    list->calls.clear();
    beginEdit(target, row, 13);
    EXPECT_EQ(list->calls, (std::vector<std::string>{"openTextEditor", "setTextEditorText Spot"}));

    list->calls.clear();
    beginEdit(target, row, 14); // the hit count is never edited
    EXPECT_TRUE(list->calls.empty());

    beginEdit(target, row, 15);
    EXPECT_EQ(list->dropDownEntries,
              (std::vector<std::string>{"linear", "square", "root", "s-curve"}));
    EXPECT_EQ(list->calls.back(), "setDropDownText linear");

    list->calls.clear();
    beginEdit(target, row, 16);
    EXPECT_EQ(list->calls, (std::vector<std::string>{"openTextEditor", "setTextEditorText 300"}));
}

TEST_F(TargetFactoryTest, leavesTheEditorsOwnColumnsAlone)
{
    ListRowPtr row = addFilledRow("/fader1");
    HostTargetPtr target = factory->CreateTarget("DMX", "Spot", "", 3, 17);
    beginEdit(target, row, 8); // the editor asks for its limit columns too
    beginEdit(target, row, 9);
    EXPECT_TRUE(list->calls.empty());

    for (int column = 1; column <= 9; ++column)
        finishEdit(target, row, column, "99");
    EXPECT_EQ(readBack(target), (TargetValues{"DMX", "Spot", "", 3, 17}));
}

TEST_F(TargetFactoryTest, theChosenTextsBecomeTheTargetsValues)
{
    ListRowPtr row = addFilledRow("/fader1");
    HostTargetPtr target = blankTarget();

    edit(target, row, 10, "DMX");
    edit(target, row, 11, "2");
    edit(target, row, 12, "7");
    edit(target, row, 13, "Spot links");
    edit(target, row, 15, "square");
    edit(target, row, 16, " 300 ");
    edit(target, row, 16, "soon"); // no fade time: T2 stays

    EXPECT_EQ(readBack(target), (TargetValues{"DMX", "Spot links", "curve=square;fade=300", 2, 7}));
    edit(target, row, 15, "linear");
    edit(target, row, 16, "0");
    EXPECT_EQ(target->T2(), Variant(""));
    int32_t value = 200, min = 0, max = 255;
    target->Execute(value, min, max, Variant());
    EXPECT_EQ(universes->level(2, 7), 200);
}

// A row's "Treffer" cell counts the action row the plug-in says it stands for, not its target:
// two rows on one channel count apart, a row standing for none (not saved) shows nothing. Only
// a changed count is written, and a row that has left the list is forgotten.
TEST_F(TargetFactoryTest, hitCellsCountTheActionRowTheirListRowStandsFor)
{
    ListRowPtr first = addFilledRow("/fader1");
    ListRowPtr second = addFilledRow("/fader2");
    ListRowPtr unsaved = addFilledRow("/fader3");
    for (const ListRowPtr &row : {first, second, unsaved})
        factory->ShowTargetInRow(factory->CreateTarget("DMX", "Spot", "", 1, 7), row,
                                 FirstTargetColumn);
    factory->showRowHits(first, 11);
    factory->showRowHits(second, 12);
    EXPECT_EQ(first->subItem(14), "0");
    EXPECT_EQ(unsaved->subItem(14), "");

    // The engine's own target, told the first row twice.
    HostTargetPtr engines = factory->CreateTarget("DMX", "Spot", "", 1, 7);
    int32_t value = 10, min = 0, max = 255;
    for (int n = 0; n < 2; ++n) {
        factory->hits()->setExecutingRow(11);
        engines->Execute(value, min, max, Variant());
    }
    second->setSubItem(14, "untouched");
    factory->refreshHitCells();
    EXPECT_EQ(first->subItem(14), "2");
    EXPECT_EQ(second->subItem(14), "untouched") << "only a changed count is written";
    EXPECT_EQ(unsaved->subItem(14), "");
    // A new target shown in the row keeps the action row it stands for.
    factory->ShowTargetInRow(blankTarget(), first, FirstTargetColumn);
    EXPECT_EQ(first->subItem(14), "2");

    list->removeRow(1);
    factory->hits()->setExecutingRow(11);
    engines->Execute(value, min, max, Variant());
    EXPECT_NO_THROW(factory->refreshHitCells());
    EXPECT_NO_THROW(factory->showRowHits(first, 11));
}

TEST_F(TargetFactoryTest, aLastEditIsTakenByTheNextCallOfAnyKind)
{
    ListRowPtr row = addFilledRow("/fader1");
    HostTargetPtr target = blankTarget();

    edit(target, row, 10, "DMX");
    beginEdit(target, row, 10); // reopening shows the choice just made
    EXPECT_EQ(list->calls.back(), "setDropDownText DMX");

    edit(target, row, 12, "9");
    int32_t value = 255, min = 0, max = 255;
    edit(target, row, 11, "1");
    target->Execute(value, min, max, Variant()); // executing takes the edit too
    EXPECT_EQ(universes->level(1, 9), 255);

    edit(target, row, 13, "Front");
    ListRowPtr other = addFilledRow("/fader2");
    factory->ShowTargetInRow(target, other, FirstTargetColumn);
    EXPECT_EQ(other->subItem(13), "Front");
}

TEST_F(TargetFactoryTest, numberCellsThatDoNotReadKeepTheValue)
{
    ListRowPtr row = addFilledRow("/fader1");
    HostTargetPtr target = factory->CreateTarget("DMX", "", "", 3, 17);

    edit(target, row, 11, "256");
    edit(target, row, 12, "x");
    EXPECT_EQ(target->T3(), 3);
    EXPECT_EQ(target->T4(), 17);

    edit(target, row, 11, " 255 ");
    edit(target, row, 12, "-4");
    EXPECT_EQ(target->T3(), 255);
    EXPECT_EQ(target->T4(), -4);

    edit(target, row, 11, "");
    edit(target, row, 12, "");
    EXPECT_EQ(target->T3(), 0);
    EXPECT_EQ(target->T4(), 0);
}

TEST_F(TargetFactoryTest, anEditOfARowRemovedBeforeItIsTakenIsVoid)
{
    ListRowPtr row = addFilledRow("/fader1");
    HostTargetPtr target = factory->CreateTarget("DMX", "", "", 1, 1);
    list->setEditCell(1, 12);
    factory->EndCellEdit(target, list, FirstTargetColumn);
    list->removeRow(1);

    EXPECT_EQ(target->T4(), 1);
    EXPECT_NO_THROW(factory->CreateTarget("", "", "", 0, 0));
}

TEST_F(TargetFactoryTest, showsTheTargetInItsCells)
{
    ListRowPtr row = addFilledRow("/fader1");
    ObjectPtr shown =
        factory->ShowTargetInRow(factory->CreateTarget("DMX", "Spot", "note", 2, 300), row, 10);
    EXPECT_EQ(shown, row);
    EXPECT_EQ(row->subItem(9), "");
    EXPECT_EQ(row->subItem(10), "DMX");
    EXPECT_EQ(row->subItem(11), "2");
    EXPECT_EQ(row->subItem(12), "300");
    EXPECT_EQ(row->subItem(13), "Spot");
    EXPECT_EQ(row->subItem(14), "");       // no action row said yet
    EXPECT_EQ(row->subItem(15), "linear"); // a note in T2 means the defaults
    EXPECT_EQ(row->subItem(16), "0");

    factory->ShowTargetInRow(factory->CreateTarget(Variant::null(), 7, "", 0, 0), row, 10);
    EXPECT_EQ(row->subItem(10), "");
    EXPECT_EQ(row->subItem(11), "");
    EXPECT_EQ(row->subItem(12), "");
    EXPECT_EQ(row->subItem(13), "7");
}

TEST_F(TargetFactoryTest, rejectsObjectsOfAnotherKind)
{
    ListRowPtr row = addFilledRow("/fader1");
    HostTargetPtr target = blankTarget();
    EXPECT_THROW(factory->ShowTargetInRow(target, list, 10), VbError); // a list is no row
    EXPECT_THROW(factory->ShowTargetInRow(target, row, 0), VbError);
    EXPECT_THROW(factory->BeginCellEdit(target, row, 10), VbError);
}

} // namespace
} // namespace tarvex::host
