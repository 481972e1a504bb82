// tarvex-host: loads the Tarvex plug-in and runs a show with it, in a window or headless.
//
//   tarvex-host [--plugin PATH] [PROJECT_FILE]          windows
//   tarvex-host --headless [--plugin PATH] PROJECT_FILE commands on stdin, JSON events on stdout
//   --example (instead of PROJECT_FILE)                 the user's copy of the installed example
//   --ola-port N, --no-dmx-out                          where the DMX output goes, or none
//   --web [ADDRESS:]PORT                                the show's web page and OSCQuery
//   --help, --version                                   answer anywhere, with or without a display

#include "core/RegularFile.h"
#include "host/app/EventDispatcher.h"
#include "host/app/HeadlessHost.h"
#include "host/app/HostSession.h"
#include "host/app/HostWindow.h"
#include "host/app/QuitSignals.h"
#include "host/app/SessionWebShow.h"
#include "host/app/WebAnnouncement.h"
#include "host/web/WebAccessFile.h"
#include "host/web/server/WebServer.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QNetworkInterface>
#include <QStandardPaths>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <optional>
#include <pwd.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

using namespace tarvex::host;

namespace {

bool hasArgument(int argc, char **argv, const char *wanted)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], wanted) == 0)
            return true;
    }
    return false;
}

