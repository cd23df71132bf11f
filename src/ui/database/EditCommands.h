#pragma once
// Editing the library from the main window: categories, albums and titles made, renamed,
// edited and deleted; the drops on the Edit and Trash buttons, on the album list and on album
// grids; F2 and Del; the edit items of the pop-up menus. The work and its questions are the
// library editor's; this part chooses names, selections and what each drop means.

#include "ui/MasterWindow.h"
#include "ui/controls/TitleKeysMime.h"

#include <QObject>
#include <memory>

class QAction;
class QMenu;
class QPoint;

namespace tunquil {
class LibraryEditor;
}

namespace tunquil::ui {

class TRenamer;
class TTuneAdder;

class EditCommands : public QObject {
public:
    explicit EditCommands(IMasterWindow& window);
    ~EditCommands() override;

    // "&Create new", "&Rename" and the "&Delete" submenu of the Categories or the Albums menu.
    void AddCategoryItems(QMenu* menu);
    void AddAlbumItems(QMenu* menu);
    // "&Edit" and "&Delete": the titles of the side used last (the Titles menu, the PLAY pop-up).
    void AddTitleItems(QMenu* menu);
    // The grids' title pop-up (its own items, then those of `titlesMenu` but Edit and Delete),
    // the category pop-up's first items, and the F2 and Del keys of `window`.
    void BuildPopups(QMenu* titlesMenu, QMenu* categoryPopup);
    void AttachKeys(QWidget* window);
    void ShowTitlePopup(bool album, const QPoint& at);
    // The enabling of this part's own pop-up items, with the window's menus.
    void UpdateItems();

    void CreateCategory();
    void RenameCategory();
    void DeleteActiveCategory();
    void DeleteCategoryTitles();
    void CreateAlbum();
    void RenameAlbum();
    void DeleteSelectedAlbum();
    void DeleteAllAlbums();
    void DeleteAlbumTitles();
    void EditTitles(const std::vector<int32_t>& keys);
    void DeleteTitlesFromDatabase(const std::vector<int32_t>& keys);
    void EditTitlesOfLastArea();
    void DeleteTitlesOfLastArea();

    // A click on the Edit button says how to use it.
    void ShowEditButtonInfo();
    // Titles or a tab dropped on Edit (`edit`) or on Trash; the command runs once the drag has
    // ended. False when refused.
    bool DropOnEditOrTrash(bool edit, const DraggedTitles& titles);
    bool AcceptsOnAlbumList(const DraggedTitles& titles) const;
    // Titles from a category grid dropped on row `row` of the album list (appended to that
    // album) or before row `row` of an album grid (1-based; inserted there and selected).
    bool TitlesDroppedOnAlbumList(int row, const DraggedTitles& titles);
    bool CategoryTitlesDropped(TMyStringGrid* grid, int row, const DraggedTitles& titles);
    // An album grid's own selected rows dropped before row `dropRow` (1-based): moved there.
    void AlbumRowsDropped(TMyStringGrid* grid, int dropRow, const std::vector<int32_t>& keys);

private:
    LibraryEditor& Editor();
    TRenamer& Renamer();
    TTuneAdder& TuneAdder();
    void EditKeyPressed();
    void DeleteKeyPressed();

    IMasterWindow& window_;
    std::unique_ptr<LibraryEditor> editor_;
    TRenamer* renamer_ = nullptr;
    TTuneAdder* tuneAdder_ = nullptr;
    QMenu* titlePopup_ = nullptr;
    QAction *editTitleItem_ = nullptr, *deleteTitleItem_ = nullptr;
    QAction *renameCategoryItem_ = nullptr, *deleteCategoryItem_ = nullptr;
};

} // namespace tunquil::ui
