#include "ui/analyzer/frmAnalyzer.h"

#include "core/VbError.h"
#include "osc/OSCMessages.h"
#include "toolkit/EventEdge.h"
#include "ui/analyzer/AddressFilter.h"
#include "ui/analyzer/MessageLine.h"

#include <QCloseEvent>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

namespace tarvex {

const std::string frmAnalyzer::RegexErrorText =
    "Falsche Regex-Syntax\r\nInformationen \u00fcber die Syntax:\r\n"
    "https://developer.mozilla.org/de/docs/Web/JavaScript/Guide/Regular_expressions";

frmAnalyzer::frmAnalyzer(AnalyzerContext &context, QWidget *parent)
    : FormWindow(parent), m_context(context)
{
    setWindowFlag(Qt::Window);
    buildControls();
    connect(refresh, &QPushButton::clicked, this,
            [this] { runEvent("refresh_Click", [this] { refresh_Click(); }); });
    connect(hilfe, &QPushButton::clicked, this,
            [this] { runEvent("hilfe_Click", [this] { hilfe_Click(); }); });
    connect(Clear, &QPushButton::clicked, this,
            [this] { runEvent("Clear_Click", [this] { Clear_Click(); }); });
}

void frmAnalyzer::buildControls()
{
    setWindowTitle(QStringLiteral("Analyzer"));
    resize(560, 380);

    Label1 = new QLabel(QStringLiteral("Filter:"), this);
    Filter = new QLineEdit(this);
    refresh = new QPushButton(QStringLiteral("Filter"), this);
    hilfe = new QPushButton(QStringLiteral("Syntax"), this);
    Clear = new QPushButton(QStringLiteral("Clear"), this);
    txtMessage = new QPlainTextEdit(this);
    txtMessage->setReadOnly(true);
    txtMessage->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtMessage->setFont(QFont(QStringLiteral("monospace")));

    // The timer runs its handler at the event loop's edge.
    aktuallisiere = new Timer(this, RefreshIntervalMs, [this] { aktuallisiere_Timer(); });

    auto *filterRow = new QHBoxLayout;
    filterRow->addWidget(Label1);
    filterRow->addWidget(Filter, 1);
    filterRow->addWidget(refresh);
    filterRow->addWidget(hilfe);
    filterRow->addWidget(Clear);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(filterRow);
    layout->addWidget(txtMessage, 1);
}

void frmAnalyzer::Analyze(const osc::OSCMessages &messages)
{
    try {
        if (m_context.learnModeOn())
            enableRefreshTimer();
        // A fresh expression per datagram: a pattern taken into use applies from the next one.
        const AddressFilter filter(FilterPattern);
        for (osc::OSCMessages::Element element : messages.elements()) {
            // A nested bundle's element list is no message; the other messages still show.
            if (!element.isMessage())
                continue;
            const osc::OSCMessage &message = element.message();
            if (filter.matches(message.address()))
                formatMessageLine(message, PendingText);
        }
    } catch (const VbError &) {
        showRegexError();
    }
}

void frmAnalyzer::showRegexError()
{
    // The box runs a nested event loop, in which this window may be discarded; the context
    // outlives it.
    AnalyzerContext &context = m_context;
    context.showWarning(RegexErrorText);
    // Learn mode stopped meanwhile has given the socket back to the main window's server, which
    // must keep it.
    if (!context.learnModeOn())
        return;
    context.closeMainSocket();
    context.clickLearnButton();
}

void frmAnalyzer::Form_Load()
{
    AnalyzerOpen = true;
}

void frmAnalyzer::Form_Unload()
{
    AnalyzerOpen = false;
    disableRefreshTimer();
}

void frmAnalyzer::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

void frmAnalyzer::refresh_Click()
{
    FilterPattern = Filter->text().toStdString();
}

void frmAnalyzer::hilfe_Click()
{
    m_context.showRegexSyntax();
}

void frmAnalyzer::Clear_Click()
{
    txtMessage->clear();
}

void frmAnalyzer::aktuallisiere_Timer()
{
    if (!m_context.learnModeOn())
        disableRefreshTimer(); // this tick still shows what is pending
    if (shownLength() > MaxShownLength)
        txtMessage->clear();
    if (PendingText.empty())
        return; // leaves the caret, and the user's scroll position, alone
    txtMessage->moveCursor(QTextCursor::End);
    txtMessage->insertPlainText(QString::fromStdString(PendingText));
    txtMessage->ensureCursorVisible();
    PendingText.clear();
}

int frmAnalyzer::shownLength() const
{
    const QTextDocument *document = txtMessage->document();
    // characterCount() holds one separator per block, the last one included; a shown line
    // break is CR LF.
    return document->characterCount() - 1 + document->blockCount() - 1;
}

// The timer is started and stopped here only. Enabling a running timer leaves its interval
// running, so a steady stream of datagrams cannot keep postponing the refresh.
void frmAnalyzer::enableRefreshTimer()
{
    aktuallisiere->setEnabled(true); // a running timer keeps its tick
}

void frmAnalyzer::disableRefreshTimer()
{
    aktuallisiere->setEnabled(false);
}

bool frmAnalyzer::refreshTimerEnabled() const
{
    return aktuallisiere->enabled();
}

} // namespace tarvex
