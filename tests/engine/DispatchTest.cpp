// From datagram to host calls: matching, operators, the beat rule, and who takes the datagram.
#include "tests/engine/EngineFixture.h"

#include "core/VbError.h"
#include "engine/ObjectHandler.h"

using namespace tarvex;
using namespace tarvex::test;

namespace {
Variant anyFader(const std::string &address, const std::string &name, int32_t id = 1,
                 const std::string &activation = "Activated")
{
    return actionRow(address, {"f"}, {{condition("any", range("", "0", "1"), target(name))}}, id,
                     activation);
}
} // namespace

using Matching = EngineTest;

TEST_F(Matching, runsTheRowOfTheAddressWithTheHostCallsInOrder)
{
    setTable(table({anyFader("/fader1", "Ch1")}));
    receiveFloat("/fader1", 0.5f);
    EXPECT_EQ(calls(),
              (Calls{"UserInteraction", "CreateTarget Ch1 T1 T2 3 1", "Execute Ch1 128 0 255"}));
    EXPECT_EQ(windows.receptionSignals, 1);
}

TEST_F(Matching, comparesAddressesExactlyAndCaseSensitively)
{
    setTable(table({anyFader("/fader1", "Ch1")}));
    receiveFloat("/Fader1", 0.5f);
    receiveFloat("/fader1/", 0.5f);
    receiveFloat("/fader", 0.5f);
    EXPECT_TRUE(calls().empty());
}

TEST_F(Matching, needsTheMessagesTagsAtTheRowsPositions)
{
    setTable(table({
        actionRow("/a", {"i", "f"},
                  {{condition("any", range("", "0", "10"), target("IF"))}, {never()}}),
        actionRow("/a", {"f"}, {{condition("any", range("", "0", "1"), target("F"))}}),
        // Tags the row has beyond the message's are not examined.
        actionRow("/a", {"i", "f", "s"},
                  {{condition("any", range("", "0", "10"), target("IFS"))}, {never()}, {never()}}),
        actionRow("/a", {"i"}, {{condition("any", range("", "0", "10"), target("I"))}}),
    }));
    receive(OscBuilder().message("/a", ",if").i32(5).f32(0.5f));
    EXPECT_EQ(executions(), (Calls{"Execute IF 128 0 255", "Execute IFS 128 0 255"}));
    helper->log->clear();
    receive(OscBuilder().message("/a", ",i").i32(5));
    EXPECT_EQ(executions(),
              (Calls{"Execute IF 128 0 255", "Execute IFS 128 0 255", "Execute I 128 0 255"}));
}

TEST_F(Matching, runsEveryMatchingRowInTableOrder)
{
    setTable(table({anyFader("/x", "First"), anyFader("/y", "Other"), anyFader("/x", "Second")}));
    receive(OscBuilder()
                .bundle()
                .element(OscBuilder().message("/x", ",f").f32(1).bytes())
                .element(OscBuilder().message("/y", ",f").f32(0).bytes()));
    EXPECT_EQ(executions(), (Calls{"Execute First 255 0 255", "Execute Second 255 0 255",
                                   "Execute Other 0 0 255"}));
}

TEST_F(Matching, aSkippedNeverConditionStillCountsItsArgument)
{
    // The second float is the selected argument: it uses conditions(0)(1).
    setTable(table({actionRow("/xy", {"f", "f"},
                              {{never(), condition("any", range("", "0", "1"), target("Y"))}})}));
    receive(OscBuilder().message("/xy", ",ff").f32(0.1f).f32(1));
    EXPECT_EQ(executions(), (Calls{"Execute Y 255 0 255"}));
}

TEST_F(Matching, argumentsOfOneRowEachRunTheirOwnAction)
{
    setTable(table({actionRow("/mix", {"f", "i", "f"},
                              {{condition("any", range("", "0", "1"), target("F0")),
                                condition("any", range("", "0", "1"), target("F1"))},
                               {condition("any", range("", "0", "100"), target("I0"))}})}));
    receive(OscBuilder().message("/mix", ",fif").f32(0).i32(50).f32(1));
    EXPECT_EQ(executions(),
              (Calls{"Execute F0 0 0 255", "Execute I0 128 0 255", "Execute F1 255 0 255"}));
}

