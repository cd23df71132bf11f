// The main window's ways out for titles: mail, archive, save to disk and print, from the menus
// and from drops on their toolbar buttons.

#include "ui/app/TMasterFrm.h"

namespace tunquil::ui {

void TMasterFrm::RunFeature(TitleFeature, TitleSelection) {
    NotAvailable();
}

bool TMasterFrm::DropOnFeature(QWidget*, const DraggedTitles&) {
    NotAvailable();
    return true;
}

} // namespace tunquil::ui
