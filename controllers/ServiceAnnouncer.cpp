#include "controllers/ServiceAnnouncer.h"

#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/simple-watch.h>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <unistd.h>

namespace tarvex {
namespace {

constexpr int MaxRenames = 12;

// The index of the interface that holds the IPv4 address; Avahi's "every interface" for
// 0.0.0.0 or an address no interface holds.
int interfaceHolding(const std::string &address)
{
    in_addr wanted{};
    if (::inet_pton(AF_INET, address.c_str(), &wanted) != 1 || wanted.s_addr == INADDR_ANY)
        return AVAHI_IF_UNSPEC;
    ifaddrs *all = nullptr;
    if (::getifaddrs(&all) != 0)
        return AVAHI_IF_UNSPEC;
    int index = AVAHI_IF_UNSPEC;
    for (ifaddrs *i = all; i; i = i->ifa_next) {
        if (i->ifa_addr && i->ifa_addr->sa_family == AF_INET &&
            reinterpret_cast<const sockaddr_in *>(i->ifa_addr)->sin_addr.s_addr == wanted.s_addr) {
            index = static_cast<int>(::if_nametoindex(i->ifa_name));
            break;
        }
    }
    ::freeifaddrs(all);
    return index == 0 ? AVAHI_IF_UNSPEC : index;
}

std::string announcedText(const std::string &name, uint16_t port)
{
    return "\"" + name + "\" (" + ServiceAnnouncer::ServiceType + ", port " + std::to_string(port) +
           ")";
}

} // namespace

// Avahi's objects, used on the announcer's thread only.
class ServiceAnnouncer::Session {
public:
    explicit Session(Listener &listener) : m_listener(listener), m_poll(avahi_simple_poll_new()) {}
    ~Session()
    {
        if (m_group)
            avahi_entry_group_free(m_group);
        if (m_client)
            avahi_client_free(m_client);
        if (m_poll)
            avahi_simple_poll_free(m_poll);
    }

    AvahiSimplePoll *poll() const { return m_poll; }

