#include "host/app/HeadlessHost.h"

#include "host/app/HeadlessEvents.h"
#include "host/app/HostSession.h"
#include "host/objects/ControllersJson.h"
#include "host/objects/EventJson.h"

#include <QFileInfo>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace tarvex::host {
namespace {

std::string trimmed(const std::string &text)
{
    const char *blanks = " \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::vector<std::string> words(const std::string &text)
{
    std::vector<std::string> result;
    size_t at = 0;
    while ((at = text.find_first_not_of(" \t", at)) != std::string::npos) {
        const size_t end = text.find_first_of(" \t", at);
        result.push_back(text.substr(at, end - at));
        at = end;
    }
    return result;
}

} // namespace

HeadlessHost::HeadlessHost(HostSession &session, Output output, QObject *parent)
    : QObject(parent), m_session(session), m_output(std::move(output))
{
    HostEvents &events = m_session.events();
    events.executed = [this](const TargetValues &target, int32_t value, int32_t min, int32_t max) {
        m_output(executeEventJson(target, value, min, max));
    };
    events.userInteraction = [this] { m_output(userInteractionEventJson()); };
    // Every box is ours: nothing may wait for a click that no one can give.
    events.messageBox = [this](const std::string &text) {
        m_output(messageBoxEventJson(text));
        return true;
    };
    events.dmxOutput = [this](bool on, const std::string &reason) {
        m_output(dmxOutputEventJson(on, reason));
    };
    events.notice = [this](const std::string &text) { m_output(noticeEventJson(text)); };
    events.controller = [this](const std::string &endpoint, ControllerChange change) {
        m_output(controllerEventJson(endpoint, change));
    };
}

HeadlessHost::~HeadlessHost()
{
    HostEvents &events = m_session.events();
    events.executed = nullptr;
    events.userInteraction = nullptr;
    events.messageBox = nullptr;
    events.dmxOutput = nullptr;
    events.notice = nullptr;
    events.controller = nullptr;
}

void HeadlessHost::announceReady()
{
    m_output(readyEventJson(m_session.plugInName(), m_session.projectPath().toStdString()));
}

void HeadlessHost::readFrom(int fd)
{
    m_fd = fd;
    // A closed standard input is an input that has ended.
    if (::fcntl(fd, F_GETFD) == -1) {
        QMetaObject::invokeMethod(this, &HeadlessHost::endOfInput, Qt::QueuedConnection);
        return;
    }
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &HeadlessHost::readAvailable);
}

