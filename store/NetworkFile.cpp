#include "store/NetworkFile.h"

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

} // namespace

FeedbackSettings readNetworkSettings(const std::string &path)
{
    VarArray stored;
    if (readArrayFile(path, stored) != ArrayFileRead::Complete || stored.dimensionCount() != 1 ||
        stored.lowerBound() != 0 || stored.upperBound() != SlotCount - 1)
        return {};
    const Variant *mode = stored.find(ModeSlot);
    const Variant *port = stored.find(PortSlot);
    const Variant *minutes = stored.find(MinutesSlot);
    if (!isText(stored.find(VersionSlot), Version) ||
        !(isText(mode, ModeOff) || isText(mode, ModeOthers)) || !isLongIn(port, 0, 65535) ||
        !isLongIn(minutes, 1, FeedbackSettings::MaxRecentMinutes))
        return {};
    FeedbackSettings settings;
    settings.mode = isText(mode, ModeOthers) ? FeedbackMode::Others : FeedbackMode::Off;
    settings.port = static_cast<uint16_t>(port->asLong());
    settings.recentMinutes = minutes->asLong();
    return settings;
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

void loadNetworkSettings(PlugInState &state)
{
    state.feedback = readNetworkSettings(networkFilePath(state));
}

bool networkSettingsUnsaved(const PlugInState &state)
{
    return state.feedback != readNetworkSettings(networkFilePath(state));
}

void saveNetworkSettings(const PlugInState &state)
{
    const std::string path = networkFilePath(state);
    if (state.feedback != readNetworkSettings(path))
        writeNetworkSettings(path, state.feedback);
}

} // namespace tarvex
