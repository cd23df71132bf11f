#include "ui/app/LibraryTabs.h"

#include "app/MainWindowSettings.h"
#include "database/TTitleGrid.h"
#include "database/TTitleViews.h"
#include "ui/app/MasterMenus.h"
#include "ui/app/TMasterFrm.h"
#include "ui/controls/ControlStyle.h"
#include "ui/controls/TExtListView.h"
#include "ui/controls/TExtPageControl.h"
#include "ui/controls/TMyStringGrid.h"
#include "ui/controls/UncutColumns.h"
#include "ui/database/EditCommands.h"
#include "ui/midi/SoundCommands.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QScopedValueRollback>
#include <QShortcut>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace tunquil::ui {

namespace {

constexpr int kSummaryHeight = 19;

// Deletes the pages whose view is gone (their grids still hold the views, so at once).
template <class Views, class KeyOf>
void DropGonePages(QTabWidget* tabs, std::map<int32_t, QWidget*>& pages, const Views& views,
                   KeyOf keyOf) {
    for (auto it = pages.begin(); it != pages.end();) {
        bool known = std::any_of(views.begin(), views.end(),
                                 [&](const auto& v) { return keyOf(v) == it->first; });
        if (known) {
            ++it;
        } else {
            tabs->setCurrentIndex(0);
            delete it->second;
            it = pages.erase(it);
        }
    }
}

// Puts `page` at tab position `at`, moving it there when it stands elsewhere.
void PlaceTab(QTabWidget* tabs, QWidget* page, int at) {
    if (tabs->indexOf(page) == at)
        return;
    int old = tabs->indexOf(page);
    if (old >= 0)
        tabs->removeTab(old);
    tabs->insertTab(at, page, QString());
}

// Colours as the settings file holds them: red in the low byte.
QColor FromColorRef(uint32_t c) {
    return QColor(c & 0xff, (c >> 8) & 0xff, (c >> 16) & 0xff);
}
uint32_t ToColorRef(const QColor& c) {
    return static_cast<uint32_t>(c.red()) | static_cast<uint32_t>(c.green()) << 8 |
           static_cast<uint32_t>(c.blue()) << 16;
}

std::vector<int32_t> AllKeysOf(const TTitleView& view) {
    std::vector<int32_t> keys;
    for (int row = 1; row <= view.TitleCount(); ++row)
        keys.push_back(view.MasterKey(row));
    return keys;
}

} // namespace

