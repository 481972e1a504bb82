#pragma once
// WebRoutes: what the web server answers to one HTTP request, decided without Qt or sockets
// (docs/web.md, "What is served"). A browser asking for HTML gets the page; anything else gets
// the OSCQuery JSON of the show.
//
//   WebResponse r = answerRequest({"GET", "/fader1", "VALUE", "*/*"}, show);
//   // r.status 200, r.contentType "application/json", r.body {"VALUE": [0.5]}
//
// The page's files are named, not read: the server looks r.resource up among the files compiled
// into it.

#include "host/web/OscQueryNamespace.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::host {

// Where an OSC server listens; with an error text instead when there is none to send to.
struct OscDestination {
    std::string address; // an address to send to ("127.0.0.1"), never "0.0.0.0"
    uint16_t port = 0;
    std::string error;
};

// What the web server serves of the show; the host implements it from its session.
class WebShow {
public:
    virtual ~WebShow() = default;
    // The plug-in's action rows as the rows view reads them.
    virtual std::vector<ActionRow> rows() = 0;
    // What the plug-in was last sent per address, by the pages or by the others as its feedback
    // tells them; the web server records into it.
    virtual ReceivedValues &receivedValues() = 0;
    virtual OscQueryHost oscQueryHost() = 0;
    // What the page shows live, as the headless host's JSON event lines: the same events in the
    // same places from call to call (DMX output, rows, controllers, channels, then the levels of
    // each universe worth showing), so that only those that changed need sending.
    virtual std::vector<std::string> pageEvents() = 0;
    // Where the pages' control messages go: the plug-in's OSC server.
    virtual OscDestination plugInServer() = 0;
};

struct WebRequest {
    std::string method; // "GET"
    std::string path;   // percent-decoded
    std::string query;  // without the "?", percent-decoded
    std::string accept; // the Accept header, "" without one
};

struct WebResponse {
    int status = 200;
    std::string contentType; // "" with no body
    std::string body;
    std::string resource; // the page's file to send as the body ("index.html"), or ""
};

// Whether the request asks for the page: ?HTML, or an Accept header that lists text/html.
bool wantsPage(const WebRequest &request);
WebResponse answerRequest(const WebRequest &request, WebShow &show);

} // namespace tarvex::host
