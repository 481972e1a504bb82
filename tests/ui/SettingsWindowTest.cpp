// frmSettings, the actions editor: its controls and loading, learn mode on the main window's
// real socket on 127.0.0.1 with its indicator, rows built through the list's editors, saving
// and reloading, and the window as the host and the engine see it.

#include "plugin/api/PlugInInterfaces.h"
#include "tests/support/WindowFixture.h"
#include "toolkit/WindowObject.h"
#include "ui/frmSettings.h"

#include <QCoreApplication>
#include <QKeyEvent>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace tarvex::test {
namespace {

using Texts = std::vector<std::string>;

class SettingsWindowTest : public WindowTest {
protected:
    SettingsWindowTest()
    {
        helper->factory->listColumns = {"Ziel", "Kanal"};
        helper->factory->drawTargets = true;
    }

    frmSettings &editor() { return runtime.windows().settingsWindow(); }
    ListWidgetPtr list() { return editor().lvActions->list(); }
    std::string cell(int position, int column)
    {
        ListRowPtr row = list()->row(position);
        return column == 0 ? row->text() : row->subItem(column);
    }
    Texts cells(int position, int first, int last)
    {
        Texts texts;
        for (int column = first; column <= last; ++column)
            texts.push_back(cell(position, column));
        return texts;
    }
    std::vector<Texts> allRows()
    {
        std::vector<Texts> rows;
        for (int position = 1; position <= list()->rowCount(); ++position) {
            rows.push_back(cells(position, 0, 10));
            rows.back().push_back(list()->row(position)->checked() ? "checked" : "unchecked");
        }
        return rows;
    }

    // Learn mode on a free port of 127.0.0.1.
    uint16_t startLearning()
    {
        const uint16_t port = freeUdpPort();
        editor().Port->setText(QString::number(port));
        editor().LearnButton_Click();
        return port;
    }
    void learnThreeAddresses(uint16_t port)
    {
        UdpSender sender(port);
        sender.send(OscBuilder().message("/fader1", ",f").f32(0.25f).bytes());
        sender.send(OscBuilder().message("/fader1", ",f").f32(0.75f).bytes());
        sender.send(OscBuilder().message("/button", ",").bytes());
        sender.send(OscBuilder().message("/mix", ",fsi").f32(0.5f).str("a").i32(7).bytes());
        const VarArray &learned = runtime.state().learnedMessages;
        ASSERT_TRUE(waitUntil([&] { return learned.isDimensioned() && learned.size() == 3; }));
    }

    // The user's edits: double-click the cell, then pick an entry or type and press Enter.
    void pick(int position, int column, const std::string &entry)
    {
        editor().lvActions->requestEdit(position, column);
        ASSERT_TRUE(editor().lvActions->dropDownOpen()) << position << ", " << column;
        ASSERT_TRUE(editor().lvActions->chooseDropDownEntry(entry)) << entry;
    }
    void typeIn(int position, int column, const std::string &text)
    {
        editor().lvActions->requestEdit(position, column);
        ASSERT_TRUE(editor().lvActions->typeIntoTextEditor(text)) << position << ", " << column;
    }
    // /fader1's float, any value, its learned range to 0..255; /mix's integer = 7, unchecked.
    void buildTwoRows()
    {
        pick(1, 0, "/fader1");
        pick(1, 1, "1. Float");
        pick(1, 2, "any");
        typeIn(1, 6, "0");
        typeIn(1, 7, "255");
        typeIn(1, 8, "0");
        typeIn(1, 9, "255");
        pick(2, 0, "/mix");
        pick(2, 1, "1. Integer");
        typeIn(2, 3, "7");
        list()->row(2)->setChecked(false);
    }

