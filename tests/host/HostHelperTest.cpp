#include "host/objects/HostHelper.h"
#include "host/objects/HostModuleInfo.h"
#include "host/objects/HostOptionList.h"

#include "core/VbError.h"

#include <gtest/gtest.h>

namespace tarvex::host {
namespace {

class HostHelperTest : public ::testing::Test {
protected:
    std::shared_ptr<Universes> universes = std::make_shared<Universes>(2);
    std::shared_ptr<HostEvents> events = std::make_shared<HostEvents>();
    std::shared_ptr<HostHelper> helperObject = std::make_shared<HostHelper>(universes, events);
    // As the plug-in holds it: a plain object.
    Variant helper{ObjectPtr(helperObject)};
};

int errorNumber(const std::function<void()> &call)
{
    try {
        call();
    } catch (const VbError &e) {
        return e.number();
    }
    return 0;
}

TEST_F(HostHelperTest, givesTheProjectsBaseFilenameByName)
{
    helperObject->project()->setBaseFilename("/shows/club/club.tvx");
    Variant project = callByName(helper, "Project");
    EXPECT_EQ(callByName(project, "BaseFilename"), Variant("/shows/club/club.tvx"));
    // Late binding ignores the case of names.
    EXPECT_EQ(callByName(callByName(helper, "PROJECT"), "basefilename"),
              Variant("/shows/club/club.tvx"));
}

TEST_F(HostHelperTest, reportsEveryUserInteractionOnItsStream)
{
    Variant stream = callByName(helper, "MyStream");
    EXPECT_NO_THROW(callByName(stream, "UserInteraction")); // nobody listening yet
    int interactions = 0;
    events->userInteraction = [&] { ++interactions; };
    callByName(stream, "UserInteraction");
    callByName(callByName(helper, "mystream"), "userinteraction");
    EXPECT_EQ(interactions, 2);
}

TEST_F(HostHelperTest, unknownMembersRaiseError438)
{
    EXPECT_EQ(errorNumber([&] { callByName(helper, "Projects"); }), errc::NoSuchMember);
    EXPECT_EQ(errorNumber([&] { callByName(callByName(helper, "Project"), "Filename"); }),
              errc::NoSuchMember);
    EXPECT_EQ(errorNumber([&] { callByName(callByName(helper, "MyStream"), "Execute"); }),
              errc::NoSuchMember);
}

TEST_F(HostHelperTest, itsTypedViewGivesOneFactoryWritingToTheHostsUniverses)
{
    HostModulePtr module = typedView(helperObject);
    ASSERT_TRUE(module);
    TargetFactoryPtr factory = module->GetTargetFactory();
    EXPECT_EQ(factory, module->GetTargetFactory());

    int32_t value = 42, min = 0, max = 255;
    factory->CreateTarget("DMX", "", "", 2, 3)->Execute(value, min, max, Variant());
    EXPECT_EQ(universes->level(2, 3), 42);
}

TEST_F(HostHelperTest, optionListsKeepTheirEntriesInOrder)
{
    OptionListPtr first = helperObject->NewOptionList();
    OptionListPtr second = helperObject->NewOptionList();
    EXPECT_NE(first, second);
    first->AddEntry("1. /a", "17");
    first->AddEntry("2. /b", "");
    first->AddEntry("1. /a", "17");

    auto entries = std::dynamic_pointer_cast<HostOptionList>(first)->entries();
    EXPECT_EQ(entries, (std::vector<OptionEntry>{{"1. /a", "17"}, {"2. /b", ""}, {"1. /a", "17"}}));
    EXPECT_TRUE(std::dynamic_pointer_cast<HostOptionList>(second)->entries().empty());
}

TEST_F(HostHelperTest, moduleInfoRecordsTheFourteenSettings)
{
    auto window = std::make_shared<Object>();
    auto server = std::make_shared<Object>();
    ModuleInfoPtr info = helperObject->NewModuleInfo();
    info->SetIdentifier("{6f1c1f2a-0b7d-4d2e-9a51-3c0e8f4b2d17}");
    info->SetName("Tarvex");
    info->SetDescription("Empfänger für OSC-Messages");
    info->SetAuthor("Tarvex");
    info->SetFlag1(VTrue);
    info->SetFlag2(VFalse);
    info->SetSetting(2);
    info->SetMainWindowName("frmMainOSC");
    info->SetMainWindow(window);
    info->SetFlag3(VTrue);
    info->SetFlag4(VFalse);
    info->SetCommandServer(server);
    info->SetFlag5(VTrue);
    auto codes = info->Codes();
    codes->Add(3);
    codes->Add(15);
    codes->Add(9);

    auto host = std::dynamic_pointer_cast<HostModuleInfo>(info);
    ASSERT_TRUE(host);
    EXPECT_EQ(host->identifier(), "{6f1c1f2a-0b7d-4d2e-9a51-3c0e8f4b2d17}");
    EXPECT_EQ(host->name(), "Tarvex");
    EXPECT_EQ(host->description(), "Empfänger für OSC-Messages");
    EXPECT_EQ(host->author(), "Tarvex");
    EXPECT_EQ((std::vector<VBool>{host->flag(1), host->flag(2), host->flag(3), host->flag(4),
                                  host->flag(5)}),
              (std::vector<VBool>{VTrue, VFalse, VTrue, VFalse, VTrue}));
    EXPECT_EQ(host->setting(), 2);
    EXPECT_EQ(host->mainWindowName(), "frmMainOSC");
    EXPECT_EQ(host->mainWindow(), window);
    EXPECT_EQ(host->commandServer(), server);
    EXPECT_EQ(host->codes(), (std::vector<int32_t>{3, 15, 9}));
    EXPECT_EQ(info->Codes(), codes); // one list property

    std::vector<ModuleInfoStep> inOrder;
    for (int step = 1; step <= 14; ++step)
        inOrder.push_back(static_cast<ModuleInfoStep>(step));
    inOrder.push_back(ModuleInfoStep::Codes); // read a second time above
    EXPECT_EQ(host->steps(), inOrder);

    auto fresh = std::dynamic_pointer_cast<HostModuleInfo>(helperObject->NewModuleInfo());
    EXPECT_TRUE(fresh->steps().empty());
    EXPECT_TRUE(fresh->codes().empty());
}

TEST_F(HostHelperTest, messageBoxesGoToTheHostOnlyWhenItTakesThem)
{
    auto boxes = std::dynamic_pointer_cast<IHostMessageBoxes>(helper.asObject());
    ASSERT_NE(boxes, nullptr);
    EXPECT_FALSE(boxes->takeMessageBox("unheard")); // no listener: the plug-in shows its own

    std::vector<std::string> texts;
    events->messageBox = [&](const std::string &text) {
        texts.push_back(text);
        return text != "declined";
    };
    EXPECT_TRUE(boxes->takeMessageBox("Port belegt"));
    EXPECT_FALSE(boxes->takeMessageBox("declined"));
    EXPECT_EQ(texts, (std::vector<std::string>{"Port belegt", "declined"}));
}

} // namespace
} // namespace tarvex::host
