// Turning the action table into list rows when the window loads, and the rows back into the
// table when the user saves, starts learn mode or the host saves its project.
#include "ui/editor/ActionListEditor.h"

#include "core/Conversions.h"
#include "core/VbError.h"
#include "engine/ActionTable.h"
#include "engine/Lib.h"
#include "engine/OSCHandler.h"
#include "engine/OSCLearn.h"
#include "engine/ObjectHandler.h"
#include "ui/editor/ArgumentLabel.h"

#include <chrono>
#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace tarvex {

namespace c = listColumn;

namespace {
constexpr int ParameterCount = 7;

const VarArray &arrayAt(const VarArray &array, int32_t index)
{
    return array[index].array();
}

// A row whose argument was never chosen cannot become an action.
bool lacksArgument(IListRow &row)
{
    return !row.text().empty() && row.subItem(c::Wert).empty();
}

// The creation values of a target as the host's target gives them back: the editor creates it
// with T3 as a byte and T4 as a 32-bit number; values that do not convert create no target, and
// the row keeps them as they are.
VarArray targetAsShown(const VarArray &t)
{
    try {
        return arrayOf(t[0], t[1], t[2], Variant::byte(toByte(t[3])), toLong(t[4]));
    } catch (const VbError &) {
        return arrayOf(t[0], t[1], t[2], t[3], t[4]);
    }
}

// A whole row as the editor fills it into its list and saves it back: its shown condition as
// cells, the check box as its activation. Nothing for a row without a chosen argument, which the
// editor drops.
std::optional<Variant> rowAsTheEditorSavesIt(const VarArray &action)
{
    const std::optional<ShownCondition> shown = shownCondition(action);
    if (!shown)
        return std::nullopt;
    const VarArray &condition = *shown->condition;
    ConditionCells cells{toText(condition[conditionField::Operator]), {}};
    const VarArray &parameters = arrayAt(condition, conditionField::Parameters);
    const int count = endsWith(shown->label, "String") ? 1 : ParameterCount;
    for (int i = 0; i < count; ++i)
        cells.parameters[static_cast<size_t>(i)] = toText(parameters[i]);
    const VarArray &tags = arrayAt(action, rowField::TypeTags);
    VarArray row = action;
    row[rowField::Address] = Variant(toText(action[rowField::Address]));
    row[rowField::Conditions] =
        Variant(composeConditions(tags, splitLabel(shown->label), cells, [&] {
            return targetAsShown(arrayAt(condition, conditionField::Target));
        }));
    const bool activated = toText(action[rowField::Activation]) == Activated;
    row[rowField::Activation] = Variant(activated ? Activated : Deactivated);
    return Variant(std::move(row));
}
} // namespace

// --- Table to rows -----------------------------------------------------------------------------

void ActionListEditor::fillRows()
{
    const VarArray &rows = m_state.actionTable.rows();
    if (!rows.isDimensioned())
        return;
    // Creating targets calls out to the host; walk a copy so that nothing it does to the table
    // can pull the rows from under the walk.
    const VarArray table = rows;
    for (const Variant &action : table.elements())
        fillRow(action.array());
    tellRowKeys();
}

// List row k stands for the table's element k - 1 once the list is filled or the table rebuilt
// from it (a row beyond the table is not saved yet): a host that counts hits per row hears
// which, so the row's "Treffer" cell counts that row's executes.
void ActionListEditor::tellRowKeys()
{
    auto hits = std::dynamic_pointer_cast<IHostRowHits>(m_state.hostHelper);
    if (!hits)
        return;
    // Copied: the host's calls may change the table.
    const std::span<const RowKey> current = m_state.rowKeys.keysOf(m_state.actionTable);
    const std::vector<RowKey> keys(current.begin(), current.end());
    for (int position = 1; position <= m_list->rowCount(); ++position) {
        const auto index = static_cast<size_t>(position - 1);
        hits->listRowShows(m_list->row(position), index < keys.size() ? keys[index] : NoRow);
    }
}

void ActionListEditor::fillRow(const VarArray &action)
{
    ListRowPtr row = m_list->addRow(toText(action[rowField::Address]));
    resizeTargets(static_cast<size_t>(m_list->rowCount()));
    row->setChecked(toText(action[rowField::Activation]) == Activated);
    if (const std::optional<ShownCondition> shown = shownCondition(action))
        showCondition(row, shown->label, *shown->condition);
}

std::optional<ShownCondition> shownCondition(const VarArray &action)
{
    std::optional<ShownCondition> shown;
    const VarArray &conditions = arrayAt(action, rowField::Conditions);
    forEachTaggedArgument(
        arrayAt(action, rowField::TypeTags), [&](const std::string &tag, int slot, int ordinal) {
            const VarArray &condition = arrayAt(arrayAt(conditions, slot), ordinal - 1);
            if (toText(condition[conditionField::Operator]) != NeverOperator)
                shown = ShownCondition{argumentLabel(ordinal, tag), &condition};
        });
    return shown;
}

