#pragma once
// HostHelper: the object the host hands the plug-in at Init, its one way into the host. By name
// it offers "Project" (whose "BaseFilename" is the project file's path: the plug-in keeps its
// files in that folder) and "MyStream" (whose "UserInteraction" the plug-in calls whenever
// incoming OSC acts on a target). As IHostModule it gives the target factory and creates option
// lists and module-info objects; as IHostMessageBoxes it takes the plug-in's message boxes when
// the host wants them (HostEvents::messageBox), as IHostNotices it passes the plug-in's
// notices on (HostEvents::notice), as IHostControllerEvents the news of the controllers on the
// network, as IHostActionEvents that the action table changed (HostEvents::actionsChanged), and
// as IHostRowHits which action row a target's execute and an editor's list row are for (the
// factory's TargetHits and "Treffer" cells).
// Names are matched without regard to case, as late binding does.
//
//   auto universes = std::make_shared<Universes>(4);
//   auto events = std::make_shared<HostEvents>();
//   events->userInteraction = [] { std::puts("{\"event\":\"userInteraction\"}"); };
//   auto helper = std::make_shared<HostHelper>(universes, events);
//   helper->project()->setBaseFilename("/shows/club.tvx");
//   plugIn->plugin().Init("Tarvex Host", "", helper);

#include "host/objects/DmxTargetFactory.h"
#include "plugin/api/HostActions.h"
#include "plugin/api/HostRows.h"
#include "plugin/api/HostScripting.h"

#include <string>

namespace tarvex::host {

// Whether two member names are the same, ignoring the case of ASCII letters.
bool sameMemberName(std::string_view a, std::string_view b);

class HostProject : public Object {
public:
    Variant callByName(std::string_view member, std::span<const Variant> arguments = {}) override;

    const std::string &baseFilename() const { return m_baseFilename; }
    void setBaseFilename(std::string path) { m_baseFilename = std::move(path); }

private:
    std::string m_baseFilename;
};

class HostStream : public Object {
public:
    explicit HostStream(std::shared_ptr<const HostEvents> events) : m_events(std::move(events)) {}
    Variant callByName(std::string_view member, std::span<const Variant> arguments = {}) override;

private:
    std::shared_ptr<const HostEvents> m_events;
};

class HostHelper : public Object,
                   public IHostModule,
                   public IHostMessageBoxes,
                   public IHostNotices,
                   public IHostControllerEvents,
                   public IHostActionEvents,
                   public IHostRowHits {
public:
    HostHelper(std::shared_ptr<Universes> universes, std::shared_ptr<const HostEvents> events);

    Variant callByName(std::string_view member, std::span<const Variant> arguments = {}) override;

    TargetFactoryPtr GetTargetFactory() override { return m_factory; }
    OptionListPtr NewOptionList() override;
    ModuleInfoPtr NewModuleInfo() override;

    // Hands the text to HostEvents::messageBox.
    bool takeMessageBox(const std::string &text) override;
    // Hands the text to HostEvents::notice.
    void notice(const std::string &text) override;
    // Hand the news to HostEvents::controllersChanged and HostEvents::controller.
    void controllersChanged() override;
    void controller(const std::string &endpoint, ControllerChange change) override;
    // Hands the news to HostEvents::actionsChanged.
    void actionsChanged() override;
    // Hand the rows to the factory's hits and "Treffer" cells.
    void rowExecuting(RowKey row) override { m_factory->hits()->setExecutingRow(row); }
    void listRowShows(const ObjectPtr &listRow, RowKey row) override;

    const std::shared_ptr<HostProject> &project() const { return m_project; }
    const std::shared_ptr<HostStream> &stream() const { return m_stream; }
    const std::shared_ptr<DmxTargetFactory> &factory() const { return m_factory; }

private:
    std::shared_ptr<HostProject> m_project;
    std::shared_ptr<HostStream> m_stream;
    std::shared_ptr<DmxTargetFactory> m_factory;
    std::shared_ptr<const HostEvents> m_events;
};

} // namespace tarvex::host
