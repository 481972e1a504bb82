#include "host/objects/DmxTargetFactory.h"

#include "core/Decimal.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace tarvex::host {
namespace {

constexpr int32_t Lowest = std::numeric_limits<int32_t>::min();
constexpr int32_t Highest = std::numeric_limits<int32_t>::max();

struct LevelCase {
    int32_t value, min, max;
    uint8_t level;
};

TEST(DmxLevel, mapsTheValueWithinTheLimitsOntoALevel)
{
    const std::vector<LevelCase> cases = {
        {0, 0, 255, 0},
        {128, 0, 255, 128},
        {255, 0, 255, 255}, // defaults: the value
        {-5, 0, 255, 0},
        {300, 0, 255, 255},     // clamped
        {10000, 0, 100000, 26}, // 25.5 to the even 26
        {30000, 0, 100000, 76}, // 76.5 to the even 76
        {1, 0, 2, 128},
        {50, 0, 100, 128},
        {20, 10, 30, 128},
        {0, 255, 0, 255},
        {255, 255, 0, 0},
        {64, 127, 0, 126}, // limits reversed
        {5, 5, 5, 255},
        {4, 5, 5, 0}, // equal limits
        {Highest, Lowest, Highest, 255},
        {Lowest, Lowest, Highest, 0},
        {0, Lowest, Highest, 128},
        {-1, Lowest, Highest, 127},
    };
    for (const LevelCase &c : cases) {
        EXPECT_EQ(dmxLevel(c.value, c.min, c.max), c.level)
            << c.value << " in [" << c.min << ", " << c.max << "]";
    }
}

struct Fixture : ::testing::Test {
    std::shared_ptr<Universes> universes = std::make_shared<Universes>(4);
    std::shared_ptr<HostEvents> events = std::make_shared<HostEvents>();
    DmxTargetFactory factory{universes, events};

    struct Executed {
        TargetValues target;
        int32_t value, min, max;
    };
    std::vector<Executed> executed;

    Fixture()
    {
        events->executed = [this](const TargetValues &t, int32_t v, int32_t lo, int32_t hi) {
            executed.push_back({t, v, lo, hi});
        };
    }

