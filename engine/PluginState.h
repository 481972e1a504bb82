#pragma once
// PluginState: everything that lives for the plug-in's life, in one object owned by the plug-in
// and passed by reference. A test makes a fresh one.

#include "core/VarArray.h"
#include "engine/ActionTable.h"
#include "engine/EngineWindows.h"
#include "engine/PreparedAction.h"
#include "engine/TargetCache.h"
#include "osc/OSCMessages.h"

#include <deque>
#include <random>
#include <string>
#include <vector>

namespace tarvex {

// Datagrams handed to handleDatagram while it is handling one (a host call under way ran a
// nested event loop) wait here and are handled, in arrival order, right after it.
struct DatagramQueue {
    bool handling = false;
    std::deque<std::vector<uint8_t>> waiting;
};

struct PluginState {
    explicit PluginState(EngineWindows &windowsOfThePlugin) : windows(windowsOfThePlugin) {}

    EngineWindows &windows; // borrowed: owned by the plug-in next to this state
    ObjectPtr hostHelper;   // the helper object the host passed to Init

    ActionTable actionTable;
    osc::OSCMessages receivedMessages;
    VarArray learnedMessages;
    TargetCache targetCache;
    PreparedActions preparedActions;
    int32_t lastBeatValue = 0;
    DatagramQueue incoming;

    VarArray settings;
    bool settingsLoaded = false;
    bool savingSettings = false;
    // What the last project load told the host about the actions file (see OSCSaver): the
    // host's start reads the file again right after, and the host hears of its damage once.
    std::string actionsNotice;

    std::mt19937 random{std::random_device{}()};
};

} // namespace tarvex
