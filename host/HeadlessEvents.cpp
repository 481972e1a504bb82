#include "host/HeadlessEvents.h"

#include "host/EventJson.h"

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

} // namespace tarvex::host
