#include "ui/editor/view/ListHandles.h"

#include "core/VbError.h"
#include "ui/editor/view/ActionListView.h"

#include <QComboBox>
#include <QLineEdit>

namespace tarvex {

ActionListView &ListRowHandle::view()
{
    if (!m_firstCell)
        raise(errc::ObjectVariableNotSet);
    return *m_view;
}

std::string ListRowHandle::text()
{
    return view().cellText(*this, 0);
}
void ListRowHandle::setText(const std::string &text)
{
    view().setCellText(*this, 0, text);
}
std::string ListRowHandle::subItem(int column)
{
    if (column < 1)
        raise(errc::InvalidProcedureCall);
    return view().cellText(*this, column);
}
void ListRowHandle::setSubItem(int column, const std::string &text)
{
    if (column < 1)
        raise(errc::InvalidProcedureCall);
    view().setCellText(*this, column, text);
}
bool ListRowHandle::checked()
{
    view();
    return m_firstCell->checkState() == Qt::Checked;
}
void ListRowHandle::setChecked(bool checked)
{
    view();
    m_firstCell->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}
int ListRowHandle::position()
{
    return view().rowIndexOf(*this) + 1;
}

ActionListView &ListWidgetFacade::view()
{
    if (!m_view)
        raise(errc::ObjectVariableNotSet);
    return *m_view;
}

void ListWidgetFacade::addColumn(const std::string &header, int widthTwips)
{
    view().addListColumn(header, widthTwips);
}
int ListWidgetFacade::columnCount()
{
    return view().columnCount();
}
ListRowPtr ListWidgetFacade::addRow(const std::string &text)
{
    return view().addListRow(text);
}
void ListWidgetFacade::removeRow(int position)
{
    view().removeListRow(position);
}
int ListWidgetFacade::rowCount()
{
    return view().rowCount();
}
ListRowPtr ListWidgetFacade::row(int position)
{
    return view().rowAt(position);
}
void ListWidgetFacade::setCheckBoxes(bool shown)
{
    view().setCheckBoxes(shown);
}
int ListWidgetFacade::editColumn()
{
    return view().m_editColumn;
}
int ListWidgetFacade::editRow()
{
    return view().m_editRow;
}
void ListWidgetFacade::clearDropDown()
{
    view().m_dropDown->clear();
}
void ListWidgetFacade::addDropDownEntry(const std::string &text)
{
    view().m_dropDown->addItem(QString::fromStdString(text));
}
void ListWidgetFacade::openDropDown()
{
    view().openDropDown();
}
void ListWidgetFacade::setDropDownText(const std::string &text)
{
    // The drop-down offers its entries only: a text that is none of them shows no selection.
    QComboBox *box = view().m_dropDown;
    box->setCurrentIndex(box->findText(QString::fromStdString(text), Qt::MatchExactly));
}
void ListWidgetFacade::openTextEditor()
{
    view().openTextEditor();
}
void ListWidgetFacade::setTextEditorText(const std::string &text)
{
    QLineEdit *editor = view().m_textEditor;
    editor->setText(QString::fromStdString(text));
    editor->selectAll();
}

} // namespace tarvex
