#pragma once
// The receivers of the same stream: a plain recvfrom loop, a poll loop, a liblo server and
// Tarvex's main window with one matching action row and a recording host target. Each binds to
// 127.0.0.1 (liblo to its only interface: the benchmark runs in a private network namespace),
// starts the sender in the mode given and returns when the stream has been handled.

#include "bench/e2e/EndToEnd.h"

namespace tarvex::bench {

Result runRecvfrom(const ModeSettings &settings);
Result runPoll(const ModeSettings &settings);
Result runLiblo(const ModeSettings &settings);
// warm: one datagram that matches no row goes first (the first datagram loads the editor).
Result runTarvex(const ModeSettings &settings, bool warm = true);

} // namespace tarvex::bench
