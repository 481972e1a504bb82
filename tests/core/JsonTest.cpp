// The JSON reader and writers: members in their order, numbers as written, and a table of texts
// that are no JSON, each with where the reader says it went wrong.
#include "core/Json.h"

#include <gtest/gtest.h>

using namespace tarvex;

TEST(Json, readsMembersInOrderNumbersAsWrittenAndEveryEscape)
{
    const JsonValue v = parseJson(
        R"( {"z": [1, -0.5e3, true, false, null], "a": "\"\\\/\b\f\n\r\t\u00e4\ud83c\udf9b\u0000"} )");
    ASSERT_EQ(v.members().size(), 2u);
    EXPECT_EQ(v.members()[0].first, "z");
    EXPECT_EQ(v.members()[1].first, "a");
    const JsonValue &z = *v.find("z");
    EXPECT_EQ(z.items()[0].asInteger(), 1);
    EXPECT_EQ(z.items()[1].text(), "-0.5e3");
    EXPECT_EQ(z.items()[1].asInteger(), std::nullopt);
    EXPECT_EQ(v.find("a")->text(), std::string("\"\\/\b\f\n\r\t\xC3\xA4\xF0\x9F\x8E\x9B\0", 15));
    // Written back on one line, it reads the same and writes the same.
    const std::string line = oneLineJson(v);
    EXPECT_EQ(line.substr(0, 30), R"({"z": [1, -0.5e3, true, false,)");
    EXPECT_EQ(oneLineJson(parseJson(line)), line);
}

TEST(Json, saysWhereATextIsNoJson)
{
    const struct {
        std::string text;
        std::string message;
    } cases[] = {
        {"", "line 1, column 1: expected a value, found the end"},
        {"{\"a\": 1,}", "line 1, column 9: expected a member name"},
        {"[1, 2", "line 1, column 6: expected ',' or ']'"},
        {"{\"a\" 1}", "line 1, column 6: expected ':'"},
        {"{\"a\": 1, \"a\": 2}", "line 1, column 10: the member \"a\" is given twice"},
        {"[01]", "line 1, column 3: expected ',' or ']'"},
        {"[1.]", "expected digits after '.'"},
        {"[-]", "expected digits"},
        {"\"tab\there\"", "a control character"},
        {"\"\\x\"", "an unknown escape"},
        {"\"\\ud800\"", "a high surrogate without its low half"},
        {"\"\\udc00\"", "a lone low surrogate"},
        {"\"\xC3\x28\"", "bytes that are not UTF-8"},
        {"\"open", "without its closing quote"},
        {"[1]\n  x", "line 2, column 3: unexpected text after the value"},
        {"// comment\n1", "expected a value"},
        {"[tru]", "expected a value"},
        {std::string(JsonMaxDepth + 1, '[') + std::string(JsonMaxDepth + 1, ']'), "nested deeper"},
    };
    for (const auto &c : cases) {
        try {
            parseJson(c.text);
            ADD_FAILURE() << "read: " << c.text;
        } catch (const JsonError &e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
                << c.text << " gave: " << e.what();
        }
    }
    EXPECT_NO_THROW(parseJson(std::string(JsonMaxDepth, '[') + std::string(JsonMaxDepth, ']')));
}

// A long list is handed over item by item: the document keeps its other members and an empty
// list, and only the values not yet handed over count against the bound.
TEST(Json, handsAListOverItemByItemAndBoundsOnlyTheValuesItHolds)
{
    std::string text = R"({"before": 1, "rows": [)";
    for (int i = 0; i < 100; ++i)
        text += (i ? ", " : "") + std::string(R"({"n": )") + std::to_string(i) + "}";
    text += R"(], "after": [true]})";
    const JsonLimits fewValues{.maxDepth = JsonMaxDepth, .maxValues = 8};

    std::vector<int64_t> seen;
    const JsonValue document = parseJsonList(
        text, "rows",
        [&](JsonValue item, size_t index) {
            EXPECT_EQ(index, seen.size());
            seen.push_back(*item.find("n")->asInteger());
        },
        fewValues);
    EXPECT_EQ(seen.size(), 100u);
    EXPECT_EQ(seen.back(), 99);
    EXPECT_EQ(oneLineJson(document), R"({"before": 1, "rows": [], "after": [true]})");
    EXPECT_THROW(parseJson(text, fewValues), JsonError);
    EXPECT_THROW(parseJsonList(
                     text, "other", [](JsonValue, size_t) {}, fewValues),
                 JsonError);
}