LibraryTabs::LibraryTabs(TMasterFrm& window, QWidget* albumPanel, QWidget* categoryPanel,
                         double scale)
    : window_(window), scale_(scale) {
    Albums = new TExtPageControl(albumPanel);
    Albums->setObjectName("Albums");
    Albums->Bar()->pictureTabs = true;
    SetHint(Albums, "View, edit and play albums", 1033);
    Albums->Bar()->setAccessibleName("Album tabs");
    auto* allAlbumsPage = new QWidget;
    auto* allAlbumsLayout = new QVBoxLayout(allAlbumsPage);
    allAlbumsLayout->setContentsMargins(2, 2, 2, 2);
    allAlbumsLayout->setSpacing(2);
    albumDetails_ = new QCheckBox("show album details", allAlbumsPage);
    albumDetails_->setChecked(true);
    albumDetails_->setAccessibleName("show album details");
    AllAlbLV = new TExtListView(allAlbumsPage);
    AllAlbLV->setProperty("helpContext", 2);
    AllAlbLV->Report()->setProperty("helpContext", 2);
    AllAlbLV->titlesOf = [this](const std::vector<int>& rows) { return AlbumTitles(rows); };
    allAlbumsLayout->addWidget(albumDetails_);
    allAlbumsLayout->addWidget(AllAlbLV, 1);
    Albums->addTab(allAlbumsPage, "  ALL ALBUMS  ");
    connect(albumDetails_, &QCheckBox::toggled, AllAlbLV, &TExtListView::SetReportStyle);
    connect(AllAlbLV, &TExtListView::touched, this, [this] { window_.MakeSideCurrent(true); });
    AllAlbLV->accepting = [this](const DraggedTitles& titles) {
        return window_.Editing().AcceptsOnAlbumList(titles);
    };
    AllAlbLV->onDrop = [this](int row, const DraggedTitles& titles) {
        return window_.Editing().TitlesDroppedOnAlbumList(row, titles);
    };
    connect(AllAlbLV->Report(), &QTreeWidget::itemSelectionChanged, this,
            [this] { window_.UpdateMenus(); });
    connect(AllAlbLV->Icons(), &QListWidget::itemSelectionChanged, this,
            [this] { window_.UpdateMenus(); });
    // Double-clicking an album makes its tab the one shown.
    connect(AllAlbLV, &TExtListView::albumDoubleClicked, this, [this](int row) {
        if (row >= 0 && row + 1 < Albums->count()) {
            if (!window_.Settings().showAlbTabs)
                window_.ShowAlbumTabs(true);
            Albums->setCurrentIndex(row + 1);
        }
    });
    connect(AllAlbLV, &TExtListView::contextMenuWanted, this,
            [this](const QPoint& at) { window_.Menus().AlbumPopup()->popup(at); });
    connect(Albums, &QTabWidget::currentChanged, this, [this] {
        window_.MakeSideCurrent(true);
        window_.UpdateMenus();
    });

    Categories = new TExtPageControl(categoryPanel);
    Categories->setObjectName("Categories");
    SetHint(Categories, "View all titles", 18);
    Categories->Bar()->setAccessibleName("Category tabs");
    connect(Categories, &QTabWidget::currentChanged, this, [this] {
        window_.MakeSideCurrent(false);
        window_.UpdateMenus();
    });
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
    for (TExtPageControl* tabs : {Albums, Categories}) {
        tabs->Bar()->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(
            tabs->Bar(), &QWidget::customContextMenuRequested, this, [this, tabs](const QPoint& p) {
                window_.MakeSideCurrent(tabs == Albums);
                (tabs == Albums ? window_.Menus().AlbumPopup() : window_.Menus().CategoryPopup())
                    ->popup(tabs->Bar()->mapToGlobal(p));
            });
    }
    for (auto [panel, tabs] :
         {std::pair{albumPanel, Albums}, std::pair{categoryPanel, Categories}}) {
        auto* l = new QVBoxLayout(panel);
        l->setContentsMargins(3, 3, 3, 3);
        l->addWidget(tabs);
    }
}

LibraryTabs::~LibraryTabs() {
    TakeDown();
}

int LibraryTabs::Px(int pixels) const {
    return static_cast<int>(pixels * scale_ + 0.5);
}

void LibraryTabs::ShowTitles(TTitleViews& views) {
    QWidget* allPage = MakeGridPage(views.AllTitles(), &allTitlesGrid_, &AllCatPT, false);
    AllCatPT->setObjectName("AllCatPT");
    allTitlesGrid_->setObjectName("AllTitlesGrid");
    allTitlesGrid_->setAccessibleName("All titles");
    allTitlesGrid_->setProperty("helpContext", 12);
    Categories->insertTab(0, allPage, "   ALL CATEGORIES   ");
    Categories->SetTabHint(allPage, "View all titles");
    views.AddObserver(this);
    CategoryViewsChanged();
    if (!filterWords_.isEmpty())
        ApplyFilter();
}

void LibraryTabs::SetTabColours(const QColor& background, const QColor& font,
                                MainWindowSettings& settings) {
    for (TExtPageControl* tabs : {Categories, Albums}) {
        tabs->SetTabActiveColor(background);
        tabs->SetTabActiveFontColor(font);
        tabs->SetTabInactiveColor(QColor(192, 192, 192));
    }
    settings.tabActiveColor = ToColorRef(background);
    settings.tabActiveFontColor = ToColorRef(font);
}

void LibraryTabs::RestoreTabColours(MainWindowSettings& settings) {
    SetTabColours(FromColorRef(settings.tabActiveColor), FromColorRef(settings.tabActiveFontColor),
                  settings);
}

