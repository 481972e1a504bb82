#pragma once
// HeadlessHost: tarvex-host without windows, scripted line by line. It reads commands from a
// file descriptor (standard input) without ever blocking the event loop, runs them on the
// session and writes every event as one JSON line to its output. End of input is "quit".
// The commands are one table (HeadlessHost.cpp); commandSummary() lists them for the banner.
//
// A command that fails writes {"event":"error","command":LINE,"message":TEXT} and the host
// goes on: "unknown command: WORD" for a word that is no command, "usage: ..." for a command
// given the wrong arguments. "quit" with changes a project save would write prints
// {"event":"unsavedChanges"} instead of quitting; a "quit" right after it quits without saving. End
// of input quits without saving, after printing that event. The session's events (execute, user
// interaction, message boxes, controllers appearing and going) are written as they happen.

// Only Qt and the standard library here: moc reads this header.

#include <QObject>

#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class QSocketNotifier;

namespace tarvex {
class IHostControllers;
class IHostListening;
} // namespace tarvex

namespace tarvex::host {

class HostSession;

class HeadlessHost : public QObject {
    Q_OBJECT
public:
    using Output = std::function<void(const std::string &line)>;
    // A longer line is refused with an error and skipped up to its end: input is bounded.
    static constexpr size_t MaxLineBytes = 64 * 1024;

    // Listens to the session's events from now on. The session outlives this object.
    HeadlessHost(HostSession &session, Output output, QObject *parent = nullptr);
    ~HeadlessHost() override;

    // Writes the ready event.
    void announceReady();
    // Reads commands from fd from now on (0 for standard input).
    void readFrom(int fd);
    // Runs one command line (without its line break).
    void runCommand(const std::string &line);
    // Every command with its arguments, in the table's order ("options, command FIRST SECOND,
    // ...").
    static std::string commandSummary();
    // SIGINT or SIGTERM: the one way a signal ends the headless host.
    void quitBecauseOfSignal();
    bool quitting() const { return m_quitting; }
    // Prints unsavedChanges when the project holds changes a save would write, unless the
    // last command printed it already; true when there are such changes. The owner calls it
    // when the host ends without a quit (a signal).
    bool announceUnsavedChanges();

signals:
    // "quit" or the end of input: the owner ends the session and the program.
    void quitRequested();

private:
    struct Command;
    static std::span<const Command> commands();
    static std::runtime_error usageError(std::string_view word);

    void readAvailable();
    void takeLines();
    void endOfInput();
    void quit();
    void dispatch(const std::string &verb, const std::string &rest);
    // The commands, each given the rest of its line.
    void printOptions(const std::string &rest);
    void commandCommand(const std::string &rest);
    void saveCommand(const std::string &rest);
    void loadCommand(const std::string &rest);
    void startCommand(const std::string &rest);
    void listenCommand(const std::string &rest);
    void learnCommand(const std::string &rest);
    void configureCommand(const std::string &rest);
    void printState(const std::string &rest);
    void rowsCommand(const std::string &rest);
    void actionsCommand(const std::string &rest);
    void controllersCommand(const std::string &rest);
    void feedbackCommand(const std::string &rest);
    void quitCommand(const std::string &rest);
    IHostListening &listening();
    IHostControllers &controllers();

    HostSession &m_session;
    Output m_output;
    QSocketNotifier *m_notifier = nullptr;
    int m_fd = -1;
    std::string m_pending;
    bool m_quitting = false;
    bool m_unsavedAnnounced = false; // by the last command, a quit that was refused
    bool m_skippingLongLine = false;
};

} // namespace tarvex::host
