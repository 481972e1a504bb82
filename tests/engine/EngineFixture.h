#pragma once
// A fresh plug-in state wired to recording fakes of the host and the windows.

#include "engine/OSCHandler.h"
#include "tests/support/ActionRows.h"
#include "tests/support/FakeHost.h"
#include "tests/support/FakeWindows.h"
#include "tests/support/OscBuilder.h"
#include "tests/support/Printers.h"

#include <gtest/gtest.h>

namespace tarvex::test {

class EngineTest : public ::testing::Test {
protected:
    EngineTest()
    {
        windows.cmp = helper;
        state.hostHelper = helper;
    }

    void setTable(VarArray rows) { state.actionTable.replace(std::move(rows)); }
    void receive(const OscBuilder &datagram) { handleDatagram(state, datagram.bytes()); }
    void receiveFloat(const std::string &address, float value)
    {
        receive(OscBuilder().message(address, ",f").f32(value));
    }
    const std::vector<std::string> &calls() const { return helper->log->calls; }
    // Only the executions, without the notifications and creations around them.
    std::vector<std::string> executions() const
    {
        std::vector<std::string> out;
        for (const std::string &c : calls())
            if (c.rfind("Execute", 0) == 0)
                out.push_back(c);
        return out;
    }

    std::shared_ptr<FakeHostHelper> helper = std::make_shared<FakeHostHelper>();
    FakeWindows windows;
    EngineState state{windows};
};

using Calls = std::vector<std::string>;

} // namespace tarvex::test
