#pragma once
// HostModuleInfo: what a plug-in tells the host about itself. It records the fourteen settings
// the plug-in makes, and the order it made them in, so that the host can read the plug-in's name
// and find its main window and command server.
//
//   ModuleInfoPtr info = plugIn->module().ModuleInfo();
//   auto host = std::dynamic_pointer_cast<HostModuleInfo>(info);
//   ObjectPtr server = host->commandServer(); // an ICommandServer

#include "plugin/api/HostInterfaces.h"

#include <vector>

namespace tarvex::host {

// The module-info list property: numbers the plug-in adds (its host codes).
class HostNumberList : public INumberList {
public:
    void Add(int32_t value) override { m_values.push_back(value); }
    const std::vector<int32_t> &values() const { return m_values; }

private:
    std::vector<int32_t> m_values;
};

// The settings in the order a plug-in makes them; steps() lists them as they came.
enum class ModuleInfoStep {
    Identifier = 1,
    Name,
    Description,
    Author,
    Flag1,
    Flag2,
    Setting,
    MainWindowName,
    MainWindow,
    Flag3,
    Flag4,
    CommandServer,
    Flag5,
    Codes,
};

class HostModuleInfo : public IModuleInfo {
public:
    HostModuleInfo();

    void SetIdentifier(const std::string &guid) override;
    void SetName(const std::string &name) override;
    void SetDescription(const std::string &description) override;
    void SetAuthor(const std::string &author) override;
    void SetFlag1(VBool value) override;
    void SetFlag2(VBool value) override;
    void SetSetting(int32_t value) override;
    void SetMainWindowName(const std::string &name) override;
    void SetMainWindow(const ObjectPtr &window) override;
    void SetFlag3(VBool value) override;
    void SetFlag4(VBool value) override;
    void SetCommandServer(const ObjectPtr &server) override;
    void SetFlag5(VBool value) override;
    std::shared_ptr<INumberList> Codes() override;

    const std::string &identifier() const { return m_identifier; }
    const std::string &name() const { return m_name; }
    const std::string &description() const { return m_description; }
    const std::string &author() const { return m_author; }
    // Flags 1 to 5 as the plug-in set them (true -1, false 0); another number is out of range.
    VBool flag(int number) const;
    int32_t setting() const { return m_setting; }
    const std::string &mainWindowName() const { return m_mainWindowName; }
    const ObjectPtr &mainWindow() const { return m_mainWindow; }
    const ObjectPtr &commandServer() const { return m_commandServer; }
    const std::vector<int32_t> &codes() const { return m_codes->values(); }
    const std::vector<ModuleInfoStep> &steps() const { return m_steps; }

private:
    void setFlag(int number, VBool value, ModuleInfoStep step);

    std::string m_identifier, m_name, m_description, m_author, m_mainWindowName;
    VBool m_flags[5] = {VFalse, VFalse, VFalse, VFalse, VFalse};
    int32_t m_setting = 0;
    ObjectPtr m_mainWindow, m_commandServer;
    std::shared_ptr<HostNumberList> m_codes;
    std::vector<ModuleInfoStep> m_steps;
};

} // namespace tarvex::host
