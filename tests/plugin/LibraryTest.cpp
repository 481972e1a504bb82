// The built plug-in library as any host meets it: loaded with QLibrary, created through its one
// entry point, and driven through its interfaces only, with the host's own helper objects.
#include "host/objects/HostHelper.h"
#include "host/objects/HostModuleInfo.h"
#include "host/objects/Universes.h"
#include "plugin/api/HostScripting.h"
#include "plugin/api/PlugInEntry.h"
#include "store/ArrayFile.h"
#include "store/OSCSaver.h"
#include "tests/support/QtWait.h"

#include <QLibrary>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using namespace tarvex;
using namespace tarvex::host;

namespace {

class PlugInLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        library.setFileName(TARVEX_PLUGIN_LIBRARY);
        ASSERT_TRUE(library.load()) << library.errorString().toStdString();
        auto create = reinterpret_cast<CreatePlugInFunction>(library.resolve(TARVEX_ENTRY_POINT));
        ASSERT_NE(create, nullptr);
        plugIn.reset(create());
        ASSERT_TRUE(plugIn);
        helper->project()->setBaseFilename(folder.filePath("show.tarvex").toStdString());
        // Boxes reach the host, never a modal box in a test.
        events->messageBox = [this](const std::string &text) {
            boxes.push_back(text);
            return true;
        };
        ObjectPtr helperObject = helper;
        ASSERT_EQ(plugIn->plugin().Init("Test host", "", helperObject), VTrue);
    }
    void TearDown() override
    {
        plugIn.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        library.unload();
    }

    std::shared_ptr<HostModuleInfo> moduleInfo()
    {
        return std::dynamic_pointer_cast<HostModuleInfo>(plugIn->module().ModuleInfo());
    }

    QTemporaryDir folder;
    QLibrary library;
    std::shared_ptr<HostEvents> events = std::make_shared<HostEvents>();
    std::shared_ptr<HostHelper> helper =
        std::make_shared<HostHelper>(std::make_shared<Universes>(1), events);
    std::unique_ptr<IPlugInClass> plugIn;
    std::vector<std::string> boxes;
};

} // namespace

TEST_F(PlugInLibrary, introducesItselfWithItsFourteenValues)
{
    EXPECT_EQ(plugIn->PluginName(), "Tarvex");
    EXPECT_EQ(plugIn->plugin().PluginName(), "Tarvex");
    auto info = moduleInfo();
    ASSERT_TRUE(info);
    ASSERT_EQ(info->steps().size(), 14u);
    EXPECT_EQ(info->steps().back(), ModuleInfoStep::Codes);
    EXPECT_EQ(info->name(), "Tarvex");
    EXPECT_EQ(info->description(), "Empf\u00e4nger f\u00fcr OSC-Messages");
    EXPECT_EQ(info->mainWindowName(), "frmMainOSC");
    EXPECT_EQ(info->codes(), (std::vector<int32_t>{3, 15, 9}));
    EXPECT_EQ(info->identifier(), moduleInfo()->identifier());
    auto window = std::dynamic_pointer_cast<IExternalWindow>(info->mainWindow());
    ASSERT_TRUE(window);
    EXPECT_EQ(window->isOpen(), VFalse);
    EXPECT_TRUE(std::dynamic_pointer_cast<ICommandServer>(info->commandServer()));
    EXPECT_TRUE(std::dynamic_pointer_cast<IZelmoTool>(info->commandServer()));
}

TEST_F(PlugInLibrary, servesTheHostsCuesAndWindows)
{
    auto info = moduleInfo();
    auto server = std::dynamic_pointer_cast<ICommandServer>(info->commandServer());
    auto window = std::dynamic_pointer_cast<IExternalWindow>(info->mainWindow());
    EXPECT_EQ(server->Name(), "Tarvex");
    EXPECT_TRUE(server->GetSecondOptions(Variant()));
    EXPECT_TRUE(server->GetFirstOptions());
    EXPECT_THROW(server->ExecuteCommand(Variant("x"), Variant("toggle"), {}, {}, {}),
                 std::exception);

    EXPECT_EQ(window->showWindow(), VFalse);
    EXPECT_EQ(window->isOpen(), VTrue);
    EXPECT_EQ(window->WindowState(), 0);
    EXPECT_EQ(plugIn->plugin().Configure(), VTrue);
    EXPECT_EQ(plugIn->plugin().Enable(), VTrue);
    EXPECT_EQ(plugIn->plugin().Disable(), VFalse);
}

TEST_F(PlugInLibrary, termClosesTheServerAndTheMainWindow)
{
    auto info = moduleInfo();
    auto window = std::dynamic_pointer_cast<IExternalWindow>(info->mainWindow());
    auto scripting = std::dynamic_pointer_cast<IHostScripting>(info->mainWindow());
    ASSERT_TRUE(scripting);
    // The project's settings: the server on a free port of 127.0.0.1.
    const uint16_t port = test::freeUdpPort();
    writeArrayFile(folder.filePath(QString::fromUtf8(SettingsFileName.data())).toStdString(),
                   VarArray::ofValues({Variant("Version 3"), Variant("127.0.0.1"),
                                       Variant(std::to_string(port)), Variant("127.0.0.1"),
                                       Variant("12345"), Variant::integer(0)}));
    window->loadWindow();
    scripting->pressStart();
    ASSERT_EQ(scripting->serverCaption(), "Stop");
    EXPECT_FALSE(test::canBindUdp(port));

    EXPECT_EQ(plugIn->plugin().Term(), VTrue);
    EXPECT_EQ(window->isOpen(), VFalse);
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(test::canBindUdp(port));
    EXPECT_EQ(plugIn->plugin().Term(), VTrue); // a second end finds nothing to close
}
