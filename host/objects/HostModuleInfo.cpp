#include "host/objects/HostModuleInfo.h"

#include <stdexcept>

namespace tarvex::host {

HostModuleInfo::HostModuleInfo() : m_codes(std::make_shared<HostNumberList>()) {}

void HostModuleInfo::SetIdentifier(const std::string &guid)
{
    m_identifier = guid;
    m_steps.push_back(ModuleInfoStep::Identifier);
}

void HostModuleInfo::SetName(const std::string &name)
{
    m_name = name;
    m_steps.push_back(ModuleInfoStep::Name);
}

void HostModuleInfo::SetDescription(const std::string &description)
{
    m_description = description;
    m_steps.push_back(ModuleInfoStep::Description);
}

void HostModuleInfo::SetAuthor(const std::string &author)
{
    m_author = author;
    m_steps.push_back(ModuleInfoStep::Author);
}

void HostModuleInfo::setFlag(int number, VBool value, ModuleInfoStep step)
{
    m_flags[number - 1] = value;
    m_steps.push_back(step);
}

void HostModuleInfo::SetFlag1(VBool value)
{
    setFlag(1, value, ModuleInfoStep::Flag1);
}

void HostModuleInfo::SetFlag2(VBool value)
{
    setFlag(2, value, ModuleInfoStep::Flag2);
}

void HostModuleInfo::SetSetting(int32_t value)
{
    m_setting = value;
    m_steps.push_back(ModuleInfoStep::Setting);
}

void HostModuleInfo::SetMainWindowName(const std::string &name)
{
    m_mainWindowName = name;
    m_steps.push_back(ModuleInfoStep::MainWindowName);
}

void HostModuleInfo::SetMainWindow(const ObjectPtr &window)
{
    m_mainWindow = window;
    m_steps.push_back(ModuleInfoStep::MainWindow);
}

void HostModuleInfo::SetFlag3(VBool value)
{
    setFlag(3, value, ModuleInfoStep::Flag3);
}

void HostModuleInfo::SetFlag4(VBool value)
{
    setFlag(4, value, ModuleInfoStep::Flag4);
}

void HostModuleInfo::SetCommandServer(const ObjectPtr &server)
{
    m_commandServer = server;
    m_steps.push_back(ModuleInfoStep::CommandServer);
}

void HostModuleInfo::SetFlag5(VBool value)
{
    setFlag(5, value, ModuleInfoStep::Flag5);
}

std::shared_ptr<INumberList> HostModuleInfo::Codes()
{
    m_steps.push_back(ModuleInfoStep::Codes);
    return m_codes;
}

VBool HostModuleInfo::flag(int number) const
{
    if (number < 1 || number > 5)
        throw std::out_of_range("module info has flags 1 to 5");
    return m_flags[number - 1];
}

} // namespace tarvex::host
