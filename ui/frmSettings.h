#pragma once
// frmSettings: the actions editor "Tarvex Einstellungen". The user edits the action table in its
// list (lvActions), captures OSC addresses with learn mode and saves the actions file.
//
// The window is loaded hidden as soon as anything touches it: the dispatcher asks for the learn
// caption on every datagram, the settings writer reads IP and Port. Every load refills the list
// from the action table; the list and its host targets go with the window when it is unloaded.
//
// Learn mode ("Lernen" / "Stop") rebinds the main window's socket to this window's IP and Port;
// while it runs, datagrams go to learn mode instead of the actions, and no cell can be edited.
// When it ends, the main window's server starts again on its own address if it was running.
// Timer1 (50 ms) turns the indicator green for one tick when something arrived and shows the
// count of learned addresses.
//
// Controls are public members and handlers public functions, so tests and the plug-in reach
// them directly; the handlers are connected to Qt's signals.
//
//   frmSettings editor(context);   // the state, the boxes, the main socket, the two "show" calls
//   editor.Form_Load();            // the list filled from the action table

#include "plugin/api/HostInterfaces.h"
#include "toolkit/ColorButton.h"
#include "toolkit/FormWindow.h"
#include "toolkit/Timer.h"
#include "ui/EditorContext.h"
#include "ui/editor/ActionListEditor.h"
#include "ui/editor/view/ActionListView.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <memory>
#include <string_view>

namespace tarvex {

inline constexpr std::string_view CaptionLearn = "Lernen";
inline constexpr std::string_view CaptionLearnStop = "Stop";

class frmSettings : public FormWindow {
public:
    // `context` is borrowed: the plug-in keeps it alive as long as the window.
    explicit frmSettings(EditorContext &context, QWidget *parent = nullptr);
    ~frmSettings() override;

    // Controls (owned by the window).
    QLabel *Label1;
    QLineEdit *IP;
    QLabel *Label2;
    QLineEdit *Port;
    QPushButton *LearnButton;
    QPushButton *startAnalyzer;
    ColorButton *receiving;
    QLabel *Label3;
    QLabel *OSCCount;
    QPushButton *Speichern;
    QPushButton *Command1;
    ActionListView *lvActions;
    Timer *Timer1; // 50 ms while learning: the receive indicator

    // Set by learn mode for every datagram; read and cleared by Timer1.
    bool Received = false;
    // The typed host helper, taken when the window loads.
    HostModulePtr hostModule;

    void Form_Load() override;
    // Discards the list's editing rules with their host targets; the action table stays. A
    // learn mode that runs ends as its button ends it.
    void Form_Unload() override;
    // The list follows the window's size.
    void Form_Resize();

    // Rebuilds the action table and writes the actions file when the table has rows.
    void Speichern_Click();
    void Command1_Click();
    void startAnalyzer_Click();
    // The receive indicator's tick.
    void Timer1_Timer();

    // The LearnButton caption: "Lernen", or "Stop" while learn mode runs.
    std::string learnCaption() const;
    // Whether the learn button reads `caption` (ASCII, as every caption is); asked for every
    // datagram, so it copies nothing.
    bool learnCaptionIs(std::string_view caption) const;
    // Starts or stops learn mode.
    void LearnButton_Click();
    // Turns the list's rows back into the action table.
    void rebuildActionTable();
    // Shows the action table again, as loading the window does: the rows and their targets
    // are made anew, and edits not saved into the table are gone.
    void refillList();

    // The list's rules (exist while the window is loaded).
    VarArray getCommand(int32_t index);
    void removeRow(int32_t index);
    const std::vector<HostTargetPtr> &rowTargets() const;
    ActionListEditor &listEditor();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildControls();
    void layOutControls();
    void connectEvents();
    void makeListEditor();

    void startLearning();
    void stopLearning();
    void learnStartFailed(const std::string &description);
    void setLearnCaption(std::string_view caption);

    EditorContext &m_context;
    std::unique_ptr<ActionListEditor> m_editor;
};

} // namespace tarvex
