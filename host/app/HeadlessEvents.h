#pragma once
// The JSON lines of the headless host beyond the objects' own (EventJson.h), one object per line
// without the line break:
//
//   {"event":"ready","plugin":"Tarvex","project":"/shows/club/club.tarvex"}
//   {"event":"options","first":[{"caption":"1. /fader1","value":"7"}],"second":[...]}
//   {"event":"state","server":"Stop","learn":"Lernen","address":"127.0.0.1","port":"12345"}
//   {"event":"messageBox","text":"..."}
//   {"event":"saved"}
//   {"event":"unsavedChanges"}
//   {"event":"loaded","project":"/shows/other/other.tarvex"}
//   {"event":"error","command":"load","message":"..."}
//   {"event":"dmxOutput","state":"off","reason":"no olad on 127.0.0.1:9010 (is olad running?)"}
//   {"event":"notice","text":"Cannot read /shows/club/TarvexSettings.dat (...). It was kept..."}
//   {"event":"rows","rows":[{"row":1,"address":"/fader1",...,"hits":3,...,"cannotFire":[]}]}
//   {"event":"actionsExported","file":"/tmp/actions.json"}
//   {"event":"actionsImported","file":"/tmp/actions.json","actions":5}
//   {"event":"levels","universe":1,"levels":[0,255,...]}              (all 512 channels)
//   {"event":"channels","universes":[1,2],"drivers":[{"universe":1,"channel":7,
//     "names":["Spot (row 1)"]}]}

#include "host/app/ChannelLevels.h"
#include "host/objects/ActionRows.h"
#include "host/objects/HostOptionList.h"
#include "plugin/api/HostActions.h"

#include <optional>
#include <string>
#include <vector>

namespace tarvex::host {

std::string readyEventJson(const std::string &plugIn, const std::string &project);
std::string optionsEventJson(const std::vector<OptionEntry> &first,
                             const std::vector<OptionEntry> &second);
// The main window's address and port boxes, as they read.
struct ListeningAddress {
    std::string address;
    std::string port;
};

// Without an address (a plug-in that offers none) the state has the two captions only.
std::string stateEventJson(const std::string &server, const std::string &learn,
                           const std::optional<ListeningAddress> &listening = std::nullopt);
std::string messageBoxEventJson(const std::string &text);
std::string savedEventJson();
std::string unsavedChangesEventJson();
std::string loadedEventJson(const std::string &project);
std::string errorEventJson(const std::string &command, const std::string &message);
std::string dmxOutputEventJson(bool on, const std::string &reason);
std::string noticeEventJson(const std::string &text);
std::string rowsEventJson(const std::vector<RowStatus> &rows);
std::string actionsExportedEventJson(const std::string &file);
// The number of actions the import left and every number several rows share, with how many.
std::string actionsImportedEventJson(const std::string &file, const ActionsImportResult &imported);
std::string levelsEventJson(int universe, const Universes::Frame &levels);
// The universes worth showing and, for each channel a row writes to, the rows' names.
std::string channelsEventJson(const std::vector<int> &universes, const ChannelDrivers &drivers);

} // namespace tarvex::host
