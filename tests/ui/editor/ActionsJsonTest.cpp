// The action table as JSON text and back: a round trip gives the same text and the same stored
// bytes, and each malformed field is named with its row and leaves no table.
#include "ui/editor/ActionsJson.h"

#include "store/ArrayCodec.h"
#include "tests/support/ActionRows.h"

#include <gtest/gtest.h>

using namespace tarvex;
using namespace tarvex::test;
using tarvex::arraycodec::encodeArrayFile;

namespace {

ActionsImport importWithStoreRules(std::string_view text)
{
    return importActionsJson(text, {.storedText = arraycodec::whyTextCannotBeStored});
}

// Rows of every kind the editor saves: the second float chosen, a text, an argument-less
// message, a row switched off, texts beyond ASCII that Windows-1252 holds.
VarArray everyKindOfRow()
{
    const VarArray text = VarArray::ofValues(
        {Variant("!="), Variant(VarArray::ofValues({Variant("off")})), Variant(target("B"))});
    return table({
        actionRow(
            "/xy", {"f", "i", "f"},
            {{never(), condition(">", range("0.5", "0", "1", "0", "100"), target("A"))}, {never()}},
            11),
        actionRow("/name", {"s"}, {{Variant(text)}}, 22),
        actionRow("/go", {"Empty"},
                  {{condition("any", range("-", "-", "-", "-", "-", "-", "-"), target("C"))}}, 33,
                  "Deactivated"),
        actionRow("/dim", {"f"},
                  {{condition("any", range("", "0", "1"),
                              VarArray::ofValues({Variant("DMX"), Variant("Dimmer \"links\""),
                                                  Variant("curve=square;fade=300"),
                                                  Variant::byte(1), Variant(13)}))}},
                  -44),
        actionRow("/bühne", {"f"}, {{condition("any", range("", "0", "1"), target("€ Ä"))}}, 55),
    });
}

// A one-row export with one member replaced ("" removes it).
std::string withMember(const std::string &name, const std::string &json)
{
    std::string text = exportActionsJson(table(
        {actionRow("/f", {"f"}, {{condition("=", range("1", "0", "1"), target("DMX"))}}, 7)}));
    const size_t at = text.find("\"" + name + "\":");
    const size_t end = text.find('\n', at);
    const bool last = text[end - 1] != ',';
    text.replace(at, end - at, json.empty() ? "\"unused\": 0" : json + (last ? "" : ","));
    if (json.empty())
        text.replace(text.find("\"unused\": 0"), 11, "");
    return text;
}

// The export of `count` copies of a float row with these ids (the last id repeats) and
// activations ("Activated" where none is given), with every `from` replaced by `to`.
std::string floatRows(size_t count, std::vector<int32_t> ids = {7},
                      std::vector<std::string> activations = {}, const std::string &from = "",
                      const std::string &to = "")
{
    VarArray rows;
    for (size_t i = 0; i < count; ++i)
        rows.append(actionRow("/f", {"f"}, {{condition("=", range("1", "0", "1"), target("DMX"))}},
                              ids[std::min(i, ids.size() - 1)],
                              i < activations.size() ? activations[i] : "Activated"));
    std::string text = exportActionsJson(rows);
    for (size_t at = from.empty() ? std::string::npos : text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::string emptyRows(size_t count)
{
    std::string text = "{\"format\": \"tarvex-actions 1\", \"actions\": [{}";
    for (size_t i = 1; i < count; ++i)
        text += ",{}";
    return text + "]}";
}

std::string tagList(size_t count)
{
    std::string tags = "\"tags\": [\"f\"";
    for (size_t i = 1; i < count; ++i)
        tags += ", \"f\"";
    return tags + "]";
}

} // namespace

TEST(ActionsJson, exportImportExportKeepsTheTextAndTheStoredBytes)
{
    const VarArray original = everyKindOfRow();
    const std::string text = exportActionsJson(original);
    const ActionsImport read = importWithStoreRules(text);
    ASSERT_TRUE(read.table) << (read.errors.empty() ? "" : read.errors.front());
    EXPECT_EQ(exportActionsJson(*read.table), text);
    EXPECT_EQ(encodeArrayFile(*read.table), encodeArrayFile(original));
    EXPECT_NE(text.find(R"("tags": ["f", "i", "f"],)"), std::string::npos);
    EXPECT_NE(text.find(R"("argument": "2. Float",)"), std::string::npos);

    const ActionsImport none = importWithStoreRules(exportActionsJson(VarArray()));
    ASSERT_TRUE(none.table);
    EXPECT_FALSE(none.table->isDimensioned());
}

TEST(ActionsJson, eachMalformedFieldIsNamedWithItsRowAndNothingIsImported)
{
    const struct {
        std::string text;
        std::string error;
    } cases[] = {
        {withMember("address", R"("address": "")"), "row 1, address: must not be empty"},
        {withMember("address", R"("address": 5)"), "row 1, address: must be a text"},
        {withMember("address", ""), "row 1, address: missing"},
        {withMember("tags", R"("tags": ["f", "Empty"])"), "row 1, tags: each tag is one"},
        {withMember("argument", R"("argument": "2. Float")"),
         "row 1, argument: \"2. Float\" is no argument of the tags (they have: 1. Float)"},
        {withMember("operator", R"("operator": "==")"), "row 1, operator: must be one of"},
        {withMember("inMin", R"("inMin": 0)"), "row 1, inMin: must be a text (in quotes)"},
        {withMember("max", ""), "row 1, max: missing"},
        {withMember("target", R"("target": {"t0": "DMX", "t1": "", "t2": "", "t3": 256, "t4": 1})"),
         "row 1, target.t3: must be a whole number from 0 to 255"},
        {withMember("target", R"("target": {"t0": "DMX", "t1": "", "t2": "", "t3": 1, "t5": 1})"),
         "row 1, target.t5: unknown field"},
        {withMember("activation", R"("activation": "activated")"),
         "row 1, activation: must be \"Activated\" or \"Deactivated\""},
        {withMember("id", R"("id": 2147483648)"), "row 1, id: must be a whole number"},
        {withMember("id", R"("id": 1.0)"), "row 1, id: must be a whole number"},
        {withMember("id", R"("id": 7, "comment": "x")"), "row 1, comment: unknown field"},
        {withMember("argument", R"("argument": "")"),
         "row 1, argument: no argument chosen (the tags have: 1. Float); a save would drop"},
        {R"({"format": "tarvex-actions 2", "actions": []})", "format: must be"},
        {R"({"format": "tarvex-actions 1", "actions": [1]})", "row 1, row: must be an object"},
        {R"({"format": "tarvex-actions 1"})", "actions: missing"},
        {"{\"format\": \"tarvex-actions 1\",\n \"actions\": [}", "line 2, column 14: expected"},
    };
    for (const auto &c : cases) {
        const ActionsImport read = importWithStoreRules(c.text);
        EXPECT_FALSE(read.table) << c.error;
        ASSERT_FALSE(read.errors.empty()) << c.error;
        EXPECT_NE(read.errors.front().find(c.error), std::string::npos)
            << "wanted: " << c.error << "\ngot: " << read.errors.front();
    }

    // A text argument has no limits; every row with errors is named.
    const VarArray text = table({actionRow(
        "/name", {"s"},
        {{Variant(VarArray::ofValues(
            {Variant("="), Variant(VarArray::ofValues({Variant("go")})), Variant(target("B"))}))}},
        1)});
    std::string two = exportActionsJson(text);
    two.replace(two.find("\"target\""), 0, "\"inMin\": \"0\", ");
    two.replace(two.find("\"id\": 1"), 7, "\"id\": \"1\"");
    const ActionsImport read = importWithStoreRules(two);
    EXPECT_FALSE(read.table);
    EXPECT_EQ(read.errors,
              (std::vector<std::string>{
                  "row 1, inMin: a text argument has no limits",
                  "row 1, id: must be a whole number from -2147483648 to 2147483647"}));
}

// What a save could not store and a load give back as it was, and what lies beyond the import's
// bounds, is refused by row and field: no table is made.
TEST(ActionsJson, refusesWhatASaveCouldNotGiveBackAndWhatLiesBeyondItsBounds)
{
    const struct {
        std::string text;
        std::string error;
    } cases[] = {
        {withMember("inMin", R"("inMin": "1e29")"), "row 1, inMin: \"1e29\" is a number beyond"},
        {withMember("outMax", R"("outMax": "1e308")"), "row 1, outMax: \"1e308\" is a number"},
        {withMember("compareValue", R"("compareValue": "79228162514264337593543950336")"),
         "row 1, compareValue: \"79228162514264337593543950336\" is a number beyond"},
        {withMember("address", "\"address\": \"/" + std::string(70000, 'a') + "\""),
         "row 1, address: is 70001 bytes long; the actions file holds at most 65534"},
        {withMember("target", R"("target": {"t0": "DMX", "t1": "中", "t2": "", "t3": 1, "t4": 1})"),
         "row 1, target.t1: holds \"中\", which the actions file cannot store"},
        {withMember("activation", R"("activation": "")"),
         "row 1, activation: must be \"Activated\" or \"Deactivated\""},
        {floatRows(3, {7}, {"Activated", "Activated", "Deactivated"}),
         "row 3, activation: \"Deactivated\" differs from row 1, which has the same id 7"},
        {floatRows(1, {7}, {}, "\"tags\": [\"f\"]", tagList(MaxHeldJsonValues)),
         "more than 4096 values at once"},
        {floatRows(MaxImportedArguments / 4000 + 1, {7}, {}, "\"tags\": [\"f\"]", tagList(4000)),
         "row 51, tags: more than 200000 arguments"},
        {emptyRows(MaxImportedRows + 1), "actions: more than 100000 rows"},
        {std::string(MaxActionsJsonBytes + 1, ' '), "an import takes at most 67108864 bytes"},
    };
    for (const auto &c : cases) {
        const ActionsImport read = importWithStoreRules(c.text);
        EXPECT_FALSE(read.table) << c.error;
        ASSERT_FALSE(read.errors.empty()) << c.error;
        EXPECT_NE(read.errors.front().find(c.error), std::string::npos)
            << "wanted: " << c.error << "\ngot: " << read.errors.front().substr(0, 300);
    }
}

TEST(ActionsJson, rowsMayShareAnIdAndTheImportSaysWhichDo)
{
    const ActionsImport read = importWithStoreRules(floatRows(6, {7, 7, 8, 9, 9, 9}));
    ASSERT_TRUE(read.table) << read.errors.front();
    EXPECT_EQ(read.table->size(), 6u);
    EXPECT_EQ(read.sharedIds, (std::vector<SharedActionId>{{7, 2}, {9, 3}}));
}
