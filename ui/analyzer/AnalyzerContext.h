#pragma once
// What the analyzer window asks of the other windows. The plug-in implements it with the real
// editor, main window and message-box service; tests implement it with a recording fake.

#include <string>

namespace tarvex {

class AnalyzerContext {
public:
    virtual ~AnalyzerContext() = default;

    // Editor: the LearnButton caption is exactly "Stop", i.e. learn mode is armed.
    virtual bool learnModeOn() = 0;
    // Editor: LearnButton_Click, which disarms learn mode while it is armed.
    virtual void clickLearnButton() = 0;
    // Main window: Winsock1.Close.
    virtual void closeMainSocket() = 0;
    // A modal box with a warning icon and an OK button; returns when it has been closed.
    virtual void showWarning(const std::string &text) = 0;
    // frmRegexSyntax, shown modelessly.
    virtual void showRegexSyntax() = 0;
};

} // namespace tarvex
