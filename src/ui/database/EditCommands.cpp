#include "ui/database/EditCommands.h"

#include "app/LibraryEditor.h"
#include "database/TAlbList.h"
#include "database/TAlbumGrid.h"
#include "database/TDMM2.h"
#include "database/TMusicLibrary.h"
#include "database/TTitleViews.h"
#include "ui/WidgetHost.h"
#include "ui/controls/MenuItems.h"
#include "ui/controls/TMessageDialog.h"
#include "ui/controls/TMyStringGrid.h"
#include "ui/database/TRenamer.h"
#include "ui/database/TTuneAdder.h"

#include <QCursor>

namespace tunquil::ui {

namespace {

const char kEditButtonInfo[] = "Use the mouse to drag a title or category tab\r\nhere for editing";

// The selected rows of a grid, 0-based, top to bottom; for an album's grid, the places in the
// album of the entries they show (a filter may hide some).
std::vector<int> SelectedRows(const TTitleView& view) {
    const auto* album = dynamic_cast<const TAlbumGrid*>(&view);
    std::vector<int> rows;
    for (int row = 1; row <= view.TitleCount(); ++row)
        if (view.Selected(row))
            rows.push_back(album ? album->EntryIndex(row) : row - 1);
    return rows;
}

// Selects exactly rows first .. first + count - 1 (1-based) of the grid.
void SelectRows(TMyStringGrid* grid, int first, int count) {
    TTitleView& view = grid->View();
    view.BeginUpdate();
    view.ClearSelection();
    for (int row = first; row < first + count; ++row)
        view.SetSelected(row, true);
    view.EndUpdate();
    grid->SetAnchor(first);
    grid->SaveSelection();
    grid->viewport()->update();
}

} // namespace

EditCommands::EditCommands(IMasterWindow& window) : window_(window) {}

EditCommands::~EditCommands() = default;

// ------------------------------------------------------------------ menus, pop-ups and keys

void EditCommands::AddCategoryItems(QMenu* menu) {
    Item(menu, "&Create new", this, [this] { CreateCategory(); });
    Item(menu, "&Rename", this, [this] { RenameCategory(); });
    QMenu* remove = menu->addMenu("&Delete");
    Item(remove, "&Titles selected", this, [this] { DeleteCategoryTitles(); });
    Item(remove, "Active &category", this, [this] { DeleteActiveCategory(); });
}

void EditCommands::AddAlbumItems(QMenu* menu) {
    Item(menu, "&Create new", this, [this] { CreateAlbum(); });
    Item(menu, "&Rename", this, [this] { RenameAlbum(); });
    QMenu* remove = menu->addMenu("&Delete");
    Item(remove, "&Titles selected", this, [this] { DeleteAlbumTitles(); });
    Item(remove, "&Album selected", this, [this] { DeleteSelectedAlbum(); });
    Item(remove, "A&ll albums", this, [this] { DeleteAllAlbums(); });
}

void EditCommands::AddTitleItems(QMenu* menu) {
    Item(menu, "&Edit", this, [this] { EditTitlesOfLastArea(); });
    Item(menu, "&Delete", this, [this] { DeleteTitlesOfLastArea(); });
}

void EditCommands::BuildPopups(QMenu* titlesMenu, QMenu* categoryPopup) {
    // The title pop-up of the grids: the selection's own commands first.
    titlePopup_ = new QMenu(window_.Widget());
    titlePopup_->setObjectName("TitlePopup");
    titlePopup_->setAccessibleName("Titles");
    editTitleItem_ = titlePopup_->addAction("&Edit title information", this, [this] {
        EditTitles(window_.SelectionKeys(window_.AlbumSideCurrent()
                                             ? TitleSelection::AlbumTitles
                                             : TitleSelection::CategoryTitles));
    });
    deleteTitleItem_ = titlePopup_->addAction("&Delete title from database", this,
                                              [this] { DeleteTitlesOfLastArea(); });
    editTitleItem_->setShortcut(QKeySequence(Qt::Key_F2));
    deleteTitleItem_->setShortcut(QKeySequence(Qt::Key_Delete));
    for (QAction* item : {editTitleItem_, deleteTitleItem_}) {
        item->setShortcutContext(Qt::WidgetShortcut);
        item->setShortcutVisibleInContextMenu(true);
    }
    titlePopup_->addSeparator();
    for (QAction* item : titlesMenu->actions())
        if (!item->isSeparator() && item->text() != "&Edit" && item->text() != "&Delete")
            titlePopup_->addAction(item);
    connect(titlePopup_, &QMenu::aboutToShow, this, [this] { window_.UpdateMenus(); });

    // The category pop-up starts with the active category's own commands.
    QAction* first = categoryPopup->actions().value(0);
    renameCategoryItem_ = new QAction("Re&name category", categoryPopup);
    deleteCategoryItem_ = new QAction("&Delete category", categoryPopup);
    connect(renameCategoryItem_, &QAction::triggered, this, &EditCommands::RenameCategory);
    connect(deleteCategoryItem_, &QAction::triggered, this, &EditCommands::DeleteActiveCategory);
    categoryPopup->insertAction(first, renameCategoryItem_);
    categoryPopup->insertAction(first, deleteCategoryItem_);
    categoryPopup->insertSeparator(first);
}

void EditCommands::AttachKeys(QWidget* window) {
    // F2 renames or edits and Del deletes whatever has the keyboard focus.
    auto* editKey = new QAction(window);
    editKey->setObjectName("EditKey");
    editKey->setShortcut(QKeySequence(Qt::Key_F2));
    connect(editKey, &QAction::triggered, this, &EditCommands::EditKeyPressed);
    auto* deleteKey = new QAction(window);
    deleteKey->setObjectName("DeleteKey");
    deleteKey->setShortcut(QKeySequence(Qt::Key_Delete));
    connect(deleteKey, &QAction::triggered, this, &EditCommands::DeleteKeyPressed);
    window->addAction(editKey);
    window->addAction(deleteKey);
}

void EditCommands::UpdateItems() {
    if (!editTitleItem_)
        return;
    const bool onCategory = window_.ActiveCategoryKey() != 0;
    renameCategoryItem_->setEnabled(onCategory);
    deleteCategoryItem_->setEnabled(onCategory);
    const bool titles =
        !window_
             .SelectionKeys(window_.AlbumSideCurrent() ? TitleSelection::AlbumTitles
                                                       : TitleSelection::CategoryTitles)
             .empty();
    editTitleItem_->setEnabled(titles);
    deleteTitleItem_->setEnabled(titles);
}

bool EditCommands::AcceptsOnAlbumList(const DraggedTitles& titles) const {
    return !window_.Locked() && titles.source == SelectionSource::CategoryGrid;
}

// ------------------------------------------------------------------ the editing windows

LibraryEditor& EditCommands::Editor() {
    if (!editor_)
        editor_ =
            std::make_unique<LibraryEditor>(window_.Library(), window_.Host(), window_.Program());
    return *editor_;
}

TRenamer& EditCommands::Renamer() {
    if (!renamer_)
        renamer_ = new TRenamer(window_.Widget());
    return *renamer_;
}

TTuneAdder& EditCommands::TuneAdder() {
    if (!tuneAdder_)
        tuneAdder_ = new TTuneAdder(window_.Library().Categories(),
                                    window_.Library().Data().Performers(), window_.Widget());
    return *tuneAdder_;
}

// ------------------------------------------------------------------ categories

void EditCommands::CreateCategory() {
    if (!window_.StartedUp() || window_.Locked())
        return;
    QString name = Renamer().Execute("Enter new category name", "", "Type in new category name");
    if (name.isEmpty())
        return;
    Editor().CreateCategory(name.toStdString());
}

void EditCommands::RenameCategory() {
    if (!window_.StartedUp() || window_.Locked())
        return;
    const int32_t ck = window_.ActiveCategoryKey();
    if (ck == 0) {
        window_.Host().ShowMessage(edit_text::kAllCategoriesNotRenameable,
                                   TMsgDlgType::mtInformation, 0, mbOK);
        return;
    }
    QString current = QString::fromStdString(window_.Names().categoryCaption).trimmed();
    QString name =
        Renamer().Execute("Enter new category name", current, "Type in new category name");
    if (name.isEmpty())
        return;
    CommandLock lock(window_);
    Editor().RenameCategory(ck, name.toStdString());
}

void EditCommands::DeleteActiveCategory() {
    if (!window_.StartedUp() || window_.Locked())
        return;
    const int32_t ck = window_.ActiveCategoryKey();
    if (ck == 0) {
        window_.Host().ShowMessage(edit_text::kAllCategoriesNotDeletable,
                                   TMsgDlgType::mtInformation, 0, mbOK);
        return;
    }
    Editor().DeleteCategory(ck);
    window_.RefreshTransport();
}

void EditCommands::DeleteCategoryTitles() {
    if (!window_.StartedUp() || window_.Locked())
        return;
    Editor().DeleteSelectedTitles(window_.SelectionKeys(TitleSelection::CategoryTitles));
    window_.RefreshTransport();
}

void EditCommands::DeleteTitlesFromDatabase(const std::vector<int32_t>& keys) {
    if (!window_.StartedUp() || window_.Locked() || keys.empty())
        return;
    Editor().DeleteTitlesFromDatabase(keys);
    window_.RefreshTransport();
}

// ------------------------------------------------------------------ albums

void EditCommands::CreateAlbum() {
    if (!window_.StartedUp() || window_.Locked())
        return;
    QString name = Renamer().Execute("Enter new album name", "", "Type in new album name");
    if (name.isEmpty())
        return;
    Editor().CreateAlbum(name.toStdString());
}

void EditCommands::RenameAlbum() {
    if (!window_.StartedUp() || window_.Locked())
        return;
    const int32_t key = window_.SelectedAlbumKey();
    const auto* album = key ? window_.Library().Albums().AlbumOf(key) : nullptr;
    if (!album)
        return;
    QString current = QString::fromStdString(album->record.name).trimmed();
    QString name = Renamer().Execute("Enter new album name", current, "Type in new album name");
    if (name.isEmpty())
        return;
    Editor().RenameAlbum(key, name.toStdString());
    window_.UpdateMenus();
}

void EditCommands::DeleteSelectedAlbum() {
    if (!window_.StartedUp() || window_.Locked())
        return;
    const int32_t key = window_.SelectedAlbumKey();
    if (key == 0)
        return;
    Editor().DeleteAlbum(key);
    window_.UpdateMenus();
}

void EditCommands::DeleteAllAlbums() {
    if (!window_.StartedUp() || window_.Locked() || window_.Library().Albums().Count() == 0)
        return;
    if (Editor().DeleteAllAlbums()) {
        window_.ClearAlbumSelection();
    }
    window_.UpdateMenus();
}

void EditCommands::DeleteAlbumTitles() {
    if (!window_.StartedUp() || window_.Locked())
        return;
    const int32_t key = window_.SelectedAlbumKey();
    if (key == 0)
        return;
    std::vector<int> rows;
    if (TMyStringGrid* grid = window_.ActiveAlbumGrid()) {
        rows = SelectedRows(grid->View());
    } else if (const auto* album = window_.Library().Albums().AlbumOf(key)) {
        // On the summary tab the selected album's titles are the selection.
        for (int row = 0; row < static_cast<int>(album->entries.size()); ++row)
            rows.push_back(row);
    }
    if (rows.empty())
        return;
    Editor().DeleteTitlesFromAlbum(key, rows);
    window_.UpdateMenus();
}

// ------------------------------------------------------------------ titles

void EditCommands::EditTitles(const std::vector<int32_t>& keys) {
    if (!window_.StartedUp() || window_.Locked() || keys.empty())
        return;
    TTuneAdder& adder = TuneAdder();
    if (!adder.ShowFor(Editor().PrefillFor(keys)))
        return;
    Editor().ApplyTitleEdit(keys, adder.Result());
    window_.RefreshTransport();
}

void EditCommands::EditTitlesOfLastArea() {
    EditTitles(window_.SelectionKeys(window_.AlbumSideCurrent() ? TitleSelection::AlbumTitles
                                                                : TitleSelection::CategoryTitles));
}

void EditCommands::DeleteTitlesOfLastArea() {
    if (window_.AlbumSideCurrent())
        DeleteAlbumTitles();
    else
        DeleteTitlesFromDatabase(window_.SelectionKeys(TitleSelection::CategoryTitles));
}

// ------------------------------------------------------------------ drops

bool EditCommands::DropOnEditOrTrash(bool edit, const DraggedTitles& titles) {
    std::function<void()> command;
    if (titles.source == SelectionSource::CategoryGrid) {
        if (!titles.fromTab) {
            if (titles.keys.empty())
                return false;
            command = [this, edit, keys = titles.keys] {
                edit ? EditTitles(keys) : DeleteTitlesFromDatabase(keys);
            };
        } else if (window_.ActiveCategoryKey() != 0) {
            command = [this, edit] { edit ? RenameCategory() : DeleteActiveCategory(); };
        } else {
            return false; // the summary tab is no single category
        }
    } else if (titles.source == SelectionSource::AlbumList) {
        if (titles.fromTab || window_.Names().albumTab == 0)
            command = [this, edit] { edit ? RenameAlbum() : DeleteSelectedAlbum(); };
        else
            command = [this, edit, keys = titles.keys] {
                edit ? EditTitles(keys) : DeleteAlbumTitles();
            };
    } else {
        return false;
    }
    // The dialogs open once the drag has ended, not inside it.
    QMetaObject::invokeMethod(this, std::move(command), Qt::QueuedConnection);
    return true;
}

bool EditCommands::TitlesDroppedOnAlbumList(int row, const DraggedTitles& titles) {
    if (window_.Locked() || !window_.Views() || titles.source != SelectionSource::CategoryGrid ||
        titles.keys.empty())
        return false;
    const auto& albums = window_.Views()->AlbumViews();
    if (row < 0 || row >= static_cast<int>(albums.size()))
        return false;
    BusyScope busy(window_.Host());
    window_.Library().Albums().AppendTitles(albums[row].albumKey, titles.keys);
    return true;
}

bool EditCommands::CategoryTitlesDropped(TMyStringGrid* grid, int row,
                                         const DraggedTitles& titles) {
    const int32_t key = window_.AlbumKeyOf(grid);
    if (window_.Locked() || key == 0 || titles.keys.empty())
        return false;
    // Under a filter the titles go before the entry the row shows (or after the album's last).
    const auto* album = dynamic_cast<const TAlbumGrid*>(&grid->View());
    const bool filtered = album && album->Filtered();
    int place = row - 1;
    if (filtered)
        place = row <= album->TitleCount() ? album->EntryIndex(row)
                                           : album->TitleCount() + album->HiddenCount();
    int inserted = 0;
    {
        BusyScope busy(window_.Host());
        inserted = window_.Library().Albums().InsertTitles(key, place, titles.keys);
    }
    if (inserted > 0 && !filtered)
        SelectRows(grid, std::min(row, grid->View().TitleCount() - inserted + 1), inserted);
    window_.UpdateMenus();
    return inserted > 0;
}

void EditCommands::AlbumRowsDropped(TMyStringGrid* grid, int dropRow,
                                    const std::vector<int32_t>& keys) {
    const int32_t key = window_.AlbumKeyOf(grid);
    if (window_.Locked() || key == 0 || keys.empty())
        return;
    // Rows moved among rows the user cannot see would land where nobody expects them.
    if (const auto* album = dynamic_cast<const TAlbumGrid*>(&grid->View());
        album && album->HiddenCount() > 0) {
        window_.Host().Status("Clear the search to reorder the album");
        return;
    }
    // The keys came in row order when the drag began: match them to the selected rows top
    // down, so that a title that stands twice in the album moves only where it was selected
    // (matching by key alone took its first row).
    const TTitleView& view = grid->View();
    auto match = [&](bool selectedOnly) {
        std::vector<int> rows;
        std::size_t next = 0;
        for (int row = 1; row <= view.TitleCount() && next < keys.size(); ++row)
            if (view.MasterKey(row) == keys[next] && (!selectedOnly || view.Selected(row))) {
                rows.push_back(row - 1);
                ++next;
            }
        return rows;
    };
    std::vector<int> rows = match(true);
    if (rows.size() != keys.size())
        rows = match(false);
    if (rows.empty())
        return;
    int first = -1;
    {
        BusyScope busy(window_.Host());
        grid->setUpdatesEnabled(false);
        first = window_.Library().Albums().MoveRows(key, rows, dropRow - 1);
        grid->setUpdatesEnabled(true);
    }
    if (first >= 0)
        SelectRows(grid, first + 1, static_cast<int>(rows.size()));
    window_.UpdateMenus();
}

// ------------------------------------------------------------------ keys, pop-ups, menus

void EditCommands::ShowEditButtonInfo() {
    TMessageDialog& box = window_.Host().MessageDialog();
    const auto position = box.Position;
    const int left = box.PositionLeft, top = box.PositionTop;
    const QPoint at = QCursor::pos() + QPoint(-100, 50);
    box.Position = TMsgDlgPosition::poDesigned;
    box.PositionLeft = at.x();
    box.PositionTop = at.y();
    window_.Host().ShowMessage(kEditButtonInfo, TMsgDlgType::mtInformation, 0, mbOK);
    box.Position = position;
    box.PositionLeft = left;
    box.PositionTop = top;
}

void EditCommands::ShowTitlePopup(bool album, const QPoint& at) {
    deleteTitleItem_->setText(album ? "&Delete title from album" : "&Delete title from database");
    titlePopup_->popup(at);
}

void EditCommands::EditKeyPressed() {
    if (window_.Locked())
        return;
    TMyStringGrid* grid = nullptr;
    switch (window_.FocusArea(&grid)) {
    case KeyboardArea::AlbumTabsOrList:
        return RenameAlbum();
    case KeyboardArea::CategoryTabs:
        return RenameCategory();
    case KeyboardArea::Grid:
        return EditTitles(grid->View().SelectedKeys());
    case KeyboardArea::Other:
        return EditTitlesOfLastArea();
    }
}

void EditCommands::DeleteKeyPressed() {
    if (window_.Locked())
        return;
    TMyStringGrid* grid = nullptr;
    switch (window_.FocusArea(&grid)) {
    case KeyboardArea::AlbumTabsOrList:
        return DeleteSelectedAlbum();
    case KeyboardArea::CategoryTabs:
        return DeleteActiveCategory();
    case KeyboardArea::Grid:
        return window_.AlbumKeyOf(grid) ? DeleteAlbumTitles()
                                        : DeleteTitlesFromDatabase(grid->View().SelectedKeys());
    case KeyboardArea::Other:
        return DeleteTitlesOfLastArea();
    }
}

} // namespace tunquil::ui
