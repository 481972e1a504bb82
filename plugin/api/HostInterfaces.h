#pragma once
// The host's objects as the plug-in sees them. Every host object is reference counted
// (std::shared_ptr) and is also an Object, so members can be called by name where the plug-in
// binds late. Members are declared in the host's slot order; booleans crossing to the host are
// 16-bit (true -1, false 0).

#include "core/Object.h"
#include "core/VbError.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tarvex {

using VBool = int16_t;
constexpr VBool VTrue = -1;
constexpr VBool VFalse = 0;
inline VBool toVBool(bool value)
{
    return value ? VTrue : VFalse;
}

// A target of the host: something it executes with a value and limits (a DMX channel, a cue...).
class IHostTarget : public Object {
public:
    virtual void Execute(int32_t &value, int32_t &min, int32_t &max, const Variant &stream) = 0;
    // The creation values, read back in the host's slot order T1, T3, T0, T4, T2.
    virtual Variant T1() = 0;
    virtual uint8_t T3() = 0;
    virtual Variant T0() = 0;
    virtual int32_t T4() = 0;
    virtual Variant T2() = 0;
};
using HostTargetPtr = std::shared_ptr<IHostTarget>;

// The host's factory of targets; it also draws them in the editor's list.
class ITargetFactory : public Object {
public:
    // Hands the factory the editor's list widget so that it adds its target columns.
    virtual void SetupList(const ObjectPtr &listWidget) = 0;
    virtual void ReleaseTarget(const HostTargetPtr &target) = 0;
    virtual void BeginCellEdit(const HostTargetPtr &target, const ObjectPtr &listWidget,
                               int16_t firstColumn) = 0;
    virtual void EndCellEdit(const HostTargetPtr &target, const ObjectPtr &listWidget,
                             int16_t firstColumn) = 0;
    virtual HostTargetPtr CreateTarget(const Variant &t0, const Variant &t1, const Variant &t2,
                                       uint8_t t3, int32_t t4) = 0;
    // Shows the target in a list row; returns the row, possibly replaced.
    virtual ObjectPtr ShowTargetInRow(const HostTargetPtr &target, const ObjectPtr &row,
                                      int16_t firstColumn) = 0;
};
using TargetFactoryPtr = std::shared_ptr<ITargetFactory>;

// A list of choices the host shows for its cues: a caption and the value handed back.
class IOptionList : public Object {
public:
    virtual void AddEntry(const std::string &caption, const std::string &value) = 0;
};
using OptionListPtr = std::shared_ptr<IOptionList>;

// A list property of the module information that accepts added numbers.
class INumberList : public Object {
public:
    virtual void Add(int32_t value) = 0;
};

// What the plug-in tells the host about itself, set in this order.
class IModuleInfo : public Object {
public:
    virtual void SetIdentifier(const std::string &guid) = 0;
    virtual void SetName(const std::string &name) = 0;
    virtual void SetDescription(const std::string &description) = 0;
    virtual void SetAuthor(const std::string &author) = 0;
    virtual void SetFlag1(VBool value) = 0;
    virtual void SetFlag2(VBool value) = 0;
    virtual void SetSetting(int32_t value) = 0;
    virtual void SetMainWindowName(const std::string &name) = 0;
    virtual void SetMainWindow(const ObjectPtr &window) = 0;
    virtual void SetFlag3(VBool value) = 0;
    virtual void SetFlag4(VBool value) = 0;
    virtual void SetCommandServer(const ObjectPtr &server) = 0;
    virtual void SetFlag5(VBool value) = 0;
    virtual std::shared_ptr<INumberList> Codes() = 0;
};
using ModuleInfoPtr = std::shared_ptr<IModuleInfo>;

// The typed view of the host helper. Its first method gives the target factory; the other two
// stand for creating the host's option-list and module-info classes.
class IHostModule {
public:
    virtual ~IHostModule() = default;
    virtual TargetFactoryPtr GetTargetFactory() = 0;
    virtual OptionListPtr NewOptionList() = 0;
    virtual ModuleInfoPtr NewModuleInfo() = 0;
};
using HostModulePtr = std::shared_ptr<IHostModule>;

// The typed view of a helper object, or nullptr when it offers none.
inline HostModulePtr typedView(const ObjectPtr &helper)
{
    return std::dynamic_pointer_cast<IHostModule>(helper);
}

// The typed view of the host's helper, for a call that needs it now: error 424 ("Object
// required") when the helper offers none (or the host has not called Init yet).
inline HostModulePtr requiredHostModule(const ObjectPtr &helper)
{
    HostModulePtr module = typedView(helper);
    if (!module)
        raise(errc::ObjectRequired);
    return module;
}

// The host's target factory through a typed helper taken earlier: error 91 ("Object variable
// not set") when there is no helper or it gives no factory.
inline TargetFactoryPtr targetFactoryOf(const HostModulePtr &module)
{
    if (!module)
        raise(errc::ObjectVariableNotSet);
    TargetFactoryPtr factory = module->GetTargetFactory();
    if (!factory)
        raise(errc::ObjectVariableNotSet);
    return factory;
}

} // namespace tarvex
