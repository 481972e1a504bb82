#pragma once
// frmRegexSyntax ("Syntax"): the analyzer's short help on the filter's pattern syntax.

#include "toolkit/FormWindow.h"

class QLabel;

namespace tarvex {

class frmRegexSyntax : public FormWindow {
    Q_OBJECT
public:
    static const char *const HelpText;

    explicit frmRegexSyntax(QWidget *parent = nullptr);

    QLabel *Label1;
};

} // namespace tarvex
