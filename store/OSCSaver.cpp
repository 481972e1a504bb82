#include "store/OSCSaver.h"

#include "core/Conversions.h"
#include "core/Object.h"
#include "core/VbError.h"
#include "engine/OSCHandler.h"
#include "plugin/api/HostScripting.h"
#include "store/ArrayCodec.h"
#include "store/ArrayFile.h"
#include "store/NetworkFile.h"

#include <chrono>
#include <exception>
#include <optional>

namespace tarvex {
namespace {

constexpr std::string_view Version1 = "Version 1";
constexpr std::string_view Version2 = "Version 2";
constexpr std::string_view Version3 = "Version 3";
constexpr int32_t LastSettingsSlot = setting::Autostart;

VarArray defaultSettings()
{
    return VarArray::ofValues({Variant(Version3), Variant("127.0.0.1"), Variant("12345"),
                               Variant("127.0.0.1"), Variant("12345"), Variant::boolean(false)});
}

// A version word other than a text is no version word: the settings are used as read.
bool hasVersion(const VarArray &settings, std::string_view version)
{
    const Variant *word = settings.find(setting::Version);
    return word && word->isString() && word->asString() == version;
}

// Slots are written by index; settings of another shape (read from a damaged file) are brought
// to 0..5 first, keeping the slots they had, so that saving always succeeds.
Variant &settingsSlot(VarArray &settings, int32_t slot)
{
    bool usable = settings.dimensionCount() == 1 && settings.lowerBound() == 0;
    if (!usable) {
        VarArray reshaped;
        reshaped.redim({{0, LastSettingsSlot}});
        for (int32_t i = 0; i <= LastSettingsSlot; ++i)
            if (const Variant *kept = settings.find(i))
                reshaped[i] = *kept;
        settings = std::move(reshaped);
    }
    if (settings.upperBound() < slot)
        settings.redimPreserve(slot);
    return settings[slot];
}

void seedFromClock(std::mt19937 &random)
{
    auto ticks = std::chrono::system_clock::now().time_since_epoch().count();
    random.seed(static_cast<std::mt19937::result_type>(ticks ^ (ticks >> 32)));
}

// The actionId of a row that is to start deactivated, or nothing for a row that stays as it is
// or is too damaged to name an action.
std::optional<int32_t> idToDeactivate(const VarArray &rows, int32_t index)
{
    const VarArray *row = rowAt(rows, index);
    if (!row)
        return std::nullopt;
    const Variant *activation = row->find(rowField::Activation);
    if (activation && activation->isString() && activation->asString() == Activated)
        return std::nullopt;
    return actionIdOf(*row);
}

void deactivateRowsNotActivated(PlugInState &state)
{
    const VarArray &rows = state.actionTable.rows();
    if (rows.dimensionCount() != 1)
        return;
    // Bounds are read once: deactivation changes rows, never the table's extent.
    int32_t lower = rows.lowerBound();
    int32_t upper = rows.upperBound();
    for (int64_t i = lower; i <= upper; ++i) {
        if (auto id = idToDeactivate(state.actionTable.rows(), static_cast<int32_t>(i)))
            deactivateAction(state, *id);
    }
}

// The first row of the table that the writer refuses, as "row 3 (/fader1)", counted from 1 as
// the editor does; "" when no single row is refused.
std::string rowTheWriterRefuses(const VarArray &rows)
{
    if (rows.dimensionCount() != 1)
        return {};
    for (int32_t i = rows.lowerBound(); i <= rows.upperBound(); ++i) {
        try {
            arraycodec::encodeArrayFile(VarArray::ofValues({rows[i]}));
        } catch (const VbError &) {
            constexpr size_t ShownAddress = 40;
            const VarArray *row = rowAt(rows, i);
            const Variant *address = row ? row->find(rowField::Address) : nullptr;
            std::string shown = address && address->isString() ? address->asString() : "";
            if (shown.size() > ShownAddress)
                shown = shown.substr(0, ShownAddress) + "...";
            return "row " + std::to_string(int64_t{i} - rows.lowerBound() + 1) +
                   (shown.empty() ? "" : " (" + shown + ")");
        }
    }
    return {};
}

// Writes one of the plug-in's files; a failure says which file and, for the actions, which row.
void writePlugInFile(const std::string &path, const VarArray &array, bool rowsOfActions)
{
    try {
        writeArrayFile(path, array);
    } catch (const VbError &e) {
        const std::string row = rowsOfActions ? rowTheWriterRefuses(array) : "";
        throw VbError(e.number(), "Cannot write " + path + (row.empty() ? "" : ", " + row) + ": " +
                                      e.description());
    }
}

// The loader's writes. The loader runs once per plug-in life, so a failed write must not leave
// the rest of the load undone: the first failure is kept, later writes are skipped, and the
// failure reaches the caller once memory is complete.
class LoaderWrites {
public:
    void write(const std::string &path, const VarArray &array)
    {
        if (m_failure || path == m_leftAlone)
            return;
        try {
            writePlugInFile(path, array, path == m_actionsPath);
        } catch (...) {
            m_failure = std::current_exception();
        }
    }
    void reportFailure() const
    {
        if (m_failure)
            std::rethrow_exception(m_failure);
    }
    // The file at path holds what must not be replaced; its writes are skipped.
    void leaveAlone(std::string path) { m_leftAlone = std::move(path); }
    // Where the rows of actions go, so that a failure there can name the row.
    void setActionsPath(std::string path) { m_actionsPath = std::move(path); }

private:
    std::exception_ptr m_failure;
    std::string m_leftAlone;
    std::string m_actionsPath;
};

// Re-saving the table must not replace an actions file the user has but that could be read
// only in part (cut short, a damaged row) or not at all: such a file stays on disk byte for
// byte, and the rows that could be read are used. Only an absent file or one read whole is
// written.
void resaveActionTable(PlugInState &state, ArrayFileRead actionsRead, LoaderWrites &writes)
{
    if (actionsRead == ArrayFileRead::Absent || actionsRead == ArrayFileRead::Complete)
        writes.write(actionsFilePath(state), state.actionTable.rows());
}

// Reads the actions file into the table, keeping only whole rows (isWholeRow): a row cut short
// or damaged is left out, and so is an empty element, so that the editor can show and save
// every row the table holds. The table is then 0-based without gaps. A file that had rows left
// out counts as damaged. An absent or unreadable file, or one whose header is unusable, leaves
// the table as it was. `notice` gets what the user should hear of a file that is not whole.
ArrayFileRead readActionTable(PlugInState &state, std::string &notice)
{
    const std::string path = actionsFilePath(state);
    VarArray read;
    std::string why;
    ArrayFileRead result = readArrayFile(path, read, &why);
    if (result == ArrayFileRead::Unreadable)
        notice = "Cannot read " + path + " (" + why + "); no actions were loaded from it.";
    if (!read.isDimensioned()) {
        if (result == ArrayFileRead::Damaged)
            notice = "Cannot read " + path + " (damaged); no actions were loaded from it.";
        return result;
    }
    // Whole rows move into the table rather than being copied: a show of thousands of rows
    // would otherwise be built twice, and freed once, at every read. Only rows (arrays) are
    // whole, and only an array of variants holds them.
    std::vector<Variant> whole;
    if (read.elementType() == VarType::Variant) {
        for (Variant &row : read.elements())
            if (isWholeRow(row))
                whole.push_back(std::move(row));
    }
    if (whole.size() < read.size())
        result = ArrayFileRead::Damaged;
    if (result == ArrayFileRead::Damaged)
        notice = "The actions file " + path + " is damaged: only " + std::to_string(whole.size()) +
                 " actions could be read from it. The file stays as it is until the actions are "
                 "saved.";
    if (whole.empty())
        state.actionTable.erase();
    else
        state.actionTable.replace(VarArray::ofValues(std::move(whole)));
    return result;
}

// Settings that the defaults replace came from a file that gave no settings. When it cannot be
// moved aside, the loader leaves it alone and keeps the defaults in memory only.
void keepSettingsAside(PlugInState &state, ArrayFileRead read, const std::string &why,
                       LoaderWrites &writes, std::string &notice)
{
    const std::string path = settingsFilePath(state);
    const std::string reason = read == ArrayFileRead::Unreadable ? why
                               : read == ArrayFileRead::Damaged  ? "damaged"
                                                                 : "it holds no settings";
    DamagedFile kept = keepDamagedFile(path, reason, "the default settings");
    if (kept.kept == KeptAside::Failed)
        writes.leaveAlone(path);
    notice = std::move(kept.notice);
}

void migrate(PlugInState &state, bool defaultsCreated, ArrayFileRead actionsRead,
             LoaderWrites &writes)
{
    if (hasVersion(state.settings, Version1) || defaultsCreated) {
        state.settings[setting::Version] = Variant(Version2);
        resaveActionTable(state, actionsRead, writes);
        writes.write(settingsFilePath(state), state.settings);
    }
    // The file keeps "Version 2" until the next save; only memory moves on.
    if (hasVersion(state.settings, Version2)) {
        state.settings.redimPreserve(LastSettingsSlot);
        state.settings[setting::Version] = Variant(Version3);
        state.settings[setting::Autostart] = Variant(0);
    }
}

} // namespace

// An entry whose bytes cannot be read (no access, a link to nowhere) is renamed as it is.
DamagedFile keepDamagedFile(const std::string &path, const std::string &reason,
                            std::string_view defaults)
{
    const std::string keptPath = path + std::string(DamagedSuffix);
    const std::string cannotRead = "Cannot read " + path + " (" + reason + ")";
    switch (keepAside(path, keptPath, KeptDamagedCopies)) {
    case KeptAside::Nothing: return {};
    case KeptAside::Failed:
        return {KeptAside::Failed, cannotRead + ", and it could not be kept as " + keptPath +
                                       ": it stays as it is, and " + std::string(defaults) +
                                       " are used for now."};
    case KeptAside::Kept: break;
    }
    return {KeptAside::Kept, cannotRead + ". It was kept as " + keptPath + " and " +
                                 std::string(defaults) + " replace it."};
}

// The text is a copy: the host may run its event loop, and a project load there replaces what
// the state holds.
void tellHost(const PlugInState &state, std::string text)
{
    if (text.empty())
        return;
    if (auto notices = std::dynamic_pointer_cast<IHostNotices>(state.hostHelper)) {
        try {
            notices->notice(text);
        } catch (...) {
        }
    }
}

std::string projectFilePath(const PlugInState &state, std::string_view fileName)
{
    Variant project = callByName(Variant(state.hostHelper), "Project");
    std::string baseFilename = toText(callByName(project, "BaseFilename"));
    return projectFolder(baseFilename) + std::string(fileName);
}

std::string actionsFilePath(const PlugInState &state)
{
    return projectFilePath(state, ActionsFileName);
}

std::string settingsFilePath(const PlugInState &state)
{
    return projectFilePath(state, SettingsFileName);
}

void loadSettings(PlugInState &state)
{
    if (state.settingsLoaded)
        return;
    state.settingsLoaded = true;
    seedFromClock(state.random);

    std::string actionsNotice, settingsNotice, why;
    ArrayFileRead actionsRead = readActionTable(state, actionsNotice);
    ArrayFileRead settingsRead = readArrayFile(settingsFilePath(state), state.settings, &why);
    LoaderWrites writes;
    writes.setActionsPath(actionsFilePath(state));
    // Settings without a single slot (no file, nothing readable, or an empty range) are no
    // settings: the defaults replace them.
    bool defaultsCreated = state.settings.size() == 0;
    if (defaultsCreated) {
        state.settings = defaultSettings();
        keepSettingsAside(state, settingsRead, why, writes, settingsNotice);
        writes.write(settingsFilePath(state), state.settings);
    }
    migrate(state, defaultsCreated, actionsRead, writes);
    deactivateRowsNotActivated(state);
    const std::string networkNotice =
        state.feedbackLoaded ? std::string() : loadNetworkSettings(state);
    // Told last: the host may run its event loop meanwhile, and the load is complete by now.
    if (actionsNotice != state.actionsNotice)
        tellHost(state, actionsNotice);
    tellHost(state, settingsNotice);
    tellHost(state, networkNotice);
    writes.reportFailure();
}

void saveSettings(PlugInState &state)
{
    struct SavingFlag {
        bool &flag;
        explicit SavingFlag(bool &f) : flag(f) { flag = true; }
        ~SavingFlag() { flag = false; }
    } saving(state.savingSettings);

    VarArray &settings = state.settings;
    settingsSlot(settings, setting::MainAddress) = Variant(state.settingsBoxes.mainAddress());
    settingsSlot(settings, setting::MainPort) = Variant(state.settingsBoxes.mainPort());
    settingsSlot(settings, setting::Autostart) =
        Variant::integer(state.settingsBoxes.autostartValue());
    // Reading the editor's boxes may load the editor window; the flag keeps it from filling
    // its list meanwhile.
    settingsSlot(settings, setting::EditorAddress) = Variant(state.settingsBoxes.editorAddress());
    settingsSlot(settings, setting::EditorPort) = Variant(state.settingsBoxes.editorPort());
    writePlugInFile(settingsFilePath(state), settings, false);
}

Variant settingValue(const PlugInState &state, int32_t slot)
{
    const Variant *value = state.settings.find(slot);
    return value ? *value : Variant();
}

bool autostartChecked(const Variant &value)
{
    try {
        return toInteger(value) == 1;
    } catch (const std::exception &) {
        return false;
    }
}

WindowSettings shownSettings(const VarArray &settings)
{
    auto text = [&](int32_t slot) {
        const Variant *value = settings.find(slot);
        return value ? toText(*value) : std::string();
    };
    const Variant *autostart = settings.find(setting::Autostart);
    return {text(setting::MainAddress), text(setting::MainPort),
            autostart && autostartChecked(*autostart), text(setting::EditorAddress),
            text(setting::EditorPort)};
}

bool settingsFileDiffers(const PlugInState &state, const WindowSettings &values)
{
    VarArray stored;
    if (readArrayFile(settingsFilePath(state), stored) != ArrayFileRead::Complete)
        return true;
    try {
        return shownSettings(stored) != values;
    } catch (const VbError &) {
        return true;
    }
}

void saveActionTable(PlugInState &state)
{
    if (state.actionTable.isDimensioned())
        writePlugInFile(actionsFilePath(state), state.actionTable.rows(), true);
}

std::optional<std::string> whyActionsFileCannotHold(const VarArray &table)
{
    if (!table.isDimensioned())
        return std::nullopt;
    size_t bytes = 0;
    try {
        bytes = arraycodec::encodedArrayFileSize(table);
    } catch (const VbError &e) {
        const std::string row = rowTheWriterRefuses(table);
        return std::string(ActionsFileName) + " cannot hold " + (row.empty() ? "the rows" : row) +
               ": " + e.description();
    }
    if (bytes <= MaxArrayFileBytes)
        return std::nullopt;
    return "the rows would take " + std::to_string(bytes) + " bytes in " +
           std::string(ActionsFileName) + ", and a load reads at most " +
           std::to_string(MaxArrayFileBytes);
}

void reloadActionTable(PlugInState &state)
{
    state.actionTable.erase();
    state.actionsNotice.clear();
    readActionTable(state, state.actionsNotice);
    tellHost(state, state.actionsNotice);
}

} // namespace tarvex
