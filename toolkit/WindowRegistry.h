#pragma once
// WindowRegistry: every window of the plug-in exists at most once. A window is registered once
// with a factory; the first touch creates and loads it (hidden), unloading discards it, and the
// next touch creates and loads a fresh one.
//
// "The window object" and "the loaded window" are distinct. The object (a WindowObject, what
// the host holds) is created on demand without loading anything and stays the same across
// unload and reload; the loaded window is the QWidget with its controls.
//
//   WindowId main = registry.add("frmMainOSC", [&] { return std::make_unique<frmMainOSC>(rt); });
//   auto object = registry.object(main);          // nothing loaded yet
//   frmMainOSC &w = registry.window<frmMainOSC>(main);  // loaded now, Form_Load has run
//   registry.unload(main);                         // the widget is gone, the object stays

#include "toolkit/FormWindow.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

class WindowObject;
class WindowRegistry;

using WindowId = std::size_t;

class WindowRegistry {
public:
    using FormFactory = std::function<std::unique_ptr<FormWindow>()>;
    using ObjectFactory = std::function<std::shared_ptr<WindowObject>(WindowRegistry &, WindowId)>;

    WindowRegistry() = default;
    // Unloads every window in load order and detaches the objects the host may still hold.
    ~WindowRegistry();
    WindowRegistry(const WindowRegistry &) = delete;
    WindowRegistry &operator=(const WindowRegistry &) = delete;

    // Registration. The name is the window's name as the host and isOpen compare it. Without an
    // object factory the object is a plain WindowObject.
    WindowId add(std::string name, FormFactory createForm, ObjectFactory createObject = {});
    const std::string &name(WindowId id) const;
    // The window object, created on first use; never loads the window.
    std::shared_ptr<WindowObject> object(WindowId id);

    // Touching a window: the loaded window, created and loaded (hidden) first if needed.
    FormWindow &load(WindowId id);
    template <class Window> Window &window(WindowId id) { return static_cast<Window &>(load(id)); }
    // The loaded window, or nullptr; never loads.
    FormWindow *loaded(WindowId id) const;
    template <class Window> Window *loadedWindow(WindowId id) const
    {
        return static_cast<Window *>(loaded(id));
    }

    // Shows the window on top of the others, loading it first if needed.
    FormWindow &show(WindowId id);
    // Runs Form_Unload and discards the widget; nothing when the window is not loaded.
    void unload(WindowId id);

    // Whether a loaded window has this name, compared without regard to case.
    bool isOpen(std::string_view name) const;
    // The loaded windows in the order they were loaded.
    const std::vector<WindowId> &loadOrder() const { return m_loadOrder; }

private:
    struct Entry {
        std::string name;
        FormFactory createForm;
        ObjectFactory createObject;
        std::unique_ptr<FormWindow> form;
        std::shared_ptr<WindowObject> object;
    };
    Entry &entry(WindowId id);
    const Entry &entry(WindowId id) const;

    std::vector<Entry> m_entries;
    std::vector<WindowId> m_loadOrder;
};

} // namespace tarvex
