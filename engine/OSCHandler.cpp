#include "engine/OSCHandler.h"

#include "core/Conversions.h"
#include "engine/OSCLearn.h"
#include "engine/ObjectHandler.h"
#include "osc/OSCReader.h"

#include <array>

namespace tarvex {
namespace {

using osc::OSCMessage;

inline constexpr std::string_view BeatRule = "NumarkBeat";
// T0 to T4, the creation values of a host target.
constexpr size_t TargetSize = 5;

bool isText(const Variant *value, std::string_view text)
{
    return value && value->isString() && value->asString() == text;
}

// The argument kinds a row's conditions are grouped by; anything else is no argument.
enum Kind { Float, Integer, String, EmptyKind, Other };

Kind kindOfTag(std::string_view tag)
{
    if (tag.size() == 1) {
        switch (tag[0]) {
        case 'f': return Float;
        case 'i': return Integer;
        case 's': return String;
        default: return Other;
        }
    }
    return tag == "Empty" ? EmptyKind : Other;
}

// One condition of a matching row, checked before anything runs.
struct Step {
    Kind kind;
    const VarArray *condition;
    const Variant *value;
};

// At most 51 values of each of the three kinds, or the one "Empty" pseudo-argument.
constexpr size_t MaxSteps = 3 * OSCMessage::MaxValuesPerKind + 1;

// The conditions a row asks for, argument by argument; false when the row's signature differs
// from the message's or the row lacks an entry the walk needs (a damaged row never matches).
bool planRow(const OSCMessage &message, const VarArray &row, std::array<Step, MaxSteps> &steps,
             size_t &stepCount)
{
    const Variant *tags = row.find(rowField::TypeTags);
    const Variant *conditions = row.find(rowField::Conditions);
    if (!tags || !tags->isArray() || !conditions || !conditions->isArray())
        return false;
    const VarArray &rowTags = tags->array();
    for (size_t i = 0; i < message.tagCount(); ++i) {
        if (!isText(rowTags.find(static_cast<int32_t>(i)), message.tag(i)))
            return false;
    }

    std::array<int, 4> groupOf{-1, -1, -1, -1};
    std::array<int, 4> occurrence{};
    int nextGroup = 0;
    stepCount = 0;
    for (size_t i = 0; i < message.tagCount(); ++i) {
        Kind kind = kindOfTag(message.tag(i));
        if (kind == Other)
            continue;
        if (groupOf[kind] < 0)
            groupOf[kind] = nextGroup++;
        int group = groupOf[kind];
        int k = occurrence[kind];
        if (kind != EmptyKind)
            ++occurrence[kind];

        const Variant *groupList = conditions->array().find(group);
        const Variant *condition = groupList ? elementOf(*groupList, k) : nullptr;
        if (!condition || !condition->isArray())
            return false;
        const VarArray &q = condition->array();
        bool never = kind != EmptyKind && isText(q.find(conditionField::Operator), NeverOperator);
        if (never)
            continue;
        const Variant *parameters = q.find(conditionField::Parameters);
        const Variant *target = q.find(conditionField::Target);
        if (!parameters || !parameters->isArray() || !target || !target->isArray() ||
            target->array().size() < TargetSize ||
            (kind != EmptyKind && !q.find(conditionField::Operator)))
            return false;
        steps[stepCount++] = {kind, &q, &message.slot(static_cast<size_t>(group))[k]};
    }
    return true;
}

// Runs the satisfied conditions of one matching row, in argument order. Returns false when a
// host call changed the table under the row, so the datagram must not go on with it.
bool runRow(PluginState &state, const OSCMessage &message, const VarArray &row)
{
    std::array<Step, MaxSteps> steps;
    size_t stepCount = 0;
    if (!planRow(message, row, steps, stepCount))
        return true;
    const Variant *activation = row.find(rowField::Activation);
    static const Variant noActivation;
    uint64_t generation = state.actionTable.generation();
    for (size_t s = 0; s < stepCount; ++s) {
        const VarArray &q = *steps[s].condition;
        const VarArray &parameters = q[conditionField::Parameters].array();
        // An argument-less message runs its action whatever the operator and the activation.
        if (steps[s].kind != EmptyKind) {
            const Variant *compareValue = parameters.find(parameterField::CompareValue);
            std::string op = toText(q[conditionField::Operator]);
            if (!evaluateCondition(state, op, compareValue ? *compareValue : noActivation,
                                   *steps[s].value, activation ? *activation : noActivation))
                continue;
        }
        executeAction(state, *steps[s].value, parameters, q[conditionField::Target].array());
        if (generation != state.actionTable.generation())
            return false;
    }
    return true;
}

bool hasActionId(const VarArray &row, int32_t id)
{
    const Variant *actionId = row.find(rowField::ActionId);
    if (!actionId)
        return false;
    if (actionId->type() == VarType::Long)
        return actionId->asLong() == id;
    return isNumeric(*actionId) && compare(*actionId, Variant(id)) == Comparison::Equal;
}

// Sets the activation of every row with this id, and the check box of its list item.
void setActivation(PluginState &state, int32_t id, std::string_view activation)
{
    const VarArray &rows = state.actionTable.rows();
    if (!rows.isDimensioned())
        return;
    int position = 0;
    for (int32_t i = rows.lowerBound(); i <= rows.upperBound(); ++i) {
        const VarArray *r = rowAt(rows, i);
        if (!r)
            continue;
        ++position;
        if (!hasActionId(*r, id) || r->size() <= static_cast<size_t>(rowField::Activation))
            continue;
        state.actionTable.setActivation(i, activation);
        if (state.windows.actionListItemCount() >= 1)
            state.windows.setActionListItemChecked(position, activation == Activated);
    }
}

} // namespace

void handleDatagram(PluginState &state, std::span<const uint8_t> datagram)
{
    state.windows.signalReception();
    osc::OSCReader::readPacket(datagram, state.receivedMessages);

    if (state.windows.learnModeOn()) {
        learnMessages(state, state.receivedMessages);
        if (state.windows.analyzerOpen())
            state.windows.analyze(state.receivedMessages);
        return;
    }
    if (!state.windows.socketOpen())
        return;
    if (!state.actionTable.isDimensioned())
        return;
    for (osc::OSCMessages::Element element : state.receivedMessages.elements()) {
        // A nested bundle has no address and matches no row.
        if (!element.isMessage())
            continue;
        const OSCMessage &message = element.message();
        for (int32_t index : state.actionTable.rowsWithAddress(message.address())) {
            const VarArray *row = rowAt(state.actionTable.rows(), index);
            if (row && !runRow(state, message, *row))
                return;
        }
    }
}

bool evaluateCondition(PluginState &state, std::string_view op, const Variant &compareValue,
                       const Variant &value, const Variant &activation)
{
    if (!isText(&activation, Activated) || op == NeverOperator)
        return false;

    bool beat = false;
    if (isText(&compareValue, BeatRule)) {
        // A text cannot take part in the beat rule: such a condition is never satisfied.
        if (!isNumeric(value))
            return false;
        beat = compare(value, Variant(state.lastBeatValue)) == Comparison::Less;
        state.lastBeatValue = toLong(value);
    }
    if (op == "any")
        return true;
    if (op != "=" && op != "<" && op != ">" && op != "!=")
        return beat;

    Comparison c;
    if (isNumeric(value) && isNumeric(compareValue)) {
        auto order = toDecimal(value) <=> toDecimal(compareValue);
        c = order < 0 ? Comparison::Less : order > 0 ? Comparison::Greater : Comparison::Equal;
    } else if (compareValue.isString()) {
        c = compare(value, compareValue);
    } else {
        c = compare(value, Variant(toText(compareValue)));
    }
    if (op == "=")
        return beat || c == Comparison::Equal;
    if (op == "<")
        return beat || c == Comparison::Less;
    if (op == ">")
        return beat || c == Comparison::Greater;
    return beat || (c != Comparison::Equal && c != Comparison::Null);
}

void activateAction(PluginState &state, int32_t id)
{
    setActivation(state, id, Activated);
}

void deactivateAction(PluginState &state, int32_t id)
{
    setActivation(state, id, Deactivated);
}

bool isActionActivated(const PluginState &state, int32_t id)
{
    const VarArray &rows = state.actionTable.rows();
    if (!rows.isDimensioned())
        return false;
    for (int32_t i = rows.lowerBound(); i <= rows.upperBound(); ++i) {
        const VarArray *r = rowAt(rows, i);
        if (!r || !hasActionId(*r, id))
            continue;
        const Variant *activation = r->find(rowField::Activation);
        if (isText(activation, Activated))
            return true;
        if (isText(activation, Deactivated))
            return false;
    }
    return false;
}

} // namespace tarvex