void LibraryTabs::SaveState(MainWindowSettings& settings) const {
    settings.tabActiveColor = ToColorRef(Categories->TabActiveColor());
    settings.tabActiveFontColor = ToColorRef(Categories->TabActiveFontColor());
    settings.albumTab = Albums->currentIndex();
    settings.categoryTab = Categories->currentIndex();
    settings.albumDetails = albumDetails_->isChecked();
    QStringList sorts;
    auto sortOf = [&sorts](int32_t key, TMyStringGrid* grid) {
        if (auto* titles = grid ? dynamic_cast<TTitleGrid*>(&grid->View()) : nullptr)
            sorts << QString("%1:%2%3")
                         .arg(key)
                         .arg(titles->SortColumn())
                         .arg(titles->Descending() ? "d" : "");
    };
    sortOf(0, allTitlesGrid_);
    for (const auto& [ck, page] : categoryPages_)
        sortOf(ck, page->findChild<TMyStringGrid*>());
    settings.sortColumns = sorts.join(',').toStdString();
    auto widthsOf = [](TMyStringGrid* grid, QChar apart) {
        QStringList widths;
        for (int c = 0; grid && c < grid->model()->columnCount(); ++c)
            widths << QString::number(grid->columnWidth(c));
        return widths.join(apart);
    };
    settings.columnWidths = widthsOf(allTitlesGrid_, ',').toStdString();
    QStringList categoryWidths;
    for (const auto& [ck, page] : categoryPages_)
        categoryWidths << QString("%1:%2").arg(ck).arg(
            widthsOf(page->findChild<TMyStringGrid*>(), ' '));
    settings.categoryColumnWidths = categoryWidths.join(',').toStdString();
}

void LibraryTabs::RestoreState(const MainWindowSettings& settings) {
    albumDetails_->setChecked(settings.albumDetails);
    // Widths that are not numbers, or columns the grid does not have, are passed over.
    auto restoreWidths = [](TMyStringGrid* grid, const QStringList& widths) {
        for (int c = 0; grid && c < widths.size() && c < grid->model()->columnCount(); ++c)
            if (int width = widths[c].toInt(); width > 0)
                grid->setColumnWidth(c, width);
    };
    restoreWidths(allTitlesGrid_, QString::fromStdString(settings.columnWidths).split(','));
    // A category grid without widths of its own (or whose category is gone) keeps the fitted
    // ones.
    for (const QString& pair : QString::fromStdString(settings.categoryColumnWidths).split(',')) {
        auto page = categoryPages_.find(pair.section(':', 0, 0).toInt());
        if (page != categoryPages_.end())
            restoreWidths(page->second->findChild<TMyStringGrid*>(),
                          pair.section(':', 1).split(' ', Qt::SkipEmptyParts));
    }
    // A grid sorted by another column than its first, as it was left; a key whose category is
    // gone, or a column it does not have, is passed over.
    for (const QString& pair : QString::fromStdString(settings.sortColumns).split(',')) {
        const int32_t key = pair.section(':', 0, 0).toInt();
        QString order = pair.section(':', 1, 1);
        const bool descending = order.endsWith('d');
        if (descending)
            order.chop(1);
        const int column = order.toInt();
        QWidget* page = key == 0 ? (allTitlesGrid_ ? allTitlesGrid_->parentWidget() : nullptr)
                                 : (categoryPages_.count(key) ? categoryPages_.at(key) : nullptr);
        auto* grid = page ? page->findChild<TMyStringGrid*>() : nullptr;
        auto* titles = grid ? dynamic_cast<TTitleGrid*>(&grid->View()) : nullptr;
        if (titles && (column > 0 || descending) &&
            column < static_cast<int>(titles->Columns().size()))
            titles->Sort(column, descending);
    }
    if (settings.albumTab > 0 && settings.albumTab < Albums->count())
        Albums->setCurrentIndex(settings.albumTab);
    if (settings.categoryTab > 0 && settings.categoryTab < Categories->count())
        Categories->setCurrentIndex(settings.categoryTab);
}

void LibraryTabs::FitColumns() {
    allTitlesGrid_->FitColumns();
    // Each category grid takes the all-titles grid's widths, less its Category column.
    for (const auto& [ck, page] : categoryPages_)
        if (auto* grid = page->findChild<TMyStringGrid*>())
            for (int c = 0; c < grid->Model()->columnCount(); ++c)
                grid->setColumnWidth(c, allTitlesGrid_->columnWidth(c + 1));
}

