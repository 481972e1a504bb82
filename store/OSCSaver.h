#pragma once
// OSCSaver: the plug-in's two files in the host project's folder, "TarvexActions.dat" (the
// action table) and "TarvexSettings.dat" (the six settings), and the settings' loading,
// migration and saving.

#include "store/ArrayFile.h"
#include "store/PlugInState.h"

#include <optional>
#include <string>

namespace tarvex {

inline constexpr std::string_view ActionsFileName = "TarvexActions.dat";
inline constexpr std::string_view SettingsFileName = "TarvexSettings.dat";
// A file that is there but gave no settings is kept under its name and this before the defaults
// replace it; earlier such copies move on to ".damaged.1" and ".damaged.2" (the newest three).
inline constexpr std::string_view DamagedSuffix = ".damaged";
inline constexpr int KeptDamagedCopies = 3;

// Settings slots.
namespace setting {
constexpr int32_t Version = 0;
constexpr int32_t MainAddress = 1;
constexpr int32_t MainPort = 2;
constexpr int32_t EditorAddress = 3;
constexpr int32_t EditorPort = 4;
constexpr int32_t Autostart = 5;
} // namespace setting

// The five settings the windows show and a settings save takes from their boxes.
struct WindowSettings {
    std::string mainAddress;
    std::string mainPort;
    bool autostart = false;
    std::string editorAddress;
    std::string editorPort;
    bool operator==(const WindowSettings &) const = default;
};

// The autostart slot as the main window's check box takes it: checked for the value 1 only.
bool autostartChecked(const Variant &value);
// The settings as the windows show them once loaded: the texts of slots 1 to 4 (an absent slot
// shows as empty) and the autostart box. Raises when a slot has no text form.
WindowSettings shownSettings(const VarArray &settings);
// Whether a settings save with these values would change what the settings file says: the
// file's five values, as the windows would show them, differ, or the file is missing or
// damaged. The version word and the stored types are not compared: a save only brings them up
// to date. Reads only.
bool settingsFileDiffers(const PlugInState &state, const WindowSettings &values);

// The files' paths: the folder of the host project's BaseFilename (fetched by name from the
// helper's Project each time) followed by the file name.
std::string projectFilePath(const PlugInState &state, std::string_view fileName);
std::string actionsFilePath(const PlugInState &state);
std::string settingsFilePath(const PlugInState &state);

// Runs once per plug-in life: reads the actions file, then the settings file, creates or
// migrates the settings ("Version 1" -> "Version 2" -> "Version 3"), and deactivates every row
// that is not "Activated". Later calls return at once. Only whole rows of the actions file
// reach the table (isWholeRow). A settings file that gives no settings is kept aside as
// "TarvexSettings.dat.damaged" before the defaults replace it; the host hears of that, and of
// a damaged actions file, through IHostNotices when it offers it.
void loadSettings(PlugInState &state);

// Reads the windows' boxes into the settings and writes the settings file; SavingSettings is
// set while it runs.
void saveSettings(PlugInState &state);

// A file that is there but gave no settings (`reason` says why): moved to its name and
// DamagedSuffix, earlier copies moving on (keepAside, KeptDamagedCopies), so that `defaults`
// take its place without losing any of it. The notice for the host names both files; it is empty
// when there was nothing to keep, and says that the file stays as it is when it could not be moved.
struct DamagedFile {
    KeptAside kept = KeptAside::Nothing;
    std::string notice;
};
DamagedFile keepDamagedFile(const std::string &path, const std::string &reason,
                            std::string_view defaults);

// Tells the host (when it listens, IHostNotices) what the user should know about the files;
// nothing for an empty text. A host that fails to listen changes nothing. The host may run its
// event loop meanwhile: call it last.
void tellHost(const PlugInState &state, std::string text);

// The value of a settings slot, Empty when the settings (read from a damaged file) have none.
Variant settingValue(const PlugInState &state, int32_t slot);

// Writes the action table to the actions file when it has at least one dimension. A failure
// names the file and, where one row is the cause, that row.
void saveActionTable(PlugInState &state);

// Why the actions file could not hold the table so that a load reads it back whole, or nothing:
// a row the writer refuses, or more bytes than a load reads (MaxArrayFileBytes).
std::optional<std::string> whyActionsFileCannotHold(const VarArray &table);

// The host opened another project: the table is erased and read from its actions file (whole
// rows only, as in loadSettings).
void reloadActionTable(PlugInState &state);

} // namespace tarvex
