#pragma once
// HostWindow: tarvex-host's window. A project menu (open, save, save as), the plug-in's windows
// (its main window and its editor), the cue panel, the live channel levels of one universe, the
// controllers on the network (a dock on the right, "Controllers"), the rows view (a panel below
// the levels: every action, what it did and why it cannot fire) and a status line: the passing
// message or the plug-in's last notice, whether its OSC server listens (and how to start it
// when it does not), the DMX output's state with its reason, and which plug-in runs. Each of
// its texts is cut short with "…" where the line has no room for all of it, never over the next.
// Before Open, Quit or closing the window, changes the plug-in has not saved are the user's to
// save, discard or keep working on.

// Only Qt and the standard library here: moc reads this header.

#include <QMainWindow>
#include <QTimer>

#include <functional>

class QLabel;
class QComboBox;

namespace tarvex::host {

class HostSession;

class ChannelView;
class ControllersPanel;
class CuePanel;
class RowsPanel;

class HostWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit HostWindow(HostSession &session, QWidget *parent = nullptr);
    ~HostWindow() override;

    // Shows what is loaded: call after the session started, or failed to (why).
    void plugInStarted();
    void plugInMissing(const QString &why);

    void openProject();
    // False when the save failed (the user has been told why).
    bool saveProject();
    void saveProjectAs();
    // The plug-in's actions as JSON text: to a file the user picks, and back.
    void exportActions();
    void importActions();
    void showPlugInWindow();
    void configurePlugIn();
    // SIGINT or SIGTERM: the one way a signal ends the windowed host. It leaves every event loop,
    // a modal box's too, without asking anything; the owner then ends the plug-in.
    void quitBecauseOfSignal();

    CuePanel *cuePanel() const { return m_cues; }
    ChannelView *channelView() const { return m_channels; }
    RowsPanel *rowsPanel() const { return m_rows; }
    ControllersPanel *controllersPanel() const { return m_controllers; }
    QComboBox *universePicker() const;
    QLabel *plugInState() const { return m_plugInState; }
    QLabel *dmxOutputState() const { return m_dmxState; }
    QLabel *serverState() const { return m_serverState; }
    // The passing message (a cue, a save, an error), shown for a few seconds in the notice's
    // place.
    QLabel *message() const { return m_message; }
    // The plug-in's last notice about its files (all of them in its tip); it stays until the
    // next one.
    QLabel *notice() const { return m_notice; }
    // Where the show's web page is served (and its PIN), shown in the status line from now on.
    // With `renewPin`, Project offers "New web PIN…", which calls it for the new summary.
    void showWebPage(const QString &summary, std::function<QString()> renewPin = {});
    QLabel *webState() const { return m_webState; }
    // Reads the plug-in's OSC server state into the status line (also done once a second).
    void refreshServerState();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    void buildStatusLine();
    void addRowsDock();
    void addControllersDock();
    void endMessage();
    bool settleUnsavedChanges();
    QWidget *buildLevels();
    void projectChanged();
    void report(const QString &text);
    void warn(const QString &text);

    HostSession &m_session;
    CuePanel *m_cues;
    ChannelView *m_channels;
    RowsPanel *m_rows;
    ControllersPanel *m_controllers = nullptr;
    QLabel *m_plugInState;
    QLabel *m_dmxState;
    QLabel *m_serverState;
    QLabel *m_webState;
    QAction *m_newWebPin = nullptr;
    QLabel *m_message;
    QLabel *m_notice;
    QTimer m_messageTime;
    QTimer m_serverPoll;
    QList<QAction *> m_plugInActions;
};

} // namespace tarvex::host
