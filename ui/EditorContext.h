#pragma once
// What the actions editor (frmSettings) uses beyond its own controls: the plug-in's state, the
// message boxes, the main window's socket for learn mode, and the two windows its buttons show.
// The plug-in implements it with the real windows.
//
//   frmSettings editor(context);
//   Winsock &socket = context.lendMainSocket();   // learn mode listens on it ...
//   context.returnMainSocket();                   // ... and gives it back when it ends

#include "store/PlugInState.h"
#include "toolkit/MessageBoxes.h"
#include "toolkit/Winsock.h"

namespace tarvex {

class EditorContext {
public:
    virtual ~EditorContext() = default;

    virtual PlugInState &state() = 0;
    virtual MessageBoxes &messageBoxes() = 0;

    // Main window: Winsock1, lent to learn mode (loads the main window). A reconnection under
    // way pauses, so that its attempts leave the borrowed socket alone.
    virtual Winsock &lendMainSocket() = 0;
    // Main window: learn mode has ended and closed the socket; the server that was meant to run
    // starts again. Nothing when the main window is not loaded (a new one starts on its own).
    virtual void returnMainSocket() = 0;

    // The "Hauptfenster öffen" and "Analyzer" buttons: show the window, loading it if needed.
    virtual void showMainWindow() = 0;
    virtual void showAnalyzer() = 0;
};

} // namespace tarvex
