#pragma once
// What the engine asks of the windows while it handles datagrams, learns and switches actions.
// The plug-in implements it with the real forms; engine tests implement it with a recording
// fake. Each member names the control it stands for.

#include "plugin/api/HostInterfaces.h"

namespace tarvex::osc {
class OSCMessages;
}

namespace tarvex {

class EngineWindows {
public:
    virtual ~EngineWindows() = default;

    // Main window: light StatusLed green and enable StatusTimer (once per datagram).
    virtual void signalReception() = 0;
    // Main window: Winsock1.State is not 0 (closed).
    virtual bool socketOpen() = 0;
    // Main window: CMP, the typed host helper; nullptr until the main window has been loaded.
    virtual HostModulePtr mainWindowHostModule() = 0;

    // Editor: the LearnButton caption is exactly "Stop" (creates the editor window, hidden).
    virtual bool learnModeOn() = 0;
    // Editor: Received := true.
    virtual void setReceived() = 0;
    // Editor: lvActions' item count, and the check box of item `position` (1-based).
    virtual int actionListItemCount() = 0;
    virtual void setActionListItemChecked(int position, bool checked) = 0;

    // Analyzer: AnalyzerOpen (creates the analyzer window, hidden), and Analyze.
    virtual bool analyzerOpen() = 0;
    virtual void analyze(const osc::OSCMessages &messages) = 0;
};

} // namespace tarvex
