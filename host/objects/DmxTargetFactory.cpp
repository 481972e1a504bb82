#include "host/objects/DmxTargetFactory.h"

#include "core/VbError.h"
#include "host/objects/Levels.h"

#include <string>

namespace tarvex::host {
namespace {

// Objects of another kind than expected raise "Type mismatch", as a typed call would.
template <typename T> std::shared_ptr<T> required(const std::shared_ptr<Object> &object)
{
    auto typed = std::dynamic_pointer_cast<T>(object);
    if (!typed)
        raise(object ? errc::TypeMismatch : errc::ObjectRequired);
    return typed;
}

template <typename T> std::shared_ptr<T> required(const HostTargetPtr &target)
{
    return required<T>(std::static_pointer_cast<Object>(target));
}

// Target cells are sub-items, which start at column 1.
int16_t checkedFirstColumn(int16_t firstColumn)
{
    if (firstColumn < 1)
        raise(errc::InvalidProcedureCall);
    return firstColumn;
}

void fillDropDown(IListWidget &list, int first, int last)
{
    for (int n = first; n <= last; ++n)
        list.addDropDownEntry(std::to_string(n));
}

} // namespace

DmxTargetFactory::DmxTargetFactory(std::shared_ptr<Universes> universes,
                                   std::shared_ptr<const HostEvents> events)
{
    auto fades = std::make_shared<Fades>(universes);
    m_context = std::make_shared<TargetContext>(TargetContext{
        std::move(universes), std::move(events), std::move(fades), std::make_shared<TargetHits>()});
}

void DmxTargetFactory::SetupList(const ObjectPtr &listWidget)
{
    takePendingEdits();
    auto list = required<IListWidget>(listWidget);
    for (const TargetColumnHeader &header : TargetColumnHeaders)
        list->addColumn(header.caption, header.widthTwips);
}

void DmxTargetFactory::ReleaseTarget(const HostTargetPtr &)
{
    // A channel holds nothing to free: its level stays where it was last set, and a pending
    // edit is still taken, like on every call.
    takePendingEdits();
}

void DmxTargetFactory::BeginCellEdit(const HostTargetPtr &target, const ObjectPtr &listWidget,
                                     int16_t firstColumn)
{
    takePendingEdits();
    auto list = required<IListWidget>(listWidget);
    // The editor also calls us for its own limit columns; those are not ours to edit.
    auto column = targetColumnAt(list->editColumn(), checkedFirstColumn(firstColumn));
    if (!column)
        return;
    openEditor(*required<DmxTarget>(target), *list, *column);
}

void DmxTargetFactory::openEditor(DmxTarget &target, IListWidget &list, TargetColumn column)
{
    // The count is the host's to keep.
    if (column == TargetColumn::Hits)
        return;
    const std::string current = targetCellText(target.values(), column);
    if (column == TargetColumn::Label || column == TargetColumn::FadeMs) {
        list.openTextEditor();
        list.setTextEditorText(current);
        return;
    }
    list.clearDropDown();
    switch (column) {
    case TargetColumn::Kind:
        list.addDropDownEntry(std::string(DmxKind));
        list.addDropDownEntry(std::string(Dmx16Kind));
        list.addDropDownEntry(std::string(DisabledKind));
        break;
    case TargetColumn::Universe: fillDropDown(list, 1, universes()->count()); break;
    case TargetColumn::Channel: fillDropDown(list, 1, Universes::ChannelCount); break;
    case TargetColumn::Curve:
        for (Curve curve : Curves)
            list.addDropDownEntry(std::string(curveName(curve)));
        break;
    case TargetColumn::Label:
    case TargetColumn::Hits:
    case TargetColumn::FadeMs: break;
    }
    list.openDropDown();
    list.setDropDownText(current);
}

void DmxTargetFactory::EndCellEdit(const HostTargetPtr &target, const ObjectPtr &listWidget,
                                   int16_t firstColumn)
{
    takePendingEdits();
    auto list = required<IListWidget>(listWidget);
    const int cell = list->editColumn();
    auto column = targetColumnAt(cell, checkedFirstColumn(firstColumn));
    if (!column)
        return;
    auto dmx = required<DmxTarget>(target);
    dmx->setPendingEdit(list->row(list->editRow()), cell, *column);
    m_pending.push_back(dmx);
}

HostTargetPtr DmxTargetFactory::CreateTarget(const Variant &t0, const Variant &t1,
                                             const Variant &t2, uint8_t t3, int32_t t4)
{
    takePendingEdits();
    return std::make_shared<DmxTarget>(TargetValues{t0, t1, t2, t3, t4}, m_context);
}

ObjectPtr DmxTargetFactory::ShowTargetInRow(const HostTargetPtr &target, const ObjectPtr &row,
                                            int16_t firstColumn)
{
    takePendingEdits();
    checkedFirstColumn(firstColumn);
    auto listRow = required<IListRow>(row);
    auto dmx = required<DmxTarget>(target);
    const TargetValues &values = dmx->values();
    for (int offset = 0; offset < TargetColumnCount; ++offset) {
        listRow->setSubItem(firstColumn + offset,
                            targetCellText(values, static_cast<TargetColumn>(offset)));
    }
    ShownRow &shown = shownRow(listRow, firstColumn);
    shown.hits = hitText(shown.key);
    listRow->setSubItem(firstColumn + static_cast<int>(TargetColumn::Hits), shown.hits);
    return row;
}

DmxTargetFactory::ShownRow &DmxTargetFactory::shownRow(const ListRowPtr &row, int firstColumn)
{
    ShownRow &shown = m_shownRows[row.get()];
    // An entry of a row that has gone may sit at the same address.
    if (shown.row.lock() != row)
        shown = ShownRow{row, firstColumn, NoRow, {}};
    shown.firstColumn = firstColumn;
    return shown;
}

void DmxTargetFactory::showRowHits(const ListRowPtr &row, RowKey key)
{
    takePendingEdits();
    auto shown = m_shownRows.find(row.get());
    if (shown == m_shownRows.end() || shown->second.row.lock() != row)
        return; // no target shown there: no "Treffer" cell of ours
    std::string hits = hitText(key);
    shown->second.key = key;
    if (hits == shown->second.hits)
        return; // a save that left the row as it was
    shown->second.hits = std::move(hits);
    try {
        row->setSubItem(shown->second.firstColumn + static_cast<int>(TargetColumn::Hits),
                        shown->second.hits);
    } catch (const VbError &) {
        m_shownRows.erase(shown); // the row has left the list
    }
}

std::string DmxTargetFactory::hitText(RowKey key) const
{
    if (key == NoRow)
        return "";
    const TargetHit *hit = m_context->hits->find(key);
    return std::to_string(hit ? hit->count : 0);
}

void DmxTargetFactory::refreshHitCells()
{
    takePendingEdits();
    for (auto entry = m_shownRows.begin(); entry != m_shownRows.end();)
        entry = refreshHitCell(entry->second) ? std::next(entry) : m_shownRows.erase(entry);
}

bool DmxTargetFactory::refreshHitCell(ShownRow &shown)
{
    ListRowPtr row = shown.row.lock();
    if (!row)
        return false;
    std::string hits = hitText(shown.key);
    if (hits == shown.hits)
        return true;
    try {
        row->setSubItem(shown.firstColumn + static_cast<int>(TargetColumn::Hits), hits);
    } catch (const VbError &) {
        return false; // the row has left the list
    }
    shown.hits = std::move(hits);
    return true;
}

void DmxTargetFactory::takePendingEdits()
{
    // Moved out first: taking an edit reads a row, which must not find us half-way.
    std::vector<std::weak_ptr<DmxTarget>> pending;
    pending.swap(m_pending);
    for (const auto &weak : pending) {
        if (auto target = weak.lock())
            target->takePendingEdit();
    }
}

} // namespace tarvex::host
