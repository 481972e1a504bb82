// The plug-in's engine driving the host's own objects: a datagram ends as a channel level, and a
// target chosen in the editor's cells reaches the engine through its five values.
#include "host/objects/HostHelper.h"

#include "engine/OSCHandler.h"
#include "tests/support/ActionRows.h"
#include "tests/support/FakeListWidget.h"
#include "tests/support/FakeWindows.h"
#include "tests/support/OscBuilder.h"

#include <gtest/gtest.h>

namespace tarvex::host {
namespace {

using namespace tarvex::test;

VarArray dmxTarget(uint8_t universe, int32_t channel)
{
    return VarArray::ofValues(
        {Variant("DMX"), Variant("Spot"), Variant(""), Variant::byte(universe), Variant(channel)});
}

class EngineRoad : public ::testing::Test {
protected:
    EngineRoad()
    {
        events->userInteraction = [this] { lines.push_back("userInteraction"); };
        events->executed = [this](const TargetValues &, int32_t v, int32_t lo, int32_t hi) {
            lines.push_back("execute " + std::to_string(v) + " " + std::to_string(lo) + " " +
                            std::to_string(hi));
        };
        windows.cmp = typedView(helper);
        state.hostHelper = helper;
    }

    void receiveFloat(const std::string &address, float value)
    {
        handleDatagram(state, OscBuilder().message(address, ",f").f32(value).bytes());
    }

    std::shared_ptr<Universes> universes = std::make_shared<Universes>(2);
    std::shared_ptr<HostEvents> events = std::make_shared<HostEvents>();
    std::shared_ptr<HostHelper> helper = std::make_shared<HostHelper>(universes, events);
    FakeWindows windows;
    EngineState state{windows};
    std::vector<std::string> lines;
};

TEST_F(EngineRoad, aFaderSetsItsChannelAndEqualLimitsGiveATenthOfFull)
{
    state.actionTable.replace(table({
        actionRow("/fader1", {"f"}, {{condition("any", range("", "0", "1"), dmxTarget(1, 7))}}),
        actionRow("/fader2", {"f"},
                  {{condition("any", range("", "0", "1", "0", "255", "5", "5"), dmxTarget(2, 1))}},
                  2),
    }));

    receiveFloat("/fader1", 0.5f);
    receiveFloat("/fader2", 1.0f);

    EXPECT_EQ(universes->level(1, 7), 128);
    EXPECT_EQ(universes->level(2, 1), 26);
    EXPECT_EQ(lines, (std::vector<std::string>{"userInteraction", "execute 128 0 255",
                                               "userInteraction", "execute 10000 0 100000"}));
}

TEST_F(EngineRoad, aTargetChosenInTheEditorsCellsIsTheOneTheEngineExecutes)
{
    TargetFactoryPtr factory = typedView(helper)->GetTargetFactory();
    auto list = std::make_shared<FakeListWidget>();
    ListRowPtr row = list->addRow("/fader1");
    HostTargetPtr edited = factory->CreateTarget("", "", "", 0, 0);
    const std::vector<std::pair<int, std::string>> choices = {
        {10, "DMX"}, {11, "2"}, {12, "300"}, {13, "Wash"}};
    for (const auto &[column, text] : choices) {
        list->setEditCell(1, column);
        factory->BeginCellEdit(edited, list, 10);
        factory->EndCellEdit(edited, list, 10);
        row->setSubItem(column, text);
    }

    // The editor's getCommand reads T0..T4; the rebuild stores them as the condition's target.
    VarArray target = VarArray::ofValues({edited->T0(), edited->T1(), edited->T2(),
                                          Variant::byte(edited->T3()), Variant(edited->T4())});
    state.actionTable.replace(
        table({actionRow("/fader1", {"f"}, {{condition("any", range("", "0", "1"), target)}})}));
    receiveFloat("/fader1", 1.0f);

    EXPECT_EQ(universes->level(2, 300), 255);
}

} // namespace
} // namespace tarvex::host
