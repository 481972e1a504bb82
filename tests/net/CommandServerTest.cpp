// The host's cues (listing and switching actions) and its project hooks, over real files.
#include "net/CommandServer.h"

#include "core/Conversions.h"
#include "core/VbError.h"
#include "engine/OSCHandler.h"
#include "plugin/api/HostScripting.h"
#include "store/ArrayFile.h"
#include "store/NetworkFile.h"
#include "store/OSCSaver.h"
#include "tests/store/StoreTestSupport.h"
#include "tests/support/ActionRows.h"
#include "tests/support/FakeHost.h"
#include "tests/support/FakeWindows.h"
#include "tests/support/Printers.h"

#include <gtest/gtest.h>

using namespace tarvex;
using namespace tarvex::test;

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

Entries entriesOf(const OptionListPtr &list)
{
    return std::dynamic_pointer_cast<FakeOptionList>(list)->entries;
}

Variant switchable(const std::string &address, int32_t id, const std::string &activation)
{
    return actionRow(address, {"f"}, {{condition("any", range("", "0", "1"), target(address))}}, id,
                     activation);
}

// The editor as the project hooks see it. Reading the editor's address for the settings loads
// it, as the real window does; every step lands in one log.
class ProjectFake : public ProjectWindows {
public:
    explicit ProjectFake(PlugInState &s) : state(s) {}
    bool editorLoaded() override { return loaded; }
    void unloadEditor() override
    {
        log.push_back("unloadEditor");
        loaded = false;
    }
    void rebuildActionTable() override
    {
        log.push_back("rebuildActionTable");
        loaded = true;
        state.actionTable.replace(editorRows);
    }

    PlugInState &state;
    bool loaded = false;
    VarArray editorRows;
    std::vector<std::string> log;
};

class CommandServer : public ::testing::Test {
protected:
    CommandServer()
    {
        state.hostHelper = helper;
        helper->setBaseFilename(folder.path("show.zpr"));
    }

    void setTable(VarArray rows) { state.actionTable.replace(std::move(rows)); }
    std::string activation(int32_t index) const
    {
        return state.actionTable.rows()[index].array()[rowField::Activation].asString();
    }

    TempFolder folder;
    std::shared_ptr<FakeHostHelper> helper = std::make_shared<FakeHostHelper>();
    FakeWindows windows;
    FakeSettingsBoxes boxes;
    PlugInState state{windows, boxes};
};

class BoxesLoadingTheEditor : public FakeSettingsBoxes {
public:
    ProjectFake *project = nullptr;
    std::string editorAddress() override
    {
        project->log.push_back("editorAddress");
        project->loaded = true;
        return FakeSettingsBoxes::editorAddress();
    }
};

class ProjectHooks : public ::testing::Test {
protected:
    ProjectHooks()
    {
        state.hostHelper = helper;
        helper->setBaseFilename(folder.path("show.zpr"));
        boxes.project = &editor;
    }
    std::string actionsFile() const { return folder.path(std::string(ActionsFileName)); }
    std::string settingsFile() const { return folder.path(std::string(SettingsFileName)); }

    TempFolder folder;
    std::shared_ptr<FakeHostHelper> helper = std::make_shared<FakeHostHelper>();
    FakeWindows windows;
    BoxesLoadingTheEditor boxes;
    PlugInState state{windows, boxes};
    ProjectFake editor{state};
};

} // namespace

TEST_F(CommandServer, firstOptionsReadTheProjectAndNumberItsRows)
{
    writeArrayFile(folder.path("TarvexActions.dat"),
                   table({switchable("/a", 11, "Activated"), switchable("/b", 22, "Activated"),
                          switchable("/c", 33, "Deactivated")}));
    EXPECT_EQ(entriesOf(getFirstOptions(state)),
              (Entries{{"1. /a", "11"}, {"2. /b", "22"}, {"3. /c", "33"}}));
    EXPECT_TRUE(state.settingsLoaded);
}

TEST_F(CommandServer, firstOptionsOfAnEmptyTableAreEmpty)
{
    EXPECT_TRUE(entriesOf(getFirstOptions(state)).empty());
}

TEST_F(CommandServer, aRowWithoutAnEntryIsSkippedWithoutUsingANumber)
{
    state.settingsLoaded = true; // the table below stands as loaded
    Variant nullAddress = switchable("/x", 2, "Activated");
    nullAddress.mutableArray()[rowField::Address] = Variant::null();
    setTable(table({switchable("/a", 1, "Activated"), nullAddress, Variant(),
                    switchable("/c", 3, "Activated")}));
    EXPECT_EQ(entriesOf(getFirstOptions(state)), (Entries{{"1. /a", "1"}, {"2. /c", "3"}}));
}

