#pragma once
// HostSession: what tarvex-host does with a plug-in, the same in its window and headless. It
// owns the host's objects (channel levels, helper, events), loads the plug-in, opens and saves
// the project and calls the plug-in's command server. The window and the headless front end
// only call it and show its results.
//
//   HostSession session;
//   session.events().executed = [](auto &target, int v, int min, int max) { ... };
//   session.start(defaultPlugInPath(), "/shows/club/club.tarvex", HostSession::Show::Hidden);
//   session.executeCommand("3", "toggle");
//   session.shutdown();
//
// Failing operations throw std::exception with a text for the user; the session stays usable.

#include "host/app/DmxLink.h"
#include "host/app/PlugInLoader.h"
#include "host/objects/ActionRows.h"
#include "host/objects/HostHelper.h"
#include "host/objects/HostOptionList.h"

#include "host/app/TargetTimers.h"

#include <QString>

#include <memory>
#include <vector>

namespace tarvex::host {

class HostSession {
public:
    enum class Show { Hidden, Shown };

    explicit HostSession(int universeCount = 4);
    ~HostSession();
    HostSession(const HostSession &) = delete;
    HostSession &operator=(const HostSession &) = delete;

    // Set listeners before start(); the helper hands them on.
    HostEvents &events() { return *m_events; }
    const std::shared_ptr<Universes> &universes() const { return m_universes; }
    const std::shared_ptr<HostHelper> &helper() const { return m_helper; }
    DmxTargetFactory &targets() const { return *m_helper->factory(); }
    // The fades' frame clock and the hit cells' refresh (set hitsShown to follow the counts).
    TargetTimers &targetTimers() const { return *m_targetTimers; }

    // Loads the plug-in, opens the project and loads the main window, showing it or not. On
    // failure the plug-in is unloaded again and the error thrown.
    void start(const QString &plugInPath, const QString &projectPath, Show show);
    // Term and unload; harmless twice.
    void shutdown();

    // Sends the channel levels out (to olad) from now on; its state reaches events().dmxOutput.
    void startDmxOutput(const DmxOptions &options);
    // The DMX output's last state, as events().dmxOutput was told it.
    struct DmxOutputState {
        bool on = false;
        std::string reason = "DMX output not started";
    };
    const DmxOutputState &dmxOutputState() const { return m_dmxState; }
    bool hasPlugIn() const { return m_plugIn.isLoaded(); }
    const std::string &plugInName() const { return m_plugIn.name(); }
    const PlugInLoader &plugIn() const { return m_plugIn; }

    // The project: an absolute path; its file need not exist.
    const QString &projectPath() const { return m_projectPath; }
    // Makes another file the project, forgets the targets' hits and tells the plug-in
    // (LoadProjectData). A path that names no file (empty, a NUL character, a folder) or a file
    // that is no project of ours is refused and the current project stays.
    void openProject(const QString &path);
    // Writes the project file and tells the plug-in (SaveProjectData).
    void saveProject();
    // Saves under another name; the plug-in's files follow into the new folder.
    void saveProjectAs(const QString &path);
    // Whether the plug-in holds changes a project save would write (AskToSaveProjectData). A
    // plug-in that fails the question counts as holding some: asking once too often loses
    // nothing.
    bool hasUnsavedChanges();

    // The command server.
    std::vector<OptionEntry> firstOptions();
    std::vector<OptionEntry> secondOptions(const std::string &firstSelection);
    void executeCommand(const std::string &firstSelection, const std::string &secondSelection);

    // The plug-in's windows.
    void configure();
    void showMainWindow();
    // The scripting interface of the main window; throws when the plug-in offers none.
    IHostScripting &scripting();
    // The plug-in's OSC server as its start button tells. Unknown without a plug-in that says.
    enum class Server { Unknown, Stopped, Running, Retrying };
    struct ServerState {
        Server server = Server::Unknown;
        std::string caption; // the start button's ("Reconnecting in 3")
    };
    ServerState serverState();
    // The main window's address and port; nullptr when the plug-in does not offer them.
    IHostListening *listening() { return m_plugIn.listening(); }
    // The controllers on the network; nullptr when the plug-in does not offer them.
    IHostControllers *controllers() { return m_plugIn.controllers(); }

    // The plug-in's actions as JSON text (docs/actions-json.md), written to a file; the old file
    // is replaced only once the new one is complete.
    void exportActions(const QString &path);
    // Replaces the plug-in's actions with those of a file and says how many it now holds and
    // which numbers rows share. Throws with every error the plug-in found (one a line, naming
    // row and field) and then nothing has changed.
    ActionsImportResult importActions(const QString &path);
    // Every action with what it made its target do and why it cannot fire.
    std::vector<RowStatus> rows();

private:
    ICommandServer &commandServer();
    IHostActions &actions();
    void setProject(const QString &path);
    void startPlugIn(const QString &plugInPath, Show show);

    std::shared_ptr<Universes> m_universes;
    std::shared_ptr<HostEvents> m_events;
    std::shared_ptr<HostHelper> m_helper;
    PlugInLoader m_plugIn;
    std::unique_ptr<TargetTimers> m_targetTimers;
    std::unique_ptr<DmxLink> m_dmx;
    DmxOutputState m_dmxState;
    QString m_projectPath;
};

} // namespace tarvex::host
