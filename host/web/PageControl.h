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
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::host {

struct ControlDatagram {
    std::vector<uint8_t> bytes; // empty when refused
    std::string error;          // why, for the page
};

// Whether the message is a control message at all (has "send"); the rest is for others to read.
bool isControlMessage(std::string_view text);
ControlDatagram controlDatagram(std::string_view text);

// OSCQuery's value streaming: {"COMMAND":"LISTEN","DATA":"/fader1"} asks for the values sent to
// an address from now on, IGNORE stops them. Nothing for any other message.
struct StreamCommand {
    bool listen = true; // false: IGNORE
    std::string path;
};
std::optional<StreamCommand> streamCommand(std::string_view text);

// {"pin":"483920"}: the web PIN a page from another machine was given; nothing for any other.
std::optional<std::string> pinOffered(std::string_view text);

} // namespace tarvex::host
