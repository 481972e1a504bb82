#pragma once
// The actions editor's rules on the plain list fake, set up as the window sets up its list
// (setUpList), over a fresh engine state and recording host fakes. Edits arrive as the list view
// raises them: a request on a cell (a double-click), then the entry picked or the text typed.

#include "engine/OSCHandler.h"
#include "tests/support/ActionRows.h"
#include "tests/support/FakeHost.h"
#include "tests/support/FakeListWidget.h"
#include "tests/support/FakeWindows.h"
#include "tests/support/OscBuilder.h"
#include "tests/support/Printers.h"
#include "ui/editor/ActionListEditor.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tarvex::test {

using Texts = std::vector<std::string>;

class EditorTest : public ::testing::Test {
protected:
    EditorTest()
    {
        state.hostHelper = helper;
        windows.cmp = helper;
        helper->factory->listColumns = {"Ziel", "Kanal", "Stufe", "Art"};
        helper->factory->drawTargets = true;
        setUpList(list, helper);
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

    // What a double-click on the cell raises: the open editor closes, the cell becomes the edit
    // cell, and the rules open its editor (or none).
    void doubleClick(int position, int column)
    {
        fake->closeEditors();
        fake->setEditCell(position, column);
        editor.beginCellEdit(list->row(position));
    }
    void choose(int position, int column, const std::string &entry)
    {
        doubleClick(position, column);
        ASSERT_TRUE(fake->dropDownOpen) << "no drop-down in row " << position << ", " << column;
        const Texts &entries = fake->dropDownEntries;
        ASSERT_NE(std::find(entries.begin(), entries.end(), entry), entries.end())
            << "no entry " << entry;
        fake->closeEditors();
        editor.applyCellEdit(entry);
    }
    void type(int position, int column, const std::string &text)
    {
        doubleClick(position, column);
        ASSERT_TRUE(fake->textEditorOpen) << "no text editor in row " << position << ", " << column;
        fake->closeEditors();
        editor.applyCellEdit(text);
    }
    // Escape: the editor closes without an event.
    void cancelEdit() { fake->closeEditors(); }
    // The entries a cell's drop-down offers; the drop-down is closed again.
    Texts entriesOf(int position, int column)
    {
        doubleClick(position, column);
        Texts entries = fake->dropDownOpen ? fake->dropDownEntries : Texts{"(none)"};
        cancelEdit();
        return entries;
    }
    bool opensEditor(int position, int column)
    {
        doubleClick(position, column);
        const bool open = fake->dropDownOpen || fake->textEditorOpen;
        cancelEdit();
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
    std::shared_ptr<FakeListWidget> fake = std::make_shared<FakeListWidget>();
    ListWidgetPtr list = fake;
    ActionListEditor editor{state, list, helper, [this] { return windows.learning; }};
};

// The five creation values of a blank target.
inline VarArray blankTarget()
{
    return VarArray::ofValues(
        {Variant(""), Variant(""), Variant(""), Variant::byte(0), Variant(0)});
}

} // namespace tarvex::test
