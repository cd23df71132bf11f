// The main window's ways in for tunes: the add-local-files window, the drive and system scans
// and files dropped from the desktop.

#include "ui/app/TMasterFrm.h"

namespace tunquil::ui {

void TMasterFrm::OpenLocalFiles() {
    NotAvailable();
}
void TMasterFrm::ScanDrive() {
    NotAvailable();
}
void TMasterFrm::ScanSystem() {
    NotAvailable();
}

} // namespace tunquil::ui
