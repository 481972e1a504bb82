#pragma once
// HeadlessProcess: a real `tarvex-host --headless` process for end-to-end tests. It writes
// command lines to the host's standard input and reads its standard output as JSON lines; every
// wait is bounded, so a host that says nothing fails the test instead of hanging it.
//
//   HeadlessProcess host(HeadlessProcess::plugInPath());
//   ASSERT_TRUE(host.start(dir.filePath("show.tarvex")));
//   ASSERT_TRUE(host.waitFor("ready"));
//   host.send("state");
//   std::optional<QJsonObject> state = host.waitFor("state");
//
// The plug-in is the test plug-in unless TARVEX_E2E_PLUGIN names another library: the same tests
// then run against the real plug-in.

#include <QJsonObject>
#include <QProcess>
#include <QStringList>

#include <optional>

namespace tarvex::test {

class HeadlessProcess {
public:
    static constexpr int DefaultWaitMs = 10000;

    // TARVEX_E2E_PLUGIN, or the test plug-in built beside the tests.
    static QString plugInPath();
    static bool usesTestPlugIn() { return plugInPath() == testPlugInPath(); }
    static QString testPlugInPath();

    explicit HeadlessProcess(QString plugIn = plugInPath());
    ~HeadlessProcess();

    // Starts the host on a project; extra arguments and environment go to the process.
    bool start(const QString &project, const QStringList &extraArguments = {},
               const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());
    void send(const QString &line);
    void closeInput();
    // Sends SIGTERM.
    void terminate() { m_process.terminate(); }

    // The next event of that name not yet taken; events before it stay available in events().
    std::optional<QJsonObject> waitFor(const QString &event, int timeoutMs = DefaultWaitMs);
    // Every event read so far, in order, and the lines that were no JSON object.
    const QList<QJsonObject> &events() const { return m_events; }
    const QStringList &strayLines() const { return m_stray; }
    QList<QJsonObject> eventsNamed(const QString &event) const;

    // Waits for the process to end; reads what is left of its output.
    bool waitForExit(int timeoutMs = DefaultWaitMs);
    int exitCode() const { return m_process.exitCode(); }
    QProcess::ExitStatus exitStatus() const { return m_process.exitStatus(); }
    QString errorOutput();
    // Whether standard error says `part` within the time.
    bool waitForError(const QString &part, int timeoutMs = DefaultWaitMs);

private:
    void readLines();

    QString m_plugIn;
    QProcess m_process;
    QByteArray m_partial;
    QList<QJsonObject> m_events;
    qsizetype m_taken = 0;
    QStringList m_stray;
    QByteArray m_errors;
};

} // namespace tarvex::test
