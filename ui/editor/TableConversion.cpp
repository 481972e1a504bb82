// Turning the action table into list rows when the window loads, and the rows back into the
// table when the user saves, starts learn mode or the host saves its project.
#include "ActionListEditor.h"

#include "ArgumentLabel.h"
#include "core/Conversions.h"
#include "core/VbError.h"
#include "engine/ActionTable.h"
#include "engine/Lib.h"
#include "engine/OSCHandler.h"
#include "engine/OSCLearn.h"
#include "engine/ObjectHandler.h"

#include <chrono>

namespace tarvex {

namespace c = listColumn;

namespace {
constexpr int ParameterCount = 7;

const VarArray &arrayAt(const VarArray &array, int32_t index)
{
    return array[index].array();
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
}

void ActionListEditor::fillRow(const VarArray &action)
{
    ListRowPtr row = m_list->addRow(toText(action[rowField::Address]));
    resizeTargets(static_cast<size_t>(m_list->rowCount()));
    row->setChecked(toText(action[rowField::Activation]) == Activated);
    const VarArray &conditions = arrayAt(action, rowField::Conditions);
    forEachTaggedArgument(
        arrayAt(action, rowField::TypeTags), [&](const std::string &tag, int slot, int ordinal) {
            const VarArray &condition = arrayAt(arrayAt(conditions, slot), ordinal - 1);
            if (toText(condition[conditionField::Operator]) != NeverOperator)
                showCondition(row, argumentLabel(ordinal, tag), condition);
        });
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

VarArray ActionListEditor::getCommand(int16_t index)
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
    const int filledRows = m_list->rowCount() - 1;
    for (int k = 1; k <= filledRows; ++k) {
        Variant action = rebuildRow(k);
        VarArray &table = m_state.actionTable.edit();
        if (!table.isDimensioned() || table.upperBound() < k - 1)
            table.redimPreserve(k - 1);
        table[k - 1] = std::move(action);
    }
    releaseUnusedTargets(m_state);
}

// A row whose argument was never chosen cannot become an action.
void ActionListEditor::removeRowsWithoutArgument()
{
    int position = 1;
    while (position <= m_list->rowCount() - 1) {
        ListRowPtr row = m_list->row(position);
        if (!row->text().empty() && row->subItem(c::Wert).empty())
            removeRow(static_cast<int16_t>(position));
        else
            ++position;
    }
}

Variant ActionListEditor::rebuildRow(int position)
{
    ListRowPtr row = m_list->row(position);
    const std::string address = row->text();
    const VarArray *entry = learnedEntry(m_state.learnedMessages, address);
    const VarArray &rows = m_state.actionTable.rows();

    VarArray action;
    const Variant *existing = rows.isDimensioned() ? rows.find(position - 1) : nullptr;
    if (existing && existing->isArray()) {
        action = existing->array();
        if (toText(action[rowField::Address]) != address) {
            action[rowField::Address] = Variant(address);
            if (entry)
                action[rowField::TypeTags] = (*entry)[learned::TypeTags];
        }
    } else {
        action.redim({{0, rowField::Size - 1}});
        // The address is the row's in any case; the tags come from what learn mode saw.
        action[rowField::Address] = Variant(address);
        action[rowField::TypeTags] =
            entry ? (*entry)[learned::TypeTags] : Variant(VarArray(VarType::String));
        action[rowField::ActionId] = Variant(drawActionId());
        action[rowField::Activation] = Variant("activated"); // decided below
    }

    const LabelParts chosen = splitLabel(row->subItem(c::Wert));
    std::vector<VarArray> lists;
    forEachTaggedArgument(
        action[rowField::TypeTags].array(), [&](const std::string &tag, int slot, int ordinal) {
            if (static_cast<size_t>(slot) >= lists.size())
                lists.resize(static_cast<size_t>(slot) + 1);
            if (keywordOfTag(tag) == chosen.keyword && std::to_string(ordinal) == chosen.ordinal) {
                std::vector<Variant> parameters;
                const int count = tag == "s" ? 1 : ParameterCount;
                for (int i = 0; i < count; ++i)
                    parameters.emplace_back(row->subItem(c::CompareValue + i));
                lists[static_cast<size_t>(slot)].append(Variant(
                    VarArray::ofValues({Variant(row->subItem(c::Operator)),
                                        Variant(VarArray::ofValues(std::move(parameters))),
                                        Variant(getCommand(static_cast<int16_t>(position - 1)))})));
            } else if (tag != "Empty") {
                lists[static_cast<size_t>(slot)].append(
                    Variant(VarArray::ofValues({Variant(NeverOperator)})));
            }
        });
    std::vector<Variant> conditions;
    for (VarArray &list : lists)
        conditions.emplace_back(std::move(list));
    action[rowField::Conditions] = Variant(VarArray::ofValues(std::move(conditions)));

    const int32_t id = toLong(action[rowField::ActionId]);
    if (row->checked()) {
        action[rowField::Activation] = Variant(Activated);
        activateAction(m_state, id);
    } else {
        action[rowField::Activation] = Variant(Deactivated);
        deactivateAction(m_state, id);
    }
    return Variant(std::move(action));
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
