#include "ui/editor/ActionsJson.h"

#include "core/Conversions.h"
#include "core/Json.h"
#include "engine/ActionTable.h"
#include "engine/Lib.h"
#include "ui/editor/ActionListEditor.h"
#include "ui/editor/ArgumentLabel.h"

#include <array>
#include <limits>

namespace tarvex {
namespace {

// The members of a row, in the order they are written.
namespace key {
constexpr const char *Address = "address";
constexpr const char *Tags = "tags";
constexpr const char *Argument = "argument";
constexpr const char *Operator = "operator";
constexpr const char *Target = "target";
constexpr const char *Activation = "activation";
constexpr const char *Id = "id";
} // namespace key
// The comparison value and the six limits, in the editor's column order.
constexpr std::array<const char *, 7> ParameterKeys = {"compareValue", "inMin", "inMax", "outMin",
                                                       "outMax",       "min",   "max"};
constexpr std::array<const char *, 5> TargetKeys = {"t0", "t1", "t2", "t3", "t4"};
constexpr std::array<std::string_view, 5> Operators = {"=", "<", ">", "!=", "any"};

// --- Export ------------------------------------------------------------------------------------

std::string textOf(const Variant &value)
{
    return toText(value);
}

JsonValue texts(const VarArray &values)
{
    JsonValue array = JsonValue::array();
    for (const Variant &value : values.elements())
        array.append(JsonValue::string(textOf(value)));
    return array;
}

JsonValue targetJson(const VarArray &target)
{
    JsonValue object = JsonValue::object();
    for (size_t i = 0; i < 3; ++i)
        object.add(TargetKeys[i], JsonValue::string(textOf(target[static_cast<int32_t>(i)])));
    object.add(TargetKeys[3], JsonValue::integer(toByte(target[3])));
    object.add(TargetKeys[4], JsonValue::integer(toLong(target[4])));
    return object;
}

JsonValue rowJson(const VarArray &action)
{
    JsonValue row = JsonValue::object();
    row.add(key::Address, JsonValue::string(textOf(action[rowField::Address])));
    row.add(key::Tags, texts(action[rowField::TypeTags].array()));
    const std::optional<ShownCondition> shown = shownCondition(action);
    row.add(key::Argument, JsonValue::string(shown ? shown->label : ""));
    if (shown) {
        const VarArray &condition = *shown->condition;
        row.add(key::Operator, JsonValue::string(textOf(condition[conditionField::Operator])));
        const VarArray &parameters = condition[conditionField::Parameters].array();
        const size_t count = endsWith(shown->label, "String") ? 1 : ParameterKeys.size();
        for (size_t i = 0; i < count; ++i)
            row.add(ParameterKeys[i],
                    JsonValue::string(textOf(parameters[static_cast<int32_t>(i)])));
        row.add(key::Target, targetJson(condition[conditionField::Target].array()));
    }
    const bool activated = textOf(action[rowField::Activation]) == Activated;
    row.add(key::Activation, JsonValue::string(std::string(activated ? Activated : Deactivated)));
    row.add(key::Id, JsonValue::integer(*actionIdOf(action)));
    return row;
}

// A row object with one member a line; the tags and the target stay on their member's line.
void writeRow(std::string &out, const JsonValue &row)
{
    out += "    {\n";
    const char *separator = "";
    for (const auto &[name, value] : row.members()) {
        out += separator;
        out += "      " + jsonString(name) + ": " + oneLineJson(value);
        separator = ",\n";
    }
    out += "\n    }";
}

// --- Import ------------------------------------------------------------------------------------

class RowReader {
public:
    RowReader(std::vector<std::string> &errors, size_t number) : m_errors(errors), m_number(number)
    {}

    void error(const std::string &field, const std::string &message)
    {
        m_failed = true;
        if (m_errors.size() < ActionsImport::MaxErrors)
            m_errors.push_back("row " + std::to_string(m_number) + ", " + field + ": " + message);
    }
    bool failed() const { return m_failed; }

    // A member that must be a text; "" after an error.
    std::string text(const JsonValue &object, const char *name, const std::string &field)
    {
        const JsonValue *value = object.find(name);
        if (!value) {
            error(field, "missing");
            return {};
        }
        if (!value->isString()) {
            error(field, "must be a text (in quotes)");
            return {};
        }
        return value->text();
    }

