#pragma once
// WindowObject: a window of the plug-in as the host holds it. The host keeps this object for as
// long as it likes; the widget behind it may be unloaded and loaded again meanwhile, so every
// member goes through the registry, and touching the window (show, hide, window state) loads it
// as any other touch does.
//
// Windows that offer the host more interfaces (the main window's command server and project
// hooks) derive from it and are registered with an object factory.

#include "plugin/api/PlugInInterfaces.h"
#include "toolkit/WindowRegistry.h"

namespace tarvex {

class WindowObject : public Object, public IExternalWindow {
public:
    WindowObject(WindowRegistry &registry, WindowId id);

    // IExternalWindow, in slot order.
    VBool isOpen() override;
    VBool loadWindow() override;
    VBool unloadWindow() override;
    VBool hideWindow() override;
    VBool showWindow() override;
    // 0 normal, 1 minimized, 2 maximized.
    int32_t WindowState() override;
    // Narrowed to 16 bits (error 6 when it does not fit); any value but 0, 1 and 2 raises error 380
    // (invalid property value).
    void SetWindowState(int32_t state) override;

    // The registry is going away: every later call raises error 91 (object not set).
    void detach() { m_registry = nullptr; }

protected:
    WindowRegistry &registry();
    WindowId id() const { return m_id; }

private:
    WindowRegistry *m_registry; // borrowed; cleared by the registry's destructor
    WindowId m_id;
};

} // namespace tarvex
