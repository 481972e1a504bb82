#include "host/dmx/DmxOutput.h"

namespace tarvex::dmx {

bool NullOutput::connect(std::string &reason)
{
    reason = m_reason;
    return false;
}

bool NullOutput::send(uint8_t, const DmxFrame &, std::string &reason)
{
    reason = m_reason;
    return false;
}

} // namespace tarvex::dmx
