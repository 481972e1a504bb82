// Tarvex as the host runs it, and Qt's loop alone beside it: the main window loaded through the
// runtime, one action row for /fader1 whose range maps the number onto itself, and a host target
// that stamps the time of its execute. Everything runs in Qt's event loop. One datagram that
// matches no row comes first, since the first datagram of a running host loads the editor.

#include "bench/e2e/Receivers.h"

#include "bench/BenchHost.h"

#include "net/frmMainOSC.h"
#include "osc/OSCReader.h"
#include "plugin/PlugInRuntime.h"
#include "tests/support/ActionRows.h"
#include "tests/support/FreePort.h"
#include "tests/support/OscBuilder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <stdexcept>

namespace tarvex::bench {
namespace {

// The host target stamps the time each numbered datagram reached its execute.
struct StampHandled {
    static void executed(int32_t value)
    {
        sharedRecord().markHandled(static_cast<uint32_t>(value));
    }
};

// The stream's row, and a row for the idle controllers' hello (which runs a row, so that they
// are controllers): its level is beyond every datagram's number, so it stamps nothing.
VarArray identityRows()
{
    using namespace tarvex::test;
    const std::string top = std::to_string(MaxDatagrams);
    return table(
        {actionRow("/fader1", {"f"},
                   {{condition("any", range("", "0", top, "0", top, "0", top), target("Ch1"))}}),
         actionRow("/hello", {"f"},
                   {{condition("any", range("", "0", "1", top, top, "0", top), target("Ch2"))}})});
}

// Runs the loop until the stream has been handled.
void runStream(QEventLoop &loop)
{
    QTimer watch;
    uint32_t lastHandled = 0;
    uint64_t lastChange = nowNs();
    QObject::connect(&watch, &QTimer::timeout, [&] {
        SharedRecord &r = sharedRecord();
        uint32_t handled = r.handled.load();
        if (handled != lastHandled) {
            lastHandled = handled;
            lastChange = nowNs();
        }
        if (r.senderDone.load() &&
            (handled >= r.sent.load() || nowNs() - lastChange > 300'000'000u))
            loop.quit();
    });
    watch.start(20);
    loop.exec();
}

// Backlog rounds: a zero timer holds the loop while the sender queues a round, then lets the
// loop drain it. A round is drained when every datagram sent so far has been handled, or when
// nothing was handled for a while (some were lost). The cost counts the drains; `draining`
// learns when each drain begins (true) and ends (false).
void drainRounds(QEventLoop &loop, ReceiverCost &cost, const std::function<void(bool)> &draining)
{
    constexpr uint64_t GiveUpNs = 50'000'000;
    QTimer turn;
    bool inDrain = false;
    uint32_t lastHandled = 0;
    uint64_t lastChange = 0;
    QObject::connect(&turn, &QTimer::timeout, [&] {
        SharedRecord &r = sharedRecord();
        uint32_t handled = r.handled.load();
        if (inDrain) {
            if (handled != lastHandled) {
                lastHandled = handled;
                lastChange = nowNs();
            }
            if (handled < r.sent.load() && nowNs() - lastChange < GiveUpNs)
                return;
            cost.stop();
            inDrain = false;
            if (draining)
                draining(false);
        }
        if (!waitForRound()) {
            loop.quit();
            return;
        }
        inDrain = true;
        lastHandled = r.handled.load();
        lastChange = nowNs();
        cost.start();
        if (draining)
            draining(true);
    });
    turn.start(0);
    loop.exec();
}

// The first datagram loads the editor (hidden), as in the host; a datagram that matches no row
// does it before the stream, so the figures are those of a running show. Waits boundedly.
void warmUp(PlugInRuntime &runtime, uint16_t port)
{
    const std::vector<uint8_t> bytes = test::OscBuilder().message("/warm-up", ",f").f32(0).bytes();
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
    ::close(fd);
    QElapsedTimer waited;
    waited.start();
    while (!runtime.windows().loadedSettingsWindow() && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

// A controller that has moved a fader once (its hello runs a row) and then only receives (and
// never reads, so its queue fills and the rest is dropped by the system, as for a phone that
// went to sleep).
class IdleController {
public:
    explicit IdleController(uint16_t serverPort) : m_fd(::socket(AF_INET, SOCK_DGRAM, 0))
    {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(serverPort);
        const std::vector<uint8_t> hello =
            test::OscBuilder().message("/hello", ",f").f32(0).bytes();
        ::sendto(m_fd, hello.data(), hello.size(), 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
    }
    ~IdleController() { ::close(m_fd); }

private:
    int m_fd;
};

const char *implName(TarvexVariant variant)
{
    switch (variant) {
    case TarvexVariant::AsShipped: return "tarvex";
    case TarvexVariant::NoTables: return "tarvex-no-tables";
    case TarvexVariant::FeedbackToTwoOthers: break;
    }
    return "tarvex-feedback";
}

} // namespace

Result receiveInQtLoop(uint16_t port, const ModeSettings &settings, const std::string &impl,
                       const std::function<void(bool)> &draining)
{
    sharedRecord().reset();
    ReceiverCost cost;
    int sender = startSender(port, settings);
    QEventLoop loop;
    if (settings.mode == Mode::Backlog) {
        drainRounds(loop, cost, draining);
    } else {
        cost.start();
        runStream(loop);
        cost.stop();
    }
    joinSender(sender);
    return summarize(impl, settings.mode, cost);
}

Result runQtLoop(const ModeSettings &settings)
{
    uint16_t port = 0;
    int fd = boundSocket(port);
    QSocketNotifier notifier(fd, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [fd] { receiveQueued(fd); });
    Result result = receiveInQtLoop(port, settings, "qt");
    ::close(fd);
    return result;
}

Result runTarvex(const ModeSettings &settings, TarvexVariant variant, bool warm)
{
    std::string folder = (std::filesystem::temp_directory_path() / "tarvex-e2e-XXXXXX").string();
    if (!::mkdtemp(folder.data()))
        throw std::runtime_error("mkdtemp failed");
    Result result;
    {
        PlugInRuntime runtime(std::make_unique<ConsoleMessageBoxes>(std::cerr));
        runtime.state().hostHelper =
            std::make_shared<BenchHelper<StampHandled>>(folder + "/show.zpr");
        frmMainOSC &window = runtime.windows().mainWindow();
        runtime.state().actionTable.replace(identityRows());
        uint16_t port = test::freeUdpPort();
        window.Port->setText(QString::number(port));
        window.Start_Click();
        if (window.caption() != "Stop")
            throw std::runtime_error("the server did not start");
        std::vector<std::unique_ptr<IdleController>> others;
        if (variant == TarvexVariant::NoTables)
            runtime.state().dispatchListener = nullptr;
        if (variant == TarvexVariant::FeedbackToTwoOthers) {
            runtime.controllers().setFeedback(
                {FeedbackMode::Others, FeedbackSettings::SourcePort, 10});
            for (int i = 0; i < 2; ++i)
                others.push_back(std::make_unique<IdleController>(port));
            // Their hellos load the editor as the warm-up does; the stream's sender is the third
            // controller.
            while (runtime.controllers().tables().controllers.size() < 2)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        } else if (warm) {
            warmUp(runtime, port);
        }

        result = receiveInQtLoop(port, settings, implName(variant));
    }
    std::filesystem::remove_all(folder);
    return result;
}

} // namespace tarvex::bench
