#include "ui/app/TMasterFrm.h"

#include "ui/controls/TMyStringGrid.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

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

} // namespace

TMasterFrm::TMasterFrm(fs::path programDirectory, QWidget* parent)
    : QMainWindow(parent), programDirectory_(std::move(programDirectory)), host_(this),
      library_(programDirectory_, host_) {
    setObjectName("TMasterFrm");
    setWindowTitle("Tunquil");
    resize(900, 640);

    auto* splitter = new QSplitter(Qt::Vertical, this);
    Categories = new QTabWidget(splitter);
    Categories->setObjectName("Categories");
    Albums = new QTabWidget(splitter);
    Albums->setObjectName("Albums");
    Albums->setToolTip("View, edit and play albums");
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    setCentralWidget(splitter);

    auto* allAlbums = new QTreeWidget(Albums);
    allAlbums->setObjectName("AllAlbLV");
    allAlbums->setRootIsDecorated(false);
    allAlbums->setHeaderLabels({"Name", "Titles", "Duration"});
    Albums->addTab(allAlbums, "  ALL ALBUMS  ");

    statusText_ = new QLabel(this);
    progress_ = new QProgressBar(this);
    progress_->setMaximumWidth(200);
    progress_->hide();
    statusBar()->addWidget(statusText_, 1);
    statusBar()->addPermanentWidget(progress_);
    host_.SetStatusWidgets(statusText_, progress_);
}

TMasterFrm::~TMasterFrm() {
    TakeDownViews();
}

// The grids' models observe the views: they go first, while the views still exist.
void TMasterFrm::TakeDownViews() {
    if (views_)
        views_->RemoveObserver(this);
    delete Categories;
    Categories = nullptr;
    delete Albums;
    Albums = nullptr;
    allTitlesGrid_ = nullptr;
    categoryPages_.clear();
    albumPages_.clear();
    views_.reset();
}

QWidget* TMasterFrm::MakeGridPage(TTitleView& view, TMyStringGrid** grid, QLabel** summary) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* panel = new QLabel(QString::fromStdString(view.Summary()), page);
    panel->setFixedHeight(kSummaryHeight);
    panel->setStyleSheet("color: black");
    auto* table = new TMyStringGrid(view, page);
    connect(table->Model(), &TTitleTableModel::summaryFollow, panel, &QLabel::setText);
    layout->addWidget(panel);
    layout->addWidget(table);
    if (grid)
        *grid = table;
    if (summary)
        *summary = panel;
    return page;
}

void TMasterFrm::StartUp() {
    library_.OpenDatabase();
    TMyDB& db = library_.Database();

    views_ = std::make_unique<TTitleViews>(library_.Categories(), &library_.Albums());
    QWidget* allPage = MakeGridPage(views_->AllTitles(), &allTitlesGrid_, &AllCatPT);
    AllCatPT->setObjectName("AllCatPT");
    Categories->insertTab(0, allPage, "   ALL CATEGORIES   ");
    Categories->setTabToolTip(0, "View all titles");
    views_->AddObserver(this);
    CategoryViewsChanged();
    views_->Attach(db);

    views_->LoadViews(db, &host_);
    allTitlesGrid_->FitColumns();
    // Each category grid takes the all-titles grid's widths, less its Category column.
    for (const auto& [ck, page] : categoryPages_)
        if (auto* grid = page->findChild<TMyStringGrid*>())
            for (int c = 0; c < grid->Model()->columnCount(); ++c)
                grid->setColumnWidth(c, allTitlesGrid_->columnWidth(c + 1));

    library_.LoadAlbums();
    views_->AlbumsLoaded();
    AlbumViewsChanged();
}

void TMasterFrm::ShutDown() {
    library_.Close(); // does nothing once closed
}

void TMasterFrm::closeEvent(QCloseEvent* event) {
    ShutDown();
    event->accept();
}

void TMasterFrm::CategoryViewsChanged() {
    if (!Categories || !views_)
        return;
    const auto& views = views_->CategoryViews();
    DropGonePages(Categories, categoryPages_, views, [](const TCategoryView& v) { return v.ck; });
    for (std::size_t i = 0; i < views.size(); ++i) {
        const TCategoryView& v = views[i];
        QWidget*& page = categoryPages_[v.ck];
        if (!page)
            page = MakeGridPage(*v.grid, nullptr, nullptr);
        int at = static_cast<int>(i) + 1;
        PlaceTab(Categories, page, at);
        Categories->setTabText(at, QString::fromStdString(v.caption));
        Categories->setTabToolTip(at, QString::fromStdString(v.hint));
    }
}

void TMasterFrm::AlbumViewsChanged() {
    if (!Albums || !views_)
        return;
    const auto& views = views_->AlbumViews();
    DropGonePages(Albums, albumPages_, views, [](const TAlbumView& v) { return v.albumKey; });
    auto* list = static_cast<QTreeWidget*>(Albums->widget(0));
    list->clear();
    for (std::size_t i = 0; i < views.size(); ++i) {
        const TAlbumView& v = views[i];
        QWidget*& page = albumPages_[v.albumKey];
        if (!page) {
            TMyStringGrid* grid = nullptr;
            page = MakeGridPage(*v.grid, &grid, nullptr);
            // The album list view shows each album's count and duration as its summary has
            // them. Summaries change while the views are being rebuilt (every album's at
            // start-up), so the list is rebuilt once, afterwards, however many changed.
            connect(grid->Model(), &TTitleTableModel::summaryFollow, this, [this] {
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
            });
        }
        int at = static_cast<int>(i) + 1;
        PlaceTab(Albums, page, at);
        Albums->setTabText(at, QString::fromStdString(v.caption));
        auto* row = new QTreeWidgetItem(list);
        row->setText(0, QString::fromStdString(v.name));
        row->setText(1, QString::number(v.grid->SummaryCount()));
        row->setText(2, QString::fromStdString(TimeText(v.grid->SummaryTotal())));
        row->setTextAlignment(1, Qt::AlignCenter);
        row->setTextAlignment(2, Qt::AlignCenter);
    }
}

} // namespace tunquil::ui
