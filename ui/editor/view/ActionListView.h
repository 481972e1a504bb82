#pragma once
// ActionListView: the editable report view of the actions editor (lvActions). A table with
// column headers, whole-row selection, grid lines and a check box in front of every row; cells
// are edited in place with one drop-down editor and one text editor.
//
// The view knows nothing of actions: it reports what the user wants and the editor decides.
//
//   ActionListView view;
//   view.onEditRequest = [&](const ListRowPtr &row) { editor.beginCellEdit(row); };
//   view.onDropDownDone = [&](const std::string &, const std::string &t) { editor.applyCellEdit(t);
//   }; ListWidgetPtr list = view.list();   // what the editor and the host's factory work with
//
// An edit runs like this: the user double-clicks a cell (or presses F2 or Enter on it); the view
// asks onQuery with the cell's text whether it may be edited, sets the edit cell and raises
// onEditRequest. The handler opens one of the editors through IListWidget. When the user picks a
// drop-down entry, or presses Enter in (or leaves) the text editor, the editor closes and
// onDropDownDone or onTextEditDone gets the cell's text before the edit and the new text.
// Escape closes an editor without an event. Ticking a check box changes only the row's checked
// state. Delete on a selected row, with no editor open, raises onDeleteRequest.

#include "plugin/api/ListWidget.h"

#include <QTableWidget>

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class QComboBox;
class QLineEdit;

namespace tarvex {

class ListRowHandle;
class ListWidgetFacade;

class ActionListView : public QTableWidget {
public:
    explicit ActionListView(QWidget *parent = nullptr);
    ~ActionListView() override;

    // The list as the editor and the host's target factory see it; lives as long as anyone
    // holds it, and raises error 91 once the view is gone.
    ListWidgetPtr list() const;

    // Events.
    std::function<void(const ListRowPtr &row)> onEditRequest;
    std::function<void(const std::string &oldText, const std::string &newText)> onDropDownDone;
    std::function<void(const std::string &oldText, const std::string &newText)> onTextEditDone;
    // Asked before an edit starts, with the cell's text; answer false to refuse the edit.
    std::function<void(const std::string &text, bool &answer)> onQuery;
    // The Delete key on the selected row, while no cell editor is open.
    std::function<void(const ListRowPtr &row)> onDeleteRequest;

    // What the user does, for code that drives the view like a user (tests, scripted hosts).
    // requestEdit is what a double-click on the cell does (position 1-based).
    void requestEdit(int position, int column);
    // Picks an entry of the open drop-down, as clicking it does; false when there is none.
    bool chooseDropDownEntry(const std::string &text);
    // Replaces the text editor's text and presses Enter; false when the editor is not open.
    bool typeIntoTextEditor(const std::string &text);
    void cancelEdit();

    bool dropDownOpen() const;
    bool textEditorOpen() const;
    std::vector<std::string> dropDownEntries() const;
    std::string dropDownText() const;
    std::string textEditorText() const;
    QComboBox *dropDownEditor() const { return m_dropDown; }
    QLineEdit *textEditor() const { return m_textEditor; }

    // Removes every row at once, as removing them one by one from the last would; a list of
    // thousands of rows is emptied in one pass rather than one pass per row.
    void removeAllRows();

    // Twips (1/1440 inch) as pixels of this screen.
    int twipsToPixels(int twips) const;

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class ListWidgetFacade;
    friend class ListRowHandle;

    // IListWidget, carried out on the table.
    void addListColumn(const std::string &header, int widthTwips);
    ListRowPtr addListRow(const std::string &text);
    void removeListRow(int position);
    ListRowPtr rowAt(int position);
    void setCheckBoxes(bool shown);
    void openDropDown();
    void openTextEditor();

    // Row handles.
    std::string cellText(const ListRowHandle &row, int column) const;
    void setCellText(ListRowHandle &row, int column, const std::string &text);
    int rowIndexOf(const ListRowHandle &row) const;
    void prepareItem(QTableWidgetItem *item, int column);

    void placeEditor(QWidget *editor);
    void followEditCell();
    void commitDropDown(int index);
    void commitTextEditor();
    void closeEditors();
    std::string editCellText() const;

    std::shared_ptr<ListWidgetFacade> m_facade;
    std::unordered_map<QTableWidgetItem *, std::shared_ptr<ListRowHandle>> m_rows;
    bool m_checkBoxes = false;
    int m_editColumn = 0;
    int m_editRow = 0;
    QComboBox *m_dropDown;
    QLineEdit *m_textEditor;
    bool m_dropDownOpen = false;
    bool m_textEditing = false;
};

} // namespace tarvex
