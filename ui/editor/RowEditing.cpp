// Editing the list cell by cell: which editor a cell opens, with which entries, and how a
// committed edit changes the neighbouring cells and rows.
#include "ui/editor/ActionListEditor.h"

#include "core/Conversions.h"
#include "core/VbError.h"
#include "engine/OSCLearn.h"
#include "ui/editor/ArgumentLabel.h"

namespace tarvex {

namespace c = listColumn;

namespace {
constexpr const char *NotApplicable = "-";
constexpr const char *AnyOperator = "any";
constexpr const char *BeatRule = "NumarkBeat";
} // namespace

ActionListEditor::ActionListEditor(EngineState &state, ListWidgetPtr list, HostModulePtr hostModule,
                                   std::function<bool()> learnModeOn)
    : m_state(state), m_list(std::move(list)), m_hostModule(std::move(hostModule)),
      m_learnModeOn(std::move(learnModeOn))
{}

TargetFactoryPtr ActionListEditor::factory()
{
    return targetFactoryOf(m_hostModule);
}

void setUpList(const ListWidgetPtr &list, const HostModulePtr &hostModule)
{
    list->setCheckBoxes(true);
    for (const ListColumn &column : EditorColumns)
        list->addColumn(column.header, column.widthTwips);
    targetFactoryOf(hostModule)->SetupList(list);
}

HostTargetPtr ActionListEditor::blankTarget()
{
    return factory()->CreateTarget(Variant(""), Variant(""), Variant(""), 0, 0);
}

void setCells(IListRow &row, int first, int last, const std::string &text)
{
    for (int column = first; column <= last; ++column)
        row.setSubItem(column, text);
}

void ActionListEditor::addBlankRow()
{
    ListRowPtr row = m_list->addRow("");
    setCells(*row, 1, c::BlankRowCells, "");
    resizeTargets(static_cast<size_t>(m_list->rowCount()));
    row->setChecked(true);
    setTarget(static_cast<size_t>(row->position() - 1), blankTarget());
}

void ActionListEditor::resizeTargets(size_t count)
{
    m_rowTargets.resize(count);
    m_storedTargets.resize(count);
}

void ActionListEditor::setTarget(size_t slot, HostTargetPtr target)
{
    m_rowTargets.at(slot) = std::move(target);
    m_storedTargets.at(slot).reset();
}

// --- Opening an editor -------------------------------------------------------------------------

void ActionListEditor::beginCellEdit(const ListRowPtr &row)
{
    if (m_learnModeOn())
        return;
    const int column = m_list->editColumn();
    if (column > c::OutMax && !row->text().empty())
        factory()->BeginCellEdit(m_rowTargets.at(static_cast<size_t>(row->position() - 1)), m_list,
                                 c::FirstTarget);
    const std::string wert = row->subItem(c::Wert);
    const bool argumentWithValue = !wert.empty() && !endsWith(wert, "Empty");
    switch (column) {
    case c::Address: editAddress(*row); break;
    case c::Wert:
        if (!row->text().empty())
            editArgument(*row);
        break;
    case c::Operator:
        if (argumentWithValue)
            editOperator(*row);
        break;
    case c::CompareValue:
        if (row->subItem(c::Operator) != AnyOperator && argumentWithValue)
            openTextEditor(row->subItem(c::CompareValue));
        break;
    default:
        if (column >= c::InMin && column <= c::Max && row->subItem(c::CompareValue) != BeatRule &&
            argumentWithValue && !endsWith(wert, "String"))
            openTextEditor(row->subItem(column));
        break;
    }
}

void ActionListEditor::editAddress(IListRow &row)
{
    const VarArray &learnedList = m_state.learnedMessages;
    const bool anyLearned = learnedList.isDimensioned() && learnedList.size() > 0;
    const std::string address = row.text();
    if (!anyLearned && address.empty())
        return;
    m_list->clearDropDown();
    m_list->addDropDownEntry("");
    if (anyLearned) {
        for (const Variant &entry : learnedList.elements())
            m_list->addDropDownEntry(toText(entry.array()[learned::Address]));
    } else {
        m_list->addDropDownEntry(address);
    }
    m_list->openDropDown();
    m_list->setDropDownText(address);
}

void ActionListEditor::editArgument(IListRow &row)
{
    m_list->clearDropDown();
    if (const VarArray *entry = learnedEntry(m_state.learnedMessages, row.text())) {
        forEachTaggedArgument(entry->operator[](learned::TypeTags).array(),
                              [&](const std::string &tag, int, int ordinal) {
                                  // A message without arguments has exactly one: "1. Empty".
                                  m_list->addDropDownEntry(
                                      argumentLabel(tag == "Empty" ? 1 : ordinal, tag));
                              });
    }
    m_list->openDropDown();
    m_list->setDropDownText(row.subItem(c::Wert));
}

void ActionListEditor::editOperator(IListRow &row)
{
    m_list->clearDropDown();
    m_list->addDropDownEntry("=");
    if (!endsWith(row.subItem(c::Wert), "String")) {
        m_list->addDropDownEntry("<");
        m_list->addDropDownEntry(">");
    }
    m_list->addDropDownEntry("!=");
    m_list->addDropDownEntry(AnyOperator);
    m_list->openDropDown();
    m_list->setDropDownText(row.subItem(c::Operator));
}

void ActionListEditor::openTextEditor(const std::string &text)
{
    m_list->openTextEditor();
    m_list->setTextEditorText(text);
}

// --- Applying an edit --------------------------------------------------------------------------

void ActionListEditor::applyCellEdit(const std::string &newText)
{
    const int position = m_list->editRow();
    const int column = m_list->editColumn();
    ListRowPtr row = m_list->row(position);
    if (column == c::Address) {
        applyAddress(row, position, newText);
        return;
    }
    factory()->EndCellEdit(m_rowTargets.at(static_cast<size_t>(position - 1)), m_list,
                           c::FirstTarget);
    row->setSubItem(column, newText);
    if (column == c::Wert)
        applyArgument(*row, newText);
    else if (column == c::Operator && newText == AnyOperator)
        row->setSubItem(c::CompareValue, NotApplicable);
    else if (column == c::CompareValue && newText == BeatRule)
        setCells(*row, c::InMin, c::Max, NotApplicable);
}

void ActionListEditor::applyAddress(const ListRowPtr &row, int position, const std::string &text)
{
    const std::string address = row->text();
    if (!text.empty() && text != address) {
        // Column 13 is left as it is: only the editor's cells and the first target columns
        // belong to the chosen argument.
        setCells(*row, c::Wert, 12, "");
        row->setText(text);
    }
    const auto slot = static_cast<size_t>(position - 1);
    setTarget(slot, blankTarget());
    // The target columns show what the row now holds, not the target it had before.
    factory()->ShowTargetInRow(m_rowTargets[slot], row, c::FirstTarget);
    const int rows = m_list->rowCount();
    if (!text.empty() && position == rows)
        addBlankRow();
    else if (text.empty() && position == rows - 1)
        removeRow(-1);
    else if (text.empty() && !address.empty())
        removeRow(position);
}

void ActionListEditor::applyArgument(IListRow &row, const std::string &label)
{
    if (row.subItem(c::Operator).empty()) {
        if (endsWith(label, "Empty")) {
            row.setSubItem(c::Operator, AnyOperator);
            setCells(row, c::CompareValue, c::Max, NotApplicable);
        } else {
            row.setSubItem(c::Operator, "=");
            if (endsWith(label, "String"))
                setCells(row, c::InMin, c::Max, NotApplicable);
        }
    }
    prefillRange(row, label);
}

// The range learn mode saw for the chosen argument becomes its input range.
void ActionListEditor::prefillRange(IListRow &row, const std::string &label)
{
    const LabelParts parts = splitLabel(label);
    const VarArray *entry = learnedEntry(m_state.learnedMessages, row.text());
    if (!entry)
        return;
    const VarArray &groups = entry->operator[](learned::Groups).array();
    forEachTaggedArgument(entry->operator[](learned::TypeTags).array(),
                          [&](const std::string &tag, int slot, int ordinal) {
                              if (tag == "Empty" || keywordOfTag(tag) != parts.keyword ||
                                  std::to_string(ordinal) != parts.ordinal)
                                  return;
                              const Variant *values = elementOf(groups[slot], ordinal - 1);
                              if (!values || !values->isArray() || values->array().size() != 2)
                                  return;
                              row.setSubItem(c::InMin, toText(values->array()[0]));
                              row.setSubItem(c::InMax, toText(values->array()[1]));
                          });
}

// --- Removing a row ----------------------------------------------------------------------------

void ActionListEditor::deleteRow(const ListRowPtr &row)
{
    const int position = row->position();
    if (m_learnModeOn() || position >= m_list->rowCount())
        return;
    applyAddress(row, position, "");
}

void ActionListEditor::removeRow(int32_t index)
{
    const int position = index == -1 ? m_list->rowCount() - 1 : index;
    m_list->removeRow(position);
    if (m_list->rowCount() < 2) {
        m_rowTargets.assign(1, blankTarget());
        m_storedTargets.assign(1, std::nullopt);
        m_state.actionTable.erase();
        return;
    }
    const auto slot = static_cast<size_t>(position - 1);
    if (slot >= m_rowTargets.size())
        raise(errc::SubscriptOutOfRange);
    m_rowTargets.erase(m_rowTargets.begin() + static_cast<std::ptrdiff_t>(slot));
    m_storedTargets.erase(m_storedTargets.begin() + static_cast<std::ptrdiff_t>(slot));
    if (m_state.actionTable.isDimensioned())
        removeTableElement(position - 1);
}

void ActionListEditor::removeTableElement(int32_t index)
{
    const VarArray &rows = m_state.actionTable.rows();
    if (!rows.find(index))
        return; // a row added since the last rebuild has no element yet
    VarArray rest = tableWithout(rows, index);
    if (rest.isDimensioned())
        m_state.actionTable.replace(std::move(rest));
    else
        m_state.actionTable.erase();
}

VarArray tableWithout(const VarArray &rows, int32_t index)
{
    std::vector<Variant> kept;
    for (int32_t i = rows.lowerBound(); i <= rows.upperBound(); ++i)
        if (i != index)
            kept.push_back(rows[i]);
    while (!kept.empty() && kept.back().isEmpty())
        kept.pop_back();
    return kept.empty() ? VarArray() : VarArray::ofValues(std::move(kept));
}

} // namespace tarvex
