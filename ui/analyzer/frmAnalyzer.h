#pragma once
// frmAnalyzer ("Analyzer"): the live log of the messages that arrive while learn mode is armed,
// one line per message, filtered by a regular expression on the address.
//
//   frmAnalyzer analyzer(context);   // created hidden
//   analyzer.Form_Load();            // AnalyzerOpen: the dispatcher now feeds it
//   analyzer.Analyze(messages);      // lines go to PendingText
//   analyzer.aktuallisiere_Timer();  // ... and on the next tick into txtMessage
//
// Analyze runs inside the socket's data event, so it only formats into PendingText; the
// aktuallisiere timer moves that text into the box every 10 ms, keeping the per-datagram work
// small and the box bounded.

#include "toolkit/FormWindow.h"
#include "toolkit/Timer.h"
#include "ui/analyzer/AnalyzerContext.h"

#include <string>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace tarvex {

namespace osc {
class OSCMessages;
}

class frmAnalyzer : public FormWindow {
    Q_OBJECT
public:
    // The box is emptied before text is added once it holds more than this many characters.
    static constexpr int MaxShownLength = 65000;
    static constexpr int RefreshIntervalMs = 10;
    // The text of the box shown for an invalid pattern.
    static const std::string RegexErrorText;

    // `context` is borrowed: the plug-in keeps it alive as long as the window.
    explicit frmAnalyzer(AnalyzerContext &context, QWidget *parent = nullptr);

    // Controls.
    QLabel *Label1;
    QLineEdit *Filter;
    QPushButton *refresh;
    QPushButton *hilfe;
    QPushButton *Clear;
    QPlainTextEdit *txtMessage;
    Timer *aktuallisiere;

    // Window state.
    bool AnalyzerOpen = false;
    std::string FilterPattern;
    std::string PendingText;

    // The messages of one datagram: every message whose address the filter matches is
    // formatted into PendingText. An element that is itself a bundle is passed over. An
    // invalid pattern shows the syntax warning, then closes the main socket and disarms
    // learn mode.
    void Analyze(const osc::OSCMessages &messages);

    // Event handlers.
    void Form_Load() override;
    void Form_Unload() override;
    void refresh_Click();
    void hilfe_Click();
    void Clear_Click();
    void aktuallisiere_Timer();

    // Whether aktuallisiere runs.
    bool refreshTimerEnabled() const;
    // The length of txtMessage's text with every line break counted as CR LF.
    int shownLength() const;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void enableRefreshTimer();
    void disableRefreshTimer();
    void showRegexError();

    AnalyzerContext &m_context;
};

} // namespace tarvex
