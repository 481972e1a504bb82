// The keys of the action table's rows, and the host told the key of the row whose target
// executes.
#include "tests/engine/EngineFixture.h"

#include "engine/RowKeys.h"

#include <functional>
#include <set>

using namespace tarvex;
using namespace tarvex::test;

namespace {

Variant fader(const std::string &address, int32_t id, const std::string &inMax = "1")
{
    return actionRow(address, {"f"}, {{condition("any", range("", "0", inMax), target("Ch"))}}, id);
}

// A row whose content is unchanged keeps its key however the table changed; a changed or new
// row gets a key never seen before. Rows with the same content (the second "/b") take the keys
// of such rows in table order.
TEST(RowKeys, aRowKeepsItsKeyWhileItsContentStays)
{
    constexpr int New = -1;
    struct Case {
        const char *change;
        std::function<void(ActionTable &)> make;
        std::vector<int> keptFrom; // per new row: the old row whose key it has, or New
    };
    const std::vector<Case> cases = {
        {"a cue switches a row off",
         [](ActionTable &t) { t.setActivation(1, Deactivated); },
         {0, 1, 2, 3}},
        {"the editor writes every row again, one unticked",
         [](ActionTable &t) {
             for (int32_t i = 0; i < 4; ++i) {
                 Variant row = t.rows()[i];
                 if (i == 2)
                     row.mutableArray()[rowField::Activation] = Variant(Deactivated);
                 t.replaceRow(i, std::move(row));
             }
         },
         {0, 1, 2, 3}},
        {"the first row deleted",
         [](ActionTable &t) {
             t.replace(table({t.rows()[1], t.rows()[2], t.rows()[3]}));
         },
         {1, 2, 3}},
        {"one row's inMax changed",
         [](ActionTable &t) { t.replaceRow(2, fader("/c", 3, "2")); },
         {0, 1, New, 3}},
        {"an import of the same rows, reversed, and a new one",
         [](ActionTable &t) {
             t.replace(table(
                 {fader("/b", 2), fader("/c", 3), fader("/b", 2), fader("/a", 1), fader("/d", 4)}));
         },
         {1, 2, 3, 0, New}},
    };
    for (const Case &c : cases) {
        ActionTable table;
        table.replace(
            tarvex::test::table({fader("/a", 1), fader("/b", 2), fader("/c", 3), fader("/b", 2)}));
        RowKeys keys;
        const std::span<const RowKey> first = keys.keysOf(table);
        const std::vector<RowKey> before(first.begin(), first.end());
        c.make(table);
        const std::span<const RowKey> after = keys.keysOf(table);
        ASSERT_EQ(after.size(), c.keptFrom.size()) << c.change;
        std::set<RowKey> seen(before.begin(), before.end());
        for (size_t i = 0; i < after.size(); ++i) {
            if (c.keptFrom[i] == New)
                EXPECT_TRUE(seen.insert(after[i]).second) << c.change << ", row " << i;
            else
                EXPECT_EQ(after[i], before[static_cast<size_t>(c.keptFrom[i])])
                    << c.change << ", row " << i;
            EXPECT_EQ(keys.keyOf(table, static_cast<int32_t>(i)), after[i]);
        }
        EXPECT_EQ(keys.keyOf(table, static_cast<int32_t>(after.size())), NoRow);
    }
}

// A helper that counts hits per row: what it is told goes into the host's log.
class RowCountingHelper : public FakeHostHelper, public IHostRowHits {
public:
    void rowExecuting(RowKey row) override { log->add("row " + std::to_string(row)); }
    void listRowShows(const ObjectPtr &, RowKey) override {}
};

class RowTell : public EngineTest {
protected:
    RowTell()
    {
        windows.cmp = counting;
        state.hostHelper = counting;
    }
    std::string rowLine(int32_t index)
    {
        return "row " + std::to_string(state.rowKeys.keyOf(state.actionTable, index));
    }
    const Calls &calls() const { return counting->log->calls; }

    std::shared_ptr<RowCountingHelper> counting = std::make_shared<RowCountingHelper>();
};

// A host call that replaces the table does not make the execute under way another row's.
TEST_F(RowTell, anExecuteUnderWayKeepsItsRowWhenTheTableIsReplaced)
{
    setTable(table({fader("/a", 1), fader("/b", 2)}));
    const std::string second = rowLine(1);
    counting->log->onCall = [&](const std::string &call) {
        if (call == "UserInteraction")
            state.actionTable.replace(table({fader("/z", 9), fader("/y", 8)}));
    };
    receiveFloat("/b", 1);
    EXPECT_EQ(calls()[2], second);
    EXPECT_NE(rowLine(1), second);
}

} // namespace
