#include "host/app/HostWindow.h"

#include "host/app/ChannelView.h"
#include "host/app/ControllersPanel.h"
#include "host/app/CuePanel.h"
#include "host/app/HostSession.h"
#include "host/app/RowsPanel.h"
#include "host/app/WindowPlacement.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

namespace tarvex::host {
namespace {

const QString ProjectFilter = QStringLiteral("Tarvex host projects (*.tarvex);;All files (*)");
const QString ActionsFilter = QStringLiteral("Actions as JSON (*.json);;All files (*)");
constexpr int StatusMessageMs = 5000;
constexpr int ServerPollMs = 1000;

// A text of the status line that takes the room the line gives it: cut short with "…" where it
// has less than the whole text needs, so that no text runs into the next and a long one never
// widens the window.
class StatusText : public QLabel {
public:
    using QLabel::QLabel;

    QSize minimumSizeHint() const override
    {
        return {fontMetrics().averageCharWidth() * 6, QLabel::minimumSizeHint().height()};
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const QRect room = contentsRect();
        painter.drawText(room, Qt::AlignLeading | Qt::AlignVCenter,
                         fontMetrics().elidedText(text(), Qt::ElideRight, room.width()));
    }
};

} // namespace

HostWindow::HostWindow(HostSession &session, QWidget *parent)
    : QMainWindow(parent), m_session(session), m_cues(new CuePanel(session)),
      m_channels(new ChannelView(session.universes())), m_rows(new RowsPanel(session)),
      m_plugInState(new StatusText), m_dmxState(new StatusText(tr("DMX output: starting"))),
      m_serverState(new StatusText), m_webState(new StatusText), m_message(new StatusText),
      m_notice(new StatusText)
{
    buildMenus();
    auto *central = new QWidget;
    auto *layout = new QVBoxLayout(central);
    layout->addWidget(m_cues);
    layout->addWidget(buildLevels(), 1);
    setCentralWidget(central);
    // The controllers take the right side from top to bottom, the rows go under the levels.
    setCorner(Qt::BottomRightCorner, Qt::RightDockWidgetArea);
    addRowsDock();
    buildStatusLine();
    m_session.events().dmxOutput = [this](bool on, const std::string &reason) {
        const QString why = QString::fromStdString(reason);
        const QString state =
            on ? tr("DMX output on: %1").arg(why) : tr("DMX output off: %1").arg(why);
        m_dmxState->setText(state);
        m_dmxState->setToolTip(state);
        report(state);
    };
    // The plug-in's windows appear beside this one, never over its menus.
    new WindowPlacement(this);
    // Notices come while the plug-in loads, before anything else is reported: the last one
    // stays in the status line after the passing messages are gone, every one in its tip.
    m_session.events().notice = [this](const std::string &text) {
        const QString notice = QString::fromStdString(text);
        m_notice->setText(notice);
        const QString earlier = m_notice->toolTip();
        m_notice->setToolTip(earlier.isEmpty() ? notice : earlier + "\n" + notice);
        report(notice);
    };
    addControllersDock();
    // An editor save, a project load or an import: the rows and cues follow the table.
    m_session.events().actionsChanged = [this] {
        m_cues->refresh();
        m_rows->refresh();
    };
    connect(m_cues, &CuePanel::failed, this, &HostWindow::warn);
    connect(m_cues, &CuePanel::executed, this, &HostWindow::report);
    projectChanged();
    // The levels, the rows and the controllers want the room: the window takes the screen.
    resize(screen()->availableGeometry().size());
    setWindowState(Qt::WindowMaximized);
}

HostWindow::~HostWindow()
{
    m_session.targetTimers().hitsShown = nullptr;
    m_session.events().actionsChanged = nullptr;
}

// The rows under the levels, tall enough for the panel's rows where the screen has room.
void HostWindow::addRowsDock()
{
    auto *dock = new QDockWidget(tr("Rows"));
    dock->setObjectName(QStringLiteral("rows"));
    dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    dock->setWidget(m_rows);
    addDockWidget(Qt::BottomDockWidgetArea, dock);
    resizeDocks({dock}, {dock->sizeHint().height()}, Qt::Vertical);
    m_session.targetTimers().hitsShown = [this] { m_rows->refreshHits(); };
}

// The passing message where the notice stands, then the server, DMX and plug-in states, each
// with its whole text in its tip.
void HostWindow::buildStatusLine()
{
    statusBar()->addWidget(m_message, 1);
    statusBar()->addWidget(m_notice, 1);
    m_message->hide();
    statusBar()->addPermanentWidget(m_webState);
    m_webState->hide();
    statusBar()->addPermanentWidget(m_serverState);
    statusBar()->addPermanentWidget(m_dmxState);
    statusBar()->addPermanentWidget(m_plugInState);
    m_messageTime.setSingleShot(true);
    m_messageTime.setInterval(StatusMessageMs);
    connect(&m_messageTime, &QTimer::timeout, this, &HostWindow::endMessage);
    // The plug-in tells no one when its server starts or stops: its button says.
    m_serverPoll.setInterval(ServerPollMs);
    connect(&m_serverPoll, &QTimer::timeout, this, &HostWindow::refreshServerState);
}

void HostWindow::showWebPage(const QString &summary, std::function<QString()> renewPin)
{
    m_webState->setText(tr("Web page: %1").arg(summary));
    m_webState->setToolTip(summary);
    m_webState->show();
    if (!renewPin || m_newWebPin)
        return;
    QMenu *project = menuBar()->actions().constFirst()->menu();
    m_newWebPin = new QAction(tr("New &web PIN…"), this);
    // With the other project commands, before the separator above Quit.
    const QList<QAction *> items = project->actions();
    project->insertAction(items.at(items.size() - 2), m_newWebPin);
    connect(m_newWebPin, &QAction::triggered, this, [this, renewPin] {
        const auto answer = QMessageBox::question(
            this, tr("New web PIN"),
            tr("Make a new PIN for the web page? Pages on other machines are closed and must "
               "be given the new one."));
        if (answer != QMessageBox::Yes)
            return;
        try {
            const QString renewed = renewPin();
            m_webState->setText(tr("Web page: %1").arg(renewed));
            m_webState->setToolTip(renewed);
            report(tr("Web page: %1").arg(renewed));
        } catch (const std::exception &e) {
            QMessageBox::warning(this, tr("New web PIN"), QString::fromUtf8(e.what()));
        }
    });
}

void HostWindow::refreshServerState()
{
    const HostSession::ServerState state = m_session.serverState();
    QString text;
    QString tip;
    switch (state.server) {
    case HostSession::Server::Unknown: break;
    case HostSession::Server::Stopped:
        text = tr("OSC server stopped: press Start in the plug-in's main window");
        tip = tr("Nothing sent to the plug-in is received. Its main window (Plug-in ▸ Main window) "
                 "has the Start button; its \"autostart\" box starts the server with the project.");
        break;
    case HostSession::Server::Running:
        text = tr("OSC server listening");
        if (IHostListening *listening = m_session.listening())
            text = tr("OSC server listening on %1:%2")
                       .arg(QString::fromStdString(listening->serverAddress()),
                            QString::fromStdString(listening->serverPort()));
        break;
    case HostSession::Server::Retrying:
        text = tr("OSC server not listening: %1").arg(QString::fromStdString(state.caption));
        break;
    }
    QPalette palette = m_serverState->palette();
    palette.setColor(QPalette::WindowText, state.server == HostSession::Server::Stopped
                                               ? QColor(0xB0, 0x00, 0x00)
                                               : this->palette().color(QPalette::WindowText));
    m_serverState->setPalette(palette);
    m_serverState->setText(text);
    m_serverState->setToolTip(tip.isEmpty() ? text : text + "\n" + tip);
}

void HostWindow::buildMenus()
{
    QMenu *project = menuBar()->addMenu(tr("&Project"));
    project->addAction(tr("&Open…"), QKeySequence::Open, this, &HostWindow::openProject);
    project->addAction(tr("&Save"), QKeySequence::Save, this, &HostWindow::saveProject);
    project->addAction(tr("Save &As…"), QKeySequence::SaveAs, this, &HostWindow::saveProjectAs);
    project->addSeparator();
    QAction *exportActions =
        project->addAction(tr("&Export actions…"), this, &HostWindow::exportActions);
    QAction *importActions =
        project->addAction(tr("&Import actions…"), this, &HostWindow::importActions);
    project->addSeparator();
    project->addAction(tr("&Quit"), QKeySequence::Quit, this, &QWidget::close);

    QMenu *plugIn = menuBar()->addMenu(tr("P&lug-in"));
    QAction *main = plugIn->addAction(tr("&Main window"), this, &HostWindow::showPlugInWindow);
    QAction *editor = plugIn->addAction(tr("&Configure…"), this, &HostWindow::configurePlugIn);
    m_plugInActions = {main, editor, exportActions, importActions};

    QToolBar *bar = addToolBar(tr("Plug-in"));
    bar->setMovable(false);
    bar->addAction(main);
    bar->addAction(editor);
}

// The controllers on the network, in a dock of their own that the user can move or close.
void HostWindow::addControllersDock()
{
    m_controllers = new ControllersPanel(m_session);
    auto *dock = new QDockWidget(tr("Controllers"), this);
    dock->setObjectName(QStringLiteral("Controllers"));
    dock->setWidget(m_controllers);
    addDockWidget(Qt::RightDockWidgetArea, dock);
    resizeDocks({dock}, {m_controllers->sizeHint().width()}, Qt::Horizontal);
    menuBar()->addMenu(tr("&View"))->addAction(dock->toggleViewAction());
    m_session.events().controllersChanged = [this] { m_controllers->refreshSoon(); };
    connect(m_controllers, &ControllersPanel::failed, this, &HostWindow::warn);
}

QWidget *HostWindow::buildLevels()
{
    auto *box = new QGroupBox(tr("Channel levels"));
    auto *layout = new QVBoxLayout(box);
    layout->addWidget(m_channels, 1);
    // The rows name the channels they drive and the universes worth choosing.
    connect(m_rows, &RowsPanel::rowsRead, m_channels,
            [this] { m_channels->setRows(m_rows->rows()); });
    return box;
}

QComboBox *HostWindow::universePicker() const
{
    return m_channels->universePicker();
}

void HostWindow::plugInStarted()
{
    projectChanged();
    m_plugInState->setText(tr("Plug-in %1 (%2)")
                               .arg(QString::fromStdString(m_session.plugInName()),
                                    QFileInfo(m_session.plugIn().path()).fileName()));
    m_plugInState->setToolTip(m_session.plugIn().path());
    for (QAction *action : m_plugInActions)
        action->setEnabled(true);
    refreshServerState();
    m_serverPoll.start();
    m_cues->refresh();
    m_rows->refresh();
    m_controllers->refresh();
}

void HostWindow::plugInMissing(const QString &why)
{
    projectChanged();
    m_plugInState->setText(tr("Plug-in not loaded: %1").arg(why));
    m_plugInState->setToolTip(why);
    for (QAction *action : m_plugInActions)
        action->setEnabled(false);
    m_serverPoll.stop();
    refreshServerState();
    m_cues->refresh();
    m_rows->refresh();
}

void HostWindow::projectChanged()
{
    const QString path = m_session.projectPath();
    setWindowTitle(path.isEmpty() ? tr("Tarvex Host")
                                  : tr("%1 – Tarvex Host").arg(QFileInfo(path).fileName()));
    setWindowFilePath(path);
}

// Asks what becomes of changes a project save would write: Save (true once saved), Discard
// (true) or Cancel (false). True at once when there are none.
bool HostWindow::settleUnsavedChanges()
{
    if (!m_session.hasUnsavedChanges())
        return true;
    const QMessageBox::StandardButton choice = QMessageBox::question(
        this, tr("Tarvex Host"), tr("The project has changes that are not saved yet."),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (choice == QMessageBox::Save)
        return saveProject();
    return choice == QMessageBox::Discard;
}

void HostWindow::openProject()
{
    if (!settleUnsavedChanges())
        return;
    const QString path = QFileDialog::getOpenFileName(
        this, tr("Open project"), QFileInfo(m_session.projectPath()).path(), ProjectFilter);
    if (path.isEmpty())
        return;
    try {
        m_session.openProject(path);
        projectChanged();
        m_cues->refresh();
        m_rows->refresh();
        report(tr("Opened %1").arg(path));
    } catch (const std::exception &e) {
        warn(tr("The project could not be opened: %1").arg(e.what()));
    }
}

bool HostWindow::saveProject()
{
    try {
        m_session.saveProject();
        report(tr("Saved %1").arg(m_session.projectPath()));
        // The save took the editor's rows into the table (a plug-in that says so refreshes too).
        m_rows->refresh();
        return true;
    } catch (const std::exception &e) {
        warn(tr("The project could not be saved: %1").arg(e.what()));
        return false;
    }
}

void HostWindow::saveProjectAs()
{
    QString path = QFileDialog::getSaveFileName(this, tr("Save project as"),
                                                m_session.projectPath(), ProjectFilter);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".tarvex");
    try {
        m_session.saveProjectAs(path);
        projectChanged();
        m_rows->refresh();
        report(tr("Saved %1").arg(path));
    } catch (const std::exception &e) {
        warn(tr("The project could not be saved: %1").arg(e.what()));
    }
}

void HostWindow::exportActions()
{
    const QString folder = QFileInfo(m_session.projectPath()).path();
    QString path = QFileDialog::getSaveFileName(
        this, tr("Export actions"), folder + QStringLiteral("/actions.json"), ActionsFilter);
    if (path.isEmpty())
        return;
    try {
        m_session.exportActions(path);
        report(tr("Exported the actions to %1").arg(path));
    } catch (const std::exception &e) {
        warn(tr("The actions could not be exported: %1").arg(e.what()));
    }
}

void HostWindow::importActions()
{
    const QString path = QFileDialog::getOpenFileName(
        this, tr("Import actions"), QFileInfo(m_session.projectPath()).path(), ActionsFilter);
    if (path.isEmpty())
        return;
    try {
        const ActionsImportResult imported = m_session.importActions(path);
        QString shared;
        if (!imported.sharedIds.empty())
            shared = tr("; %n id(s) are shared by several rows, which a cue switches together", "",
                        static_cast<int>(imported.sharedIds.size()));
        report(tr("Imported %n action(s) of %1%2; saving the project keeps them", "",
                  static_cast<int>(imported.actions))
                   .arg(path, shared));
    } catch (const std::exception &e) {
        warn(tr("The actions could not be imported: %1").arg(e.what()));
    }
    m_cues->refresh();
    m_rows->refresh();
}

void HostWindow::showPlugInWindow()
{
    try {
        m_session.showMainWindow();
    } catch (const std::exception &e) {
        warn(e.what());
    }
}

void HostWindow::configurePlugIn()
{
    try {
        m_session.configure();
    } catch (const std::exception &e) {
        warn(e.what());
    }
    // The editor may have changed the actions the cues list.
    m_cues->refresh();
}

void HostWindow::report(const QString &text)
{
    m_message->setText(text);
    m_message->setToolTip(text);
    m_notice->hide();
    m_message->show();
    m_messageTime.start();
}

void HostWindow::endMessage()
{
    m_message->hide();
    m_notice->show();
}

void HostWindow::warn(const QString &text)
{
    report(text);
    QMessageBox::warning(this, tr("Tarvex Host"), text);
}

void HostWindow::quitBecauseOfSignal()
{
    QApplication::exit(0);
}

void HostWindow::closeEvent(QCloseEvent *event)
{
    if (!settleUnsavedChanges()) {
        event->ignore();
        return;
    }
    event->accept();
    // The plug-in's windows are not ours to close; quitting ends the plug-in.
    QApplication::quit();
}

} // namespace tarvex::host
