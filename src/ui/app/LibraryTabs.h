#pragma once
// The database area's two tab controls: on the album side the album list (on the summary tab)
// and a grid per album, on the category side the grid of all titles (on the summary tab) and a
// grid per category. The pages follow the title views; the selection they hold answers which
// titles each menu selection stands for.

#include "database/TTitleViews.h"
#include "ui/MasterWindow.h"

#include <QObject>
#include <map>

class QCheckBox;
class QColor;
class QLabel;
class QLineEdit;
class QPoint;

namespace tunquil {
struct MainWindowSettings;
}

namespace tunquil::ui {

class TExtListView;
class TExtPageControl;
class TMasterFrm;

class LibraryTabs : public QObject, public IViewSetObserver {
public:
    // Makes the album and the category tab controls in their panels; `scale` turns the pixel
    // sizes, given at 96 dots per inch, into the screen's.
    LibraryTabs(TMasterFrm& window, QWidget* albumPanel, QWidget* categoryPanel, double scale);
    ~LibraryTabs() override;

    // Shows the views from now on: the summary tab's grid of all titles and a tab per category.
    void ShowTitles(TTitleViews& views);
    // Once the views are loaded: the all-titles grid fits its columns, the category grids take
    // its widths.
    void FitColumns();
    // Takes every page down while the views still exist (their grids observe them).
    void TakeDown();
    // The active tab's colours on both sides, noted in the settings; the colours the settings
    // hold.
    void SetTabColours(const QColor& background, const QColor& font, MainWindowSettings& settings);
    void RestoreTabColours(MainWindowSettings& settings);
    // How the tabs were left: the tab colours, the tab shown on each side, the album details,
    // the grids' sort columns and column widths (the all-titles grid's and each category's).
    void SaveState(MainWindowSettings& settings) const;
    void RestoreState(const MainWindowSettings& settings);

    TExtPageControl* CategoriesTabs() const { return Categories; }
    TExtPageControl* AlbumsTabs() const { return Albums; }
    TExtListView* AlbumList() const { return AllAlbLV; }
    TMyStringGrid* AllTitlesGrid() const { return allTitlesGrid_; }
    QLabel* AllTitlesSummary() const { return AllCatPT; }

    // The database toolbar's find field filters the grids as the user types (Ctrl+F, Esc).
    void AttachFindField(QLineEdit* find);
    // Shows in every grid, shown or not, only the titles these words find (every title for
    // none); grids made later take the same words.
    void SetFilter(const QString& words);
    const QString& FilterWords() const { return filterWords_; }

    // The selection, as IMasterWindow tells it.
    std::vector<int32_t> SelectionKeys(TitleSelection which) const;
    SelectionNames Names() const;
    int32_t ActiveCategoryKey() const;
    int32_t SelectedAlbumKey() const;
    int32_t AlbumKeyOf(const TMyStringGrid* grid) const;
    TMyStringGrid* ActiveAlbumGrid() const;
    TMyStringGrid* ActiveCategoryGrid() const;
    KeyboardArea FocusArea(TMyStringGrid** grid) const;
    void ClearAlbumSelection();
    // The titles of the albums at `albumRows` of the album list, album after album.
    std::vector<int32_t> AlbumTitles(const std::vector<int>& albumRows) const;

    void CategoryViewsChanged() override;
    void AlbumViewsChanged() override;

private:
    void ConnectGrid(TMyStringGrid* grid, bool album);
    QWidget* MakeGridPage(TTitleView& view, TMyStringGrid** grid, QLabel** summary, bool album);
    void ScheduleAlbumListRebuild();
    void ApplyFilter();
    int Px(int pixels) const;

    TMasterFrm& window_;
    double scale_;
    TExtPageControl* Categories = nullptr;
    TExtPageControl* Albums = nullptr;
    QCheckBox* albumDetails_ = nullptr;
    TExtListView* AllAlbLV = nullptr;
    QLabel* AllCatPT = nullptr;
    TMyStringGrid* allTitlesGrid_ = nullptr;
    std::map<int32_t, QWidget*> categoryPages_; // by CK
    std::map<int32_t, QWidget*> albumPages_;    // by album key
    bool albumListPending_ = false;
    QString filterWords_;
    bool filtering_ = false;
};

} // namespace tunquil::ui
