// frmMainOSC: controls, layout, loading and the receive indicator. The server's handlers are in
// frmMainOSCServer.cpp.

#include "net/frmMainOSC.h"

#include "core/Conversions.h"
#include "store/OSCSaver.h"
#include "toolkit/EventEdge.h"

#include <QHBoxLayout>

namespace tarvex {
namespace {

constexpr int ReconnectIntervalMs = 1000;
constexpr int IndicatorIntervalMs = 100;
constexpr int IndicatorSize = 16;

} // namespace

frmMainOSC::frmMainOSC(PlugInState &state, MessageBoxes &messageBoxes, LearnModeQuery &learnMode,
                       QWidget *parent)
    : FormWindow(parent), m_state(state), m_messageBoxes(messageBoxes), m_learnMode(learnMode)
{
    setWindowTitle(QStringLiteral("Tarvex"));
    buildControls();
    layOutControls();
    connectEvents();
}

// The socket goes with the window, before the controls its events would touch.
frmMainOSC::~frmMainOSC()
{
    delete Winsock1;
}

void frmMainOSC::buildControls()
{
    Label1 = new QLabel(QStringLiteral("IP:Port"), this);
    IP = new QLineEdit(QStringLiteral("127.0.0.1"), this);
    Label2 = new QLabel(QStringLiteral(":"), this);
    Port = new QLineEdit(QStringLiteral("12345"), this);
    Start = new QPushButton(QString::fromUtf8(CaptionStart.data(), CaptionStart.size()), this);
    StatusLed = new ColorButton(this);
    chkAutostart = new QCheckBox(QStringLiteral("autostart"), this);
    Timer1 = new Timer(this, ReconnectIntervalMs, [this] { Timer1_Timer(); });
    StatusTimer = new Timer(this, IndicatorIntervalMs, [this] { StatusTimer_Timer(); });
    Winsock1 = new Winsock(this);

    Label1->setObjectName(QStringLiteral("Label1"));
    IP->setObjectName(QStringLiteral("IP"));
    Label2->setObjectName(QStringLiteral("Label2"));
    Port->setObjectName(QStringLiteral("Port"));
    Start->setObjectName(QStringLiteral("Start"));
    StatusLed->setObjectName(QStringLiteral("StatusLed"));
    chkAutostart->setObjectName(QStringLiteral("chkAutostart"));
    Timer1->setObjectName(QStringLiteral("Timer1"));
    StatusTimer->setObjectName(QStringLiteral("StatusTimer"));
    Winsock1->setObjectName(QStringLiteral("Winsock1"));
}

void frmMainOSC::layOutControls()
{
    const QFontMetrics metrics = fontMetrics();
    // Wide enough for every address, port and caption, so the row never jumps while the
    // countdown runs.
    IP->setFixedWidth(metrics.horizontalAdvance(QStringLiteral("255.255.255.255")) + 16);
    Port->setFixedWidth(metrics.horizontalAdvance(QStringLiteral("655350")) + 12);
    Start->setFixedWidth(metrics.horizontalAdvance(QStringLiteral("Reconnecting in 3")) + 24);
    StatusLed->setFixedSize(IndicatorSize, IndicatorSize);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(8, 8, 8, 8);
    row->setSpacing(6);
    row->addWidget(Label1);
    row->addWidget(IP);
    row->addSpacing(-4);
    row->addWidget(Label2);
    row->addSpacing(-4);
    row->addWidget(Port);
    row->addSpacing(6);
    row->addWidget(Start);
    row->addWidget(StatusLed);
    row->addSpacing(6);
    row->addWidget(chkAutostart);
    row->setSizeConstraint(QLayout::SetFixedSize);
}

void frmMainOSC::connectEvents()
{
    connect(Start, &QPushButton::clicked, this,
            [this] { runEvent("Start_Click", [this] { Start_Click(); }); });
    // The socket runs its events at the loop's edge itself.
    Winsock1->onClose = [this] { Winsock1_Close(); };
    Winsock1->onError = [this](int32_t number, const std::string &description) {
        Winsock1_Error(number, description);
    };
    Winsock1->onDataArrival = [this](int32_t bytesTotal) { Winsock1_DataArrival(bytesTotal); };
}

void frmMainOSC::Form_Load()
{
    PlugInState &state = m_state;
    loadSettings(state);
    CMP = typedView(state.hostHelper);
    IP->setText(QString::fromStdString(toText(settingValue(state, setting::MainAddress))));
    Port->setText(QString::fromStdString(toText(settingValue(state, setting::MainPort))));
    chkAutostart->setChecked(autostartChecked(settingValue(state, setting::Autostart)));
    if (chkAutostart->isChecked())
        Start_Click();
}

void frmMainOSC::Form_Unload()
{
    Winsock1->Close();
    Timer1->setEnabled(false);
    StatusTimer->setEnabled(false);
}

void frmMainOSC::signalReception()
{
    StatusLed->setBackColor(PureGreen);
    StatusTimer->setEnabled(true); // a running timer keeps its tick
}

void frmMainOSC::StatusTimer_Timer()
{
    StatusTimer->setEnabled(false);
    StatusLed->setBackColor(PureRed);
}

} // namespace tarvex