void LibraryTabs::TakeDown() {
    // The grids' models observe the views: they go first, while the views still exist.
    if (window_.Views())
        window_.Views()->RemoveObserver(this);
    if (Categories)
        while (Categories->count() > 0)
            delete Categories->widget(0);
    if (Albums)
        while (Albums->count() > 1)
            delete Albums->widget(1);
    allTitlesGrid_ = nullptr;
    AllCatPT = nullptr;
    categoryPages_.clear();
    albumPages_.clear();
}

QWidget* LibraryTabs::MakeGridPage(TTitleView& view, TMyStringGrid** grid, QLabel** summary,
                                   bool album) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* panel = new QLabel(QString::fromStdString(view.Summary()), page);
    panel->setFixedHeight(Px(kSummaryHeight));
    panel->setStyleSheet("color: black; padding-left: 4px;");
    // A screen reader reads the text shown; the description says what it is.
    panel->setAccessibleDescription("Summary");
    auto* table = new TMyStringGrid(view, page);
    ConnectGrid(table, album);
    KeepColumnsUncut(table);
    connect(table->Model(), &TTitleTableModel::summaryFollow, panel, &QLabel::setText);
    layout->addWidget(panel);
    layout->addWidget(table);
    if (grid)
        *grid = table;
    if (summary)
        *summary = panel;
    return page;
}

void LibraryTabs::ConnectGrid(TMyStringGrid* grid, bool album) {
    grid->SetDragSource(album ? SelectionSource::AlbumList : SelectionSource::CategoryGrid);
    grid->SetAcceptsOwnDrops(album);
    grid->setProperty("helpContext", album ? 2 : 12);
    connect(grid, &TMyStringGrid::touched, this, [this, album] { window_.MakeSideCurrent(album); });
    connect(grid, &TMyStringGrid::titleDoubleClicked, this,
            [this, grid](int row) { window_.Sound().PlayTitleNow(grid, row); });
    connect(grid, &TMyStringGrid::contextMenuWanted, this, [this, album](const QPoint& at) {
        window_.MakeSideCurrent(album);
        window_.Editing().ShowTitlePopup(album, at);
    });
    if (album)
        grid->onForeignDrop = [this, grid](int row, const DraggedTitles& titles) {
            return window_.Editing().CategoryTitlesDropped(grid, row, titles);
        };
    connect(grid, &TMyStringGrid::ownRowsDropped, this,
            [this, grid](int dropRow, const std::vector<int32_t>& keys) {
                window_.Editing().AlbumRowsDropped(grid, dropRow, keys);
            });
    connect(grid->Model(), &TTitleTableModel::selectionFollow, this, [this] {
        if (!filtering_)
            window_.UpdateMenus();
    });
}

void LibraryTabs::CategoryViewsChanged() {
    if (!Categories || !window_.Views())
        return;
    const auto& views = window_.Views()->CategoryViews();
    DropGonePages(Categories, categoryPages_, views, [](const TCategoryView& v) { return v.ck; });
    for (std::size_t i = 0; i < views.size(); ++i) {
        const TCategoryView& v = views[i];
        QWidget*& page = categoryPages_[v.ck];
        if (!page) {
            TMyStringGrid* grid = nullptr;
            page = MakeGridPage(*v.grid, &grid, nullptr, false);
            grid->setAccessibleName(QString::fromStdString(v.name) + " titles");
        }
        int at = static_cast<int>(i) + 1;
        PlaceTab(Categories, page, at);
        Categories->setTabText(at, QString::fromStdString(v.caption));
        // Named as shown: a screen reader would drop an "&" of the caption as a mnemonic.
        Categories->Bar()->setAccessibleTabName(at, QString::fromStdString(v.caption));
        Categories->SetTabHint(page, QString::fromStdString(v.hint));
        Categories->setTabVisible(at, window_.Settings().showCatTabs);
    }
}

void LibraryTabs::ScheduleAlbumListRebuild() {
    // Summaries change while the views are being rebuilt (every album's at start-up), so the
    // list is rebuilt once, afterwards, however many changed.
    if (albumListPending_)
        return;
    albumListPending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            albumListPending_ = false;
            AlbumViewsChanged();
        },
        Qt::QueuedConnection);
}

