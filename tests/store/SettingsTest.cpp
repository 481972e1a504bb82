// The settings and actions files of a project: first start, migrations, the first load's
// deactivation, saving, and the user's files that must survive a re-save.
#include "store/OSCSaver.h"

#include "StoreTestSupport.h"
#include "core/VbError.h"
#include "engine/ActionTable.h"
#include "store/ArrayFile.h"
#include "support/FakeHost.h"
#include "support/FakeWindows.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

using namespace tarvex;
using tarvex::test::Bytes;
using tarvex::test::ByteVector;
using tarvex::test::readFile;
using tarvex::test::TempFolder;
using tarvex::test::writeFile;

namespace {

Bytes settingsFile(std::initializer_list<std::string_view> texts, int32_t upper)
{
    Bytes b;
    b.header(0, upper);
    for (std::string_view text : texts)
        b.string(text);
    return b;
}

// A whole row whose one argument is not chosen: address, typeTags ["i"], conditions
// [[["never"]]], id, state.
void addRow(Bytes &b, const std::function<void(Bytes &)> &id, std::string_view activation)
{
    b.array(0x200C, 5).string("/fader").array(0x2008, 1).text("i");
    b.array(0x200C, 1).array(0x200C, 1).array(0x200C, 1).string("never");
    id(b);
    b.string(activation);
}

auto longId(int32_t id)
{
    return [id](Bytes &b) { b.u16(0x0003).i32(id); };
}

auto integerId(int16_t id)
{
    return [id](Bytes &b) { b.u16(0x0002).u16(static_cast<uint16_t>(id)); };
}

auto textId(std::string id)
{
    return [id](Bytes &b) { b.string(id); };
}

class RecordingWindows : public test::FakeWindows {
public:
    PluginState *state = nullptr;
    bool savingWhileEditorRead = false;
    std::string editorAddress() override
    {
        savingWhileEditorRead = state->savingSettings;
        return FakeWindows::editorAddress();
    }
};

class SettingsFiles : public ::testing::Test {
protected:
    SettingsFiles()
    {
        windows.state = &state;
        state.hostHelper = host;
        host->setBaseFilename(folder.path("show.zlm"));
    }

    std::string actionsPath() const { return folder.path("TarvexActions.dat"); }
    std::string settingsPath() const { return folder.path("TarvexSettings.dat"); }
    const Variant &slot(int32_t index) const { return state.settings[index]; }
    std::string activationOf(int32_t index) const
    {
        return state.actionTable.rows()[index].array()[rowField::Activation].asString();
    }

    TempFolder folder;
    RecordingWindows windows;
    std::shared_ptr<test::FakeHostHelper> host = std::make_shared<test::FakeHostHelper>();
    PluginState state{windows};
};

TEST_F(SettingsFiles, firstStartWritesVersion2DefaultsAndKeepsVersion3InMemory)
{
    loadSettings(state);
    ByteVector expected = settingsFile({"Version 2", "127.0.0.1", "12345", "127.0.0.1", "12345"}, 5)
                              .u16(0x000B)
                              .u16(0x0000)
                              .data;
    EXPECT_EQ(readFile(settingsPath()), expected);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"TarvexSettings.dat"});
    EXPECT_TRUE(state.settingsLoaded);
    EXPECT_EQ(slot(setting::Version), Variant("Version 3"));
    EXPECT_EQ(slot(setting::Autostart), Variant(0));
    EXPECT_EQ(slot(setting::Autostart).typeWord(), 0x0003);
    EXPECT_FALSE(state.actionTable.isDimensioned());
}

TEST_F(SettingsFiles, version2FileStaysUntilTheNextSaveWritesVersion3)
{
    ByteVector version2 =
        settingsFile({"Version 2", "10.0.0.5", "9000", "10.0.0.6", "9001"}, 4).data;
    writeFile(settingsPath(), version2);
    loadSettings(state);
    EXPECT_EQ(readFile(settingsPath()), version2);
    EXPECT_EQ(slot(setting::Version), Variant("Version 3"));
    EXPECT_EQ(slot(setting::MainPort), Variant("9000"));
    EXPECT_EQ(slot(setting::Autostart), Variant(0));

    windows.ip = "192.168.1.2";
    windows.autostart = 1;
    windows.editorPortText = "9100";
    saveSettings(state);
    ByteVector version3 =
        settingsFile({"Version 3", "192.168.1.2", "12345", "127.0.0.1", "9100"}, 5)
            .u16(0x0002)
            .u16(0x0001)
            .data;
    EXPECT_EQ(readFile(settingsPath()), version3);
    EXPECT_TRUE(windows.savingWhileEditorRead);
    EXPECT_FALSE(state.savingSettings);
}

