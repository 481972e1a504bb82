#pragma once
// DmxTargetFactory: the host's target factory. It creates DMX channel targets and draws and edits
// them in the target columns it adds to the plug-in's editor list (TargetColumns.h). Its targets
// share one TargetContext: the levels, the fades and the hit counts.
//
// The editor drives a cell edit in three steps: BeginCellEdit (we open our drop-down or text
// editor on the cell), EndCellEdit (the user has chosen), then the editor writes the chosen text
// into the cell. EndCellEdit therefore only tells the target which cell to read; the target reads
// it when its values are next wanted (DmxTarget.h). Every call of the factory also takes any edit
// still pending, so a target never misses one.
//
// The "Treffer" cells are the factory's to keep current: it remembers the rows it showed a target
// in and the action row each stands for (the plug-in says which, showRowHits), and
// refreshHitCells() writes each row's count anew (the host calls it at most ten times a second
// while targets execute). A list row that stands for no action row (not saved yet) shows none.

#include "host/objects/DmxTarget.h"

#include <unordered_map>
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

    const std::shared_ptr<Universes> &universes() const { return m_context->universes; }
    const std::shared_ptr<Fades> &fades() const { return m_context->fades; }
    const std::shared_ptr<TargetHits> &hits() const { return m_context->hits; }

    // The list row, on which a target was shown, stands for the action row with this key
    // (NoRow: none); its "Treffer" cell shows that row's count from now on.
    void showRowHits(const ListRowPtr &row, RowKey key);
    // Writes the hit count of every row a target was shown in whose count changed since; rows
    // that have left the list are forgotten.
    void refreshHitCells();

private:
    struct ShownRow {
        std::weak_ptr<IListRow> row;
        int firstColumn = 0;
        RowKey key = NoRow;
        std::string hits; // the text last written
    };

    void takePendingEdits();
    void openEditor(DmxTarget &target, IListWidget &list, TargetColumn column);
    // Writes one row's count when it changed; false when the row has gone.
    bool refreshHitCell(ShownRow &shown);
    // The row's entry, made on its first target; a row that shows a new target keeps the action
    // row it stands for.
    ShownRow &shownRow(const ListRowPtr &row, int firstColumn);
    std::string hitText(RowKey key) const;

    std::shared_ptr<const TargetContext> m_context;
    std::vector<std::weak_ptr<DmxTarget>> m_pending;
    // By the row's address; an entry whose row has gone is dropped at the next refresh.
    std::unordered_map<const IListRow *, ShownRow> m_shownRows;
};

} // namespace tarvex::host
