// frmSettings: learn mode. Starting it rebinds the main window's socket to this window's address
// and port, so that every datagram reaches learn mode; Timer1 shows what arrived. Ending it (or
// a failed start) hands the socket back to the main window, whose server resumes.

#include "core/VbError.h"
#include "net/frmMainOSC.h"
#include "toolkit/PortText.h"
#include "ui/PlugInRuntime.h"
#include "ui/frmSettings.h"

#include <QPointer>

namespace tarvex {
namespace {

// The attempt or the learning closed the main window's socket. Called last: the server's restart
// may show a box, whose nested event loop may unload the editor. A main window unloaded
// meanwhile took its socket with it, and a new one starts on its own.
void giveSocketBack(PlugInRuntime &runtime)
{
    if (frmMainOSC *main = runtime.loadedMainWindow())
        main->socketReturned();
}

} // namespace

std::string frmSettings::learnCaption() const
{
    return LearnButton->text().toStdString();
}

void frmSettings::setLearnCaption(std::string_view caption)
{
    LearnButton->setText(QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())));
}

void frmSettings::LearnButton_Click()
{
    if (learnCaption() == CaptionLearn)
        startLearning();
    else
        stopLearning();
}

void frmSettings::startLearning()
{
    // The rebuild takes the type tags of new rows from the learned entries, so it runs before
    // they are cleared. Its failure is not a failed start: it goes to the caller.
    rebuildActionTable();
    frmMainOSC &main = m_runtime.mainWindow();
    main.lendSocket();
    Winsock *socket = main.Winsock1;
    try {
        socket->Close();
        socket->setLocalPort(portFromText(Port->text().toStdString()));
        socket->setProtocol(Winsock::Protocol::Udp);
        OSCCount->setText(QStringLiteral("0"));
        m_runtime.state().learnedMessages.erase();
        socket->Bind(portFromText(Port->text().toStdString()), IP->text().toStdString());
        setLearnCaption(CaptionLearnStop);
        OSCCount->setText(QStringLiteral("0"));
        Timer1->setEnabled(true);
    } catch (const std::exception &e) {
        learnStartFailed(e.what());
    }
}

void frmSettings::learnStartFailed(const std::string &description)
{
    QPointer<frmSettings> self(this);
    PlugInRuntime &runtime = m_runtime;
    runtime.messageBoxes().show(description, MessageIcon::Critical);
    // The box runs a nested event loop, in which the host may have unloaded either window.
    if (self) {
        setLearnCaption(CaptionLearn);
        Timer1->setEnabled(false);
    }
    giveSocketBack(runtime);
}

void frmSettings::stopLearning()
{
    Timer1->setEnabled(false);
    setLearnCaption(CaptionLearn);
    receiving->setBackColor(PureRed);
    giveSocketBack(m_runtime);
}

// Three datagrams within one tick make one green flash; the count is the number of distinct
// addresses learned so far.
void frmSettings::Timer1_Timer()
{
    if (!Received) {
        receiving->setBackColor(PureRed);
        return;
    }
    receiving->setBackColor(PureGreen);
    const VarArray &learned = m_runtime.state().learnedMessages;
    if (!learned.isDimensioned())
        return; // nothing to count yet: Received stays set and the next tick tries again
    OSCCount->setText(QString::number(learned.upperBound() + 1));
    Received = false;
}

} // namespace tarvex
