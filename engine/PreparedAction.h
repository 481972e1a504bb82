#pragma once
// PreparedAction: what a condition's parameter and target cells mean as numbers and as a cache
// key, worked out once instead of for every datagram. The cells are texts as the editor entered
// them; reading them is most of the cost of an execution. executeAction and getTarget find them
// here.
//
// A preparation is only valid for the table it was made from: PreparedActions forgets every
// preparation when the action table changes (ActionTable::generation). A conversion that fails
// while preparing is kept and raised at the moment the execution would have met it.

#include "core/Decimal.h"
#include "core/VarArray.h"
#include "plugin/api/HostInterfaces.h"

#include <exception>
#include <string>
#include <unordered_map>
#include <vector>

namespace tarvex {

// A condition's target: copies of its five creation values, the cache key they make, and the
// host target last found for that key while the target cache is unchanged. A target array
// converts to it, so getTarget reads as taking the array.
struct PreparedTarget {
    PreparedTarget(const VarArray &target); // implicit: the array is what it stands for

    VarArray values;
    std::string key;
    std::exception_ptr keyError;

    mutable HostTargetPtr host;
    mutable uint64_t cacheGeneration = 0;
};

// What executeAction needs of a condition's parameters and target, read from copies once, so
// that an execution never reads the table again after its first host call.
struct PreparedAction {
    PreparedAction(const VarArray &parameters, const VarArray &target);

    bool disabled = false; // the target's first value is "Deaktiviert"
    std::exception_ptr disabledCheckError;

    // inMin and inMax as decimals, when both are numeric; a bound too large for a decimal
    // gives outMin.
    bool inputNumeric = false;
    bool inputOverflow = false;
    Decimal inMin, inMax;

    // outMin and outMax after their defaults; equal as held means "send outMin".
    bool outputEqual = false;
    int32_t outMin = 0, outMax = 255;
    std::exception_ptr outputError;

    PreparedTarget target;

    int32_t min = 0, max = 255;
    std::exception_ptr limitError;
};

// A condition's operator as its text reads; Unread for an operator that is no text, whose
// text is taken when the condition is evaluated.
enum class ConditionOperator : uint8_t {
    Never,
    Any,
    Equal,
    Less,
    Greater,
    NotEqual,
    Other,
    Unread
};

// One condition a row runs for a message, found by walking the message's tags.
struct PlannedStep {
    bool argumentLess;           // the "Empty" pseudo-argument: no operator, no activation
    uint16_t slot, occurrence;   // where the value lies in the message's argument lists
    ConditionOperator kind;      // the operator read once
    bool beatRule;               // the compare value selects the beat rule
    const Variant *op;           // the condition's operator
    const Variant *compareValue; // nullptr when the parameters have none
    const VarArray *parameters;  // the condition's parameters and target, prepared
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

// Preparations of the rows and conditions of the current action table, keyed by the address of
// the table's arrays. Everything is forgotten when they are asked for with a newer generation
// of the table, which only the dispatch of a datagram does, never while it is under way (it
// stops as soon as the table changes, and is never re-entered); so what a datagram's handling
// holds of them stays valid until the handling ends. Node-based maps keep references stable.
class PreparedActions {
public:
    // The preparation of the condition whose parameters and target are given; the arrays must
    // belong to the action table of the given generation.
    PreparedAction &of(const VarArray &parameters, const VarArray &target, uint64_t generation);
    // The preparation made by of() for these parameters in this generation, or nullptr. Only
    // arrays of the table are ever keyed, so another array can never find one.
    const PreparedAction *find(const VarArray &parameters, uint64_t generation) const;
    // The plan of a row of the action table of the given generation.
    RowPlan &planOf(const VarArray &row, uint64_t generation);

private:
    void forgetAllBut(uint64_t generation);

    std::unordered_map<const VarArray *, PreparedAction> m_byParameters;
    std::unordered_map<const VarArray *, RowPlan> m_byRow;
    uint64_t m_generation = 0;
    // The last preparation found: a condition that fires often (a fader) skips the lookup.
    mutable const VarArray *m_lastParameters = nullptr;
    mutable const PreparedAction *m_lastFound = nullptr;
    // The same for the last row planned.
    const VarArray *m_lastRow = nullptr;
    RowPlan *m_lastPlan = nullptr;
};

} // namespace tarvex
