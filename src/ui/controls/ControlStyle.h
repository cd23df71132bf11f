#pragma once
// How the main window's controls present themselves: their hints and their sunken frames.

#include <QFrame>
#include <QString>

namespace tunquil::ui {

// Hints are a short and a long text joined by "|": the short one is the pop-up hint and the
// control's accessible name, the long one goes to the status bar. A positive `helpContext` is
// the help topic that the help cursor opens on the control.
void SetHint(QWidget* w, const QString& hint, int helpContext = 0);

// A frame drawn sunk into its parent by `bevel` pixels.
QFrame* LoweredFrame(QWidget* parent, int bevel);

} // namespace tunquil::ui
