#include "core/Json.h"

#include <charconv>
#include <cstdio>
#include <unordered_set>

namespace tarvex {
namespace {

// The length of the well-formed UTF-8 sequence at the start of text, or 0.
size_t utf8SequenceLength(std::string_view text)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    }
    return length;
}

void appendEscaped(std::string &out, unsigned char c)
{
    switch (c) {
    case '"': out += "\\\""; return;
    case '\\': out += "\\\\"; return;
    case '\n': out += "\\n"; return;
    case '\r': out += "\\r"; return;
    case '\t': out += "\\t"; return;
    default: break;
    }
    if (c < 0x20 || c == 0x7F) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
        out += escaped;
    } else {
        out += static_cast<char>(c);
    }
}

void appendUtf8(std::string &out, uint32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

class Reader {
public:
    Reader(std::string_view text, const JsonLimits &limits) : m_text(text), m_limits(limits) {}

    JsonValue document()
    {
        skipBlanks();
        JsonValue value = readValue(0);
        skipBlanks();
        if (m_at != m_text.size())
            fail("unexpected text after the value");
        return value;
    }

    // The items of the top-level object's member `name`, when it is a list, go to onItem.
    void streamList(std::string_view name,
                    const std::function<void(JsonValue item, size_t index)> &onItem)
    {
        m_listName = name;
        m_onItem = &onItem;
    }

private:
    [[noreturn]] void fail(const std::string &message) const
    {
        size_t line = 1, column = 1;
        for (size_t i = 0; i < m_at && i < m_text.size(); ++i) {
            if (m_text[i] == '\n') {
                ++line;
                column = 1;
            } else {
                ++column;
            }
        }
        throw JsonError(line, column, message);
    }

    bool atEnd() const { return m_at >= m_text.size(); }
    char peek() const { return atEnd() ? '\0' : m_text[m_at]; }

    void skipBlanks()
    {
        while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r'))
            ++m_at;
    }

    void expect(char c, const char *what)
    {
        if (peek() != c || atEnd())
            fail(std::string("expected ") + what);
        ++m_at;
    }

    JsonValue readValue(int depth)
    {
        if (depth >= m_limits.maxDepth)
            fail("nested deeper than " + std::to_string(m_limits.maxDepth) + " levels");
        if (atEnd())
            fail("expected a value, found the end of the text");
        if (++m_held > m_limits.maxValues)
            fail("more than " + std::to_string(m_limits.maxValues) + " values at once");
        switch (peek()) {
        case '{': return readObject(depth);
        case '[': return readArray(depth);
        case '"': return JsonValue::string(readString());
        case 't': readWord("true"); return JsonValue::boolean(true);
        case 'f': readWord("false"); return JsonValue::boolean(false);
        case 'n': readWord("null"); return JsonValue();
        default: break;
        }
        if (peek() == '-' || (peek() >= '0' && peek() <= '9'))
            return JsonValue::number(readNumber());
        fail("expected a value");
    }

    void readWord(std::string_view word)
    {
        if (m_text.substr(m_at, word.size()) != word)
            fail("expected a value");
        m_at += word.size();
    }

    JsonValue readObject(int depth)
    {
        JsonValue object = JsonValue::object();
        ++m_at;
        skipBlanks();
        if (peek() == '}' && !atEnd()) {
            ++m_at;
            return object;
        }
        // A row of a few members is checked by a glance at the members read so far; a large object
        // by a set of their names, so that neither costs more than it must.
        constexpr size_t LookedAtMembers = 16;
        object.reserve(LookedAtMembers);
        std::unordered_set<std::string> names;
        while (true) {
            skipBlanks();
            if (peek() != '"' || atEnd())
                fail("expected a member name in quotes");
            const size_t nameAt = m_at;
            std::string name = readString();
            if (givenBefore(object, names, name, LookedAtMembers)) {
                m_at = nameAt;
                fail("the member \"" + name + "\" is given twice");
            }
            skipBlanks();
            expect(':', "':' after the member name");
            skipBlanks();
            JsonValue value =
                depth == 0 && m_onItem && name == m_listName && peek() == '[' && !atEnd()
                    ? readHandedOverList(depth + 1)
                    : readValue(depth + 1);
            object.add(std::move(name), std::move(value));
            skipBlanks();
            if (peek() == ',' && !atEnd()) {
                ++m_at;
                continue;
            }
            expect('}', "',' or '}'");
            return object;
        }
    }

    static bool givenBefore(const JsonValue &object, std::unordered_set<std::string> &names,
                            std::string_view name, size_t lookedAt)
    {
        const std::vector<JsonValue::Member> &members = object.members();
        if (members.size() < lookedAt) {
            for (const JsonValue::Member &member : members)
                if (member.first == name)
                    return true;
            return false;
        }
        if (names.empty())
            for (const JsonValue::Member &member : members)
                names.insert(member.first);
        return !names.emplace(name).second;
    }

    JsonValue readArray(int depth)
    {
        JsonValue array = JsonValue::array();
        ++m_at;
        skipBlanks();
        if (peek() == ']' && !atEnd()) {
            ++m_at;
            return array;
        }
        while (true) {
            skipBlanks();
            array.append(readValue(depth + 1));
            skipBlanks();
            if (peek() == ',' && !atEnd()) {
                ++m_at;
                continue;
            }
            expect(']', "',' or ']'");
            return array;
        }
    }

    // A list whose items go to m_onItem as they are read; what stays is the empty list.
    JsonValue readHandedOverList(int depth)
    {
        if (depth >= m_limits.maxDepth)
            fail("nested deeper than " + std::to_string(m_limits.maxDepth) + " levels");
        ++m_held;
        ++m_at;
        skipBlanks();
        if (peek() == ']' && !atEnd()) {
            ++m_at;
            return JsonValue::array();
        }
        for (size_t index = 0;; ++index) {
            skipBlanks();
            const size_t heldBefore = m_held;
            JsonValue item = readValue(depth + 1);
            m_held = heldBefore;
            (*m_onItem)(std::move(item), index);
            skipBlanks();
            if (peek() == ',' && !atEnd()) {
                ++m_at;
                continue;
            }
            expect(']', "',' or ']'");
            return JsonValue::array();
        }
    }

    std::string readNumber()
    {
        const size_t start = m_at;
        auto digits = [&] {
            const size_t from = m_at;
            while (!atEnd() && peek() >= '0' && peek() <= '9')
                ++m_at;
            return m_at - from;
        };
        if (peek() == '-')
            ++m_at;
        if (peek() == '0' && !atEnd())
            ++m_at;
        else if (digits() == 0)
            fail("expected digits");
        if (peek() == '.' && !atEnd()) {
            ++m_at;
            if (digits() == 0)
                fail("expected digits after '.'");
        }
        if ((peek() == 'e' || peek() == 'E') && !atEnd()) {
            ++m_at;
            if (peek() == '+' || peek() == '-')
                ++m_at;
            if (digits() == 0)
                fail("expected digits in the exponent");
        }
        return std::string(m_text.substr(start, m_at - start));
    }

    uint32_t readHex4()
    {
        if (m_text.size() - m_at < 4)
            fail("expected four hexadecimal digits");
        uint32_t code = 0;
        const auto [end, error] =
            std::from_chars(m_text.data() + m_at, m_text.data() + m_at + 4, code, 16);
        if (error != std::errc() || end != m_text.data() + m_at + 4)
            fail("expected four hexadecimal digits");
        m_at += 4;
        return code;
    }

    // A \u escape, the second half of a surrogate pair included.
    uint32_t readUnicodeEscape()
    {
        const uint32_t code = readHex4();
        if (code >= 0xDC00 && code <= 0xDFFF)
            fail("a lone low surrogate");
        if (code < 0xD800 || code > 0xDBFF)
            return code;
        if (m_text.substr(m_at, 2) != "\\u")
            fail("a high surrogate without its low half");
        m_at += 2;
        const uint32_t low = readHex4();
        if (low < 0xDC00 || low > 0xDFFF)
            fail("a high surrogate without its low half");
        return 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    }

    // Where the run of plain bytes from `from` ends.
    size_t plainRunEnd(size_t from) const
    {
        const char *p = m_text.data() + from;
        const char *end = m_text.data() + m_text.size();
        while (p != end && isPlainAscii(static_cast<unsigned char>(*p)))
            ++p;
        return static_cast<size_t>(p - m_text.data());
    }

    std::string readString()
    {
        ++m_at; // the opening quote
        // Most texts are plain to their closing quote: taken in one piece.
        const size_t plainEnd = plainRunEnd(m_at);
        if (plainEnd < m_text.size() && m_text[plainEnd] == '"') {
            std::string text(m_text.substr(m_at, plainEnd - m_at));
            m_at = plainEnd + 1;
            return text;
        }
        std::string text;
        while (true) {
            if (atEnd())
                fail("a text without its closing quote");
            const auto c = static_cast<unsigned char>(peek());
            if (c == '"') {
                ++m_at;
                return text;
            }
            if (c < 0x20)
                fail("a control character in a text (write it as an escape)");
            if (c == '\\') {
                ++m_at;
                readEscape(text);
                continue;
            }
            if (c < 0x80) {
                const size_t from = m_at;
                m_at = plainRunEnd(m_at);
                text.append(m_text.substr(from, m_at - from));
                continue;
            }
            const size_t length = utf8SequenceLength(m_text.substr(m_at));
            if (length == 0)
                fail("bytes that are not UTF-8");
            text.append(m_text.substr(m_at, length));
            m_at += length;
        }
    }

    void readEscape(std::string &text)
    {
        const char c = peek();
        if (atEnd())
            fail("a text without its closing quote");
        ++m_at;
        switch (c) {
        case '"': text += '"'; return;
        case '\\': text += '\\'; return;
        case '/': text += '/'; return;
        case 'b': text += '\b'; return;
        case 'f': text += '\f'; return;
        case 'n': text += '\n'; return;
        case 'r': text += '\r'; return;
        case 't': text += '\t'; return;
        case 'u': appendUtf8(text, readUnicodeEscape()); return;
        default: --m_at; fail("an unknown escape");
        }
    }

    // A byte a text holds as it is: no quote, no escape, no control character, no UTF-8 lead.
    static bool isPlainAscii(unsigned char c)
    {
        return c >= 0x20 && c < 0x80 && c != '"' && c != '\\';
    }

    std::string_view m_text;
    size_t m_at = 0;
    JsonLimits m_limits;
    size_t m_held = 0;
    std::string_view m_listName;
    const std::function<void(JsonValue, size_t)> *m_onItem = nullptr;
};

void writeOneLine(std::string &out, const JsonValue &value)
{
    switch (value.kind()) {
    case JsonValue::Kind::Null: out += "null"; return;
    case JsonValue::Kind::Boolean: out += value.asBoolean() ? "true" : "false"; return;
    case JsonValue::Kind::Number: out += value.text(); return;
    case JsonValue::Kind::String: out += jsonString(value.text()); return;
    case JsonValue::Kind::Array: {
        out += '[';
        const char *separator = "";
        for (const JsonValue &item : value.items()) {
            out += separator;
            writeOneLine(out, item);
            separator = ", ";
        }
        out += ']';
        return;
    }
    case JsonValue::Kind::Object: {
        out += '{';
        const char *separator = "";
        for (const auto &[name, member] : value.members()) {
            out += separator;
            out += jsonString(name);
            out += ": ";
            writeOneLine(out, member);
            separator = ", ";
        }
        out += '}';
        return;
    }
    }
}

} // namespace

