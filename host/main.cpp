// tarvex-host: loads the Tarvex plug-in and runs a show with it, in a window or headless.
//
//   tarvex-host [--plugin PATH] [PROJECT_FILE]          windows
//   tarvex-host --headless [--plugin PATH] PROJECT_FILE commands on stdin, JSON events on stdout
//   --ola-port N, --no-dmx-out                          where the DMX output goes, or none

#include "host/HeadlessHost.h"
#include "host/HostSession.h"
#include "host/HostWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QSocketNotifier>
#include <QStandardPaths>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iostream>
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

// SIGINT and SIGTERM end the host as "quit" does, so the plug-in is ended (Term) and its socket
// closed: the handler only writes a byte that the event loop reads.
int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

void quitOnSignals(QApplication &app)
{
    if (::pipe(signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [notifier] {
        notifier->setEnabled(false);
        QApplication::exit(0);
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

struct Arguments {
    bool headless = false;
    QString plugIn;
    QString project;
    int universes = 4;
    DmxOptions dmx;
};

Arguments parseArguments(const QApplication &app, const QString &plugInPath)
{
    QCommandLineParser parser;
    parser.setApplicationDescription("Loads the Tarvex plug-in and runs a show with it.");
    parser.addHelpOption();
    const QCommandLineOption headless("headless",
                                      "No windows: commands on standard input, JSON events on "
                                      "standard output.");
    // Parsed before Qt's application object (takePlugInOption); listed here for --help.
    const QCommandLineOption plugIn("plugin", "The plug-in library (default: beside the host).",
                                    "PATH");
    const QCommandLineOption universes("universes", "How many DMX universes (default 4).", "N",
                                       "4");
    const QCommandLineOption olaPort("ola-port",
                                     "The RPC port of olad on 127.0.0.1 (default 9010).", "N",
                                     QString::number(tarvex::dmx::kOlaDefaultPort));
    const QCommandLineOption noDmxOut("no-dmx-out", "Send no DMX output.");
    parser.addOptions({headless, plugIn, universes, olaPort, noDmxOut});
    parser.addPositionalArgument("PROJECT_FILE", "The project; it need not exist yet.");
    parser.process(app);

    Arguments arguments;
    arguments.headless = parser.isSet(headless);
    arguments.plugIn = plugInPath.isEmpty() ? defaultPlugInPath() : plugInPath;
    arguments.universes = parser.value(universes).toInt();
    arguments.dmx.enabled = !parser.isSet(noDmxOut);
    bool portIsNumber = false;
    const uint port = parser.value(olaPort).toUInt(&portIsNumber);
    if (!portIsNumber || port < 1 || port > 65535) {
        std::cerr << "tarvex-host: --ola-port takes 1 to 65535\n";
        std::exit(2);
    }
    arguments.dmx.olaPort = static_cast<uint16_t>(port);
    if (!parser.positionalArguments().isEmpty()) {
        arguments.project = parser.positionalArguments().constFirst();
    } else if (arguments.headless) {
        std::cerr << "tarvex-host: --headless needs a PROJECT_FILE\n";
        std::exit(2);
    } else {
        const QString documents =
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        arguments.project = QDir(documents).filePath("Tarvex/untitled.tarvex");
    }
    if (arguments.universes < 1 || arguments.universes > Universes::MaxCount) {
        std::cerr << "tarvex-host: --universes takes 1 to " << Universes::MaxCount << "\n";
        std::exit(2);
    }
    return arguments;
}

int runHeadless(QApplication &app, const Arguments &arguments, FILE *json)
{
    HostSession session(arguments.universes);
    HeadlessHost headless(session, [json](const std::string &line) {
        std::fwrite(line.data(), 1, line.size(), json);
        std::fputc('\n', json);
        std::fflush(json);
    });
    session.startDmxOutput(arguments.dmx);
    try {
        session.start(arguments.plugIn, arguments.project, HostSession::Show::Hidden);
    } catch (const std::exception &e) {
        std::cerr << "tarvex-host: " << e.what() << "\n";
        return 1;
    }
    QObject::connect(&headless, &HeadlessHost::quitRequested, &app, [] { QApplication::exit(0); });
    headless.announceReady();
    headless.readFrom(STDIN_FILENO);
    const int code = app.exec();
    // A signal ends the loop without a quit: what it leaves unsaved is said all the same.
    headless.announceUnsavedChanges();
    session.shutdown();
    return code;
}

int runWindowed(QApplication &app, const Arguments &arguments)
{
    HostSession session(arguments.universes);
    HostWindow window(session);
    window.show();
    session.startDmxOutput(arguments.dmx);
    try {
        session.start(arguments.plugIn, arguments.project, HostSession::Show::Shown);
        window.plugInStarted();
    } catch (const std::exception &e) {
        // The window stays, so the user sees why and can still open another project.
        window.plugInMissing(QString::fromUtf8(e.what()));
    }
    const int code = app.exec();
    session.shutdown();
    return code;
}

} // namespace

int main(int argc, char **argv)
{
    const bool headless = hasArgument(argc, argv, "--headless");
    FILE *json = nullptr;
    if (headless) {
        // No window may reach a screen, whatever the environment says.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        std::signal(SIGPIPE, SIG_IGN);
        json = takeStandardOutput();
    }
    const QString plugInPath = takePlugInOption(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName("tarvex-host");
    QApplication::setQuitOnLastWindowClosed(false);
    const Arguments arguments = parseArguments(app, plugInPath);
    quitOnSignals(app);
    if (!arguments.headless)
        return runWindowed(app, arguments);
    if (!json) {
        std::cerr << "tarvex-host: cannot keep standard output for the events\n";
        return 1;
    }
    return runHeadless(app, arguments, json);
}
