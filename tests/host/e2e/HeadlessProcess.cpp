#include "tests/host/e2e/HeadlessProcess.h"

#include <QDeadlineTimer>
#include <QJsonDocument>

#include <algorithm>

namespace tarvex::test {

QString HeadlessProcess::testPlugInPath()
{
    return QStringLiteral(TARVEX_TEST_PLUGIN);
}

QString HeadlessProcess::plugInPath()
{
    const QString chosen = qEnvironmentVariable("TARVEX_E2E_PLUGIN");
    return chosen.isEmpty() ? testPlugInPath() : chosen;
}

HeadlessProcess::HeadlessProcess(QString plugIn) : m_plugIn(std::move(plugIn)) {}

HeadlessProcess::~HeadlessProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(DefaultWaitMs);
    }
}

bool HeadlessProcess::start(const QString &project, const QStringList &extraArguments,
                            const QProcessEnvironment &environment)
{
    m_process.setProcessEnvironment(environment);
    m_process.setProgram(QStringLiteral(TARVEX_HOST_EXE));
    m_process.setArguments(QStringList{"--headless", "--plugin", m_plugIn} + extraArguments +
                           QStringList{project});
    m_process.start();
    return m_process.waitForStarted(DefaultWaitMs);
}

void HeadlessProcess::send(const QString &line)
{
    m_process.write(line.toUtf8() + '\n');
    m_process.waitForBytesWritten(DefaultWaitMs);
}

void HeadlessProcess::closeInput()
{
    m_process.closeWriteChannel();
}

void HeadlessProcess::readLines()
{
    m_partial += m_process.readAllStandardOutput();
    m_errors += m_process.readAllStandardError();
    qsizetype end;
    while ((end = m_partial.indexOf('\n')) >= 0) {
        const QByteArray line = m_partial.left(end);
        m_partial.remove(0, end + 1);
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        if (error.error == QJsonParseError::NoError && document.isObject())
            m_events.append(document.object());
        else
            m_stray.append(QString::fromUtf8(line));
    }
}

std::optional<QJsonObject> HeadlessProcess::waitFor(const QString &event, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        readLines();
        for (qsizetype i = m_taken; i < m_events.size(); ++i) {
            if (m_events[i].value("event").toString() == event) {
                m_taken = i + 1;
                return m_events[i];
            }
        }
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return std::nullopt;
        m_process.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
    }
}

bool HeadlessProcess::waitForError(const QString &part, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (errorOutput().contains(part))
            return true;
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return false;
        // Wakes for standard output only: standard error is read in short slices.
        m_process.waitForReadyRead(
            static_cast<int>(std::clamp<qint64>(deadline.remainingTime(), 1, 100)));
    }
}

QList<QJsonObject> HeadlessProcess::eventsNamed(const QString &event) const
{
    QList<QJsonObject> named;
    for (const QJsonObject &object : m_events) {
        if (object.value("event").toString() == event)
            named.append(object);
    }
    return named;
}

bool HeadlessProcess::waitForExit(int timeoutMs)
{
    const bool ended =
        m_process.state() == QProcess::NotRunning || m_process.waitForFinished(timeoutMs);
    readLines();
    return ended;
}

QString HeadlessProcess::errorOutput()
{
    readLines();
    return QString::fromUtf8(m_errors);
}

} // namespace tarvex::test
