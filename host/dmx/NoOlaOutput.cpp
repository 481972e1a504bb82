// Linked instead of OlaOutput.cpp when the build leaves OLA out.
#include "host/dmx/DmxOutput.h"

namespace tarvex::dmx {

std::unique_ptr<DmxOutput> makeOlaOutput(uint16_t)
{
    return std::make_unique<NullOutput>("built without OLA");
}

bool builtWithOla()
{
    return false;
}

} // namespace tarvex::dmx
