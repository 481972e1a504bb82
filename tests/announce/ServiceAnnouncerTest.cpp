// The announcement against no system bus and against a private bus and avahi-daemon, which the
// tests stop, restart and freeze: the caller's thread never waits on D-Bus, no wake-up is lost,
// the announcement comes back by itself, and a daemon that refuses is not asked in a loop.
#include "announce/ServiceAnnouncer.h"
#include "tests/support/AvahiBrowser.h"
#include "tests/support/PrivateAvahi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace tarvex::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string Name = "Tarvex announcer test";
constexpr uint16_t Port = 9123;
// Far below D-Bus's 25 s call timeout, far above the destructor's own wait.
constexpr auto DestructorBound = ServiceAnnouncer::QuitWait + 1s;
constexpr double DestructorBoundMs =
    std::chrono::duration<double, std::milli>(DestructorBound).count();

// What the announcer told its listener, on the announcer's thread.
class Told {
public:
    ServiceAnnouncer::Listener listener()
    {
        return [this](AnnouncementState state, const std::string &text) {
            std::lock_guard lock(m_mutex);
            m_told.emplace_back(state, text);
            m_changed.notify_all();
        };
    }
    // Whether a report in the state, with `part` in its text, came since the last clear().
    bool waitFor(AnnouncementState state, const std::string &part = {},
                 std::chrono::seconds bound = 30s)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, bound, [&] {
            return std::any_of(m_told.begin(), m_told.end(), [&](const auto &told) {
                return told.first == state && told.second.find(part) != std::string::npos;
            });
        });
    }
    void clear()
    {
        std::lock_guard lock(m_mutex);
        m_told.clear();
    }
    size_t count()
    {
        std::lock_guard lock(m_mutex);
        return m_told.size();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::pair<AnnouncementState, std::string>> m_told;
};

// Announce-then-destroy rounds, each timed in the caller's thread; prints the distribution and
// returns the longest.
double announceThenDestroy(int rounds, const std::string &what)
{
    Told told;
    std::vector<double> ms;
    for (int i = 0; i < rounds; ++i) {
        alarm(10); // a destructor that hangs ends the program (SIGALRM), not the whole run
        const auto start = Clock::now();
        {
            ServiceAnnouncer announcer(told.listener());
            announcer.announce(Name, static_cast<uint16_t>(Port + i % 100), "0.0.0.0");
        }
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    alarm(0);
    std::sort(ms.begin(), ms.end());
    const auto at = [&](double share) { return ms[size_t(share * (ms.size() - 1))]; };
    std::cout << "[ rounds   ] " << what << ": " << rounds << " announce-then-destroy rounds, max "
              << ms.back() << " ms, p99 " << at(0.99) << " ms, median " << at(0.5) << " ms\n";
    return ms.back();
}

size_t threadsOfThisProcess()
{
    return size_t(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                std::filesystem::directory_iterator()));
}

template <class Condition> bool waitUntil(Condition condition, std::chrono::seconds bound)
{
    const auto deadline = Clock::now() + bound;
    while (!condition() && Clock::now() < deadline)
        std::this_thread::sleep_for(20ms); // a bounded poll: the condition has no event to wait on
    return condition();
}

bool announcedAt(const std::string &name, uint16_t port)
{
    AvahiBrowser browser; // a new client: the last one may have lost its bus
    return browser.running() && browser.waitFor(name, port, 30000);
}

TEST(ServiceAnnouncerAddresses, onlyServersBoundBeyondLoopbackAreReachableFromOthers)
{
    const std::vector<std::pair<std::string, bool>> cases = {
        {"0.0.0.0", true}, {"192.168.1.20", true},      {"::", true},
        {"fe80::1", true}, {"127.0.0.1", false},        {"127.8.9.10", false},
        {"::1", false},    {"::ffff:127.0.0.1", false}, {"no address", false},
        {"", false},
    };
    for (const auto &[address, reachable] : cases)
        EXPECT_EQ(ServiceAnnouncer::reachableFromOthers(address), reachable) << address;
}

// No system bus: the address names a socket nobody listens on.
TEST(ServiceAnnouncerWithoutBus, aThousandAnnounceThenDestroyRoundsNeverWaitOnTheThread)
{
    PrivateAvahi::claimSystemBus();
    EXPECT_LT(announceThenDestroy(1000, "no system bus"), DestructorBoundMs);
}

class ServiceAnnouncerWithDaemon : public testing::Test {
protected:
    void SetUp() override
    {
        PrivateAvahi::claimSystemBus();
        if (const std::string why = PrivateAvahi::cannotRun(); !why.empty())
            GTEST_SKIP() << why;
    }
};

