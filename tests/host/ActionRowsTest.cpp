// The rows view's reasons, one case each: a row that cannot fire as it stands says why, in words;
// a row that can says nothing.
#include "host/objects/ActionRows.h"

#include <gtest/gtest.h>

namespace tarvex::host {
namespace {

ActionRow fader()
{
    ActionRow row;
    row.number = 1;
    row.address = "/fader1";
    row.tags = {"f"};
    row.argument = "1. Float";
    row.op = "any";
    row.compareValue = "-";
    row.inMin = "0";
    row.inMax = "1";
    row.target = TargetValues{"DMX", "Spot", "", 1, 7};
    row.activation = "Activated";
    return row;
}

TEST(ActionRows, eachReasonARowCannotFireIsSaidInWords)
{
    const Universes universes(2);
    const struct {
        const char *change;
        std::function<void(ActionRow &)> make;
        std::string reason; // "" for none
    } cases[] = {
        {"as it is", [](ActionRow &) {}, ""},
        {"no argument",
         [](ActionRow &r) {
             r.argument = "";
             r.target.reset();
         },
         "no argument chosen in \"Wert\""},
        {"deactivated", [](ActionRow &r) { r.activation = "Deactivated"; },
         "deactivated: its box is unticked, or a cue switched it off"},
        {"deactivated, no argument in the message",
         [](ActionRow &r) {
             r.tags = {"Empty"};
             r.argument = "1. Empty";
             r.activation = "Deactivated";
         },
         ""},
        {"= with nothing to compare",
         [](ActionRow &r) {
             r.op = "=";
             r.compareValue = "";
         },
         "\"Vergleichswert\" is empty: \"=\" never holds"},
        {"> with a word",
         [](ActionRow &r) {
             r.op = ">";
             r.compareValue = "half";
         },
         "\"Vergleichswert\" \"half\" is no number: \">\" never holds"},
        {"< with a word",
         [](ActionRow &r) {
             r.op = "<";
             r.compareValue = "half";
         },
         "\"Vergleichswert\" \"half\" is no number: \"<\" holds for every value"},
        {"the beat rule",
         [](ActionRow &r) {
             r.op = "=";
             r.compareValue = "NumarkBeat";
         },
         ""},
        {"= on a text argument",
         [](ActionRow &r) {
             r.tags = {"s"};
             r.argument = "1. String";
             r.op = "=";
             r.compareValue = "go";
         },
         ""},
        {"inMin equal to inMax", [](ActionRow &r) { r.inMax = "0.0"; },
         "inMin equals inMax: every value sends outMin"},
        {"target off", [](ActionRow &r) { r.target->t0 = Variant("Deaktiviert"); },
         "its target is \"Deaktiviert\""},
        {"no target kind", [](ActionRow &r) { r.target->t0 = Variant(""); },
         "no target kind chosen in \"Ziel\""},
        {"no such universe", [](ActionRow &r) { r.target->t3 = 3; },
         "universe 3 does not exist (this host has 1 to 2)"},
        {"no such channel", [](ActionRow &r) { r.target->t4 = 0; },
         "channel 0 does not exist (1 to 512)"},
        {"16 bits on the last channel",
         [](ActionRow &r) {
             r.target->t0 = Variant("DMX16");
             r.target->t4 = 512;
         },
         "a DMX16 target needs channel 1 to 511: its fine byte goes to the next channel"},
    };
    for (const auto &c : cases) {
        ActionRow row = fader();
        c.make(row);
        const std::vector<std::string> reasons = reasonsRowCannotFire(row, universes);
        EXPECT_EQ(reasons, c.reason.empty() ? std::vector<std::string>{}
                                            : std::vector<std::string>{c.reason})
            << c.change;
    }
}

TEST(ActionRows, readFromTheExportWithTheHitsOfTheirKeys)
{
    const std::vector<ActionRow> rows = readActionRows(R"({"format": "tarvex-actions 1",
        "actions": [{"address": "/a", "tags": ["f", "i"], "argument": "1. Integer",
                     "operator": ">", "compareValue": "3", "inMin": "0", "inMax": "10",
                     "outMin": "0", "outMax": "255", "min": "0", "max": "255",
                     "target": {"t0": "DMX", "t1": "Spot", "t2": "", "t3": 1, "t4": 7},
                     "activation": "Activated", "id": 42},
                    {"address": "/b", "tags": [], "argument": "", "activation": "Deactivated",
                     "id": 43}]})");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].number, 1);
    EXPECT_EQ(conditionText(rows[0]), "> 3");
    EXPECT_EQ(rows[0].target, (TargetValues{"DMX", "Spot", "", 1, 7}));
    EXPECT_EQ(rows[1].id, 43);
    EXPECT_FALSE(rows[1].target);

    TargetHits hits;
    hits.setExecutingRow(5);
    hits.recordExecute(200, 0, 255, 200);
    std::vector<ActionRow> keyed = rows;
    setRowKeys(keyed, {7, 5}); // the hits are the second row's, whatever its target
    std::vector<RowStatus> statuses = rowStatuses(keyed, Universes(1), hits);
    EXPECT_FALSE(statuses[0].hit);
    ASSERT_TRUE(statuses[1].hit);
    EXPECT_EQ(statuses[1].hit->count, 1u);
    keyed = rows;
    setRowKeys(keyed, {5}); // keys of another table: none is taken
    EXPECT_FALSE(rowStatuses(keyed, Universes(1), hits)[0].hit);
    EXPECT_EQ(statuses[1].cannotFire, std::vector<std::string>{"no argument chosen in \"Wert\""});
    EXPECT_THROW(readActionRows("[]"), std::runtime_error);
}

TEST(ActionRows, theArgumentARowTestsIsFoundAmongItsTags)
{
    const struct {
        std::vector<std::string> tags;
        const char *argument;
        std::optional<size_t> index;
    } cases[] = {
        {{"f"}, "1. Float", 0},
        {{"s", "f", "f"}, "2. Float", 2},
        {{"f", "i", "s"}, "1. String", 2},
        {{"i", "f", "i"}, "2. Integer", 2},
        {{"f"}, "2. Float", std::nullopt},     // the tags have no second float
        {{"Empty"}, "1. Empty", std::nullopt}, // a message without arguments
        {{"f"}, "", std::nullopt},
        {{"f"}, "0. Float", std::nullopt},
        {{"f"}, "x. Float", std::nullopt},
    };
    for (const auto &c : cases) {
        ActionRow r = fader();
        r.tags = c.tags;
        r.argument = c.argument;
        EXPECT_EQ(testedArgumentIndex(r), c.index) << c.argument;
    }
}

} // namespace
} // namespace tarvex::host
