// The plug-in class as the host drives it: names, module information, Configure and Term.
#include "tests/plugin/PlugInFixture.h"

#include "core/VbError.h"
#include "plugin/MainWindowObject.h"
#include "ui/analyzer/frmAnalyzer.h"

#include <regex>

using namespace tarvex;
using namespace tarvex::test;
using host::HostModuleInfo;
using host::ModuleInfoStep;

namespace {

std::shared_ptr<HostModuleInfo> moduleInfo(clsZelmoPlugIn &plugIn)
{
    return std::dynamic_pointer_cast<HostModuleInfo>(plugIn.module().ModuleInfo());
}

} // namespace

TEST_F(PlugInTest, nameAndSwitchesChangeNothing)
{
    EXPECT_EQ(plugIn.PluginName(), "Tarvex");
    EXPECT_EQ(plugIn.plugin().PluginName(), plugIn.PluginName());
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(plugIn.plugin().Disable(), VFalse);
        EXPECT_EQ(plugIn.plugin().Enable(), VTrue);
        EXPECT_EQ(plugIn.plugin().MessageHandle(1, 2, 3), 0);
    }
    EXPECT_TRUE(windows().loadOrder().empty());
    EXPECT_EQ(runtime().state().hostHelper, helper);
}

TEST_F(PlugInTest, moduleInfoSetsItsFourteenValuesInOrderWithoutLoadingTheMainWindow)
{
    auto info = moduleInfo(plugIn);
    ASSERT_TRUE(info);
    std::vector<ModuleInfoStep> order;
    for (int step = 1; step <= 14; ++step)
        order.push_back(static_cast<ModuleInfoStep>(step));
    EXPECT_EQ(info->steps(), order);

    EXPECT_TRUE(std::regex_match(info->identifier(),
                                 std::regex("\\{[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}\\}")));
    EXPECT_EQ(info->name(), "Tarvex");
    EXPECT_EQ(info->description(), "Empf\u00e4nger f\u00fcr OSC-Messages");
    EXPECT_FALSE(info->author().empty());
    for (int flag = 1; flag <= 5; ++flag)
        EXPECT_EQ(info->flag(flag), VTrue) << flag;
    EXPECT_EQ(info->setting(), 2);
    EXPECT_EQ(info->mainWindowName(), "frmMainOSC");
    EXPECT_EQ(info->mainWindow(), runtime().windows().mainWindowObject());
    EXPECT_EQ(info->commandServer(), info->mainWindow());
    EXPECT_TRUE(std::dynamic_pointer_cast<ICommandServer>(info->commandServer()));
    EXPECT_EQ(info->codes(), (std::vector<int32_t>{3, 15, 9}));
    EXPECT_EQ(runtime().windows().loadedMainWindow(), nullptr);
}

TEST_F(PlugInTest, moduleInfoTwiceGivesTwoObjectsWithTheSameContents)
{
    auto first = moduleInfo(plugIn);
    auto second = moduleInfo(plugIn);
    ASSERT_TRUE(first && second);
    EXPECT_NE(first, second);
    EXPECT_EQ(first->identifier(), second->identifier());
    EXPECT_EQ(first->author(), second->author());
    EXPECT_EQ(first->mainWindow(), second->mainWindow());
    EXPECT_EQ(first->codes(), second->codes());
    EXPECT_EQ(first->steps(), second->steps());
}

TEST_F(PlugInTest, moduleInfoWithoutAHostThatMakesOneFails)
{
    ObjectPtr plain = std::make_shared<FakeHostHelper>();
    plugIn.plugin().Init("Host", "", plain);
    EXPECT_THROW(plugIn.module().ModuleInfo(), VbError);
}

TEST_F(PlugInTest, configureShowsTheEditorModeless)
{
    EXPECT_EQ(plugIn.plugin().Configure(), VTrue);
    FormWindow *editor = windows().loaded(runtime().windows().settingsWindowId());
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->isVisible());
    EXPECT_FALSE(editor->isModal());
    EXPECT_EQ(plugIn.plugin().Configure(), VTrue); // once more: the same window
    EXPECT_EQ(windows().loaded(runtime().windows().settingsWindowId()), editor);
}

TEST_F(PlugInTest, termWithNothingLoadedDoesNothing)
{
    EXPECT_EQ(plugIn.plugin().Term(), VTrue);
    EXPECT_TRUE(windows().loadOrder().empty());
    EXPECT_TRUE(events.empty());
}

TEST_F(PlugInTest, termClosesTheSocketBeforeTheMainWindowGoes)
{
    const uint16_t port = startServer();
    runtime().windows().mainWindowObject()->showWindow(); // only a shown window notes its hide
    ASSERT_TRUE(socketOpen());
    watchHides(runtime().windows().mainWindowId());

    EXPECT_EQ(plugIn.plugin().Term(), VTrue);
    EXPECT_EQ(events, std::vector<std::string>{"hide frmMainOSC (socket closed)"});
    EXPECT_EQ(runtime().windows().loadedMainWindow(), nullptr);
    EXPECT_TRUE(canBindUdp(port));
}

TEST_F(PlugInTest, termUnloadsEditorMainWindowAndAnalyzerInLoadOrderAndLeavesTheHelp)
{
    showAnalyzer();
    plugIn.plugin().Configure();
    runtime().windows().mainWindowObject()->showWindow();
    runtime().analyzerContext().showRegexSyntax();
    for (WindowId id : windows().loadOrder())
        watchHides(id);

    EXPECT_EQ(plugIn.plugin().Term(), VTrue);
    EXPECT_EQ(events, (std::vector<std::string>{"hide frmAnalyzer", "hide frmSettings",
                                                "hide frmMainOSC (socket closed)"}));
    EXPECT_EQ(windows().loadOrder(),
              std::vector<WindowId>{runtime().windows().regexSyntaxWindowId()});
}

TEST_F(PlugInTest, theHostsWindowObjectFailsOnceThePlugInIsGone)
{
    std::shared_ptr<WindowObject> window;
    {
        clsZelmoPlugIn other{std::make_unique<RecordingMessageBoxes>()};
        window = other.runtime().windows().mainWindowObject();
    }
    auto server = std::dynamic_pointer_cast<ICommandServer>(window);
    ASSERT_TRUE(server);
    EXPECT_THROW(server->GetSecondOptions(Variant()), VbError);
    EXPECT_THROW(window->showWindow(), VbError);
}
