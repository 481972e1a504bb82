#pragma once
// The interfaces the plug-in offers the host, members in the host's slot order. Booleans are
// 16-bit (true -1, false 0).

#include "plugin/api/HostInterfaces.h"

namespace tarvex {

class IZelmoPlugin {
public:
    virtual ~IZelmoPlugin() = default;
    virtual VBool Disable() = 0;
    virtual VBool Enable() = 0;
    virtual VBool Configure() = 0;
    virtual VBool Init(const std::string &callingAppTitle, const std::string &myFilename,
                       ObjectPtr &plugInHelper) = 0;
    virtual int32_t MessageHandle(int32_t msg, int32_t arg1, int32_t arg2) = 0;
    virtual std::string PluginName() = 0;
    virtual VBool Term() = 0;
};

class IZelmoModule {
public:
    virtual ~IZelmoModule() = default;
    virtual ModuleInfoPtr ModuleInfo() = 0;
};

class ICommandServer {
public:
    virtual ~ICommandServer() = default;
    virtual std::string Name() = 0;
    virtual OptionListPtr GetFirstOptions() = 0;
    virtual OptionListPtr GetSecondOptions(const Variant &firstSelection) = 0;
    virtual Variant ExecuteCommand(const Variant &firstSelection, const Variant &secondSelection,
                                   const Variant &newValue, const Variant &stream,
                                   const Variant &additionalData) = 0;
};

class IZelmoTool {
public:
    virtual ~IZelmoTool() = default;
    virtual void ClearProjectData() = 0;
    virtual void LoadProjectData() = 0;
    virtual void SaveProjectData() = 0;
    virtual VBool AskToSaveProjectData() = 0;
    virtual void SetViewMode(int32_t mode) = 0;
};

class IExternalWindow {
public:
    virtual ~IExternalWindow() = default;
    virtual VBool isOpen() = 0;
    virtual VBool loadWindow() = 0;
    virtual VBool unloadWindow() = 0;
    virtual VBool hideWindow() = 0;
    virtual VBool showWindow() = 0;
    virtual int32_t WindowState() = 0;
    virtual void SetWindowState(int32_t state) = 0;
};

} // namespace tarvex
