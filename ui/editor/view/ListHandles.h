#pragma once
// The reference-counted faces of ActionListView that the editor and the host's target factory
// hold: the list itself and one handle per row. The view owns its rows; a handle only points at
// one, and is told when the row (or the whole view) goes away.

#include "plugin/api/ListWidget.h"

#include <QPointer>

#include <map>

class QTableWidgetItem;

namespace tarvex {

class ActionListView;

class ListRowHandle : public IListRow {
public:
    ListRowHandle(ActionListView *view, QTableWidgetItem *firstCell)
        : m_view(view), m_firstCell(firstCell)
    {}

    std::string text() override;
    void setText(const std::string &text) override;
    std::string subItem(int column) override;
    void setSubItem(int column, const std::string &text) override;
    bool checked() override;
    void setChecked(bool checked) override;
    int position() override;

    // The row left the list: every member raises error 91 from now on.
    void detach() { m_firstCell = nullptr; }
    QTableWidgetItem *firstCell() const { return m_firstCell; }
    // Cells beyond the view's columns; they move into the table when their column is added.
    std::map<int, std::string> &extraCells() { return m_extraCells; }
    const std::map<int, std::string> &extraCells() const { return m_extraCells; }

private:
    ActionListView &view();

    ActionListView *m_view; // borrowed: the view detaches its handles before it goes
    QTableWidgetItem *m_firstCell;
    std::map<int, std::string> m_extraCells;
};

class ListWidgetFacade : public IListWidget {
public:
    explicit ListWidgetFacade(ActionListView *view) : m_view(view) {}

    void addColumn(const std::string &header, int widthTwips) override;
    int columnCount() override;
    ListRowPtr addRow(const std::string &text) override;
    void removeRow(int position) override;
    int rowCount() override;
    ListRowPtr row(int position) override;
    void setCheckBoxes(bool shown) override;
    int editColumn() override;
    int editRow() override;
    void clearDropDown() override;
    void addDropDownEntry(const std::string &text) override;
    void openDropDown() override;
    void setDropDownText(const std::string &text) override;
    void openTextEditor() override;
    void setTextEditorText(const std::string &text) override;

private:
    ActionListView &view();

    QPointer<ActionListView> m_view;
};

} // namespace tarvex