JsonValue JsonValue::boolean(bool value)
{
    JsonValue v;
    v.m_kind = Kind::Boolean;
    v.m_boolean = value;
    return v;
}

JsonValue JsonValue::number(std::string text)
{
    JsonValue v;
    v.m_kind = Kind::Number;
    v.m_text = std::move(text);
    return v;
}

JsonValue JsonValue::integer(int64_t value)
{
    return number(std::to_string(value));
}

JsonValue JsonValue::string(std::string text)
{
    JsonValue v;
    v.m_kind = Kind::String;
    v.m_text = std::move(text);
    return v;
}

JsonValue JsonValue::array()
{
    JsonValue v;
    v.m_kind = Kind::Array;
    return v;
}

JsonValue JsonValue::object()
{
    JsonValue v;
    v.m_kind = Kind::Object;
    return v;
}

std::optional<int64_t> JsonValue::asInteger() const
{
    if (m_kind != Kind::Number)
        return std::nullopt;
    int64_t value = 0;
    const auto [end, error] = std::from_chars(m_text.data(), m_text.data() + m_text.size(), value);
    if (error != std::errc() || end != m_text.data() + m_text.size())
        return std::nullopt;
    return value;
}

const JsonValue *JsonValue::find(std::string_view name) const
{
    for (const Member &member : m_members)
        if (member.first == name)
            return &member.second;
    return nullptr;
}

