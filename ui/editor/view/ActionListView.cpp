#include "ui/editor/view/ActionListView.h"

#include "core/VbError.h"
#include "ui/editor/view/ListHandles.h"

#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

#include <cmath>

namespace tarvex {

namespace {
constexpr int HeaderHeightTwips = 255;
constexpr double TwipsPerInch = 1440.0;

QString qt(const std::string &text)
{
    return QString::fromStdString(text);
}
} // namespace

ActionListView::ActionListView(QWidget *parent)
    : QTableWidget(parent), m_facade(std::make_shared<ListWidgetFacade>(this)),
      m_dropDown(new QComboBox(viewport())), m_textEditor(new QLineEdit(viewport()))
{
    QFont font("Verdana");
    font.setPointSizeF(8.25);
    setFont(font);
    horizontalHeader()->setFont(font);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setFixedHeight(twipsToPixels(HeaderHeightTwips));
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(QFontMetrics(font).height() + 6);
    setShowGrid(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers); // the editors below are ours
    setWordWrap(false);

    m_dropDown->hide();
    m_textEditor->hide();
    m_textEditor->setFrame(false);
    m_dropDown->installEventFilter(this);
    m_textEditor->installEventFilter(this);
    connect(m_dropDown, &QComboBox::activated, this, [this](int index) { commitDropDown(index); });
    // Leaving the text editor keeps what was typed, as Enter does.
    connect(m_textEditor, &QLineEdit::editingFinished, this, [this] { commitTextEditor(); });
}

ActionListView::~ActionListView()
{
    for (auto &[cell, handle] : m_rows)
        handle->detach();
}

ListWidgetPtr ActionListView::list() const
{
    return m_facade;
}

int ActionListView::twipsToPixels(int twips) const
{
    return static_cast<int>(std::lround(twips * logicalDpiX() / TwipsPerInch));
}

// --- IListWidget on the table ------------------------------------------------------------------

void ActionListView::addListColumn(const std::string &header, int widthTwips)
{
    const int column = QTableWidget::columnCount();
    setColumnCount(column + 1);
    auto *headerItem = new QTableWidgetItem(qt(header));
    headerItem->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setHorizontalHeaderItem(column, headerItem);
    setColumnWidth(column, twipsToPixels(widthTwips));
    // Texts written to this column before it existed now show.
    for (auto &[cell, handle] : m_rows) {
        auto extra = handle->extraCells().find(column);
        if (extra == handle->extraCells().end())
            continue;
        auto *item = new QTableWidgetItem(qt(extra->second));
        prepareItem(item, column);
        setItem(row(cell), column, item);
        handle->extraCells().erase(extra);
    }
}

void ActionListView::prepareItem(QTableWidgetItem *item, int column)
{
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (column == 0 && m_checkBoxes)
        flags |= Qt::ItemIsUserCheckable;
    item->setFlags(flags);
}

ListRowPtr ActionListView::addListRow(const std::string &text)
{
    const int index = QTableWidget::rowCount();
    insertRow(index);
    auto *first = new QTableWidgetItem(qt(text));
    prepareItem(first, 0);
    if (m_checkBoxes)
        first->setCheckState(Qt::Unchecked);
    setItem(index, 0, first);
    auto handle = std::make_shared<ListRowHandle>(this, first);
    m_rows.emplace(first, handle);
    return handle;
}

void ActionListView::removeListRow(int position)
{
    if (position < 1 || position > QTableWidget::rowCount())
        tarvex::raise(errc::InvalidProcedureCall);
    closeEditors();
    QTableWidgetItem *first = item(position - 1, 0);
    if (auto found = m_rows.find(first); found != m_rows.end()) {
        found->second->detach();
        m_rows.erase(found);
    }
    QTableWidget::removeRow(position - 1);
}

void ActionListView::removeAllRows()
{
    closeEditors();
    for (auto &[cell, handle] : m_rows)
        handle->detach();
    m_rows.clear();
    setRowCount(0);
}

ListRowPtr ActionListView::rowAt(int position)
{
    if (position < 1 || position > QTableWidget::rowCount())
        tarvex::raise(errc::InvalidProcedureCall);
    return m_rows.at(item(position - 1, 0));
}

void ActionListView::setCheckBoxes(bool shown)
{
    m_checkBoxes = shown;
    for (auto &[cell, handle] : m_rows) {
        prepareItem(cell, 0);
        if (shown)
            cell->setCheckState(Qt::Unchecked);
        else
            cell->setData(Qt::CheckStateRole, QVariant());
    }
}

int ActionListView::rowIndexOf(const ListRowHandle &handle) const
{
    return row(handle.firstCell());
}

std::string ActionListView::cellText(const ListRowHandle &handle, int column) const
{
    if (column < QTableWidget::columnCount() || column == 0) {
        const QTableWidgetItem *cell = item(rowIndexOf(handle), column);
        return cell ? cell->text().toStdString() : std::string();
    }
    auto extra = handle.extraCells().find(column);
    return extra == handle.extraCells().end() ? std::string() : extra->second;
}

void ActionListView::setCellText(ListRowHandle &handle, int column, const std::string &text)
{
    if (column >= QTableWidget::columnCount() && column != 0) {
        handle.extraCells()[column] = text;
        return;
    }
    const int index = rowIndexOf(handle);
    if (QTableWidgetItem *cell = item(index, column)) {
        cell->setText(qt(text));
        return;
    }
    auto *cell = new QTableWidgetItem(qt(text));
    prepareItem(cell, column);
    setItem(index, column, cell);
}

// --- Editing ----------------------------------------------------------------------------------

void ActionListView::requestEdit(int position, int column)
{
    if (position < 1 || position > QTableWidget::rowCount() || column < 0 ||
        column >= QTableWidget::columnCount())
        return;
    closeEditors();
    setCurrentCell(position - 1, column);
    ListRowPtr handle = rowAt(position);
    bool answer = true;
    if (onQuery)
        onQuery(column == 0 ? handle->text() : handle->subItem(column), answer);
    if (!answer)
        return;
    m_editRow = position;
    m_editColumn = column;
    if (onEditRequest)
        onEditRequest(handle);
}

void ActionListView::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (!index.isValid()) {
        QTableWidget::mouseDoubleClickEvent(event);
        return;
    }
    requestEdit(index.row() + 1, index.column());
}

