#pragma once
// OscQueryNamespace: the show's OSC address space as the OSCQuery proposal describes it, built
// from the plug-in's action rows (docs/web.md, "The namespace"), and the answer to one OSCQuery
// request as JSON text. No Qt and no sockets: the web server hands it the request's decoded
// path and query and sends back what it returns.
//
//   OscQueryNamespace space(rows, receivedValues);        // again whenever the rows change
//   OscQueryAnswer a = space.answer("/fader1", "VALUE", host);  // 200, {"VALUE": [0.5]}
//
// What a row means (the argument it tests, its input limits) comes from host/objects/ActionRows;
// VALUE is read from the ReceivedValues at each answer, so it is as fresh as they are.

#include "core/Json.h"
#include "host/objects/ActionRows.h"
#include "host/web/ReceivedValues.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::host {

// An argument received, as VALUE writes it for its tag: a number for the number tags, a text for
// the text tags, null for every other tag and for a value without that form.
JsonValue argumentJson(const std::string &tag, const Variant &value);

// What HOST_INFO tells of the host beyond the namespace.
struct OscQueryHost {
    std::string name;
    std::string oscAddress; // the plug-in's OSC server; "" or "0.0.0.0": the web server's address
    uint16_t oscPort = 0;   // 0: no OSC server
    // Extensions the web server provides on top of the namespace's own ("HTML", "LISTEN").
    std::vector<std::string> serverExtensions;
};

struct OscQueryAnswer {
    int status = 200; // 200, 204, 400 or 404
    std::string json; // "" for 204 and the errors
};

class OscQueryNamespace {
public:
    OscQueryNamespace(const std::vector<ActionRow> &rows, const ReceivedValues &values);

    // A request: its percent-decoded path ("/", "/fader1") and its query without the "?"
    // ("", "VALUE", "HOST_INFO").
    OscQueryAnswer answer(std::string_view path, std::string_view query,
                          const OscQueryHost &host) const;

    // The node at the path with everything under it; none for a path with no node.
    std::optional<JsonValue> node(std::string_view path) const;
    static JsonValue hostInfo(const OscQueryHost &host);

private:
    struct Range {
        std::optional<Decimal> min, max;
    };
    // One type-tag string taken at an address; the node's first is its TYPE, the rest its
    // OVERLOADS.
    struct Method {
        std::vector<std::string> tags;
        std::vector<Range> ranges; // one per tag
    };
    struct Node {
        std::string fullPath;
        std::vector<std::pair<std::string, size_t>> children; // name, index into m_nodes
        std::vector<Method> methods;
        std::vector<std::string> targetNames;
    };

    std::vector<Node> m_nodes; // the root first
    const ReceivedValues &m_values;

    void addRow(const ActionRow &row);
    std::optional<size_t> findNode(std::string_view path) const;
    size_t childNamed(size_t parent, std::string_view name);
    const Method *typeOf(const Node &node) const;
    JsonValue nodeJson(const Node &node) const;
    void addMethodAttributes(JsonValue &object, const Node &node, const Method &method) const;
    std::optional<JsonValue> valueOf(const Node &node, const Method &method) const;
};

} // namespace tarvex::host
