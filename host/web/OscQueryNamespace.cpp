#include "host/web/OscQueryNamespace.h"

#include "core/Conversions.h"
#include "core/VbError.h"

#include <algorithm>
#include <array>

namespace tarvex::host {
namespace {

constexpr std::string_view RootDescription = "Tarvex";
// A node with arguments holds a value that can be read and set; one without takes a message
// and holds nothing.
constexpr int ReadWrite = 3, NoValue = 0;
constexpr std::array OwnExtensions = {"ACCESS", "VALUE", "RANGE", "DESCRIPTION", "OVERLOADS"};
constexpr std::array KnownAttributes = {"FULL_PATH", "CONTENTS",    "TYPE",      "ACCESS",
                                        "RANGE",     "DESCRIPTION", "OVERLOADS", "VALUE"};

// The parts of an OSC address between its slashes; none for one that is no path of the tree
// (not starting with "/", or with an empty part). "/" has no parts: it is the root.
std::optional<std::vector<std::string_view>> partsOf(std::string_view address)
{
    if (address.empty() || address.front() != '/')
        return std::nullopt;
    std::vector<std::string_view> parts;
    if (address.size() == 1)
        return parts;
    for (size_t start = 1;;) {
        const size_t slash = address.find('/', start);
        const std::string_view part = address.substr(start, slash - start);
        if (part.empty())
            return std::nullopt;
        parts.push_back(part);
        if (slash == std::string_view::npos)
            return parts;
        start = slash + 1;
    }
}

// A message without arguments carries the single tag "Empty" in a row.
bool withoutArguments(const std::vector<std::string> &tags)
{
    return tags.empty() || (tags.size() == 1 && tags.front() == "Empty");
}

std::string typeTagString(const std::vector<std::string> &tags)
{
    std::string joined;
    if (!withoutArguments(tags))
        for (const std::string &tag : tags)
            joined += tag;
    return joined;
}

// One JSON item per tag, a nested list for the tags between "[" and "]", as VALUE and RANGE
// are laid out.
template <typename ItemOf> JsonValue perArgument(const std::vector<std::string> &tags, ItemOf item)
{
    std::vector<JsonValue> open{JsonValue::array()};
    for (size_t i = 0; i < tags.size(); ++i) {
        if (tags[i] == "[") {
            open.push_back(JsonValue::array());
        } else if (tags[i] == "]" && open.size() > 1) {
            JsonValue closed = std::move(open.back());
            open.pop_back();
            open.back().append(std::move(closed));
        } else {
            open.back().append(item(i));
        }
    }
    while (open.size() > 1) {
        JsonValue closed = std::move(open.back());
        open.pop_back();
        open.back().append(std::move(closed));
    }
    return std::move(open.front());
}

JsonValue decimalJson(const Decimal &value)
{
    return JsonValue::number(value.toString());
}

} // namespace

JsonValue argumentJson(const std::string &tag, const Variant &value)
{
    static constexpr std::string_view numberTags = "ifhdt", textTags = "sSc";
    try {
        if (tag.size() == 1 && numberTags.find(tag[0]) != std::string_view::npos &&
            isNumeric(value))
            return decimalJson(toDecimal(value));
        if (tag.size() == 1 && textTags.find(tag[0]) != std::string_view::npos)
            return JsonValue::string(toText(value));
    } catch (const VbError &) {
        // A number beyond a decimal's range, a value without a text: shown as having none.
    }
    return JsonValue();
}

namespace {

void widen(std::optional<Decimal> &min, std::optional<Decimal> &max, const Decimal &value)
{
    if (!min || value < *min)
        min = value;
    if (!max || value > *max)
        max = value;
}

bool isKnownAttribute(std::string_view name)
{
    return std::find(KnownAttributes.begin(), KnownAttributes.end(), name) != KnownAttributes.end();
}

} // namespace

OscQueryNamespace::OscQueryNamespace(const std::vector<ActionRow> &rows,
                                     const ReceivedValues &values)
    : m_values(values)
{
    m_nodes.push_back(Node{"/", {}, {}, {}});
    for (const ActionRow &row : rows)
        addRow(row);
}

size_t OscQueryNamespace::childNamed(size_t parent, std::string_view name)
{
    for (const auto &[childName, index] : m_nodes[parent].children)
        if (childName == name)
            return index;
    const std::string &parentPath = m_nodes[parent].fullPath;
    std::string path = (parentPath == "/" ? "" : parentPath) + "/" + std::string(name);
    m_nodes.push_back(Node{std::move(path), {}, {}, {}});
    m_nodes[parent].children.emplace_back(std::string(name), m_nodes.size() - 1);
    return m_nodes.size() - 1;
}

void OscQueryNamespace::addRow(const ActionRow &row)
{
    const std::optional<std::vector<std::string_view>> parts = partsOf(row.address);
    if (!parts)
        return;
    size_t index = 0;
    for (std::string_view part : *parts)
        index = childNamed(index, part);
    Node &node = m_nodes[index];

    auto method = std::find_if(node.methods.begin(), node.methods.end(),
                               [&](const Method &m) { return m.tags == row.tags; });
    if (method == node.methods.end()) {
        node.methods.push_back(Method{row.tags, std::vector<Range>(row.tags.size())});
        method = node.methods.end() - 1;
    }
    const std::optional<size_t> argument = testedArgumentIndex(row);
    try {
        if (const std::optional<InputLimits> limits = inputLimits(row); limits && argument) {
            Range &range = method->ranges[*argument];
            widen(range.min, range.max, limits->inMin);
            widen(range.min, range.max, limits->inMax);
        }
    } catch (const VbError &) {
        // Limits beyond a decimal's range give the row no range.
    }
    if (row.target && row.target->t1.isString() && !row.target->t1.asString().empty()) {
        const std::string &name = row.target->t1.asString();
        if (std::find(node.targetNames.begin(), node.targetNames.end(), name) ==
            node.targetNames.end())
            node.targetNames.push_back(name);
    }
}

std::optional<size_t> OscQueryNamespace::findNode(std::string_view path) const
{
    const std::optional<std::vector<std::string_view>> parts = partsOf(path);
    if (!parts)
        return std::nullopt;
    size_t index = 0;
    for (std::string_view part : *parts) {
        const auto &children = m_nodes[index].children;
        const auto child = std::find_if(children.begin(), children.end(),
                                        [&](const auto &c) { return c.first == part; });
        if (child == children.end())
            return std::nullopt;
        index = child->second;
    }
    return index;
}

const OscQueryNamespace::Method *OscQueryNamespace::typeOf(const Node &node) const
{
    return node.methods.empty() ? nullptr : &node.methods.front();
}

std::optional<JsonValue> OscQueryNamespace::valueOf(const Node &node, const Method &method) const
{
    const std::vector<Variant> *values = m_values.find(node.fullPath, typeTagString(method.tags));
    if (withoutArguments(method.tags) || !values || values->size() != method.tags.size())
        return std::nullopt;
    return perArgument(method.tags,
                       [&](size_t i) { return argumentJson(method.tags[i], (*values)[i]); });
}

void OscQueryNamespace::addMethodAttributes(JsonValue &object, const Node &node,
                                            const Method &method) const
{
    if (withoutArguments(method.tags)) {
        object.add("ACCESS", JsonValue::integer(NoValue));
        return;
    }
    object.add("TYPE", JsonValue::string(typeTagString(method.tags)));
    object.add("ACCESS", JsonValue::integer(ReadWrite));
    const bool ranged = std::any_of(method.ranges.begin(), method.ranges.end(),
                                    [](const Range &r) { return r.min.has_value(); });
    if (ranged)
        object.add("RANGE", perArgument(method.tags, [&](size_t i) {
                       JsonValue range = JsonValue::object();
                       if (const Range &r = method.ranges[i]; r.min) {
                           range.add("MIN", decimalJson(*r.min));
                           range.add("MAX", decimalJson(*r.max));
                       }
                       return range;
                   }));
    if (std::optional<JsonValue> value = valueOf(node, method))
        object.add("VALUE", std::move(*value));
}

JsonValue OscQueryNamespace::nodeJson(const Node &node) const
{
    JsonValue object = JsonValue::object();
    object.add("FULL_PATH", JsonValue::string(node.fullPath));
    if (&node == &m_nodes.front()) {
        object.add("DESCRIPTION", JsonValue::string(std::string(RootDescription)));
    } else if (!node.targetNames.empty()) {
        std::string names;
        for (const std::string &name : node.targetNames)
            names += (names.empty() ? "" : ", ") + name;
        object.add("DESCRIPTION", JsonValue::string(std::move(names)));
    }
    if (const Method *type = typeOf(node))
        addMethodAttributes(object, node, *type);
    else
        object.add("ACCESS", JsonValue::integer(NoValue));
    if (node.methods.size() > 1) {
        JsonValue overloads = JsonValue::array();
        for (size_t i = 1; i < node.methods.size(); ++i) {
            JsonValue overload = JsonValue::object();
            addMethodAttributes(overload, node, node.methods[i]);
            overloads.append(std::move(overload));
        }
        object.add("OVERLOADS", std::move(overloads));
    }
    if (!node.children.empty()) {
        JsonValue contents = JsonValue::object();
        for (const auto &[name, index] : node.children)
            contents.add(name, nodeJson(m_nodes[index]));
        object.add("CONTENTS", std::move(contents));
    }
    return object;
}

std::optional<JsonValue> OscQueryNamespace::node(std::string_view path) const
{
    const std::optional<size_t> index = findNode(path);
    if (!index)
        return std::nullopt;
    return nodeJson(m_nodes[*index]);
}

JsonValue OscQueryNamespace::hostInfo(const OscQueryHost &host)
{
    JsonValue info = JsonValue::object();
    info.add("NAME", JsonValue::string(host.name));
    if (!host.oscAddress.empty() && host.oscAddress != "0.0.0.0")
        info.add("OSC_IP", JsonValue::string(host.oscAddress));
    if (host.oscPort != 0)
        info.add("OSC_PORT", JsonValue::integer(host.oscPort));
    info.add("OSC_TRANSPORT", JsonValue::string("UDP"));
    JsonValue extensions = JsonValue::object();
    for (const char *name : OwnExtensions)
        extensions.add(name, JsonValue::boolean(true));
    for (const std::string &name : host.serverExtensions)
        if (!extensions.find(name))
            extensions.add(name, JsonValue::boolean(true));
    info.add("EXTENSIONS", std::move(extensions));
    return info;
}

OscQueryAnswer OscQueryNamespace::answer(std::string_view path, std::string_view query,
                                         const OscQueryHost &host) const
{
    if (query == "HOST_INFO")
        return {200, oneLineJson(hostInfo(host))};
    if (!query.empty() && !isKnownAttribute(query))
        return {400, ""};
    std::optional<JsonValue> found = node(path);
    if (!found)
        return {404, ""};
    if (query.empty())
        return {200, oneLineJson(*found)};
    const JsonValue *access = found->find("ACCESS");
    if (query == "VALUE" && access && access->asInteger() == NoValue)
        return {204, ""};
    JsonValue attribute = JsonValue::object();
    if (const JsonValue *value = found->find(query))
        attribute.add(std::string(query), *value);
    return {200, oneLineJson(attribute)};
}

} // namespace tarvex::host
