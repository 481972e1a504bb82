#pragma once
// PreparedAction: what a condition's parameter and target cells mean as numbers and as a cache
// key, worked out once instead of for every datagram. The cells are texts as the editor entered
// them; reading them is most of the cost of an execution.
//
// A preparation is only valid for the table it was made from: PreparedActions forgets every
// preparation when the action table changes (ActionTable::generation). A conversion that fails
// while preparing is kept and raised at the moment the execution would have met it.

#include "core/VarArray.h"
#include "plugin/HostInterfaces.h"

#include <exception>
#include <string>
#include <unordered_map>
#include <vector>

namespace tarvex {

struct PreparedAction {
    bool disabled = false; // the target's first value is "Deaktiviert"
    std::exception_ptr disabledCheckError;

    // inMin and inMax, when both are numeric; a bound too large for a decimal gives outMin.
    bool inputNumeric = false;
    bool inputOverflow = false;
    Decimal inMin, inMax;

    // outMin and outMax after their defaults; equal as held means "send outMin".
    bool outputEqual = false;
    int32_t outMin = 0, outMax = 255;
    std::exception_ptr outputError;

    std::string targetKey;
    std::exception_ptr targetKeyError;

    int32_t min = 0, max = 255;
    std::exception_ptr limitError;

    // The host target last found for targetKey, while the target cache is unchanged.
    HostTargetPtr target;
    uint64_t targetCacheGeneration = 0;
};

PreparedAction prepareAction(const VarArray &parameters, const VarArray &target);

// One condition a row runs for a message, found by walking the message's tags.
struct PlannedStep {
    bool argumentLess;           // the "Empty" pseudo-argument: no operator, no activation
    uint16_t slot, occurrence;   // where the value lies in the message's argument lists
    const Variant *op;           // the condition's operator
    const Variant *compareValue; // nullptr when the parameters have none
    PreparedAction *action;
    const VarArray *target;
};

// How a row runs for messages with one type-tag string: whether it matches, and its steps.
struct RowPlan {
    bool planned = false;
    bool emptyTags = false;
    std::string tags; // the message tags the plan was made for
    bool matches = false;
    std::vector<PlannedStep> steps;
};

// Preparations of the rows and conditions of the current action table. Everything is
// forgotten when the table's generation changes; node-based maps keep references stable.
class PreparedActions {
public:
    // The preparation of the condition whose parameters and target are given; the arrays must
    // belong to the action table of the given generation.
    PreparedAction &of(const VarArray &parameters, const VarArray &target, uint64_t generation);
    // The plan of a row of the action table of the given generation.
    RowPlan &planOf(const VarArray &row, uint64_t generation);

private:
    void forgetAllBut(uint64_t generation);

    std::unordered_map<const VarArray *, PreparedAction> m_byParameters;
    std::unordered_map<const VarArray *, RowPlan> m_byRow;
    uint64_t m_generation = 0;
};

} // namespace tarvex