TEST_F(CommandServer, secondOptionsAreTheThreeSwitchesInOrder)
{
    EXPECT_EQ(entriesOf(getSecondOptions(state)), (Entries{{"Deaktivieren", "Deactivate"},
                                                           {"Aktivieren", "Activate"},
                                                           {"Toggeln", "toggle"}}));
    EXPECT_EQ(CommandServerName, "Tarvex");
}

TEST_F(CommandServer, executeFollowsTheCaseTable)
{
    struct Case {
        const char *before;
        const char *command;
        const char *after;
    };
    for (Case c :
         {Case{"Activated", "Deactivate", "Deactivated"},
          Case{"Deactivated", "Deactivate", "Deactivated"},
          Case{"Activated", "toggle", "Deactivated"}, Case{"Deactivated", "toggle", "Activated"},
          Case{"Deactivated", "Activate", "Activated"}, Case{"Activated", "Activate", "Activated"},
          Case{"Deactivated", "activate", "Deactivated"},
          Case{"Activated", "deactivate", "Activated"}, Case{"Activated", "Toggle", "Activated"},
          Case{"Deactivated", "", "Deactivated"}}) {
        setTable(table({switchable("/a", 5, c.before)}));
        executeCommand(state, Variant("5"), Variant(c.command));
        EXPECT_EQ(activation(0), c.after) << c.before << " " << c.command;
    }
}

TEST_F(CommandServer, toggleTwiceReturnsAndOnlyTheChosenActionMoves)
{
    setTable(table({switchable("/a", 5, "Activated"), switchable("/b", 6, "Activated")}));
    executeCommand(state, Variant("5"), Variant("toggle"));
    EXPECT_EQ(activation(0), "Deactivated");
    EXPECT_EQ(activation(1), "Activated");
    executeCommand(state, Variant(" 5 "), Variant("toggle"));
    EXPECT_EQ(activation(0), "Activated");
}

TEST_F(CommandServer, anIdStoredAsTextOrAnyNumberIsSwitchedAsIts32BitNumber)
{
    for (const Variant &id : {Variant("42"), Variant(" 42 "), Variant("4.2e1"), Variant("42.4"),
                              Variant::integer(42), Variant::fromDouble(42.0), Variant(42)}) {
        SCOPED_TRACE(toText(id));
        VarArray row = switchable("/a", 0, "Deactivated").array();
        row[rowField::ActionId] = id;
        setTable(table({Variant(row), switchable("/b", 43, "Deactivated")}));
        executeCommand(state, Variant("42"), Variant("toggle"));
        EXPECT_EQ(activation(0), "Activated");
        EXPECT_TRUE(isActionActivated(state, 42));
        executeCommand(state, Variant("42"), Variant("Deactivate"));
        EXPECT_EQ(activation(0), "Deactivated");
        executeCommand(state, Variant("42"), Variant("Activate"));
        EXPECT_EQ(activation(0), "Activated");
        EXPECT_EQ(activation(1), "Deactivated");
    }
}

TEST_F(CommandServer, aFirstSelectionThatIsNoNumberFailsAndChangesNothing)
{
    setTable(table({switchable("/a", 5, "Deactivated")}));
    for (Variant selection : {Variant("five"), Variant(""), Variant("5x"), Variant::null()}) {
        EXPECT_THROW(executeCommand(state, selection, Variant("Activate")), VbError);
        EXPECT_EQ(activation(0), "Deactivated");
    }
}

TEST_F(ProjectHooks, loadingAProjectClosesTheEditorAndRereadsTheActions)
{
    writeArrayFile(actionsFile(), table({switchable("/new", 9, "Activated")}));
    state.actionTable.replace(table({switchable("/old", 1, "Activated")}));
    editor.loaded = true;
    loadProjectData(state, editor);
    EXPECT_EQ(editor.log, std::vector<std::string>{"unloadEditor"});
    ASSERT_EQ(state.actionTable.rows().upperBound(), 0);
    EXPECT_EQ(state.actionTable.rows()[0].array()[rowField::Address].asString(), "/new");
    EXPECT_FALSE(state.settingsLoaded); // the settings are not read again
}

TEST_F(ProjectHooks, loadingAProjectWithoutActionsLeavesAnEmptyTable)
{
    state.actionTable.replace(table({switchable("/old", 1, "Activated")}));
    loadProjectData(state, editor);
    EXPECT_FALSE(state.actionTable.isDimensioned());
}

