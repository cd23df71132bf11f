// The main window's editing commands: categories, albums, titles and the drops on the Edit and
// Trash buttons and on album grids.

#include "ui/app/TMasterFrm.h"

namespace tunquil::ui {

void TMasterFrm::CreateCategory() {
    NotAvailable();
}
void TMasterFrm::RenameCategory() {
    NotAvailable();
}
void TMasterFrm::DeleteActiveCategory() {
    NotAvailable();
}
void TMasterFrm::DeleteCategoryTitles() {
    NotAvailable();
}
void TMasterFrm::CreateAlbum() {
    NotAvailable();
}
void TMasterFrm::RenameAlbum() {
    NotAvailable();
}
void TMasterFrm::DeleteAlbumTitles() {
    NotAvailable();
}
void TMasterFrm::DeleteSelectedAlbum() {
    NotAvailable();
}
void TMasterFrm::DeleteAllAlbums() {
    NotAvailable();
}
void TMasterFrm::EditTitlesOfLastArea() {
    NotAvailable();
}
void TMasterFrm::DeleteTitlesOfLastArea() {
    NotAvailable();
}

bool TMasterFrm::DropOnEditOrTrash(QWidget*, const DraggedTitles&) {
    NotAvailable();
    return true;
}

void TMasterFrm::AlbumRowsDropped(TMyStringGrid*, int, const std::vector<int32_t>&) {
    NotAvailable();
}

} // namespace tunquil::ui
