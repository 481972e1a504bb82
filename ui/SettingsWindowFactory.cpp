// TEMPORARY seam: replaced by the editor window (frmSettings) when it lands.
#include "ui/ActionsEditor.h"
#include "ui/FormWindow.h"

namespace tarvex {
namespace {
class PendingEditor : public FormWindow, public ActionsEditor {
public:
    std::string learnCaption() const override { return "Lernen"; }
    void LearnButton_Click() override {}
    void rebuildActionTable() override {}
};
} // namespace

std::unique_ptr<FormWindow> createSettingsWindow(PlugInRuntime &)
{
    return std::make_unique<PendingEditor>();
}

} // namespace tarvex