// A click into the table leaves an open drop-down without a choice: it closes.
void ActionListView::mousePressEvent(QMouseEvent *event)
{
    if (m_dropDownOpen)
        closeEditors();
    QTableWidget::mousePressEvent(event);
}

void ActionListView::keyPressEvent(QKeyEvent *event)
{
    const bool editKey = event->key() == Qt::Key_F2 || event->key() == Qt::Key_Return ||
                         event->key() == Qt::Key_Enter;
    if (editKey && currentIndex().isValid()) {
        requestEdit(currentIndex().row() + 1, currentIndex().column());
        return;
    }
    if (event->key() == Qt::Key_Delete) {
        const QModelIndexList selected = selectionModel()->selectedRows();
        if (selected.size() == 1 && !m_dropDownOpen && !m_textEditing && onDeleteRequest)
            onDeleteRequest(rowAt(selected.front().row() + 1));
        return;
    }
    QTableWidget::keyPressEvent(event);
}

void ActionListView::placeEditor(QWidget *editor)
{
    followEditCell();
    editor->show();
    editor->raise();
    editor->setFocus();
}

void ActionListView::openDropDown()
{
    m_textEditing = false;
    m_textEditor->hide();
    m_dropDownOpen = true;
    placeEditor(m_dropDown);
    m_dropDown->showPopup();
}

void ActionListView::openTextEditor()
{
    m_dropDownOpen = false;
    m_dropDown->hide();
    m_textEditing = true;
    placeEditor(m_textEditor);
}

std::string ActionListView::editCellText() const
{
    const QTableWidgetItem *cell = item(m_editRow - 1, m_editColumn);
    return cell ? cell->text().toStdString() : std::string();
}

void ActionListView::commitDropDown(int index)
{
    if (!m_dropDownOpen || index < 0)
        return;
    m_dropDownOpen = false;
    const std::string oldText = editCellText();
    const std::string newText = m_dropDown->itemText(index).toStdString();
    m_dropDown->hidePopup();
    m_dropDown->hide();
    setFocus();
    if (onDropDownDone)
        onDropDownDone(oldText, newText);
}

void ActionListView::commitTextEditor()
{
    if (!m_textEditing)
        return;
    m_textEditing = false; // before hiding: hiding takes the focus and finishes the edit again
    const std::string oldText = editCellText();
    const std::string newText = m_textEditor->text().toStdString();
    m_textEditor->hide();
    setFocus();
    if (onTextEditDone)
        onTextEditDone(oldText, newText);
}

void ActionListView::closeEditors()
{
    m_textEditing = false;
    m_dropDownOpen = false;
    m_textEditor->hide();
    m_dropDown->hidePopup();
    m_dropDown->hide();
}

void ActionListView::cancelEdit()
{
    closeEditors();
    setFocus();
}

bool ActionListView::chooseDropDownEntry(const std::string &text)
{
    const int index = m_dropDown->findText(qt(text), Qt::MatchExactly);
    if (!m_dropDownOpen || index < 0)
        return false;
    m_dropDown->setCurrentIndex(index);
    commitDropDown(index);
    return true;
}

bool ActionListView::typeIntoTextEditor(const std::string &text)
{
    if (!m_textEditing)
        return false;
    m_textEditor->setText(qt(text));
    commitTextEditor();
    return true;
}

bool ActionListView::dropDownOpen() const
{
    return m_dropDownOpen;
}
bool ActionListView::textEditorOpen() const
{
    return m_textEditing;
}

std::vector<std::string> ActionListView::dropDownEntries() const
{
    std::vector<std::string> entries;
    for (int i = 0; i < m_dropDown->count(); ++i)
        entries.push_back(m_dropDown->itemText(i).toStdString());
    return entries;
}
std::string ActionListView::dropDownText() const
{
    return m_dropDown->currentText().toStdString();
}
std::string ActionListView::textEditorText() const
{
    return m_textEditor->text().toStdString();
}

// The open editor follows its cell when the table scrolls or resizes.
void ActionListView::followEditCell()
{
    const QRect cell = visualRect(model()->index(m_editRow - 1, m_editColumn));
    if (m_dropDownOpen)
        m_dropDown->setGeometry(cell.adjusted(0, 0, 0, 1));
    if (m_textEditing)
        m_textEditor->setGeometry(cell.adjusted(0, 0, 0, 1));
}

void ActionListView::scrollContentsBy(int dx, int dy)
{
    QTableWidget::scrollContentsBy(dx, dy);
    followEditCell();
}

void ActionListView::resizeEvent(QResizeEvent *event)
{
    QTableWidget::resizeEvent(event);
    followEditCell();
}

// Escape drops the edit in either editor. Enter commits the text editor here, because the line
// edit passes Enter on to the table, which would start a new edit of the same cell.
bool ActionListView::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == m_dropDown || watched == m_textEditor) && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Escape) {
            cancelEdit();
            return true;
        }
        if (watched == m_textEditor && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            commitTextEditor();
            return true;
        }
    }
    return QTableWidget::eventFilter(watched, event);
}

} // namespace tarvex