    void execute(const HostTargetPtr &target, int32_t value, int32_t min = 0, int32_t max = 255)
    {
        target->Execute(value, min, max, Variant());
    }
};

using DmxTargetTest = Fixture;

TEST_F(DmxTargetTest, readsBackWhateverItWasCreatedFrom)
{
    const std::vector<TargetValues> cases = {
        {Variant(""), Variant(""), Variant(""), 0, 0},
        {Variant("DMX"), Variant("Spot links"), Variant("Notiz"), 1, 7},
        {Variant("Deaktiviert"), Variant(), Variant::null(), 255, Lowest},
        {Variant(Decimal::fromFloat(0.5f)), Variant(42), Variant::boolean(true), 200, Highest},
        {Variant("Ünïcödé"), Variant("a\tb\"c"), Variant(std::string("x\0y", 3)), 3, -1},
    };
    for (const TargetValues &v : cases) {
        HostTargetPtr target = factory.CreateTarget(v.t0, v.t1, v.t2, v.t3, v.t4);
        EXPECT_EQ(target->T0(), v.t0);
        EXPECT_EQ(target->T1(), v.t1);
        EXPECT_EQ(target->T2(), v.t2);
        EXPECT_EQ(target->T3(), v.t3);
        EXPECT_EQ(target->T4(), v.t4);
    }
}

TEST_F(DmxTargetTest, writesTheLevelOfADmxChannelAndReportsTheExecute)
{
    HostTargetPtr target = factory.CreateTarget("DMX", "Spot", "", 2, 512);
    execute(target, 10000, 0, 100000);

    EXPECT_EQ(universes->level(2, 512), 26);
    ASSERT_EQ(executed.size(), 1u);
    EXPECT_EQ(executed[0].target, (TargetValues{"DMX", "Spot", "", 2, 512}));
    EXPECT_EQ(executed[0].value, 10000);
    EXPECT_EQ(executed[0].min, 0);
    EXPECT_EQ(executed[0].max, 100000);

    execute(target, 127);
    EXPECT_EQ(universes->level(2, 512), 127);
}

TEST_F(DmxTargetTest, writesNothingForAnythingButAValidDmxChannel)
{
    const std::vector<TargetValues> cases = {
        {"Deaktiviert", "", "", 1, 1}, {"", "", "", 1, 1},      {"dmx", "", "", 1, 1},
        {Variant(), "", "", 1, 1},     {"DMX", "", "", 0, 1},   {"DMX", "", "", 5, 1},
        {"DMX", "", "", 1, 0},         {"DMX", "", "", 1, 513}, {"DMX", "", "", 1, -1},
        {"DMX16", "", "", 1, 512}, // its fine byte would have no channel
    };
    int changes = 0;
    universes->subscribe([&](uint8_t, const Universes::Frame &) { ++changes; });
    for (const TargetValues &v : cases)
        execute(factory.CreateTarget(v.t0, v.t1, v.t2, v.t3, v.t4), 255);

    EXPECT_EQ(changes, 0);
    EXPECT_EQ(executed.size(), cases.size()); // still reported, for the log
}

// The kind sets the width, T2's options the curve; a T2 that is no options is a note.
TEST_F(DmxTargetTest, sendsTheLevelItsKindAndOptionsSay)
{
    const struct {
        TargetValues target;
        int32_t value, max;
        uint8_t coarse, fine;
    } cases[] = {
        {{"DMX16", "Pan", "", 1, 20}, 32768, 65535, 128, 0},
        {{"DMX16", "Pan", "", 1, 20}, 1, 255, 1, 1}, // 257: 8-bit limits give coarse steps
        {{"DMX", "Dimmer", "curve=square", 1, 20}, 128, 255, 64, 0},
        {{"DMX", "Dimmer", "dim it softly", 1, 20}, 128, 255, 128, 0},
    };
    for (const auto &c : cases) {
        universes->set(1, 21, 0);
        execute(
            factory.CreateTarget(c.target.t0, c.target.t1, c.target.t2, c.target.t3, c.target.t4),
            c.value, 0, c.max);
        EXPECT_EQ(universes->level(1, 20), c.coarse) << c.target.t2.asString();
        EXPECT_EQ(universes->level(1, 21), c.fine) << c.target.t2.asString();
    }
}

// Each execute counts for the row the plug-in said it is for, also on one target shared by two
// rows; a target that writes no level still counts, without a level, and an execute told no row
// counts nowhere.
TEST_F(DmxTargetTest, countsEveryExecuteForTheRowItWasToldIsExecuting)
{
    HostTargetPtr spot = factory.CreateTarget("DMX", "Spot", "", 1, 7);
    HostTargetPtr nowhere = factory.CreateTarget("DMX", "Spot", "", 9, 7);
    TargetHits &hits = *factory.hits();
    hits.setExecutingRow(1);
    execute(spot, 100);
    hits.setExecutingRow(2);
    execute(spot, 50, 0, 100);
    hits.setExecutingRow(2);
    execute(nowhere, 3);
    execute(spot, 255); // no row said

    const TargetHit *first = hits.find(1);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->count, 1u);
    EXPECT_EQ(first->level, 100u);
    const TargetHit *second = hits.find(2);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->count, 2u);
    EXPECT_EQ(second->value, 3);
    EXPECT_EQ(second->level, std::nullopt);
    EXPECT_EQ(hits.find(3), nullptr);
    EXPECT_EQ(universes->level(1, 7), 255) << "a row untold still executes";
}

TEST_F(DmxTargetTest, executesWithoutAnyoneListening)
{
    DmxTargetFactory quiet(universes, nullptr);
    execute(quiet.CreateTarget("DMX", "", "", 4, 1), 99);
    EXPECT_EQ(universes->level(4, 1), 99);
}

} // namespace
} // namespace tarvex::host
