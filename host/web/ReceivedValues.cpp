#include "host/web/ReceivedValues.h"

namespace tarvex::host {

void ReceivedValues::record(const std::string &address, const std::string &tags,
                            std::vector<Variant> values)
{
    auto key = std::make_pair(address, tags);
    if (auto found = m_values.find(key); found != m_values.end())
        found->second = std::move(values);
    else if (m_values.size() < MaxEntries)
        m_values.emplace(std::move(key), std::move(values));
}

const std::vector<Variant> *ReceivedValues::find(const std::string &address,
                                                 const std::string &tags) const
{
    const auto found = m_values.find(std::make_pair(address, tags));
    return found != m_values.end() ? &found->second : nullptr;
}

} // namespace tarvex::host
