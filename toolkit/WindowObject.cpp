#include "toolkit/WindowObject.h"

#include "core/VbError.h"

#include <cstdint>

namespace tarvex {
namespace {

constexpr int32_t ObjectVariableNotSet = 91;
constexpr int32_t InvalidPropertyValue = 380;

} // namespace

WindowObject::WindowObject(WindowRegistry &registry, WindowId id) : m_registry(&registry), m_id(id)
{}

WindowRegistry &WindowObject::registry()
{
    if (!m_registry)
        throw VbError(ObjectVariableNotSet, "Object variable or With block variable not set");
    return *m_registry;
}

VBool WindowObject::isOpen()
{
    WindowRegistry &r = registry();
    return toVBool(r.isOpen(r.name(m_id)));
}

VBool WindowObject::loadWindow()
{
    registry().load(m_id);
    return VFalse;
}

VBool WindowObject::unloadWindow()
{
    registry().unload(m_id);
    return VFalse;
}

VBool WindowObject::hideWindow()
{
    registry().load(m_id).hide();
    return VFalse;
}

VBool WindowObject::showWindow()
{
    registry().show(m_id);
    return VFalse;
}

int32_t WindowObject::WindowState()
{
    Qt::WindowStates state = registry().load(m_id).windowState();
    if (state & Qt::WindowMinimized)
        return 1;
    if (state & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return 2;
    return 0;
}

void WindowObject::SetWindowState(int32_t state)
{
    // Narrowing a number that does not fit 16 bits is an overflow, not a wrap-around.
    if (state < INT16_MIN || state > INT16_MAX)
        raise(errc::Overflow);
    Qt::WindowState qtState;
    switch (state) {
    case 0: qtState = Qt::WindowNoState; break;
    case 1: qtState = Qt::WindowMinimized; break;
    case 2: qtState = Qt::WindowMaximized; break;
    default: throw VbError(InvalidPropertyValue, "Invalid property value");
    }
    registry().load(m_id).setWindowState(qtState);
}

} // namespace tarvex
