#pragma once
// FormWindow: the base of every window of the plug-in. The registry creates it hidden and then
// runs its Form_Load; unloading runs Form_Unload and discards the widget.

#include <QWidget>

#include <string>

namespace tarvex {

class FormWindow : public QWidget {
public:
    explicit FormWindow(QWidget *parent = nullptr) : QWidget(parent) {}

    // Runs once, right after the registry created the window (still hidden). A failure reaches
    // whatever touched the window first; the window stays loaded.
    virtual void Form_Load() {}
    // Runs when the window is unloaded, before the widget is discarded: release what must not
    // wait for the destructor (a bound socket).
    virtual void Form_Unload() {}
};

} // namespace tarvex