void ActionListEditor::showCondition(ListRowPtr &row, const std::string &label,
                                     const VarArray &condition)
{
    row->setSubItem(c::Wert, label);
    row->setSubItem(c::Operator, toText(condition[conditionField::Operator]));
    const VarArray &parameters = arrayAt(condition, conditionField::Parameters);
    const int count = endsWith(label, "String") ? 1 : ParameterCount;
    for (int i = 0; i < count; ++i)
        row->setSubItem(c::CompareValue + i, toText(parameters[i]));

    // A target the host cannot create or draw leaves the row without it; the cells stay, and
    // so do the stored creation values, for the next rebuild to write back unchanged.
    const auto slot = static_cast<size_t>(row->position() - 1);
    try {
        const VarArray &t = arrayAt(condition, conditionField::Target);
        m_storedTargets.at(slot) = VarArray::ofValues({t[0], t[1], t[2], t[3], t[4]});
        setTarget(slot, factory()->CreateTarget(t[0], t[1], t[2], toByte(t[3]), toLong(t[4])));
    } catch (const VbError &) {
    }
    try {
        if (!m_rowTargets.at(slot))
            raise(errc::ObjectVariableNotSet);
        ObjectPtr shown = factory()->ShowTargetInRow(m_rowTargets[slot], row, c::FirstTarget);
        if (auto shownRow = std::dynamic_pointer_cast<IListRow>(shown))
            row = shownRow;
        else
            raise(errc::TypeMismatch);
    } catch (const VbError &) {
    }
}

// --- Rows to table -----------------------------------------------------------------------------

VarArray ActionListEditor::getCommand(int32_t index)
{
    if (index < 0 || static_cast<size_t>(index) >= m_rowTargets.size())
        raise(errc::SubscriptOutOfRange);
    const HostTargetPtr &target = m_rowTargets[static_cast<size_t>(index)];
    if (!target && m_storedTargets[static_cast<size_t>(index)])
        return *m_storedTargets[static_cast<size_t>(index)];
    if (!target)
        raise(errc::ObjectVariableNotSet);
    Variant t0 = target->T0();
    Variant t1 = target->T1();
    Variant t2 = target->T2();
    uint8_t t3 = target->T3();
    int32_t t4 = target->T4();
    return VarArray::ofValues({t0, t1, t2, Variant::byte(t3), Variant(t4)});
}

