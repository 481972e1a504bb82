#include "tests/host/testplugin/TestMainWindow.h"

#include "core/Conversions.h"
#include "core/VbError.h"

#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tarvex::testplugin {

void note(const std::string &call)
{
    if (const char *path = std::getenv("TARVEX_TEST_PLUGIN_LOG")) {
        std::ofstream log(path, std::ios::app);
        log << call << '\n';
    }
}

const char *TestPlugInFailure::what() const noexcept
{
    return m_text.c_str();
}

namespace {

void failIfAsked(const std::string &call)
{
    const char *failing = std::getenv("TARVEX_TEST_PLUGIN_FAIL");
    if (failing && call == failing)
        throw TestPlugInFailure("the test plug-in fails in " + call);
}

void toggleCaption(QPushButton *button, const char *off)
{
    button->setText(button->text() == off ? QStringLiteral("Stop") : QString(off));
}

} // namespace

TestMainWindow::TestMainWindow() = default;

TestMainWindow::~TestMainWindow()
{
    note("window object deleted");
}

std::string TestMainWindow::folder()
{
    const Variant project = tarvex::callByName(Variant(m_helper), "Project");
    const std::string base = toText(tarvex::callByName(project, "BaseFilename"));
    return std::filesystem::path(base).parent_path().string();
}

void TestMainWindow::readActions()
{
    m_actions.clear();
    std::ifstream in(folder() + "/TestActions.txt");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        Action action{};
        int active = 0;
        if (fields >> action.id >> action.address >> active) {
            action.active = active != 0;
            m_actions.push_back(action);
        }
    }
    m_actionsRead = true;
    m_tracksChanges = std::filesystem::exists(folder() + "/TestTracksChanges");
}

void TestMainWindow::writeActions()
{
    std::ofstream out(folder() + "/TestActions.txt", std::ios::trunc);
    for (const Action &action : m_actions)
        out << action.id << ' ' << action.address << ' ' << (action.active ? 1 : 0) << '\n';
}

VBool TestMainWindow::isOpen()
{
    return toVBool(m_window != nullptr);
}

VBool TestMainWindow::loadWindow()
{
    note("loadWindow");
    failIfAsked("loadWindow");
    if (m_window)
        return VTrue;
    if (!m_actionsRead)
        readActions();
    m_window = std::make_unique<QWidget>();
    m_window->setWindowTitle("Test plug-in");
    auto *layout = new QVBoxLayout(m_window.get());
    m_project = new QLabel(QString::fromStdString("Project folder: " + folder()));
    m_start = new QPushButton("Start");
    layout->addWidget(m_project);
    layout->addWidget(m_start);
    QObject::connect(m_start, &QPushButton::clicked, [this] { toggleCaption(m_start, "Start"); });
    if (std::filesystem::exists(folder() + "/TestAutostart"))
        m_start->click();
    boxWithSignalIfAsked();
    return VTrue;
}

void TestMainWindow::boxWithSignalIfAsked()
{
    const char *number = std::getenv("TARVEX_TEST_PLUGIN_BOX_SIGNAL");
    auto boxes = std::dynamic_pointer_cast<IHostMessageBoxes>(m_helper);
    if (!number || (boxes && boxes->takeMessageBox("Signal")))
        return;
    const int signal = std::atoi(number);
    QMessageBox box(QMessageBox::Information, "Test plug-in", "Signal");
    QTimer::singleShot(0, [signal] { std::raise(signal); });
    box.exec();
    note("box closed");
}

VBool TestMainWindow::unloadWindow()
{
    note("unloadWindow");
    m_window.reset();
    return VTrue;
}

VBool TestMainWindow::hideWindow()
{
    if (m_window)
        m_window->hide();
    return VTrue;
}

VBool TestMainWindow::showWindow()
{
    note("showWindow");
    loadWindow();
    m_window->show();
    return VTrue;
}

void TestMainWindow::ensureEditor()
{
    if (m_editor)
        return;
    m_editor = std::make_unique<QWidget>();
    m_editor->setWindowTitle("Test editor");
    auto *layout = new QVBoxLayout(m_editor.get());
    m_list = new QListWidget;
    m_learn = new QPushButton("Lernen");
    layout->addWidget(m_list);
    layout->addWidget(m_learn);
    QObject::connect(m_learn, &QPushButton::clicked, [this] { toggleCaption(m_learn, "Lernen"); });
    fillEditor();
}