TEST_F(Matching, anArgumentLessRowRunsEvenWhileDeactivated)
{
    setTable(table(
        {actionRow("/go", {"Empty"},
                   {{condition("any", range("-", "-", "-", "-", "-", "-", "-"), target("Go"))}}, 7,
                   "Deactivated")}));
    receive(OscBuilder().str("/go"));
    receive(OscBuilder().str("/go"));
    EXPECT_EQ(executions(), (Calls{"Execute Go 127 0 255", "Execute Go 127 0 255"}));
}

TEST_F(Matching, damagedRowsNeverMatch)
{
    VarArray rows = table({Variant(), Variant("not a row"),
                           actionRow("/a", {"f"}, {}), // no conditions for the float
                           actionRow("/a", {"f"}, {{never(), never()}}), anyFader("/a", "Good")});
    rows[3].mutableArray()[2].mutableArray()[0].mutableArray()[0] =
        Variant(condition("any", VarArray(), VarArray()));
    setTable(std::move(rows));
    receiveFloat("/a", 1);
    EXPECT_EQ(executions(), (Calls{"Execute Good 255 0 255"}));
}

TEST_F(Matching, aNestedBundleMatchesNothing)
{
    setTable(table({anyFader("/a", "A")}));
    receive(OscBuilder().bundle().element(
        OscBuilder().bundle().element(OscBuilder().message("/a", ",f").f32(1).bytes()).bytes()));
    EXPECT_TRUE(calls().empty());
}

TEST_F(Matching, theIndexFollowsEveryChangeOfTheTable)
{
    setTable(table({anyFader("/a", "A")}));
    receiveFloat("/a", 1);
    state.actionTable.edit()[0].mutableArray()[0] = Variant("/b");
    receiveFloat("/a", 1);
    receiveFloat("/b", 1);
    state.actionTable.edit().append(anyFader("/a", "A2"));
    receiveFloat("/a", 1);
    deactivateAction(state, 1);
    receiveFloat("/b", 1);
    state.actionTable.erase();
    receiveFloat("/a", 1);
    EXPECT_EQ(executions(),
              (Calls{"Execute A 255 0 255", "Execute A 255 0 255", "Execute A2 255 0 255"}));
}

TEST_F(Matching, aCopiedTableAnswersFromItsOwnIndex)
{
    auto source = std::make_unique<ActionTable>();
    source->replace(table({anyFader("/a", "A"), anyFader("/b", "B"), anyFader("/a", "A2")}));
    ASSERT_EQ(source->rowsWithAddress("/a").size(), 2u);
    const ActionTable copy = *source;
    source.reset();
    const std::span<const int32_t> rows = copy.rowsWithAddress("/a");
    EXPECT_EQ(std::vector<int32_t>(rows.begin(), rows.end()), (std::vector<int32_t>{0, 2}));
}

using Operators = EngineTest;

TEST_F(Operators, compareNumbersWithTheReceivedValueOnTheLeft)
{
    setTable(table({
        actionRow("/v", {"f"}, {{condition("<", range("5", "0", "10"), target("Less"))}}),
        actionRow("/v", {"f"}, {{condition(">", range("5", "0", "10"), target("Greater"))}}),
        actionRow("/v", {"f"}, {{condition("=", range("5", "0", "10"), target("Equal"))}}),
        actionRow("/v", {"f"}, {{condition("!=", range("5", "0", "10"), target("Unequal"))}}),
    }));
    receiveFloat("/v", 4.5f);
    receiveFloat("/v", 5);
    receiveFloat("/v", 5.5f);
    EXPECT_EQ(executions(), (Calls{"Execute Less 115 0 255", "Execute Unequal 115 0 255",
                                   "Execute Equal 128 0 255", "Execute Greater 140 0 255",
                                   "Execute Unequal 140 0 255"}));
}

