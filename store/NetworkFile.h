#pragma once
// NetworkFile: the feedback settings of a project, in "TarvexNetwork.dat" beside the settings and
// actions files, in the same array format. The file exists only once the user has changed the
// settings: a missing file means feedback off, and a save leaves it alone until the settings
// differ from what it gives. A file that is there but gives no settings is kept as
// "TarvexNetwork.dat.damaged" (earlier copies move on to ".damaged.1" and ".damaged.2") and the
// host is told; its place stays empty (feedback off).
//
// Layout: a one-dimensional array of four tagged values: "Network 1", the mode ("off" or
// "others"), the feedback port (Long, 0 for each controller's source port) and the minutes
// within which a controller counts as present (Long, 1 .. 1440).
//
//   tellHost(state, loadNetworkSettings(state));   // state.feedback from the project's file
//   state.feedback.mode = FeedbackMode::Others;
//   saveNetworkSettings(state);               // written, since it differs now

#include "store/PlugInState.h"

#include <string>
#include <string_view>

namespace tarvex {

inline constexpr std::string_view NetworkFileName = "TarvexNetwork.dat";

// The settings a file gives: the defaults (off) for a missing, unreadable or damaged file, or
// one whose values are not of their kind and range.
FeedbackSettings readNetworkSettings(const std::string &path);
// Writes the settings, replacing the file as every array file is replaced.
void writeNetworkSettings(const std::string &path, const FeedbackSettings &settings);

std::string networkFilePath(const PlugInState &state);
// state.feedback from the project's file (read at every project load, and at the first load
// when no project load came before it: state.feedbackLoaded). A file that gives no settings is
// moved aside (keepDamagedFile) and feedback is off; returns what the host is to hear of it, empty
// for a missing file or one read whole. The caller tells it last (tellHost).
[[nodiscard]] std::string loadNetworkSettings(PlugInState &state);
// Whether state.feedback differs from what the project's file gives. Reads only.
bool networkSettingsUnsaved(const PlugInState &state);
// Writes the project's file when the settings differ from what it gives; otherwise the file,
// missing or damaged as it may be, stays as it is. A damaged file is moved aside before it is
// replaced, and the host is told; one that cannot be moved is not replaced: the save raises.
void saveNetworkSettings(const PlugInState &state);

} // namespace tarvex
