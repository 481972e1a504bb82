#include "host/objects/TargetOptions.h"

#include <charconv>

namespace tarvex::host {
namespace {

std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Takes one "name=value" part into the options; false when it is none.
bool takePart(std::string_view part, TargetOptions &options)
{
    const size_t equals = part.find('=');
    if (equals == std::string_view::npos)
        return false;
    const std::string_view name = trimmed(part.substr(0, equals));
    const std::string_view value = trimmed(part.substr(equals + 1));
    if (name == "curve") {
        const std::optional<Curve> curve = curveNamed(value);
        if (curve)
            options.curve = *curve;
        return curve.has_value();
    }
    if (name == "fade") {
        const std::optional<uint32_t> ms = value.empty() ? std::nullopt : fadeMsOf(value);
        if (ms)
            options.fadeMs = *ms;
        return ms.has_value();
    }
    return false;
}

} // namespace

std::optional<TargetOptions> readTargetOptions(std::string_view text)
{
    TargetOptions options;
    while (!trimmed(text).empty()) {
        const size_t end = text.find(';');
        const std::string_view part = text.substr(0, end);
        // An empty part (";;", a ";" at the end) is harmless.
        if (!trimmed(part).empty() && !takePart(part, options))
            return std::nullopt;
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    return options;
}

TargetOptions targetOptionsOf(const Variant &t2)
{
    if (!t2.isString())
        return {};
    return readTargetOptions(t2.asString()).value_or(TargetOptions{});
}

std::string optionsText(const TargetOptions &options)
{
    std::string text;
    if (options.curve != Curve::Linear)
        text = "curve=" + std::string(curveName(options.curve));
    if (options.fadeMs != 0)
        text += (text.empty() ? "fade=" : ";fade=") + std::to_string(options.fadeMs);
    return text;
}

std::optional<uint32_t> fadeMsOf(std::string_view text)
{
    text = trimmed(text);
    if (text.empty())
        return 0;
    uint32_t ms = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), ms);
    if (error != std::errc() || end != text.data() + text.size() || ms > TargetOptions::MaxFadeMs)
        return std::nullopt;
    return ms;
}

} // namespace tarvex::host
