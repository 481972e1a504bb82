#pragma once
// The test plug-in's main window: a small real window with a start button, which is also its
// command server, its project hooks and its scripting interface, as a plug-in's main window is.
// Its actions come from "TestActions.txt" in the project's folder, one per line: "ID ADDRESS
// ACTIVE" (ACTIVE 1 or 0). A cue on an action executes the host target of channel ID in
// universe 1, with 255 when the action ends active and 0 otherwise; the second selection
// "Message" offers the host a message box instead. Every call is noted in the call log.
// TARVEX_TEST_PLUGIN_FAIL names a call ("LoadProjectData", "loadWindow") that throws a
// TestPlugInFailure, an exception type of this library's own. TARVEX_TEST_PLUGIN_BOX_SIGNAL=N
// makes loading the window show a modal box (when the host does not take it) in whose event loop
// the process raises signal N: a signal arriving while a box is up. With a file
// "TestTracksChanges" in the folder, a cue's switch counts as unsaved until the project is loaded
// or saved again (AskToSaveProjectData); without it nothing is ever unsaved.

#include "plugin/api/HostScripting.h"
#include "plugin/api/PlugInInterfaces.h"

#include <map>
#include <memory>
#include <stdexcept>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;
class QWidget;

namespace tarvex::testplugin {

// Appends a line to the file named by TARVEX_TEST_PLUGIN_LOG, if it is set.
void note(const std::string &call);

class TestPlugInFailure : public std::exception {
public:
    explicit TestPlugInFailure(std::string text) : m_text(std::move(text)) {}
    const char *what() const noexcept override; // out of line: the type lives in this library

private:
    std::string m_text;
};

class TestMainWindow : public Object,
                       public IExternalWindow,
                       public ICommandServer,
                       public IZelmoTool,
                       public IHostScripting {
public:
    TestMainWindow();
    ~TestMainWindow() override;

    void setHelper(ObjectPtr helper) { m_helper = std::move(helper); }
    HostModulePtr moduleInfoFactory() const { return typedView(m_helper); }
    void openEditor();
    void closeAll();

    // IExternalWindow
    VBool isOpen() override;
    VBool loadWindow() override;
    VBool unloadWindow() override;
    VBool hideWindow() override;
    VBool showWindow() override;
    int32_t WindowState() override { return 0; }
    void SetWindowState(int32_t) override {}

    // ICommandServer
    std::string Name() override { return "TarvexTest"; }
    OptionListPtr GetFirstOptions() override;
    OptionListPtr GetSecondOptions(const Variant &firstSelection) override;
    Variant ExecuteCommand(const Variant &firstSelection, const Variant &secondSelection,
                           const Variant &newValue, const Variant &stream,
                           const Variant &additionalData) override;

    // IZelmoTool
    void ClearProjectData() override {}
    void LoadProjectData() override;
    void SaveProjectData() override;
    VBool AskToSaveProjectData() override
    {
        return toVBool(m_tracksChanges && m_switchedSinceSave);
    }
    void SetViewMode(int32_t) override {}

    // IHostScripting
    void pressStart() override;
    void pressLearn() override;
    std::string serverCaption() override;
    std::string learnCaption() override;

private:
    struct Action {
        int id;
        std::string address;
        bool active;
    };

    std::string folder();
    void readActions();
    void writeActions();
    void boxWithSignalIfAsked();
    void ensureEditor();
    void fillEditor();
    Action &actionFor(const Variant &selection);
    void executeTarget(const Action &action);

    ObjectPtr m_helper;
    std::vector<Action> m_actions;
    bool m_actionsRead = false;
    bool m_tracksChanges = false;
    bool m_switchedSinceSave = false;
    std::map<int, HostTargetPtr> m_targets;
    std::unique_ptr<QWidget> m_window;
    QPushButton *m_start = nullptr;
    QLabel *m_project = nullptr;
    std::unique_ptr<QWidget> m_editor;
    QPushButton *m_learn = nullptr;
    QListWidget *m_list = nullptr;
};

} // namespace tarvex::testplugin
