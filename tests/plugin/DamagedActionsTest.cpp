// An actions file cut short or with a bit flipped, met as the host meets it: the plug-in starts,
// answers, opens its editor and saves into another project, with the rows it could read whole;
// the damaged file stays as it was.
#include "tests/plugin/PlugInFixture.h"

#include "store/ArrayCodec.h"
#include "store/ArrayFile.h"
#include "ui/editor/view/ActionListView.h"

using namespace tarvex;
using namespace tarvex::test;

namespace {

const ByteVector &exampleActions()
{
    static const ByteVector bytes = readFile(TARVEX_EXAMPLE_SHOW "/TarvexActions.dat");
    return bytes;
}

// Every case writes and syncs files a few times: in memory where the system offers it.
std::filesystem::path fastFolder()
{
    std::error_code error;
    return std::filesystem::is_directory("/dev/shm", error)
               ? std::filesystem::path("/dev/shm")
               : std::filesystem::temp_directory_path();
}

// How many of the example's rows lie whole in its first `length` bytes.
size_t wholeExampleRowsWithin(size_t length)
{
    VarArray rows;
    readArrayFile(TARVEX_EXAMPLE_SHOW "/TarvexActions.dat", rows);
    size_t whole = 0;
    for (size_t n = 1; n <= rows.size(); ++n) {
        VarArray first = VarArray::ofValues({rows.elements().begin(), rows.elements().begin() + n});
        if (arraycodec::encodeArrayFile(first).size() <= length)
            whole = n;
    }
    return whole;
}

struct Outcome {
    size_t tableRows = 0;
    int listRows = 0;      // the editor's, without the blank entry row
    size_t rowsSaved = 0;  // the table's after the save (rows without a chosen argument go)
    ArrayFileRead saved{}; // the actions file saved into the other project
    size_t savedRows = 0;
    bool damagedFileKept = false;
};

// A plug-in as the host drives it, on projects in memory where the system offers it (every
// case writes and syncs files a few times).
class Host {
public:
    Host()
    {
        ObjectPtr helperObject = m_helper;
        m_plugIn.plugin().Init("Host", "", helperObject);
    }
    ~Host() { m_plugIn.plugin().Term(); }

    // The host's start on this actions file, "state", Configure, and a save into another
    // project; a failure anywhere fails the test.
    Outcome startConfigureAndSaveElsewhere(const ByteVector &actions)
    {
        try {
            start(actions);
            return configureAndSaveElsewhere();
        } catch (const std::exception &e) {
            ADD_FAILURE() << e.what();
            return {};
        }
    }

private:
    IZelmoTool &tool() { return dynamic_cast<IZelmoTool &>(*m_main); }

    // The project is loaded, then the main window (whose first load reads the files again).
    void start(const ByteVector &actions)
    {
        m_actions = actions;
        writeFile(m_project.path("TarvexActions.dat"), actions);
        m_helper->setBaseFilename(m_project.path("show.tarvex"));
        tool().LoadProjectData();
        m_main->loadWindow();
    }

    Outcome configureAndSaveElsewhere()
    {
        Outcome outcome;
        auto &scripting = dynamic_cast<IHostScripting &>(*m_main);
        EXPECT_EQ(scripting.serverCaption(), "Start");
        EXPECT_EQ(scripting.learnCaption(), "Lernen");
        EXPECT_EQ(m_plugIn.plugin().Configure(), VTrue);
        outcome.tableRows = m_plugIn.runtime().state().actionTable.rows().size();
        outcome.listRows =
            m_plugIn.runtime().windows().settingsWindow().lvActions->list()->rowCount() - 1;
        TempFolder other(fastFolder());
        m_helper->setBaseFilename(other.path("show.tarvex"));
        tool().SaveProjectData();
        outcome.rowsSaved = m_plugIn.runtime().state().actionTable.rows().size();
        VarArray saved;
        outcome.saved = readArrayFile(other.path("TarvexActions.dat"), saved);
        outcome.savedRows = saved.size();
        outcome.damagedFileKept = readFile(m_project.path("TarvexActions.dat")) == m_actions;
        return outcome;
    }

    TempFolder m_project{fastFolder()};
    ByteVector m_actions;
    std::shared_ptr<ModuleInfoHelper> m_helper = std::make_shared<ModuleInfoHelper>();
    clsZelmoPlugIn m_plugIn{std::make_unique<RecordingMessageBoxes>()};
    std::shared_ptr<WindowObject> m_main = m_plugIn.runtime().windows().mainWindowObject();
};

} // namespace

TEST(DamagedActions, everyPrefixLoadsShowsAndSavesItsWholeRows)
{
    for (size_t length = 0; length <= exampleActions().size(); ++length) {
        SCOPED_TRACE("first " + std::to_string(length) + " bytes");
        const ByteVector prefix(exampleActions().begin(), exampleActions().begin() + length);
        const size_t whole = wholeExampleRowsWithin(length);
        const Outcome outcome = Host().startConfigureAndSaveElsewhere(prefix);
        EXPECT_EQ(outcome.tableRows, whole);
        EXPECT_EQ(outcome.listRows, static_cast<int>(whole));
        EXPECT_EQ(outcome.rowsSaved, whole);
        EXPECT_EQ(outcome.saved, whole ? ArrayFileRead::Complete : ArrayFileRead::Absent);
        EXPECT_EQ(outcome.savedRows, whole);
        EXPECT_TRUE(outcome.damagedFileKept);
    }
}

// One flip per byte, the bit moving on with the byte, so that every byte and every bit
// position of the file is hit (all 6312 single flips pass as well, in eight times the time).
TEST(DamagedActions, aBitFlippedInEveryByteLoadsShowsAndSavesWhatItCan)
{
    for (size_t byte = 0; byte < exampleActions().size(); ++byte) {
        const int bit = static_cast<int>(byte % 8);
        SCOPED_TRACE("bit " + std::to_string(bit) + " of byte " + std::to_string(byte));
        ByteVector flipped = exampleActions();
        flipped[byte] ^= static_cast<uint8_t>(1u << bit);
        const Outcome outcome = Host().startConfigureAndSaveElsewhere(flipped);
        EXPECT_EQ(outcome.listRows, static_cast<int>(outcome.tableRows));
        EXPECT_EQ(outcome.saved,
                  outcome.rowsSaved ? ArrayFileRead::Complete : ArrayFileRead::Absent);
        EXPECT_EQ(outcome.savedRows, outcome.rowsSaved);
        EXPECT_TRUE(outcome.damagedFileKept);
    }
}