TEST_F(Operators, compareTextsExactly)
{
    setTable(table({actionRow("/s", {"s"}, {{condition("=", parameters({"go"}), target("Go"))}})}));
    receive(OscBuilder().message("/s", ",s").str("go"));
    receive(OscBuilder().message("/s", ",s").str("GO"));
    receive(OscBuilder().message("/s", ",s").str("go "));
    EXPECT_EQ(executions(), (Calls{"Execute Go 127 0 255"}));
}

TEST_F(Operators, evaluateConditionFollowsTheOperatorTable)
{
    const Variant on("Activated");
    struct Case {
        std::string op;
        Variant compareValue, value;
        bool expected;
    };
    const std::vector<Case> cases = {
        {"=", Variant("5"), Variant(5), true},            // numeric text counts as a number
        {"=", Variant(" 5 "), Variant(Decimal(5)), true}, // after trimming
        {"<", Variant("abc"), Variant(5), true},          // a number is less than a text
        {">", Variant("abc"), Variant(5), false},
        {"=", Variant("-"), Variant(5), false},
        {"=", Variant("10"), Variant("9"), false},
        {"<", Variant(""), Variant("a"), false}, // texts compare as texts
        {"<", Variant("b"), Variant("a"), true},
        {"any", Variant("whatever"), Variant("x"), true},
        {"never", Variant("5"), Variant(5), false},
        {"=>", Variant("5"), Variant(5), false}, // unknown operators need the beat
        {"!=", Variant(), Variant(0), false},    // Empty reads as 0
    };
    for (const Case &c : cases)
        EXPECT_EQ(evaluateCondition(state, c.op, c.compareValue, c.value, on), c.expected)
            << c.op << " " << toText(c.compareValue);
    EXPECT_FALSE(evaluateCondition(state, "any", Variant(), Variant(1), Variant("activated")));
    EXPECT_FALSE(evaluateCondition(state, "any", Variant(), Variant(1), Variant()));
}

TEST_F(Operators, aDeactivatedRowSatisfiesNothing)
{
    setTable(table({anyFader("/a", "A", 1, "Deactivated"), anyFader("/a", "B", 2, "activated")}));
    receiveFloat("/a", 1);
    EXPECT_TRUE(calls().empty());
}

using BeatRule = EngineTest;

TEST_F(BeatRule, isSatisfiedWhenTheValueFallsBelowThePreviousOne)
{
    setTable(table({actionRow(
        "/beat", {"f"},
        {{condition("=", range("NumarkBeat", "-", "-", "-", "-", "-", "-"), target("Beat"))}})}));
    for (float v : {0.2f, 0.5f, 0.9f, 0.1f})
        receiveFloat("/beat", v);
    EXPECT_EQ(executions(), (Calls{"Execute Beat 127 0 255"}));
    EXPECT_EQ(state.lastBeatValue, 0);
}

TEST_F(BeatRule, keepsTheRoundedLastValueAcrossRows)
{
    const Variant on("Activated");
    EXPECT_FALSE(evaluateCondition(state, "=", Variant("NumarkBeat"),
                                   Variant(Decimal::fromFloat(2.5f)), on));
    EXPECT_EQ(state.lastBeatValue, 2); // halves go to the even neighbour
    EXPECT_TRUE(evaluateCondition(state, "=", Variant("NumarkBeat"), Variant(1), on));
    EXPECT_EQ(state.lastBeatValue, 1);
    // "any" still updates it; an unknown operator gives just the beat.
    EXPECT_TRUE(evaluateCondition(state, "any", Variant("NumarkBeat"), Variant(7), on));
    EXPECT_EQ(state.lastBeatValue, 7);
    EXPECT_TRUE(evaluateCondition(state, "??", Variant("NumarkBeat"), Variant(3), on));
    EXPECT_FALSE(evaluateCondition(state, "??", Variant("NumarkBeat"), Variant(4), on));
}