TEST_F(SettingsFiles, version1FileRewritesBothFilesAtOnce)
{
    writeFile(settingsPath(), settingsFile({"Version 1", "a", "b", "c", "d"}, 4).data);
    Bytes actions;
    actions.header(0, 0);
    addRow(actions, longId(7), "Activated");
    writeFile(actionsPath(), actions.data);

    loadSettings(state);
    EXPECT_EQ(readFile(actionsPath()), actions.data);
    EXPECT_EQ(readFile(settingsPath()), settingsFile({"Version 2", "a", "b", "c", "d"}, 4).data);
    EXPECT_EQ(slot(setting::Version), Variant("Version 3"));
    EXPECT_EQ(activationOf(0), "Activated");
}

TEST_F(SettingsFiles, resaveNeverReplacesAnActionsFileThatCouldNotBeRead)
{
    for (const ByteVector &unreadable : {ByteVector{}, ByteVector{0x0B, 0x00, 0x01, 0x02}}) {
        TempFolder project;
        host->setBaseFilename(project.path("show.zlm"));
        writeFile(project.path("TarvexActions.dat"), unreadable);
        PluginState fresh{windows};
        fresh.hostHelper = host;
        loadSettings(fresh);
        EXPECT_EQ(readFile(project.path("TarvexActions.dat")), unreadable);
        EXPECT_TRUE(fileExists(project.path("TarvexSettings.dat")));
    }
}

TEST_F(SettingsFiles, resaveKeepsAnActionsFileReadOnlyInPartAndUsesItsReadableRows)
{
    Bytes actions;
    actions.header(0, 2);
    addRow(actions, longId(1), "Activated");
    addRow(actions, longId(2), "Activated");
    Bytes badTypeWord = actions;
    badTypeWord.array(0x200C, 5).string("/third").u16(0x0077);
    const ByteVector cutShort(actions.data.begin(), actions.data.end() - 3);
    // A header that promises one row less than the file holds.
    Bytes rowsLeftOver;
    rowsLeftOver.header(0, 0);
    rowsLeftOver.data.insert(rowsLeftOver.data.end(), actions.data.begin() + 10,
                             actions.data.end());
    // The rows read whole: two before the bad type word; one before the cut, which falls in
    // the second row; the one the header promises.
    for (const auto &[damaged, wholeRows] :
         {std::pair{badTypeWord.data, 2u}, std::pair{cutShort, 1u},
          std::pair{rowsLeftOver.data, 1u}}) {
        TempFolder project;
        host->setBaseFilename(project.path("show.zlm"));
        writeFile(project.path("TarvexActions.dat"), damaged);
        // A "Version 1" file makes the loader re-save both files.
        writeFile(project.path("TarvexSettings.dat"),
                  settingsFile({"Version 1", "a", "b", "c", "d"}, 4).data);
        PluginState fresh{windows};
        fresh.hostHelper = host;
        loadSettings(fresh);
        EXPECT_EQ(readFile(project.path("TarvexActions.dat")), damaged);
        ASSERT_EQ(fresh.actionTable.rows().size(), wholeRows);
        EXPECT_EQ(fresh.actionTable.rows()[0].array()[rowField::ActionId], Variant(1));
        EXPECT_EQ(readFile(project.path("TarvexSettings.dat")),
                  settingsFile({"Version 2", "a", "b", "c", "d"}, 4).data);
    }
}

TEST_F(SettingsFiles, aSettingsFileWithAnEmptyRangeGetsTheDefaults)
{
    writeFile(settingsPath(), Bytes().header(0, -1).data);
    loadSettings(state);
    ByteVector defaults = settingsFile({"Version 2", "127.0.0.1", "12345", "127.0.0.1", "12345"}, 5)
                              .u16(0x000B)
                              .u16(0x0000)
                              .data;
    EXPECT_EQ(readFile(settingsPath()), defaults);
    EXPECT_EQ(slot(setting::Version), Variant("Version 3"));
    saveSettings(state);
    EXPECT_EQ(settingValue(state, setting::Version), Variant("Version 3"));
    VarArray saved;
    readArrayFile(settingsPath(), saved);
    EXPECT_EQ(saved[setting::Version], Variant("Version 3"));
}

TEST_F(SettingsFiles, firstLoadGoesOnPastARowWithoutAnActivationSlot)
{
    Bytes actions;
    actions.header(0, 2);
    addRow(actions, longId(7), "Deactivated");
    // Five elements from index -1: the id is at index 3, and there is no index 4.
    actions.array(0x200C, 5, -1).string("/damaged").u16(0).u16(0).u16(0).u16(0x0003).i32(7);
    addRow(actions, longId(7), "Activated");
    writeFile(actionsPath(), actions.data);
    loadSettings(state);
    ASSERT_EQ(state.actionTable.rows().size(), 2u); // the damaged row is left out
    EXPECT_EQ(activationOf(0), "Deactivated");
    EXPECT_EQ(activationOf(1), "Deactivated");
}

