#include "ui/editor/ActionsJson.h"

#include "core/Conversions.h"
#include "core/Json.h"
#include "core/VbError.h"
#include "engine/ActionTable.h"
#include "engine/Lib.h"
#include "ui/editor/ActionListEditor.h"
#include "ui/editor/ArgumentLabel.h"

#include <algorithm>
#include <array>
#include <limits>
#include <stdexcept>

namespace tarvex {
namespace {

// The members of a row, in the order they are written.
namespace key {
constexpr std::string_view Address = "address";
constexpr std::string_view Tags = "tags";
constexpr std::string_view Argument = "argument";
constexpr std::string_view Operator = "operator";
constexpr std::string_view Target = "target";
constexpr std::string_view Activation = "activation";
constexpr std::string_view Id = "id";
} // namespace key
// The comparison value and the six limits, in the editor's column order.
constexpr std::array<std::string_view, 7> ParameterKeys = {
    "compareValue", "inMin", "inMax", "outMin", "outMax", "min", "max"};
constexpr std::array<std::string_view, 5> TargetKeys = {"t0", "t1", "t2", "t3", "t4"};
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
        object.add(std::string(TargetKeys[i]),
                   JsonValue::string(textOf(target[static_cast<int32_t>(i)])));
    object.add(std::string(TargetKeys[3]), JsonValue::integer(toByte(target[3])));
    object.add(std::string(TargetKeys[4]), JsonValue::integer(toLong(target[4])));
    return object;
}

JsonValue rowJson(const VarArray &action)
{
    JsonValue row = JsonValue::object();
    row.add(std::string(key::Address), JsonValue::string(textOf(action[rowField::Address])));
    row.add(std::string(key::Tags), texts(action[rowField::TypeTags].array()));
    const std::optional<ShownCondition> shown = shownCondition(action);
    row.add(std::string(key::Argument), JsonValue::string(shown ? shown->label : ""));
    if (shown) {
        const VarArray &condition = *shown->condition;
        row.add(std::string(key::Operator),
                JsonValue::string(textOf(condition[conditionField::Operator])));
        const VarArray &parameters = condition[conditionField::Parameters].array();
        const size_t count = endsWith(shown->label, "String") ? 1 : ParameterKeys.size();
        for (size_t i = 0; i < count; ++i)
            row.add(std::string(ParameterKeys[i]),
                    JsonValue::string(textOf(parameters[static_cast<int32_t>(i)])));
        row.add(std::string(key::Target), targetJson(condition[conditionField::Target].array()));
    }
    const bool activated = textOf(action[rowField::Activation]) == Activated;
    row.add(std::string(key::Activation),
            JsonValue::string(std::string(activated ? Activated : Deactivated)));
    row.add(std::string(key::Id), JsonValue::integer(*actionIdOf(action)));
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
    RowReader(std::vector<std::string> &errors, const ActionsImportRules &rules, size_t number)
        : m_errors(errors), m_rules(rules), m_number(number)
    {}

    void error(std::string_view field, const std::string &message)
    {
        m_failed = true;
        if (m_errors.size() < ActionsImport::MaxErrors)
            m_errors.push_back("row " + std::to_string(m_number) + ", " + std::string(field) +
                               ": " + message);
    }
    bool failed() const { return m_failed; }

    // A member that must be a text the actions file stores as it is; "" after an error.
    std::string text(const JsonValue &object, std::string_view name, std::string_view field)
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
        if (m_rules.storedText) {
            if (std::optional<std::string> why = m_rules.storedText(value->text())) {
                error(field, *why);
                return {};
            }
        }
        return value->text();
    }

    // A cell the engine reads as a number when it is one: it must then fit in a decimal.
    std::string numberCell(const JsonValue &object, std::string_view name)
    {
        std::string cell = text(object, name, name);
        if (isNumericText(cell)) {
            try {
                toDecimal(Variant(cell));
            } catch (const VbError &) {
                error(name, "\"" + cell +
                                "\" is a number beyond what a row can hold (at most 28 digits, "
                                "up to 79228162514264337593543950335)");
            }
        }
        return cell;
    }

