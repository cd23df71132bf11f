#pragma once
// The main window: the category area (all titles, then one tab per category) and the album
// area (one tab per album) over the views of the database, with the status bar. It owns the
// category and album lists and the data module for the whole run.

#include "base/Files.h"
#include "database/TMusicLibrary.h"
#include "database/TTitleViews.h"
#include "ui/WidgetHost.h"

#include <QMainWindow>
#include <map>
#include <memory>

class QLabel;
class QProgressBar;
class QTabWidget;

namespace tunquil::ui {

class TMyStringGrid;

class TMasterFrm : public QMainWindow, public IViewSetObserver {
    Q_OBJECT
public:
    explicit TMasterFrm(fs::path programDirectory, QWidget* parent = nullptr);
    ~TMasterFrm() override;

    // Loads the category list, opens the database at program directory + "Music", fills the
    // views and loads the album list. Throws DatabaseError or FileError with a text for the
    // user; the window then shows no titles.
    void StartUp();
    // Saves the albums, purges the categories and closes the data module, each step on its own
    // so that one failure (shown) does not stop the next. Runs once.
    void ShutDown();

    IHost& Host() { return host_; }
    TTitleViews* Views() const { return views_.get(); }
    TDMM2* DataModule() const { return library_.DataModule(); }
    QTabWidget* CategoriesTabs() const { return Categories; }
    QTabWidget* AlbumsTabs() const { return Albums; }
    TMyStringGrid* AllTitlesGrid() const { return allTitlesGrid_; }
    QLabel* AllTitlesSummary() const { return AllCatPT; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CategoryViewsChanged() override;
    void AlbumViewsChanged() override;
    // A tab page with a summary panel above a grid.
    QWidget* MakeGridPage(TTitleView& view, TMyStringGrid** grid, QLabel** summary);
    void TakeDownViews();

    fs::path programDirectory_;
    WidgetHost host_;
    TMusicLibrary library_;
    std::unique_ptr<TTitleViews> views_;
    bool albumListPending_ = false; // a rebuild of the album list is queued

    QTabWidget* Categories = nullptr;
    QTabWidget* Albums = nullptr;
    QLabel* AllCatPT = nullptr;
    TMyStringGrid* allTitlesGrid_ = nullptr;
    QLabel* statusText_ = nullptr;
    QProgressBar* progress_ = nullptr;
    std::map<int32_t, QWidget*> categoryPages_; // by CK
    std::map<int32_t, QWidget*> albumPages_;    // by album key
};

} // namespace tunquil::ui
