#include "store/NetworkFile.h"

#include "core/VbError.h"
#include "store/ArrayFile.h"
#include "store/OSCSaver.h"

namespace tarvex {
namespace {

constexpr std::string_view Version = "Network 1";
constexpr std::string_view ModeOff = "off";
constexpr std::string_view ModeOthers = "others";

enum Slot : int32_t { VersionSlot, ModeSlot, PortSlot, MinutesSlot, SlotCount };

bool isText(const Variant *value, std::string_view text)
{
    return value && value->isString() && value->asString() == text;
}

bool isLongIn(const Variant *value, int32_t low, int32_t high)
{
    return value && value->type() == VarType::Long && value->asLong() >= low &&
           value->asLong() <= high;
}

// What a file gives: its settings, or the defaults and why a file that is there gives none.
struct NetworkFileRead {
    FeedbackSettings settings;
    std::string damage; // empty for a file read whole or a missing one
};

NetworkFileRead readNetworkFile(const std::string &path)
{
    VarArray stored;
    std::string why;
    switch (readArrayFile(path, stored, &why)) {
    case ArrayFileRead::Absent: return {};
    case ArrayFileRead::Unreadable: return {{}, why};
    case ArrayFileRead::Damaged: return {{}, "damaged"};
    case ArrayFileRead::Complete: break;
    }
    if (stored.dimensionCount() != 1 || stored.lowerBound() != 0 ||
        stored.upperBound() != SlotCount - 1)
        return {{}, "it holds no network settings"};
    const Variant *mode = stored.find(ModeSlot);
    const Variant *port = stored.find(PortSlot);
    const Variant *minutes = stored.find(MinutesSlot);
    if (!isText(stored.find(VersionSlot), Version) ||
        !(isText(mode, ModeOff) || isText(mode, ModeOthers)) || !isLongIn(port, 0, 65535) ||
        !isLongIn(minutes, 1, FeedbackSettings::MaxRecentMinutes))
        return {{}, "it holds no network settings"};
    FeedbackSettings settings;
    settings.mode = isText(mode, ModeOthers) ? FeedbackMode::Others : FeedbackMode::Off;
    settings.port = static_cast<uint16_t>(port->asLong());
    settings.recentMinutes = minutes->asLong();
    return {settings, {}};
}

constexpr std::string_view Defaults = "the default network settings (feedback off)";

} // namespace

FeedbackSettings readNetworkSettings(const std::string &path)
{
    return readNetworkFile(path).settings;
}

void writeNetworkSettings(const std::string &path, const FeedbackSettings &settings)
{
    const std::string_view mode = settings.mode == FeedbackMode::Others ? ModeOthers : ModeOff;
    writeArrayFile(
        path, VarArray::ofValues({Variant(Version), Variant(mode), Variant(int32_t{settings.port}),
                                  Variant(settings.recentMinutes)}));
}

std::string networkFilePath(const PlugInState &state)
{
    return projectFilePath(state, NetworkFileName);
}

std::string loadNetworkSettings(PlugInState &state)
{
    const std::string path = networkFilePath(state);
    NetworkFileRead read = readNetworkFile(path);
    state.feedback = read.settings;
    state.feedbackLoaded = true;
    if (read.damage.empty())
        return {};
    return keepDamagedFile(path, read.damage, Defaults).notice;
}

bool networkSettingsUnsaved(const PlugInState &state)
{
    return state.feedback != readNetworkSettings(networkFilePath(state));
}

// The damaged file's bytes are never overwritten before they are kept elsewhere.
void saveNetworkSettings(const PlugInState &state)
{
    const std::string path = networkFilePath(state);
    const NetworkFileRead stored = readNetworkFile(path);
    if (state.feedback == stored.settings)
        return;
    std::string notice;
    if (!stored.damage.empty()) {
        DamagedFile kept = keepDamagedFile(path, stored.damage, Defaults);
        if (kept.kept == KeptAside::Failed)
            throw VbError(errc::PathFileAccess,
                          "Cannot replace " + path + " (" + stored.damage +
                              "): it could not be kept as " + path + std::string(DamagedSuffix) +
                              " first, so the network settings were not saved.");
        notice = std::move(kept.notice);
    }
    writeNetworkSettings(path, state.feedback);
    tellHost(state, notice);
}

} // namespace tarvex
