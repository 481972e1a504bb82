#pragma once
// ActionListEditor: the editing rules of the actions editor's list (lvActions) and its
// conversion to and from the action table. The window frmSettings owns one and wires the list's
// events to it; the rules work on IListWidget only, so they run the same on the Qt view and on
// any other list.
//
//   setUpList(view.list(), hostModule);
//   ActionListEditor editor(state, view.list(), hostModule, [&] { return learning(); });
//   wireList(view, [&]() -> ActionListEditor & { return editor; });   // ui/editor/view
//   editor.fillRows();        // when the window loads, then
//   editor.addBlankRow();
//   ...
//   editor.rebuildActionTable();   // "Speichern", learn start, the host's project save
//
// The list always ends with the blank entry row, where a new address is typed. rowTargets holds
// one host target per list row, the blank entry row included: element i belongs to row i + 1.
// Filled row k stands for actionTable element k - 1 once the table has been rebuilt.

#include "engine/EngineState.h"
#include "plugin/api/HostInterfaces.h"
#include "plugin/api/ListWidget.h"
#include "ui/editor/ArgumentLabel.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tarvex {

// Columns of the list.
namespace listColumn {
constexpr int Address = 0;
constexpr int Wert = 1;
constexpr int Operator = 2;
constexpr int CompareValue = 3;
constexpr int InMin = 4;
constexpr int InMax = 5;
constexpr int OutMin = 6;
constexpr int OutMax = 7;
constexpr int Min = 8;
constexpr int Max = 9;
// The host's target factory draws its columns from here on.
constexpr int FirstTarget = 10;
// A blank entry row has sub-item cells 1 to BlankRowCells.
constexpr int BlankRowCells = 13;
} // namespace listColumn

// The editor's own columns, left to right from listColumn::Address; widths in twips.
struct ListColumn {
    const char *header;
    int widthTwips;
};
inline constexpr ListColumn EditorColumns[] = {
    {"OSC-Address", 2295}, {"Wert", 1155}, {"Operator", 1000}, {"Vergleichswert", 1500},
    {"inMin", 800},        {"inMax", 800}, {"outMin", 800},    {"outMax", 800},
    {"Min", 800},          {"Max", 800}};

// Sets up an empty list as the editor shows it: check boxes, the editor's columns, then the
// host's target columns (its factory's SetupList). Raises error 91 when there is no host module
// or it gives no factory.
void setUpList(const ListWidgetPtr &list, const HostModulePtr &hostModule);

class ActionListEditor {
public:
    // learnModeOn tells whether learn mode runs (the LearnButton caption reads "Stop").
    // hostModule gives the target factory, asked again for every use.
    ActionListEditor(EngineState &state, ListWidgetPtr list, HostModulePtr hostModule,
                     std::function<bool()> learnModeOn);

    // Row editing.
    void addBlankRow();
    void beginCellEdit(const ListRowPtr &row);
    void applyCellEdit(const std::string &newText);
    // index: 1-based row position, or -1 for the last filled row.
    void removeRow(int32_t index);
    // The Delete key: a filled row goes as when the empty entry of its address drop-down is
    // chosen. Nothing happens on the blank entry row or while learn mode runs (no cell opens
    // an editor then).
    void deleteRow(const ListRowPtr &row);

    // Table conversion.
    void fillRows();
    void rebuildActionTable();
    // The action table rebuildActionTable would leave now, worked out without running it: the
    // list, the targets and the table stay as they are, and no number is drawn. Nothing when
    // the rebuild would make a new action (its number is drawn at random). Raises where the
    // rebuild would.
    std::optional<VarArray> tableToSave();
    // The creation values T0..T4 of the target of row index + 1 (index 0-based).
    VarArray getCommand(int32_t index);

    const std::vector<HostTargetPtr> &rowTargets() const { return m_rowTargets; }

    // Where the rebuild seeds the random numbers of new actions from; the clock unless replaced.
    void setSeedSource(std::function<uint32_t()> source) { m_seedSource = std::move(source); }
    const ListWidgetPtr &list() const { return m_list; }

private:
    TargetFactoryPtr factory();
    HostTargetPtr blankTarget();

    // Editors of beginCellEdit.
    void editAddress(IListRow &row);
    void editArgument(IListRow &row);
    void editOperator(IListRow &row);
    void openTextEditor(const std::string &text);

    // Neighbouring cells of applyCellEdit.
    void applyAddress(const ListRowPtr &row, int position, const std::string &text);
    void applyArgument(IListRow &row, const std::string &label);
    void prefillRange(IListRow &row, const std::string &label);

    // Steps of fillRows and rebuildActionTable.
    void fillRow(const VarArray &action);
    void showCondition(ListRowPtr &row, const std::string &label, const VarArray &condition);
    void removeRowsWithoutArgument();
    VarArray newAction(const std::string &address);
    void composeAction(IListRow &row, VarArray &action);
    int32_t drawActionId();
    void removeTableElement(int32_t index);
    void tellRowKeys();

    // rowTargets and the stored creation values beside it change only through these, so the
    // two stay one element per row.
    void resizeTargets(size_t count);
    void setTarget(size_t slot, HostTargetPtr target);

    EngineState &m_state;
    ListWidgetPtr m_list;
    HostModulePtr m_hostModule;
    std::function<bool()> m_learnModeOn;
    std::vector<HostTargetPtr> m_rowTargets;
    // The creation values a row was filled with when the host could not create its target:
    // the row keeps them until its target is replaced, and getCommand hands them back, so one
    // target the host does not know cannot block saving every other row.
    std::vector<std::optional<VarArray>> m_storedTargets;
    std::function<uint32_t()> m_seedSource;
};

// The texts of a condition as the editor's cells hold them: the operator, then the comparison
// value, inMin, inMax, outMin, outMax, Min and Max.
struct ConditionCells {
    std::string op;
    std::array<std::string, 7> parameters;
};

// A row's conditions for its type tags when the argument named by `chosen` (a "Wert" label
// split) gets the cells and the target (asked for only then): a text argument keeps only the
// comparison value; every other argument gets the "never" marker, an argument-less kind nothing.
// This is how every row the editor saves is made.
VarArray composeConditions(const VarArray &tags, const LabelParts &chosen,
                           const ConditionCells &cells, const std::function<VarArray()> &target);

// The condition the editor shows for an action and saves back: the last one that is not
// "never", with its argument's "Wert" label. Nothing when every argument is "never" (no
// argument chosen). The action must be a whole row (isWholeRow).
struct ShownCondition {
    std::string label;
    const VarArray *condition; // into the action
};
std::optional<ShownCondition> shownCondition(const VarArray &action);

// Rows that share a number are switched together: each takes the activation of the first row
// with its number, as a rebuild leaves them.
void switchSharedNumbersTogether(VarArray &table);

// Makes the rows what a rebuild of an editor freshly filled from them would leave, without an
// editor: rows that are not whole (isWholeRow) or have no chosen argument go, each row keeps only
// its shown condition, with its cells as texts and its target's values as the host's target
// gives them back, its activation is "Activated" or "Deactivated", and rows that share a number
// switch together. Never dimensioned when no row is left.
void makeRowsAsTheEditorSavesThem(VarArray &rows);

// Sets columns first..last of the row to text.
void setCells(IListRow &row, int first, int last, const std::string &text);
// The table without its element `index`: later elements move up and empty ones at the end are
// dropped; with no element left the table is never dimensioned.
VarArray tableWithout(const VarArray &rows, int32_t index);

} // namespace tarvex
