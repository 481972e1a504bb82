#pragma once
// A recording fake of what the analyzer asks of the other windows: every call lands in `calls`
// in order ("showWarning <text>", "closeMainSocket", "clickLearnButton", "showRegexSyntax").

#include "ui/analyzer/AnalyzerContext.h"

#include <string>
#include <vector>

namespace tarvex::test {

class FakeAnalyzerContext : public AnalyzerContext {
public:
    bool learning = true;
    std::vector<std::string> calls;

    bool learnModeOn() override { return learning; }
    // The editor's click disarms learn mode while it is armed.
    void clickLearnButton() override
    {
        calls.push_back("clickLearnButton");
        learning = false;
    }
    void closeMainSocket() override { calls.push_back("closeMainSocket"); }
    void showWarning(const std::string &text) override { calls.push_back("showWarning " + text); }
    void showRegexSyntax() override { calls.push_back("showRegexSyntax"); }
};

} // namespace tarvex::test
