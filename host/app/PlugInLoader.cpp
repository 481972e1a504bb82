#include "host/app/PlugInLoader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <stdexcept>

namespace tarvex::host {
namespace {

std::runtime_error loadError(const QString &text)
{
    return std::runtime_error(text.toStdString());
}

// The first interface the objects offer, in the order given.
template <class Interface>
std::shared_ptr<Interface> findInterface(const ObjectPtr &first, const ObjectPtr &second)
{
    if (auto found = std::dynamic_pointer_cast<Interface>(first))
        return found;
    return std::dynamic_pointer_cast<Interface>(second);
}

} // namespace

std::optional<std::string> plugInFailureOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const std::exception &e) {
        return std::string(e.what());
    } catch (...) {
        return std::string("the plug-in failed");
    }
    return std::nullopt;
}

PlugInLoader::~PlugInLoader()
{
    unload();
}

void PlugInLoader::load(const QString &path)
{
    if (isLoaded())
        throw loadError(QStringLiteral("a plug-in is already loaded"));
    if (!QFileInfo::exists(path))
        throw loadError(QStringLiteral("there is no plug-in library at %1").arg(path));
    m_library.setFileName(path);
    // The loader's text names the library already.
    if (!m_library.load())
        throw loadError(QStringLiteral("the plug-in library cannot be loaded: %1")
                            .arg(m_library.errorString()));
    auto create = reinterpret_cast<CreatePlugInFunction>(m_library.resolve(TARVEX_ENTRY_POINT));
    if (!create) {
        m_library.unload();
        throw loadError(QStringLiteral("%1 has no entry point %2").arg(path, TARVEX_ENTRY_POINT));
    }
    const std::optional<std::string> failure = plugInFailureOf([&] { m_class.reset(create()); });
    if (!m_class) {
        m_library.unload();
        throw loadError(failure ? QStringLiteral("%1 failed to create its plug-in class: %2")
                                      .arg(path, QString::fromStdString(*failure))
                                : QStringLiteral("%1 created no plug-in class").arg(path));
    }
    m_path = path;
}

void PlugInLoader::init(const ObjectPtr &helper, const std::string &callingAppTitle)
{
    ObjectPtr helperObject = helper; // Init takes the helper by reference
    if (m_class->plugin().Init(callingAppTitle, "", helperObject) == VFalse)
        throw loadError(QStringLiteral("the plug-in's Init failed"));
    m_info = std::dynamic_pointer_cast<HostModuleInfo>(m_class->module().ModuleInfo());
    if (!m_info)
        throw loadError(QStringLiteral("the plug-in's module information is not the host's"));
    m_name = m_class->plugin().PluginName();

    const ObjectPtr &window = m_info->mainWindow();
    const ObjectPtr &server = m_info->commandServer();
    m_window = std::dynamic_pointer_cast<IExternalWindow>(window);
    if (!m_window)
        throw loadError(QStringLiteral("the plug-in names no main window"));
    m_server = findInterface<ICommandServer>(server, window);
    m_tool = findInterface<IZelmoTool>(server, window);
    m_scripting = findInterface<IHostScripting>(window, server);
    m_listening = findInterface<IHostListening>(window, server);
    m_actions = findInterface<IHostActions>(window, server);
    m_rowKeys = findInterface<IHostRowKeys>(window, server);
    m_controllers = findInterface<IHostControllers>(window, server);
}

void PlugInLoader::releaseObjects()
{
    m_listening.reset();
    m_actions.reset();
    m_rowKeys.reset();
    m_controllers.reset();
    m_scripting.reset();
    m_tool.reset();
    m_server.reset();
    m_window.reset();
    m_info.reset();
}

void PlugInLoader::unload()
{
    if (!isLoaded())
        return;
    try {
        m_class->plugin().Term();
    } catch (...) {
        // Ending goes on whatever the plug-in reports.
    }
    releaseObjects();
    m_class.reset();
    // Windows the plug-in scheduled for deletion must go while their code is still loaded.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_library.unload();
    m_path.clear();
    m_name.clear();
}

QString defaultPlugInPath()
{
    const QString name = QStringLiteral(TARVEX_PLUGIN_FILE_NAME);
    const QDir here(QCoreApplication::applicationDirPath());
    const QStringList candidates{here.filePath(name), here.filePath("../lib/tarvex/" + name),
                                 here.filePath("../plugin/" + name)};
    for (const QString &candidate : candidates) {
        if (QFileInfo::exists(candidate))
            return QDir::cleanPath(candidate);
    }
    return QDir::cleanPath(candidates.front());
}

} // namespace tarvex::host
