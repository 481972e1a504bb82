// The settings and actions files of a project: first start, migrations, the first load's
// deactivation, saving, and the user's files that must survive a re-save.
#include "store/OSCSaver.h"

#include "core/VbError.h"
#include "engine/ActionTable.h"
#include "plugin/api/HostScripting.h"
#include "store/ArrayFile.h"
#include "store/NetworkFile.h"
#include "tests/store/StoreTestSupport.h"
#include "tests/support/FakeHost.h"
#include "tests/support/FakeWindows.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

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

// A host that listens to the plug-in's notices.
class NoticeHost : public test::FakeHostHelper, public IHostNotices {
public:
    void notice(const std::string &text) override { notices.push_back(text); }
    std::vector<std::string> notices;
};

// What a directory entry is, to tell that it was moved or left as it was: a file's bytes, a
// link's target, or its kind.
std::string entryOf(const std::string &path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return "nothing";
    if (S_ISLNK(st.st_mode)) {
        char target[256] = {};
        return "link to " + std::string(target, ::readlink(path.c_str(), target, sizeof target));
    }
    if (S_ISFIFO(st.st_mode))
        return "fifo";
    const ByteVector bytes = readFile(path);
    return "file of mode " + std::to_string(st.st_mode & 0777) + ": " +
           std::string(bytes.begin(), bytes.end());
}

// Entries that are no readable array file, made at a path.
using MakeEntry = std::function<void(const std::string &path)>;
std::vector<std::pair<std::string, MakeEntry>> unreadableEntries()
{
    auto link = [](std::string target) {
        return [target](const std::string &path) {
            ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0);
        };
    };
    std::vector<std::pair<std::string, MakeEntry>> entries = {
        {"a FIFO", [](const std::string &path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); }},
        {"a link to /dev/zero", link("/dev/zero")},
        {"a link to /dev/urandom", link("/dev/urandom")},
        {"a link to nowhere", link("nowhere")},
        {"a link to itself",
         [](const std::string &path) { ASSERT_EQ(::symlink(path.c_str(), path.c_str()), 0); }},
    };
    if (::geteuid() != 0) // mode 000 keeps out everyone but root
        entries.push_back({"a file of mode 000", [](const std::string &path) {
                               writeFile(path, Bytes().header(0, 0).string("x").data);
                               ::chmod(path.c_str(), 0);
                           }});
    return entries;
}

class RecordingBoxes : public test::FakeSettingsBoxes {
public:
    PlugInState *state = nullptr;
    bool savingWhileEditorRead = false;
    std::string editorAddress() override
    {
        savingWhileEditorRead = state->savingSettings;
        return FakeSettingsBoxes::editorAddress();
    }
};

class SettingsFiles : public ::testing::Test {
protected:
    SettingsFiles()
    {
        boxes.state = &state;
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
    test::FakeWindows windows;
    RecordingBoxes boxes;
    std::shared_ptr<NoticeHost> host = std::make_shared<NoticeHost>();
    PlugInState state{windows, boxes};
};

ByteVector defaultSettingsBytes()
{
    return settingsFile({"Version 2", "127.0.0.1", "12345", "127.0.0.1", "12345"}, 5)
        .u16(0x000B)
        .u16(0x0000)
        .data;
}

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

