// Tarvex as the host runs it: the main window loaded through the runtime, one action row for
// /fader1 whose range maps the number onto itself, and a host target that stamps the time of
// its execute. Everything runs in Qt's event loop.

#include "bench/e2e/Receivers.h"

#include "bench/BenchHost.h"

#include "net/frmMainOSC.h"
#include "osc/OSCReader.h"
#include "plugin/PlugInRuntime.h"
#include "tests/support/ActionRows.h"
#include "tests/support/FreePort.h"

#include <QCoreApplication>

#include <QEventLoop>
#include <QTimer>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
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

VarArray identityRow()
{
    using namespace tarvex::test;
    const std::string top = std::to_string(MaxDatagrams);
    return table(
        {actionRow("/fader1", {"f"},
                   {{condition("any", range("", "0", top, "0", top, "0", top), target("Ch1"))}})});
}

// Runs the loop until the stream has been handled; returns the process's CPU time at the end.
double runStream(QEventLoop &loop)
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
    return processCpuSeconds();
}

// Backlog rounds: a zero timer holds the loop while the sender queues a round, then lets the
// loop drain it. A round is drained when two turns of the loop in a row handled nothing (the
// socket delivers on every turn while it holds datagrams). Returns the CPU time of the drains.
double drainRounds(QEventLoop &loop)
{
    QTimer turn;
    bool draining = false;
    int idleTurns = 0;
    uint32_t lastHandled = 0;
    double cpu = 0, drainStart = 0;
    QObject::connect(&turn, &QTimer::timeout, [&] {
        uint32_t handled = sharedRecord().handled.load();
        if (draining) {
            idleTurns = handled == lastHandled ? idleTurns + 1 : 0;
            lastHandled = handled;
            if (idleTurns < 2)
                return;
            cpu += processCpuSeconds() - drainStart;
            draining = false;
        }
        if (!waitForRound()) {
            loop.quit();
            return;
        }
        draining = true;
        idleTurns = 0;
        lastHandled = sharedRecord().handled.load();
        drainStart = processCpuSeconds();
    });
    turn.start(0);
    loop.exec();
    return cpu;
}

// A controller that has said hello to the server and then only receives (and never reads, so
// its queue fills and the rest is dropped by the system, as for a phone that went to sleep).
class IdleController {
public:
    explicit IdleController(uint16_t serverPort) : m_fd(::socket(AF_INET, SOCK_DGRAM, 0))
    {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(serverPort);
        const uint8_t hello[] = {'/', 'h', 'i', 0, ',', 0, 0, 0};
        ::sendto(m_fd, hello, sizeof hello, 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
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

Result runTarvex(const ModeSettings &settings, TarvexVariant variant)
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
        runtime.state().actionTable.replace(identityRow());
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
            while (runtime.controllers().tables().controllers.size() < 2)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }

        sharedRecord().reset();
        double cpu = 0;
        double cpuBefore = processCpuSeconds();
        int sender = startSender(port, settings);
        QEventLoop loop;
        if (settings.mode == Mode::Backlog)
            cpu = drainRounds(loop);
        else
            cpu = runStream(loop) - cpuBefore;
        joinSender(sender);
        result = summarize(implName(variant), settings.mode, cpu);
    }
    std::filesystem::remove_all(folder);
    return result;
}

} // namespace tarvex::bench
