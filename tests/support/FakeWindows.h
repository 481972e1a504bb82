#pragma once
// Recording fakes of what the engine asks of the windows and of the boxes a settings save reads:
// plain fields a test sets and reads.

#include "engine/EngineWindows.h"
#include "osc/OSCMessages.h"
#include "plugin/api/ListWidget.h"
#include "store/SettingsBoxes.h"

#include <string>
#include <vector>

namespace tarvex::test {

class FakeWindows : public EngineWindows {
public:
    // Main window.
    int receptionSignals = 0;
    bool socketIsOpen = true;
    HostModulePtr cmp;
    // Editor.
    bool learning = false;
    bool received = false;
    int listItemCount = 0;
    std::vector<std::pair<int, bool>> checkedItems; // every check box change, in order
    // When set, a check box change ticks this list's row too, as the editor's window does.
    std::shared_ptr<IListWidget> checkedList;
    // Analyzer.
    bool analyzerIsOpen = false;
    std::vector<std::vector<std::string>> analyzed; // the addresses of every analyzed datagram

    void signalReception() override { ++receptionSignals; }
    bool socketOpen() override { return socketIsOpen; }
    HostModulePtr mainWindowHostModule() override { return cmp; }
    bool learnModeOn() override { return learning; }
    void setReceived() override { received = true; }
    int actionListItemCount() override { return listItemCount; }
    void setActionListItemChecked(int position, bool checked) override
    {
        checkedItems.emplace_back(position, checked);
        if (checkedList)
            checkedList->row(position)->setChecked(checked);
    }
    bool analyzerOpen() override { return analyzerIsOpen; }
    void analyze(const osc::OSCMessages &messages) override
    {
        std::vector<std::string> addresses;
        for (osc::OSCMessages::Element e : messages.elements())
            addresses.push_back(e.isMessage() ? e.message().address() : "(bundle)");
        analyzed.push_back(std::move(addresses));
    }
};

class FakeSettingsBoxes : public SettingsBoxes {
public:
    std::string ip = "127.0.0.1", port = "12345";
    int16_t autostart = 0;
    std::string editorIpText = "127.0.0.1", editorPortText = "12345";

    std::string mainAddress() override { return ip; }
    std::string mainPort() override { return port; }
    int16_t autostartValue() override { return autostart; }
    std::string editorAddress() override { return editorIpText; }
    std::string editorPort() override { return editorPortText; }
};

} // namespace tarvex::test