    boxes.ip = "192.168.1.2";
    boxes.autostart = 1;
    boxes.editorPortText = "9100";
    saveSettings(state);
    ByteVector version3 =
        settingsFile({"Version 3", "192.168.1.2", "12345", "127.0.0.1", "9100"}, 5)
            .u16(0x0002)
            .u16(0x0001)
            .data;
    EXPECT_EQ(readFile(settingsPath()), version3);
    EXPECT_TRUE(boxes.savingWhileEditorRead);
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
        PlugInState fresh{windows, boxes};
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
        PlugInState fresh{windows, boxes};
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

TEST_F(SettingsFiles, settingsThatCannotBeReadAreKeptAsideBeforeTheDefaultsReplaceThem)
{
    std::vector<std::pair<std::string, MakeEntry>> cases = unreadableEntries();
    const ByteVector whole =
        settingsFile({"Version 3", "10.0.0.1", "9000", "10.0.0.1", "9000"}, 5).u16(2).u16(1).data;
    // Up to 21 bytes hold no slot: the header promises six, which need at least 12 bytes more.
    for (size_t cut = 0; cut <= 21; ++cut)
        cases.push_back({"the first " + std::to_string(cut) + " bytes", [=](const std::string &p) {
                             writeFile(p, ByteVector(whole.begin(), whole.begin() + cut));
                         }});
    for (const auto &[what, make] : cases) {
        SCOPED_TRACE(what);
        TempFolder project;
        const std::string path = project.path("TarvexSettings.dat");
        const std::string kept = path + ".damaged";
        writeFile(kept, {'o', 'l', 'd'}); // an older one moves on
        make(path);
        const std::string entry = entryOf(path);
        auto listener = std::make_shared<NoticeHost>();
        listener->setBaseFilename(project.path("show.zlm"));
        PlugInState fresh{windows, boxes};
        fresh.hostHelper = listener;

        loadSettings(fresh);
        EXPECT_EQ(entryOf(kept), entry);
        EXPECT_EQ(readFile(kept + ".1"), (ByteVector{'o', 'l', 'd'}));
        EXPECT_EQ(readFile(path), defaultSettingsBytes());
        ASSERT_EQ(listener->notices.size(), 1u);
        EXPECT_NE(listener->notices[0].find(kept), std::string::npos) << listener->notices[0];
    }
}

TEST_F(SettingsFiles, anActionsFileThatCannotBeReadStaysAsItIsAndIsTold)
{
    for (const auto &[what, make] : unreadableEntries()) {
        SCOPED_TRACE(what);
        TempFolder project;
        const std::string path = project.path("TarvexActions.dat");
        make(path);
        const std::string entry = entryOf(path);
        auto listener = std::make_shared<NoticeHost>();
        listener->setBaseFilename(project.path("show.zlm"));
        PlugInState fresh{windows, boxes};
        fresh.hostHelper = listener;

        loadSettings(fresh); // the defaults' re-save would write the actions file
        EXPECT_EQ(entryOf(path), entry);
        EXPECT_FALSE(fresh.actionTable.isDimensioned());
        ASSERT_EQ(listener->notices.size(), 1u);
        EXPECT_EQ(listener->notices[0].rfind("Cannot read " + path, 0), 0u) << listener->notices[0];
    }
}

// A network file that is there but gives no settings is kept aside whole and told, and feedback
// is off with nothing in its place; a missing one is the default and says nothing. One that
// cannot be kept aside is never replaced by a save.
TEST_F(SettingsFiles, aNetworkFileThatGivesNoSettingsIsKeptAsideAndTold)
{
    auto network = [](std::string_view mode) {
        return Bytes()
            .header(0, 3)
            .string("Network 1")
            .string(mode)
            .u16(0x0003)
            .i32(9000)
            .u16(0x0003)
            .i32(10)
            .data;
    };
    const ByteVector whole = network("others");
    std::vector<std::pair<std::string, MakeEntry>> cases = unreadableEntries();
    for (size_t cut : {size_t{0}, size_t{7}, whole.size() - 1})
        cases.push_back({"the first " + std::to_string(cut) + " bytes", [=](const std::string &p) {
                             writeFile(p, ByteVector(whole.begin(), whole.begin() + cut));
                         }});
    cases.push_back(
        {"a mode it does not know", [&](const std::string &p) { writeFile(p, network("loud")); }});
    cases.push_back({"no file", [](const std::string &) {}});
    for (const auto &[what, make] : cases) {
        SCOPED_TRACE(what);
        TempFolder project;
        const std::string path = project.path("TarvexNetwork.dat");
        const std::string kept = path + ".damaged";
        make(path);
        const std::string entry = entryOf(path);
        auto listener = std::make_shared<NoticeHost>();
        listener->setBaseFilename(project.path("show.zlm"));
        PlugInState fresh{windows, boxes};
        fresh.hostHelper = listener;

        loadSettings(fresh);
        EXPECT_EQ(fresh.feedback, FeedbackSettings{});
        EXPECT_EQ(entryOf(path), "nothing");
        if (what == "no file") {
            EXPECT_EQ(entryOf(kept), "nothing");
            EXPECT_TRUE(listener->notices.empty());
            continue;
        }
        EXPECT_EQ(entryOf(kept), entry);
        ASSERT_EQ(listener->notices.size(), 1u);
        EXPECT_EQ(listener->notices[0].rfind("Cannot read " + path, 0), 0u);
        EXPECT_NE(listener->notices[0].find(kept), std::string::npos) << listener->notices[0];
    }

    const std::string path = folder.path("TarvexNetwork.dat");
    const ByteVector cutShort(whole.begin(), whole.end() - 1);
    writeFile(path, cutShort);
    std::filesystem::create_directories(path + ".damaged/in the way");
    loadSettings(state);
    ASSERT_EQ(host->notices.size(), 1u);
    EXPECT_NE(host->notices[0].find("stays as it is"), std::string::npos) << host->notices[0];
    state.feedback = {FeedbackMode::Others, 9000, 10};
    EXPECT_THROW(saveNetworkSettings(state), VbError);
    EXPECT_EQ(readFile(path), cutShort);
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
