#pragma once
// The edge between a window's event handler and Qt's event loop. Qt cannot carry an exception
// through its loop, so every handler connected to a signal runs inside runEvent: a failure the
// handler does not deal with itself ends that one event, is written to the console as a warning
// and the program goes on with the next event. Handlers whose failures are expected and silent
// (a datagram that cannot be decoded is simply lost) catch them themselves, before this edge.
//
//   connect(Start, &QPushButton::clicked, this, [this] { runEvent("Start_Click", [this] {
//       Start_Click(); }); });

#include <exception>
#include <string_view>

namespace tarvex {

// Writes one warning line naming the event and the failure.
void reportUnhandledFailure(std::string_view event, std::string_view description) noexcept;

template <class Handler> void runEvent(std::string_view event, Handler &&handler) noexcept
{
    try {
        handler();
    } catch (const std::exception &e) {
        reportUnhandledFailure(event, e.what());
    } catch (...) {
        reportUnhandledFailure(event, "unknown failure");
    }
}

} // namespace tarvex