void HeadlessHost::readAvailable()
{
    char buffer[4096];
    const ssize_t count = ::read(m_fd, buffer, sizeof buffer);
    if (count < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (count <= 0) {
        endOfInput();
        return;
    }
    m_pending.append(buffer, static_cast<size_t>(count));
    takeLines();
}

void HeadlessHost::takeLines()
{
    size_t end;
    while (!m_quitting && (end = m_pending.find('\n')) != std::string::npos) {
        const std::string line = m_pending.substr(0, end);
        m_pending.erase(0, end + 1);
        if (m_skippingLongLine)
            m_skippingLongLine = false;
        else
            runCommand(line);
    }
    if (m_pending.size() > MaxLineBytes) {
        if (!m_skippingLongLine)
            m_output(errorEventJson(trimmed(m_pending.substr(0, 80)) + "...",
                                    "the line is longer than " + std::to_string(MaxLineBytes) +
                                        " bytes"));
        m_skippingLongLine = true;
        m_pending.clear();
    }
}

void HeadlessHost::endOfInput()
{
    if (m_notifier)
        m_notifier->setEnabled(false);
    // A last line without its line break still counts.
    if (!m_pending.empty() && !m_skippingLongLine) {
        const std::string line = std::move(m_pending);
        m_pending.clear();
        runCommand(line);
    }
    announceUnsavedChanges();
    quit();
}

void HeadlessHost::quit()
{
    if (m_quitting)
        return;
    m_quitting = true;
    if (m_notifier)
        m_notifier->setEnabled(false);
    emit quitRequested();
}

// A signal quits without saving; what it leaves unsaved is said first.
void HeadlessHost::quitBecauseOfSignal()
{
    announceUnsavedChanges();
    quit();
}

bool HeadlessHost::announceUnsavedChanges()
{
    if (m_unsavedAnnounced)
        return true;
    if (!m_session.hasUnsavedChanges())
        return false;
    m_output(unsavedChangesEventJson());
    m_unsavedAnnounced = true;
    return true;
}

// The first "quit" with unsaved changes only says so; the one right after it quits anyway.
void HeadlessHost::quitCommand(const std::string &)
{
    if (!m_unsavedAnnounced && announceUnsavedChanges())
        return;
    quit();
}

void HeadlessHost::runCommand(const std::string &line)
{
    if (m_quitting)
        return;
    const std::string command = trimmed(line);
    if (command.empty())
        return;
    const size_t verbEnd = command.find_first_of(" \t");
    const std::string verb = command.substr(0, verbEnd);
    const std::string rest = verbEnd == std::string::npos ? "" : trimmed(command.substr(verbEnd));
    try {
        dispatch(verb, rest);
    } catch (const std::exception &e) {
        m_output(errorEventJson(command, e.what()));
    } catch (...) {
        m_output(errorEventJson(command, "the plug-in failed"));
    }
}

// The commands, in the order the banner and the docs list them. A word may have several
// forms; a command without arguments refuses any.
struct HeadlessHost::Command {
    std::string_view word;
    std::string_view arguments; // as a usage shows them; empty for none
    void (HeadlessHost::*run)(const std::string &rest);
};

std::span<const HeadlessHost::Command> HeadlessHost::commands()
{
    static constexpr Command table[] = {
        {"options", "", &HeadlessHost::printOptions},
        {"command", "FIRST SECOND", &HeadlessHost::commandCommand},
        {"save", "", &HeadlessHost::saveCommand},
        {"load", "PROJECT_FILE", &HeadlessHost::loadCommand},
        {"start", "", &HeadlessHost::startCommand},
        {"listen", "ADDRESS PORT", &HeadlessHost::listenCommand},
        {"learn", "", &HeadlessHost::learnCommand},
        {"configure", "", &HeadlessHost::configureCommand},
        {"state", "", &HeadlessHost::printState},
        {"rows", "", &HeadlessHost::rowsCommand},
        {"actions", "export FILE", &HeadlessHost::actionsCommand},
        {"actions", "import FILE", &HeadlessHost::actionsCommand},
        {"controllers", "", &HeadlessHost::controllersCommand},
        {"feedback", "off|others [PORT]", &HeadlessHost::feedbackCommand},
        {"quit", "", &HeadlessHost::quitCommand},
    };
    return table;
}

namespace {

std::string formOf(std::string_view word, std::string_view arguments)
{
    std::string form(word);
    if (!arguments.empty())
        form.append(" ").append(arguments);
    return form;
}

} // namespace

std::string HeadlessHost::commandSummary()
{
    std::string summary;
    for (const Command &command : commands())
        summary += (summary.empty() ? "" : ", ") + formOf(command.word, command.arguments);
    return summary;
}

std::runtime_error HeadlessHost::usageError(std::string_view word)
{
    std::string forms;
    for (const Command &command : commands())
        if (command.word == word)
            forms += (forms.empty() ? "" : " | ") + formOf(command.word, command.arguments);
    return std::runtime_error("usage: " + forms);
}

void HeadlessHost::dispatch(const std::string &verb, const std::string &rest)
{
    if (verb != "quit")
        m_unsavedAnnounced = false;
    const std::span<const Command> table = commands();
    const auto command =
        std::find_if(table.begin(), table.end(), [&](const Command &c) { return c.word == verb; });
    if (command == table.end())
        throw std::runtime_error("unknown command: " + verb);
    if (command->arguments.empty() && !rest.empty())
        throw usageError(verb);
    (this->*command->run)(rest);
}

void HeadlessHost::commandCommand(const std::string &rest)
{
    const std::vector<std::string> selections = words(rest);
    if (selections.size() != 2)
        throw usageError("command");
    m_session.executeCommand(selections[0], selections[1]);
}

void HeadlessHost::listenCommand(const std::string &rest)
{
    const std::vector<std::string> endpoint = words(rest);
    if (endpoint.size() != 2)
        throw usageError("listen");
    listening().listen(endpoint[0], endpoint[1]);
}

void HeadlessHost::loadCommand(const std::string &rest)
{
    if (rest.empty())
        throw usageError("load");
    m_session.openProject(QString::fromStdString(rest));
    m_output(loadedEventJson(m_session.projectPath().toStdString()));
}

void HeadlessHost::saveCommand(const std::string &)
{
    m_session.saveProject();
    m_output(savedEventJson());
}

void HeadlessHost::startCommand(const std::string &)
{
    m_session.scripting().pressStart();
}

void HeadlessHost::learnCommand(const std::string &)
{
    m_session.scripting().pressLearn();
}

void HeadlessHost::configureCommand(const std::string &)
{
    m_session.configure();
}

void HeadlessHost::rowsCommand(const std::string &)
{
    m_output(rowsEventJson(m_session.rows()));
}

void HeadlessHost::controllersCommand(const std::string &)
{
    m_output(controllersEventJson(controllers().controllerTables()));
}

// "export FILE" or "import FILE"; the rest of the line is the path (blanks allowed).
void HeadlessHost::actionsCommand(const std::string &rest)
{
    const size_t split = rest.find_first_of(" \t");
    const std::string what = rest.substr(0, split);
    const std::string file = split == std::string::npos ? "" : trimmed(rest.substr(split));
    if ((what != "export" && what != "import") || file.empty())
        throw usageError("actions");
    const QString path = QFileInfo(QString::fromStdString(file)).absoluteFilePath();
    if (what == "export") {
        m_session.exportActions(path);
        m_output(actionsExportedEventJson(path.toStdString()));
    } else {
        const ActionsImportResult imported = m_session.importActions(path);
        m_output(actionsImportedEventJson(path.toStdString(), imported));
    }
}

void HeadlessHost::printOptions(const std::string &)
{
    const std::vector<OptionEntry> first = m_session.firstOptions();
    const std::vector<OptionEntry> second =
        m_session.secondOptions(first.empty() ? std::string() : first.front().value);
    m_output(optionsEventJson(first, second));
}

IHostListening &HeadlessHost::listening()
{
    if (!m_session.listening())
        throw std::runtime_error(m_session.hasPlugIn()
                                     ? "the plug-in offers no address and port to set"
                                     : "no plug-in is loaded");
    return *m_session.listening();
}

IHostControllers &HeadlessHost::controllers()
{
    if (!m_session.controllers())
        throw std::runtime_error(m_session.hasPlugIn()
                                     ? "the plug-in offers no view of the controllers"
                                     : "no plug-in is loaded");
    return *m_session.controllers();
}

// "off", "others" (each controller's source port) or "others PORT".
void HeadlessHost::feedbackCommand(const std::string &rest)
{
    const std::vector<std::string> arguments = words(rest);
    if (arguments.empty() || arguments.size() > 2 ||
        (arguments[0] == "off" && arguments.size() != 1) ||
        (arguments[0] != "off" && arguments[0] != "others"))
        throw usageError("feedback");
    IHostControllers &plugIn = controllers();
    FeedbackSettings settings = plugIn.feedback();
    settings.mode = arguments[0] == "others" ? FeedbackMode::Others : FeedbackMode::Off;
    settings.port = FeedbackSettings::SourcePort;
    if (arguments.size() == 2) {
        const std::string &port = arguments[1];
        if (port.empty() || port.size() > 5 ||
            port.find_first_not_of("0123456789") != std::string::npos || std::stoi(port) < 1 ||
            std::stoi(port) > 65535)
            throw std::runtime_error("the feedback port is a number from 1 to 65535");
        settings.port = static_cast<uint16_t>(std::stoi(port));
    }
    plugIn.setFeedback(settings);
}

void HeadlessHost::printState(const std::string &)
{
    IHostScripting &scripting = m_session.scripting();
    const std::string server = scripting.serverCaption();
    const std::string learn = scripting.learnCaption();
    std::optional<ListeningAddress> address;
    if (IHostListening *listening = m_session.listening())
        address = ListeningAddress{listening->serverAddress(), listening->serverPort()};
    m_output(stateEventJson(server, learn, address));
}

} // namespace tarvex::host
