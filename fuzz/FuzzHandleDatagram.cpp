// Feeds arbitrary datagrams to the dispatch over a small table that uses every operator, every
// argument kind and the beat rule, with the controllers' view listening. The first byte
// switches learn mode, the analyzer and feedback and picks one of eight senders; a VbError is
// how a datagram is dropped, anything else is a fault.

#include "controllers/ControllerNetwork.h"
#include "core/VbError.h"
#include "engine/OSCHandler.h"
#include "tests/support/ActionRows.h"
#include "tests/support/FakeHost.h"
#include "tests/support/FakeWindows.h"

#include <cstdint>
#include <cstdlib>

namespace {

using namespace tarvex;
using namespace tarvex::test;

VarArray everyOperatorTable()
{
    VarArray rows;
    int32_t id = 1;
    for (const char *op : {"=", "<", ">", "!=", "any", "never", "=>"}) {
        rows.append(
            actionRow("/f", {"f"}, {{condition(op, range("0.5", "0", "1"), target("F"))}}, id++));
        rows.append(actionRow(
            "/i", {"i", "i"},
            {{never(), condition(op, range("3", "-10", "10", "255", "0"), target("I"))}}, id++));
        rows.append(
            actionRow("/s", {"s"}, {{condition(op, parameters({"go"}), target("S"))}}, id++));
        rows.append(actionRow(
            "/beat", {"f"},
            {{condition(op, range("NumarkBeat", "-", "-", "-", "-", "-", "-"), target("B"))}}, id++,
            "Deactivated"));
    }
    rows.append(actionRow("/mix", {"f", "i", "s"},
                          {{condition("any", range("", "0", "1", "", "", "5", "5"), target("M"))},
                           {condition(">", range("0", "0", "0"), target("Deaktiviert"))},
                           {condition("!=", parameters({"x"}), target("M"))}},
                          id++));
    rows.append(actionRow(
        "/e", {"Empty"},
        {{condition("any", range("-", "-", "-", "-", "-", "-", "-"), target("E"))}}, id++));
    return rows;
}

// Sends nowhere; the flushes and expiries are run by the fuzzer itself.
class NoPort : public ControllerPort {
public:
    bool sendDatagram(const Endpoint &, std::span<const uint8_t>) override { return true; }
    void flushSoon() override {}
    void flushIn(int64_t) override {}
    void expireIn(int64_t) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static auto helper = std::make_shared<FakeHostHelper>();
    static FakeWindows windows;
    static EngineState state(windows);
    static NoPort port;
    static FeedbackSettings feedback;
    static ControllerNetwork controllers(port, feedback);
    static bool ready = false;
    if (!ready) {
        windows.cmp = helper;
        state.hostHelper = helper;
        state.actionTable.replace(everyOperatorTable());
        state.dispatchListener = &controllers;
        ready = true;
    }
    if (size == 0)
        return 0;
    windows.learning = (data[0] & 1) != 0;
    windows.analyzerIsOpen = (data[0] & 2) != 0;
    const FeedbackMode mode = (data[0] & 4) != 0 ? FeedbackMode::Others : FeedbackMode::Off;
    if (mode != feedback.mode) {
        feedback.mode = mode;
        controllers.feedbackChanged();
    }
    try {
        handleDatagram(state, {data + 1, size - 1}, Endpoint{0x7F000001, uint16_t(data[0] >> 5)});
    } catch (const VbError &) {
    }
    controllers.flushFeedback();
    if ((data[0] & 0x18) == 0x18)
        controllers.tables(0);
    // Keep the recordings bounded over millions of inputs.
    helper->log->clear();
    windows.analyzed.clear();
    if (state.learnedMessages.size() > 1000)
        state.learnedMessages.erase();
    return 0;
}
