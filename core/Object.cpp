#include "core/Object.h"

#include "core/VbError.h"

namespace tarvex {

Variant Object::callByName(std::string_view, std::span<const Variant>)
{
    raise(errc::NoSuchMember);
}

Variant callByName(const Variant &target, std::string_view member,
                   std::span<const Variant> arguments)
{
    if (!target.isObject())
        raise(errc::ObjectRequired);
    return callByName(target.asObject(), member, arguments);
}

Variant callByName(const ObjectPtr &target, std::string_view member,
                   std::span<const Variant> arguments)
{
    if (!target)
        raise(errc::ObjectRequired);
    return target->callByName(member, arguments);
}

} // namespace tarvex
