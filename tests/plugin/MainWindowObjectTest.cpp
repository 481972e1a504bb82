// The main window object as the host's command server, project hooks and scripting handle.
#include "PlugInFixture.h"

#include "core/VbError.h"
#include "store/ArrayFile.h"
#include "store/OSCSaver.h"
#include "support/ActionRows.h"

using namespace tarvex;
using namespace tarvex::test;

namespace {

Variant switchable(const std::string &address, int32_t id, const std::string &activation)
{
    return actionRow(address, {"f"}, {{condition("any", range("", "0", "1"), target(address))}}, id,
                     activation);
}

class MainWindowObjectTest : public PlugInTest {
protected:
    std::shared_ptr<WindowObject> object() { return runtime().mainWindowObject(); }
    ICommandServer &server() { return *std::dynamic_pointer_cast<ICommandServer>(object()); }
    IZelmoTool &tool() { return *std::dynamic_pointer_cast<IZelmoTool>(object()); }
    IHostScripting &scripting() { return *std::dynamic_pointer_cast<IHostScripting>(object()); }
    std::string actionsFile() const { return folder.path(std::string(ActionsFileName)); }
    std::string settingsFile() const { return folder.path(std::string(SettingsFileName)); }
    std::string activation(int32_t index)
    {
        return runtime().state().actionTable.rows()[index].array()[rowField::Activation].asString();
    }
    std::string address(int32_t index)
    {
        return runtime().state().actionTable.rows()[index].array()[rowField::Address].asString();
    }
};

using Entries = std::vector<std::pair<std::string, std::string>>;

Entries entriesOf(const OptionListPtr &list)
{
    return std::dynamic_pointer_cast<FakeOptionList>(list)->entries;
}

} // namespace

TEST_F(MainWindowObjectTest, listsTheProjectsActionsWithoutLoadingTheMainWindow)
{
    writeArrayFile(actionsFile(),
                   table({switchable("/a", 11, "Activated"), switchable("/b", 12, "Activated"),
                          switchable("/c", 13, "Deactivated")}));
    EXPECT_EQ(server().Name(), "Tarvex");
    EXPECT_EQ(entriesOf(server().GetFirstOptions()),
              (Entries{{"1. /a", "11"}, {"2. /b", "12"}, {"3. /c", "13"}}));
    EXPECT_EQ(entriesOf(server().GetSecondOptions(Variant("11"))),
              (Entries{{"Deaktivieren", "Deactivate"},
                       {"Aktivieren", "Activate"},
                       {"Toggeln", "toggle"}}));
    EXPECT_EQ(runtime().loadedMainWindow(), nullptr);
}

TEST_F(MainWindowObjectTest, executeSwitchesByTheExactCommandAndFailsOnANonNumber)
{
    runtime().state().actionTable.replace(table({switchable("/a", 5, "Deactivated")}));
    auto run = [&](const char *first, const char *second) {
        return server().ExecuteCommand(Variant(first), Variant(second), {}, {}, {});
    };
    EXPECT_TRUE(run("5", "activate").isEmpty());
    EXPECT_EQ(activation(0), "Deactivated");
    run("5", "Activate");
    EXPECT_EQ(activation(0), "Activated");
    run("5", "toggle");
    EXPECT_EQ(activation(0), "Deactivated");
    EXPECT_THROW(run("five", "toggle"), VbError);
    EXPECT_EQ(activation(0), "Deactivated");
}

TEST_F(MainWindowObjectTest, projectLoadClosesTheEditorAndRereadsTheFile)
{
    plugIn.plugin().Configure();
    writeArrayFile(actionsFile(), table({switchable("/new", 9, "Activated")}));
    runtime().state().actionTable.replace(table({switchable("/old", 1, "Activated")}));

    tool().LoadProjectData();
    EXPECT_EQ(runtime().loadedActionsEditor(), nullptr);
    ASSERT_EQ(runtime().state().actionTable.rows().upperBound(), 0);
    EXPECT_EQ(address(0), "/new");
}

TEST_F(MainWindowObjectTest, projectSaveWritesSettingsAndTheActionsOnlyForANonEmptyTable)
{
    tool().SaveProjectData();
    EXPECT_TRUE(fileExists(settingsFile()));
    EXPECT_FALSE(fileExists(actionsFile()));

    // The editor's rows become the table: here the rows it was filled with when it loaded.
    windows().unload(runtime().settingsWindowId());
    runtime().state().actionTable.replace(table({switchable("/saved", 4, "Activated")}));
    tool().SaveProjectData();
    VarArray actions;
    readArrayFile(actionsFile(), actions);
    EXPECT_EQ(actions[0].array()[rowField::Address].asString(), "/saved");
}

TEST_F(MainWindowObjectTest, projectHooksFailBackToTheHost)
{
    helper->setBaseFilename(folder.path("missing/show.zpr"));
    EXPECT_THROW(tool().SaveProjectData(), VbError);
    EXPECT_TRUE(boxes->boxes.empty());
}

TEST_F(MainWindowObjectTest, theRestOfTheToolChangesNothing)
{
    tool().ClearProjectData();
    tool().SetViewMode(3);
    EXPECT_EQ(tool().AskToSaveProjectData(), VFalse);
    EXPECT_TRUE(windows().loadOrder().empty());
}

TEST_F(MainWindowObjectTest, scriptingPressesTheTwoButtonsAndReadsTheirCaptions)
{
    runtime().mainWindow().IP->setText("127.0.0.1");
    runtime().mainWindow().Port->setText(QString::number(freeUdpPort()));
    EXPECT_EQ(scripting().serverCaption(), "Start");
    scripting().pressStart();
    EXPECT_EQ(scripting().serverCaption(), "Stop");
    EXPECT_TRUE(socketOpen());
    scripting().pressStart();
    EXPECT_EQ(scripting().serverCaption(), "Start");

    EXPECT_EQ(scripting().learnCaption(), "Lernen");
    runtime().settingsWindow().Port->setText(QString::number(freeUdpPort()));
    scripting().pressLearn();
    EXPECT_EQ(scripting().learnCaption(), "Stop");
}
