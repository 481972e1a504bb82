// frmSettings: learn mode. Starting it rebinds the main window's socket to this window's address
// and port, so that every datagram reaches learn mode; Timer1 shows what arrived. Ending it (or
// a failed start) hands the socket back to the main window, whose server resumes.

#include "core/VbError.h"
#include "toolkit/PortText.h"
#include "ui/frmSettings.h"

#include <QPointer>

namespace tarvex {

std::string frmSettings::learnCaption() const
{
    return LearnButton->text().toStdString();
}

bool frmSettings::learnCaptionIs(std::string_view caption) const
{
    return LearnButton->text() ==
           QLatin1StringView(caption.data(), static_cast<qsizetype>(caption.size()));
}

void frmSettings::setLearnCaption(std::string_view caption)
{
    LearnButton->setText(QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())));
}

void frmSettings::LearnButton_Click()
{
    if (learnCaptionIs(CaptionLearn))
        startLearning();
    else
        stopLearning();
}

void frmSettings::startLearning()
{
    // The rebuild takes the type tags of new rows from the learned entries, so it runs before
    // they are cleared. Its failure is not a failed start: it goes to the caller.
    rebuildActionTable();
    Winsock &socket = m_context.lendMainSocket();
    try {
        prepareToBind(socket, Port->text().toStdString());
        OSCCount->setText(QStringLiteral("0"));
        m_context.state().learnedMessages.erase();
        socket.Bind(portFromText(Port->text().toStdString()), IP->text().toStdString());
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
    EditorContext &context = m_context;
    context.messageBoxes().show(description, MessageIcon::Critical);
    // The box runs a nested event loop, in which the host may have unloaded either window.
    if (self) {
        setLearnCaption(CaptionLearn);
        Timer1->setEnabled(false);
    }
    // Last: the server's restart may show a box, whose nested event loop may unload the editor.
    context.returnMainSocket();
}

void frmSettings::stopLearning()
{
    Timer1->setEnabled(false);
    setLearnCaption(CaptionLearn);
    receiving->setBackColor(PureRed);
    m_context.returnMainSocket(); // last: a restart that fails shows a box
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
    const VarArray &learned = m_context.state().learnedMessages;
    if (!learned.isDimensioned())
        return; // nothing to count yet: Received stays set and the next tick tries again
    OSCCount->setText(QString::number(learned.upperBound() + 1));
    Received = false;
}

} // namespace tarvex
