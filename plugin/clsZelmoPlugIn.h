#pragma once
// clsZelmoPlugIn: the plug-in as the host creates it through the library's entry point. It owns
// the plug-in's runtime (state, windows, message boxes) from creation to deletion; Init hands
// it the host's helper and Term closes the windows.

#include "plugin/api/PlugInEntry.h"
#include "toolkit/MessageBoxes.h"
#include "toolkit/WindowRegistry.h"

#include <memory>

namespace tarvex {

class PlugInRuntime;

// The module's identity and author, as the host's module information shows them.
inline constexpr std::string_view ModuleIdentifier = "{3e9a51c7-2b84-4f06-9d1e-7c5a0b62f4d8}";
inline constexpr std::string_view ModuleName = "Tarvex";
inline constexpr std::string_view ModuleDescription = "Empf\u00e4nger f\u00fcr OSC-Messages";
inline constexpr std::string_view ModuleAuthor = "Tarvex developers";

class clsZelmoPlugIn : public IPlugInClass, public IZelmoPlugin, public IZelmoModule {
public:
    clsZelmoPlugIn();
    // With the message boxes of the caller's choice (tests record them).
    explicit clsZelmoPlugIn(std::unique_ptr<MessageBoxes> ownBoxes);
    ~clsZelmoPlugIn() override;

    PlugInRuntime &runtime() { return *m_runtime; }

    // IPlugInClass.
    std::string PluginName() override;
    IZelmoPlugin &plugin() override { return *this; }
    IZelmoModule &module() override { return *this; }

    // IZelmoPlugin, in slot order (PluginName above serves both).
    VBool Disable() override;
    VBool Enable() override;
    VBool Configure() override;
    VBool Init(const std::string &callingAppTitle, const std::string &myFilename,
               ObjectPtr &plugInHelper) override;
    int32_t MessageHandle(int32_t msg, int32_t arg1, int32_t arg2) override;
    VBool Term() override;

    // IZelmoModule.
    ModuleInfoPtr ModuleInfo() override;

private:
    void closeWindow(WindowId id);

    std::unique_ptr<PlugInRuntime> m_runtime;
};

} // namespace tarvex
