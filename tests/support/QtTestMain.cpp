// The window tests' main: one QApplication for all tests, on the offscreen platform unless the
// environment names another, and on the event dispatcher the host uses.

#include "host/app/EventDispatcher.h"

#include <QApplication>

#include <gtest/gtest.h>

namespace {
// The offscreen platform says on every opened drop-down that it cannot raise windows or grab
// the keyboard; neither matters to a test.
void quietPlatformNotes(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.startsWith("This plugin does not support"))
        return;
    qt_message_output(type, context, message);
}
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietPlatformNotes);
    tarvex::useLeanEventDispatcher();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
