#include "engine/ObjectHandler.h"

#include "core/Conversions.h"
#include "core/VbError.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>

namespace tarvex {
namespace {

// The factory of the main window's host module: none before the main window has loaded.
TargetFactoryPtr targetFactory(EngineState &state)
{
    return targetFactoryOf(state.windows.mainWindowHostModule());
}

void appendText(std::string &out, const Variant &value)
{
    char digits[16];
    switch (value.type()) {
    case VarType::String: out += value.asString(); return;
    case VarType::Long: {
        auto end = std::to_chars(digits, digits + sizeof digits, value.asLong()).ptr;
        out.append(digits, end);
        return;
    }
    case VarType::Byte: {
        auto end = std::to_chars(digits, digits + sizeof digits, value.asByte()).ptr;
        out.append(digits, end);
        return;
    }
    default: out += toText(value); return;
    }
}

// Every target key that a condition of the table uses ("never" conditions use none).
std::vector<std::string> keysInUse(const VarArray &rows)
{
    std::vector<std::string> keys;
    for (const Variant &r : rows.elements()) {
        const Variant *conditions = elementOf(r, rowField::Conditions);
        if (!conditions || !conditions->isArray())
            continue;
        for (const Variant &group : conditions->array().elements()) {
            if (!group.isArray())
                continue;
            for (const Variant &q : group.array().elements()) {
                const Variant *op = elementOf(q, conditionField::Operator);
                const Variant *target = elementOf(q, conditionField::Target);
                if (!op || (op->isString() && op->asString() == NeverOperator))
                    continue;
                if (target && target->isArray() &&
                    target->array().size() >= conditionField::TargetSize)
                    keys.push_back(targetKey(target->array()));
            }
        }
    }
    return keys;
}

__extension__ typedef __int128 i128;

// A decimal as an integer count of 10^-scale, when it is small enough for exact integer work.
bool smallMantissa(const Decimal &d, int64_t &mantissa)
{
    constexpr uint32_t Limit = 1u << 30; // keeps mid:lo below 2^62
    if (d.hi() != 0 || d.mid() >= Limit)
        return false;
    auto m = static_cast<int64_t>((uint64_t{d.mid()} << 32) | d.lo());
    mantissa = d.isNegative() ? -m : m;
    return true;
}

constexpr std::array<int64_t, 10> Pow10 = {1,      10,      100,      1000,      10000,
                                           100000, 1000000, 10000000, 100000000, 1000000000};

// Rounds numerator / denominator to the nearest integer, ties to even.
template <typename Int> Int roundedQuotient(Int numerator, Int denominator)
{
    Int quotient = numerator / denominator;
    Int remainder = numerator % denominator;
    Int twice = remainder < 0 ? -2 * remainder : 2 * remainder;
    Int magnitude = denominator < 0 ? -denominator : denominator;
    if (twice > magnitude || (twice == magnitude && quotient % 2 != 0))
        quotient += (numerator < 0) == (denominator < 0) ? 1 : -1;
    return quotient;
}

// round((value - inMin) * outSpan / inSpan) exactly, ties to even, in integers. Only for
// decimals of at most 9 places and mantissas below 2^62, which keeps every product below 2^127.
bool scaleExactly(const Decimal &value, const Decimal &inMin, const Decimal &inMax, int64_t outSpan,
                  int64_t &scaled)
{
    int64_t v, lo, hi;
    int scale = std::max({value.scale(), inMin.scale(), inMax.scale()});
    if (scale > 9 || !smallMantissa(value, v) || !smallMantissa(inMin, lo) ||
        !smallMantissa(inMax, hi))
        return false;
    i128 a = i128{v} * Pow10[scale - value.scale()];
    i128 b = i128{lo} * Pow10[scale - inMin.scale()];
    i128 c = i128{hi} * Pow10[scale - inMax.scale()];
    i128 numerator = (a - b) * outSpan;
    i128 denominator = c - b;
    constexpr i128 Narrow = i128{1} << 62;
    constexpr i128 Small = i128{1} << 30;
    i128 quotient;
    // The narrowest division the operands allow: each wider one is several times slower, and a
    // fader's value over its range fits 32 bits.
    if (numerator < Small && numerator > -Small && denominator < Small && denominator > -Small)
        quotient =
            roundedQuotient(static_cast<int32_t>(numerator), static_cast<int32_t>(denominator));
    else if (numerator < Narrow && numerator > -Narrow && denominator < Narrow &&
             denominator > -Narrow)
        quotient =
            roundedQuotient(static_cast<int64_t>(numerator), static_cast<int64_t>(denominator));
    else
        quotient = roundedQuotient(numerator, denominator);
    if (quotient < std::numeric_limits<int32_t>::min() ||
        quotient > std::numeric_limits<int32_t>::max())
        return false;
    scaled = static_cast<int64_t>(quotient);
    return true;
}

// The linear map on decimals; equal bounds or a result beyond 32 bits give outMin.
int32_t scaleDecimal(const Decimal &value, const Decimal &inMin, const Decimal &inMax,
                     int32_t outMin, int32_t outMax)
{
    if (inMin == inMax)
        return outMin;
    int64_t outSpan = int64_t{outMax} - outMin;
    int64_t scaled = 0;
    try {
        if (!scaleExactly(value, inMin, inMax, outSpan, scaled))
            scaled = ((value - inMin) * Decimal(outSpan) / (inMax - inMin)).toInt32();
    } catch (const VbError &e) {
        if (e.number() != errc::Overflow)
            throw;
        return outMin;
    }
    int64_t result = scaled + outMin;
    if (result < std::numeric_limits<int32_t>::min() ||
        result > std::numeric_limits<int32_t>::max())
        return outMin;
    return static_cast<int32_t>(result);
}

// Runs a scaling step; a number too large for a decimal gives outMin.
template <typename Step> int32_t outMinOnOverflow(int32_t outMin, Step step)
{
    try {
        return step();
    } catch (const VbError &e) {
        if (e.number() != errc::Overflow)
            throw;
        return outMin;
    }
}

// The bounds are decimals already, as a prepared condition holds them.
int32_t scaleNumber(const Variant &value, const Decimal &inMin, const Decimal &inMax,
                    int32_t outMin, int32_t outMax)
{
    return outMinOnOverflow(
        outMin, [&] { return scaleDecimal(toDecimal(value), inMin, inMax, outMin, outMax); });
}

int32_t scaledValue(const Variant &value, const PreparedAction &p)
{
    if (p.inputOverflow)
        return p.outMin;
    return scaleNumber(value, p.inMin, p.inMax, p.outMin, p.outMax);
}

void rethrowIf(const std::exception_ptr &error)
{
    if (error)
        std::rethrow_exception(error);
}

// The helper's IHostRowHits, or nullptr; cast once per helper.
IHostRowHits *hostRowHits(EngineState &state)
{
    auto &found = state.hostRowHits;
    if (found.helper != state.hostHelper) {
        found.helper = state.hostHelper;
        found.rows = dynamic_cast<IHostRowHits *>(state.hostHelper.get());
    }
    return found.rows;
}

// The steps of executeAction on a preparation. The condition's arrays are not read again, so
// once the host has been called the table may be another one and this action still runs with
// the values it started with.
void execute(EngineState &state, const Variant &value, const PreparedAction &p, int32_t row)
{
    // The row's key is read before the first host call, which may replace the table.
    IHostRowHits *rowHits = hostRowHits(state);
    const RowKey key =
        rowHits && row != NotARow ? state.rowKeys.keyOf(state.actionTable, row) : NoRow;

    Variant stream = callByName(state.hostHelper, "MyStream");
    callByName(stream, "UserInteraction");

    rethrowIf(p.disabledCheckError);
    if (p.disabled)
        return;

    int32_t result = 127;
    if (isNumeric(value) && p.inputNumeric) {
        rethrowIf(p.outputError);
        result = p.outputEqual ? p.outMin : scaledValue(value, p);
    }

    HostTargetPtr host = getTarget(state, p.target);

    rethrowIf(p.limitError);
    int32_t min = p.min, max = p.max;
    // Equal limits tell the host to take the value as a share of 100000.
    if (min == max) {
        result = 10000;
        min = 0;
        max = 100000;
    }
    if (rowHits)
        rowHits->rowExecuting(key);
    host->Execute(result, min, max, stream);
}

} // namespace

void executeAction(EngineState &state, const Variant &value, const VarArray &parameters,
                   const VarArray &target, int32_t row)
{
    // The table's conditions were prepared when their row was planned; other arrays are
    // prepared for this one call.
    if (const PreparedAction *p =
            state.preparedActions.find(parameters, state.actionTable.generation()))
        return execute(state, value, *p, row);
    const PreparedAction made(parameters, target);
    execute(state, value, made, row);
}

Variant scaleValue(const Variant &value, const Variant &inMin, const Variant &inMax, int32_t outMin,
                   int32_t outMax)
{
    return Variant(outMinOnOverflow(outMin, [&] {
        return scaleNumber(value, toDecimal(inMin), toDecimal(inMax), outMin, outMax);
    }));
}

HostTargetPtr getTarget(EngineState &state, const PreparedTarget &target)
{
    rethrowIf(target.keyError);
    if (target.host && target.cacheGeneration == state.targetCache.generation())
        return target.host;
    HostTargetPtr host = state.targetCache.find(target.key);
    if (!host) {
        const VarArray &t = target.values;
        host = targetFactory(state)->CreateTarget(t[0], t[1], t[2], toByte(t[3]), toLong(t[4]));
        state.targetCache.add(target.key, host);
    }
    target.host = host;
    target.cacheGeneration = state.targetCache.generation();
    return host;
}

std::string targetKey(const VarArray &target)
{
    std::string key;
    std::string text;
    for (int32_t i = 0; i < static_cast<int32_t>(conditionField::TargetSize); ++i) {
        text.clear();
        appendText(text, target[i]);
        key += std::to_string(text.size());
        key += ':';
        key += text;
    }
    return key;
}

void releaseUnusedTargets(EngineState &state)
{
    for (const std::string &key :
         state.targetCache.keysNotIn(keysInUse(state.actionTable.rows()))) {
        TargetFactoryPtr factory = targetFactory(state); // before the entry leaves the cache
        factory->ReleaseTarget(state.targetCache.remove(key));
    }
}

} // namespace tarvex