TEST_F(BeatRule, isLeftAloneByNeverDeactivatedRowsAndTexts)
{
    state.lastBeatValue = 50;
    EXPECT_FALSE(
        evaluateCondition(state, "never", Variant("NumarkBeat"), Variant(1), Variant("Activated")));
    EXPECT_FALSE(
        evaluateCondition(state, "=", Variant("NumarkBeat"), Variant(1), Variant("Deactivated")));
    EXPECT_FALSE(evaluateCondition(state, "any", Variant("NumarkBeat"), Variant("text"),
                                   Variant("Activated")));
    EXPECT_EQ(state.lastBeatValue, 50);
}

TEST_F(BeatRule, takesATextThatReadsAsANumberAsThatNumber)
{
    const Variant on("Activated");
    state.lastBeatValue = 5;
    EXPECT_TRUE(evaluateCondition(state, "=", Variant("NumarkBeat"), Variant("1"), on));
    EXPECT_EQ(state.lastBeatValue, 1);
    EXPECT_FALSE(evaluateCondition(state, "=", Variant("NumarkBeat"), Variant(" 2.5 "), on));
    EXPECT_EQ(state.lastBeatValue, 2); // halves go to the even neighbour
    // A text that is no number satisfies nothing and leaves the value alone.
    EXPECT_FALSE(evaluateCondition(state, "any", Variant("NumarkBeat"), Variant("up"), on));
    EXPECT_EQ(state.lastBeatValue, 2);

    // From the network: the string "1" after 5 is a beat, as the float 1 would be.
    setTable(table({actionRow(
        "/beat", {"s"},
        {{condition("=", range("NumarkBeat", "-", "-", "-", "-", "-", "-"), target("Beat"))}})}));
    state.lastBeatValue = 5;
    receive(OscBuilder().message("/beat", ",s").str("1"));
    EXPECT_EQ(executions(), (Calls{"Execute Beat 127 0 255"}));
    EXPECT_EQ(state.lastBeatValue, 1);
}

using Takeover = EngineTest;

TEST_F(Takeover, learnModeTakesTheDatagramAndTheAnalyzerSeesItOnlyWhenOpen)
{
    setTable(table({anyFader("/a", "A")}));
    windows.learning = true;
    receiveFloat("/a", 1);
    EXPECT_TRUE(calls().empty());
    EXPECT_TRUE(windows.received);
    EXPECT_EQ(state.learnedMessages.size(), 1u);
    EXPECT_TRUE(windows.analyzed.empty());

    windows.analyzerIsOpen = true;
    receiveFloat("/b", 1);
    EXPECT_EQ(windows.analyzed, (std::vector<std::vector<std::string>>{{"/b"}}));
    EXPECT_TRUE(calls().empty());
}

TEST_F(Takeover, aClosedSocketIgnoresData)
{
    setTable(table({anyFader("/a", "A")}));
    windows.socketIsOpen = false;
    receiveFloat("/a", 1);
    EXPECT_TRUE(calls().empty());
}

TEST_F(Takeover, anUndecodableDatagramRunsNothing)
{
    setTable(table({anyFader("/a", "A")}));
    EXPECT_THROW(receive(OscBuilder().message("/a", ",f").raw({0x3F, 0x80})), VbError);
    EXPECT_TRUE(calls().empty());
    EXPECT_EQ(windows.receptionSignals, 1);
}

// A host that reloads the project from inside a target's execution.
class ReloadingTarget : public IHostTarget {
public:
    explicit ReloadingTarget(EngineState &state) : m_state(state) {}
    void Execute(int32_t &, int32_t &, int32_t &, const Variant &) override
    {
        ++executions;
        m_state.actionTable.erase();
    }
    Variant T1() override { return {}; }
    uint8_t T3() override { return 0; }
    Variant T0() override { return {}; }
    int32_t T4() override { return 0; }
    Variant T2() override { return {}; }
    int executions = 0;

private:
    EngineState &m_state;
};

TEST_F(Takeover, aTableReplacedByTheHostStopsTheDatagram)
{
    setTable(table({anyFader("/a", "A"), anyFader("/a", "B")}));
    auto reloading = std::make_shared<ReloadingTarget>(state);
    state.targetCache.add(targetKey(target("A")), reloading);
    receiveFloat("/a", 1);
    EXPECT_EQ(reloading->executions, 1);
    EXPECT_TRUE(executions().empty());
}

