// tarvex-bench-e2e: end-to-end throughput and latency on 127.0.0.1. A forked sender sends a
// stream of "/fader1 f" datagrams; Tarvex's main window (one matching row, a host target that
// stamps its execute), a liblo server and a plain recvfrom loop each handle the same stream in
// the same run; for burst and backlog also Tarvex without its traffic tables (tarvex-no-tables)
// and with feedback on among three controllers, the sender and two idle ones (tarvex-feedback).
// Modes:
//   burst     500 000 datagrams at full speed (sendmmsg batches): handled rate and loss;
//   paced     3 000 datagrams at 1 000 per second: latency under a steady load;
//   pingpong  20 000 datagrams, each sent once the one before has been handled: latency;
//   backlog   100 000 datagrams in rounds of 4 000, queued while the receiver waits and then
//             drained: the receiver's capacity, whatever the sender can do on a busy machine.
// One JSON object per line and implementation:
//   {"impl": "tarvex", "mode": "burst", "handled_per_s": ..., "sent": ..., "lost": ...,
//    "p50_us": ..., "p99_us": ..., "cpu_us": ...}
// cpu_us is the receiving process's CPU time per handled datagram: on a machine where the sender
// cannot outrun the receivers, it still tells their capacity apart.
// Latency runs from the send to the handling (the target's execute for Tarvex). The program
// moves into a private network namespace when it may (root), so that liblo's server, which
// listens on every interface, has only the loopback; without one liblo is left out.
//
// Each line also carries "round", "allocs" (heap allocations per handled datagram) and
// "quantiles_us" (the latency at 0 %, 1 %, ... 100 %). "poll" is a poll loop that reads each
// wake-up's datagrams with recvmmsg: what any receiver woken by an event loop pays at least;
// "qt" does the same in Qt's event loop (a QSocketNotifier): what any receiver in Qt pays;
// "qt-thread" reads in a thread of its own and hands each datagram to Qt's loop: what a receiver
// that reads off Qt's thread but handles in it pays at least.
// Rounds alternate the receivers (recvfrom, poll, qt, qt-thread, liblo, tarvex, then the next
// mode), so that a busy machine weighs on all of them alike; compare the ratios within a round.
//
//   tarvex-bench-e2e [--quick] [--rounds N]
//                    [--only tarvex|tarvex-no-tables|tarvex-feedback|liblo|recvfrom|poll|qt|
//                            qt-thread]
//                    [--mode burst|paced|...] [--glib] [--cold]
//   (--quick: a tenth of every stream; --only, --mode: one implementation or mode, for
//   profiling; --glib: Qt's glib event dispatcher instead of the one the host uses; --cold: no
//   datagram before the stream, so the first one loads the editor within the figures)

#include "bench/e2e/Receivers.h"

#include "host/app/EventDispatcher.h"

#include <QApplication>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <net/if.h>
#include <sched.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace tarvex::bench;

namespace {

// A network namespace of our own with its loopback up; false when the system refuses.
bool privateNetwork()
{
    if (::unshare(CLONE_NEWNET) != 0)
        return false;
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP | IFF_RUNNING);
    up = up && ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    ::close(fd);
    return up;
}

void report(const Result &result, int round)
{
    std::cout << toJson(result, round) << std::endl;
}

} // namespace

int main(int argc, char **argv)
{
    bool quick = false, glib = false, cold = false;
    int rounds = 1;
    std::string only, onlyMode;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0)
            quick = true;
        else if (std::strcmp(argv[i], "--glib") == 0)
            glib = true;
        else if (std::strcmp(argv[i], "--cold") == 0)
            cold = true;
        else if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc)
            only = argv[++i];
        else if (std::strcmp(argv[i], "--mode") == 0 && i + 1 < argc)
            onlyMode = argv[++i];
    }
    auto wanted = [&](const char *impl) { return only.empty() || only == impl; };
    bool isolated = privateNetwork();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!glib)
        tarvex::useLeanEventDispatcher();
    int qtArgc = 1;
    QApplication app(qtArgc, argv);

    uint32_t scale = quick ? 10 : 1;
    const ModeSettings modes[] = {
        {Mode::Burst, 500'000 / scale, 0, 10'000},
        {Mode::Paced, 3'000 / scale, 1'000, 10'000},
        {Mode::PingPong, 20'000 / scale, 0, 10'000},
        {Mode::Backlog, 100'000 / scale, 0, 20'000},
    };
    if (!isolated)
        std::cerr << "no private network namespace (needs root): liblo is left out, since its "
                     "server would listen on every interface\n";
    try {
        for (int round = 1; round <= rounds; ++round) {
            for (const ModeSettings &mode : modes) {
                if (!onlyMode.empty() && onlyMode != modeName(mode.mode))
                    continue;
                if (wanted("recvfrom"))
                    report(runRecvfrom(mode), round);
                if (wanted("poll"))
                    report(runPoll(mode), round);
                if (wanted("qt"))
                    report(runQtLoop(mode), round);
                if (wanted("qt-thread"))
                    report(runQtWithReceiveThread(mode), round);
                if (isolated && wanted("liblo"))
                    report(runLiblo(mode), round);
                if (wanted("tarvex"))
                    report(runTarvex(mode, TarvexVariant::AsShipped, !cold), round);
                // What the controllers' view costs: its tables, and feedback to two more
                // controllers.
                const bool capacity = mode.mode == Mode::Backlog || mode.mode == Mode::Burst;
                if (capacity && wanted("tarvex-no-tables"))
                    report(runTarvex(mode, TarvexVariant::NoTables, !cold), round);
                if (capacity && wanted("tarvex-feedback"))
                    report(runTarvex(mode, TarvexVariant::FeedbackToTwoOthers, !cold), round);
            }
        }
    } catch (const std::exception &e) {
        std::cerr << "tarvex-bench-e2e: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
