#pragma once
// The host's project file: a small text file that marks a folder as a tarvex-host project. The
// plug-in keeps its own files (TarvexSettings.dat, TarvexActions.dat) beside it.
//
//   tarvex-host project 1
//   # The plug-in's files live in this folder.
//
// The first line names the format and its version; lines after it are free (comments), so a
// later version can add settings that this one skips.

#include <string>

namespace tarvex::host {

// The first line of every project file.
inline constexpr const char *ProjectFileMarker = "tarvex-host project 1";

// Checks an existing project file; a missing one is a new, empty project and passes. Throws
// std::runtime_error for a file that cannot be read or is no project of ours.
void checkProjectFile(const std::string &path);

// Writes the project file, creating its folder, through replaceRegularFile (the old file is
// replaced only once the new one is complete and on disk). Throws std::runtime_error naming the
// folder or file that cannot be written.
void writeProjectFile(const std::string &path);

// Creates the project's folder if it is missing, so that the plug-in can write its files there.
// Throws std::runtime_error when it cannot.
void makeProjectFolder(const std::string &path);

} // namespace tarvex::host
