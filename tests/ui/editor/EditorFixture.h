#pragma once
// The actions editor's list as the window sets it up: the real view with the editor's columns,
// its events wired to an ActionListEditor over a fresh plug-in state and recording host fakes.
// Edits are driven as a user makes them: double-click the cell, pick an entry or type and press
// Enter.

#include "engine/OSCHandler.h"
#include "tests/support/ActionRows.h"
#include "tests/support/FakeHost.h"
#include "tests/support/FakeWindows.h"
#include "tests/support/OscBuilder.h"
#include "tests/support/Printers.h"
#include "ui/editor/ActionListEditor.h"
#include "ui/editor/view/ActionListView.h"

#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace tarvex::test {

using Texts = std::vector<std::string>;

class EditorTest : public ::testing::Test {
protected:
    EditorTest()
    {
        state.hostHelper = helper;
        windows.cmp = helper;
        list->setCheckBoxes(true);
        const std::pair<const char *, int> columns[] = {
            {"OSC-Address", 2295}, {"Wert", 1155}, {"Operator", 1000}, {"Vergleichswert", 1500},
            {"inMin", 800},        {"inMax", 800}, {"outMin", 800},    {"outMax", 800},
            {"Min", 800},          {"Max", 800}};
        for (const auto &[header, width] : columns)
            list->addColumn(header, width);
        helper->factory->listColumns = {"Ziel", "Kanal", "Stufe", "Art"};
        helper->factory->drawTargets = true;
        helper->factory->SetupList(list);
        view.onEditRequest = [this](const ListRowPtr &row) { editor.beginCellEdit(row); };
        view.onDropDownDone = [this](const std::string &, const std::string &text) {
            editor.applyCellEdit(text);
        };
        view.onTextEditDone = view.onDropDownDone;
        view.onQuery = [](const std::string &, bool &answer) { answer = true; };
        view.resize(1600, 400);
        view.show();
    }

    // Learn mode receives one datagram.
    void learn(const OscBuilder &datagram)
    {
        windows.learning = true;
        handleDatagram(state, datagram.bytes());
        windows.learning = false;
    }
    // What the window does when it loads.
    void load()
    {
        editor.fillRows();
        editor.addBlankRow();
    }

    void doubleClick(int position, int column)
    {
        const QRect cell = view.visualRect(view.model()->index(position - 1, column));
        ASSERT_TRUE(cell.isValid()) << "row " << position << " column " << column;
        QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, cell.center());
    }
    void choose(int position, int column, const std::string &entry)
    {
        doubleClick(position, column);
        ASSERT_TRUE(view.dropDownOpen()) << "no drop-down in row " << position << ", " << column;
        ASSERT_TRUE(view.chooseDropDownEntry(entry)) << "no entry " << entry;
    }
    void type(int position, int column, const std::string &text)
    {
        doubleClick(position, column);
        ASSERT_TRUE(view.textEditorOpen())
            << "no text editor in row " << position << ", " << column;
        QLineEdit *lineEdit = view.textEditor();
        lineEdit->selectAll();
        QTest::keyClick(lineEdit, Qt::Key_Backspace);
        QTest::keyClicks(lineEdit, QString::fromStdString(text));
        QTest::keyClick(lineEdit, Qt::Key_Return);
    }
    // The entries a cell's drop-down offers; the drop-down is closed again.
    Texts entriesOf(int position, int column)
    {
        doubleClick(position, column);
        Texts entries = view.dropDownOpen() ? view.dropDownEntries() : Texts{"(none)"};
        view.cancelEdit();
        return entries;
    }
    bool opensEditor(int position, int column)
    {
        doubleClick(position, column);
        const bool open = view.dropDownOpen() || view.textEditorOpen();
        view.cancelEdit();
        return open;
    }

    std::string cell(int position, int column)
    {
        ListRowPtr row = list->row(position);
        return column == 0 ? row->text() : row->subItem(column);
    }
    Texts cells(int position, int first, int last)
    {
        Texts texts;
        for (int column = first; column <= last; ++column)
            texts.push_back(cell(position, column));
        return texts;
    }
    // The first value of each row's target, "(none)" for a row without one.
    Texts targetNames()
    {
        Texts names;
        for (const HostTargetPtr &target : editor.rowTargets())
            names.push_back(target ? toText(target->T0()) : "(none)");
        return names;
    }
    const VarArray &actions() const { return state.actionTable.rows(); }
    std::vector<std::string> &calls() { return helper->log->calls; }

    std::shared_ptr<FakeHostHelper> helper = std::make_shared<FakeHostHelper>();
    FakeWindows windows;
    EngineState state{windows};
    ActionListView view;
    ListWidgetPtr list = view.list();
    ActionListEditor editor{state, list, helper, [this] { return windows.learning; }};
};

// The five creation values of a blank target.
inline VarArray blankTarget()
{
    return VarArray::ofValues(
        {Variant(""), Variant(""), Variant(""), Variant::byte(0), Variant(0)});
}

} // namespace tarvex::test
