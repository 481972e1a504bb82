// The runtime creates the actions editor through this one function, so that the windows which
// only need the ActionsEditor seam do not depend on the editor's controls.
#include "ui/ActionsEditor.h"
#include "ui/frmSettings.h"

namespace tarvex {

std::unique_ptr<FormWindow> createSettingsWindow(PlugInRuntime &runtime)
{
    return std::make_unique<frmSettings>(runtime);
}

} // namespace tarvex