// Qt's application object takes "-plugin NAME" (and "--plugin") for platform plug-ins of its
// own, so the host takes its --plugin option out of the arguments before Qt sees them.
QString takePlugInOption(int &argc, char **argv)
{
    QString path;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const char *argument = argv[i];
        if (std::strcmp(argument, "--plugin") == 0 && i + 1 < argc) {
            path = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strncmp(argument, "--plugin=", 9) == 0) {
            path = QString::fromLocal8Bit(argument + 9);
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    argv[argc] = nullptr;
    return path;
}

// Standard output carries the JSON lines alone: they get a descriptor of their own, and
// whatever else writes to standard output (a library, the plug-in) lands on standard error.
FILE *takeStandardOutput()
{
    // A closed standard input would hand its number to the next descriptor opened: keep it taken,
    // by an input that has ended.
    if (::fcntl(STDIN_FILENO, F_GETFD) == -1)
        ::open("/dev/null", O_RDONLY);
    std::fflush(stdout);
    const int json = ::dup(STDOUT_FILENO);
    ::dup2(STDERR_FILENO, STDOUT_FILENO);
    return json < 0 ? nullptr : ::fdopen(json, "w");
}

// Without XDG_RUNTIME_DIR (a root shell, a container) Qt warns on every start and then uses
// TMP/runtime-USER. The host names that same folder first, private to its user, so the console
// stays quiet; a folder that is not ours is left to Qt and its warning.
void setRuntimeFolder()
{
    if (qEnvironmentVariableIsSet("XDG_RUNTIME_DIR"))
        return;
    const passwd *user = ::getpwuid(::geteuid());
    const QByteArray name = user ? QByteArray(user->pw_name) : QByteArray::number(::geteuid());
    const QByteArray folder = QFile::encodeName(QDir::tempPath()) + "/runtime-" + name;
    ::mkdir(folder.constData(), 0700);
    struct stat info {};
    if (::lstat(folder.constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::geteuid())
        return;
    if ((info.st_mode & 07777) != 0700 && ::chmod(folder.constData(), 0700) != 0)
        return;
    qputenv("XDG_RUNTIME_DIR", folder);
}

struct Arguments {
    bool headless = false;
    bool example = false;
    QString plugIn;
    QString project;
    int universes = 4;
    DmxOptions dmx;
    std::optional<WebAddress> web;
};

[[noreturn]] void usageError(const QString &text)
{
    std::cerr << "tarvex-host: " << text.toStdString() << "\n"
              << "Try 'tarvex-host --help'.\n";
    std::exit(2);
}

// --help and --version answer before anything needs a display. The core application object names
// the program in the usage line; it needs no display.
[[noreturn]] void answer(QCommandLineParser &parser, bool version, int argc, char **argv)
{
    std::optional<QCoreApplication> core;
    if (!QCoreApplication::instance())
        core.emplace(argc, argv);
    if (version)
        parser.showVersion();
    parser.showHelp(0);
}

// The host's options, for one reading of the command line.
struct Options {
    QCommandLineParser parser;
    const QCommandLineOption help{{"h", "help"}, "Shows this help."};
    const QCommandLineOption version{{"v", "version"}, "Shows the version."};
    const QCommandLineOption headless{
        "headless", "No windows: commands on standard input, JSON events on standard output."};
    // Taken out before Qt's application object sees it (takePlugInOption); listed for --help.
    const QCommandLineOption plugIn{
        "plugin", "The plug-in library (default: beside the host, or where it is installed).",
        "PATH"};
    const QCommandLineOption universes{"universes", "How many DMX universes (default 4).", "N",
                                       "4"};
    const QCommandLineOption olaPort{"ola-port",
                                     "The RPC port of olad on 127.0.0.1 (default 9010).", "N",
                                     QString::number(tarvex::dmx::kOlaDefaultPort)};
    const QCommandLineOption noDmxOut{"no-dmx-out", "Send no DMX output."};
    const QCommandLineOption web{
        "web",
        "Serves the show's web page and its OSCQuery namespace on PORT, on 127.0.0.1 unless an "
        "ADDRESS is given (0.0.0.0: every address of this machine). Off without it.",
        "[ADDRESS:]PORT"};
    const QCommandLineOption example{
        "example", "Runs your own copy of the installed example show, made in "
                   "Documents/Tarvex/Example on first use (instead of a PROJECT_FILE)."};

    Options()
    {
        // Single-dash words are options, as Qt's own are: "-bogus" is one unknown option.
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.setApplicationDescription("Loads the Tarvex plug-in and runs a show with it.");
        parser.addOptions(
            {help, version, headless, plugIn, universes, olaPort, noDmxOut, web, example});
        parser.addPositionalArgument(
            "PROJECT_FILE",
            "The project to open; it need not exist yet. Without one the window opens "
            "Documents/Tarvex/untitled.tarvex in your documents folder, a new project until "
            "it is saved; --headless needs a PROJECT_FILE or --example.",
            "[PROJECT_FILE]");
    }
};

// The values of parsed options; a value out of range is a usage error.
Arguments argumentsFrom(const Options &options, const QString &plugInPath)
{
    const QCommandLineParser &parser = options.parser;
    Arguments arguments;
    arguments.headless = parser.isSet(options.headless);
    arguments.example = parser.isSet(options.example);
    arguments.plugIn = plugInPath;
    bool isNumber = false;
    arguments.universes = parser.value(options.universes).toInt(&isNumber);
    if (!isNumber || arguments.universes < 1 || arguments.universes > Universes::MaxCount)
        usageError(QString("--universes takes 1 to %1").arg(Universes::MaxCount));
    arguments.dmx.enabled = !parser.isSet(options.noDmxOut);
    const uint port = parser.value(options.olaPort).toUInt(&isNumber);
    if (!isNumber || port < 1 || port > 65535)
        usageError("--ola-port takes 1 to 65535");
    arguments.dmx.olaPort = static_cast<uint16_t>(port);
    if (parser.isSet(options.web)) {
        arguments.web = webAddressOf(parser.value(options.web));
        if (!arguments.web)
            usageError("--web takes [ADDRESS:]PORT: 8080, 0.0.0.0:8080 or [::1]:8080");
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1)
        usageError("one PROJECT_FILE at most");
    if (!positional.isEmpty() && arguments.example)
        usageError("--example takes no PROJECT_FILE");
    if (!positional.isEmpty())
        arguments.project = positional.constFirst();
    else if (arguments.headless && !arguments.example)
        usageError("--headless needs a PROJECT_FILE or --example");
    return arguments;
}

// Reads the host's options from the words of the command line; --help, --version and usage
// errors end the program here (exit 0, 0 and 2). Before Qt's application object exists, an
// option the host does not know may be one of Qt's own (-platform, -style…): with
// `qtOptionsPending` that gives no error but nothing, and the words are read again once Qt has
// taken its own.
std::optional<Arguments> readArguments(const QStringList &words, const QString &plugInPath,
                                       bool qtOptionsPending, int argc, char **argv)
{
    Options options;
    const bool parsed = options.parser.parse(words);
    const bool version = options.parser.isSet(options.version);
    if (version || options.parser.isSet(options.help))
        answer(options.parser, version, argc, argv);
    if (!parsed) {
        if (qtOptionsPending)
            return std::nullopt;
        usageError(options.parser.errorText());
    }
    return argumentsFrom(options, plugInPath);
}

QStringList wordsOf(int argc, char **argv)
{
    QStringList words;
    for (int i = 0; i < argc; ++i)
        words.append(QString::fromLocal8Bit(argv[i]));
    return words;
}

// The folder of the user's projects, in the desktop's documents folder.
QDir userProjects()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QDir(QDir(documents).filePath("Tarvex"));
}

// The window's default project.
QString defaultProject()
{
    return userProjects().filePath("untitled.tarvex");
}

// The example show as installed beside the host (cmake/Install.cmake): read only, as /usr is.
QDir installedExample()
{
    return QDir(QCoreApplication::applicationDirPath() + "/../share/tarvex/examples/show");
}

std::runtime_error exampleFailure(const QString &text)
{
    return std::runtime_error(text.toStdString());
}

// Copies each file of `from` that `to` lacks, `last` after the others; a file already in `to` is
// never replaced. The copies are new files of the user's (0666 narrowed by the umask), written as
// every file is. Throws std::runtime_error when one cannot be copied.
void copyMissingFiles(const QDir &from, const QDir &to, const QString &last)
{
    // Far beyond the example's few kilobytes; the installed files are read with a bound as any.
    constexpr size_t MaxExampleFileBytes = 16 << 20;
    QStringList files = from.entryList(QDir::Files, QDir::Name);
    files.removeOne(last);
    files.append(last);
    for (const QString &file : files) {
        const QString target = to.filePath(file);
        if (QFileInfo::exists(target))
            continue;
        const tarvex::RegularFile source = tarvex::readRegularFile(
            QFile::encodeName(from.filePath(file)).toStdString(), MaxExampleFileBytes);
        if (source.status != tarvex::RegularFile::Read)
            throw exampleFailure(QStringLiteral("cannot copy the example show to %1").arg(target));
        tarvex::replaceRegularFile(
            QFile::encodeName(target).toStdString(),
            std::string_view(reinterpret_cast<const char *>(source.bytes.data()),
                             source.bytes.size()));
    }
}

// The user's own copy of the installed example show, made on first use; a copy that exists is
// the user's and opens as it is. The project file is copied last, so a copy cut short is
// completed on the next start. Throws std::runtime_error when no example is installed or the
// copy cannot be made.
QString exampleShowCopy()
{
    const QString projectName = QStringLiteral("show.tarvex");
    const QDir copy(userProjects().filePath("Example"));
    const QString project = copy.filePath(projectName);
    if (QFileInfo::exists(project))
        return project;
    const QDir installed = installedExample();
    if (!QFileInfo::exists(installed.filePath(projectName)))
        throw exampleFailure(QStringLiteral("there is no example show installed at %1")
                                 .arg(QDir::cleanPath(installed.path())));
    if (!copy.mkpath("."))
        throw exampleFailure(QStringLiteral("cannot make the folder %1").arg(copy.path()));
    copyMissingFiles(installed, copy, projectName);
    return project;
}

// The project to run with --example, or nothing when there is none to run (the user was told).
std::optional<QString> exampleProject(bool headless)
{
    try {
        return exampleShowCopy();
    } catch (const std::exception &e) {
        std::cerr << "tarvex-host: " << e.what() << "\n";
        // Started from the desktop's menu, the window is the one place the user would look.
        if (!headless)
            QMessageBox::critical(nullptr, "Tarvex Host",
                                  QStringLiteral("Tarvex cannot open the example show: %1")
                                      .arg(QString::fromStdString(e.what())));
        return std::nullopt;
    }
}

// Whether Qt can be expected to find a screen. Without one, Qt's default platform aborts the
// program; the host says why instead.
bool displayReachable(int argc, char **argv)
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
           hasArgument(argc, argv, "-platform") || hasArgument(argc, argv, "--platform");
}

