// The web page on the network, end to end against a private bus and avahi-daemon: a headless
// host whose page listens beyond loopback is found by a DNS-SD browser as an OSCQuery server on
// the page's port until it quits; one whose page listens on loopback is not announced.

#include "announce/ServiceAnnouncer.h"
#include "tests/host/e2e/HeadlessProcess.h"
#include "tests/support/AvahiBrowser.h"
#include "tests/support/PrivateAvahi.h"

#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tarvex::test {
namespace {

// The daemon probes a name before it announces it, slowly on a loaded machine.
constexpr int AvahiMs = 30000;

// The port the host's page listens on, from its start-up line.
quint16 webPortOf(HeadlessProcess &host)
{
    if (!host.waitForError("the show's web page is on "))
        return 0;
    const QRegularExpressionMatch url =
        QRegularExpression("web page is on http://[^ ]*:(\\d+)/").match(host.errorOutput());
    return url.hasMatch() ? static_cast<quint16>(url.captured(1).toUInt()) : 0;
}

TEST(WebAnnouncementRoad, beyondLoopbackThePageIsAnOscQueryServiceUntilTheHostQuitsOnLoopbackNot)
{
    PrivateAvahi::claimSystemBus(); // the hosts started here inherit it
    if (const std::string why = PrivateAvahi::cannotRun(); !why.empty())
        GTEST_SKIP() << why;
    PrivateAvahi avahi;
    ASSERT_TRUE(avahi.start()) << avahi.error();
    QTemporaryDir dir;
    const std::string name = ServiceAnnouncer::serviceName();

    HeadlessProcess onLoopback{HeadlessProcess::testPlugInPath()};
    ASSERT_TRUE(onLoopback.start(dir.filePath("loopback.tarvex"), {"--web", "127.0.0.1:0"}));
    EXPECT_TRUE(onLoopback.waitForError(
        "the web page is not announced on the network: it listens on 127.0.0.1 only"))
        << onLoopback.errorOutput().toStdString();
    const quint16 loopbackPort = webPortOf(onLoopback);

    HeadlessProcess beyond{HeadlessProcess::testPlugInPath()};
    ASSERT_TRUE(beyond.start(dir.filePath("beyond.tarvex"), {"--web", "0.0.0.0:0"}));
    const quint16 port = webPortOf(beyond);
    ASSERT_NE(port, 0) << beyond.errorOutput().toStdString();
    const std::string announced =
        "the web page is announced \"" + name + "\" (_oscjson._tcp, port " + std::to_string(port);
    EXPECT_TRUE(beyond.waitForError(QString::fromStdString(announced), AvahiMs))
        << beyond.errorOutput().toStdString();

    AvahiBrowser browser(ServiceAnnouncer::OscQueryServiceType);
    ASSERT_TRUE(browser.running()) << browser.why();
    EXPECT_TRUE(browser.waitFor(name, port, AvahiMs)) << "announced beyond loopback";
    EXPECT_TRUE(browser.waitForNoneOn(loopbackPort)) << "the page on loopback was announced";

    beyond.terminate();
    ASSERT_TRUE(beyond.waitForExit());
    EXPECT_TRUE(browser.waitForNoneOn(port, AvahiMs)) << "withdrawn when the host quit";
}

} // namespace
} // namespace tarvex::test
