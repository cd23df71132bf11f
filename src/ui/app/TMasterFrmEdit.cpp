// The main window's editing commands: categories, albums, titles and the drops on the Edit and
// Trash buttons, on the album list and on album grids. The work and its questions are the
// library editor's; the window chooses names, selections and what each drop means.

#include "app/LibraryEditor.h"
#include "app/PlayProgram.h"
#include "ui/app/TMasterFrm.h"
#include "ui/app/TRenamer.h"
#include "ui/controls/TDropButton.h"
#include "ui/controls/TExtListView.h"
#include "ui/controls/TExtPageControl.h"
#include "ui/controls/TMyStringGrid.h"
#include "ui/import/TTuneAdder.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QListWidget>
#include <QMenu>
#include <QTreeWidget>

namespace tunquil::ui {

namespace {

const char kEditButtonInfo[] = "Use the mouse to drag a title or category tab\r\nhere for editing";

// The selected rows of a grid, 0-based, top to bottom.
std::vector<int> SelectedRows(const TTitleView& view) {
    std::vector<int> rows;
    for (int row = 1; row <= view.TitleCount(); ++row)
        if (view.Selected(row))
            rows.push_back(row - 1);
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

void TMasterFrm::BuildEditing() {
    // The Edit button is a drop target; a click says how to use it.
    disconnect(EditCat, &QToolButton::clicked, nullptr, nullptr);
    connect(EditCat, &QToolButton::clicked, this, &TMasterFrm::ShowEditButtonInfo);

    // A tab carries its whole category or album and says that it is a tab: dropped on Edit or
    // Trash it stands for the category or album itself.
    Categories->Bar()->titlesOfTab = [this](int index) {
        QWidget* page = Categories->widget(index);
        auto* grid = page ? page->findChild<TMyStringGrid*>() : nullptr;
        return DraggedTitles{SelectionSource::CategoryGrid,
                             grid ? AllKeysOf(grid->View()) : std::vector<int32_t>{}, true};
    };
    Albums->Bar()->titlesOfTab = [this](int index) {
        std::vector<int> rows = index > 0 ? std::vector<int>{index - 1} : AllAlbLV->SelectedRows();
        return DraggedTitles{SelectionSource::AlbumList, AlbumTitles(rows), true};
    };

    AllAlbLV->accepting = [this](const DraggedTitles& titles) {
        return !Locked() && titles.source == SelectionSource::CategoryGrid;
    };
    AllAlbLV->onDrop = [this](int row, const DraggedTitles& titles) {
        return TitlesDroppedOnAlbumList(row, titles);
    };
    connect(AllAlbLV->Report(), &QTreeWidget::itemSelectionChanged, this, &TMasterFrm::UpdateMenus);
    connect(AllAlbLV->Icons(), &QListWidget::itemSelectionChanged, this, &TMasterFrm::UpdateMenus);
    // Double-clicking an album makes its tab the one shown.
    disconnect(AllAlbLV, &TExtListView::albumDoubleClicked, nullptr, nullptr);
    connect(AllAlbLV, &TExtListView::albumDoubleClicked, this, [this](int row) {
        if (row >= 0 && row + 1 < Albums->count()) {
            if (!settings_.showAlbTabs)
                ShowAlbumTabs(true);
            Albums->setCurrentIndex(row + 1);
        }
    });

    // The title pop-up of the grids: the selection's own commands first.
    titlePopup_ = new QMenu(this);
    titlePopup_->setObjectName("TitlePopup");
    titlePopup_->setAccessibleName("Titles");
    editTitleItem_ = titlePopup_->addAction("&Edit title information", this, [this] {
        EditTitles(SelectionKeys(albumSide_ ? TitleSelection::AlbumTitles
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
    for (QAction* item : titlesMenu_->actions())
        if (!item->isSeparator() && item->text() != "&Edit" && item->text() != "&Delete")
            titlePopup_->addAction(item);
    connect(titlePopup_, &QMenu::aboutToShow, this, &TMasterFrm::UpdateMenus);

    // The category pop-up starts with the active category's own commands.
    QAction* first = categoryPopup_->actions().value(0);
    renameCategoryItem_ = new QAction("Re&name category", categoryPopup_);
    deleteCategoryItem_ = new QAction("&Delete category", categoryPopup_);
    connect(renameCategoryItem_, &QAction::triggered, this, &TMasterFrm::RenameCategory);
    connect(deleteCategoryItem_, &QAction::triggered, this, &TMasterFrm::DeleteActiveCategory);
    categoryPopup_->insertAction(first, renameCategoryItem_);
    categoryPopup_->insertAction(first, deleteCategoryItem_);
    categoryPopup_->insertSeparator(first);

    // F2 renames or edits and Del deletes whatever has the keyboard focus.
    auto* editKey = new QAction(this);
    editKey->setObjectName("EditKey");
    editKey->setShortcut(QKeySequence(Qt::Key_F2));
    connect(editKey, &QAction::triggered, this, &TMasterFrm::EditKeyPressed);
    auto* deleteKey = new QAction(this);
    deleteKey->setObjectName("DeleteKey");
    deleteKey->setShortcut(QKeySequence(Qt::Key_Delete));
    connect(deleteKey, &QAction::triggered, this, &TMasterFrm::DeleteKeyPressed);
    addAction(editKey);
    addAction(deleteKey);
}

LibraryEditor& TMasterFrm::Editor() {
    if (!editor_)
        editor_ = std::make_unique<LibraryEditor>(library_, host_, program_.get());
    return *editor_;
}

TRenamer& TMasterFrm::Renamer() {
    if (!renamer_)
        renamer_ = new TRenamer(this);
    return *renamer_;
}

TTuneAdder& TMasterFrm::TuneAdder() {
    if (!tuneAdder_)
        tuneAdder_ = new TTuneAdder(library_.Categories(), library_.Data().Performers(), this);
    return *tuneAdder_;
}

int32_t TMasterFrm::ActiveCategoryKey() const {
    QWidget* page = Categories ? Categories->currentWidget() : nullptr;
    for (const auto& [ck, categoryPage] : categoryPages_)
        if (categoryPage == page)
            return ck;
    return 0;
}

int32_t TMasterFrm::SelectedAlbumKey() const {
    if (!views_)
        return 0;
    const auto& albums = views_->AlbumViews();
    int index = -1;
    if (Albums->currentIndex() > 0) {
        index = Albums->currentIndex() - 1;
    } else {
        std::vector<int> rows = AllAlbLV->SelectedRows();
        if (!rows.empty())
            index = rows.front();
    }
    return index >= 0 && index < static_cast<int>(albums.size()) ? albums[index].albumKey : 0;
}

int32_t TMasterFrm::AlbumKeyOf(const TMyStringGrid* grid) const {
    if (!views_ || !grid)
        return 0;
    for (const TAlbumView& v : views_->AlbumViews())
        if (static_cast<const TTitleView*>(v.grid.get()) == &grid->View())
            return v.albumKey;
    return 0;
}

// ------------------------------------------------------------------ categories

void TMasterFrm::CreateCategory() {
    if (!startedUp_ || Locked())
        return;
    QString name = Renamer().Execute("Enter new category name", "", "Type in new category name");
    if (name.isEmpty())
        return;
    Editor().CreateCategory(name.toStdString());
}

void TMasterFrm::RenameCategory() {
    if (!startedUp_ || Locked())
        return;
    const int32_t ck = ActiveCategoryKey();
    if (ck == 0) {
        host_.ShowMessage(edit_text::kAllCategoriesNotRenameable, TMsgDlgType::mtInformation, 0,
                          mbOK);
        return;
    }
    QString current = Categories->tabText(Categories->currentIndex()).trimmed();
    QString name =
        Renamer().Execute("Enter new category name", current, "Type in new category name");
    if (name.isEmpty())
        return;
    CommandLock lock(*this);
    Editor().RenameCategory(ck, name.toStdString());
}

void TMasterFrm::DeleteActiveCategory() {
    if (!startedUp_ || Locked())
        return;
    const int32_t ck = ActiveCategoryKey();
    if (ck == 0) {
        host_.ShowMessage(edit_text::kAllCategoriesNotDeletable, TMsgDlgType::mtInformation, 0,
                          mbOK);
        return;
    }
    Editor().DeleteCategory(ck);
    RefreshTransport();
}

void TMasterFrm::DeleteCategoryTitles() {
    if (!startedUp_ || Locked())
        return;
    Editor().DeleteSelectedTitles(SelectionKeys(TitleSelection::CategoryTitles));
    RefreshTransport();
}

void TMasterFrm::DeleteTitlesFromDatabase(const std::vector<int32_t>& keys) {
    if (!startedUp_ || Locked() || keys.empty())
        return;
    Editor().DeleteTitlesFromDatabase(keys);
    RefreshTransport();
}

// ------------------------------------------------------------------ albums

void TMasterFrm::CreateAlbum() {
    if (!startedUp_ || Locked())
        return;
    QString name = Renamer().Execute("Enter new album name", "", "Type in new album name");
    if (name.isEmpty())
        return;
    Editor().CreateAlbum(name.toStdString());
}

void TMasterFrm::RenameAlbum() {
    if (!startedUp_ || Locked())
        return;
    const int32_t key = SelectedAlbumKey();
    const auto* album = key ? library_.Albums().AlbumOf(key) : nullptr;
    if (!album)
        return;
    QString current = QString::fromStdString(album->record.name).trimmed();
    QString name = Renamer().Execute("Enter new album name", current, "Type in new album name");
    if (name.isEmpty())
        return;
    Editor().RenameAlbum(key, name.toStdString());
    UpdateMenus();
}

void TMasterFrm::DeleteSelectedAlbum() {
    if (!startedUp_ || Locked())
        return;
    const int32_t key = SelectedAlbumKey();
    if (key == 0)
        return;
    Editor().DeleteAlbum(key);
    UpdateMenus();
}

void TMasterFrm::DeleteAllAlbums() {
    if (!startedUp_ || Locked() || library_.Albums().Count() == 0)
        return;
    if (Editor().DeleteAllAlbums()) {
        AllAlbLV->Report()->clearSelection();
        AllAlbLV->Icons()->clearSelection();
    }
    UpdateMenus();
}

void TMasterFrm::DeleteAlbumTitles() {
    if (!startedUp_ || Locked())
        return;
    const int32_t key = SelectedAlbumKey();
    if (key == 0)
        return;
    std::vector<int> rows;
    if (TMyStringGrid* grid = ActiveAlbumGrid()) {
        rows = SelectedRows(grid->View());
    } else if (const auto* album = library_.Albums().AlbumOf(key)) {
        // On the summary tab the selected album's titles are the selection.
        for (int row = 0; row < static_cast<int>(album->entries.size()); ++row)
            rows.push_back(row);
    }
    if (rows.empty())
        return;
    Editor().DeleteTitlesFromAlbum(key, rows);
    UpdateMenus();
}

// ------------------------------------------------------------------ titles

void TMasterFrm::EditTitles(const std::vector<int32_t>& keys) {
    if (!startedUp_ || Locked() || keys.empty())
        return;
    TTuneAdder& adder = TuneAdder();
    if (!adder.ShowFor(Editor().PrefillFor(keys)))
        return;
    Editor().ApplyTitleEdit(keys, adder.Result());
    RefreshTransport();
}

void TMasterFrm::EditTitlesOfLastArea() {
    EditTitles(
        SelectionKeys(albumSide_ ? TitleSelection::AlbumTitles : TitleSelection::CategoryTitles));
}

void TMasterFrm::DeleteTitlesOfLastArea() {
    if (albumSide_)
        DeleteAlbumTitles();
    else
        DeleteTitlesFromDatabase(SelectionKeys(TitleSelection::CategoryTitles));
}

// ------------------------------------------------------------------ drops

bool TMasterFrm::DropOnEditOrTrash(QWidget* target, const DraggedTitles& titles) {
    const bool edit = target == EditCat;
    std::function<void()> command;
    if (titles.source == SelectionSource::CategoryGrid) {
        if (!titles.fromTab) {
            if (titles.keys.empty())
                return false;
            command = [this, edit, keys = titles.keys] {
                edit ? EditTitles(keys) : DeleteTitlesFromDatabase(keys);
            };
        } else if (ActiveCategoryKey() != 0) {
            command = [this, edit] { edit ? RenameCategory() : DeleteActiveCategory(); };
        } else {
            return false; // the summary tab is no single category
        }
    } else if (titles.source == SelectionSource::AlbumList) {
        if (titles.fromTab || Albums->currentIndex() == 0)
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

bool TMasterFrm::TitlesDroppedOnAlbumList(int row, const DraggedTitles& titles) {
    if (Locked() || !views_ || titles.source != SelectionSource::CategoryGrid ||
        titles.keys.empty())
        return false;
    const auto& albums = views_->AlbumViews();
    if (row < 0 || row >= static_cast<int>(albums.size()))
        return false;
    BusyScope busy(host_);
    library_.Albums().AppendTitles(albums[row].albumKey, titles.keys);
    return true;
}

bool TMasterFrm::CategoryTitlesDropped(TMyStringGrid* grid, int row, const DraggedTitles& titles) {
    const int32_t key = AlbumKeyOf(grid);
    if (Locked() || key == 0 || titles.keys.empty())
        return false;
    int inserted = 0;
    {
        BusyScope busy(host_);
        inserted = library_.Albums().InsertTitles(key, row - 1, titles.keys);
    }
    if (inserted > 0)
        SelectRows(grid, std::min(row, grid->View().TitleCount() - inserted + 1), inserted);
    UpdateMenus();
    return inserted > 0;
}

void TMasterFrm::AlbumRowsDropped(TMyStringGrid* grid, int dropRow,
                                  const std::vector<int32_t>& keys) {
    const int32_t key = AlbumKeyOf(grid);
    if (Locked() || key == 0 || keys.empty())
        return;
    // The keys came in row order when the drag began: match them to the rows top down, so
    // that a title that stands twice in the album moves only where it was selected.
    const TTitleView& view = grid->View();
    std::vector<int> rows;
    std::size_t next = 0;
    for (int row = 1; row <= view.TitleCount() && next < keys.size(); ++row)
        if (view.MasterKey(row) == keys[next]) {
            rows.push_back(row - 1);
            ++next;
        }
    if (rows.empty())
        return;
    int first = -1;
    {
        BusyScope busy(host_);
        grid->setUpdatesEnabled(false);
        first = library_.Albums().MoveRows(key, rows, dropRow - 1);
        grid->setUpdatesEnabled(true);
    }
    if (first >= 0)
        SelectRows(grid, first + 1, static_cast<int>(rows.size()));
    UpdateMenus();
}

// ------------------------------------------------------------------ keys, pop-ups, menus

void TMasterFrm::ShowEditButtonInfo() {
    TMessageDialog& box = host_.MessageDialog();
    const auto position = box.Position;
    const int left = box.PositionLeft, top = box.PositionTop;
    const QPoint at = QCursor::pos() + QPoint(-100, 50);
    box.Position = TMsgDlgPosition::poDesigned;
    box.PositionLeft = at.x();
    box.PositionTop = at.y();
    host_.ShowMessage(kEditButtonInfo, TMsgDlgType::mtInformation, 0, mbOK);
    box.Position = position;
    box.PositionLeft = left;
    box.PositionTop = top;
}

void TMasterFrm::ShowTitlePopup(bool album, const QPoint& at) {
    MakeSideCurrent(album);
    deleteTitleItem_->setText(album ? "&Delete title from album" : "&Delete title from database");
    titlePopup_->popup(at);
}

void TMasterFrm::EditKeyPressed() {
    if (Locked())
        return;
    QWidget* focus = QApplication::focusWidget();
    if (focus && (focus == Albums->Bar() || AllAlbLV->isAncestorOf(focus)))
        RenameAlbum();
    else if (focus == Categories->Bar())
        RenameCategory();
    else if (auto* grid = qobject_cast<TMyStringGrid*>(focus))
        EditTitles(grid->View().SelectedKeys());
    else
        EditTitlesOfLastArea();
}

void TMasterFrm::DeleteKeyPressed() {
    if (Locked())
        return;
    QWidget* focus = QApplication::focusWidget();
    if (focus && (focus == Albums->Bar() || AllAlbLV->isAncestorOf(focus)))
        DeleteSelectedAlbum();
    else if (focus == Categories->Bar())
        DeleteActiveCategory();
    else if (auto* grid = qobject_cast<TMyStringGrid*>(focus))
        AlbumKeyOf(grid) ? DeleteAlbumTitles()
                         : DeleteTitlesFromDatabase(grid->View().SelectedKeys());
    else
        DeleteTitlesOfLastArea();
}

void TMasterFrm::UpdateEditMenus() {
    if (!categoriesMenu_ || !albumsMenu_ || !editTitleItem_)
        return;
    const bool onCategory = ActiveCategoryKey() != 0;
    const bool categoryTitles = !SelectionKeys(TitleSelection::CategoryTitles).empty();
    const bool onAlbum = Albums->currentIndex() > 0;
    const bool albumRow = !AllAlbLV->SelectedRows().empty();
    const bool albumTitles = onAlbum && !SelectionKeys(TitleSelection::AlbumTitles).empty();
    const bool anyAlbums = AllAlbLV->RowCount() > 0;
    auto isTitles = [](const QAction* a) {
        return a->text() == "&Titles selected" || a->text() == "&Title(s) selected" ||
               a->text() == "&Title selected";
    };
    for (QAction* item : categoriesMenu_->actions()) {
        if (item->text() == "&Rename")
            item->setEnabled(onCategory);
        if (!item->menu())
            continue;
        for (QAction* sub : item->menu()->actions()) {
            if (isTitles(sub))
                sub->setEnabled(categoryTitles);
            else if (sub->text() == "Active &category")
                sub->setEnabled(onCategory);
        }
    }
    renameCategoryItem_->setEnabled(onCategory);
    deleteCategoryItem_->setEnabled(onCategory);
    for (QAction* item : albumsMenu_->actions()) {
        if (item->text() == "&Rename")
            item->setEnabled(onAlbum || albumRow);
        // Play's "Titles selected" stays on: on the summary tab it says to choose an album tab.
        if (!item->menu() || item->text() == "Play")
            continue;
        for (QAction* sub : item->menu()->actions()) {
            if (isTitles(sub))
                sub->setEnabled(albumTitles);
            else if (sub->text() == "&Album selected")
                sub->setEnabled(onAlbum || albumRow);
            else if (sub->text() == "A&ll albums")
                sub->setEnabled(anyAlbums);
        }
    }
    const bool titles =
        !SelectionKeys(albumSide_ ? TitleSelection::AlbumTitles : TitleSelection::CategoryTitles)
             .empty();
    editTitleItem_->setEnabled(titles);
    deleteTitleItem_->setEnabled(titles);
}

} // namespace tunquil::ui