// The show's web page while --web asks for it: the show it reads, the server, what the user is
// told of it and, once it listens, its announcement on the network (withdrawn first when the
// page goes).
struct WebPage {
    SessionWebShow show;
    WebServer server;
    QString url;                     // where a browser finds it
    std::optional<WebAccess> access; // beyond loopback: the PIN
    std::optional<WebAnnouncement> announcement;
    // "http://192.168.1.10:8080/, PIN 483920"
    QString summary() const
    {
        return access ? QStringLiteral("%1, PIN %2").arg(url, QString::fromStdString(access->pin))
                      : url;
    }
    explicit WebPage(HostSession &session) : show(session), server(show) {}
};

// Where a browser on another machine reaches a server listening on every address: this
// machine's first address beyond loopback.
QHostAddress addressToShow(const QHostAddress &listened)
{
    if (listened != QHostAddress::AnyIPv4 && listened != QHostAddress::Any)
        return listened;
    for (const QHostAddress &address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
            return address;
    }
    return QHostAddress::LocalHost;
}

// Starts the web page; a page that cannot listen is reported and the show runs without it.
// Beyond loopback it takes the project's web PIN, made at first use.
std::unique_ptr<WebPage> startWebPage(HostSession &session, std::optional<WebAddress> web)
{
    const auto fail = [&session](const std::string &why) {
        const std::string error = why + "; the show runs without its web page";
        std::cerr << "tarvex-host: " << error << "\n";
        if (session.events().notice)
            session.events().notice(error);
        return nullptr;
    };
    // Without --web, the project's own web settings may ask for the page.
    if (!web) {
        try {
            const std::optional<WebAccess> kept =
                readWebAccess(session.projectPath().toStdString());
            if (!kept || kept->listen.empty())
                return nullptr;
            web = webAddressOf(QString::fromStdString(kept->listen));
            if (!web)
                return fail("\"listen\" in " + webAccessPath(session.projectPath().toStdString()) +
                            " is no [ADDRESS:]PORT");
        } catch (const std::exception &e) {
            return fail(std::string("cannot read the web settings: ") + e.what());
        }
    }
    auto page = std::make_unique<WebPage>(session);
    if (!web->address.isLoopback()) {
        try {
            page->access = loadOrMakeWebAccess(session.projectPath().toStdString());
        } catch (const std::exception &e) {
            return fail(std::string("cannot read the web PIN: ") + e.what());
        }
        page->server.setAccess(*page->access);
    }
    const quint16 port = page->server.listen(web->address, web->port);
    if (port == 0)
        return fail("cannot serve the web page on " +
                    webUrlOf(web->address, web->port).toStdString() + " (is the port taken?)");
    page->url = webUrlOf(addressToShow(web->address), port);
    std::cerr << "tarvex-host: the show's web page is on " << page->summary().toStdString() << "\n";
    if (page->access)
        std::cerr << "tarvex-host: other machines need the PIN to read or drive the show; it is "
                     "kept in "
                  << webAccessPath(session.projectPath().toStdString()) << "\n";
    page->announcement.emplace(web->address, port, [](const std::string &line) {
        std::cerr << "tarvex-host: " << line << "\n";
    });
    return page;
}

