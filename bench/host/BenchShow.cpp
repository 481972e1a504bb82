#include "BenchShow.h"

#include "host/e2e/RealShow.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace tarvex::bench {

using namespace tarvex::test;

uint16_t freeUdpPort()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        throw std::runtime_error("no free UDP port");
    ::close(fd);
    return ntohs(address.sin_port);
}

std::string writeExampleShow(uint16_t port)
{
    char folder[] = "/tmp/tarvex-bench-XXXXXX";
    if (!::mkdtemp(folder))
        throw std::runtime_error("no temporary folder");
    writeShowSettings(folder, port);
    writeShowActions(folder, table({
                                 faderRow("/fader1", "Fader 1", 7, 1001),
                                 faderRow("/level", "Level above half", 8, 1002, ">", "0.5"),
                             }));
    return std::string(folder) + "/show.tarvex";
}

} // namespace tarvex::bench
