#include "toolkit/MessageBoxes.h"

#include "plugin/api/HostScripting.h"

#include <QMessageBox>

#include <ostream>

namespace tarvex {
namespace {

QMessageBox::Icon qtIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Critical: return QMessageBox::Critical;
    case MessageIcon::Exclamation: return QMessageBox::Warning;
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

const char *iconName(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Critical: return "critical";
    case MessageIcon::Exclamation: return "exclamation";
    case MessageIcon::Information: return "information";
    case MessageIcon::None: break;
    }
    return "plain";
}

std::string titleOr(const std::string &title)
{
    return title.empty() ? std::string(ApplicationTitle) : title;
}

} // namespace

void QtMessageBoxes::show(const std::string &text, MessageIcon icon, const std::string &title)
{
    QMessageBox box(qtIcon(icon), QString::fromStdString(titleOr(title)),
                    QString::fromStdString(text), QMessageBox::Ok);
    box.exec();
}

ConsoleMessageBoxes::ConsoleMessageBoxes(std::ostream &out) : m_out(out) {}

void ConsoleMessageBoxes::show(const std::string &text, MessageIcon icon, const std::string &title)
{
    // One line per box: the line breaks of the text become " | ".
    std::string line;
    for (char c : text) {
        if (c == '\n')
            line += " | ";
        else if (c != '\r')
            line += c;
    }
    m_out << "[" << titleOr(title) << ", " << iconName(icon) << "] " << line << std::endl;
}

HostFirstMessageBoxes::HostFirstMessageBoxes(std::function<ObjectPtr()> helper,
                                             std::unique_ptr<MessageBoxes> own)
    : m_helper(std::move(helper)), m_own(std::move(own))
{}

void HostFirstMessageBoxes::show(const std::string &text, MessageIcon icon,
                                 const std::string &title)
{
    auto host = std::dynamic_pointer_cast<IHostMessageBoxes>(m_helper());
    if (host && host->takeMessageBox(text))
        return;
    m_own->show(text, icon, title);
}

} // namespace tarvex
