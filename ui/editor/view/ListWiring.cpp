#include "ui/editor/view/ListWiring.h"

#include "toolkit/EventEdge.h"

namespace tarvex {

void wireList(ActionListView &view, std::function<ActionListEditor &()> rules)
{
    view.onEditRequest = [rules](const ListRowPtr &row) {
        runEvent("lvActions_EditRequest", [&] { rules().beginCellEdit(row); });
    };
    view.onDropDownDone = [rules](const std::string &, const std::string &text) {
        runEvent("lvActions_DropDownDone", [&] { rules().applyCellEdit(text); });
    };
    view.onTextEditDone = [rules](const std::string &, const std::string &text) {
        runEvent("lvActions_TextEditDone", [&] { rules().applyCellEdit(text); });
    };
    view.onQuery = [](const std::string &, bool &answer) { answer = true; };
    view.onDeleteRequest = [rules](const ListRowPtr &row) {
        runEvent("lvActions_DeleteRequest", [&] { rules().deleteRow(row); });
    };
}

} // namespace tarvex
