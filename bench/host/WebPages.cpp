// tarvex-bench-web: the show's web page under load. The real host and plug-in, headless, with
// --web on 127.0.0.1 (any free port); a thread of ours sends /fader1 at 1 000 datagrams a second,
// each a new level of universe 1 channel 7, first with no page connected, then with 10 pages:
// WebSockets on loopback that read the levels events as the page does.
//
// Per run, one JSON line: the OSC path's handled rate (the host's "execute" lines a second), the
// host's CPU, and the time from a datagram to its "execute" line; with pages, each page's levels
// updates a second (the server sends at most 25) and the time from a datagram to the first levels
// message on that page that shows its level or a later datagram's (the worst page's p50 and p99).

#include "bench/host/BenchShow.h"
#include "bench/host/HostProcess.h"
#include "bench/host/Measures.h"
#include "tests/support/OscBuilder.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <QUrl>
#include <QWebSocket>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <netinet/in.h>
#include <regex>
#include <sys/socket.h>
#include <unistd.h>

using namespace tarvex::bench;
using namespace std::chrono_literals;

namespace {

constexpr int Pages = 10;
constexpr auto Period = 1ms;   // 1 000 datagrams a second
constexpr int WarmUp = 1000;   // datagrams sent before the measured ones
constexpr int Measured = 5000; // five seconds
constexpr int MaxUpdatesPerSecond = 25;
constexpr int LevelsPerCycle = 254; // the levels sent go 1..254 and round again

struct Sent {
    Clock::time_point at;
    uint8_t level;
};

struct Shown {
    Clock::time_point at;
    uint8_t level;
};

double milliseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(p * values.size()))];
}

// Sends /fader1 with levels that never repeat the one before, on a fixed schedule (a late
// datagram does not push the later ones back).
class Sender {
public:
    explicit Sender(uint16_t port) : m_fd(::socket(AF_INET, SOCK_DGRAM, 0))
    {
        m_to.sin_family = AF_INET;
        m_to.sin_port = htons(port);
        m_to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    }
    ~Sender() { ::close(m_fd); }
    Sender(const Sender &) = delete;
    Sender &operator=(const Sender &) = delete;

    std::vector<Sent> send(int count)
    {
        std::vector<Sent> sent;
        sent.reserve(static_cast<size_t>(count));
        Clock::time_point next = Clock::now();
        for (int i = 0; i < count; ++i) {
            std::this_thread::sleep_until(next);
            next += Period;
            m_level = static_cast<uint8_t>(m_level % LevelsPerCycle + 1);
            const auto bytes =
                tarvex::test::OscBuilder().message("/fader1", ",f").f32(m_level / 255.0f).bytes();
            sent.push_back({Clock::now(), m_level});
            ::sendto(m_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr *>(&m_to),
                     sizeof m_to);
        }
        return sent;
    }

private:
    int m_fd;
    sockaddr_in m_to{};
    uint8_t m_level = 0;
};

// Channel 7 of universe 1 in a levels event; nothing for any other message.
std::optional<uint8_t> channel7(const QString &text)
{
    static const QString prefix = QStringLiteral(R"({"event":"levels","universe":1,"levels":[)");
    if (!text.startsWith(prefix))
        return std::nullopt;
    bool isNumber = false;
    const int level = text.mid(prefix.size()).section(u',', 6, 6).toInt(&isNumber);
    if (!isNumber)
        return std::nullopt;
    return static_cast<uint8_t>(level);
}

// One page's WebSocket: every levels message stamped as it arrives.
class Page {
public:
    explicit Page(const QUrl &url)
    {
        QObject::connect(&m_socket, &QWebSocket::textMessageReceived, [this](const QString &text) {
            const Clock::time_point at = Clock::now();
            if (const std::optional<uint8_t> level = channel7(text))
                m_shown.push_back({at, *level});
        });
        m_socket.open(url);
    }
    bool hasLevels() const { return !m_shown.empty(); }
    const std::vector<Shown> &shown() const { return m_shown; }

private:
    QWebSocket m_socket;
    std::vector<Shown> m_shown;
};