    // Brings the daemon's view to what is wanted, as far as the daemon can be reached now.
    void reconcile(const Wanted &wanted)
    {
        if (!wanted.on) {
            unpublish();
            report(AnnouncementState::Off, {});
            return;
        }
        if (!m_client && !connect())
            return;
        if (avahi_client_get_state(m_client) != AVAHI_CLIENT_S_RUNNING) {
            report(AnnouncementState::Unavailable, "avahi-daemon is not running");
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
            report(AnnouncementState::Unavailable,
                   std::string("cannot reach avahi-daemon: ") + avahi_strerror(error));
        return m_client != nullptr;
    }

    void publish(const Wanted &wanted)
    {
        if (!m_group)
            m_group = avahi_entry_group_new(m_client, &Session::groupChanged, this);
        if (!m_group)
            return failed("cannot announce");
        avahi_entry_group_reset(m_group);
        int result = AVAHI_ERR_COLLISION;
        for (int i = 0; i < MaxRenames && result == AVAHI_ERR_COLLISION; ++i) {
            result = avahi_entry_group_add_service(
                m_group, wanted.interfaceIndex, AVAHI_PROTO_INET, AvahiPublishFlags(0),
                m_name.c_str(), ServiceType, nullptr, nullptr, wanted.port, nullptr);
            if (result == AVAHI_ERR_COLLISION)
                rename();
        }
        if (result < 0 || avahi_entry_group_commit(m_group) < 0)
            return failed("cannot announce " + announcedText(m_name, wanted.port));
        m_published = true;
        m_publishedWanted = wanted;
        report(AnnouncementState::Pending, "announcing " + announcedText(m_name, wanted.port));
    }

    void unpublish()
    {
        if (m_group)
            avahi_entry_group_reset(m_group);
        m_published = false;
        m_publishedWanted = {};
    }

    void rename()
    {
        char *alternative = avahi_alternative_service_name(m_name.c_str());
        m_name = alternative;
        avahi_free(alternative);
    }

    void failed(const std::string &what)
    {
        m_published = false;
        m_publishedWanted = {};
        report(AnnouncementState::Unavailable,
               what + ": " + avahi_strerror(avahi_client_errno(m_client)));
    }

    void report(AnnouncementState state, const std::string &text)
    {
        if (state == m_reported && text == m_reportedText)
            return;
        m_reported = state;
        m_reportedText = text;
        if (m_listener)
            m_listener(state, text);
    }

    // The daemon went away or renamed the host: what was announced is announced again once it
    // runs (the loop reconciles after every event).
    static void clientChanged(AvahiClient *client, AvahiClientState state, void *self)
    {
        auto &s = *static_cast<Session *>(self);
        if (state == AVAHI_CLIENT_S_RUNNING)
            return;
        if (s.m_group) {
            avahi_entry_group_free(s.m_group);
            s.m_group = nullptr;
        }
        s.m_published = false;
        if (state == AVAHI_CLIENT_FAILURE) {
            s.report(AnnouncementState::Unavailable,
                     std::string("avahi-daemon failed: ") +
                         avahi_strerror(avahi_client_errno(client)));
            // A client that failed for good is made anew at the next request.
            if (client == s.m_client) {
                avahi_client_free(s.m_client);
                s.m_client = nullptr;
            }
        }
    }

    static void groupChanged(AvahiEntryGroup *, AvahiEntryGroupState state, void *self)
    {
        auto &s = *static_cast<Session *>(self);
        switch (state) {
        case AVAHI_ENTRY_GROUP_ESTABLISHED:
            s.report(AnnouncementState::Announced,
                     "announced " + announcedText(s.m_name, s.m_publishedWanted.port));
            break;
        case AVAHI_ENTRY_GROUP_COLLISION:
            // Another host took the name meanwhile: the next reconcile announces another.
            s.rename();
            s.m_published = false;
            break;
        case AVAHI_ENTRY_GROUP_FAILURE: s.failed("the announcement failed"); break;
        default: break;
        }
    }

    Listener &m_listener;
    AvahiSimplePoll *m_poll;
    AvahiClient *m_client = nullptr;
    AvahiEntryGroup *m_group = nullptr;
    bool m_published = false;
    Wanted m_publishedWanted;
    std::string m_name; // the wanted name, or the alternative a collision led to
    AnnouncementState m_reported = AnnouncementState::Off;
    std::string m_reportedText;
};

ServiceAnnouncer::ServiceAnnouncer(Listener listener)
    : m_listener(std::move(listener)), m_session(std::make_unique<Session>(m_listener))
{
    if (m_session->poll())
        m_thread = std::thread([this] { run(); });
}

ServiceAnnouncer::~ServiceAnnouncer()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    if (m_thread.joinable()) {
        avahi_simple_poll_wakeup(m_session->poll());
        m_thread.join();
    }
}

void ServiceAnnouncer::run()
{
    for (;;) {
        Wanted wanted;
        {
            std::lock_guard lock(m_mutex);
            if (m_quit)
                break;
            wanted = m_wanted;
        }
        m_session->reconcile(wanted);
        // Sleeps until Avahi has news or post() wakes it; a wake-up between the read above and
        // this call is not lost (the poll's wake-up pipe stays readable).
        if (avahi_simple_poll_iterate(m_session->poll(), -1) != 0)
            break;
    }
    m_session->reconcile({}); // withdrawn before the thread ends
}

void ServiceAnnouncer::post(Wanted wanted)
{
    {
        std::lock_guard lock(m_mutex);
        if (wanted == m_wanted)
            return;
        m_wanted = std::move(wanted);
    }
    if (m_thread.joinable())
        avahi_simple_poll_wakeup(m_session->poll());
}

void ServiceAnnouncer::announce(const std::string &name, uint16_t port, const std::string &address)
{
    post({true, name, port, interfaceHolding(address)});
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
    in_addr parsed{};
    return ::inet_pton(AF_INET, address.c_str(), &parsed) == 1 &&
           (ntohl(parsed.s_addr) >> 24) != 127;
}

} // namespace tarvex
