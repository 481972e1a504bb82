#pragma once
// wireList: the list view's events handed to the editor's rules, as the editor window wires
// them. Each event runs at the event loop's edge (a failure ends only that event); every query
// is answered yes, so any cell may be asked to open an editor and the rules decide.
//
//   wireList(*lvActions, [this]() -> ActionListEditor & { return listEditor(); });

#include "ui/editor/ActionListEditor.h"
#include "ui/editor/view/ActionListView.h"

#include <functional>

namespace tarvex {

// `rules` gives the rules at the time of each event (it may raise while there are none).
void wireList(ActionListView &view, std::function<ActionListEditor &()> rules);

} // namespace tarvex
