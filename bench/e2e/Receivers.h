#pragma once
// The receivers of the same stream: a plain recvfrom loop, a poll loop, Qt's loop, a liblo server
// and Tarvex's main window with one matching action row and a recording host target (in three
// variants). Each binds to 127.0.0.1 (liblo to its only interface: the benchmark runs in a private
// network namespace), starts the sender in the mode given and returns when the stream has been
// handled.

#include "bench/e2e/EndToEnd.h"

namespace tarvex::bench {

Result runRecvfrom(const ModeSettings &settings);
// A Qt event loop with a socket notifier that reads each wake-up's datagrams with recvmmsg:
// what any receiver in Qt's loop pays, Tarvex's floor.
Result runQtLoop(const ModeSettings &settings);
Result runPoll(const ModeSettings &settings);
Result runLiblo(const ModeSettings &settings);
// The plug-in's controllers' view beside the dispatch: as shipped (traffic tables, feedback
// off), without it (no tables at all), or with feedback on to two more controllers (sockets of
// the receiving process that said hello first; the sender is the third).
enum class TarvexVariant { AsShipped, NoTables, FeedbackToTwoOthers };
// warm: one datagram that matches no row goes first (the first datagram loads the editor).
Result runTarvex(const ModeSettings &settings, TarvexVariant variant = TarvexVariant::AsShipped,
                 bool warm = true);

// A socket bound to 127.0.0.1 on a free port, with the big receive buffer and a 20 ms timeout.
int boundSocket(uint16_t &port);
// Every datagram queued in the socket, read in batches; false when there was none.
bool receiveQueued(int fd);

} // namespace tarvex::bench
