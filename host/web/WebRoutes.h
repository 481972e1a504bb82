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

// What the web server serves of the show; the host implements it from its session.
class WebShow {
public:
    virtual ~WebShow() = default;
    // The plug-in's action rows as the rows view reads them.
    virtual std::vector<ActionRow> rows() = 0;
    virtual const ReceivedValues &receivedValues() = 0;
    virtual OscQueryHost oscQueryHost() = 0;
    // What the page shows live, as the headless host's JSON event lines: the same events in the
    // same places from call to call (DMX output, rows, controllers, channels, then the levels of
    // each universe worth showing), so that only those that changed need sending.
    virtual std::vector<std::string> pageEvents() = 0;
    // Sends one OSC datagram to the plug-in's OSC server, as a controller on the network would;
    // an error text for the page when it cannot, else "".
    virtual std::string sendToPlugIn(const std::vector<uint8_t> &datagram) = 0;
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
