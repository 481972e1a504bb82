#pragma once
// The headless host's lines about the controllers on the network, one JSON object per line:
//
//   {"event":"controller","endpoint":"192.168.1.20:9000","state":"new"}
//   {"event":"controllers","controllers":[{"endpoint":"192.168.1.20:9000",
//     "firstSeen":"2026-12-09T20:15:02.117Z","lastSeen":"2026-12-09T20:16:40.003Z",
//     "datagrams":812,"bytes":16240,"failed":0,"irregular":0,"controller":true,
//     "lastAddress":"/fader1"}],
//    "unmatched":[{"address":"/fader9","messages":3,"lastSeen":"2026-12-09T20:16:39.870Z"}],
//    "controllersEvicted":0,"unmatchedEvicted":0,"socketDrops":0,
//    "feedback":{"mode":"others","port":0,"minutes":10,"sent":1624,"dropped":0,
//                "echoesHeldBack":0},
//    "announcement":{"state":"announced","text":"announced \"Tarvex on stage-pc\" ..."}}
//
// Tables are most recently seen first; times are UTC. "controllers" lists every sender, with
// "controller" true for those whose messages made a row execute. A feedback port of 0 is each
// controller's own source port.

#include "plugin/api/HostControllers.h"

#include <string>
#include <string_view>

namespace tarvex::host {

std::string controllerEventJson(const std::string &endpoint, ControllerChange change);
std::string controllersEventJson(const ControllerTables &tables);

// The words of the lines, also what the window shows.
std::string_view changeWord(ControllerChange change);   // "new", "back", "gone"
std::string_view feedbackWord(FeedbackMode mode);       // "off", "others"
std::string_view announcementWord(AnnouncementState s); // "off", "pending", "announced", ...
// "2026-12-09T20:15:02.117Z" for milliseconds since the Unix epoch.
std::string utcTime(int64_t unixMs);

} // namespace tarvex::host