TEST_F(Takeover, anActionUnderWayWhenTheHostReplacesTheTableRunsWithItsOwnValues)
{
    setTable(table(
        {actionRow("/a", {"f"}, {{condition("any", range("", "0", "1", "0", "100"), target("A"))}}),
         anyFader("/a", "B")}));
    int notifications = 0;
    helper->stream->onCall = [&] {
        if (++notifications == 1)
            setTable(table({anyFader("/a", "Other")}));
    };
    receiveFloat("/a", 0.5f);
    // The first action fetches its target and runs with the values it started with; the rest
    // of the datagram stops.
    EXPECT_EQ(calls(),
              (Calls{"UserInteraction", "CreateTarget A T1 T2 3 1", "Execute A 50 0 255"}));
    helper->log->clear();
    receiveFloat("/a", 1);
    EXPECT_EQ(executions(), (Calls{"Execute Other 255 0 255"}));
}

// A host target whose execution hands a datagram to the plug-in, as a message box or another
// nested event loop in the host's windows can; it may then fail.
class HandingInTarget : public IHostTarget {
public:
    HandingInTarget(EngineState &state, std::shared_ptr<HostLog> log, std::vector<uint8_t> datagram,
                    bool failAfterwards)
        : m_state(state), m_log(std::move(log)), m_datagram(std::move(datagram)),
          m_fail(failAfterwards)
    {}
    void Execute(int32_t &, int32_t &, int32_t &, const Variant &) override
    {
        m_log->add("Execute hand-in");
        std::vector<uint8_t> datagram = std::exchange(m_datagram, {});
        if (!datagram.empty())
            handleDatagram(m_state, datagram);
        if (m_fail)
            throw VbError(5, "Invalid procedure call or argument");
    }
    Variant T1() override { return {}; }
    uint8_t T3() override { return 0; }
    Variant T0() override { return {}; }
    int32_t T4() override { return 0; }
    Variant T2() override { return {}; }

private:
    EngineState &m_state;
    std::shared_ptr<HostLog> m_log;
    std::vector<uint8_t> m_datagram;
    bool m_fail;
};

class Reentrance : public EngineTest {
protected:
    void handInFrom(const std::string &name, bool failAfterwards)
    {
        setTable(table(
            {anyFader("/a", name), anyFader("/a", "B"), anyFader("/b", "C"), anyFader("/c", "D")}));
        std::vector<uint8_t> bundle = OscBuilder()
                                          .bundle()
                                          .element(OscBuilder().message("/b", ",f").f32(1).bytes())
                                          .element(OscBuilder().message("/c", ",f").f32(1).bytes())
                                          .bytes();
        state.targetCache.add(targetKey(target(name)),
                              std::make_shared<HandingInTarget>(state, helper->log,
                                                                std::move(bundle), failAfterwards));
    }
};

TEST_F(Reentrance, aDatagramHandedInDuringHandlingRunsRightAfterInArrivalOrder)
{
    handInFrom("In", false);
    receiveFloat("/a", 1);
    EXPECT_EQ(executions(), (Calls{"Execute hand-in", "Execute B 255 0 255", "Execute C 255 0 255",
                                   "Execute D 255 0 255"}));
    EXPECT_FALSE(state.incoming.handling);
    EXPECT_TRUE(state.incoming.waiting.empty());
}

TEST_F(Reentrance, aFailingDatagramStillLetsTheWaitingOnesRunAndThenReportsItsFailure)
{
    handInFrom("In", true);
    EXPECT_THROW(receiveFloat("/a", 1), VbError);
    // The failure dropped the rest of the first datagram, not the one that waited.
    EXPECT_EQ(executions(),
              (Calls{"Execute hand-in", "Execute C 255 0 255", "Execute D 255 0 255"}));
    EXPECT_FALSE(state.incoming.handling);
    helper->log->clear();
    receiveFloat("/b", 0);
    EXPECT_EQ(executions(), (Calls{"Execute C 0 0 255"}));
}
