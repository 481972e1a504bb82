#include "engine/OSCHandler.h"

#include "core/Conversions.h"
#include "core/ShortText.h"
#include "engine/ArgumentWalk.h"
#include "engine/OSCLearn.h"
#include "engine/ObjectHandler.h"
#include "osc/OSCReader.h"

#include <algorithm>
#include <array>
#include <exception>

namespace tarvex {
namespace {

using osc::OSCMessage;

inline constexpr std::string_view BeatRule = "NumarkBeat";

bool isText(const Variant *value, std::string_view text)
{
    return value && value->isString() && equalBytes(value->asString(), text);
}

ConditionOperator operatorOf(std::string_view op)
{
    if (op == NeverOperator)
        return ConditionOperator::Never;
    if (op == "any")
        return ConditionOperator::Any;
    if (op == "=")
        return ConditionOperator::Equal;
    if (op == "<")
        return ConditionOperator::Less;
    if (op == ">")
        return ConditionOperator::Greater;
    if (op == "!=")
        return ConditionOperator::NotEqual;
    return ConditionOperator::Other;
}

bool conditionHolds(EngineState &state, ConditionOperator op, bool beatRule,
                    const Variant &compareValue, const Variant &value, const Variant &activation);

// Works out which conditions a row runs for messages with this message's tags; false when the
// row's signature differs from the message's or the row lacks an entry the walk needs (a damaged
// row never matches, and nothing of it runs).
bool planRow(EngineState &state, const OSCMessage &message, const VarArray &row,
             uint64_t generation, std::vector<PlannedStep> &steps)
{
    steps.clear();
    const Variant *tags = row.find(rowField::TypeTags);
    const Variant *conditions = row.find(rowField::Conditions);
    if (!tags || !tags->isArray() || !conditions || !conditions->isArray())
        return false;
    const VarArray &rowTags = tags->array();
    for (size_t i = 0; i < message.tagCount(); ++i) {
        if (!isText(rowTags.find(static_cast<int32_t>(i)), message.tag(i)))
            return false;
    }

    const VarArray &conditionGroups = conditions->array();
    return forEachArgument(message, [&](const Argument &argument) {
        const Variant *groupList = conditionGroups.find(argument.group);
        const Variant *condition = groupList ? elementOf(*groupList, argument.occurrence) : nullptr;
        if (!condition || !condition->isArray())
            return false;
        const VarArray &q = condition->array();
        const Variant *op = q.find(conditionField::Operator);
        bool argumentLess = argument.kind == ArgumentKind::Empty;
        if (!argumentLess && isText(op, NeverOperator))
            return true;
        const Variant *parameters = q.find(conditionField::Parameters);
        const Variant *target = q.find(conditionField::Target);
        if (!parameters || !parameters->isArray() || !target || !target->isArray() ||
            target->array().size() < conditionField::TargetSize || (!argumentLess && !op))
            return false;
        const VarArray &params = parameters->array();
        state.preparedActions.of(params, target->array(), generation); // for executeAction
        const Variant *compareValue = params.find(parameterField::CompareValue);
        const ConditionOperator kind =
            op && op->isString() ? operatorOf(op->asString()) : ConditionOperator::Unread;
        steps.push_back({argumentLess, static_cast<uint16_t>(argument.group),
                         static_cast<uint16_t>(argument.occurrence), kind,
                         isText(compareValue, BeatRule), op, compareValue, &params,
                         &target->array()});
        return true;
    });
}

// The plan of a row for this message, made again when the message's tags differ from the
// tags of the last plan.
const RowPlan &planFor(EngineState &state, const OSCMessage &message, const VarArray &row,
                       uint64_t generation)
{
    RowPlan &plan = state.preparedActions.planOf(row, generation);
    if (!plan.planned || plan.emptyTags != message.hasEmptyTags() ||
        !equalBytes(plan.tags, message.tagBytes())) {
        plan.matches = planRow(state, message, row, generation, plan.steps);
        plan.emptyTags = message.hasEmptyTags();
        plan.tags.assign(message.tagBytes());
        plan.planned = true;
    }
    return plan;
}

bool satisfied(EngineState &state, const PlannedStep &step, const Variant &value,
               const Variant *activation)
{
    static const Variant none;
    const ConditionOperator op =
        step.kind == ConditionOperator::Unread ? operatorOf(toText(*step.op)) : step.kind;
    return conditionHolds(state, op, step.beatRule, step.compareValue ? *step.compareValue : none,
                          value, activation ? *activation : none);
}

// Runs the satisfied conditions of one matching row (the table's element `index`), in argument
// order; `fate` rises to Taken when the row matches and to Executed once an action ran. Returns
// false when a host call changed the table under the row, so the datagram must not go on with it.
bool runRow(EngineState &state, const OSCMessage &message, const VarArray &row, int32_t index,
            MessageFate &fate)
{
    uint64_t generation = state.actionTable.generation();
    const RowPlan &plan = planFor(state, message, row, generation);
    if (!plan.matches)
        return true;
    if (fate < MessageFate::Taken)
        fate = MessageFate::Taken;
    const Variant *activation = row.find(rowField::Activation);
    for (const PlannedStep &step : plan.steps) {
        const Variant &value = message.slot(step.slot)[step.occurrence];
        // An argument-less message runs its action whatever the operator and the activation.
        if (!step.argumentLess && !satisfied(state, step, value, activation))
            continue;
        executeAction(state, value, *step.parameters, *step.target, index);
        fate = MessageFate::Executed;
        // The host may have replaced the table: the row and its plan are gone with it.
        if (generation != state.actionTable.generation())
            return false;
    }
    return true;
}

bool hasActionId(const VarArray &row, int32_t id)
{
    return actionIdOf(row) == id;
}

// Sets the activation of every row with this id, and the check box of its list item. The rows
// come from the table's index of ids (a rebuild switches every row in turn, so a walk over the
// table for each would take quadratic time), asked again for each row, since the windows are
// called in between.
void setActivation(EngineState &state, int32_t id, std::string_view activation)
{
    for (size_t n = 0;; ++n) {
        const std::span<const ActionTable::RowPlace> places =
            state.actionTable.rowsWithActionId(id);
        if (n >= places.size())
            return;
        const ActionTable::RowPlace place = places[n];
        const VarArray *r = rowAt(state.actionTable.rows(), place.index);
        // A damaged row without an activation slot is passed over; the others are still switched.
        if (!r || !r->find(rowField::Activation))
            continue;
        state.actionTable.setActivation(place.index, activation);
        if (state.windows.actionListItemCount() >= 1)
            state.windows.setActionListItemChecked(place.position, activation == Activated);
    }
}

} // namespace

// Learn mode, or every message against the rows with its address. `fates` (one per element,
// Skipped at the start) is filled when the listener wants it, else null.
static void dispatchMessages(EngineState &state, MessageFate *fates)
{
    if (state.windows.learnModeOn()) {
        learnMessages(state, state.receivedMessages);
        if (state.windows.analyzerOpen())
            state.windows.analyze(state.receivedMessages);
        if (fates)
            std::fill_n(fates, state.receivedMessages.size(), MessageFate::Learned);
        return;
    }
    if (!state.windows.socketOpen())
        return;
    const bool anyRows = state.actionTable.isDimensioned();
    size_t index = 0;
    for (osc::OSCMessages::Element element : state.receivedMessages.elements()) {
        const size_t at = index++;
        // A nested bundle has no address and matches no row.
        if (!element.isMessage())
            continue;
        const OSCMessage &message = element.message();
        MessageFate fate = MessageFate::Unmatched;
        bool tableChanged = false;
        if (anyRows) {
            for (int32_t row : state.actionTable.rowsWithAddress(message.address())) {
                const VarArray *r = rowAt(state.actionTable.rows(), row);
                if (r && !runRow(state, message, *r, row, fate)) {
                    tableChanged = true;
                    break;
                }
            }
        }
        if (fates)
            fates[at] = fate;
        if (tableChanged)
            return;
    }
}

// One datagram: decode, then learn mode or the actions. The decoded messages stay as they are
// until it ends, since a datagram handed in meanwhile waits in the queue.
static void handleOne(EngineState &state, std::span<const uint8_t> datagram, const Endpoint &source)
{
    state.windows.signalReception();
    osc::OSCReader::readPacket(datagram, state.receivedMessages);
    DispatchListener *listener = state.dispatchListener;
    if (!listener) {
        dispatchMessages(state, nullptr);
        return;
    }
    state.fates.assign(state.receivedMessages.size(), MessageFate::Skipped);
    dispatchMessages(state, state.fates.data());
    listener->datagramHandled(source, datagram, state.receivedMessages, state.fates);
}

void handleDatagram(EngineState &state, std::span<const uint8_t> datagram, const Endpoint &source)
{
    DatagramQueue &queue = state.incoming;
    if (queue.handling) {
        // A host call under way handed this one in: it waits for the current one to end.
        queue.waiting.push_back({{datagram.begin(), datagram.end()}, source});
        return;
    }
    struct Handling {
        DatagramQueue &queue;
        explicit Handling(DatagramQueue &q) : queue(q) { queue.handling = true; }
        ~Handling() { queue.handling = false; }
    } handling(queue);

    // A failing datagram is dropped; the ones waiting are still handled, and the first failure
    // reaches the caller once the queue is empty.
    std::exception_ptr firstFailure;
    auto handle = [&](std::span<const uint8_t> bytes, const Endpoint &from) {
        try {
            handleOne(state, bytes, from);
            return;
        } catch (...) {
            if (!firstFailure)
                firstFailure = std::current_exception();
        }
        if (state.dispatchListener)
            state.dispatchListener->datagramFailed(from, bytes);
    };
    handle(datagram, source);
    while (!queue.waiting.empty()) {
        DatagramQueue::Waiting next = std::move(queue.waiting.front());
        queue.waiting.pop_front();
        handle(next.bytes, next.source);
    }
    if (firstFailure)
        std::rethrow_exception(firstFailure);
}

bool evaluateCondition(EngineState &state, std::string_view op, const Variant &compareValue,
                       const Variant &value, const Variant &activation)
{
    return conditionHolds(state, operatorOf(op), isText(&compareValue, BeatRule), compareValue,
                          value, activation);
}

namespace {

bool conditionHolds(EngineState &state, ConditionOperator op, bool beatRule,
                    const Variant &compareValue, const Variant &value, const Variant &activation)
{
    using enum ConditionOperator;
    if (!isText(&activation, Activated) || op == Never)
        return false;

    bool beat = false;
    if (beatRule) {
        // A text that reads as a number takes part as that number; any other text cannot, and
        // such a condition is never satisfied.
        if (!isNumeric(value))
            return false;
        int32_t rounded = toLong(value);
        beat = toDecimal(value) < Decimal(state.lastBeatValue);
        state.lastBeatValue = rounded;
    }
    if (op == Any)
        return true;
    if (op == Other)
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
    if (op == Equal)
        return beat || c == Comparison::Equal;
    if (op == Less)
        return beat || c == Comparison::Less;
    if (op == Greater)
        return beat || c == Comparison::Greater;
    return beat || (c != Comparison::Equal && c != Comparison::Null);
}

} // namespace

void activateAction(EngineState &state, int32_t id)
{
    setActivation(state, id, Activated);
}

void deactivateAction(EngineState &state, int32_t id)
{
    setActivation(state, id, Deactivated);
}

bool isActionActivated(const EngineState &state, int32_t id)
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

bool rowHasActionId(const VarArray &row, int32_t id)
{
    return hasActionId(row, id);
}

} // namespace tarvex