void TestMainWindow::fillEditor()
{
    if (!m_list)
        return;
    m_list->clear();
    for (const Action &action : m_actions) {
        m_list->addItem(
            QString("%1  %2  %3")
                .arg(action.id)
                .arg(QString::fromStdString(action.address), action.active ? "aktiv" : "inaktiv"));
    }
}

void TestMainWindow::openEditor()
{
    note("Configure");
    ensureEditor();
    m_editor->show();
}

void TestMainWindow::closeAll()
{
    m_editor.reset();
    m_window.reset();
    m_list = nullptr;
    m_learn = nullptr;
    m_start = nullptr;
}

OptionListPtr TestMainWindow::GetFirstOptions()
{
    note("GetFirstOptions");
    if (!m_actionsRead)
        readActions();
    OptionListPtr list = typedView(m_helper)->NewOptionList();
    int n = 1;
    for (const Action &action : m_actions)
        list->AddEntry(std::to_string(n++) + ". " + action.address, std::to_string(action.id));
    return list;
}

OptionListPtr TestMainWindow::GetSecondOptions(const Variant &)
{
    note("GetSecondOptions");
    OptionListPtr list = typedView(m_helper)->NewOptionList();
    list->AddEntry("Deaktivieren", "Deactivate");
    list->AddEntry("Aktivieren", "Activate");
    list->AddEntry("Toggeln", "toggle");
    return list;
}

TestMainWindow::Action &TestMainWindow::actionFor(const Variant &selection)
{
    const std::string text = toText(selection);
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        throw VbError(errc::TypeMismatch);
    for (Action &action : m_actions) {
        if (action.id == std::stoi(text))
            return action;
    }
    throw VbError(errc::SubscriptOutOfRange);
}

Variant TestMainWindow::ExecuteCommand(const Variant &firstSelection,
                                       const Variant &secondSelection, const Variant &,
                                       const Variant &, const Variant &)
{
    note("ExecuteCommand " + toText(firstSelection) + " " + toText(secondSelection));
    Action &action = actionFor(firstSelection);
    const std::string what = toText(secondSelection);
    if (what == "Message") {
        auto boxes = std::dynamic_pointer_cast<IHostMessageBoxes>(m_helper);
        const bool taken = boxes && boxes->takeMessageBox("Aktion " + action.address);
        note(taken ? "box taken" : "box not taken");
        return Variant();
    }
    const bool wasActive = action.active;
    if (what == "Activate" || (what == "toggle" && !action.active))
        action.active = true;
    else if (what == "Deactivate" || what == "toggle")
        action.active = false;
    m_switchedSinceSave |= action.active != wasActive;
    fillEditor();
    executeTarget(action);
    return Variant();
}

void TestMainWindow::executeTarget(const Action &action)
{
    HostTargetPtr &target = m_targets[action.id];
    if (!target)
        target = typedView(m_helper)->GetTargetFactory()->CreateTarget(
            Variant("DMX"), Variant(action.address), Variant(""), 1, action.id);
    const Variant stream = tarvex::callByName(Variant(m_helper), "MyStream");
    tarvex::callByName(stream, "UserInteraction");
    int32_t value = action.active ? 255 : 0, min = 0, max = 255;
    target->Execute(value, min, max, stream);
}

void TestMainWindow::LoadProjectData()
{
    note("LoadProjectData " + folder());
    failIfAsked("LoadProjectData");
    m_editor.reset();
    m_list = nullptr;
    m_learn = nullptr;
    readActions();
    m_switchedSinceSave = false;
    if (m_project)
        m_project->setText(QString::fromStdString("Project folder: " + folder()));
}

void TestMainWindow::SaveProjectData()
{
    note("SaveProjectData " + folder());
    writeActions();
    m_switchedSinceSave = false;
}

void TestMainWindow::pressStart()
{
    loadWindow();
    m_start->click();
}

void TestMainWindow::pressLearn()
{
    ensureEditor();
    m_learn->click();
}

std::string TestMainWindow::serverCaption()
{
    loadWindow();
    return m_start->text().toStdString();
}

std::string TestMainWindow::learnCaption()
{
    ensureEditor();
    return m_learn->text().toStdString();
}

} // namespace tarvex::testplugin