    // A member that must be a whole number within [low, high]; low after an error.
    int64_t integer(const JsonValue &object, std::string_view name, std::string_view field,
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
    void onlyKnown(const JsonValue &object, const std::array<std::string_view, N> &known,
                   const std::string &prefix)
    {
        for (const auto &member : object.members()) {
            bool found = false;
            for (std::string_view name : known)
                found = found || member.first == name;
            if (!found)
                error(prefix + member.first, "unknown field");
        }
    }

    void absent(const JsonValue &object, std::string_view name, const std::string &why)
    {
        if (object.find(name))
            error(name, why);
    }

private:
    std::vector<std::string> &m_errors;
    const ActionsImportRules &m_rules;
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
    values.reserve(TargetKeys.size());
    for (size_t i = 0; i < 3; ++i)
        values.emplace_back(
            reader.text(*target, TargetKeys[i], "target." + std::string(TargetKeys[i])));
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
            cells.parameters[i] = reader.numberCell(row, ParameterKeys[i]);
        else
            reader.absent(row, ParameterKeys[i], "a text argument has no limits");
    }
    const VarArray target = readTarget(reader, row);
    return composeConditions(tags, splitLabel(argument), cells, [&] { return target; });
}

// The editor keeps a row only with its argument chosen: a save drops any other.
void requireArgument(RowReader &reader, const JsonValue &row, const VarArray &tags)
{
    if (!isText(row.find(key::Argument)))
        return; // named already
    reader.error(key::Argument, "no argument chosen (the tags have: " + labelsOf(tags) +
                                    "); a save would drop the row");
}

struct ReadRow {
    Variant row;
    int32_t id;
    std::string_view activation;
    size_t arguments;
};

std::optional<ReadRow> readRow(std::vector<std::string> &errors, const ActionsImportRules &rules,
                               size_t number, const JsonValue &row)
{
    RowReader reader(errors, rules, number);
    if (!row.isObject()) {
        reader.error("row", "must be an object");
        return std::nullopt;
    }
    constexpr std::array<std::string_view, 14> Known = {
        key::Address, key::Tags,   key::Argument,   key::Operator, "compareValue",
        "inMin",      "inMax",     "outMin",        "outMax",      "min",
        "max",        key::Target, key::Activation, key::Id};
    reader.onlyKnown(row, Known, "");
    std::string address = reader.text(row, key::Address, key::Address);
    if (isText(row.find(key::Address)) && address.empty())
        reader.error(key::Address, "must not be empty");
    VarArray tags = readTags(reader, row);
    const std::string argument = reader.text(row, key::Argument, key::Argument);
    VarArray conditions;
    if (!argument.empty())
        conditions = readConditions(reader, row, tags, argument);
    else
        requireArgument(reader, row, tags);
    std::string activation = reader.text(row, key::Activation, key::Activation);
    if (isText(row.find(key::Activation)) && activation != Activated && activation != Deactivated)
        reader.error(key::Activation, "must be \"Activated\" or \"Deactivated\"");
    const auto id = static_cast<int32_t>(reader.integer(row, key::Id, key::Id,
                                                        std::numeric_limits<int32_t>::min(),
                                                        std::numeric_limits<int32_t>::max()));
    if (reader.failed())
        return std::nullopt;
    const size_t arguments = tags.size();
    const std::string_view kept = activation == Activated ? Activated : Deactivated;
    return ReadRow{Variant(arrayOf(std::move(address), std::move(tags), std::move(conditions), id,
                                   std::move(activation))),
                   id, kept, arguments};
}

void checkDocument(const JsonValue &document, bool listSeen, std::vector<std::string> &errors)
{
    if (!document.isObject()) {
        errors.push_back("the text must be an object with \"format\" and \"actions\"");
        return;
    }
    const JsonValue *format = document.find("format");
    if (!format || !format->isString() || format->text() != ActionsJsonFormat)
        errors.push_back("format: must be \"" + std::string(ActionsJsonFormat) + "\"");
    for (const auto &member : document.members())
        if (member.first != "format" && member.first != "actions")
            errors.push_back(member.first + ": unknown field");
    const JsonValue *actions = document.find("actions");
    if (!actions || (!actions->isArray() && !listSeen))
        errors.push_back(actions ? "actions: must be a list of rows" : "actions: missing");
}

// What an import gathers while the rows go by.
class ImportedRows {
public:
    ImportedRows(ActionsImport &result, const ActionsImportRules &rules)
        : m_result(result), m_rules(rules)
    {}

    void add(const JsonValue &object, size_t index)
    {
        const size_t number = index + 1;
        if (number > MaxImportedRows)
            throw TooMuch("actions: more than " + std::to_string(MaxImportedRows) + " rows");
        std::optional<ReadRow> row = readRow(m_result.errors, m_rules, number, object);
        if (row) {
            m_arguments += row->arguments;
            if (m_arguments > MaxImportedArguments)
                throw TooMuch("row " + std::to_string(number) + ", tags: more than " +
                              std::to_string(MaxImportedArguments) +
                              " arguments in the rows up to here");
            m_numbers.push_back(
                {row->id, static_cast<uint32_t>(number), row->activation == Activated});
            // After the first error no table is made: its rows are not kept.
            if (m_failures == 0)
                m_rows.push_back(std::move(row->row));
        } else {
            ++m_failures;
        }
        if (m_rules.rowRead)
            m_rules.rowRead(number);
    }

