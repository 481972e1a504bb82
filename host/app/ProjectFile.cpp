#include "host/app/ProjectFile.h"

#include "core/RegularFile.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

namespace tarvex::host {
namespace fs = std::filesystem;

namespace {

// A project file is a line and a few comments; a later version's settings fit many times over.
constexpr size_t MaxProjectFileBytes = 1024 * 1024;

std::runtime_error projectError(const std::string &what, const std::string &path)
{
    return std::runtime_error(what + ": " + path);
}

} // namespace

void checkProjectFile(const std::string &path)
{
    const RegularFile file = readRegularFile(path, MaxProjectFileBytes);
    if (file.status == RegularFile::Absent)
        return;
    if (file.status == RegularFile::Unreadable)
        throw projectError("cannot read the project file (" + file.reason + ")", path);
    const auto lineEnd = std::find(file.bytes.begin(), file.bytes.end(), '\n');
    std::string first(file.bytes.begin(), lineEnd);
    if (!first.empty() && first.back() == '\r')
        first.pop_back();
    if (first != ProjectFileMarker)
        throw projectError("not a tarvex-host project file", path);
}

void makeProjectFolder(const std::string &path)
{
    fs::path folder = fs::absolute(path).parent_path();
    std::error_code error;
    fs::create_directories(folder, error);
    if (error || !fs::is_directory(folder))
        throw projectError("cannot create the project folder", folder.string());
}

void writeProjectFile(const std::string &path)
{
    makeProjectFolder(path);
    replaceRegularFile(path, std::string(ProjectFileMarker) +
                                 "\n# The plug-in's files live in this folder.\n");
}

} // namespace tarvex::host
