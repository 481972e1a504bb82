#include "announce/ServiceAnnouncer.h"

#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/simple-watch.h>
#include <avahi-common/timeval.h>

#include <arpa/inet.h>
#include <dlfcn.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <system_error>

namespace tarvex {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int MaxRenames = 12;
constexpr size_t MaxNameBytes = 63; // one DNS label
// After failures in a row the next attempt waits 1 s, twice as long each time, at most a minute:
// a daemon that refuses for good is asked once a minute, not in a loop.
constexpr std::chrono::milliseconds FirstRetry{1000};
constexpr std::chrono::milliseconds LastRetry{60000};

// An address as the socket calls take it, IPv4 or IPv6.
struct IpAddress {
    int family = AF_UNSPEC; // AF_UNSPEC: no address
    in_addr v4{};
    in6_addr v6{};

    explicit IpAddress(const std::string &text)
    {
        if (::inet_pton(AF_INET, text.c_str(), &v4) == 1)
            family = AF_INET;
        else if (::inet_pton(AF_INET6, text.c_str(), &v6) == 1)
            family = AF_INET6;
    }
    bool any() const
    {
        return (family == AF_INET && v4.s_addr == INADDR_ANY) ||
               (family == AF_INET6 && IN6_IS_ADDR_UNSPECIFIED(&v6));
    }
    bool loopback() const
    {
        if (family == AF_INET)
            return (ntohl(v4.s_addr) >> 24) == 127;
        if (family != AF_INET6)
            return false;
        return IN6_IS_ADDR_LOOPBACK(&v6) || (IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127);
    }
    bool heldBy(const sockaddr *held) const
    {
        if (!held || held->sa_family != family)
            return false;
        if (family == AF_INET)
            return reinterpret_cast<const sockaddr_in *>(held)->sin_addr.s_addr == v4.s_addr;
        return IN6_ARE_ADDR_EQUAL(&reinterpret_cast<const sockaddr_in6 *>(held)->sin6_addr, &v6);
    }
    // IPv6 servers are announced over IPv6, so that browsers resolve them to an IPv6 address.
    AvahiProtocol protocol() const
    {
        return family == AF_INET6 ? AVAHI_PROTO_INET6 : AVAHI_PROTO_INET;
    }
};

// The index of the interface that holds the address; Avahi's "every interface" for 0.0.0.0, ::
// or an address no interface holds.
int interfaceHolding(const IpAddress &wanted)
{
    if (wanted.family == AF_UNSPEC || wanted.any())
        return AVAHI_IF_UNSPEC;
    ifaddrs *all = nullptr;
    if (::getifaddrs(&all) != 0)
        return AVAHI_IF_UNSPEC;
    int index = AVAHI_IF_UNSPEC;
    for (ifaddrs *i = all; i; i = i->ifa_next) {
        if (wanted.heldBy(i->ifa_addr)) {
            index = static_cast<int>(::if_nametoindex(i->ifa_name));
            break;
        }
    }
    ::freeifaddrs(all);
    return index == 0 ? AVAHI_IF_UNSPEC : index;
}

// The name cut to what DNS-SD takes, never inside a UTF-8 sequence.
std::string fittingName(std::string name)
{
    if (name.size() <= MaxNameBytes)
        return name;
    size_t end = MaxNameBytes;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80)
        --end;
    name.resize(end);
    return name;
}

std::string announcedText(const std::string &name, const std::string &type, uint16_t port)
{
    return "\"" + name + "\" (" + type + ", port " + std::to_string(port) + ")";
}

// A thread left to finish alone still runs this code: the library that holds it stays loaded,
// also if its host unloads it.
void keepThisCodeLoaded()
{
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void *>(&keepThisCodeLoaded), &info) == 0 || !info.dli_fname)
        return;
    if (void *self = ::dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE))
        ::dlclose(self);
}

// When the next attempt after a failure may run.
class Backoff {
public:
    bool due() const { return Clock::now() >= m_retryAt; }
    // Counts a failure; returns the pause before the next attempt.
    std::chrono::milliseconds failed()
    {
        const auto pause =
            std::min(FirstRetry * (int64_t(1) << std::min(m_failures, 16)), LastRetry);
        ++m_failures;
        m_retryAt = Clock::now() + pause;
        return pause;
    }
    void reset() { *this = {}; }

private:
    int m_failures = 0;
    Clock::time_point m_retryAt{};
};

} // namespace

