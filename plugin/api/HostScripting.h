#pragma once
// Optional interfaces between tarvex-host and a plug-in, beyond the host interfaces. A plug-in or
// host that does not offer them still works; each side finds the other's by a cast.
//
// IHostScripting: offered by the plug-in's main-window object (the one its module information
// names). The headless host's "start", "learn" and "state" commands press the main window's
// start button and the editor's learn button and read their captions through it.
//
//   auto scripting = std::dynamic_pointer_cast<IHostScripting>(moduleInfo->mainWindow());
//   if (scripting)
//       scripting->pressStart();
//
// IHostListening: offered by the same object; the headless host's "listen" and the address and
// port in "state" go through it. An interface of its own, so that a plug-in built before it keeps
// working (its "listen" fails with an error).
//
//   if (auto listening = std::dynamic_pointer_cast<IHostListening>(moduleInfo->mainWindow()))
//       listening->listen("0.0.0.0", "9000");
//
// IHostMessageBoxes: offered by the host's helper object (the one handed to Init). Before the
// plug-in shows a message box it offers the text to the host; when the host takes it (true), the
// plug-in shows nothing and goes on as if the user had closed the box. The headless host takes
// every box and prints it; the windowed host leaves boxes to the plug-in.
//
//   auto boxes = std::dynamic_pointer_cast<IHostMessageBoxes>(helper);
//   if (!boxes || !boxes->takeMessageBox(text))
//       QMessageBox::information(parent, title, text);
//
// IHostNotices: offered by the host's helper. The plug-in tells the host what the user should
// know about its files and needs no answer: a settings file that could not be read and was kept
// aside before the defaults took its place, an actions file that could be read only in part.
// The headless host prints each as an event, the window shows it in its status line. Without
// it the plug-in says nothing, as before.
//
//   if (auto notices = std::dynamic_pointer_cast<IHostNotices>(helper))
//       notices->notice("Cannot read /show/TarvexSettings.dat (...)");

#include <string>

namespace tarvex {

class IHostScripting {
public:
    virtual ~IHostScripting() = default;
    // Clicks the main window's start button (start or stop the server), loading it if needed.
    virtual void pressStart() = 0;
    // Clicks the editor's learn button, loading the editor (hidden) if needed.
    virtual void pressLearn() = 0;
    // The start button's caption: "Start", "Stop" or "Reconnecting in " and a count.
    virtual std::string serverCaption() = 0;
    // The learn button's caption: "Lernen" or "Stop".
    virtual std::string learnCaption() = 0;
};

class IHostListening {
public:
    virtual ~IHostListening() = default;
    // The main window's address and port boxes, as they read.
    virtual std::string serverAddress() = 0;
    virtual std::string serverPort() = 0;
    // Puts the address and port into the main window's boxes and moves a running server there,
    // as stopping and starting it with its button would (a failed start shows the button's box).
    // A port or address the server cannot take raises, and nothing changes.
    virtual void listen(const std::string &address, const std::string &port) = 0;
};

class IHostMessageBoxes {
public:
    virtual ~IHostMessageBoxes() = default;
    // Offers a message box's text to the host; true when the host has shown or reported it.
    virtual bool takeMessageBox(const std::string &text) = 0;
};

class IHostNotices {
public:
    virtual ~IHostNotices() = default;
    // One notice, a sentence or two naming the file. Must not show a modal box.
    virtual void notice(const std::string &text) = 0;
};

} // namespace tarvex
