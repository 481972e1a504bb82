#include "host/objects/EventJson.h"

#include "core/Conversions.h"
#include "core/VbError.h"

namespace tarvex::host {
namespace {

std::string textOf(const Variant &value)
{
    try {
        return toText(value);
    } catch (const VbError &) {
        return "";
    }
}

} // namespace

std::string executeEventJson(const TargetValues &target, int32_t value, int32_t min, int32_t max)
{
    std::string line = "{\"event\":\"execute\",\"target\":[";
    line += jsonString(textOf(target.t0)) + "," + jsonString(textOf(target.t1)) + "," +
            jsonString(textOf(target.t2)) + "," + std::to_string(target.t3) + "," +
            std::to_string(target.t4) + "],\"value\":" + std::to_string(value) +
            ",\"min\":" + std::to_string(min) + ",\"max\":" + std::to_string(max) + "}";
    return line;
}

std::string userInteractionEventJson()
{
    return "{\"event\":\"userInteraction\"}";
}

} // namespace tarvex::host