int runHeadless(QApplication &app, const Arguments &arguments, FILE *json)
{
    HostSession session(arguments.universes);
    HeadlessHost headless(session, [json](const std::string &line) {
        std::fwrite(line.data(), 1, line.size(), json);
        std::fputc('\n', json);
        std::fflush(json);
    });
    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, &headless,
                     &HeadlessHost::quitBecauseOfSignal);
    QObject::connect(&headless, &HeadlessHost::quitRequested, &app, [] { QApplication::exit(0); });
    session.startDmxOutput(arguments.dmx);
    try {
        session.start(arguments.plugIn, arguments.project, HostSession::Show::Hidden);
    } catch (const std::exception &e) {
        std::cerr << "tarvex-host: " << e.what() << "\n";
        return 1;
    }
    std::cerr << "tarvex-host: headless on " << session.projectPath().toStdString()
              << ". Commands: " << HeadlessHost::commandSummary()
              << ". Events come as JSON lines on standard output.\n";
    if (session.serverState().server == HostSession::Server::Stopped)
        std::cerr << "tarvex-host: the OSC server is stopped: nothing sent to it is received "
                     "until \"start\" starts it (or the plug-in's autostart, with the project).\n";
    std::unique_ptr<WebPage> web = startWebPage(session, arguments.web);
    headless.announceReady();
    headless.readFrom(STDIN_FILENO);
    const int code = quitSignals.received() ? 0 : app.exec();
    web.reset();
    session.shutdown();
    return code;
}

