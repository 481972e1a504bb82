#pragma once
// A recording fake of the editor's list widget: rows hold their texts in memory, and every call
// on the drop-down and text editors and every column added lands in `calls`, in order, as a line
// such as "addDropDownEntry DMX" or "addColumn Kanal 800". Removed rows raise error 91 like the
// real widget's row handles. Which editor is open, and the text it was given, is kept as the
// view keeps it: until the edit ends (closeEditors) or a row is removed.

#include "core/VbError.h"
#include "plugin/api/ListWidget.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tarvex::test {

class FakeListRow : public IListRow {
public:
    explicit FakeListRow(std::string text) : m_text(std::move(text)) {}

    std::string text() override
    {
        alive();
        return m_text;
    }
    void setText(const std::string &text) override
    {
        alive();
        m_text = text;
    }
    std::string subItem(int column) override
    {
        alive();
        auto it = m_cells.find(column);
        return it == m_cells.end() ? std::string() : it->second;
    }
    void setSubItem(int column, const std::string &text) override
    {
        alive();
        m_cells[column] = text;
    }
    bool checked() override
    {
        alive();
        return m_checked;
    }
    void setChecked(bool checked) override
    {
        alive();
        m_checked = checked;
    }
    int position() override
    {
        alive();
        return m_position;
    }

    void place(int position) { m_position = position; }
    void remove() { m_removed = true; }

private:
    void alive() const
    {
        if (m_removed)
            throw VbError(91, "Object variable or With block variable not set");
    }

    std::string m_text;
    std::map<int, std::string> m_cells;
    bool m_checked = false;
    bool m_removed = false;
    int m_position = 0;
};

class FakeListWidget : public IListWidget {
public:
    void addColumn(const std::string &header, int widthTwips) override
    {
        headers.push_back(header);
        log("addColumn " + header + " " + std::to_string(widthTwips));
    }
    int columnCount() override { return static_cast<int>(headers.size()); }

    ListRowPtr addRow(const std::string &text) override
    {
        auto row = std::make_shared<FakeListRow>(text);
        m_rows.push_back(row);
        row->place(rowCount());
        return row;
    }
    void removeRow(int position) override
    {
        closeEditors();
        m_rows.at(static_cast<size_t>(position - 1))->remove();
        m_rows.erase(m_rows.begin() + (position - 1));
        for (size_t i = 0; i < m_rows.size(); ++i)
            m_rows[i]->place(static_cast<int>(i + 1));
    }
    int rowCount() override { return static_cast<int>(m_rows.size()); }
    ListRowPtr row(int position) override { return m_rows.at(static_cast<size_t>(position - 1)); }
    void setCheckBoxes(bool) override {}

    int editColumn() override { return m_editColumn; }
    int editRow() override { return m_editRow; }
    // What the widget does before its edit-request event.
    void setEditCell(int row, int column)
    {
        m_editRow = row;
        m_editColumn = column;
    }

    void clearDropDown() override { log("clearDropDown"); }
    void addDropDownEntry(const std::string &text) override
    {
        dropDownEntries.push_back(text);
        log("addDropDownEntry " + text);
    }
    void openDropDown() override
    {
        dropDownOpen = true;
        log("openDropDown");
    }
    void setDropDownText(const std::string &text) override
    {
        dropDownText = text;
        log("setDropDownText " + text);
    }
    void openTextEditor() override
    {
        textEditorOpen = true;
        log("openTextEditor");
    }
    void setTextEditorText(const std::string &text) override
    {
        textEditorText = text;
        log("setTextEditorText " + text);
    }
    // The edit ended (an entry picked, Enter, Escape) or another begins.
    void closeEditors() { dropDownOpen = textEditorOpen = false; }

    std::vector<std::string> headers;
    std::vector<std::string> calls;
    // Entries added to the drop-down since the last clearDropDown.
    std::vector<std::string> dropDownEntries;
    bool dropDownOpen = false, textEditorOpen = false;
    std::string dropDownText, textEditorText;

private:
    void log(std::string line)
    {
        if (line == "clearDropDown")
            dropDownEntries.clear();
        calls.push_back(std::move(line));
    }

    std::vector<std::shared_ptr<FakeListRow>> m_rows;
    int m_editColumn = 0;
    int m_editRow = 0;
};

} // namespace tarvex::test
