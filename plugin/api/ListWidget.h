#pragma once
// The editor's list widget as the host's target factory sees it: a report view whose rows have a
// text (column 0), sub-item cells (columns 1 and up) and a check box, with one in-cell drop-down
// editor and one in-cell text editor that open on the cell being edited. The editor owns the
// widget; the factory adds its target columns (10 and up) at list set-up and edits and draws
// those cells through this interface.
//
//   auto list = std::dynamic_pointer_cast<IListWidget>(listObject);
//   list->addColumn("Kanal", 800);
//   ListRowPtr row = list->row(list->editRow());
//   row->setSubItem(10, "1/7");
//
// Positions of rows are 1-based; columns are 0-based (0 is the row's own text). Widths are in
// twips (1/1440 inch). Booleans here are plain C++ bools: the list widget is ours, not the host's.

#include "core/Object.h"

#include <memory>
#include <string>

namespace tarvex {

// One row of the list. A handle stays valid while its row is in the list; once the row is
// removed, every member raises error 91 ("Object variable not set").
class IListRow : public Object {
public:
    virtual std::string text() = 0;
    virtual void setText(const std::string &text) = 0;
    // Sub-item cells: column 1 and up. A column the row has no cell for reads as "".
    virtual std::string subItem(int column) = 0;
    virtual void setSubItem(int column, const std::string &text) = 0;
    virtual bool checked() = 0;
    virtual void setChecked(bool checked) = 0;
    // The row's current 1-based position in the list.
    virtual int position() = 0;
};
using ListRowPtr = std::shared_ptr<IListRow>;

class IListWidget : public Object {
public:
    // Column headers.
    virtual void addColumn(const std::string &header, int widthTwips) = 0;
    virtual int columnCount() = 0;

    // Rows.
    virtual ListRowPtr addRow(const std::string &text) = 0;
    virtual void removeRow(int position) = 0;
    virtual int rowCount() = 0;
    virtual ListRowPtr row(int position) = 0;
    virtual void setCheckBoxes(bool shown) = 0;

    // The cell the current edit belongs to (set by the widget before its edit-request event).
    virtual int editColumn() = 0;
    virtual int editRow() = 0;

    // The drop-down editor.
    virtual void clearDropDown() = 0;
    virtual void addDropDownEntry(const std::string &text) = 0;
    virtual void openDropDown() = 0;
    virtual void setDropDownText(const std::string &text) = 0;

    // The text editor.
    virtual void openTextEditor() = 0;
    virtual void setTextEditorText(const std::string &text) = 0;
};
using ListWidgetPtr = std::shared_ptr<IListWidget>;

} // namespace tarvex
