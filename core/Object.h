#pragma once
// Object: a host object reached by late binding: members the plug-in does not know by type are
// called by name ("Project", then "BaseFilename" on its result).

#include "core/Variant.h"

#include <span>
#include <string_view>

namespace tarvex {

class Object {
public:
    virtual ~Object() = default;

    // Calls a property or method by name. The default knows no member and raises error 438.
    virtual Variant callByName(std::string_view member, std::span<const Variant> arguments = {});
};

// Calls a member by name on an object held in a value; a value that is no object (or holds none)
// raises error 424 ("Object required").
Variant callByName(const Variant &target, std::string_view member,
                   std::span<const Variant> arguments = {});
// The same on an object pointer, which saves wrapping it in a value; a null one raises 424.
Variant callByName(const ObjectPtr &target, std::string_view member,
                   std::span<const Variant> arguments = {});

} // namespace tarvex
