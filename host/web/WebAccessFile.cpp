#include "host/web/WebAccessFile.h"

#include "core/Json.h"
#include "core/RegularFile.h"

#include <fcntl.h>
#include <random>
#include <stdexcept>
#include <unistd.h>

namespace tarvex::host {
namespace {

constexpr size_t MaxFileBytes = 4096;
constexpr size_t PinDigits = 6;

std::string newPin()
{
    std::random_device source; // the system's random source
    std::uniform_int_distribution<int> digit(0, 9);
    std::string pin;
    for (size_t i = 0; i < PinDigits; ++i)
        pin += static_cast<char>('0' + digit(source));
    return pin;
}

bool isPin(const std::string &text)
{
    return text.size() >= 4 && text.size() <= 32 &&
           text.find_first_not_of("0123456789") == std::string::npos;
}

WebAccess readAccess(const std::string &path, const RegularFile &file)
{
    const auto damaged = [&path](const std::string &why) {
        return std::runtime_error(path + ": " + why + "; fix or remove it for a new PIN");
    };
    JsonValue document;
    try {
        document = parseJson(
            std::string_view(reinterpret_cast<const char *>(file.bytes.data()), file.bytes.size()));
    } catch (const JsonError &e) {
        throw damaged(std::string("not JSON: ") + e.what());
    }
    const JsonValue *pin = document.isObject() ? document.find("pin") : nullptr;
    if (!pin || !pin->isString() || !isPin(pin->text()))
        throw damaged("\"pin\" must be 4 to 32 digits in quotes");
    WebAccess access{pin->text(), false, ""};
    if (const JsonValue *open = document.find("readingOpen")) {
        if (open->kind() != JsonValue::Kind::Boolean)
            throw damaged("\"readingOpen\" must be true or false");
        access.readingOpen = open->asBoolean();
    }
    if (const JsonValue *listen = document.find("listen")) {
        if (!listen->isString())
            throw damaged("\"listen\" must be \"[ADDRESS:]PORT\" in quotes");
        access.listen = listen->text();
    }
    return access;
}

// The file, private before anything is in it when it is new: the write keeps the permissions
// it finds.
void writeAccess(const std::string &path, const WebAccess &access)
{
    const int made = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
    if (made >= 0)
        ::close(made);
    std::string text = "{\"pin\": " + jsonString(access.pin) +
                       ", \"readingOpen\": " + (access.readingOpen ? "true" : "false");
    if (!access.listen.empty())
        text += ", \"listen\": " + jsonString(access.listen);
    replaceRegularFile(path, text + "}\n");
}

} // namespace

std::string webAccessPath(const std::string &projectPath)
{
    return projectPath + ".web";
}

std::optional<WebAccess> readWebAccess(const std::string &projectPath)
{
    const std::string path = webAccessPath(projectPath);
    const RegularFile file = readRegularFile(path, MaxFileBytes);
    if (file.status == RegularFile::Unreadable)
        throw std::runtime_error(path + ": " + file.reason);
    if (file.status == RegularFile::Absent)
        return std::nullopt;
    return readAccess(path, file);
}

WebAccess loadOrMakeWebAccess(const std::string &projectPath)
{
    if (std::optional<WebAccess> kept = readWebAccess(projectPath))
        return *kept;
    const WebAccess made{newPin(), false, ""};
    writeAccess(webAccessPath(projectPath), made);
    return made;
}

WebAccess renewWebPin(const std::string &projectPath)
{
    WebAccess access = readWebAccess(projectPath).value_or(WebAccess{});
    access.pin = newPin();
    writeAccess(webAccessPath(projectPath), access);
    return access;
}

} // namespace tarvex::host