void JsonValue::reserve(size_t count)
{
    if (m_kind == Kind::Object)
        m_members.reserve(count);
    else if (m_kind == Kind::Array)
        m_items.reserve(count);
}

void JsonValue::add(std::string name, JsonValue value)
{
    m_members.emplace_back(std::move(name), std::move(value));
}

JsonError::JsonError(size_t line, size_t column, const std::string &message)
    : std::runtime_error("line " + std::to_string(line) + ", column " + std::to_string(column) +
                         ": " + message),
      m_line(line), m_column(column)
{}

JsonValue parseJson(std::string_view text, const JsonLimits &limits)
{
    return Reader(text, limits).document();
}

JsonValue parseJsonList(std::string_view text, std::string_view listName,
                        const std::function<void(JsonValue item, size_t index)> &onItem,
                        const JsonLimits &limits)
{
    Reader reader(text, limits);
    reader.streamList(listName, onItem);
    return reader.document();
}

std::string jsonString(std::string_view text)
{
    std::string out = "\"";
    out.reserve(text.size() + 2);
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            appendEscaped(out, c);
            ++i;
        } else if (size_t n = utf8SequenceLength(text.substr(i))) {
            out.append(text.substr(i, n));
            i += n;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out + "\"";
}

std::string oneLineJson(const JsonValue &value)
{
    std::string out;
    writeOneLine(out, value);
    return out;
}

} // namespace tarvex
