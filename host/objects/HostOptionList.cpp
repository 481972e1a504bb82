#include "host/objects/HostOptionList.h"

namespace tarvex::host {

void HostOptionList::AddEntry(const std::string &caption, const std::string &value)
{
    m_entries.push_back({caption, value});
}

} // namespace tarvex::host
