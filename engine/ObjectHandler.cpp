#include "engine/ObjectHandler.h"

#include "core/Conversions.h"
#include "core/VbError.h"

#include <charconv>
#include <limits>

namespace tarvex {
namespace {

constexpr int32_t ObjectVariableNotSet = 91;
constexpr int32_t TargetSize = 5;

const Variant &numericOr(const VarArray &parameters, int32_t index, const Variant &fallback)
{
    const Variant *p = parameters.find(index);
    return p && isNumeric(*p) ? *p : fallback;
}

TargetFactoryPtr targetFactory(PluginState &state)
{
    HostModulePtr cmp = state.windows.mainWindowHostModule();
    if (!cmp)
        throw VbError(ObjectVariableNotSet, "Object variable or With block variable not set");
    return cmp->GetTargetFactory();
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

void appendTargetKey(std::string &out, const VarArray &target)
{
    for (int32_t i = 0; i < TargetSize; ++i)
        appendText(out, target[i]);
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
                if (target && target->isArray() && target->array().size() >= TargetSize)
                    keys.push_back(targetKey(target->array()));
            }
        }
    }
    return keys;
}

} // namespace

void executeAction(PluginState &state, const Variant &value, const VarArray &parameters,
                   const VarArray &target)
{
    uint64_t generation = state.actionTable.generation();
    Variant stream = callByName(Variant(state.hostHelper), "MyStream");
    callByName(stream, "UserInteraction");
    // The host may have replaced the table the arrays belong to while it was being notified.
    if (generation != state.actionTable.generation())
        return;

    const Variant &first = target[0];
    if (first.isString() && first.asString() == DisabledTarget)
        return;

    static const Variant zero(0), full(255);
    const Variant &outMin = numericOr(parameters, parameterField::OutMin, zero);
    const Variant &outMax = numericOr(parameters, parameterField::OutMax, full);
    const Variant *inMin = parameters.find(parameterField::InMin);
    const Variant *inMax = parameters.find(parameterField::InMax);

    int32_t result = 127;
    if (isNumeric(value) && inMin && isNumeric(*inMin) && inMax && isNumeric(*inMax)) {
        if (compare(outMax, outMin) != Comparison::Equal)
            result = scaleValue(value, *inMin, *inMax, toLong(outMin), toLong(outMax)).asLong();
        else
            result = toLong(outMin);
    }

    HostTargetPtr host = getTarget(state, target);

    int32_t min = toLong(numericOr(parameters, parameterField::Min, zero));
    int32_t max = toLong(numericOr(parameters, parameterField::Max, full));
    // Equal limits tell the host to take the value as a share of 100000.
    if (min == max) {
        result = 10000;
        min = 0;
        max = 100000;
    }
    host->Execute(result, min, max, stream);
}

Variant scaleValue(const Variant &value, const Variant &inMin, const Variant &inMax, int32_t outMin,
                   int32_t outMax)
{
    try {
        Decimal low = toDecimal(inMin);
        Decimal inSpan = toDecimal(inMax) - low;
        if (inSpan.isZero())
            return Variant(outMin);
        Decimal outSpan = Decimal(int64_t{outMax}) - Decimal(int64_t{outMin});
        int64_t scaled = ((toDecimal(value) - low) * outSpan / inSpan).toInt32();
        int64_t result = scaled + outMin;
        if (result < std::numeric_limits<int32_t>::min() ||
            result > std::numeric_limits<int32_t>::max())
            return Variant(outMin);
        return Variant(static_cast<int32_t>(result));
    } catch (const VbError &e) {
        if (e.number() != errc::Overflow)
            throw;
        return Variant(outMin);
    }
}

HostTargetPtr getTarget(PluginState &state, const VarArray &target)
{
    std::string &key = state.targetKeyBuffer;
    key.clear();
    appendTargetKey(key, target);
    if (HostTargetPtr cached = state.targetCache.find(key))
        return cached;
    std::string newKey = key; // the factory may come back into the engine
    HostTargetPtr created = targetFactory(state)->CreateTarget(
        target[0], target[1], target[2], toByte(target[3]), toLong(target[4]));
    state.targetCache.add(std::move(newKey), created);
    return created;
}

std::string targetKey(const VarArray &target)
{
    std::string key;
    appendTargetKey(key, target);
    return key;
}

void releaseUnusedTargets(PluginState &state)
{
    for (const std::string &key :
         state.targetCache.keysNotIn(keysInUse(state.actionTable.rows()))) {
        TargetFactoryPtr factory = targetFactory(state); // before the entry leaves the cache
        factory->ReleaseTarget(state.targetCache.remove(key));
    }
}

} // namespace tarvex
