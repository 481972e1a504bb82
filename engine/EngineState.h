#pragma once
// EngineState: what the engine keeps for the plug-in's life: the host's helper, the action table,
// the datagrams under way and what learn mode saw. One object, owned by the plug-in as part of
// its PlugInState (store/PlugInState.h) and passed by reference; a test makes a fresh one.
//
//   EngineState state(engineWindows);   // what the engine asks of the windows
//   handleDatagram(state, bytes);

#include "core/VarArray.h"
#include "engine/ActionTable.h"
#include "engine/DispatchListener.h"
#include "engine/EngineWindows.h"
#include "engine/PreparedAction.h"
#include "engine/RowKeys.h"
#include "engine/TargetCache.h"
#include "osc/OSCMessages.h"

#include <deque>
#include <random>
#include <vector>

namespace tarvex {

// Datagrams handed to handleDatagram while it is handling one (a host call under way ran a
// nested event loop) wait here and are handled, in arrival order, right after it.
struct DatagramQueue {
    struct Waiting {
        std::vector<uint8_t> bytes;
        Endpoint source;
    };
    bool handling = false;
    std::deque<Waiting> waiting;
    // The buffer the server reads each datagram into, reused. It lives here, not in the server's
    // window, because a host call may unload that window while the datagram is still handled.
    std::vector<uint8_t> received;
};

struct EngineState {
    explicit EngineState(EngineWindows &engineWindows) : windows(engineWindows) {}

    EngineWindows &windows; // borrowed: owned by the plug-in next to this state
    ObjectPtr hostHelper;   // the helper object the host passed to Init

    ActionTable actionTable;
    osc::OSCMessages receivedMessages;
    VarArray learnedMessages;
    TargetCache targetCache;
    PreparedActions preparedActions;
    RowKeys rowKeys;
    // The helper's IHostRowHits, found by a cast once per helper (the helper is held, so no
    // other object can take its address meanwhile).
    struct {
        ObjectPtr helper;
        IHostRowHits *rows = nullptr;
    } hostRowHits;
    int32_t lastBeatValue = 0;
    DatagramQueue incoming;
    // Told about every datagram handled, when set (borrowed; the plug-in's view of the network).
    DispatchListener *dispatchListener = nullptr;
    std::vector<MessageFate> fates; // the datagram's, for the listener; reused

    std::mt19937 random{std::random_device{}()};
};

} // namespace tarvex
