#include "host/objects/TargetColumns.h"

#include "core/Conversions.h"
#include "core/VbError.h"
#include "host/objects/TargetOptions.h"

#include <charconv>
#include <limits>

namespace tarvex::host {
namespace {

std::string displayText(const Variant &value)
{
    try {
        return toText(value);
    } catch (const VbError &) {
        return "";
    }
}

std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A whole decimal number within [low, high]; 0 for an empty text.
std::optional<int64_t> wholeNumber(std::string_view text, int64_t low, int64_t high)
{
    text = trimmed(text);
    if (text.empty())
        return 0;
    int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

std::string numberOrEmpty(int64_t value)
{
    return value == 0 ? std::string() : std::to_string(value);
}

} // namespace

std::optional<TargetColumn> targetColumnAt(int column, int firstColumn)
{
    const int offset = column - firstColumn;
    if (offset < 0 || offset >= TargetColumnCount)
        return std::nullopt;
    return static_cast<TargetColumn>(offset);
}

std::string targetCellText(const TargetValues &values, TargetColumn column)
{
    switch (column) {
    case TargetColumn::Kind: return displayText(values.t0);
    case TargetColumn::Universe: return numberOrEmpty(values.t3);
    case TargetColumn::Channel: return numberOrEmpty(values.t4);
    case TargetColumn::Label: return displayText(values.t1);
    case TargetColumn::Hits: return "";
    case TargetColumn::Curve: return std::string(curveName(targetOptionsOf(values.t2).curve));
    case TargetColumn::FadeMs: return std::to_string(targetOptionsOf(values.t2).fadeMs);
    }
    return "";
}

void takeTargetCellText(TargetValues &values, TargetColumn column, const std::string &text)
{
    switch (column) {
    case TargetColumn::Kind: values.t0 = Variant(text); break;
    case TargetColumn::Universe:
        if (auto n = wholeNumber(text, 0, std::numeric_limits<uint8_t>::max()))
            values.t3 = static_cast<uint8_t>(*n);
        break;
    case TargetColumn::Channel:
        if (auto n = wholeNumber(text, std::numeric_limits<int32_t>::min(),
                                 std::numeric_limits<int32_t>::max()))
            values.t4 = static_cast<int32_t>(*n);
        break;
    case TargetColumn::Label: values.t1 = Variant(text); break;
    case TargetColumn::Hits: break;
    case TargetColumn::Curve:
        if (auto curve = curveNamed(trimmed(text))) {
            TargetOptions options = targetOptionsOf(values.t2);
            options.curve = *curve;
            values.t2 = Variant(optionsText(options));
        }
        break;
    case TargetColumn::FadeMs:
        if (auto ms = fadeMsOf(text)) {
            TargetOptions options = targetOptionsOf(values.t2);
            options.fadeMs = *ms;
            values.t2 = Variant(optionsText(options));
        }
        break;
    }
}

} // namespace tarvex::host
