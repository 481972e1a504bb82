// Learn mode: each address once, with its tags and the range of every numeric argument.
#include "tests/engine/EngineFixture.h"

#include "engine/OSCLearn.h"

using namespace tarvex;
using namespace tarvex::test;

namespace {
Variant dec(const char *text)
{
    return Variant(Decimal::parse(text).value());
}
Variant pair(Variant low, Variant high)
{
    return Variant(VarArray::ofValues({low, high}));
}
Variant single(Variant v)
{
    return Variant(VarArray::ofValues({v}));
}
Variant list(std::vector<Variant> values)
{
    return Variant(VarArray::ofValues(std::move(values)));
}
Variant entry(const std::string &address, const std::vector<std::string> &tags,
              std::vector<Variant> groups)
{
    return list({Variant(address), Variant(VarArray::ofStrings(tags)), list(std::move(groups))});
}
} // namespace

class Learn : public EngineTest {
protected:
    Learn() { windows.learning = true; }
    const VarArray &learned() const { return state.learnedMessages; }
};

TEST_F(Learn, keepsTheSmallestAndLargestValue)
{
    for (float v : {0.3f, 0.1f, 0.8f})
        receiveFloat("/fader", v);
    ASSERT_EQ(learned().size(), 1u);
    EXPECT_EQ(learned()[0], entry("/fader", {"f"}, {list({pair(dec("0.1"), dec("0.8"))})}));
}

TEST_F(Learn, ignoresLongerTagListsAndWidensOnlyTheArgumentsSent)
{
    receive(OscBuilder().message("/xy", ",ff").f32(0.5f).f32(0.5f));
    receive(OscBuilder().message("/xy", ",fff").f32(0).f32(0).f32(0));
    receive(OscBuilder().message("/xy", ",f").f32(0.9f));
    receive(OscBuilder().message("/xy", ",i").i32(1));
    EXPECT_EQ(learned()[0],
              entry("/xy", {"f", "f"},
                    {list({pair(dec("0.5"), dec("0.9")), pair(dec("0.5"), dec("0.5"))})}));
}

TEST_F(Learn, groupsArgumentsByKindAndLeavesTextsAsFirstSeen)
{
    receive(OscBuilder().message("/m", ",isi").i32(3).str("a").i32(-4));
    receive(OscBuilder().message("/m", ",isi").i32(10).str("b").i32(-9));
    EXPECT_EQ(learned()[0],
              entry("/m", {"i", "s", "i"},
                    {list({pair(Variant(3), Variant(10)), pair(Variant(-9), Variant(-4))}),
                     list({single(Variant("a"))})}));
}

TEST_F(Learn, givesEveryValueOfALaterGroupItsOwnList)
{
    receive(OscBuilder().message("/g", ",sff").str("x").f32(1).f32(2));
    EXPECT_EQ(learned()[0], entry("/g", {"s", "f", "f"},
                                  {list({single(Variant("x"))}),
                                   list({pair(dec("1"), dec("1")), pair(dec("2"), dec("2"))})}));
}

TEST_F(Learn, recordsAMessageWithoutArgumentsAsEmpty)
{
    receive(OscBuilder().str("/ping"));
    EXPECT_EQ(learned()[0],
              entry("/ping", {"Empty"}, {list({pair(Variant::integer(0), Variant::integer(0))})}));
}

TEST_F(Learn, learnsABundlesAddressesInOrderAndPassesOverNestedBundles)
{
    receive(OscBuilder()
                .bundle()
                .element(OscBuilder().message("/one", ",i").i32(1).bytes())
                .element(OscBuilder().message("/two", ",i").i32(2).bytes())
                .element(OscBuilder()
                             .bundle()
                             .element(OscBuilder().message("/in", ",i").i32(3).bytes())
                             .bytes()));
    ASSERT_EQ(learned().size(), 2u);
    EXPECT_EQ(learned()[0].array()[0], Variant("/one"));
    EXPECT_EQ(learned()[1].array()[0], Variant("/two"));
}

TEST_F(Learn, marksEveryDatagramAsReceivedEvenAnEmptyOne)
{
    receive(OscBuilder().bundle());
    EXPECT_TRUE(windows.received);
    EXPECT_FALSE(learned().isDimensioned());
}