    // A member that must be a whole number within [low, high]; low after an error.
    int64_t integer(const JsonValue &object, const char *name, const std::string &field,
                    int64_t low, int64_t high)
    {
        const JsonValue *value = object.find(name);
        if (!value) {
            error(field, "missing");
            return low;
        }
        const std::optional<int64_t> n = value->asInteger();
        if (!n || *n < low || *n > high) {
            error(field, "must be a whole number from " + std::to_string(low) + " to " +
                             std::to_string(high));
            return low;
        }
        return *n;
    }

    // Every member of the object must be one of `known`.
    template <size_t N>
    void onlyKnown(const JsonValue &object, const std::array<const char *, N> &known,
                   const std::string &prefix)
    {
        for (const auto &member : object.members()) {
            bool found = false;
            for (const char *name : known)
                found = found || member.first == name;
            if (!found)
                error(prefix + member.first, "unknown field");
        }
    }

    void absent(const JsonValue &object, const char *name, const std::string &why)
    {
        if (object.find(name))
            error(name, why);
    }

private:
    std::vector<std::string> &m_errors;
    size_t m_number;
    bool m_failed = false;
};

bool isText(const JsonValue *value)
{
    return value && value->isString();
}

std::string labelsOf(const VarArray &tags)
{
    std::string labels;
    forEachTaggedArgument(tags, [&](const std::string &tag, int, int ordinal) {
        labels += (labels.empty() ? "" : ", ") + argumentLabel(ordinal, tag);
    });
    return labels.empty() ? "none" : labels;
}

// Whether the label names an argument of the tags, and which tag it has.
std::optional<std::string> tagOfArgument(const VarArray &tags, const std::string &label)
{
    std::optional<std::string> found;
    forEachTaggedArgument(tags, [&](const std::string &tag, int, int ordinal) {
        if (argumentLabel(ordinal, tag) == label)
            found = tag;
    });
    return found;
}

VarArray readTags(RowReader &reader, const JsonValue &row)
{
    const JsonValue *tags = row.find(key::Tags);
    if (!tags || !tags->isArray()) {
        reader.error(key::Tags, tags ? "must be a list of type tags" : "missing");
        return VarArray::ofStrings({});
    }
    std::vector<std::string> list;
    for (const JsonValue &tag : tags->items()) {
        const bool valid =
            tag.isString() &&
            ((tag.text().size() == 1 && tag.text()[0] > ' ' && tag.text()[0] < 0x7F) ||
             (tag.text() == "Empty" && tags->items().size() == 1));
        if (!valid) {
            reader.error(key::Tags, "each tag is one character such as \"f\", \"i\" or \"s\", or "
                                    "the list is [\"Empty\"] alone");
            break;
        }
        list.push_back(tag.text());
    }
    return VarArray::ofStrings(list);
}

VarArray readTarget(RowReader &reader, const JsonValue &row)
{
    const JsonValue *target = row.find(key::Target);
    if (!target || !target->isObject()) {
        reader.error(key::Target, target ? "must be an object with t0 to t4" : "missing");
        return VarArray();
    }
    reader.onlyKnown(*target, TargetKeys, "target.");
    std::vector<Variant> values;
    for (size_t i = 0; i < 3; ++i)
        values.emplace_back(
            reader.text(*target, TargetKeys[i], std::string("target.") + TargetKeys[i]));
    values.push_back(Variant::byte(
        static_cast<uint8_t>(reader.integer(*target, TargetKeys[3], "target.t3", 0, 255))));
    values.emplace_back(static_cast<int32_t>(reader.integer(*target, TargetKeys[4], "target.t4",
                                                            std::numeric_limits<int32_t>::min(),
                                                            std::numeric_limits<int32_t>::max())));
    return VarArray::ofValues(std::move(values));
}

// The conditions of a row with a chosen argument; the fields of its condition are checked.
VarArray readConditions(RowReader &reader, const JsonValue &row, const VarArray &tags,
                        const std::string &argument)
{
    const std::optional<std::string> tag = tagOfArgument(tags, argument);
    if (!tag) {
        reader.error(key::Argument, "\"" + argument + "\" is no argument of the tags (they have: " +
                                        labelsOf(tags) + ")");
        return VarArray();
    }
    ConditionCells cells;
    cells.op = reader.text(row, key::Operator, key::Operator);
    bool known = false;
    for (std::string_view op : Operators)
        known = known || cells.op == op;
    if (isText(row.find(key::Operator)) && !known)
        reader.error(key::Operator, "must be one of \"=\", \"<\", \">\", \"!=\", \"any\"");
    const size_t count = *tag == "s" ? 1 : ParameterKeys.size();
    for (size_t i = 0; i < ParameterKeys.size(); ++i) {
        if (i < count)
            cells.parameters[i] = reader.text(row, ParameterKeys[i], ParameterKeys[i]);
        else
            reader.absent(row, ParameterKeys[i], "a text argument has no limits");
    }
    const VarArray target = readTarget(reader, row);
    return composeConditions(tags, splitLabel(argument), cells, [&] { return target; });
}

std::optional<Variant> readRow(std::vector<std::string> &errors, size_t number,
                               const JsonValue &row)
{
    RowReader reader(errors, number);
    if (!row.isObject()) {
        reader.error("row", "must be an object");
        return std::nullopt;
    }
    constexpr std::array<const char *, 14> Known = {
        key::Address, key::Tags,   key::Argument,   key::Operator, "compareValue",
        "inMin",      "inMax",     "outMin",        "outMax",      "min",
        "max",        key::Target, key::Activation, key::Id};
    reader.onlyKnown(row, Known, "");
    const std::string address = reader.text(row, key::Address, key::Address);
    if (isText(row.find(key::Address)) && address.empty())
        reader.error(key::Address, "must not be empty");
    const VarArray tags = readTags(reader, row);
    const std::string argument = reader.text(row, key::Argument, key::Argument);
    VarArray conditions;
    if (!argument.empty()) {
        conditions = readConditions(reader, row, tags, argument);
    } else {
        for (const char *name : {key::Operator, key::Target})
            reader.absent(row, name, "a row without an argument has no condition");
        for (const char *name : ParameterKeys)
            reader.absent(row, name, "a row without an argument has no condition");
        conditions = composeConditions(tags, {}, {}, [] { return VarArray(); });
    }
    const std::string activation = reader.text(row, key::Activation, key::Activation);
    if (activation != Activated && activation != Deactivated && !activation.empty())
        reader.error(key::Activation, "must be \"Activated\" or \"Deactivated\"");
    const auto id = static_cast<int32_t>(reader.integer(row, key::Id, key::Id,
                                                        std::numeric_limits<int32_t>::min(),
                                                        std::numeric_limits<int32_t>::max()));
    if (reader.failed())
        return std::nullopt;
    return Variant(VarArray::ofValues(
        {Variant(address), Variant(tags), Variant(conditions), Variant(id), Variant(activation)}));
}

const JsonValue *actionsOf(const JsonValue &document, std::vector<std::string> &errors)
{
    if (!document.isObject()) {
        errors.push_back("the text must be an object with \"format\" and \"actions\"");
        return nullptr;
    }
    const JsonValue *format = document.find("format");
    if (!format || !format->isString() || format->text() != ActionsJsonFormat)
        errors.push_back("format: must be \"" + std::string(ActionsJsonFormat) + "\"");
    for (const auto &member : document.members())
        if (member.first != "format" && member.first != "actions")
            errors.push_back(member.first + ": unknown field");
    const JsonValue *actions = document.find("actions");
    if (!actions || !actions->isArray())
        errors.push_back(actions ? "actions: must be a list of rows" : "actions: missing");
    return errors.empty() ? actions : nullptr;
}

} // namespace

std::string exportActionsJson(const VarArray &table)
{
    std::string out = "{\n  \"format\": " + jsonString(ActionsJsonFormat) + ",\n  \"actions\": [";
    const char *separator = "\n";
    if (table.isDimensioned()) {
        for (const Variant &element : table.elements()) {
            if (!isWholeRow(element))
                continue;
            out += separator;
            writeRow(out, rowJson(element.array()));
            separator = ",\n";
        }
    }
    out += *separator == ',' ? "\n  ]\n}\n" : "]\n}\n";
    return out;
}

ActionsImport importActionsJson(std::string_view text)
{
    ActionsImport result;
    JsonValue document;
    try {
        document = parseJson(text);
    } catch (const JsonError &e) {
        result.errors.push_back(e.what());
        return result;
    }
    const JsonValue *actions = actionsOf(document, result.errors);
    if (!actions)
        return result;
    std::vector<Variant> rows;
    size_t failures = 0;
    for (size_t i = 0; i < actions->items().size(); ++i) {
        std::optional<Variant> row = readRow(result.errors, i + 1, actions->items()[i]);
        if (row)
            rows.push_back(std::move(*row));
        else
            ++failures;
    }
    if (failures > 0) {
        if (result.errors.size() >= ActionsImport::MaxErrors)
            result.errors.push_back("(the first " + std::to_string(ActionsImport::MaxErrors) +
                                    " errors; " + std::to_string(failures) + " rows have errors)");
        return result;
    }
    result.table = rows.empty() ? VarArray() : VarArray::ofValues(std::move(rows));
    return result;
}

} // namespace tarvex
