#pragma once
// A DNS-SD browser for a service type ("_osc._udp" unless told another) through the system's
// avahi-daemon, as a controller app on the network looks for OSC hosts: each look browses
// afresh, resolves every service found and ends once the daemon has said all it knows. Every
// wait is bounded.
//
//   AvahiBrowser browser;                    // or AvahiBrowser browser("_oscjson._tcp");
//   if (!browser.running()) GTEST_SKIP() << browser.why();
//   EXPECT_TRUE(browser.waitFor("Tarvex on stage-pc", 9000));

#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-common/error.h>
#include <avahi-common/simple-watch.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <utility>

namespace tarvex::test {

class AvahiBrowser {
public:
    explicit AvahiBrowser(std::string serviceType = "_osc._udp")
        : m_type(std::move(serviceType)), m_poll(avahi_simple_poll_new())
    {
        int error = 0;
        m_client = avahi_client_new(avahi_simple_poll_get(m_poll), AvahiClientFlags(0), nullptr,
                                    nullptr, &error);
        if (!m_client)
            m_why = avahi_strerror(error);
    }
    ~AvahiBrowser()
    {
        if (m_client)
            avahi_client_free(m_client);
        avahi_simple_poll_free(m_poll);
    }
    AvahiBrowser(const AvahiBrowser &) = delete;
    AvahiBrowser &operator=(const AvahiBrowser &) = delete;

    bool running() const { return m_client != nullptr; }
    const std::string &why() const { return m_why; }

    // Whether a look finds the name on the port, within the time.
    bool waitFor(const std::string &name, uint16_t port, int timeoutMs = 5000)
    {
        return lookUntil(timeoutMs, [&](const Found &found) {
            for (const auto &[key, foundPort] : found)
                if (key.second == name && foundPort == port)
                    return true;
            return false;
        });
    }
    // Whether a look finds the name nowhere, within the time.
    bool waitForNone(const std::string &name, int timeoutMs = 5000)
    {
        return lookUntil(timeoutMs, [&](const Found &found) {
            for (const auto &entry : found)
                if (entry.first.second == name)
                    return false;
            return true;
        });
    }

    // Whether a look finds no service on the port, within the time.
    bool waitForNoneOn(uint16_t port, int timeoutMs = 5000)
    {
        return lookUntil(timeoutMs, [&](const Found &found) {
            for (const auto &entry : found)
                if (entry.second == port)
                    return false;
            return true;
        });
    }

private:
    using Found = std::map<std::pair<int, std::string>, uint16_t>; // (interface, name) -> port

    template <class Condition> bool lookUntil(int timeoutMs, Condition condition)
    {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline)
            if (condition(look(deadline)))
                return true;
        return false;
    }

    // One browse: every service the daemon knows of now, resolved.
    Found look(std::chrono::steady_clock::time_point deadline)
    {
        m_found.clear();
        m_allForNow = false;
        m_resolving = 0;
        AvahiServiceBrowser *browser =
            avahi_service_browser_new(m_client, AVAHI_IF_UNSPEC, AVAHI_PROTO_INET, m_type.c_str(),
                                      nullptr, AvahiLookupFlags(0), &AvahiBrowser::browsed, this);
        while (browser && !(m_allForNow && m_resolving == 0) &&
               std::chrono::steady_clock::now() < deadline)
            avahi_simple_poll_iterate(m_poll, 50);
        if (browser)
            avahi_service_browser_free(browser);
        return m_found;
    }

    static void browsed(AvahiServiceBrowser *, AvahiIfIndex interface, AvahiProtocol protocol,
                        AvahiBrowserEvent event, const char *name, const char *type,
                        const char *domain, AvahiLookupResultFlags, void *self)
    {
        auto &b = *static_cast<AvahiBrowser *>(self);
        if (event == AVAHI_BROWSER_ALL_FOR_NOW) {
            b.m_allForNow = true;
        } else if (event == AVAHI_BROWSER_NEW &&
                   avahi_service_resolver_new(b.m_client, interface, protocol, name, type, domain,
                                              AVAHI_PROTO_INET, AvahiLookupFlags(0),
                                              &AvahiBrowser::resolved, self)) {
            ++b.m_resolving;
        }
    }

    static void resolved(AvahiServiceResolver *resolver, AvahiIfIndex interface, AvahiProtocol,
                         AvahiResolverEvent event, const char *name, const char *, const char *,
                         const char *, const AvahiAddress *, uint16_t port, AvahiStringList *,
                         AvahiLookupResultFlags, void *self)
    {
        auto &b = *static_cast<AvahiBrowser *>(self);
        if (event == AVAHI_RESOLVER_FOUND)
            b.m_found[{interface, name}] = port;
        --b.m_resolving;
        avahi_service_resolver_free(resolver);
    }

    std::string m_type;
    AvahiSimplePoll *m_poll;
    AvahiClient *m_client = nullptr;
    std::string m_why;
    Found m_found;
    bool m_allForNow = false;
    int m_resolving = 0;
};

} // namespace tarvex::test
