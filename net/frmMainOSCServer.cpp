// frmMainOSC: the UDP server's handlers: start, stop, socket loss, the reconnection countdown
// and the datagrams.

#include "core/VbError.h"
#include "engine/OSCHandler.h"
#include "net/frmMainOSC.h"
#include "toolkit/PortText.h"

#include <QPointer>

namespace tarvex {
namespace {

constexpr int16_t ReconnectSeconds = 3;
// The socket's number for an address it cannot bind to.
constexpr int32_t AddressNotAvailable = 10049;

std::string startFailureText(const std::string &description)
{
    return "Konnte Server nicht starten !!!\n\nFehler:\n" + description;
}

} // namespace

void frmMainOSC::setCaption(std::string_view caption)
{
    Start->setText(QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())));
}

void frmMainOSC::Start_Click()
{
    if (caption() == CaptionStart)
        startServer();
    else
        stopServer();
}

void frmMainOSC::listenOn(const std::string &address, const std::string &port)
{
    portFromText(port);
    if (!Winsock::isIPv4Address(address))
        throw VbError(AddressNotAvailable,
                      "\"" + address +
                          "\" is no IPv4 address such as 127.0.0.1 (0.0.0.0 listens "
                          "on every interface)");
    const bool learning = m_learnMode.learnModeRunning();
    const bool moveServer = caption() == CaptionStop && !learning;
    IP->setText(QString::fromStdString(address));
    Port->setText(QString::fromStdString(port));
    if (moveServer) {
        stopServer();
        startServer();
    }
}

void frmMainOSC::startServer()
{
    try {
        prepareToBind(*Winsock1, Port->text().toStdString());
        bindToBoxes();
        setCaption(CaptionStop);
    } catch (const std::exception &e) {
        startFailed(e.what());
    }
}

void frmMainOSC::stopServer()
{
    Winsock1->Close();
    setCaption(CaptionStart);
    Timer1->setEnabled(false);
}

void frmMainOSC::bindToBoxes()
{
    Winsock1->Bind(portFromText(Port->text().toStdString()), IP->text().toStdString());
}

// A failed attempt during a reconnection schedules the next one silently; a failed start by the
// user (or by autostart) is reported and leaves the server stopped.
void frmMainOSC::startFailed(const std::string &description)
{
    Winsock1->Close();
    std::string now = caption();
    if (now != CaptionStart && now != CaptionStop) {
        scheduleReconnection();
        return;
    }
    QPointer<frmMainOSC> self(this);
    m_messageBoxes.show(startFailureText(description), MessageIcon::Critical);
    // The box runs a nested event loop, in which the host may have unloaded this window.
    if (self)
        setCaption(CaptionStart);
}

void frmMainOSC::scheduleReconnection()
{
    Winsock1->Close();
    Timer1->setEnabled(true);
    setCaption(std::string(CaptionReconnecting) + std::to_string(ReconnectSeconds));
    reconnectCountdown = ReconnectSeconds;
}

void frmMainOSC::Timer1_Timer()
{
    if (reconnectCountdown > 0) {
        --reconnectCountdown;
        setCaption(std::string(CaptionReconnecting) + std::to_string(reconnectCountdown));
        return;
    }
    try {
        bindToBoxes();
        Timer1->setEnabled(false);
        setCaption(CaptionStop);
    } catch (const std::exception &e) {
        startFailed(e.what());
    }
}

void frmMainOSC::lendSocket()
{
    Timer1->setEnabled(false);
}

// The window must not say "Stop" while nothing listens on its address: the server it ran before
// learn mode comes back.
void frmMainOSC::socketReturned()
{
    Winsock1->Close();
    Timer1->setEnabled(false);
    const bool meantToRun = caption() != CaptionStart;
    setCaption(CaptionStart);
    if (meantToRun)
        startServer();
}

void frmMainOSC::Winsock1_Close()
{
    if (caption() == CaptionStop)
        scheduleReconnection();
}

void frmMainOSC::Winsock1_Error(int32_t, const std::string &)
{
    if (caption() == CaptionStop)
        scheduleReconnection();
}

void frmMainOSC::Winsock1_DataArrival(int32_t)
{
    // During another datagram's host call (a window reloaded meanwhile) this one is queued as a
    // copy; reading it into the shared buffer would overwrite the bytes still being handled.
    std::vector<uint8_t> queued;
    std::vector<uint8_t> &datagram = m_state.incoming.handling ? queued : m_state.incoming.received;
    Winsock1->GetData(datagram);
    try {
        handleDatagram(m_state, datagram,
                       Endpoint{Winsock1->senderAddress(), Winsock1->senderPort()});
    } catch (...) {
        // The datagram is lost; the server goes on with the next one. Nothing is shown.
    }
    // Nothing of the window may be touched here: the host may have unloaded it meanwhile.
}

} // namespace tarvex