struct ServiceAnnouncer::Wanted {
    bool on = false;
    std::string name;
    uint16_t port = 0;
    int interfaceIndex = AVAHI_IF_UNSPEC;
    AvahiProtocol protocol = AVAHI_PROTO_INET;
    bool operator==(const Wanted &) const = default;
};

// What the caller's thread and the announcer's thread share. The thread holds its own
// reference, so all of it outlives an announcer that left its thread to finish alone. The
// destructor takes no lock the thread may hold for long: it signals through the eventfds.
struct ServiceAnnouncer::Shared {
    Shared(Listener l, std::string type) : serviceType(std::move(type)), listener(std::move(l)) {}
    ~Shared()
    {
        for (int fd : {wakeFd, doneFd})
            if (fd >= 0)
                ::close(fd);
    }
    // An eventfd stays readable until the thread's watch reads it, so no wake-up is lost
    // between the thread's reading of what is wanted and its next poll.
    void wake() const { signal(wakeFd); }
    void done() const { signal(doneFd); }
    // Whether the thread said done() within the time.
    bool waitUntilDone(std::chrono::milliseconds bound) const
    {
        const auto deadline = Clock::now() + bound;
        pollfd done{doneFd, POLLIN, 0};
        for (;;) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            const int ready =
                ::poll(&done, 1, static_cast<int>(std::max<int64_t>(left.count(), 0)));
            if (ready >= 0 || errno != EINTR)
                return ready == 1;
        }
    }
    void tell(AnnouncementState state, const std::string &text)
    {
        std::lock_guard lock(listenerMutex);
        if (!listener)
            return;
        try {
            listener(state, text);
        } catch (...) {
            // A listener that fails changes nothing here.
        }
    }

    const std::string serviceType;
    const int wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC); // to the thread
    const int doneFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC); // from it: it let go of Avahi
    std::atomic<bool> quit = false;
    std::mutex mutex;
    Wanted wanted; // guarded by mutex
    std::mutex listenerMutex;
    Listener listener; // guarded by listenerMutex; emptied by the destructor

private:
    static void signal(int fd)
    {
        const uint64_t one = 1;
        [[maybe_unused]] auto written = ::write(fd, &one, sizeof one);
    }
};

// Avahi's objects, used on the announcer's thread only.
class ServiceAnnouncer::Session {
public:
    explicit Session(Shared &shared) : m_shared(shared), m_poll(avahi_simple_poll_new())
    {
        if (!m_poll)
            return;
        const AvahiPoll *api = avahi_simple_poll_get(m_poll);
        if (m_shared.wakeFd >= 0)
            m_wake = api->watch_new(api, m_shared.wakeFd, AVAHI_WATCH_IN, &Session::woken, this);
        m_retry = api->timeout_new(api, nullptr, &Session::retryDue, this);
    }
    // Closing the client's connection makes the daemon withdraw what it announced, without a
    // call that could block.
    ~Session()
    {
        if (m_client)
            avahi_client_free(m_client);
        if (m_poll)
            avahi_simple_poll_free(m_poll); // with the watch and the timeout
    }
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    bool ready() const { return m_poll && m_wake && m_retry; }
    AvahiSimplePoll *poll() const { return m_poll; }

    // Brings the daemon's view to what is wanted, as far as the daemon can be reached now.
    void reconcile(const Wanted &wanted)
    {
        if (wanted != m_asked) {
            m_asked = wanted; // a new request is tried at once
            m_backoff.reset();
            m_collisions = 0;
        }
        if (m_clientFailed)
            dropClient();
        if (!wanted.on) {
            unpublish();
            report(AnnouncementState::Off, {});
            return;
        }
        if (!m_backoff.due())
            return;
        if (!m_client && !connect())
            return;
        switch (avahi_client_get_state(m_client)) {
        case AVAHI_CLIENT_S_RUNNING: break;
        case AVAHI_CLIENT_CONNECTING:
            report(AnnouncementState::Unavailable, "avahi-daemon is not running");
            return;
        default:
            report(AnnouncementState::Pending, "avahi-daemon is registering this computer's name");
            return;
        }
        if (m_published && m_publishedWanted == wanted)
            return;
        if (m_publishedWanted.name != wanted.name || !m_publishedWanted.on)
            m_name = wanted.name;
        publish(wanted);
    }

private:
    bool connect()
    {
        int error = 0;
        m_client = avahi_client_new(avahi_simple_poll_get(m_poll), AVAHI_CLIENT_NO_FAIL,
                                    &Session::clientChanged, this, &error);
        if (!m_client)
            failed(std::string("cannot reach avahi-daemon: ") + avahi_strerror(error));
        return m_client != nullptr;
    }

