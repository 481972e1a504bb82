#include "ui/analyzer/frmRegexSyntax.h"

#include <QLabel>
#include <QVBoxLayout>

namespace tarvex {

const char *const frmRegexSyntax::HelpText =
    "\\S    steht f\u00fcr jedes Zeichen au\u00dfer dem Leerzeichen";

frmRegexSyntax::frmRegexSyntax(QWidget *parent) : FormWindow(parent)
{
    setWindowFlag(Qt::Window);
    setWindowTitle(QStringLiteral("Syntax"));
    Label1 = new QLabel(QString::fromUtf8(HelpText), this);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
}

} // namespace tarvex
