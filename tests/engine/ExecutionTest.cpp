// Executing a satisfied condition: scaling, defaults, limits, and the cache of host targets.
#include "tests/engine/EngineFixture.h"

#include "core/VbError.h"
#include "engine/ObjectHandler.h"

using namespace tarvex;
using namespace tarvex::test;

namespace {
Variant dec(const char *text)
{
    return Variant(Decimal::parse(text).value());
}
int32_t scaled(const Variant &value, const char *inMin, const char *inMax, int32_t outMin,
               int32_t outMax)
{
    return scaleValue(value, Variant(inMin), Variant(inMax), outMin, outMax).asLong();
}
} // namespace

TEST(ScaleValue, mapsTheInputRangeLinearlyOntoTheOutputRange)
{
    EXPECT_EQ(scaled(dec("0.5"), "0", "1", 0, 255), 128); // 127.5 goes to the even 128
    EXPECT_EQ(scaled(dec("1"), "0", "1", 0, 255), 255);
    EXPECT_EQ(scaled(Variant(127), "0", "127", 255, 0), 0);
    EXPECT_EQ(scaled(Variant(0), "0", "127", 255, 0), 255);
    EXPECT_EQ(scaled(Variant(0), "-1", "1", 0, 100), 50);
    EXPECT_EQ(scaled(Variant(-1), "-1", "1", -100, 100), -100);
    EXPECT_EQ(scaled(Variant(5), "10", "0", 0, 100), 50); // a reversed input range
    EXPECT_EQ(scaled(Variant(2), "10", "0", 0, 100), 80);
    EXPECT_EQ(scaled(dec("0.3"), "0", "1", 0, 255), 76);      // 76.5 goes to the even 76
    EXPECT_EQ(scaled(Variant(200), "0", "100", 0, 255), 510); // no clamping
    EXPECT_EQ(scaleValue(Variant(5), Variant(5), Variant(5), 0, 255).typeWord(), 0x0003);
}

TEST(ScaleValue, givesOutMinWhenTheMapCannotBeComputed)
{
    EXPECT_EQ(scaled(Variant(3), "5", "5", 17, 255), 17);
    EXPECT_EQ(scaled(Variant(2147483647), "0", "1", 0, 255), 0);
    EXPECT_EQ(scaled(Variant(1), "0", "1", 2147483600, 2147483647), 2147483600 + 47);
    EXPECT_EQ(scaled(Variant(1), "0", "1", -2147483647, 2147483647), -2147483647);
}

using Execution = EngineTest;

TEST_F(Execution, appliesTheDefaultsWithoutChangingTheRow)
{
    Variant row =
        actionRow("/a", {"f"}, {{condition("any", range("", "0", "1", "", ""), target("Ch"))}});
    setTable(table({row}));
    receiveFloat("/a", 0.5f);
    EXPECT_EQ(executions(), (Calls{"Execute Ch 128 0 255"}));
    EXPECT_EQ(state.actionTable.rows()[0], row);
}

TEST_F(Execution, sendsTheLimitsAndTheSpecialShareForEqualLimits)
{
    const VarArray tgt = target("Ch");
    const Variant half = dec("0.5");
    executeAction(state, half, range("", "0", "1", "80", "80"), tgt);
    executeAction(state, half, range("", "0", "1", "0", "255", "5", "5"), tgt);
    executeAction(state, half, range("", "0", "1", "0", "100", "10", "20"), tgt);
    executeAction(state, half, range("-", "-", "-", "-", "-", "-", "-"), tgt);
    executeAction(state, Variant("text"), range("", "0", "1"), tgt);
    executeAction(state, half, parameters({"only the compare value"}), tgt);
    // Equal output bounds held as different texts still scale.
    executeAction(state, half, range("", "0", "1", "0", "0.0"), tgt);
    EXPECT_EQ(executions(),
              (Calls{"Execute Ch 80 0 255", "Execute Ch 10000 0 100000", "Execute Ch 50 10 20",
                     "Execute Ch 127 0 255", "Execute Ch 127 0 255", "Execute Ch 127 0 255",
                     "Execute Ch 0 0 255"}));
}

TEST_F(Execution, aDisabledTargetOnlyNotifiesTheHost)
{
    executeAction(state, dec("0.5"), range("", "0", "1"), target("Deaktiviert"));
    EXPECT_EQ(calls(), (Calls{"UserInteraction"}));
}

TEST_F(Execution, conditionsWithTheSameTargetShareOneHostTarget)
{
    setTable(table({actionRow("/a", {"f", "f"},
                              {{condition("any", range("", "0", "1"), target("Ch")),
                                condition("any", range("", "0", "1"), target("Ch"))}})}));
    receive(OscBuilder().message("/a", ",ff").f32(0).f32(1));
    receive(OscBuilder().message("/a", ",ff").f32(1).f32(0));
    EXPECT_EQ(calls(), (Calls{"UserInteraction", "CreateTarget Ch T1 T2 3 1", "Execute Ch 0 0 255",
                              "UserInteraction", "Execute Ch 255 0 255", "UserInteraction",
                              "Execute Ch 255 0 255", "UserInteraction", "Execute Ch 0 0 255"}));
    EXPECT_EQ(state.targetCache.size(), 1u);
}