TEST_F(ProjectHooks, savingWritesSettingsThenRebuildsThenWritesTheActions)
{
    boxes.editorIpText = "10.0.0.7";
    editor.editorRows = table({switchable("/saved", 4, "Activated")});
    saveProjectData(state, editor);
    // The editor the settings writer loaded is unloaded before the rebuild loads it properly.
    EXPECT_EQ(editor.log,
              (std::vector<std::string>{"editorAddress", "unloadEditor", "rebuildActionTable"}));

    VarArray settings, actions;
    readArrayFile(settingsFile(), settings);
    readArrayFile(actionsFile(), actions);
    EXPECT_EQ(settings[setting::EditorAddress].asString(), "10.0.0.7");
    ASSERT_EQ(actions.upperBound(), 0);
    EXPECT_EQ(actions[0].array()[rowField::Address].asString(), "/saved");
}

TEST_F(ProjectHooks, savingLeavesAnEditorThatWasOpenLoaded)
{
    editor.loaded = true;
    editor.editorRows = table({switchable("/saved", 4, "Activated")});
    saveProjectData(state, editor);
    EXPECT_EQ(editor.log, (std::vector<std::string>{"editorAddress", "rebuildActionTable"}));
}

TEST_F(ProjectHooks, savingAnEmptyTableWritesOnlyTheSettings)
{
    saveProjectData(state, editor);
    EXPECT_TRUE(fileExists(settingsFile()));
    EXPECT_FALSE(fileExists(actionsFile()));

    // An actions file already there is left as it is.
    writeArrayFile(actionsFile(), table({switchable("/kept", 1, "Activated")}));
    saveProjectData(state, editor);
    VarArray actions;
    readArrayFile(actionsFile(), actions);
    EXPECT_EQ(actions[0].array()[rowField::Address].asString(), "/kept");
}

TEST_F(ProjectHooks, aFailedSettingsWriteStillUnloadsTheEditorItLoaded)
{
    helper->setBaseFilename(folder.path("missing/show.zpr"));
    EXPECT_THROW(saveProjectData(state, editor), VbError);
    EXPECT_EQ(editor.log, (std::vector<std::string>{"editorAddress", "unloadEditor"}));
    EXPECT_FALSE(editor.loaded);
}

// The host's start loads the project, then the plug-in's first load runs. A network file that
// cannot be kept aside is read by the project load and told once; a later project load reads it
// again and tells again.
TEST_F(ProjectHooks, theHostsStartTellsOfADamagedNetworkFileOnce)
{
    struct NoticeHelper : FakeHostHelper, IHostNotices {
        void notice(const std::string &text) override { notices.push_back(text); }
        std::vector<std::string> notices;
    };
    auto host = std::make_shared<NoticeHelper>();
    host->setBaseFilename(folder.path("show.zpr"));
    state.hostHelper = host;
    const std::string network = folder.path(std::string(NetworkFileName));
    writeFile(network, {1, 0});
    std::filesystem::create_directories(network + ".damaged/in the way");

    loadProjectData(state, editor);
    loadSettings(state);
    ASSERT_EQ(host->notices.size(), 1u);
    EXPECT_NE(host->notices[0].find(network + " (damaged)"), std::string::npos);
    loadProjectData(state, editor);
    EXPECT_EQ(host->notices.size(), 2u);
}

// The feedback settings' file is written by a project save only once they differ from what it
// gives: a missing file means off and stays missing; a damaged one is kept aside by the project
// load, and its place stays empty until the user changes them.
TEST_F(ProjectHooks, feedbackSettingsAreSavedWithTheProjectOnlyOnceChanged)
{
    const std::string network = folder.path(std::string(NetworkFileName));
    saveProjectData(state, editor);
    EXPECT_FALSE(fileExists(network));

    const ByteVector damaged = {1, 0, 0, 0, 0, 0, 3, 0, 0, 0, 8, 0};
    writeFile(network, damaged);
    state.feedback = {FeedbackMode::Others, 1, 1};
    loadProjectData(state, editor);
    EXPECT_EQ(state.feedback, FeedbackSettings{});
    EXPECT_EQ(readFile(network + ".damaged"), damaged);
    EXPECT_FALSE(networkSettingsUnsaved(state));
    saveProjectData(state, editor);
    EXPECT_FALSE(fileExists(network));

    state.feedback = {FeedbackMode::Others, 9000, 5};
    EXPECT_TRUE(networkSettingsUnsaved(state));
    saveProjectData(state, editor);
    EXPECT_FALSE(networkSettingsUnsaved(state));
    state.feedback = {};
    loadProjectData(state, editor);
    EXPECT_EQ(state.feedback, (FeedbackSettings{FeedbackMode::Others, 9000, 5}));
}
