#pragma once
// PlugInState: everything that lives for the plug-in's life, in one object owned by the plug-in
// and passed by reference: the engine's state, and what the files add to it (the settings as
// read and written, and the boxes a settings save reads). The engine's functions take it as
// their EngineState. A test makes a fresh one.
//
//   PlugInState state(engineWindows, settingsBoxes);
//   loadSettings(state);            // the two files, once per plug-in life
//   handleDatagram(state, bytes);   // the engine's part

#include "engine/EngineState.h"
#include "plugin/api/HostControllers.h"
#include "store/SettingsBoxes.h"

#include <string>

namespace tarvex {

struct PlugInState : EngineState {
    PlugInState(EngineWindows &engineWindows, SettingsBoxes &boxes)
        : EngineState(engineWindows), settingsBoxes(boxes)
    {}

    SettingsBoxes &settingsBoxes; // borrowed: owned by the plug-in next to this state

    VarArray settings;
    bool settingsLoaded = false;
    bool savingSettings = false;
    // What the last project load told the host about the actions file (see OSCSaver): the
    // host's start reads the file again right after, and the host hears of its damage once.
    std::string actionsNotice;
    // Feedback to the controllers, as the user set it; kept in "TarvexNetwork.dat" (NetworkFile).
    FeedbackSettings feedback;
    // A project load has read "TarvexNetwork.dat": the first load, which the host's start runs
    // right after, does not read it (and tell of its damage) again.
    bool feedbackLoaded = false;
};

} // namespace tarvex