    std::string actionsFile() { return folder.path("TarvexActions.dat"); }
};

std::string fileBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST_F(SettingsWindowTest, controlsStartWithTheirNamesAndValues)
{
    frmSettings &w = editor();
    EXPECT_EQ(w.windowTitle(), "Tarvex Einstellungen");
    EXPECT_EQ(w.Label1->text(), "IP:Port");
    EXPECT_EQ(w.Label2->text(), ":");
    EXPECT_EQ(w.LearnButton->text(), "Lernen");
    EXPECT_EQ(w.startAnalyzer->text(), "Analyzer");
    EXPECT_EQ(w.Label3->text(), "Empfangene OSC-Messages");
    EXPECT_EQ(w.OSCCount->text(), "0");
    EXPECT_EQ(w.Speichern->text(), "Speichern");
    EXPECT_EQ(w.Command1->text(), "Hauptfenster öffen");
    EXPECT_EQ(w.receiving->backColor(), PureRed);
    EXPECT_TRUE(w.receiving->text().isEmpty());
    EXPECT_EQ(w.Timer1->interval(), 50);
    EXPECT_FALSE(w.Timer1->enabled());
    EXPECT_FALSE(w.Received);
    EXPECT_EQ(w.hostModule, helper);
    for (const char *name :
         {"Label1", "IP", "Label2", "Port", "LearnButton", "startAnalyzer", "receiving", "Label3",
          "OSCCount", "Speichern", "Command1", "lvActions", "Timer1"})
        EXPECT_NE(w.findChild<QObject *>(name), nullptr) << name;
    // The top strip shares one top; the list sits below it.
    for (QWidget *control :
         {static_cast<QWidget *>(w.Label1), static_cast<QWidget *>(w.IP),
          static_cast<QWidget *>(w.LearnButton), static_cast<QWidget *>(w.Command1)})
        EXPECT_EQ(control->y(), w.Label1->y());
    EXPECT_GT(w.lvActions->y(), w.LearnButton->geometry().bottom());
}

TEST_F(SettingsWindowTest, loadingAddsTheColumnsThenTheHostsThenTheBlankRow)
{
    frmSettings &w = editor();
    const Texts headers = {"OSC-Address", "Wert",  "Operator", "Vergleichswert",
                           "inMin",       "inMax", "outMin",   "outMax",
                           "Min",         "Max",   "Ziel",     "Kanal"};
    ASSERT_EQ(w.lvActions->columnCount(), 12);
    for (int column = 0; column < 12; ++column)
        EXPECT_EQ(w.lvActions->horizontalHeaderItem(column)->text().toStdString(),
                  headers[static_cast<size_t>(column)]);
    EXPECT_EQ(w.lvActions->columnWidth(0), w.lvActions->twipsToPixels(2295));
    EXPECT_EQ(w.lvActions->columnWidth(3), w.lvActions->twipsToPixels(1500));
    // An empty table: only the blank entry row, checked, with its blank target.
    ASSERT_EQ(list()->rowCount(), 1);
    EXPECT_EQ(cells(1, 0, 13), Texts(14, ""));
    EXPECT_TRUE(list()->row(1)->checked());
    EXPECT_EQ(w.rowTargets().size(), 1u);
    EXPECT_EQ(w.IP->text(), "127.0.0.1");
    EXPECT_EQ(w.Port->text(), "12345");
}

TEST_F(SettingsWindowTest, addressAndPortComeFromTheirSettingsSlots)
{
    writeArrayFile(
        folder.path("TarvexSettings.dat"),
        VarArray::ofValues({Variant("Version 3"), Variant("127.0.0.1"), Variant("9000"),
                            Variant("127.0.0.2"), Variant("9001"), Variant::integer(0)}));
    EXPECT_EQ(runtime.state().settingsBoxes.editorAddress(), "127.0.0.2");
    EXPECT_EQ(runtime.state().settingsBoxes.editorPort(), "9001");
}

TEST_F(SettingsWindowTest, whileTheSettingsAreSavedTheLoadLeavesTheListEmpty)
{
    setFaderRow();
    runtime.state().savingSettings = true;
    EXPECT_EQ(runtime.state().settingsBoxes.editorPort(), "12345");
    EXPECT_EQ(list()->rowCount(), 0);
    EXPECT_EQ(runtime.state().windows.actionListItemCount(), 0);
}

TEST_F(SettingsWindowTest, learningCountsTheDistinctAddressesOnTheIndicatorTick)
{
    const uint16_t port = startLearning();
    frmSettings &w = editor();
    EXPECT_EQ(w.learnCaption(), "Stop");
    EXPECT_TRUE(runtime.state().windows.learnModeOn());
    EXPECT_TRUE(w.Timer1->enabled());
    EXPECT_EQ(window().Winsock1->LocalPort(), port);
    EXPECT_TRUE(socketOpen());
    learnThreeAddresses(port);
    EXPECT_TRUE(w.Received);
    EXPECT_TRUE(executions().empty()); // learning runs no actions
    // Four datagrams since the last tick: one green flash and the count of addresses.
    w.Timer1_Timer();
    EXPECT_EQ(w.receiving->backColor(), PureGreen);
    EXPECT_EQ(w.OSCCount->text(), "3");
    EXPECT_FALSE(w.Received);
    w.Timer1_Timer();
    EXPECT_EQ(w.receiving->backColor(), PureRed);
    // Stopping closes the socket for good.
    w.Received = true;
    w.Timer1_Timer();
    w.LearnButton_Click();
    EXPECT_EQ(w.learnCaption(), "Lernen");
    EXPECT_FALSE(runtime.state().windows.learnModeOn());
    EXPECT_FALSE(w.Timer1->enabled());
    EXPECT_EQ(w.receiving->backColor(), PureRed);
    EXPECT_FALSE(socketOpen());
    EXPECT_EQ(window().caption(), "Start");
    EXPECT_TRUE(boxes->boxes.empty());
}

// However learn mode ends, a server that ran before it listens on its own address and port
// again; one whose port was taken meanwhile says so and reads "Start".
TEST_F(SettingsWindowTest, endingLearnModeStartsARunningServerAgainOnItsOwnPort)
{
    setFaderRow();
    const uint16_t mainPort = freeUdpPort();
    startOn(mainPort);
    auto listensOnItsOwnPort = [&] {
        return window().caption() == "Stop" && socketOpen() &&
               window().Winsock1->LocalPort() == mainPort;
    };
    startLearning();
    editor().LearnButton_Click();
    EXPECT_TRUE(listensOnItsOwnPort());
    UdpSender(mainPort).send(fader(0.5f));
    EXPECT_TRUE(waitUntil([&] { return executions().size() == 1; }));

    editor().Port->setText("0"); // a start that fails closed the socket too
    editor().LearnButton_Click();
    EXPECT_EQ(boxes->boxes.size(), 1u);
    EXPECT_TRUE(listensOnItsOwnPort());

    // A countdown waits while learn mode has the socket.
    window().Winsock1_Error(10050, "down");
    ASSERT_EQ(window().caption(), "Reconnecting in 3");
    startLearning();
    EXPECT_FALSE(window().Timer1->enabled());
    editor().LearnButton_Click();
    EXPECT_TRUE(listensOnItsOwnPort());
    EXPECT_FALSE(window().Timer1->enabled());

    startLearning();
    TakenPort taken;
    window().Port->setText(QString::number(taken.port));
    boxes->boxes.clear();
    editor().LearnButton_Click();
    ASSERT_EQ(boxes->boxes.size(), 1u);
    EXPECT_EQ(boxes->boxes[0].text,
              "Konnte Server nicht starten !!!\n\nFehler:\nAddress 127.0.0.1:" +
                  std::to_string(taken.port) + " is already in use");
    EXPECT_EQ(window().caption(), "Start");
    EXPECT_FALSE(socketOpen());
}

// Closing the editor, or a project load (which unloads it), while learning ends learn mode as
// its button does: a server that ran listens on its own port again, a stopped one stays stopped.
TEST_F(SettingsWindowTest, unloadingTheEditorWhileLearningEndsLearnModeAsItsButtonDoes)
{
    setFaderRow();
    saveActionTable(runtime.state()); // a project load reads the row back
    const std::vector<std::pair<std::string, std::function<void()>>> unloads = {
        {"unload",
         [&] { runtime.windows().registry().unload(runtime.windows().settingsWindowId()); }},
        {"project load",
         [&] {
             std::dynamic_pointer_cast<IZelmoTool>(runtime.windows().mainWindowObject())
                 ->LoadProjectData();
         }},
    };
    for (const auto &[name, unload] : unloads) {
        const uint16_t mainPort = freeUdpPort();
        startOn(mainPort);
        const uint16_t learnPort = startLearning();
        unload();
        EXPECT_EQ(window().caption(), "Stop") << name;
        EXPECT_EQ(window().Winsock1->LocalPort(), mainPort) << name;
        EXPECT_TRUE(canBindUdp(learnPort)) << name;
        const size_t before = executions().size();
        UdpSender(mainPort).send(fader(0.5f));
        EXPECT_TRUE(waitUntil([&] { return executions().size() == before + 1; })) << name;
        EXPECT_EQ(editor().learnCaption(), "Lernen") << name; // a fresh editor starts idle

        window().Start_Click();
        startLearning();
        unload();
        EXPECT_EQ(window().caption(), "Start") << name;
        EXPECT_FALSE(socketOpen()) << name;
    }
    EXPECT_TRUE(boxes->boxes.empty());
}

TEST_F(SettingsWindowTest, aTickWithNothingLearnedYetKeepsTheFlagAndTheCount)
{
    frmSettings &w = editor();
    runtime.state().windows.setReceived();
    EXPECT_TRUE(w.Received);
    w.Timer1_Timer();
    EXPECT_EQ(w.receiving->backColor(), PureGreen);
    EXPECT_EQ(w.OSCCount->text(), "0");
    EXPECT_TRUE(w.Received);
}

TEST_F(SettingsWindowTest, aFailedStartShowsWhyAndStaysIdle)
{
    frmSettings &w = editor();
    TakenPort taken;
    for (const std::string &port : Texts{"abc", "0", "70000", std::to_string(taken.port)}) {
        boxes->boxes.clear();
        w.Port->setText(QString::fromStdString(port));
        w.LearnButton_Click();
        ASSERT_EQ(boxes->boxes.size(), 1u) << port;
        EXPECT_FALSE(boxes->boxes[0].text.empty());
        EXPECT_EQ(boxes->boxes[0].icon, MessageIcon::Critical);
        EXPECT_EQ(w.learnCaption(), "Lernen") << port;
        EXPECT_FALSE(w.Timer1->enabled());
        EXPECT_FALSE(socketOpen());
    }
    EXPECT_EQ(boxes->boxes[0].text,
              "Address 127.0.0.1:" + std::to_string(taken.port) + " is already in use");
    // Ports above 32767 are ports like any other.
    boxes->boxes.clear();
    const uint16_t high = 40000;
    w.Port->setText(QString::number(high));
    w.LearnButton_Click();
    if (boxes->boxes.empty()) { // unless something else holds it on this machine
        EXPECT_EQ(w.learnCaption(), "Stop");
        EXPECT_EQ(window().Winsock1->LocalPort(), high);
    }
}

TEST_F(SettingsWindowTest, noCellOpensAnEditorWhileLearning)
{
    learnThreeAddresses(startLearning());
    frmSettings &w = editor();
    for (int column : {0, 1, 3}) {
        w.lvActions->requestEdit(1, column);
        EXPECT_FALSE(w.lvActions->dropDownOpen() || w.lvActions->textEditorOpen()) << column;
    }
    w.LearnButton_Click();
    w.lvActions->requestEdit(1, 0);
    EXPECT_TRUE(w.lvActions->dropDownOpen());
    EXPECT_EQ(w.lvActions->dropDownEntries(), (Texts{"", "/fader1", "/button", "/mix"}));
}

TEST_F(SettingsWindowTest, rowsBuiltInTheEditorAreSavedAndComeBackAfterAReload)
{
    learnThreeAddresses(startLearning());
    editor().LearnButton_Click();
    buildTwoRows();
    ASSERT_EQ(list()->rowCount(), 3);
    EXPECT_EQ(cells(1, 0, 9),
              (Texts{"/fader1", "1. Float", "any", "-", "0.25", "0.75", "0", "255", "0", "255"}));
    EXPECT_EQ(runtime.state().windows.actionListItemCount(), 3);
    const std::vector<Texts> built = allRows();

    editor().Speichern_Click();
    VarArray saved;
    readArrayFile(actionsFile(), saved);
    EXPECT_EQ(saved, runtime.state().actionTable.rows());
    ASSERT_EQ(saved.size(), 2u);

    runtime.windows().registry().unload(runtime.windows().settingsWindowId());
    EXPECT_EQ(runtime.windows().loadedSettingsWindow(), nullptr);
    EXPECT_EQ(allRows(), built);

    // A new plug-in life reads the file and shows the same rows.
    auto secondHelper = std::make_shared<FakeHostHelper>();
    secondHelper->setBaseFilename(folder.path("show.zpr"));
    secondHelper->factory->listColumns = helper->factory->listColumns;
    secondHelper->factory->drawTargets = true;
    PlugInRuntime second(std::make_unique<RecordingMessageBoxes>());
    second.state().hostHelper = secondHelper;
    frmSettings &again = second.windows().settingsWindow();
    std::vector<Texts> reread;
    for (int position = 1; position <= again.lvActions->list()->rowCount(); ++position) {
        ListRowPtr row = again.lvActions->list()->row(position);
        Texts texts{row->text()};
        for (int column = 1; column <= 10; ++column)
            texts.push_back(row->subItem(column));
        texts.push_back(row->checked() ? "checked" : "unchecked");
        reread.push_back(texts);
    }
    EXPECT_EQ(reread, built);
}

TEST_F(SettingsWindowTest, deleteRemovesTheSelectedFilledRowAsTheEmptyAddressEntryDoes)
{
    learnThreeAddresses(startLearning());
    editor().LearnButton_Click();
    buildTwoRows();
    editor().Speichern_Click();
    ActionListView &view = *editor().lvActions;
    auto pressDelete = [&](int position) {
        view.selectRow(position - 1);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
        QCoreApplication::sendEvent(&view, &press);
    };
    pressDelete(3); // the blank entry row
    view.requestEdit(1, 4);
    ASSERT_TRUE(view.textEditorOpen());
    pressDelete(1); // a cell editor is open
    view.cancelEdit();
    startLearning();
    pressDelete(1);
    editor().LearnButton_Click();
    ASSERT_EQ(list()->rowCount(), 3);

    pressDelete(1);
    ASSERT_EQ(list()->rowCount(), 2);
    EXPECT_EQ(cell(1, 0), "/mix");
    const VarArray &rows = runtime.state().actionTable.rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].array()[rowField::Address], Variant("/mix"));
}

