// The main window object as the host's command server, project hooks and scripting handle.
#include "tests/plugin/PlugInFixture.h"

#include "core/VbError.h"
#include "plugin/MainWindowObject.h"
#include "plugin/api/HostActions.h"
#include "store/ArrayFile.h"
#include "store/OSCSaver.h"
#include "tests/support/ActionRows.h"
#include "tests/support/OscBuilder.h"
#include "ui/editor/ActionsJson.h"

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
    std::shared_ptr<WindowObject> object() { return runtime().windows().mainWindowObject(); }
    ICommandServer &server() { return *std::dynamic_pointer_cast<ICommandServer>(object()); }
    IZelmoTool &tool() { return *std::dynamic_pointer_cast<IZelmoTool>(object()); }
    IHostScripting &scripting() { return *std::dynamic_pointer_cast<IHostScripting>(object()); }
    IHostActions &actions() { return *std::dynamic_pointer_cast<IHostActions>(object()); }
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
    EXPECT_EQ(runtime().windows().loadedMainWindow(), nullptr);
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
    EXPECT_EQ(runtime().windows().loadedSettingsWindow(), nullptr);
    ASSERT_EQ(runtime().state().actionTable.rows().upperBound(), 0);
    EXPECT_EQ(address(0), "/new");
}

TEST_F(MainWindowObjectTest, projectSaveWritesSettingsAndTheActionsOnlyForANonEmptyTable)
{
    tool().SaveProjectData();
    EXPECT_TRUE(fileExists(settingsFile()));
    EXPECT_FALSE(fileExists(actionsFile()));
    // Without a loaded editor the save works from the table: no list of thousands of rows is
    // filled only to be read back.
    EXPECT_EQ(runtime().windows().loadedSettingsWindow(), nullptr);

    // The editor's rows become the table: here the rows it was filled with when it loaded.
    windows().unload(runtime().windows().settingsWindowId());
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

// A project save writes the two windows' boxes and the editor's rows. Asking compares what it
// would write with the files, and neither writes, loads, rebuilds nor draws anything.
TEST_F(MainWindowObjectTest, askToSaveAnswersWhetherAProjectSaveWouldChangeTheFiles)
{
    writeArrayFile(actionsFile(),
                   table({switchable("/a", 11, "Activated"), switchable("/b", 12, "Deactivated")}));
    object()->loadWindow(); // a new project: the settings file is created
    frmMainOSC &main = runtime().windows().mainWindow();
    frmSettings &editor = runtime().windows().settingsWindow();
    ListWidgetPtr list = editor.lvActions->list();
    auto unsaved = [&] { return tool().AskToSaveProjectData() == VTrue; };
    EXPECT_FALSE(unsaved());

    struct Change {
        const char *what;
        std::function<void()> make, undo;
    };
    auto retype = [](QLineEdit *box, const char *text) {
        return [box, text] { box->setText(text); };
    };
    auto cue = [&] { server().ExecuteCommand(Variant("12"), Variant("toggle"), {}, {}, {}); };
    const std::vector<Change> changes{
        {"main address", retype(main.IP, "0.0.0.0"), retype(main.IP, "127.0.0.1")},
        {"main port", retype(main.Port, "9000"), retype(main.Port, "12345")},
        {"autostart", [&] { main.chkAutostart->setChecked(true); },
         [&] { main.chkAutostart->setChecked(false); }},
        {"editor address", retype(editor.IP, "0.0.0.0"), retype(editor.IP, "127.0.0.1")},
        {"editor port", retype(editor.Port, "9001"), retype(editor.Port, "12345")},
        {"a cell", [&] { list->row(1)->setSubItem(4, "0.5"); },
         [&] { list->row(1)->setSubItem(4, "0"); }},
        {"a check box", [&] { list->row(1)->setChecked(false); },
         [&] { list->row(1)->setChecked(true); }},
        {"a cue", cue, cue},
    };
    for (const Change &change : changes) {
        change.make();
        EXPECT_TRUE(unsaved()) << change.what;
        change.undo();
        EXPECT_FALSE(unsaved()) << change.what;
    }

    // A new row counts once it has an argument: the rebuild drops one without.
    const uint16_t port = armLearnMode();
    UdpSender(port).send(OscBuilder().message("/c", ",f").f32(0.5f).bytes());
    ASSERT_TRUE(waitUntil([&] { return runtime().state().learnedMessages.size() == 1; }));
    editor.LearnButton_Click();
    editor.Port->setText("12345");
    editor.lvActions->requestEdit(3, 0);
    ASSERT_TRUE(editor.lvActions->chooseDropDownEntry("/c"));
    const uint64_t generation = runtime().state().actionTable.generation();
    EXPECT_FALSE(unsaved());
    editor.lvActions->requestEdit(3, 1);
    ASSERT_TRUE(editor.lvActions->chooseDropDownEntry("1. Float"));
    EXPECT_TRUE(unsaved());
    EXPECT_EQ(list->rowCount(), 4);
    EXPECT_EQ(runtime().state().actionTable.generation(), generation) << "no rebuild";

    tool().SaveProjectData();
    EXPECT_FALSE(unsaved());
    editor.removeRow(1);
    EXPECT_TRUE(unsaved());
    tool().SaveProjectData();

    // With the editor unloaded, its rows are the table's; asking does not load it.
    windows().unload(runtime().windows().settingsWindowId());
    EXPECT_FALSE(unsaved());
    EXPECT_EQ(runtime().windows().loadedSettingsWindow(), nullptr);
    cue();
    windows().unload(runtime().windows().settingsWindowId());
    EXPECT_TRUE(unsaved());
}

TEST_F(MainWindowObjectTest, scriptingPressesTheTwoButtonsAndReadsTheirCaptions)
{
    runtime().windows().mainWindow().IP->setText("127.0.0.1");
    runtime().windows().mainWindow().Port->setText(QString::number(freeUdpPort()));
    EXPECT_EQ(scripting().serverCaption(), "Start");
    scripting().pressStart();
    EXPECT_EQ(scripting().serverCaption(), "Stop");
    EXPECT_TRUE(socketOpen());
    scripting().pressStart();
    EXPECT_EQ(scripting().serverCaption(), "Start");

    EXPECT_EQ(scripting().learnCaption(), "Lernen");
    runtime().windows().settingsWindow().Port->setText(QString::number(freeUdpPort()));
    scripting().pressLearn();
    EXPECT_EQ(scripting().learnCaption(), "Stop");
}

// The example show's actions, exported and imported over other rows: the table is theirs, the
// open editor shows them, and the project save that is now due writes the example's own file,
// byte for byte, from the editor's rows.
TEST_F(MainWindowObjectTest, anImportReplacesTheTableAndIsSavedAsTheEditorWouldSaveIt)
{
    const std::string example = TARVEX_EXAMPLE_SHOW "/TarvexActions.dat";
    VarArray exampleRows;
    ASSERT_EQ(readArrayFile(example, exampleRows), ArrayFileRead::Complete);
    runtime().state().actionTable.replace(exampleRows);
    const std::string text = actions().exportActions();

    writeArrayFile(actionsFile(), table({switchable("/old", 1, "Activated")}));
    object()->loadWindow();
    runtime().state().actionTable.replace(table({switchable("/old", 1, "Activated")}));
    plugIn.plugin().Configure();
    ListWidgetPtr list = runtime().windows().settingsWindow().lvActions->list();
    ASSERT_EQ(list->rowCount(), 2);

    const ActionsImportResult imported = actions().importActions(text);
    EXPECT_EQ(imported.errors, std::vector<std::string>{});
    EXPECT_EQ(imported.actions, exampleRows.size());
    ASSERT_EQ(list->rowCount(), exampleRows.size() + 1);
    EXPECT_EQ(list->row(1)->text(), "/fader1");
    EXPECT_EQ(tool().AskToSaveProjectData(), VTrue);
    tool().SaveProjectData();
    EXPECT_EQ(readFile(actionsFile()), readFile(example));
    EXPECT_EQ(tool().AskToSaveProjectData(), VFalse);
    EXPECT_EQ(actions().exportActions(), text);
}

TEST_F(MainWindowObjectTest, aFailedImportChangesNothingAndNoneRunsDuringLearnMode)
{
    writeArrayFile(actionsFile(), table({switchable("/kept", 1, "Activated")}));
    object()->loadWindow();
    const ByteVector before = readFile(actionsFile());
    const std::string text = actions().exportActions();
    std::string broken = text;
    broken.replace(broken.find("\"id\": 1"), 7, "\"id\": \"one\"");

    EXPECT_EQ(actions().importActions(broken).errors,
              std::vector<std::string>{
                  "row 1, id: must be a whole number from -2147483648 to 2147483647"});
    EXPECT_EQ(address(0), "/kept");
    tool().SaveProjectData();
    EXPECT_EQ(readFile(actionsFile()), before);

    armLearnMode();
    EXPECT_EQ(actions().importActions(text).errors,
              std::vector<std::string>{"learn mode is running: stop it before importing actions"});
}

// The example show, saved, in an open editor; an import of four rows fails at each of its rows
// in turn, and one is refused for a number no row can hold. The table, the editor's list and
// both files stay as they were, and the save that follows writes the same files.
TEST_F(MainWindowObjectTest, aFailureAtAnyRowOfAnImportChangesNothing)
{
    VarArray exampleRows;
    ASSERT_EQ(readArrayFile(TARVEX_EXAMPLE_SHOW "/TarvexActions.dat", exampleRows),
              ArrayFileRead::Complete);
    writeArrayFile(actionsFile(), exampleRows);
    object()->loadWindow();
    plugIn.plugin().Configure();
    tool().SaveProjectData();
    const ByteVector actionsBefore = readFile(actionsFile());
    const ByteVector settingsBefore = readFile(settingsFile());
    const std::string before = actions().exportActions();
    ListWidgetPtr list = runtime().windows().settingsWindow().lvActions->list();
    auto unchanged = [&] {
        EXPECT_EQ(actions().exportActions(), before);
        EXPECT_EQ(list->rowCount(), exampleRows.size() + 1);
        EXPECT_EQ(list->row(1)->text(), "/fader1");
        EXPECT_EQ(tool().AskToSaveProjectData(), VFalse);
    };

    VarArray others;
    for (int32_t id = 1; id <= 4; ++id)
        others.append(switchable("/other" + std::to_string(id), id, "Activated"));
    const std::string text = exportActionsJson(others);
    auto &main = dynamic_cast<MainWindowObject &>(*object());
    for (size_t failing = 1; failing <= 4; ++failing) {
        main.setImportRowHook([failing](size_t row) {
            if (row == failing)
                throw std::runtime_error("fails at row " + std::to_string(row));
        });
        EXPECT_THROW(actions().importActions(text), std::runtime_error) << failing;
        unchanged();
    }
    main.setImportRowHook({});

    std::string beyond = text;
    beyond.replace(beyond.find("\"inMin\": \"0\""), 12, "\"inMin\": \"1e29\"");
    EXPECT_EQ(actions().importActions(beyond).errors.size(), 1u);
    unchanged();
    tool().SaveProjectData();
    EXPECT_EQ(readFile(actionsFile()), actionsBefore);
    EXPECT_EQ(readFile(settingsFile()), settingsBefore);
}

// Rows whose file would be larger than a load reads are refused; a save that fails names the
// file and the row that is the cause.
TEST_F(MainWindowObjectTest, anImportTheFileCannotHoldIsRefusedAndAFailedSaveNamesFileAndRow)
{
    VarArray huge; // each row's address and target name take 60 000 bytes
    for (int32_t id = 1; id <= 300; ++id)
        huge.append(switchable("/" + std::string(60000, 'a'), id, "Activated"));
    const std::vector<std::string> errors = actions().importActions(exportActionsJson(huge)).errors;
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("bytes in TarvexActions.dat, and a load reads at most 33554432"),
              std::string::npos)
        << errors[0];
    EXPECT_FALSE(runtime().state().actionTable.isDimensioned());

    runtime().state().actionTable.replace(
        table({switchable("/short", 1, "Activated"),
               switchable("/" + std::string(70000, 'b'), 2, "Activated")}));
    try {
        tool().SaveProjectData();
        ADD_FAILURE() << "saved";
    } catch (const VbError &e) {
        EXPECT_EQ(e.description(), "Cannot write " + actionsFile() + ", row 2 (/" +
                                       std::string(39, 'b') + "...): Bad record length");
    }
}