TEST_F(ServiceAnnouncerWithDaemon, twoHundredRoundsNeverWaitOnDBusAndLeaveNothingAnnounced)
{
    PrivateAvahi avahi;
    ASSERT_TRUE(avahi.start()) << avahi.error();
    EXPECT_LT(announceThenDestroy(200, "private avahi-daemon"), DestructorBoundMs);
    // Threads left to finish alone withdraw as they end.
    AvahiBrowser browser;
    EXPECT_TRUE(browser.waitForNone(Name, 30000));
}

TEST_F(ServiceAnnouncerWithDaemon, theAnnouncementComesBackByItselfAfterTheBusOrTheDaemonRestarts)
{
    PrivateAvahi avahi;
    Told told;
    ServiceAnnouncer announcer(told.listener());
    announcer.announce(Name, Port, "0.0.0.0");
    EXPECT_TRUE(told.waitFor(AnnouncementState::Unavailable,
                             "cannot reach avahi-daemon: Daemon not running"));
    ASSERT_TRUE(avahi.start()) << avahi.error();
    EXPECT_TRUE(announcedAt(Name, Port)) << "once the bus and the daemon are there";

    told.clear();
    avahi.stopDaemon();
    EXPECT_TRUE(told.waitFor(AnnouncementState::Unavailable, "avahi-daemon"));
    ASSERT_TRUE(avahi.startDaemon()) << avahi.error();
    EXPECT_TRUE(announcedAt(Name, Port)) << "after avahi-daemon restarted";

    told.clear();
    avahi.stopBus();
    EXPECT_TRUE(told.waitFor(AnnouncementState::Unavailable, "avahi-daemon"));
    ASSERT_TRUE(avahi.start()) << avahi.error();
    EXPECT_TRUE(announcedAt(Name, Port)) << "after the bus restarted";
    EXPECT_TRUE(told.waitFor(AnnouncementState::Announced, Name));
}

TEST_F(ServiceAnnouncerWithDaemon, aHungDaemonHoldsNeitherTheDestructorNorTheListener)
{
    PrivateAvahi avahi;
    ASSERT_TRUE(avahi.start()) << avahi.error();
    ASSERT_TRUE(avahi.watchCalls()) << avahi.error();
    const size_t threadsBefore = threadsOfThisProcess();
    Told told;
    auto announcer = std::make_unique<ServiceAnnouncer>(told.listener());
    announcer->announce(Name, Port, "0.0.0.0");
    ASSERT_TRUE(told.waitFor(AnnouncementState::Announced));
    avahi.pauseDaemon();
    announcer->announce(Name, Port + 1, "0.0.0.0");
    // The thread is inside that call now, which a frozen daemon never answers.
    ASSERT_TRUE(avahi.waitForCalls("Reset", 1)) << avahi.error();

    const auto start = Clock::now();
    announcer.reset();
    EXPECT_LT(Clock::now() - start, DestructorBound) << "the destructor waited on D-Bus";
    const size_t toldBefore = told.count();
    avahi.resumeDaemon();
    EXPECT_TRUE(waitUntil([&] { return threadsOfThisProcess() == threadsBefore; }, 30s))
        << "the thread left alone ends once its call returns";
    EXPECT_EQ(told.count(), toldBefore) << "the listener was called after the destructor";
    AvahiBrowser browser;
    EXPECT_TRUE(browser.waitForNone(Name, 30000)) << "withdrawn as that thread ended";
}

TEST_F(ServiceAnnouncerWithDaemon, aDaemonThatRefusesIsAskedAgainAfterGrowingPauses)
{
    PrivateAvahi avahi({.publishing = false});
    ASSERT_TRUE(avahi.start()) << avahi.error();
    ASSERT_TRUE(avahi.watchCalls()) << avahi.error();
    Told told;
    ServiceAnnouncer announcer(told.listener());
    announcer.announce(Name, Port, "0.0.0.0");
    EXPECT_TRUE(told.waitFor(AnnouncementState::Unavailable, "cannot announce: Not permitted"));
    ASSERT_TRUE(avahi.waitForCalls("EntryGroupNew", 3)) << avahi.error();
    const std::vector<double> at = avahi.callTimes("EntryGroupNew");
    EXPECT_GE(at[1] - at[0], 0.9);
    EXPECT_GE(at[2] - at[1], 1.8);
}

TEST_F(ServiceAnnouncerWithDaemon, aNameLongerThanDnsSdTakesIsCutBetweenCharacters)
{
    PrivateAvahi avahi;
    ASSERT_TRUE(avahi.start()) << avahi.error();
    const std::string first62(62, 'x');
    ServiceAnnouncer announcer(nullptr);
    announcer.announce(first62 + "\xc3\xbc" + "more", Port, "0.0.0.0"); // "ü" spans bytes 63-64
    EXPECT_TRUE(announcedAt(first62, Port));
}

} // namespace
} // namespace tarvex::test