TEST_F(SettingsWindowTest, savingWithoutFilledRowsLeavesTheFileAlone)
{
    std::ofstream(actionsFile(), std::ios::binary) << "old";
    editor().Speichern_Click();
    EXPECT_EQ(fileBytes(actionsFile()), "old");
}

TEST_F(SettingsWindowTest, aRowBuiltAndSavedRunsWhenItsMessageArrives)
{
    learnThreeAddresses(startLearning());
    editor().LearnButton_Click();
    buildTwoRows();
    editor().Speichern_Click();
    const uint16_t port = freeUdpPort();
    startOn(port);
    ASSERT_EQ(window().caption(), "Stop");
    UdpSender(port).send(fader(0.75f));
    ASSERT_TRUE(waitUntil([&] { return !executions().empty(); }));
    EXPECT_EQ(executions(), Texts{"Execute  255 0 255"});
    // The unchecked row stays quiet; the fader's lower end gives the lower output.
    UdpSender(port).send(OscBuilder().message("/mix", ",fsi").f32(0.5f).str("a").i32(7).bytes());
    UdpSender(port).send(fader(0.25f));
    ASSERT_TRUE(waitUntil([&] { return executions().size() == 2; }));
    EXPECT_EQ(executions()[1], "Execute  0 0 255");
    EXPECT_EQ(runtime.state().actionTable.rows()[1].array()[rowField::Activation],
              Variant(Deactivated));
}

