#pragma once
// The windows of a running server outside learn mode, for benchmarks that dispatch without Qt:
// the socket is open, nothing is learned, shown or analysed, and targets come from `cmp`.
//
//   ServerWindows windows(helper); // a helper is its own host module
//   EngineState state(windows);

#include "engine/EngineWindows.h"

#include <utility>

namespace tarvex::bench {

class ServerWindows : public EngineWindows {
public:
    explicit ServerWindows(HostModulePtr cmp) : m_cmp(std::move(cmp)) {}
    void signalReception() override {}
    bool socketOpen() override { return true; }
    HostModulePtr mainWindowHostModule() override { return m_cmp; }
    bool learnModeOn() override { return false; }
    void setReceived() override {}
    int actionListItemCount() override { return 0; }
    void setActionListItemChecked(int, bool) override {}
    bool analyzerOpen() override { return false; }
    void analyze(const osc::OSCMessages &) override {}

private:
    HostModulePtr m_cmp;
};

} // namespace tarvex::bench
