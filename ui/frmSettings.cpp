// frmSettings: controls, layout, loading, resizing and the buttons. Learn mode and its indicator
// are in frmSettingsLearn.cpp.

#include "ui/frmSettings.h"

#include "core/Conversions.h"
#include "core/VbError.h"
#include "store/OSCSaver.h"
#include "toolkit/EventEdge.h"
#include "ui/editor/view/ListWiring.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tarvex {
namespace {

constexpr int IndicatorIntervalMs = 50;
constexpr double TwipsPerInch = 1440.0;

// The window's client area and the margins the list keeps to the window's outer edges.
constexpr int ClientWidthTwips = 17040;
constexpr int ClientHeightTwips = 7275;
constexpr int ListWidthMarginTwips = 480;
constexpr int ListHeightMarginTwips = 1200;

} // namespace

frmSettings::frmSettings(EditorContext &context, QWidget *parent)
    : FormWindow(parent), m_context(context)
{
    setWindowTitle(QStringLiteral("Tarvex Einstellungen"));
    buildControls();
    layOutControls();
    connectEvents();
}

// The list's rules hold row handles of the view: they go first.
frmSettings::~frmSettings()
{
    m_editor.reset();
}

void frmSettings::buildControls()
{
    Label1 = new QLabel(QStringLiteral("IP:Port"), this);
    IP = new QLineEdit(QStringLiteral("127.0.0.1"), this);
    Label2 = new QLabel(QStringLiteral(":"), this);
    Port = new QLineEdit(QStringLiteral("12345"), this);
    LearnButton =
        new QPushButton(QString::fromUtf8(CaptionLearn.data(), CaptionLearn.size()), this);
    startAnalyzer = new QPushButton(QStringLiteral("Analyzer"), this);
    receiving = new ColorButton(this);
    receiving->setFocusPolicy(Qt::NoFocus);
    Label3 = new QLabel(QStringLiteral("Empfangene OSC-Messages"), this);
    OSCCount = new QLabel(QStringLiteral("0"), this);
    Speichern = new QPushButton(QStringLiteral("Speichern"), this);
    Command1 = new QPushButton(QStringLiteral("Hauptfenster öffen"), this);
    lvActions = new ActionListView(this);
    Timer1 = new Timer(this, IndicatorIntervalMs, [this] { Timer1_Timer(); });

    const std::pair<QObject *, const char *> names[] = {{Label1, "Label1"},
                                                        {IP, "IP"},
                                                        {Label2, "Label2"},
                                                        {Port, "Port"},
                                                        {LearnButton, "LearnButton"},
                                                        {startAnalyzer, "startAnalyzer"},
                                                        {receiving, "receiving"},
                                                        {Label3, "Label3"},
                                                        {OSCCount, "OSCCount"},
                                                        {Speichern, "Speichern"},
                                                        {Command1, "Command1"},
                                                        {lvActions, "lvActions"},
                                                        {Timer1, "Timer1"}};
    for (const auto &[object, name] : names)
        object->setObjectName(QString::fromLatin1(name));
}

void frmSettings::layOutControls()
{
    setFont(lvActions->font());
    const double pixelsPerTwip = logicalDpiX() / TwipsPerInch;
    auto px = [pixelsPerTwip](int twips) {
        return static_cast<int>(std::lround(twips * pixelsPerTwip));
    };
    // The top strip, left to right, at one top. A caption wider than its box (fonts differ from
    // screen to screen) widens the box and moves everything right of it, so no text is cut.
    struct StripControl {
        QWidget *widget;
        int left, width, height;
        QString widest; // the text the box must fit; its own text when empty
    };
    const StripControl strip[] = {
        {Label1, 120, 495, 255, {}},
        {IP, 840, 1335, 285, QStringLiteral("255.255.255.255")},
        {Label2, 2280, 135, 255, {}},
        {Port, 2400, 615, 285, QStringLiteral("65535")},
        {LearnButton, 3120, 735, 375, QString::fromUtf8(CaptionLearn.data())},
        {startAnalyzer, 4080, 975, 375, {}},
        {receiving, 5400, 255, 255, {}},
        {Label3, 5760, 2175, 255, {}},
        {OSCCount, 8040, 615, 255, QStringLiteral("00000")},
        {Speichern, 8880, 1335, 375, {}},
        {Command1, 10680, 1815, 375, {}},
    };
    const QFontMetrics metrics = fontMetrics();
    int shift = 0;
    for (const StripControl &control : strip) {
        int width = px(control.width);
        if (control.widget != receiving) {
            const int padding = qobject_cast<QLabel *>(control.widget) ? 2 : 16;
            const QString text = control.widest.isEmpty()
                                     ? control.widget->property("text").toString()
                                     : control.widest;
            width = std::max(width, metrics.horizontalAdvance(text) + padding);
        }
        control.widget->setGeometry(px(control.left) + shift, px(120), width, px(control.height));
        shift += width - px(control.width);
    }
    lvActions->setGeometry(px(120), px(600), px(16815), px(6615));
    resize(std::max(px(ClientWidthTwips), Command1->geometry().right() + px(120)),
           px(ClientHeightTwips));
}

