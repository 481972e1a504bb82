#include "host/objects/ActionRows.h"

#include "core/Conversions.h"
#include "core/Json.h"
#include "core/VbError.h"
#include "host/objects/TargetColumns.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <stdexcept>
#include <utility>

namespace tarvex::host {
namespace {

constexpr std::string_view BeatRule = "NumarkBeat";

std::string member(const JsonValue &object, const char *name)
{
    const JsonValue *value = object.find(name);
    return value && value->isString() ? value->text() : std::string();
}

int64_t integerMember(const JsonValue &object, const char *name)
{
    const JsonValue *value = object.find(name);
    return value ? value->asInteger().value_or(0) : 0;
}

std::optional<TargetValues> targetOf(const JsonValue &row)
{
    const JsonValue *target = row.find("target");
    if (!target || !target->isObject())
        return std::nullopt;
    return TargetValues{Variant(member(*target, "t0")), Variant(member(*target, "t1")),
                        Variant(member(*target, "t2")),
                        static_cast<uint8_t>(integerMember(*target, "t3")),
                        static_cast<int32_t>(integerMember(*target, "t4"))};
}

ActionRow rowOf(const JsonValue &object, int number)
{
    ActionRow row;
    row.number = number;
    row.address = member(object, "address");
    if (const JsonValue *tags = object.find("tags"); tags && tags->isArray())
        for (const JsonValue &tag : tags->items())
            row.tags.push_back(tag.text());
    row.argument = member(object, "argument");
    row.op = member(object, "operator");
    row.compareValue = member(object, "compareValue");
    row.inMin = member(object, "inMin");
    row.inMax = member(object, "inMax");
    row.target = targetOf(object);
    row.activation = member(object, "activation");
    row.id = static_cast<int32_t>(integerMember(object, "id"));
    return row;
}

bool endsWith(std::string_view text, std::string_view tail)
{
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// The kinds of argument the engine compares as numbers.
bool numericArgument(const ActionRow &row)
{
    return endsWith(row.argument, "Float") || endsWith(row.argument, "Integer");
}

// A message without arguments runs its row whatever the operator and the activation.
bool argumentLess(const ActionRow &row)
{
    return endsWith(row.argument, "Empty");
}

std::string kindOf(const ActionRow &row)
{
    return row.target && row.target->t0.isString() ? row.target->t0.asString() : std::string();
}

bool writesLevels(const ActionRow &row)
{
    const std::string kind = kindOf(row);
    return kind == DmxKind || kind == Dmx16Kind;
}

std::string quoted(const std::string &text)
{
    return "\"" + text + "\"";
}

} // namespace

std::vector<ActionRow> readActionRows(std::string_view json)
{
    // Row by row, so that a show of many thousands of rows is never held as JSON values whole.
    std::vector<ActionRow> rows;
    const JsonValue document = parseJsonList(json, "actions", [&](JsonValue object, size_t) {
        rows.push_back(rowOf(object, static_cast<int>(rows.size()) + 1));
    });
    const JsonValue *actions = document.find("actions");
    if (!actions || !actions->isArray())
        throw std::runtime_error("the plug-in's actions have no list of rows");
    return rows;
}

std::string conditionText(const ActionRow &row)
{
    if (row.argument.empty())
        return "";
    if (row.op == "any" || argumentLess(row))
        return "any";
    return row.op + " " + row.compareValue;
}

std::optional<std::string> noArgumentChosen(const ActionRow &row)
{
    if (!row.argument.empty())
        return std::nullopt;
    return "no argument chosen in \"Wert\"";
}

std::optional<std::string> switchedOff(const ActionRow &row)
{
    if (row.argument.empty() || argumentLess(row) || row.activation == "Activated")
        return std::nullopt;
    return "deactivated: its box is unticked, or a cue switched it off";
}

std::optional<std::string> comparisonWithoutNumber(const ActionRow &row)
{
    const bool compares = row.op == "=" || row.op == "<" || row.op == ">" || row.op == "!=";
    if (!numericArgument(row) || !compares || row.compareValue == BeatRule ||
        isNumericText(row.compareValue))
        return std::nullopt;
    const std::string what =
        row.compareValue.empty()
            ? "\"Vergleichswert\" is empty"
            : "\"Vergleichswert\" " + quoted(row.compareValue) + " is no number";
    // A number compared with a text is less than it.
    const bool always = row.op == "<" || row.op == "!=";
    return what + ": " + quoted(row.op) + (always ? " holds for every value" : " never holds");
}

std::optional<InputLimits> inputLimits(const ActionRow &row)
{
    if (!numericArgument(row) || !isNumericText(row.inMin) || !isNumericText(row.inMax))
        return std::nullopt;
    return InputLimits{toDecimal(Variant(row.inMin)), toDecimal(Variant(row.inMax))};
}

std::optional<size_t> testedArgumentIndex(const ActionRow &row)
{
    // The argument as the editor names it: its number among the arguments of its kind, ". ",
    // the kind.
    static constexpr std::pair<std::string_view, std::string_view> tagOfKind[] = {
        {"Float", "f"}, {"Integer", "i"}, {"String", "s"}};
    const std::string_view argument = row.argument;
    const size_t dot = argument.find(". ");
    int number = 0;
    const char *digitsEnd = argument.data() + (dot == std::string_view::npos ? 0 : dot);
    if (dot == std::string_view::npos ||
        std::from_chars(argument.data(), digitsEnd, number).ptr != digitsEnd || number < 1)
        return std::nullopt;
    const std::string_view kind = argument.substr(dot + 2);
    const auto entry = std::find_if(std::begin(tagOfKind), std::end(tagOfKind),
                                    [&](const auto &e) { return e.first == kind; });
    if (entry == std::end(tagOfKind))
        return std::nullopt;
    int remaining = number;
    for (size_t i = 0; i < row.tags.size(); ++i)
        if (row.tags[i] == entry->second && --remaining == 0)
            return i;
    return std::nullopt;
}

std::optional<std::string> equalInputLimits(const ActionRow &row)
{
    try {
        const std::optional<InputLimits> limits = inputLimits(row);
        if (!limits || limits->inMin != limits->inMax)
            return std::nullopt;
    } catch (const VbError &) {
        // A limit beyond the decimal range: the engine then sends outMin for every value.
        return "inMin or inMax is a number beyond what a row can hold: every value sends outMin";
    }
    return "inMin equals inMax: every value sends outMin";
}

std::optional<std::string> targetDisabled(const ActionRow &row)
{
    if (kindOf(row) != DisabledKind)
        return std::nullopt;
    return "its target is \"Deaktiviert\"";
}

std::optional<std::string> targetWithoutKind(const ActionRow &row)
{
    const std::string kind = kindOf(row);
    if (!row.target || writesLevels(row) || kind == DisabledKind)
        return std::nullopt;
    return kind.empty() ? "no target kind chosen in \"Ziel\""
                        : "the target kind " + quoted(kind) + " writes no level";
}

std::optional<std::string> missingUniverse(const ActionRow &row, const Universes &universes)
{
    if (!writesLevels(row) || universes.isUniverse(row.target->t3))
        return std::nullopt;
    return "universe " + std::to_string(row.target->t3) + " does not exist (this host has 1 to " +
           std::to_string(universes.count()) + ")";
}

std::optional<std::string> missingChannel(const ActionRow &row)
{
    if (!writesLevels(row))
        return std::nullopt;
    const int32_t channel = row.target->t4;
    if (kindOf(row) == Dmx16Kind && channel == Universes::ChannelCount)
        return "a DMX16 target needs channel 1 to 511: its fine byte goes to the next channel";
    if (Universes::isChannel(channel))
        return std::nullopt;
    return "channel " + std::to_string(channel) + " does not exist (1 to 512)";
}

std::vector<std::string> reasonsRowCannotFire(const ActionRow &row, const Universes &universes)
{
    std::vector<std::string> reasons;
    for (std::optional<std::string> reason :
         {noArgumentChosen(row), switchedOff(row), comparisonWithoutNumber(row),
          equalInputLimits(row), targetDisabled(row), targetWithoutKind(row),
          missingUniverse(row, universes), missingChannel(row)})
        if (reason)
            reasons.push_back(std::move(*reason));
    return reasons;
}

void setRowKeys(std::vector<ActionRow> &rows, const std::vector<RowKey> &keys)
{
    if (keys.size() != rows.size())
        return;
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i].key = keys[i];
}

std::optional<TargetHit> hitOf(const ActionRow &row, const TargetHits &hits)
{
    const TargetHit *hit = row.key != NoRow ? hits.find(row.key) : nullptr;
    return hit ? std::optional<TargetHit>(*hit) : std::nullopt;
}

std::vector<RowStatus> rowStatuses(std::vector<ActionRow> rows, const Universes &universes,
                                   const TargetHits &hits)
{
    std::vector<RowStatus> statuses;
    statuses.reserve(rows.size());
    for (ActionRow &row : rows) {
        std::optional<TargetHit> hit = hitOf(row, hits);
        std::vector<std::string> reasons = reasonsRowCannotFire(row, universes);
        statuses.push_back({std::move(row), std::move(hit), std::move(reasons)});
    }
    return statuses;
}

} // namespace tarvex::host
