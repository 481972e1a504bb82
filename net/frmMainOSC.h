#pragma once
// frmMainOSC: the main window "Tarvex". It owns the UDP socket on which OSC datagrams arrive:
// the user picks the local address and port, starts and stops the server, and sees reception on
// the indicator; a failing socket is re-bound every 4 seconds until it binds or the user stops.
//
// The Start caption is the server state: "Start" (stopped), "Stop" (running) or
// "Reconnecting in " and 3, 2, 1, 0 (waiting for the next attempt).
//
// Controls are public members and handlers public functions, so tests and the plug-in (learn
// mode borrows Winsock1 and gives it back) reach them directly; the handlers are connected to
// Qt's signals.
//
//   frmMainOSC window(state, messageBoxes, learnMode);   // what it uses, nothing more
//   window.Form_Load();                                 // settings into the boxes, autostart

#include "plugin/api/HostInterfaces.h"
#include "store/PlugInState.h"
#include "toolkit/ColorButton.h"
#include "toolkit/FormWindow.h"
#include "toolkit/MessageBoxes.h"
#include "toolkit/Timer.h"
#include "toolkit/Winsock.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <string>
#include <vector>

namespace tarvex {

// The Start captions.
inline constexpr std::string_view CaptionStart = "Start";
inline constexpr std::string_view CaptionStop = "Stop";
inline constexpr std::string_view CaptionReconnecting = "Reconnecting in ";

// What the main window asks of the editor: whether learn mode has borrowed the socket. The
// plug-in answers from the editor window without loading it.
class LearnModeQuery {
public:
    virtual ~LearnModeQuery() = default;
    virtual bool learnModeRunning() = 0;
};

class frmMainOSC : public FormWindow {
public:
    // The state, the boxes and the query are borrowed: the plug-in keeps them alive as long as
    // the window.
    frmMainOSC(PlugInState &state, MessageBoxes &messageBoxes, LearnModeQuery &learnMode,
               QWidget *parent = nullptr);
    ~frmMainOSC() override;

    // Controls (owned by the window).
    QLabel *Label1;
    QLineEdit *IP;
    QLabel *Label2;
    QLineEdit *Port;
    QPushButton *Start;
    ColorButton *StatusLed;
    QCheckBox *chkAutostart;
    Timer *Timer1;      // 1000 ms: the reconnection countdown
    Timer *StatusTimer; // 100 ms: turns StatusLed back to red
    Winsock *Winsock1;

    // Seconds left before the next reconnection attempt.
    int16_t reconnectCountdown = 0;
    // The typed host helper; empty until the window has been loaded.
    HostModulePtr CMP;

    // Loads the settings (once per plug-in life), shows address, port and autostart, and starts
    // the server when autostart is checked.
    void Form_Load() override;
    // Unloading ends the socket with the window.
    void Form_Unload() override;

    // Starts the server when the caption reads "Start", otherwise stops it (a reconnection
    // under way included). A failed start shows "Konnte Server nicht starten !!!".
    void Start_Click();
    // Puts an address and port into the boxes, as typing them would, and moves a running server
    // there: stopped and started as the button does (a failed start shows its box and reads
    // "Start"). While learn mode borrows the socket only the boxes change; a reconnection takes
    // them at its next attempt. A port that is no port, or an address that is no dotted IPv4
    // address, raises and changes nothing.
    void listenOn(const std::string &address, const std::string &port);
    // One second of the reconnection countdown, or the attempt when it has run out.
    void Timer1_Timer();
    // The socket closed or failed: while running, the server starts reconnecting.
    void Winsock1_Close();
    void Winsock1_Error(int32_t number, const std::string &description);
    // One datagram: handed to the engine. A datagram whose decoding or dispatch fails is lost.
    void Winsock1_DataArrival(int32_t bytesTotal);
    // Learn mode borrows Winsock1 to listen on the editor's address and port. A reconnection
    // under way pauses, so that its attempts leave the borrowed socket alone.
    void lendSocket();
    // Learn mode has ended and closed the socket. A server that was meant to run (the caption
    // reads "Stop" or a countdown) starts again on IP and Port, as the Start button starts it:
    // a failure shows its box and leaves "Start". Otherwise the caption reads "Start".
    void socketReturned();
    // Turns the indicator back to red.
    void StatusTimer_Timer();
    // The receive indicator: green now, red again at the next StatusTimer tick (at most 100 ms).
    void signalReception();

    std::string caption() const { return Start->text().toStdString(); }

private:
    void buildControls();
    void layOutControls();
    void connectEvents();
    void startServer();
    void stopServer();
    void bindToBoxes();
    void startFailed(const std::string &description);
    void scheduleReconnection();
    void setCaption(std::string_view caption);

    PlugInState &m_state;
    MessageBoxes &m_messageBoxes;
    LearnModeQuery &m_learnMode;
};

} // namespace tarvex