    // A client that failed (the bus or the daemon went away) is replaced by a new one, which
    // waits for the daemon by itself; its announcement was withdrawn with it.
    void dropClient()
    {
        avahi_client_free(m_client); // with its group
        m_client = nullptr;
        m_group = nullptr;
        m_groupFilled = false;
        m_clientFailed = false;
        m_published = false;
        m_publishedWanted = {};
    }

    void publish(const Wanted &wanted)
    {
        if (!m_group)
            m_group = avahi_entry_group_new(m_client, &Session::groupChanged, this);
        if (!m_group)
            return failed(std::string("cannot announce: ") +
                          avahi_strerror(avahi_client_errno(m_client)));
        unpublish();
        int result = AVAHI_ERR_COLLISION;
        for (int i = 0; i < MaxRenames && result == AVAHI_ERR_COLLISION; ++i) {
            result = avahi_entry_group_add_service(m_group, wanted.interfaceIndex, wanted.protocol,
                                                   AvahiPublishFlags(0), m_name.c_str(),
                                                   m_shared.serviceType.c_str(), nullptr, nullptr,
                                                   wanted.port, nullptr);
            if (result == AVAHI_ERR_COLLISION)
                rename();
        }
        m_groupFilled = result >= 0;
        if (result >= 0)
            result = avahi_entry_group_commit(m_group);
        if (result < 0)
            return failed("cannot announce " + announced(wanted.port) + ": " +
                          avahi_strerror(result));
        m_published = true;
        m_publishedWanted = wanted;
        report(AnnouncementState::Pending, "announcing " + announced(wanted.port));
    }

    std::string announced(uint16_t port) const
    {
        return announcedText(m_name, m_shared.serviceType, port);
    }

    void unpublish()
    {
        if (m_group && m_groupFilled)
            avahi_entry_group_reset(m_group);
        m_groupFilled = false;
        m_published = false;
        m_publishedWanted = {};
    }

    void rename()
    {
        char *alternative = avahi_alternative_service_name(m_name.c_str());
        m_name = alternative;
        avahi_free(alternative);
    }

    // Says why nothing is announced, and tries again only after a pause.
    void failed(const std::string &why)
    {
        m_published = false;
        m_publishedWanted = {};
        const auto pause = m_backoff.failed();
        timeval when{};
        avahi_simple_poll_get(m_poll)->timeout_update(
            m_retry, avahi_elapse_time(&when, static_cast<unsigned>(pause.count()), 0));
        report(AnnouncementState::Unavailable, why);
    }

    void report(AnnouncementState state, const std::string &text)
    {
        if (state == m_reported && text == m_reportedText)
            return;
        m_reported = state;
        m_reportedText = text;
        m_shared.tell(state, text);
    }

    // The loop reconciles after every event; these only need to end the poll's wait.
    static void woken(AvahiWatch *, int fd, AvahiWatchEvent, void *)
    {
        uint64_t count = 0;
        [[maybe_unused]] auto read = ::read(fd, &count, sizeof count);
    }
    static void retryDue(AvahiTimeout *, void *) {}

    // The daemon went away or renames the host: what was announced is gone and is announced
    // again once a client runs. Called also from inside avahi_client_new, before m_client is set.
    static void clientChanged(AvahiClient *client, AvahiClientState state, void *self)
    {
        auto &s = *static_cast<Session *>(self);
        if (state == AVAHI_CLIENT_S_RUNNING) {
            s.m_backoff.reset(); // a daemon that is back is asked at once
            return;
        }
        if (client != s.m_client)
            return;
        if (s.m_group) {
            avahi_entry_group_free(s.m_group);
            s.m_group = nullptr;
            s.m_groupFilled = false;
        }
        s.m_published = false;
        if (state == AVAHI_CLIENT_FAILURE) {
            // Freed and replaced by the next reconcile, outside Avahi's own call.
            s.m_clientFailed = true;
            s.report(AnnouncementState::Unavailable,
                     std::string("avahi-daemon failed: ") +
                         avahi_strerror(avahi_client_errno(client)));
        }
    }

