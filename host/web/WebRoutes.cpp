#include "host/web/WebRoutes.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace tarvex::host {
namespace {

constexpr std::string_view StaticPrefix = "/static/";
constexpr std::string_view PageFile = "index.html";
constexpr std::string_view JsonType = "application/json";

struct PageFileType {
    std::string_view name, contentType;
};
// The page's files; nothing else is ever served from the files compiled in.
constexpr std::array PageFiles = {
    PageFileType{"index.html", "text/html; charset=utf-8"},
    PageFileType{"page.js", "text/javascript; charset=utf-8"},
    PageFileType{"page.css", "text/css; charset=utf-8"},
};

std::string lowered(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

const PageFileType *pageFileNamed(std::string_view name)
{
    for (const PageFileType &file : PageFiles)
        if (file.name == name)
            return &file;
    return nullptr;
}

bool isPageFile(std::string_view name)
{
    return pageFileNamed(name) != nullptr;
}

WebResponse pageFile(std::string_view name)
{
    const PageFileType *file = pageFileNamed(name);
    return {200, std::string(file->contentType), "", std::string(file->name)};
}

} // namespace

bool wantsPage(const WebRequest &request)
{
    // Media types are case-insensitive; parameters (";q=0.9") do not change the type.
    return request.query == "HTML" ||
           lowered(request.accept).find("text/html") != std::string::npos;
}

WebResponse answerRequest(const WebRequest &request, WebShow &show)
{
    if (request.method != "GET")
        return {405, "", "", ""};
    // A path under /static/ that names none of the page's files is an OSC address like any.
    const std::string_view path = request.path;
    if (path.starts_with(StaticPrefix) && isPageFile(path.substr(StaticPrefix.size())))
        return pageFile(path.substr(StaticPrefix.size()));
    if (wantsPage(request))
        return pageFile(PageFile);
    const std::vector<ActionRow> rows = show.rows();
    const OscQueryNamespace space(rows, show.receivedValues());
    OscQueryAnswer answer = space.answer(request.path, request.query, show.oscQueryHost());
    if (answer.json.empty())
        return {answer.status, "", "", ""};
    return {answer.status, std::string(JsonType), std::move(answer.json), ""};
}

} // namespace tarvex::host
