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
    if (!target.isObject() || !target.asObject())
        raise(errc::ObjectRequired);
    return target.asObject()->callByName(member, arguments);
}

} // namespace tarvex