    static void groupChanged(AvahiEntryGroup *, AvahiEntryGroupState state, void *self)
    {
        auto &s = *static_cast<Session *>(self);
        switch (state) {
        case AVAHI_ENTRY_GROUP_ESTABLISHED:
            s.m_backoff.reset();
            s.m_collisions = 0;
            s.report(AnnouncementState::Announced,
                     "announced " + s.announced(s.m_publishedWanted.port));
            break;
        case AVAHI_ENTRY_GROUP_COLLISION:
            // Another host took the name meanwhile: the next reconcile announces another, up
            // to a point.
            s.m_published = false;
            if (++s.m_collisions < MaxRenames) {
                s.rename();
                break;
            }
            s.failed("cannot announce " + s.announced(s.m_publishedWanted.port) + ": " +
                     avahi_strerror(AVAHI_ERR_COLLISION));
            break;
        case AVAHI_ENTRY_GROUP_FAILURE:
            s.failed(std::string("the announcement failed: ") +
                     avahi_strerror(avahi_client_errno(s.m_client)));
            break;
        default: break;
        }
    }

    Shared &m_shared;
    AvahiSimplePoll *m_poll;
    AvahiWatch *m_wake = nullptr;
    AvahiTimeout *m_retry = nullptr;
    AvahiClient *m_client = nullptr;
    AvahiEntryGroup *m_group = nullptr;
    bool m_groupFilled = false; // holds entries, committed or not
    bool m_clientFailed = false;
    bool m_published = false;
    Wanted m_asked;
    Wanted m_publishedWanted;
    std::string m_name; // the wanted name, or the alternative a collision led to
    Backoff m_backoff;
    int m_collisions = 0;
    AnnouncementState m_reported = AnnouncementState::Off;
    std::string m_reportedText;
};

ServiceAnnouncer::ServiceAnnouncer(Listener listener, std::string serviceType)
    : m_shared(std::make_shared<Shared>(std::move(listener), std::move(serviceType)))
{
    try {
        m_thread = std::thread([shared = m_shared] { run(shared); });
    } catch (const std::system_error &e) {
        m_shared->tell(AnnouncementState::Unavailable,
                       std::string("cannot start the announcement: ") + e.what());
    }
}

ServiceAnnouncer::~ServiceAnnouncer()
{
    {
        std::lock_guard lock(m_shared->listenerMutex);
        m_shared->listener = nullptr;
    }
    m_shared->quit = true;
    m_shared->wake();
    if (!m_thread.joinable())
        return;
    // A thread in a D-Bus call may take the call's timeout (25 s) to see the quit.
    if (m_shared->waitUntilDone(QuitWait)) {
        m_thread.join();
    } else {
        keepThisCodeLoaded();
        m_thread.detach();
    }
}

void ServiceAnnouncer::run(const std::shared_ptr<Shared> &shared)
{
    {
        Session session(*shared);
        if (!session.ready())
            shared->tell(AnnouncementState::Unavailable,
                         "cannot start the announcement: out of resources");
        while (session.ready()) {
            Wanted wanted;
            if (shared->quit)
                break;
            {
                std::lock_guard lock(shared->mutex);
                wanted = shared->wanted;
            }
            session.reconcile(wanted);
            if (avahi_simple_poll_iterate(session.poll(), -1) != 0) {
                shared->tell(AnnouncementState::Unavailable,
                             "the announcement stopped: its event loop failed");
                break;
            }
        }
    }
    shared->done();
}

void ServiceAnnouncer::post(Wanted wanted)
{
    {
        std::lock_guard lock(m_shared->mutex);
        if (wanted == m_shared->wanted)
            return;
        m_shared->wanted = std::move(wanted);
    }
    m_shared->wake();
}

void ServiceAnnouncer::announce(const std::string &name, uint16_t port, const std::string &address)
{
    const IpAddress held(address);
    post({true, fittingName(name), port, interfaceHolding(held), held.protocol()});
}

void ServiceAnnouncer::withdraw()
{
    post({});
}

std::string ServiceAnnouncer::serviceName()
{
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0 || host[0] == '\0')
        return "Tarvex";
    return std::string("Tarvex on ") + host;
}

bool ServiceAnnouncer::reachableFromOthers(const std::string &address)
{
    const IpAddress parsed(address);
    return parsed.family != AF_UNSPEC && !parsed.loopback();
}

} // namespace tarvex
