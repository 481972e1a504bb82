#include "plugin/PlugInRuntime.h"

#include "net/frmMainOSC.h"
#include "plugin/MainWindowObject.h"
#include "ui/analyzer/frmAnalyzer.h"
#include "ui/analyzer/frmRegexSyntax.h"
#include "ui/frmSettings.h"

namespace tarvex {

PlugInRuntime::PlugInRuntime(std::unique_ptr<MessageBoxes> messageBoxes)
    : m_messageBoxes(std::move(messageBoxes)), m_windows(windowFactories())
{}

PlugInRuntime::~PlugInRuntime() = default;

PlugInWindows::Factories PlugInRuntime::windowFactories()
{
    return {
        .mainWindow =
            [this] {
                auto window = std::make_unique<frmMainOSC>(m_state, *m_messageBoxes, m_learnMode);
                m_controllers.watch(*window->Winsock1);
                return window;
            },
        .mainWindowObject =
            [this](WindowRegistry &registry, WindowId id) {
                return std::make_shared<MainWindowObject>(m_state, m_windows, m_controllers,
                                                          registry, id);
            },
        .settingsWindow = [this] { return std::make_unique<frmSettings>(m_editorContext); },
        .analyzer = [this] { return std::make_unique<frmAnalyzer>(m_analyzerContext); },
        .regexSyntax = [] { return std::make_unique<frmRegexSyntax>(); },
    };
}

} // namespace tarvex