TEST_F(SettingsFiles, firstLoadDeactivatesEveryRowNotExactlyActivated)
{
    Bytes actions;
    actions.header(0, 5);
    addRow(actions, longId(10), "Activated");
    addRow(actions, longId(20), "activated");
    actions.string("not a row");
    addRow(actions, textId("abc"), "Deactivated");
    addRow(actions, integerId(30), "");
    addRow(actions, textId("42"), "activated"); // an id stored as text is still a number
    writeFile(actionsPath(), actions.data);
    writeFile(settingsPath(),
              settingsFile({"Version 3", "a", "b", "c", "d"}, 5).u16(0x0002).u16(0x0000).data);

    loadSettings(state);
    // "not a row" and the row without a number are left out.
    ASSERT_EQ(state.actionTable.rows().size(), 4u);
    EXPECT_EQ(activationOf(0), "Activated");
    EXPECT_EQ(activationOf(1), "Deactivated");
    EXPECT_EQ(activationOf(2), "Deactivated");
    EXPECT_EQ(activationOf(3), "Deactivated");
}

TEST_F(SettingsFiles, failedWriteStillCompletesTheLoadInMemory)
{
    // A folder where the settings file should be: unreadable, and every write onto it fails.
    std::filesystem::create_directory(settingsPath());
    Bytes actions;
    actions.header(0, 0);
    addRow(actions, longId(3), "activated");
    writeFile(actionsPath(), actions.data);

    try {
        loadSettings(state);
        FAIL() << "the failed write was not reported";
    } catch (const VbError &e) {
        EXPECT_EQ(e.number(), 75);
    }
    EXPECT_EQ(slot(setting::Version), Variant("Version 3"));
    EXPECT_EQ(slot(setting::Autostart), Variant(0));
    EXPECT_EQ(activationOf(0), "Deactivated");
}

TEST_F(SettingsFiles, onlyTheFirstLoadReadsTheFiles)
{
    loadSettings(state);
    VarArray settingsAfterFirstLoad = state.settings;
    writeFile(settingsPath(), settingsFile({"Version 1", "x", "y", "z", "w"}, 4).data);
    Bytes actions;
    actions.header(0, 0);
    addRow(actions, longId(1), "Activated");
    writeFile(actionsPath(), actions.data);

    loadSettings(state);
    EXPECT_EQ(state.settings, settingsAfterFirstLoad);
    EXPECT_FALSE(state.actionTable.isDimensioned());
    EXPECT_EQ(readFile(actionsPath()), actions.data);
}

TEST_F(SettingsFiles, unknownVersionIsUsedAsReadAndStillSaves)
{
    ByteVector unknown = settingsFile({"Version 9", "a", "b"}, 2).data;
    writeFile(settingsPath(), unknown);
    loadSettings(state);
    EXPECT_EQ(readFile(settingsPath()), unknown);
    EXPECT_EQ(state.settings.bounds(), (std::vector<VarArray::Bound>{{0, 2}}));
    EXPECT_TRUE(settingValue(state, setting::Autostart).isEmpty());

    saveSettings(state);
    VarArray saved;
    readArrayFile(settingsPath(), saved);
    EXPECT_EQ(saved,
              VarArray::ofValues({Variant("Version 9"), Variant("127.0.0.1"), Variant("12345"),
                                  Variant("127.0.0.1"), Variant("12345"), Variant::integer(0)}));
}

TEST_F(SettingsFiles, failedSaveReportsTheErrorAndClearsTheFlag)
{
    loadSettings(state);
    host->setBaseFilename(folder.path("gone/show.zlm"));
    EXPECT_THROW(saveSettings(state), VbError);
    EXPECT_FALSE(state.savingSettings);
}

TEST_F(SettingsFiles, pathsFollowTheProjectEveryTime)
{
    EXPECT_EQ(actionsFilePath(state), folder.path("TarvexActions.dat"));
    host->setBaseFilename("C:\\Shows\\tour.zlm");
    EXPECT_EQ(settingsFilePath(state), "C:\\Shows\\TarvexSettings.dat");
    host->setBaseFilename("tour.zlm");
    EXPECT_EQ(actionsFilePath(state), "TarvexActions.dat");
}

TEST_F(SettingsFiles, savingAndReloadingTheActionTable)
{
    Bytes actions;
    actions.header(0, 0);
    addRow(actions, longId(5), "Deactivated");
    writeFile(actionsPath(), actions.data);

    saveActionTable(state); // no dimension: the user's file stays
    EXPECT_EQ(readFile(actionsPath()), actions.data);

    reloadActionTable(state);
    ASSERT_TRUE(state.actionTable.isDimensioned());
    EXPECT_EQ(activationOf(0), "Deactivated");
    state.actionTable.setActivation(0, Activated);
    saveActionTable(state);
    reloadActionTable(state);
    EXPECT_EQ(activationOf(0), "Activated");

    TempFolder otherProject;
    host->setBaseFilename(otherProject.path("other.zlm"));
    reloadActionTable(state);
    EXPECT_FALSE(state.actionTable.isDimensioned());
}

} // namespace
