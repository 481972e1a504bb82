#pragma once
// Builds action-table rows the way the editor's rebuild stores them, for tests and benchmarks.
//
//   Variant r = actionRow("/fader1", {"f"}, {{condition("any", range("", "0", "1"),
//   target("Ch1"))}});

#include "core/VarArray.h"

#include <initializer_list>
#include <string>
#include <vector>

namespace tarvex::test {

// The seven parameter texts: compare value, inMin, inMax, outMin, outMax, Min, Max.
inline VarArray parameters(std::vector<std::string> texts)
{
    std::vector<Variant> values(texts.begin(), texts.end());
    return VarArray::ofValues(std::move(values));
}
inline VarArray range(const std::string &compare, const std::string &inMin,
                      const std::string &inMax, const std::string &outMin = "0",
                      const std::string &outMax = "255", const std::string &min = "0",
                      const std::string &max = "255")
{
    return parameters({compare, inMin, inMax, outMin, outMax, min, max});
}

// A host target's creation values; "Deaktiviert" as the name means none.
inline VarArray target(const std::string &name, int32_t t4 = 1)
{
    return VarArray::ofValues(
        {Variant(name), Variant("T1"), Variant("T2"), Variant::byte(3), Variant(t4)});
}

inline Variant condition(const std::string &op, VarArray params, VarArray tgt)
{
    return Variant(
        VarArray::ofValues({Variant(op), Variant(std::move(params)), Variant(std::move(tgt))}));
}
inline Variant never()
{
    return Variant(VarArray::ofValues({Variant("never")}));
}

// conditions: one list per argument kind, in the order of the kinds' first tags.
inline Variant actionRow(const std::string &address, const std::vector<std::string> &tags,
                         const std::vector<std::vector<Variant>> &conditions, int32_t id = 1,
                         const std::string &activation = "Activated")
{
    VarArray groups;
    for (const auto &list : conditions)
        groups.append(Variant(VarArray::ofValues(list)));
    return Variant(
        VarArray::ofValues({Variant(address), Variant(VarArray::ofStrings(tags)),
                            Variant(std::move(groups)), Variant(id), Variant(activation)}));
}

inline VarArray table(std::initializer_list<Variant> rows)
{
    return VarArray::ofValues(std::vector<Variant>(rows));
}

} // namespace tarvex::test