void ActionListEditor::rebuildActionTable()
{
    m_state.random.seed(
        m_seedSource
            ? m_seedSource()
            : static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    removeRowsWithoutArgument();
    // Switching a number reaches every row that carries it, so each is switched once, by the
    // first of its rows: rows that share a number cost no more than rows that do not.
    std::unordered_set<int32_t> switched;
    const int filledRows = m_list->rowCount() - 1;
    for (int k = 1; k <= filledRows; ++k) {
        ListRowPtr row = m_list->row(k);
        const VarArray &rows = m_state.actionTable.rows();
        const VarArray *existing = rows.isDimensioned() ? rowAt(rows, k - 1) : nullptr;
        VarArray action = existing ? *existing : newAction(row->text());
        composeAction(*row, action);
        const int32_t id = toLong(action[rowField::ActionId]);
        if (!switched.insert(id).second)
            ; // its first row has switched it, this row's box included
        else if (row->checked())
            activateAction(m_state, id);
        else
            deactivateAction(m_state, id);
        const VarArray &table = m_state.actionTable.rows();
        if (!table.isDimensioned() || table.upperBound() < k - 1)
            m_state.actionTable.edit().redimPreserve(k - 1);
        m_state.actionTable.replaceRow(k - 1, Variant(std::move(action)));
    }
    releaseUnusedTargets(m_state);
    tellRowKeys();
}

// The rebuild's steps on a copy of the table, without their effects on the list, the targets
// and the table: rows without an argument are passed over (their table element dropped, as
// removeRow drops it) and every other row is composed onto its element. A new row is not worked
// out: its number is drawn at random.
std::optional<VarArray> ActionListEditor::tableToSave()
{
    VarArray table = m_state.actionTable.rows();
    std::vector<ListRowPtr> kept;
    int rowsLeft = m_list->rowCount();
    for (int position = 1; position < m_list->rowCount(); ++position) {
        ListRowPtr row = m_list->row(position);
        if (!lacksArgument(*row)) {
            kept.push_back(row);
            continue;
        }
        // Its position once the rows before it that go have gone.
        const auto index = static_cast<int32_t>(kept.size());
        if (--rowsLeft < 2)
            table = VarArray();
        else if (table.isDimensioned() && table.find(index))
            table = tableWithout(table, index);
    }
    for (size_t i = 0; i < kept.size(); ++i) {
        const auto index = static_cast<int32_t>(i);
        const VarArray *existing = table.isDimensioned() ? rowAt(table, index) : nullptr;
        if (!existing)
            return std::nullopt;
        VarArray action = *existing;
        composeAction(*kept[i], action);
        table[index] = Variant(std::move(action));
    }
    switchSharedNumbersTogether(table);
    return table;
}

void ActionListEditor::removeRowsWithoutArgument()
{
    int position = 1;
    while (position <= m_list->rowCount() - 1) {
        if (lacksArgument(*m_list->row(position)))
            removeRow(position);
        else
            ++position;
    }
}

// A new action for a row added since the last rebuild; composeAction fills in the rest.
VarArray ActionListEditor::newAction(const std::string &address)
{
    const VarArray *entry = learnedEntry(m_state.learnedMessages, address);
    VarArray action;
    action.redim({{0, rowField::Size - 1}});
    // The address is the row's in any case; the tags come from what learn mode saw.
    action[rowField::Address] = Variant(address);
    action[rowField::TypeTags] =
        entry ? (*entry)[learned::TypeTags] : Variant(VarArray(VarType::String));
    action[rowField::ActionId] = Variant(drawActionId());
    action[rowField::Activation] = Variant("activated"); // decided by composeAction
    return action;
}

// The row's cells, its target and its check box written onto its action.
void ActionListEditor::composeAction(IListRow &row, VarArray &action)
{
    const std::string address = row.text();
    if (toText(action[rowField::Address]) != address) {
        action[rowField::Address] = Variant(address);
        if (const VarArray *entry = learnedEntry(m_state.learnedMessages, address))
            action[rowField::TypeTags] = (*entry)[learned::TypeTags];
    }

    ConditionCells cells{row.subItem(c::Operator), {}};
    for (int i = 0; i < ParameterCount; ++i)
        cells.parameters[static_cast<size_t>(i)] = row.subItem(c::CompareValue + i);
    const int32_t targetIndex = row.position() - 1;
    action[rowField::Conditions] = Variant(
        composeConditions(action[rowField::TypeTags].array(), splitLabel(row.subItem(c::Wert)),
                          cells, [&] { return getCommand(targetIndex); }));
    action[rowField::Activation] = Variant(row.checked() ? Activated : Deactivated);
}

VarArray composeConditions(const VarArray &tags, const LabelParts &chosen,
                           const ConditionCells &cells, const std::function<VarArray()> &target)
{
    std::vector<VarArray> lists;
    forEachTaggedArgument(tags, [&](const std::string &tag, int slot, int ordinal) {
        if (static_cast<size_t>(slot) >= lists.size())
            lists.resize(static_cast<size_t>(slot) + 1);
        if (keywordOfTag(tag) == chosen.keyword && std::to_string(ordinal) == chosen.ordinal) {
            std::vector<Variant> parameters;
            const int count = tag == "s" ? 1 : ParameterCount;
            parameters.reserve(static_cast<size_t>(count)); // a show holds many thousands
            for (int i = 0; i < count; ++i)
                parameters.emplace_back(cells.parameters[static_cast<size_t>(i)]);
            lists[static_cast<size_t>(slot)].append(
                Variant(arrayOf(cells.op, VarArray::ofValues(std::move(parameters)), target())));
        } else if (tag != "Empty") {
            lists[static_cast<size_t>(slot)].append(Variant(arrayOf(NeverOperator)));
        }
    });
    std::vector<Variant> conditions;
    for (VarArray &list : lists)
        conditions.emplace_back(std::move(list));
    return VarArray::ofValues(std::move(conditions));
}

void switchSharedNumbersTogether(VarArray &table)
{
    if (!table.isDimensioned())
        return;
    std::unordered_map<int32_t, Variant> first;
    for (Variant &element : table.elements()) {
        if (!element.isArray())
            continue;
        VarArray &row = element.mutableArray();
        const std::optional<int32_t> id = actionIdOf(row);
        if (!id || !row.find(rowField::Activation))
            continue;
        auto [found, added] = first.try_emplace(*id, row[rowField::Activation]);
        if (!added)
            row[rowField::Activation] = found->second;
    }
}

void makeRowsAsTheEditorSavesThem(VarArray &rows)
{
    if (!rows.isDimensioned())
        return;
    // Row by row, each old row let go once its new one is made: a show of many thousands of
    // rows is never held twice.
    std::vector<Variant> saved;
    saved.reserve(rows.size());
    for (Variant &element : rows.elements()) {
        if (!isWholeRow(element))
            continue;
        std::optional<Variant> row = rowAsTheEditorSavesIt(element.array());
        element = Variant();
        if (row)
            saved.push_back(std::move(*row));
    }
    rows = saved.empty() ? VarArray() : VarArray::ofValues(std::move(saved));
    switchSharedNumbersTogether(rows);
}

// A new action's number differs from every number the table already carries, so that the
// host's cues switch exactly the action they were made for.
int32_t ActionListEditor::drawActionId()
{
    const VarArray &rows = m_state.actionTable.rows();
    auto taken = [&](int32_t id) {
        if (!rows.isDimensioned())
            return false;
        for (const Variant &action : rows.elements())
            if (action.isArray() && actionIdOf(action.array()) == id)
                return true;
        return false;
    };
    int32_t id;
    do
        id = randomInRange(m_state.random, FirstActionId, LastActionId);
    while (taken(id));
    return id;
}

} // namespace tarvex
