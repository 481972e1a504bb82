#include "engine/PreparedAction.h"

#include "core/Conversions.h"
#include "core/VbError.h"
#include "engine/ActionTable.h"
#include "engine/ObjectHandler.h"

namespace tarvex {
namespace {

// What a cell that is not numeric stands for: 0 for outMin and Min, 255 for outMax and Max.
const Variant DefaultLow(0);
const Variant DefaultHigh(255);

const Variant &numericOr(const VarArray &parameters, int32_t index, const Variant &fallback)
{
    const Variant *p = parameters.find(index);
    return p && isNumeric(*p) ? *p : fallback;
}

// Runs one conversion; a failure is kept to be raised where the execution meets it.
template <typename Convert> void capture(std::exception_ptr &error, Convert convert)
{
    try {
        convert();
    } catch (...) {
        error = std::current_exception();
    }
}

void prepareInput(PreparedAction &p, const VarArray &parameters)
{
    const Variant *inMin = parameters.find(parameterField::InMin);
    const Variant *inMax = parameters.find(parameterField::InMax);
    p.inputNumeric = inMin && isNumeric(*inMin) && inMax && isNumeric(*inMax);
    if (!p.inputNumeric)
        return;
    try {
        p.inMin = toDecimal(*inMin);
        p.inMax = toDecimal(*inMax);
    } catch (const VbError &) {
        p.inputOverflow = true;
    }
}

void prepareOutput(PreparedAction &p, const VarArray &parameters)
{
    const Variant &outMin = numericOr(parameters, parameterField::OutMin, DefaultLow);
    const Variant &outMax = numericOr(parameters, parameterField::OutMax, DefaultHigh);
    // Compared as held: the texts "0" and "0.0" differ.
    p.outputEqual = compare(outMax, outMin) == Comparison::Equal;
    capture(p.outputError, [&] {
        p.outMin = toLong(outMin);
        p.outMax = toLong(outMax);
    });
}

void prepareLimits(PreparedAction &p, const VarArray &parameters)
{
    capture(p.limitError, [&] {
        p.min = toLong(numericOr(parameters, parameterField::Min, DefaultLow));
        p.max = toLong(numericOr(parameters, parameterField::Max, DefaultHigh));
    });
}

} // namespace

PreparedTarget::PreparedTarget(const VarArray &target) : values(target)
{
    capture(keyError, [&] { key = targetKey(target); });
}

PreparedAction::PreparedAction(const VarArray &parameters, const VarArray &targetValues)
    : target(targetValues)
{
    capture(disabledCheckError, [&] {
        const Variant &first = targetValues[0];
        disabled = first.isString() && first.asString() == DisabledTarget;
    });
    prepareInput(*this, parameters);
    prepareOutput(*this, parameters);
    prepareLimits(*this, parameters);
}

void PreparedActions::forgetAllBut(uint64_t generation)
{
    if (generation != m_generation) {
        m_byParameters.clear();
        m_byRow.clear();
        m_lastParameters = nullptr;
        m_lastFound = nullptr;
        m_lastRow = nullptr;
        m_lastPlan = nullptr;
        m_generation = generation;
    }
}

RowPlan &PreparedActions::planOf(const VarArray &row, uint64_t generation)
{
    forgetAllBut(generation);
    if (&row != m_lastRow) {
        m_lastPlan = &m_byRow[&row];
        m_lastRow = &row;
    }
    return *m_lastPlan;
}

PreparedAction &PreparedActions::of(const VarArray &parameters, const VarArray &target,
                                    uint64_t generation)
{
    forgetAllBut(generation);
    return m_byParameters.try_emplace(&parameters, parameters, target).first->second;
}

const PreparedAction *PreparedActions::find(const VarArray &parameters, uint64_t generation) const
{
    if (generation != m_generation)
        return nullptr;
    if (&parameters == m_lastParameters)
        return m_lastFound;
    auto found = m_byParameters.find(&parameters);
    if (found == m_byParameters.end())
        return nullptr;
    m_lastParameters = &parameters;
    m_lastFound = &found->second;
    return m_lastFound;
}

} // namespace tarvex
