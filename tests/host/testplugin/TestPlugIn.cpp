// The test plug-in: a shared library with the plug-in's entry point whose class hands the host a
// TestMainWindow and notes every call, so that the host's loading, scripting and ending can be
// checked against any plug-in that follows the interfaces.

#include "tests/host/testplugin/TestMainWindow.h"

#include "plugin/api/PlugInEntry.h"

#include <cstdio>

namespace tarvex::testplugin {
namespace {

class TestPlugIn : public IPlugInClass, public IZelmoPlugin, public IZelmoModule {
public:
    TestPlugIn() : m_window(std::make_shared<TestMainWindow>()) { note("created"); }
    ~TestPlugIn() override { note("deleted"); }

    std::string PluginName() override
    {
        note("PluginName");
        return "TarvexTest";
    }
    IZelmoPlugin &plugin() override { return *this; }
    IZelmoModule &module() override { return *this; }

    VBool Disable() override { return VFalse; }
    VBool Enable() override { return VTrue; }
    VBool Configure() override
    {
        m_window->openEditor();
        return VTrue;
    }
    VBool Init(const std::string &, const std::string &, ObjectPtr &helper) override
    {
        note("Init");
        // Plug-ins and their libraries print; the headless host's output must stay JSON.
        std::fputs("TarvexTest: Init\n", stdout);
        std::fflush(stdout);
        m_window->setHelper(helper);
        return VTrue;
    }
    int32_t MessageHandle(int32_t, int32_t, int32_t) override { return 0; }
    VBool Term() override
    {
        note("Term");
        m_window->closeAll();
        return VTrue;
    }

    ModuleInfoPtr ModuleInfo() override
    {
        note("ModuleInfo");
        // The window's helper is the one Init stored.
        ModuleInfoPtr info = m_window->moduleInfoFactory()->NewModuleInfo();
        info->SetIdentifier("{6f1c2a4e-0000-4000-8000-000000000001}");
        info->SetName("TarvexTest");
        info->SetDescription("Test plug-in");
        info->SetAuthor("Tarvex tests");
        info->SetFlag1(VTrue);
        info->SetFlag2(VTrue);
        info->SetSetting(2);
        info->SetMainWindowName("frmTest");
        info->SetMainWindow(m_window);
        info->SetFlag3(VTrue);
        info->SetFlag4(VTrue);
        info->SetCommandServer(m_window);
        info->SetFlag5(VTrue);
        for (int32_t code : {3, 15, 9})
            info->Codes()->Add(code);
        return info;
    }

private:
    std::shared_ptr<TestMainWindow> m_window;
};

} // namespace
} // namespace tarvex::testplugin

extern "C" __attribute__((visibility("default"))) tarvex::IPlugInClass *tarvexCreatePlugIn()
{
    return new tarvex::testplugin::TestPlugIn();
}
