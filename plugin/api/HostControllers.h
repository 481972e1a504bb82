#pragma once
// What a host that knows it sees of the controllers on the network: every sender the plug-in has
// heard, the addresses no action takes, the socket's own drops, the feedback settings and the
// announcement. Optional interfaces, each found by a cast, like those of HostScripting.h.
//
// IHostControllers: offered by the plug-in's main-window object.
//
//   if (auto c = std::dynamic_pointer_cast<IHostControllers>(moduleInfo->mainWindow())) {
//       ControllerTables tables = c->controllerTables();
//       c->setFeedback({FeedbackMode::Others, 9000, 10});   // raises on values out of range
//   }
//
// IHostControllerEvents: offered by the host's helper. The plug-in says when its tables changed
// (at most once until the host reads them again, so a host refreshes a view at the pace it
// likes) and when a controller appears (a sender's message made a row execute for the first
// time), comes back after 10 s of silence, falls silent or is pushed out of the table.
//
//   if (auto events = std::dynamic_pointer_cast<IHostControllerEvents>(helper))
//       events->controller("192.168.1.20:9000", ControllerChange::New);

#include <cstdint>
#include <string>
#include <vector>

namespace tarvex {

// Feedback: a message that made rows execute is sent on to the other controllers.
enum class FeedbackMode { Off, Others };

struct FeedbackSettings {
    static constexpr uint16_t SourcePort = 0; // feedback goes to each controller's source port
    static constexpr int32_t DefaultRecentMinutes = 10;
    static constexpr int32_t MaxRecentMinutes = 24 * 60;

    FeedbackMode mode = FeedbackMode::Off;
    // The port feedback goes to, or SourcePort.
    uint16_t port = SourcePort;
    // Controllers heard within this many minutes (1 .. MaxRecentMinutes) get feedback.
    int32_t recentMinutes = DefaultRecentMinutes;

    bool operator==(const FeedbackSettings &) const = default;
};

// One sender: an IPv4 address and source port. Times are milliseconds since the Unix epoch.
// Texts received show control characters and the backslash as \xNN.
struct ControllerEntry {
    std::string endpoint; // "A.B.C.D:PORT"
    int64_t firstSeenMs = 0;
    int64_t lastSeenMs = 0;
    uint64_t datagrams = 0;
    uint64_t bytes = 0;
    uint64_t failedDatagrams = 0; // could not be decoded
    std::string lastAddress;      // of the last message received from it
    // Decoded, but not OSC as it should be written (cut short, no type tags, trailing bytes...).
    uint64_t irregularDatagrams = 0;
    // One of its messages made a row execute: it gets feedback and its coming and going is told.
    bool controller = false;
};

// Messages that no action row took (no row has their address and type tags), per address.
struct UnmatchedEntry {
    std::string address; // control characters and the backslash as \xNN
    uint64_t messages = 0;
    int64_t lastSeenMs = 0;
};

enum class AnnouncementState { Off, Pending, Announced, Unavailable };

struct ControllerTables {
    // Most recently seen first. Both tables are bounded; the least recently seen entry makes
    // room and is counted. `controllers` lists every sender, the controllers among them marked
    // (up to 256 of each: other senders never push out a controller).
    std::vector<ControllerEntry> controllers;
    std::vector<UnmatchedEntry> unmatched;
    uint64_t controllersEvicted = 0;
    uint64_t unmatchedEvicted = 0;
    // Datagrams the system dropped because the socket's receive queue was full.
    uint64_t socketDrops = 0;
    // Feedback datagrams sent, dropped (the send buffer was full), and messages held back as
    // echoes: a controller sent what it held already (what was last sent to it, or what it
    // sent itself, for that address).
    uint64_t feedbackSent = 0;
    uint64_t feedbackDropped = 0;
    uint64_t echoesHeldBack = 0;
    FeedbackSettings feedback;
    AnnouncementState announcement = AnnouncementState::Off;
    // What is announced ("Tarvex on stage-pc", port 9000) or why it cannot be.
    std::string announcementText;
};

class IHostControllers {
public:
    virtual ~IHostControllers() = default;
    virtual ControllerTables controllerTables() = 0;
    virtual FeedbackSettings feedback() = 0;
    // Takes effect at once; kept in the project with its next save. A port above 65535 cannot
    // be given; minutes outside 1 .. MaxRecentMinutes raise and change nothing.
    virtual void setFeedback(const FeedbackSettings &settings) = 0;
};

enum class ControllerChange { New, Back, Gone };

class IHostControllerEvents {
public:
    virtual ~IHostControllerEvents() = default;
    // The tables changed; said once until controllerTables() is called again.
    virtual void controllersChanged() = 0;
    // A sender became a controller (New), a controller's first decoded datagram after 10 s of
    // silence (Back), or 10 s of silence or its place in the table taken (Gone).
    virtual void controller(const std::string &endpoint, ControllerChange change) = 0;
};

} // namespace tarvex