void LibraryTabs::AlbumViewsChanged() {
    if (!Albums || !window_.Views())
        return;
    const auto& views = window_.Views()->AlbumViews();
    DropGonePages(Albums, albumPages_, views, [](const TAlbumView& v) { return v.albumKey; });
    std::vector<AlbumListRow> rows;
    for (std::size_t i = 0; i < views.size(); ++i) {
        const TAlbumView& v = views[i];
        QWidget*& page = albumPages_[v.albumKey];
        if (!page) {
            TMyStringGrid* grid = nullptr;
            page = MakeGridPage(*v.grid, &grid, nullptr, true);
            grid->setAccessibleName(QString::fromStdString(v.name) + " album titles");
            grid->FitColumns(); // filled with the album's entries
            connect(grid->Model(), &TTitleTableModel::summaryFollow, this,
                    &LibraryTabs::ScheduleAlbumListRebuild);
        }
        int at = static_cast<int>(i) + 1;
        PlaceTab(Albums, page, at);
        Albums->setTabText(at, QString::fromStdString(v.caption));
        Albums->Bar()->setAccessibleTabName(at, QString::fromStdString(v.caption));
        Albums->SetTabHint(page, QString::fromStdString(v.name));
        Albums->setTabVisible(at, window_.Settings().showAlbTabs);
        rows.push_back({QString::fromStdString(v.name), QString::number(v.grid->SummaryCount()),
                        QString::fromStdString(TimeText(v.grid->SummaryTotal()))});
    }
    AllAlbLV->SetRows(rows);
    window_.UpdateMenus();
}

void LibraryTabs::AttachFindField(QLineEdit* find) {
    // Finding as the user types: Ctrl+F goes to the field, Esc empties it and goes back to
    // the grid it filtered.
    connect(find, &QLineEdit::textChanged, this, &LibraryTabs::SetFilter);
    auto* findKey = new QShortcut(QKeySequence::Find, find->window());
    connect(findKey, &QShortcut::activated, find, [find] {
        find->setFocus(Qt::ShortcutFocusReason);
        find->selectAll();
    });
    auto* leave = new QAction(find);
    leave->setShortcut(Qt::Key_Escape);
    leave->setShortcutContext(Qt::WidgetShortcut);
    find->addAction(leave);
    connect(leave, &QAction::triggered, this, [this, find] {
        find->clear();
        if (TMyStringGrid* grid = ActiveCategoryGrid())
            grid->setFocus(Qt::ShortcutFocusReason);
    });
}

void LibraryTabs::SetFilter(const QString& words) {
    filterWords_ = words;
    ApplyFilter();
}

void LibraryTabs::ApplyFilter() {
    if (!window_.Views())
        return;
    // Every grid, shown or not: what the commands of a tab not shown act on is what it would
    // show.
    {
        // The menus follow once, not once a grid: each look goes through the shown grid.
        QScopedValueRollback<bool> quiet(filtering_, true);
        window_.Views()->SetFilter(SearchQuery(filterWords_.toStdString()));
    }
    for (TMyStringGrid* grid : {ActiveCategoryGrid(), ActiveAlbumGrid()})
        if (grid)
            grid->scrollTo(grid->model()->index(grid->View().CurrentRow() - 1, 0));
    window_.UpdateMenus();
}

TMyStringGrid* LibraryTabs::ActiveCategoryGrid() const {
    QWidget* page = Categories ? Categories->currentWidget() : nullptr;
    return page ? page->findChild<TMyStringGrid*>() : nullptr;
}

TMyStringGrid* LibraryTabs::ActiveAlbumGrid() const {
    if (!Albums || Albums->currentIndex() <= 0)
        return nullptr;
    return Albums->currentWidget()->findChild<TMyStringGrid*>();
}

std::vector<int32_t> LibraryTabs::AlbumTitles(const std::vector<int>& albumRows) const {
    std::vector<int32_t> keys;
    if (!window_.Views())
        return keys;
    const auto& views = window_.Views()->AlbumViews();
    for (int row : albumRows)
        if (row >= 0 && row < static_cast<int>(views.size())) {
            auto more = AllKeysOf(*views[row].grid);
            keys.insert(keys.end(), more.begin(), more.end());
        }
    return keys;
}

