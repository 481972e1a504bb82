#pragma once
// DmxTargetFactory: the host's target factory. It creates DMX channel targets and draws and edits
// them in the four target columns it adds to the plug-in's editor list (TargetColumns.h).
//
// The editor drives a cell edit in three steps: BeginCellEdit (we open our drop-down or text
// editor on the cell), EndCellEdit (the user has chosen), then the editor writes the chosen text
// into the cell. EndCellEdit therefore only tells the target which cell to read; the target reads
// it when its values are next wanted (DmxTarget.h). Every call of the factory also takes any edit
// still pending, so a target never misses one.

#include "host/DmxTarget.h"

#include <vector>

namespace tarvex::host {

class DmxTargetFactory : public ITargetFactory {
public:
    DmxTargetFactory(std::shared_ptr<Universes> universes,
                     std::shared_ptr<const HostEvents> events);

    void SetupList(const ObjectPtr &listWidget) override;
    void ReleaseTarget(const HostTargetPtr &target) override;
    void BeginCellEdit(const HostTargetPtr &target, const ObjectPtr &listWidget,
                       int16_t firstColumn) override;
    void EndCellEdit(const HostTargetPtr &target, const ObjectPtr &listWidget,
                     int16_t firstColumn) override;
    HostTargetPtr CreateTarget(const Variant &t0, const Variant &t1, const Variant &t2, uint8_t t3,
                               int32_t t4) override;
    ObjectPtr ShowTargetInRow(const HostTargetPtr &target, const ObjectPtr &row,
                              int16_t firstColumn) override;

    const std::shared_ptr<Universes> &universes() const { return m_universes; }

private:
    void takePendingEdits();
    void openEditor(DmxTarget &target, IListWidget &list, TargetColumn column);

    std::shared_ptr<Universes> m_universes;
    std::shared_ptr<const HostEvents> m_events;
    std::vector<std::weak_ptr<DmxTarget>> m_pending;
};

} // namespace tarvex::host
