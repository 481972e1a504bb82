#pragma once
// HostWindow: tarvex-host's window. A project menu (open, save, save as), the plug-in's windows
// (its main window and its editor), the cue panel, the live channel levels of one universe, the
// controllers on the network (a dock, "Controllers"), the rows view (a panel below: every action,
// what it did and why it cannot fire) and a status line saying which plug-in runs on which
// project, with the plug-in's last notice. Before Open, Quit or closing the window, changes the
// plug-in has not saved are the user's to save, discard or keep working on.

// Only Qt and the standard library here: moc reads this header.

#include <QMainWindow>

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
    // The plug-in's last notice about its files (all of them in its tip); it stays until the
    // next one.
    QLabel *notice() const { return m_notice; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    void addControllersDock();
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
    QLabel *m_notice;
    QList<QAction *> m_plugInActions;
};

} // namespace tarvex::host
