#include "bench/host/BenchShow.h"

#include "tests/host/e2e/RealShow.h"

#include <cstdlib>
#include <stdexcept>

namespace tarvex::bench {

using namespace tarvex::test;

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

std::string writeLargeShow(uint16_t port, int rows)
{
    char folder[] = "/tmp/tarvex-bench-XXXXXX";
    if (!::mkdtemp(folder))
        throw std::runtime_error("no temporary folder");
    writeShowSettings(folder, port);
    VarArray table;
    for (int i = 1; i <= rows; ++i)
        table.append(faderRow("/fader/" + std::to_string(i), "Fader " + std::to_string(i),
                              (i - 1) % 512 + 1, 100000 + i));
    writeShowActions(folder, table);
    return std::string(folder) + "/show.tarvex";
}

} // namespace tarvex::bench
