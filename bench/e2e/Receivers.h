#pragma once
// The three receivers of the same stream: a plain recvfrom loop, a liblo server and Tarvex's
// main window with one matching action row and a recording host target (in three variants). Each
// binds to 127.0.0.1 (liblo to its only interface: the benchmark runs in a private network
// namespace), starts the sender in the mode given and returns when the stream has been handled.

#include "bench/e2e/EndToEnd.h"

namespace tarvex::bench {

Result runRecvfrom(const ModeSettings &settings);
Result runLiblo(const ModeSettings &settings);
// The plug-in's controllers' view beside the dispatch: as shipped (traffic tables, feedback
// off), without it (no tables at all), or with feedback on to two more controllers (sockets of
// the receiving process that said hello first; the sender is the third).
enum class TarvexVariant { AsShipped, NoTables, FeedbackToTwoOthers };
Result runTarvex(const ModeSettings &settings, TarvexVariant variant = TarvexVariant::AsShipped);

} // namespace tarvex::bench
