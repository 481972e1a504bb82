#include "host/app/HeadlessEvents.h"

#include "host/objects/EventJson.h"

#include <ctime>

namespace tarvex::host {
namespace {

std::string optionArray(const std::vector<OptionEntry> &entries)
{
    std::string json = "[";
    for (const OptionEntry &entry : entries) {
        if (json.size() > 1)
            json += ',';
        json += "{\"caption\":" + jsonString(entry.caption) +
                ",\"value\":" + jsonString(entry.value) + "}";
    }
    return json + "]";
}

// UTC with milliseconds: "2026-12-09T14:03:05.123Z".
std::string isoTime(std::chrono::system_clock::time_point time)
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch());
    const std::time_t seconds = static_cast<std::time_t>(ms.count() / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    char millis[8];
    std::snprintf(millis, sizeof millis, ".%03dZ", static_cast<int>(ms.count() % 1000));
    return std::string(text) + millis;
}

std::string targetArray(const std::optional<TargetValues> &target)
{
    if (!target)
        return "null";
    return "[" + jsonString(target->t0.isString() ? target->t0.asString() : "") + "," +
           jsonString(target->t1.isString() ? target->t1.asString() : "") + "," +
           jsonString(target->t2.isString() ? target->t2.asString() : "") + "," +
           std::to_string(target->t3) + "," + std::to_string(target->t4) + "]";
}

std::string rowJson(const RowStatus &status)
{
    const ActionRow &row = status.row;
    const std::optional<TargetHit> &hit = status.hit;
    std::string json =
        "{\"row\":" + std::to_string(row.number) + ",\"address\":" + jsonString(row.address) +
        ",\"argument\":" + jsonString(row.argument) +
        ",\"condition\":" + jsonString(conditionText(row)) +
        ",\"target\":" + targetArray(row.target) + ",\"activation\":" + jsonString(row.activation) +
        ",\"id\":" + std::to_string(row.id) + ",\"hits\":" + std::to_string(hit ? hit->count : 0);
    json += ",\"lastValue\":" + (hit ? std::to_string(hit->value) : "null");
    json += ",\"lastLevel\":" + (hit && hit->level ? std::to_string(*hit->level) : "null");
    json += ",\"lastHit\":" + (hit ? jsonString(isoTime(hit->time)) : "null");
    json += ",\"cannotFire\":[";
    for (size_t i = 0; i < status.cannotFire.size(); ++i) {
        if (i > 0)
            json += ',';
        json += jsonString(status.cannotFire[i]);
    }
    return json + "]}";
}

} // namespace

std::string readyEventJson(const std::string &plugIn, const std::string &project)
{
    return "{\"event\":\"ready\",\"plugin\":" + jsonString(plugIn) +
           ",\"project\":" + jsonString(project) + "}";
}

std::string optionsEventJson(const std::vector<OptionEntry> &first,
                             const std::vector<OptionEntry> &second)
{
    return "{\"event\":\"options\",\"first\":" + optionArray(first) +
           ",\"second\":" + optionArray(second) + "}";
}

std::string stateEventJson(const std::string &server, const std::string &learn,
                           const std::optional<ListeningAddress> &listening)
{
    std::string json =
        "{\"event\":\"state\",\"server\":" + jsonString(server) + ",\"learn\":" + jsonString(learn);
    if (listening)
        json += ",\"address\":" + jsonString(listening->address) +
                ",\"port\":" + jsonString(listening->port);
    return json + "}";
}

std::string messageBoxEventJson(const std::string &text)
{
    return "{\"event\":\"messageBox\",\"text\":" + jsonString(text) + "}";
}

std::string savedEventJson()
{
    return "{\"event\":\"saved\"}";
}

std::string unsavedChangesEventJson()
{
    return "{\"event\":\"unsavedChanges\"}";
}

std::string loadedEventJson(const std::string &project)
{
    return "{\"event\":\"loaded\",\"project\":" + jsonString(project) + "}";
}

std::string errorEventJson(const std::string &command, const std::string &message)
{
    return "{\"event\":\"error\",\"command\":" + jsonString(command) +
           ",\"message\":" + jsonString(message) + "}";
}

std::string dmxOutputEventJson(bool on, const std::string &reason)
{
    return std::string("{\"event\":\"dmxOutput\",\"state\":") + (on ? "\"on\"" : "\"off\"") +
           ",\"reason\":" + jsonString(reason) + "}";
}

std::string noticeEventJson(const std::string &text)
{
    return "{\"event\":\"notice\",\"text\":" + jsonString(text) + "}";
}

std::string rowsEventJson(const std::vector<RowStatus> &rows)
{
    std::string json = "{\"event\":\"rows\",\"rows\":[";
    for (size_t i = 0; i < rows.size(); ++i) {
        if (i > 0)
            json += ',';
        json += rowJson(rows[i]);
    }
    return json + "]}";
}

std::string actionsExportedEventJson(const std::string &file)
{
    return "{\"event\":\"actionsExported\",\"file\":" + jsonString(file) + "}";
}

std::string actionsImportedEventJson(const std::string &file, const ActionsImportResult &imported)
{
    std::string json = "{\"event\":\"actionsImported\",\"file\":" + jsonString(file) +
                       ",\"actions\":" + std::to_string(imported.actions) + ",\"sharedIds\":[";
    for (size_t i = 0; i < imported.sharedIds.size(); ++i) {
        const SharedActionId &shared = imported.sharedIds[i];
        json += (i > 0 ? ",{\"id\":" : "{\"id\":") + std::to_string(shared.id) +
                ",\"rows\":" + std::to_string(shared.rows) + "}";
    }
    return json + "]}";
}

std::string levelsEventJson(int universe, const Universes::Frame &levels)
{
    std::string json =
        "{\"event\":\"levels\",\"universe\":" + std::to_string(universe) + ",\"levels\":[";
    json.reserve(json.size() + levels.size() * 4 + 2);
    for (size_t i = 0; i < levels.size(); ++i) {
        if (i > 0)
            json += ',';
        json += std::to_string(levels[i]);
    }
    return json + "]}";
}

std::string channelsEventJson(const std::vector<int> &universes, const ChannelDrivers &drivers)
{
    std::string json = "{\"event\":\"channels\",\"universes\":[";
    for (size_t i = 0; i < universes.size(); ++i) {
        if (i > 0)
            json += ',';
        json += std::to_string(universes[i]);
    }
    json += "],\"drivers\":[";
    bool first = true;
    for (const auto &[channel, names] : drivers) {
        json += first ? "{\"universe\":" : ",{\"universe\":";
        first = false;
        json += std::to_string(channel.first) + ",\"channel\":" + std::to_string(channel.second) +
                ",\"names\":[";
        for (size_t i = 0; i < names.size(); ++i) {
            if (i > 0)
                json += ',';
            json += jsonString(names[i]);
        }
        json += "]}";
    }
    return json + "]}";
}

} // namespace tarvex::host
