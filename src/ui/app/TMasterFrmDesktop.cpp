// The main window's desktop commands: the default MIDI player, the browser plug-in and the start
// at login.

#include "ui/app/TMasterFrm.h"

namespace tunquil::ui {

void TMasterFrm::SetAsDefaultPlayer() {
    NotAvailable();
}
void TMasterFrm::RestoreDefaultPlayer() {
    NotAvailable();
}
void TMasterFrm::ManagePlugin() {
    NotAvailable();
}

void TMasterFrm::SetLaunchAtLogin(bool on) {
    settings_.launchOnWinStart = on;
}

} // namespace tunquil::ui