    // Once every row is read: the rows become the table when all of them are right, and the
    // numbers several rows share are listed.
    void finish()
    {
        checkSharedNumbers();
        if (m_failures > 0) {
            if (m_result.errors.size() >= ActionsImport::MaxErrors)
                m_result.errors.push_back("(the first " + std::to_string(ActionsImport::MaxErrors) +
                                          " errors; " + std::to_string(m_failures) +
                                          " rows have errors)");
            return;
        }
        m_result.table = m_rows.empty() ? VarArray() : VarArray::ofValues(std::move(m_rows));
    }

    // Raised when the text is beyond the import's bounds: the rest is not read.
    struct TooMuch : std::runtime_error {
        using std::runtime_error::runtime_error;
    };

private:
    struct RowNumber {
        int32_t id;
        uint32_t row;
        bool activated;
    };

    // Rows that share a number are switched together, and a save and a load give all of them
    // one activation: the import takes only rows that agree. Sorted by number, each number's
    // rows lie together, its first row first.
    void checkSharedNumbers()
    {
        std::sort(m_numbers.begin(), m_numbers.end(), [](const RowNumber &a, const RowNumber &b) {
            return a.id != b.id ? a.id < b.id : a.row < b.row;
        });
        std::vector<std::pair<uint32_t, SharedActionId>> shared; // with its first row
        for (size_t first = 0, end = 0; first < m_numbers.size(); first = end) {
            while (end < m_numbers.size() && m_numbers[end].id == m_numbers[first].id)
                ++end;
            if (end - first > 1)
                shared.push_back({m_numbers[first].row, {m_numbers[first].id, end - first}});
            for (size_t i = first + 1; i < end; ++i)
                if (m_numbers[i].activated != m_numbers[first].activated)
                    disagrees(m_numbers[i], m_numbers[first]);
        }
        std::sort(shared.begin(), shared.end(),
                  [](const auto &a, const auto &b) { return a.first < b.first; });
        for (const auto &[row, id] : shared)
            m_result.sharedIds.push_back(id);
    }

    void disagrees(const RowNumber &row, const RowNumber &first)
    {
        const auto name = [](bool activated) {
            return std::string(activated ? Activated : Deactivated);
        };
        RowReader(m_result.errors, m_rules, row.row)
            .error(key::Activation, "\"" + name(row.activated) + "\" differs from row " +
                                        std::to_string(first.row) + ", which has the same id " +
                                        std::to_string(row.id) +
                                        ": rows that share an id are switched together");
        ++m_failures;
    }

    ActionsImport &m_result;
    const ActionsImportRules &m_rules;
    std::vector<Variant> m_rows;
    std::vector<RowNumber> m_numbers;
    size_t m_arguments = 0;
    size_t m_failures = 0;
};

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

ActionsImport importActionsJson(std::string_view text, const ActionsImportRules &rules)
{
    ActionsImport result;
    if (text.size() > MaxActionsJsonBytes) {
        result.errors.push_back("the text is " + std::to_string(text.size()) +
                                " bytes long; an import takes at most " +
                                std::to_string(MaxActionsJsonBytes) + " bytes");
        return result;
    }
    ImportedRows rows(result, rules);
    bool listSeen = false;
    JsonValue document;
    try {
        document = parseJsonList(text, "actions",
                                 [&](JsonValue row, size_t index) {
                                     listSeen = true;
                                     rows.add(row, index);
                                 },
                                 {.maxDepth = JsonMaxDepth, .maxValues = MaxHeldJsonValues});
    } catch (const JsonError &e) {
        result.errors.assign({e.what()});
        return result;
    } catch (const ImportedRows::TooMuch &e) {
        result.errors.assign({e.what()});
        return result;
    }
    std::vector<std::string> documentErrors;
    checkDocument(document, listSeen, documentErrors);
    if (!documentErrors.empty()) {
        result.errors.insert(result.errors.begin(), documentErrors.begin(), documentErrors.end());
        return result;
    }
    rows.finish();
    if (!result.table)
        result.sharedIds.clear();
    return result;
}

} // namespace tarvex
