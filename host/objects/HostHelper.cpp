#include "host/objects/HostHelper.h"

#include "host/objects/HostModuleInfo.h"
#include "host/objects/HostOptionList.h"

#include <algorithm>

namespace tarvex::host {
namespace {

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

bool sameMemberName(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

Variant HostProject::callByName(std::string_view member, std::span<const Variant> arguments)
{
    if (sameMemberName(member, "BaseFilename"))
        return Variant(m_baseFilename);
    return Object::callByName(member, arguments);
}

Variant HostStream::callByName(std::string_view member, std::span<const Variant> arguments)
{
    if (!sameMemberName(member, "UserInteraction"))
        return Object::callByName(member, arguments);
    if (m_events && m_events->userInteraction)
        m_events->userInteraction();
    return Variant();
}

HostHelper::HostHelper(std::shared_ptr<Universes> universes,
                       std::shared_ptr<const HostEvents> events)
    : m_project(std::make_shared<HostProject>()), m_stream(std::make_shared<HostStream>(events)),
      m_factory(std::make_shared<DmxTargetFactory>(std::move(universes), events)),
      m_events(std::move(events))
{}

bool HostHelper::takeMessageBox(const std::string &text)
{
    return m_events && m_events->messageBox && m_events->messageBox(text);
}

void HostHelper::notice(const std::string &text)
{
    if (m_events && m_events->notice)
        m_events->notice(text);
}

Variant HostHelper::callByName(std::string_view member, std::span<const Variant> arguments)
{
    if (sameMemberName(member, "Project"))
        return Variant(ObjectPtr(m_project));
    if (sameMemberName(member, "MyStream"))
        return Variant(ObjectPtr(m_stream));
    return Object::callByName(member, arguments);
}

OptionListPtr HostHelper::NewOptionList()
{
    return std::make_shared<HostOptionList>();
}

ModuleInfoPtr HostHelper::NewModuleInfo()
{
    return std::make_shared<HostModuleInfo>();
}

void HostHelper::actionsChanged()
{
    if (m_events && m_events->actionsChanged)
        m_events->actionsChanged();
}

void HostHelper::listRowShows(const ObjectPtr &listRow, RowKey row)
{
    if (auto shown = std::dynamic_pointer_cast<IListRow>(listRow))
        m_factory->showRowHits(shown, row);
}

void HostHelper::controllersChanged()
{
    if (m_events && m_events->controllersChanged)
        m_events->controllersChanged();
}

void HostHelper::controller(const std::string &endpoint, ControllerChange change)
{
    if (m_events && m_events->controller)
        m_events->controller(endpoint, change);
}

} // namespace tarvex::host
