#include "host/app/HostSession.h"

#include "core/RegularFile.h"
#include "host/app/ProjectFile.h"
#include "host/dmx/DmxSender.h"

#include <QFileInfo>
#include <malloc.h>

#include <stdexcept>

namespace tarvex::host {
namespace {

std::vector<OptionEntry> entriesOf(const OptionListPtr &list)
{
    auto ours = std::dynamic_pointer_cast<HostOptionList>(list);
    if (!ours)
        throw std::runtime_error("the plug-in returned no option list of the host's");
    return ours->entries();
}

// The one rule for a project path from the user, for every way in (start, open, save as): it
// names a file. An empty path, one with a NUL character (the system would cut the name there)
// or one that ends in a folder ("show/", "..") is refused before anything changes.
QString projectPathOf(const QString &path)
{
    if (path.isEmpty())
        throw std::runtime_error("the project path is empty");
    if (path.contains(QChar(u'\0')))
        throw std::runtime_error("the project path contains a NUL character");
    const QFileInfo file(path);
    const QString name = file.fileName();
    if (name.isEmpty() || name == "." || name == "..")
        throw std::runtime_error("the project path names a folder, not a file: " +
                                 path.toStdString());
    return file.absoluteFilePath();
}

} // namespace

HostSession::HostSession(int universeCount)
    : m_universes(std::make_shared<Universes>(universeCount)),
      m_events(std::make_shared<HostEvents>()),
      m_helper(std::make_shared<HostHelper>(m_universes, m_events)),
      m_targetTimers(std::make_unique<TargetTimers>(
          *m_helper->factory(), std::chrono::duration_cast<std::chrono::milliseconds>(
                                    dmx::DmxSender::Timing{}.framePeriod)))
{}

HostSession::~HostSession()
{
    shutdown();
}

void HostSession::setProject(const QString &path)
{
    m_projectPath = path;
    m_helper->project()->setBaseFilename(path.toStdString());
}

void HostSession::start(const QString &plugInPath, const QString &projectPath, Show show)
{
    const QString project = projectPathOf(projectPath);
    checkProjectFile(project.toStdString());
    // The plug-in writes its settings file into the folder when its main window loads.
    makeProjectFolder(project.toStdString());
    setProject(project);
    const std::optional<std::string> failure =
        plugInFailureOf([&] { startPlugIn(plugInPath, show); });
    if (!failure)
        return;
    const bool plugInFailed = m_plugIn.isLoaded();
    m_plugIn.unload();
    if (!plugInFailed)
        throw std::runtime_error(*failure);
    throw std::runtime_error("the plug-in failed to start on " + project.toStdString() + ": " +
                             *failure);
}

void HostSession::startPlugIn(const QString &plugInPath, Show show)
{
    m_plugIn.load(plugInPath);
    m_plugIn.init(m_helper);
    if (IZelmoTool *tool = m_plugIn.tool())
        tool->LoadProjectData();
    IExternalWindow *window = m_plugIn.mainWindow();
    // loadWindow's result carries nothing (a plug-in may answer false for a loaded window):
    // whether the window is there afterwards is what counts.
    window->loadWindow();
    if (window->isOpen() == VFalse)
        throw std::runtime_error("the plug-in's main window did not load");
    if (show == Show::Shown)
        window->showWindow();
}

void HostSession::shutdown()
{
    m_plugIn.unload();
    m_dmx.reset();
}

void HostSession::startDmxOutput(const DmxOptions &options)
{
    m_dmx =
        std::make_unique<DmxLink>(m_universes, options, [this](bool on, const std::string &reason) {
            m_dmxState = {on, reason};
            if (m_events->dmxOutput)
                m_events->dmxOutput(on, reason);
        });
}

void HostSession::openProject(const QString &path)
{
    const QString project = projectPathOf(path);
    checkProjectFile(project.toStdString());
    makeProjectFolder(project.toStdString());
    setProject(project);
    // Hits belong to the project they were counted in.
    targets().hits()->clear();
    if (IZelmoTool *tool = m_plugIn.tool())
        tool->LoadProjectData();
}

void HostSession::saveProject()
{
    writeProjectFile(m_projectPath.toStdString());
    if (IZelmoTool *tool = m_plugIn.tool())
        tool->SaveProjectData();
}

void HostSession::saveProjectAs(const QString &path)
{
    const QString project = projectPathOf(path);
    writeProjectFile(project.toStdString());
    setProject(project);
    if (IZelmoTool *tool = m_plugIn.tool())
        tool->SaveProjectData();
}

bool HostSession::hasUnsavedChanges()
{
    IZelmoTool *tool = m_plugIn.tool();
    if (!tool)
        return false;
    try {
        return tool->AskToSaveProjectData() != VFalse;
    } catch (...) {
        return true;
    }
}

ICommandServer &HostSession::commandServer()
{
    if (!m_plugIn.commandServer())
        throw std::runtime_error(m_plugIn.isLoaded() ? "the plug-in offers no command server"
                                                     : "no plug-in is loaded");
    return *m_plugIn.commandServer();
}

std::vector<OptionEntry> HostSession::firstOptions()
{
    return entriesOf(commandServer().GetFirstOptions());
}

std::vector<OptionEntry> HostSession::secondOptions(const std::string &firstSelection)
{
    return entriesOf(commandServer().GetSecondOptions(Variant(firstSelection)));
}

void HostSession::executeCommand(const std::string &firstSelection,
                                 const std::string &secondSelection)
{
    commandServer().ExecuteCommand(Variant(firstSelection), Variant(secondSelection), Variant(),
                                   Variant(), Variant());
}

void HostSession::configure()
{
    if (!m_plugIn.isLoaded())
        throw std::runtime_error("no plug-in is loaded");
    if (m_plugIn.plugInClass().plugin().Configure() == VFalse)
        throw std::runtime_error("the plug-in could not open its editor");
}

void HostSession::showMainWindow()
{
    if (!m_plugIn.mainWindow())
        throw std::runtime_error("no plug-in is loaded");
    m_plugIn.mainWindow()->showWindow();
}

IHostScripting &HostSession::scripting()
{
    if (!m_plugIn.scripting())
        throw std::runtime_error(m_plugIn.isLoaded() ? "the plug-in offers no scripting interface"
                                                     : "no plug-in is loaded");
    return *m_plugIn.scripting();
}

// The start button reads "Start" while the server is stopped and "Stop" while it runs; anything
// else counts down to the next try at the address.
HostSession::ServerState HostSession::serverState()
{
    IHostScripting *scripting = m_plugIn.scripting();
    if (!scripting)
        return {};
    std::string caption = scripting->serverCaption();
    const Server server = caption == "Start"  ? Server::Stopped
                          : caption == "Stop" ? Server::Running
                                              : Server::Retrying;
    return {server, std::move(caption)};
}

IHostActions &HostSession::actions()
{
    if (!m_plugIn.actions())
        throw std::runtime_error(m_plugIn.isLoaded() ? "the plug-in offers no actions as text"
                                                     : "no plug-in is loaded");
    return *m_plugIn.actions();
}

void HostSession::exportActions(const QString &path)
{
    replaceRegularFile(path.toStdString(), actions().exportActions());
}

ActionsImportResult HostSession::importActions(const QString &path)
{
    // As much as the plug-in takes (docs/actions-json.md).
    constexpr size_t MaxActionsJsonBytes = 64 << 20;
    IHostActions &plugIn = actions();
    RegularFile file = readRegularFile(path.toStdString(), MaxActionsJsonBytes);
    if (file.status != RegularFile::Read)
        throw std::runtime_error(
            "cannot read " + path.toStdString() + ": " +
            (file.status == RegularFile::Absent ? "no such file" : file.reason));
    // The file's bytes are let go before the import, which takes several times their size.
    std::string text(file.bytes.begin(), file.bytes.end());
    std::vector<uint8_t>().swap(file.bytes);
    ActionsImportResult result = plugIn.importActions(text);
    text = std::string();
    // A large import or its replacement frees hundreds of megabytes in small pieces, and the
    // next import's text may settle among them: the free pages go back to the system, so that
    // import after import the host stays the size of the show it holds.
    ::malloc_trim(0);
    if (result.errors.empty())
        return result;
    std::string message = path.toStdString() + " was not imported:";
    for (const std::string &error : result.errors)
        message += "\n" + error;
    throw std::runtime_error(message);
}

std::vector<RowStatus> HostSession::rows()
{
    std::vector<ActionRow> rows = readActionRows(actions().exportActions());
    if (IHostRowKeys *keys = m_plugIn.rowKeys())
        setRowKeys(rows, keys->rowKeys());
    return rowStatuses(std::move(rows), *m_universes, *targets().hits());
}

} // namespace tarvex::host