int runWindowed(QApplication &app, const Arguments &arguments)
{
    HostSession session(arguments.universes);
    HostWindow window(session);
    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, &window,
                     &HostWindow::quitBecauseOfSignal);
    window.show();
    session.startDmxOutput(arguments.dmx);
    try {
        session.start(arguments.plugIn, arguments.project, HostSession::Show::Shown);
        window.plugInStarted();
    } catch (const std::exception &e) {
        // The window stays, so the user sees why and can still open another project.
        window.plugInMissing(QString::fromUtf8(e.what()));
    }
    std::unique_ptr<WebPage> web = startWebPage(session, arguments.web);
    if (web && web->access) {
        window.showWebPage(web->summary(), [&session, page = web.get()] {
            page->access = renewWebPin(session.projectPath().toStdString());
            page->server.setAccess(*page->access);
            return page->summary();
        });
    } else if (web) {
        window.showWebPage(web->summary());
    }
    // A signal read by a modal box's loop while the plug-in started has ended that loop already;
    // the main loop would not hear of it again.
    const int code = quitSignals.received() ? 0 : app.exec();
    web.reset();
    session.shutdown();
    return code;
}

} // namespace

int main(int argc, char **argv)
{
    const QString plugInPath = takePlugInOption(argc, argv);
    QCoreApplication::setApplicationName("tarvex-host");
    QCoreApplication::setApplicationVersion(TARVEX_VERSION);
    std::optional<Arguments> arguments =
        readArguments(wordsOf(argc, argv), plugInPath, true, argc, argv);
    const bool headless = arguments ? arguments->headless : hasArgument(argc, argv, "--headless");
    FILE *json = nullptr;
    if (headless) {
        // No window may reach a screen, whatever the environment says.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        std::signal(SIGPIPE, SIG_IGN);
        json = takeStandardOutput();
    } else if (!displayReachable(argc, argv)) {
        // Qt could not take its own options anyway: what the host did not know is the mistake.
        if (!arguments)
            readArguments(wordsOf(argc, argv), plugInPath, false, argc, argv);
        std::cerr << "tarvex-host: no display to show the window on (DISPLAY is not set); "
                     "--headless runs without one\n";
        return 1;
    }
    setRuntimeFolder();
    tarvex::useLeanEventDispatcher();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    // The desktop entry's name: a desktop finds the window's icon through it.
    QGuiApplication::setDesktopFileName("tarvex");
    if (!arguments)
        arguments = readArguments(QApplication::arguments(), plugInPath, false, argc, argv);
    if (arguments->plugIn.isEmpty())
        arguments->plugIn = defaultPlugInPath();
    if (arguments->example) {
        const std::optional<QString> example = exampleProject(arguments->headless);
        if (!example)
            return 1;
        arguments->project = *example;
    }
    if (arguments->project.isEmpty())
        arguments->project = defaultProject();
    if (!arguments->headless)
        return runWindowed(app, *arguments);
    if (!json) {
        std::cerr << "tarvex-host: cannot keep standard output for the events\n";
        return 1;
    }
    return runHeadless(app, *arguments, json);
}