// Universe 1, channel 21 and universe 12, channel 1 read "121" both when their texts are joined:
// each is a host target of its own, so neither row drives the other's channel.
TEST_F(Execution, targetsWhoseValuesReadAlikeWhenJoinedAreTwoHostTargets)
{
    auto dmx = [](uint8_t universe, int32_t channel) {
        return VarArray::ofValues(
            {Variant("DMX"), Variant(""), Variant(""), Variant::byte(universe), Variant(channel)});
    };
    setTable(
        table({actionRow("/a", {"f"}, {{condition("any", range("", "0", "1"), dmx(1, 21))}}),
               actionRow("/b", {"f"}, {{condition("any", range("", "0", "1"), dmx(12, 1))}}, 2)}));
    receiveFloat("/a", 1);
    receiveFloat("/b", 1);
    EXPECT_EQ(calls()[1], "CreateTarget DMX   1 21");
    EXPECT_EQ(calls()[4], "CreateTarget DMX   12 1");
    EXPECT_EQ(state.targetCache.size(), 2u);
}

TEST_F(Execution, targetsNoConditionUsesAreReleasedOnce)
{
    setTable(table(
        {actionRow("/a", {"f"}, {{condition("any", range("", "0", "1"), target("Kept"))}}),
         actionRow("/b", {"f"}, {{condition("any", range("", "0", "1"), target("Dropped"))}})}));
    receiveFloat("/a", 1);
    receiveFloat("/b", 1);
    helper->log->clear();
    state.actionTable.edit()[1] = actionRow("/b", {"f"}, {{never()}});
    releaseUnusedTargets(state);
    releaseUnusedTargets(state);
    EXPECT_EQ(calls(), (Calls{"ReleaseTarget Dropped"}));
    EXPECT_TRUE(state.targetCache.contains(targetKey(target("Kept"))));
    EXPECT_FALSE(state.targetCache.contains(targetKey(target("Dropped"))));
}

TEST_F(Execution, aReleaseWithoutTheFactoryKeepsTheTargetCached)
{
    setTable(
        table({actionRow("/a", {"f"}, {{condition("any", range("", "0", "1"), target("Ch"))}})}));
    receiveFloat("/a", 1);
    state.actionTable.erase();
    windows.cmp = nullptr; // the main window has not been loaded
    EXPECT_THROW(releaseUnusedTargets(state), VbError);
    EXPECT_EQ(state.targetCache.size(), 1u);
    windows.cmp = helper;
    releaseUnusedTargets(state);
    EXPECT_EQ(state.targetCache.size(), 0u);
    EXPECT_EQ(calls().back(), "ReleaseTarget Ch");
}

TEST_F(Execution, aHostModuleWithoutAFactoryFailsTheDatagramWithError91)
{
    setTable(
        table({actionRow("/a", {"f"}, {{condition("any", range("", "0", "1"), target("Ch"))}})}));
    helper->factory = nullptr;
    try {
        receiveFloat("/a", 1);
        ADD_FAILURE() << "no failure";
    } catch (const VbError &e) {
        EXPECT_EQ(e.number(), errc::ObjectVariableNotSet);
    }
    EXPECT_EQ(executions(), Calls{});
}

TEST_F(Execution, aChangedCellTakesEffectWithTheNextDatagram)
{
    setTable(
        table({actionRow("/a", {"f"}, {{condition("any", range("", "0", "1"), target("Ch"))}})}));
    receiveFloat("/a", 1);
    VarArray &parameters = state.actionTable.edit()[0]
                               .mutableArray()[2]
                               .mutableArray()[0]
                               .mutableArray()[0]
                               .mutableArray()[1]
                               .mutableArray();
    parameters[4] = Variant("100");
    parameters[6] = Variant("-");
    receiveFloat("/a", 1);
    EXPECT_EQ(executions(), (Calls{"Execute Ch 255 0 255", "Execute Ch 100 0 255"}));
}

TEST_F(Execution, aCellTooLargeForANumberFailsOnlyWhereItIsUsed)
{
    // outMin is only converted when the value is scaled: a text value still runs.
    executeAction(state, Variant("text"), range("", "0", "1", "1e30"), target("Ch"));
    EXPECT_EQ(executions(), (Calls{"Execute Ch 127 0 255"}));
    helper->log->clear();
    EXPECT_THROW(executeAction(state, dec("0.5"), range("", "0", "1", "1e30"), target("Ch")),
                 VbError);
    EXPECT_EQ(calls(), (Calls{"UserInteraction"}));
    // An input bound too large for a decimal gives outMin, as any term that does not fit.
    helper->log->clear();
    executeAction(state, dec("0.5"), range("", "0", "1e30", "7"), target("Ch"));
    EXPECT_EQ(executions(), (Calls{"Execute Ch 7 0 255"}));
    // A limit too large fails after the target was found.
    EXPECT_THROW(
        executeAction(state, dec("0.5"), range("", "0", "1", "0", "255", "1e12"), target("Ch")),
        VbError);
}