std::vector<int32_t> LibraryTabs::SelectionKeys(TitleSelection which) const {
    auto allRows = [this] {
        std::vector<int> rows(AllAlbLV ? AllAlbLV->RowCount() : 0);
        for (int i = 0; i < static_cast<int>(rows.size()); ++i)
            rows[i] = i;
        return rows;
    };
    // On an album's tab its grid; on the summary tab the albums selected in the list.
    auto albumSelection = [this] {
        if (TMyStringGrid* grid = ActiveAlbumGrid())
            return grid->View().SelectedKeys();
        return AllAlbLV ? AlbumTitles(AllAlbLV->SelectedRows()) : std::vector<int32_t>{};
    };
    TMyStringGrid* categoryGrid = ActiveCategoryGrid();
    switch (which) {
    case TitleSelection::CategoryTitles:
        return categoryGrid ? categoryGrid->View().SelectedKeys() : std::vector<int32_t>{};
    case TitleSelection::ActiveCategory:
        if (!categoryGrid || categoryGrid == allTitlesGrid_)
            return {};
        return AllKeysOf(categoryGrid->View());
    case TitleSelection::AllCategories:
        return allTitlesGrid_ ? AllKeysOf(allTitlesGrid_->View()) : std::vector<int32_t>{};
    case TitleSelection::AlbumTitles:
        return albumSelection();
    case TitleSelection::AlbumSelected:
        if (Albums && Albums->currentIndex() > 0)
            return AlbumTitles({Albums->currentIndex() - 1});
        return albumSelection();
    case TitleSelection::AllAlbums:
        return AlbumTitles(allRows());
    }
    return {};
}

int32_t LibraryTabs::ActiveCategoryKey() const {
    QWidget* page = Categories ? Categories->currentWidget() : nullptr;
    for (const auto& [ck, categoryPage] : categoryPages_)
        if (categoryPage == page)
            return ck;
    return 0;
}

int32_t LibraryTabs::SelectedAlbumKey() const {
    if (!window_.Views())
        return 0;
    const auto& albums = window_.Views()->AlbumViews();
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

int32_t LibraryTabs::AlbumKeyOf(const TMyStringGrid* grid) const {
    if (!window_.Views() || !grid)
        return 0;
    for (const TAlbumView& v : window_.Views()->AlbumViews())
        if (static_cast<const TTitleView*>(v.grid.get()) == &grid->View())
            return v.albumKey;
    return 0;
}

SelectionNames LibraryTabs::Names() const {
    SelectionNames names;
    if (Categories) {
        names.categoryTab = Categories->currentIndex();
        names.categoryCaption = Categories->tabText(names.categoryTab).toStdString();
        names.allCategoriesCaption = Categories->tabText(0).toStdString();
    }
    if (Albums) {
        names.albumTab = Albums->currentIndex();
        names.albumCaption = Albums->tabText(names.albumTab).toStdString();
    }
    if (window_.Views() && AllAlbLV && !AllAlbLV->SelectedRows().empty()) {
        int row = AllAlbLV->SelectedRows().front();
        const auto& albums = window_.Views()->AlbumViews();
        if (row >= 0 && row < static_cast<int>(albums.size()))
            names.listedAlbum = albums[row].name;
    }
    return names;
}

KeyboardArea LibraryTabs::FocusArea(TMyStringGrid** grid) const {
    QWidget* focus = QApplication::focusWidget();
    if (focus && (focus == Albums->Bar() || AllAlbLV->isAncestorOf(focus)))
        return KeyboardArea::AlbumTabsOrList;
    if (focus == Categories->Bar())
        return KeyboardArea::CategoryTabs;
    if (auto* focused = qobject_cast<TMyStringGrid*>(focus)) {
        *grid = focused;
        return KeyboardArea::Grid;
    }
    return KeyboardArea::Other;
}

void LibraryTabs::ClearAlbumSelection() {
    AllAlbLV->Report()->clearSelection();
    AllAlbLV->Icons()->clearSelection();
}

} // namespace tunquil::ui