// Runs Qt's loop until the condition holds (asked every 5 ms) or the bound passes.
bool runLoopUntil(const std::function<bool()> &done, std::chrono::milliseconds bound)
{
    QEventLoop loop;
    QTimer ask;
    QObject::connect(&ask, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    ask.start(5ms);
    QTimer::singleShot(bound, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

// The datagram a levels message shows: the latest one sent before it with its level.
std::optional<size_t> shownDatagram(const std::vector<Sent> &sent, const Shown &shown)
{
    auto after = std::upper_bound(sent.begin(), sent.end(), shown.at,
                                  [](Clock::time_point at, const Sent &s) { return at < s.at; });
    for (int back = 0; back < LevelsPerCycle && after != sent.begin(); ++back)
        if ((--after)->level == shown.level)
            return static_cast<size_t>(after - sent.begin());
    return std::nullopt;
}

// Per measured datagram, the time to the first message of the page that shows it or a later one.
std::vector<double> pageLatencies(const std::vector<Sent> &sent, const std::vector<Shown> &shown)
{
    std::vector<double> latencies;
    size_t next = WarmUp; // the first datagram no message has shown yet
    for (const Shown &message : shown) {
        const std::optional<size_t> index = shownDatagram(sent, message);
        for (; index && next <= *index; ++next)
            latencies.push_back(milliseconds(message.at - sent[next].at));
    }
    return latencies;
}

struct Run {
    std::vector<Sent> sent;
    std::vector<Clock::time_point> executed;
    double cpuSeconds = 0;
};

// Sends the datagrams from a thread of its own while Qt's loop serves the pages, then takes the
// host's "execute" lines.
Run sendWhileServing(HostProcess &host, Sender &sender)
{
    Run run;
    const double cpuBefore = cpuSeconds(host.pid());
    std::atomic<bool> finished{false};
    std::thread sending([&] {
        run.sent = sender.send(WarmUp + Measured);
        finished = true;
    });
    runLoopUntil([&] { return finished.load(); }, 60s);
    sending.join();
    run.cpuSeconds = cpuSeconds(host.pid()) - cpuBefore;
    runLoopUntil([] { return false; }, 200ms); // the last updates
    for (size_t i = 0; i < run.sent.size(); ++i) {
        const auto line = host.waitFor("execute", i == 0 ? 5000ms : 2000ms);
        if (!line)
            break;
        run.executed.push_back(line->at);
    }
    return run;
}

void report(const char *mode, const Run &run, const std::vector<std::unique_ptr<Page>> &pages)
{
    const Clock::time_point from = run.sent[WarmUp].at, to = run.sent.back().at;
    const double seconds = std::chrono::duration<double>(to - from).count();
    std::vector<double> executes;
    for (size_t i = WarmUp; i < run.executed.size(); ++i)
        executes.push_back(milliseconds(run.executed[i] - run.sent[i].at));
    // Handled in the window the measured datagrams were sent in: what the host lags behind at
    // its start it makes up at its end.
    const auto handled =
        std::count_if(run.executed.begin(), run.executed.end(),
                      [&](Clock::time_point at) { return at >= from && at <= to; });
    const double sendingSeconds =
        std::chrono::duration<double>(run.sent.back().at - run.sent.front().at).count();
    std::printf("{\"bench\": \"web\", \"mode\": \"%s\", \"pages\": %zu, \"sent\": %zu, "
                "\"executed\": %zu, \"handled_per_s\": %.1f, \"host_cpu_percent\": %.2f, "
                "\"execute_p50_ms\": %.3f, \"execute_p99_ms\": %.3f",
                mode, pages.size(), run.sent.size(), run.executed.size(),
                static_cast<double>(handled) / seconds, 100 * run.cpuSeconds / sendingSeconds,
                percentile(executes, 0.5), percentile(executes, 0.99));
    if (!pages.empty()) {
        double fewestUpdates = 1e9, worstP50 = 0, worstP99 = 0;
        size_t fewestSeen = Measured;
        std::vector<double> everyPage;
        for (const std::unique_ptr<Page> &page : pages) {
            const auto updates =
                std::count_if(page->shown().begin(), page->shown().end(),
                              [&](const Shown &s) { return s.at >= from && s.at <= to; });
            fewestUpdates = std::min(fewestUpdates, static_cast<double>(updates) / seconds);
            const std::vector<double> latencies = pageLatencies(run.sent, page->shown());
            fewestSeen = std::min(fewestSeen, latencies.size());
            worstP50 = std::max(worstP50, percentile(latencies, 0.5));
            worstP99 = std::max(worstP99, percentile(latencies, 0.99));
            everyPage.insert(everyPage.end(), latencies.begin(), latencies.end());
        }
        std::printf(", \"updates_per_s_fewest\": %.2f, \"updates_vs_possible\": %.3f, "
                    "\"shown_fewest\": %zu, \"page_p50_ms_worst\": %.3f, "
                    "\"page_p99_ms_worst\": %.3f, \"page_p50_ms\": %.3f, \"page_p99_ms\": %.3f, "
                    "\"page_max_ms\": %.3f",
                    fewestUpdates, fewestUpdates / MaxUpdatesPerSecond, fewestSeen, worstP50,
                    worstP99, percentile(everyPage, 0.5), percentile(everyPage, 0.99),
                    percentile(everyPage, 1.0));
    }
    std::printf("}\n");
    std::fflush(stdout);
}

// The web page's address as the host prints it on standard error.
std::optional<QUrl> webSocketUrl(const std::string &errorFile)
{
    static const std::regex printed(R"(web page is on http://([0-9.]+:[0-9]+)/)");
    const Clock::time_point deadline = Clock::now() + 10s;
    while (Clock::now() < deadline) {
        std::ifstream file(errorFile);
        const std::string text{std::istreambuf_iterator<char>(file), {}};
        std::smatch found;
        if (std::regex_search(text, found, printed))
            return QUrl(QString::fromStdString("ws://" + found[1].str() + "/ws"));
        std::this_thread::sleep_for(20ms);
    }
    return std::nullopt;
}

int fail(const std::string &why)
{
    std::cerr << "tarvex-bench-web: " << why << "\n";
    return 1;
}

int measure(HostProcess &host, const QUrl &url, uint16_t oscPort)
{
    Sender sender(oscPort);
    std::vector<std::unique_ptr<Page>> pages;
    report("no-pages", sendWhileServing(host, sender), pages);

    for (int i = 0; i < Pages; ++i)
        pages.push_back(std::make_unique<Page>(url));
    const auto withLevels = [&] {
        return std::count_if(pages.begin(), pages.end(),
                             [](const auto &p) { return p->hasLevels(); });
    };
    if (!runLoopUntil([&] { return withLevels() == Pages; }, 10s))
        return fail(std::to_string(withLevels()) + " of " + std::to_string(Pages) +
                    " pages got the levels within 10 s");
    report("10-pages", sendWhileServing(host, sender), pages);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const uint16_t oscPort = freeUdpPort();
    const std::string project = writeExampleShow(oscPort);
    const std::string folder = std::filesystem::path(project).parent_path();
    const std::string errorFile = folder + "/host-errors.txt";
    int result = 0;
    {
        HostProcess host;
        std::optional<QUrl> url;
        if (!host.start({TARVEX_HOST_EXE, "--headless", "--no-dmx-out", "--plugin", TARVEX_PLUGIN,
                         "--web", "127.0.0.1:0", project},
                        errorFile) ||
            !host.waitFor("ready", 10s) || !(url = webSocketUrl(errorFile)))
            result = fail("the host did not come up with its web page");
        else
            result = measure(host, *url, oscPort);
        host.quit(5s);
    }
    if (result != 0) { // what the host said, to see why
        std::ifstream errors(errorFile);
        std::cerr << errors.rdbuf();
    }
    std::filesystem::remove_all(folder);
    return result;
}
