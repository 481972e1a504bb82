#pragma once
// What the host wants to hear of its objects: every target execute, every user interaction
// the plug-in announces, every message box it offers the host and every notice it gives. The GUI
// logs them, the headless host prints them as JSON lines. Unset callbacks are skipped.

#include "core/Variant.h"
#include "plugin/api/HostControllers.h"

#include <cstdint>
#include <functional>
#include <string>

namespace tarvex::host {

// A target's creation values, T0 to T4, exactly as the plug-in handed them over.
struct TargetValues {
    Variant t0, t1, t2;
    uint8_t t3 = 0;
    int32_t t4 = 0;
    friend bool operator==(const TargetValues &, const TargetValues &) = default;
};

struct HostEvents {
    std::function<void(const TargetValues &target, int32_t value, int32_t min, int32_t max)>
        executed;
    std::function<void()> userInteraction;
    // A message box the plug-in offers; returns whether the host took it (the plug-in then shows
    // none). Unset: the plug-in shows its own.
    std::function<bool(const std::string &text)> messageBox;
    // The DMX output turned on or off, and why (where the frames go, or what is missing).
    std::function<void(bool on, const std::string &reason)> dmxOutput;
    // A notice of the plug-in about its files (IHostNotices), to show without waiting.
    std::function<void(const std::string &text)> notice;
    // The plug-in's controller tables changed (IHostControllerEvents): read them when it suits.
    std::function<void()> controllersChanged;
    // The plug-in's action table changed (IHostActionEvents): read it when it suits.
    std::function<void()> actionsChanged;
    // A controller appeared, came back after silence, or fell silent.
    std::function<void(const std::string &endpoint, ControllerChange change)> controller;
};

} // namespace tarvex::host
