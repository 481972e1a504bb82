#pragma once
// A private system bus and avahi-daemon, which a test may stop, restart and freeze without
// touching the machine's own.
//
//   PrivateAvahi::claimSystemBus();     // first: this process's "system bus" is the private one
//   PrivateAvahi avahi;
//   ASSERT_TRUE(avahi.start()) << avahi.error();   // or GTEST_SKIP where it cannot run
//   ... avahi.stopDaemon(); avahi.startDaemon(); avahi.stopBus(); avahi.pauseDaemon(); ...
//
// libdbus reads DBUS_SYSTEM_BUS_ADDRESS once per process, so claimSystemBus() points it, before
// any connection, at a socket in a folder of this process's own; until the bus starts nothing
// listens there, which is "no system bus" for the process. dbus-daemon runs with a config of
// ours on that socket; avahi-daemon runs in namespaces of its own: a network with only the
// loopback, up (it announces there and nowhere else), and a private /run, where it keeps its pid
// file and socket apart from the machine's daemon. Making those namespaces needs root.

#include <chrono>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tarvex::test {

class PrivateAvahi {
public:
    struct Options {
        bool publishing = true; // false: the daemon refuses every announcement
    };

    // The folder of this process's bus; sets DBUS_SYSTEM_BUS_ADDRESS on the first call.
    static const std::string &claimSystemBus();
    // Why a private daemon cannot run here, or empty.
    static std::string cannotRun();

    PrivateAvahi() : PrivateAvahi(Options{}) {}
    explicit PrivateAvahi(Options options);
    ~PrivateAvahi(); // stops both, leaves no socket
    PrivateAvahi(const PrivateAvahi &) = delete;
    PrivateAvahi &operator=(const PrivateAvahi &) = delete;

    // Each waits, within the bound, until the bus takes connections or the daemon runs; on
    // failure returns false and error() says why.
    bool start() { return startBus() && startDaemon(); }
    bool startBus(std::chrono::milliseconds bound = std::chrono::seconds(10));
    bool startDaemon(std::chrono::milliseconds bound = std::chrono::seconds(20));
    // The daemon ends by itself when its bus goes; stopBus() waits for that.
    void stopBus();
    void stopDaemon();
    // A hung daemon, as far as its clients can tell.
    void pauseDaemon();
    void resumeDaemon();

    // Records the method calls made to avahi-daemon from now on (dbus-monitor).
    bool watchCalls(std::chrono::milliseconds bound = std::chrono::seconds(10));
    // When the bus passed on each recorded call of the method, in seconds.
    std::vector<double> callTimes(const std::string &member) const;
    // Whether at least `count` calls of the method were recorded within the bound.
    bool waitForCalls(const std::string &member, size_t count,
                      std::chrono::milliseconds bound = std::chrono::seconds(20));

    const std::string &busAddress() const { return m_address; }
    const std::string &error() const { return m_error; }

private:
    struct Child {
        pid_t pid = 0;
        int pidfd = -1;
        bool running() const { return pid > 0; }
        bool exited(std::chrono::milliseconds bound);
        void stop();
    };

    // Starts the program as the child and waits, within the bound, until it is ready.
    bool launch(Child &child, const std::vector<std::string> &args, const std::string &logName,
                bool isolated, const std::function<bool()> &ready, std::chrono::milliseconds bound);
    bool fail(const std::string &why, const std::string &logName);
    void writeConfigs(const Options &options) const;

    std::string m_folder;
    std::string m_address;
    Child m_bus;
    Child m_daemon;
    Child m_monitor;
    std::string m_error;
};

} // namespace tarvex::test
