#pragma once
// A fresh plug-in runtime for window tests: a recording host, recorded message boxes, and the
// host project in a folder of its own (the settings and actions files go there).

#include "core/Conversions.h"
#include "net/frmMainOSC.h"
#include "plugin/PlugInRuntime.h"
#include "store/ArrayFile.h"
#include "store/OSCSaver.h"
#include "tests/store/StoreTestSupport.h"
#include "tests/support/ActionRows.h"
#include "tests/support/FakeHost.h"
#include "tests/support/OscBuilder.h"
#include "tests/support/QtWait.h"
#include "tests/support/RecordingMessageBoxes.h"

#include <gtest/gtest.h>

namespace tarvex::test {

class WindowTest : public ::testing::Test {
protected:
    WindowTest()
    {
        helper->setBaseFilename(folder.path("show.zpr"));
        runtime.state().hostHelper = helper;
    }

    // Writes a "Version 3" settings file with this main address, port and autostart value.
    void writeSettings(const std::string &ip, const std::string &port, int16_t autostart)
    {
        writeArrayFile(folder.path("TarvexSettings.dat"),
                       VarArray::ofValues({Variant("Version 3"), Variant(ip), Variant(port),
                                           Variant("127.0.0.1"), Variant("12345"),
                                           Variant::integer(autostart)}));
    }

    frmMainOSC &window() { return runtime.windows().mainWindow(); }
    // One row: /fader1 with a float in 0..1 runs target Ch1 with 0..255.
    void setFaderRow()
    {
        runtime.state().actionTable.replace(table({actionRow(
            "/fader1", {"f"}, {{condition("any", range("", "0", "1"), target("Ch1"))}})}));
    }
    void startOn(uint16_t port)
    {
        window().Port->setText(QString::number(port));
        window().Start_Click();
    }
    static std::vector<uint8_t> fader(float value)
    {
        return OscBuilder().message("/fader1", ",f").f32(value).bytes();
    }
    std::vector<std::string> executions() const
    {
        std::vector<std::string> out;
        for (const std::string &c : helper->log->calls)
            if (c.rfind("Execute", 0) == 0)
                out.push_back(c);
        return out;
    }
    bool socketOpen() { return window().Winsock1->State() != Winsock::sckClosed; }

    TempFolder folder;
    std::shared_ptr<FakeHostHelper> helper = std::make_shared<FakeHostHelper>();
    RecordingMessageBoxes *boxes = new RecordingMessageBoxes;
    PlugInRuntime runtime{std::unique_ptr<MessageBoxes>(boxes)};
};

} // namespace tarvex::test
