#pragma once
// PageControl: the text messages a page or an OSCQuery client sends over its WebSocket. A
// control message is what the page's Control view asks the host to send, written as the OSC
// datagram a controller would send:
//
//   {"send":"/fader1","type":"f","args":[0.5]}      -> the message /fader1 ,f 0.5
//   {"send":"/go","type":"","args":[]}              -> /go without arguments
//
// Types: "f" (32-bit float), "i" (32-bit integer), "s" (text), one argument each, in order.
// Anything else is refused with a reason: the page is a controller like any other, and no
// message of it reaches the plug-in that an OSC sender could not have sent.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::host {

struct ControlDatagram {
    std::vector<uint8_t> bytes; // empty when refused
    std::string error;          // why, for the page
};

// OSCQuery's value streaming: {"COMMAND":"LISTEN","DATA":"/fader1"} asks for the values sent to
// an address from now on, IGNORE stops them.
struct StreamCommand {
    bool listen = true; // false: IGNORE
    std::string path;
};

// One message, read once: a control message (one with "send"; its datagram, or why it is
// refused), {"pin":"483920"} (the web PIN a page from another machine was given), a LISTEN or
// IGNORE, or none of these (not JSON either), which is left alone.
struct PageMessage {
    enum class Kind { Other, Control, Pin, Stream };
    Kind kind = Kind::Other;
    ControlDatagram control;
    std::string pin;
    StreamCommand stream;
};
PageMessage readPageMessage(std::string_view text);

} // namespace tarvex::host
