#pragma once
// Json: a JSON value whose objects keep their members in the order they were written, the
// reader that makes one of a text, and the writers. Numbers keep the text they were written
// as, so an integer is read without a detour through floating point.
//
//   JsonValue document = parseJson(text);           // throws JsonError: "line 3, column 7: ..."
//   const JsonValue *rows = document.find("actions");
//   std::string line = jsonString("a \"quoted\" text"); // "\"a \\\"quoted\\\" text\""
//
// The reader takes RFC 8259 JSON in UTF-8 and nothing else: no comments, no trailing commas, no
// duplicate member names, at most JsonLimits::maxDepth levels of nesting, no broken UTF-8. A long
// list can be read one item at a time, so that it is never held whole:
//
//   parseJsonList(text, "actions", [&](JsonValue row, size_t index) { ... }, {.maxValues = 1000});

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarvex {

class JsonValue {
public:
    enum class Kind { Null, Boolean, Number, String, Array, Object };
    using Member = std::pair<std::string, JsonValue>;

    JsonValue() = default;
    static JsonValue boolean(bool value);
    // text must be a JSON number ("-12", "0.5", "1e3").
    static JsonValue number(std::string text);
    static JsonValue integer(int64_t value);
    static JsonValue string(std::string text);
    static JsonValue array();
    static JsonValue object();

    Kind kind() const { return m_kind; }
    bool isString() const { return m_kind == Kind::String; }
    bool isNumber() const { return m_kind == Kind::Number; }
    bool isArray() const { return m_kind == Kind::Array; }
    bool isObject() const { return m_kind == Kind::Object; }

    bool asBoolean() const { return m_boolean; }
    // A string's text, or a number's text as written.
    const std::string &text() const { return m_text; }
    // A number written as a whole number (no fraction, no exponent) that fits in 64 bits.
    std::optional<int64_t> asInteger() const;
    const std::vector<JsonValue> &items() const { return m_items; }
    const std::vector<Member> &members() const { return m_members; }
    // The member of that name, or nullptr.
    const JsonValue *find(std::string_view name) const;

    void append(JsonValue item) { m_items.push_back(std::move(item)); }
    void add(std::string name, JsonValue value);
    // Room for this many members or items, so that adding them moves none.
    void reserve(size_t count);

private:
    Kind m_kind = Kind::Null;
    bool m_boolean = false;
    std::string m_text;
    std::vector<JsonValue> m_items;
    std::vector<Member> m_members;
};

// A text that is no JSON, with where the reader found out (1-based line and column in bytes).
class JsonError : public std::runtime_error {
public:
    JsonError(size_t line, size_t column, const std::string &message);
    size_t line() const { return m_line; }
    size_t column() const { return m_column; }

private:
    size_t m_line, m_column;
};

inline constexpr int JsonMaxDepth = 64;

// What the reader takes before it gives up with a JsonError: the nesting depth, and the values it
// holds at once (every number, text, list, object, true, false and null counts one; the items
// parseJsonList hands over count only until they are handed over). A held value costs about a
// hundred bytes besides its text, so maxValues bounds the reader's memory.
struct JsonLimits {
    int maxDepth = JsonMaxDepth;
    size_t maxValues = std::numeric_limits<size_t>::max();
};

JsonValue parseJson(std::string_view text, const JsonLimits &limits = {});

// Reads a document like parseJson, but when it is an object whose member `listName` is a list, each
// item of that list goes to onItem (with its 0-based index) as soon as it is read, and the
// document returned holds that member as an empty list. onItem may throw: the read ends with its
// exception. Text after the list is still read, so a JsonError may come after every item was
// handed over.
JsonValue parseJsonList(std::string_view text, std::string_view listName,
                        const std::function<void(JsonValue item, size_t index)> &onItem,
                        const JsonLimits &limits = {});

// A JSON string literal of UTF-8 text, quotes included. Control characters are escaped, and
// bytes that are not UTF-8 become U+FFFD, so whatever the text, the literal is valid JSON.
std::string jsonString(std::string_view text);
// The value as JSON on one line, a blank after each ',' and ':' ({"a": 1, "b": [true, null]}).
std::string oneLineJson(const JsonValue &value);

} // namespace tarvex
