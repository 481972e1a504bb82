// The on-screen tests' main: a private X server (Xvfb, 1600x1000) on a display of its own and,
// with --window-manager=openbox, openbox managing it; then one QApplication on that display.

#include <QApplication>
#include <QProcess>

#include <gtest/gtest.h>

#include <cstring>
#include <iostream>

namespace {

constexpr int StartMs = 20000;

// Xvfb writes its display's number once it accepts clients: ":N", or nothing when it failed.
QString startServer(QProcess &server)
{
    server.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1600x1000x24", "-nolisten", "tcp"});
    QByteArray number;
    while (!number.contains('\n') && server.waitForReadyRead(StartMs))
        number += server.readAllStandardOutput();
    return number.trimmed().isEmpty() ? QString() : ":" + QString::fromLatin1(number.trimmed());
}

// openbox runs its start command once it manages the screen.
bool startWindowManager(QProcess &manager)
{
    manager.start("openbox", {"--sm-disable", "--startup", "echo managing"});
    QByteArray said;
    while (!said.contains("managing") && manager.waitForReadyRead(StartMs))
        said += manager.readAllStandardOutput();
    return said.contains("managing");
}

void stop(QProcess &process)
{
    process.terminate();
    if (!process.waitForFinished(StartMs))
        process.kill();
    process.waitForFinished(StartMs);
}

} // namespace

int main(int argc, char **argv)
{
    const bool withManager = argc > 1 && std::strcmp(argv[1], "--window-manager=openbox") == 0;
    if (withManager) {
        argv[1] = argv[0];
        --argc;
        ++argv;
    }
    QProcess server;
    const QString display = startServer(server);
    if (display.isEmpty()) {
        std::cerr << "Xvfb did not start: " << server.errorString().toStdString() << "\n";
        return 1;
    }
    qputenv("DISPLAY", display.toLatin1());
    qputenv("QT_QPA_PLATFORM", "xcb");
    QProcess manager;
    if (withManager && !startWindowManager(manager)) {
        std::cerr << "openbox did not start: " << manager.errorString().toStdString() << "\n";
        stop(server);
        return 1;
    }
    int result = 1;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    if (withManager)
        stop(manager);
    stop(server);
    return result;
}