TEST_F(SettingsWindowTest, theEngineSwitchesTheRowsCheckBoxes)
{
    setFaderRow();
    ASSERT_EQ(runtime.state().windows.actionListItemCount(), 2);
    runtime.state().windows.setActionListItemChecked(1, false);
    EXPECT_FALSE(list()->row(1)->checked());
    runtime.state().windows.setActionListItemChecked(1, true);
    EXPECT_TRUE(list()->row(1)->checked());
}

TEST_F(SettingsWindowTest, theHostsWindowObjectLoadsShowsAndUnloadsTheEditor)
{
    std::shared_ptr<WindowObject> object =
        runtime.windows().registry().object(runtime.windows().settingsWindowId());
    EXPECT_EQ(object->isOpen(), VFalse);
    object->loadWindow();
    EXPECT_EQ(object->isOpen(), VTrue);
    ASSERT_NE(runtime.windows().loadedSettingsWindow(), nullptr);
    EXPECT_FALSE(runtime.windows().loadedSettingsWindow()->isVisible());
    object->showWindow();
    EXPECT_TRUE(runtime.windows().loadedSettingsWindow()->isVisible());
    object->unloadWindow();
    EXPECT_EQ(object->isOpen(), VFalse);
}

TEST_F(SettingsWindowTest, theListFollowsTheWindowsSize)
{
    frmSettings &w = editor();
    w.show();
    w.resize(900, 600);
    ASSERT_TRUE(
        waitUntil([&] { return w.lvActions->width() != w.lvActions->twipsToPixels(16815); }));
    const QRect outer = w.frameGeometry();
    EXPECT_EQ(w.lvActions->width(), outer.width() - 32);
    EXPECT_EQ(w.lvActions->height(), outer.height() - 80);
    EXPECT_EQ(w.lvActions->x(), 8);
}

TEST_F(SettingsWindowTest, theMainWindowButtonShowsTheMainWindow)
{
    editor().Command1_Click();
    ASSERT_NE(runtime.windows().loadedMainWindow(), nullptr);
    EXPECT_TRUE(runtime.windows().loadedMainWindow()->isVisible());
}

} // namespace
} // namespace tarvex::test
