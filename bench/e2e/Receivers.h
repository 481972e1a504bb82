#pragma once
// The receivers of the same stream: a plain recvfrom loop, a poll loop, Qt's loop (alone, and fed
// by a receive thread), a liblo server and Tarvex's main window with one matching action row and a
// recording host target (in three variants). Each binds to 127.0.0.1 (liblo to its only interface:
// the benchmark runs in a private network namespace), starts the sender in the mode given and
// returns when the stream has been handled.

#include "bench/e2e/EndToEnd.h"

#include <functional>
#include <sys/socket.h>

namespace tarvex::bench {

Result runRecvfrom(const ModeSettings &settings);
// A Qt event loop with a socket notifier that reads each wake-up's datagrams with recvmmsg:
// what any receiver in Qt's loop pays, Tarvex's floor.
Result runQtLoop(const ModeSettings &settings);
// Qt's loop fed by a thread of its own that sleeps in recvmmsg and hands the datagrams over
// through a ring and an eventfd the loop watches: the floor of a receiver that reads off Qt's
// thread but must still handle each datagram in it (where every host call runs).
Result runQtWithReceiveThread(const ModeSettings &settings);
Result runPoll(const ModeSettings &settings);
Result runLiblo(const ModeSettings &settings);
// The plug-in's controllers' view beside the dispatch: as shipped (traffic tables, feedback
// off), without it (no tables at all), or with feedback on among three controllers (the sender
// and two sockets of the receiving process whose hello ran a row first).
enum class TarvexVariant { AsShipped, NoTables, FeedbackToTwoOthers };
// warm: one datagram that matches no row goes first (the first datagram loads the editor).
Result runTarvex(const ModeSettings &settings, TarvexVariant variant = TarvexVariant::AsShipped,
                 bool warm = true);

// Starts the sender on `port` and runs Qt's loop until the stream has been handled, measuring
// what the receiver that listens there costs. In backlog rounds, `draining` learns when each
// drain begins (true) and ends (false).
Result receiveInQtLoop(uint16_t port, const ModeSettings &settings, const std::string &impl,
                       const std::function<void(bool)> &draining = {});

// Buffers and headers for one recvmmsg of up to Size datagrams. Not copyable: the headers point
// into the object.
struct DatagramBatch {
    static constexpr unsigned Size = 16;
    uint8_t buffers[Size][2048];
    mmsghdr headers[Size]{};
    iovec vectors[Size];

    DatagramBatch()
    {
        for (unsigned i = 0; i < Size; ++i) {
            vectors[i] = {buffers[i], sizeof buffers[i]};
            headers[i].msg_hdr.msg_iov = &vectors[i];
            headers[i].msg_hdr.msg_iovlen = 1;
        }
    }
    DatagramBatch(const DatagramBatch &) = delete;
    DatagramBatch &operator=(const DatagramBatch &) = delete;
};

// A socket bound to 127.0.0.1 on a free port, with the big receive buffer and a 20 ms timeout.
int boundSocket(uint16_t &port);
// Every datagram queued in the socket, read in batches; false when there was none.
bool receiveQueued(int fd);

} // namespace tarvex::bench
