#include "plugin/clsZelmoPlugIn.h"

#include "core/VbError.h"
#include "net/frmMainOSC.h"
#include "plugin/PlugInRuntime.h"

namespace tarvex {

clsZelmoPlugIn::clsZelmoPlugIn() : clsZelmoPlugIn(std::make_unique<QtMessageBoxes>()) {}

// The boxes read the helper when they are shown: Init may come after creation.
clsZelmoPlugIn::clsZelmoPlugIn(std::unique_ptr<MessageBoxes> ownBoxes)
    : m_runtime(std::make_unique<PlugInRuntime>(std::make_unique<HostFirstMessageBoxes>(
          [this] { return m_runtime ? m_runtime->state().hostHelper : ObjectPtr(); },
          std::move(ownBoxes))))
{}

clsZelmoPlugIn::~clsZelmoPlugIn() = default;

std::string clsZelmoPlugIn::PluginName()
{
    return std::string(ModuleName);
}

VBool clsZelmoPlugIn::Disable()
{
    return VFalse;
}

VBool clsZelmoPlugIn::Enable()
{
    return VTrue;
}

VBool clsZelmoPlugIn::Configure()
{
    PlugInWindows &windows = m_runtime->windows();
    windows.show(windows.settingsWindowId());
    return VTrue;
}

VBool clsZelmoPlugIn::Init(const std::string &, const std::string &, ObjectPtr &zelmoPluginHelper)
{
    m_runtime->state().hostHelper = zelmoPluginHelper;
    return VTrue;
}

int32_t clsZelmoPlugIn::MessageHandle(int32_t, int32_t, int32_t)
{
    return 0;
}

// Every loaded window in load order; a step that fails is passed over and the next one runs.
VBool clsZelmoPlugIn::Term()
{
    try {
        const std::vector<WindowId> order = m_runtime->windows().registry().loadOrder();
        for (WindowId id : order)
            closeWindow(id);
    } catch (...) {
    }
    return VTrue;
}

void clsZelmoPlugIn::closeWindow(WindowId id)
{
    PlugInWindows &windows = m_runtime->windows();
    if (id == windows.mainWindowId()) {
        try {
            if (frmMainOSC *main = windows.loadedMainWindow())
                main->Winsock1->Close();
        } catch (...) {
        }
    } else if (id != windows.settingsWindowId() && id != windows.analyzerWindowId()) {
        return; // other windows are left to the registry's end
    }
    try {
        windows.registry().unload(id);
    } catch (...) {
    }
}

ModuleInfoPtr clsZelmoPlugIn::ModuleInfo()
{
    ModuleInfoPtr info = requiredHostModule(m_runtime->state().hostHelper)->NewModuleInfo();
    if (!info)
        raise(errc::ObjectRequired);
    std::shared_ptr<WindowObject> window = m_runtime->windows().mainWindowObject();
    info->SetIdentifier(std::string(ModuleIdentifier));
    info->SetName(std::string(ModuleName));
    info->SetDescription(std::string(ModuleDescription));
    info->SetAuthor(std::string(ModuleAuthor));
    info->SetFlag1(VTrue);
    info->SetFlag2(VTrue);
    info->SetSetting(2);
    info->SetMainWindowName("frmMainOSC");
    info->SetMainWindow(window);
    info->SetFlag3(VTrue);
    info->SetFlag4(VTrue);
    info->SetCommandServer(window); // the same object, offering ICommandServer
    info->SetFlag5(VTrue);
    std::shared_ptr<INumberList> codes = info->Codes();
    if (!codes)
        raise(errc::ObjectRequired);
    for (int32_t code : {3, 15, 9})
        codes->Add(code);
    return info;
}

} // namespace tarvex