void frmSettings::connectEvents()
{
    connect(LearnButton, &QPushButton::clicked, this,
            [this] { runEvent("LearnButton_Click", [this] { LearnButton_Click(); }); });
    connect(startAnalyzer, &QPushButton::clicked, this,
            [this] { runEvent("startAnalyzer_Click", [this] { startAnalyzer_Click(); }); });
    connect(Speichern, &QPushButton::clicked, this,
            [this] { runEvent("Speichern_Click", [this] { Speichern_Click(); }); });
    connect(Command1, &QPushButton::clicked, this,
            [this] { runEvent("Command1_Click", [this] { Command1_Click(); }); });
}

void frmSettings::Form_Load()
{
    PlugInState &state = m_context.state();
    hostModule = typedView(state.hostHelper);
    makeListEditor();
    wireList(*lvActions, [this]() -> ActionListEditor & { return listEditor(); });
    setUpList(lvActions->list(), hostModule);
    loadSettings(state);
    IP->setText(QString::fromStdString(toText(settingValue(state, setting::EditorAddress))));
    Port->setText(QString::fromStdString(toText(settingValue(state, setting::EditorPort))));
    if (state.savingSettings)
        return; // the settings writer only reads the boxes
    if (state.actionTable.rows().isDimensioned())
        m_editor->fillRows();
    m_editor->addBlankRow();
}

void frmSettings::makeListEditor()
{
    m_editor =
        std::make_unique<ActionListEditor>(m_context.state(), lvActions->list(), hostModule,
                                           [this] { return learnCaptionIs(CaptionLearnStop); });
}

void frmSettings::refillList()
{
    lvActions->removeAllRows();
    makeListEditor();
    if (m_context.state().actionTable.rows().isDimensioned())
        m_editor->fillRows();
    m_editor->addBlankRow();
}

// Learn mode ends with the window exactly as its button ends it, so that the main window's
// server resumes. Ending it is last: a restart that fails shows a box, and nothing of this
// window is touched after it.
void frmSettings::Form_Unload()
{
    Timer1->setEnabled(false);
    m_editor.reset();
    if (learnCaptionIs(CaptionLearnStop))
        stopLearning();
}

void frmSettings::resizeEvent(QResizeEvent *event)
{
    FormWindow::resizeEvent(event);
    runEvent("Form_Resize", [this] { Form_Resize(); });
}

void frmSettings::Form_Resize()
{
    const double pixelsPerTwip = logicalDpiX() / TwipsPerInch;
    const QRect outer = frameGeometry();
    const int width = std::abs(outer.width() -
                               static_cast<int>(std::lround(ListWidthMarginTwips * pixelsPerTwip)));
    const int height = std::abs(
        outer.height() - static_cast<int>(std::lround(ListHeightMarginTwips * pixelsPerTwip)));
    lvActions->resize(width, height);
}

void frmSettings::Speichern_Click()
{
    rebuildActionTable();
    saveActionTable(m_context.state()); // nothing is written for an empty table
}

void frmSettings::Command1_Click()
{
    m_context.showMainWindow();
}

void frmSettings::startAnalyzer_Click()
{
    m_context.showAnalyzer();
}

void frmSettings::rebuildActionTable()
{
    listEditor().rebuildActionTable();
}

VarArray frmSettings::getCommand(int32_t index)
{
    return listEditor().getCommand(index);
}

void frmSettings::removeRow(int32_t index)
{
    listEditor().removeRow(index);
}

const std::vector<HostTargetPtr> &frmSettings::rowTargets() const
{
    static const std::vector<HostTargetPtr> none;
    return m_editor ? m_editor->rowTargets() : none;
}

ActionListEditor &frmSettings::listEditor()
{
    if (!m_editor)
        tarvex::raise(errc::ObjectVariableNotSet);
    return *m_editor;
}

} // namespace tarvex
