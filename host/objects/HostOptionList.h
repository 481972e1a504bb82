#pragma once
// HostOptionList: a list of choices the plug-in fills for the host's cues (its actions, and what
// to do with one). The host shows the captions and hands a chosen entry's value back.

#include "plugin/api/HostInterfaces.h"

#include <string>
#include <vector>

namespace tarvex::host {

struct OptionEntry {
    std::string caption;
    std::string value;
    friend bool operator==(const OptionEntry &, const OptionEntry &) = default;
};

class HostOptionList : public IOptionList {
public:
    void AddEntry(const std::string &caption, const std::string &value) override;

    const std::vector<OptionEntry> &entries() const { return m_entries; }

private:
    std::vector<OptionEntry> m_entries;
};

} // namespace tarvex::host
