#include "host/objects/ControllersJson.h"

#include "host/objects/EventJson.h"

#include <cstdio>
#include <ctime>

namespace tarvex::host {
namespace {

std::string number(uint64_t value)
{
    return std::to_string(value);
}

std::string controllerArray(const std::vector<ControllerEntry> &entries)
{
    std::string json = "[";
    for (const ControllerEntry &e : entries) {
        if (json.size() > 1)
            json += ',';
        json += "{\"endpoint\":" + jsonString(e.endpoint) +
                ",\"firstSeen\":" + jsonString(utcTime(e.firstSeenMs)) +
                ",\"lastSeen\":" + jsonString(utcTime(e.lastSeenMs)) +
                ",\"datagrams\":" + number(e.datagrams) + ",\"bytes\":" + number(e.bytes) +
                ",\"failed\":" + number(e.failedDatagrams) +
                ",\"irregular\":" + number(e.irregularDatagrams) +
                ",\"controller\":" + (e.controller ? "true" : "false") +
                ",\"lastAddress\":" + jsonString(e.lastAddress) + "}";
    }
    return json + "]";
}

std::string unmatchedArray(const std::vector<UnmatchedEntry> &entries)
{
    std::string json = "[";
    for (const UnmatchedEntry &e : entries) {
        if (json.size() > 1)
            json += ',';
        json += "{\"address\":" + jsonString(e.address) + ",\"messages\":" + number(e.messages) +
                ",\"lastSeen\":" + jsonString(utcTime(e.lastSeenMs)) + "}";
    }
    return json + "]";
}

} // namespace

std::string_view changeWord(ControllerChange change)
{
    switch (change) {
    case ControllerChange::New: return "new";
    case ControllerChange::Back: return "back";
    case ControllerChange::Gone: break;
    }
    return "gone";
}

std::string_view feedbackWord(FeedbackMode mode)
{
    return mode == FeedbackMode::Others ? "others" : "off";
}

std::string_view announcementWord(AnnouncementState state)
{
    switch (state) {
    case AnnouncementState::Off: return "off";
    case AnnouncementState::Pending: return "pending";
    case AnnouncementState::Announced: return "announced";
    case AnnouncementState::Unavailable: break;
    }
    return "unavailable";
}

std::string utcTime(int64_t unixMs)
{
    const std::time_t seconds = static_cast<std::time_t>(unixMs / 1000);
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char text[80]; // room for any int the fields could hold
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<int>(unixMs % 1000));
    return text;
}

std::string controllerEventJson(const std::string &endpoint, ControllerChange change)
{
    return "{\"event\":\"controller\",\"endpoint\":" + jsonString(endpoint) + ",\"state\":\"" +
           std::string(changeWord(change)) + "\"}";
}

std::string controllersEventJson(const ControllerTables &t)
{
    return "{\"event\":\"controllers\",\"controllers\":" + controllerArray(t.controllers) +
           ",\"unmatched\":" + unmatchedArray(t.unmatched) +
           ",\"controllersEvicted\":" + number(t.controllersEvicted) +
           ",\"unmatchedEvicted\":" + number(t.unmatchedEvicted) +
           ",\"socketDrops\":" + number(t.socketDrops) + ",\"feedback\":{\"mode\":\"" +
           std::string(feedbackWord(t.feedback.mode)) + "\",\"port\":" + number(t.feedback.port) +
           ",\"minutes\":" + std::to_string(t.feedback.recentMinutes) +
           ",\"sent\":" + number(t.feedbackSent) + ",\"dropped\":" + number(t.feedbackDropped) +
           ",\"echoesHeldBack\":" + number(t.echoesHeldBack) + "},\"announcement\":{\"state\":\"" +
           std::string(announcementWord(t.announcement)) +
           "\",\"text\":" + jsonString(t.announcementText) + "}}";
}

} // namespace tarvex::host
