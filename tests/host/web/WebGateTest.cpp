// Who may read and drive the show over the web, and the PIN's file beside the project.
#include "host/web/WebGate.h"
#include "host/web/WebAccessFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvex::host {
namespace {

using namespace std::chrono_literals;

TEST(WebGate, beyondThisMachineThePinGuardsAndWrongTriesAreBounded)
{
    const WebPeer local{"127.0.0.1", true}, phone{"192.168.1.20", false}, other{"192.168.1.21"};
    const auto now = WebGate::Clock::now();
    WebGate gate({.pin = "483920"});
    EXPECT_TRUE(gate.mayRead(local) && gate.mayDrive(local));
    EXPECT_FALSE(gate.mayRead(phone) || gate.mayDrive(phone));
    EXPECT_FALSE(WebGate({.pin = "483920", .readingOpen = true}).mayDrive(phone));
    EXPECT_TRUE(WebGate({.pin = "483920", .readingOpen = true}).mayRead(phone));
    EXPECT_TRUE(WebGate({.pin = ""}).mayDrive(phone)) << "no PIN: a server on loopback alone";

    EXPECT_EQ(gate.offer(phone, "483920", now), WebGate::Verdict::Accepted);
    for (const char *wrong : {"483921", "48392", "4839200", "", "483920 "})
        EXPECT_EQ(gate.offer(phone, wrong, now), WebGate::Verdict::Wrong) << wrong;
    EXPECT_EQ(gate.offer(phone, "483920", now + 59s), WebGate::Verdict::Blocked);
    EXPECT_EQ(gate.offer(other, "483920", now), WebGate::Verdict::Accepted) << "per address";
    EXPECT_EQ(gate.offer(phone, "483920", now + 60s), WebGate::Verdict::Accepted);
}

TEST(WebGate, thePinIsMadeOnceInAPrivateFileBesideTheProjectAndADamagedFileIsKept)
{
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tarvex-webgate-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string project = (folder / "show.tarvex").string();

    EXPECT_FALSE(readWebAccess(project)) << "reading makes no file";
    const WebAccess made = loadOrMakeWebAccess(project);
    EXPECT_EQ(made.pin.size(), 6u);
    EXPECT_EQ(made.pin.find_first_not_of("0123456789"), std::string::npos);
    EXPECT_FALSE(made.readingOpen);
    struct stat info {};
    ASSERT_EQ(::stat(webAccessPath(project).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(loadOrMakeWebAccess(project).pin, made.pin);
    std::ofstream(webAccessPath(project)) << R"({"pin": "1234", "listen": "0.0.0.0:8080"})";
    EXPECT_EQ(readWebAccess(project)->listen, "0.0.0.0:8080");
    const WebAccess renewed = renewWebPin(project);
    EXPECT_NE(renewed.pin, "1234");
    EXPECT_EQ(readWebAccess(project)->pin, renewed.pin);
    EXPECT_EQ(readWebAccess(project)->listen, "0.0.0.0:8080") << "the rest is kept";

    for (const char *damaged :
         {"{\"pin\": 483920}", "{\"pin\": \"12ab56\"}", "not json",
          "{\"pin\": \"483920\", \"readingOpen\": 1}", "{\"pin\": \"483920\", \"listen\": 8080}"}) {
        std::ofstream(webAccessPath(project)) << damaged;
        try {
            loadOrMakeWebAccess(project);
            ADD_FAILURE() << damaged;
        } catch (const std::runtime_error &e) {
            EXPECT_NE(std::string(e.what()).find(webAccessPath(project)), std::string::npos);
        }
        std::ifstream kept(webAccessPath(project));
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), damaged);
    }
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace tarvex::host
