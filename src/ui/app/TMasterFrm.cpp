#include "ui/app/TMasterFrm.h"

#include "app/DatabaseTitleStore.h"
#include "app/PlayProgram.h"
#include "app/TMyMidiPlayer.h"
#include "base/IniFile.h"
#include "base/ProgramDirectory.h"
#include "database/TTitleGrid.h"
#include "import/TitleImporter.h"
#include "midi/ResetTunes.h"
#include "midi/TMyMidi.h"
#include "platform/FakeMessageBus.h"
#include "platform/FluidSynthSequencer.h"
#include "ui/app/MasterLayout.h"
#include "ui/app/MasterMenus.h"
#include "ui/app/MusicControls.h"
#include "ui/app/ScreenPlacement.h"
#include "ui/app/TAboutBox.h"
#include "ui/app/THelpWindow.h"
#include "ui/app/TSplashFrm.h"
#include "ui/controls/ControlStyle.h"
#include "ui/controls/Glyphs.h"
#include "ui/controls/MenuItems.h"
#include "ui/controls/TCDPanelP.h"
#include "ui/controls/TDropButton.h"
#include "ui/controls/TExtListView.h"
#include "ui/controls/TExtPageControl.h"
#include "ui/controls/TMyStringGrid.h"
#include "ui/database/EditCommands.h"
#include "ui/export/ExportCommands.h"
#include "ui/import/ImportCommands.h"
#include "ui/integration/DesktopCommands.h"
#include "ui/midi/SoundCommands.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QColorDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QScreen>
#include <QSlider>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace tunquil::ui {

namespace {

constexpr int kSummaryHeight = 19;

QColor FromColorRef(uint32_t c) {
    return QColor(c & 0xff, (c >> 8) & 0xff, (c >> 16) & 0xff);
}
uint32_t ToColorRef(const QColor& c) {
    return static_cast<uint32_t>(c.red()) | static_cast<uint32_t>(c.green()) << 8 |
           static_cast<uint32_t>(c.blue()) << 16;
}

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

std::vector<int32_t> AllKeysOf(const TTitleView& view) {
    std::vector<int32_t> keys;
    for (int row = 1; row <= view.TitleCount(); ++row)
        keys.push_back(view.MasterKey(row));
    return keys;
}

std::unique_ptr<platform::ISequencerDevice>
DefaultDevice(const fs::path& programDirectory, std::shared_ptr<platform::SynthesizerMix> mix) {
    platform::FluidSynthSequencerOptions options;
    options.mix = std::move(mix);
    try {
        IniFile ini(programDirectory / "Tunquil.ini");
        options.soundFontSetting = ini.ReadString("Sound", "SoundFont", "");
    } catch (const std::exception&) {
        // An unreadable settings file only costs the SoundFont choice; start-up reports it.
    }
    return std::make_unique<platform::FluidSynthSequencer>(options);
}

} // namespace

TMasterFrm::TMasterFrm(fs::path programDirectory,
                       std::unique_ptr<platform::ISequencerDevice> device, QWidget* parent)
    : QMainWindow(parent), programDirectory_(std::move(programDirectory)), host_(this),
      library_(programDirectory_, host_),
      synthesizerMix_(std::make_shared<platform::SynthesizerMix>()),
      device_(device ? std::move(device) : DefaultDevice(programDirectory_, synthesizerMix_)),
      midi_(std::make_unique<TMyMidi>(*device_)), player_(std::make_unique<TMyMidiPlayer>(*midi_)) {
    setObjectName("TMasterFrm");
    setWindowTitle("Tunquil");
    setAccessibleName("Tunquil");
    scale_ = std::max(1.0, logicalDpiX() / 96.0);
    setMinimumSize(Px(kMinWindowWidth), Px(kMinWindowHeight));
    SetHint(this, "Tunquil", 1000);
    edit_ = std::make_unique<EditCommands>(*this);
    import_ = std::make_unique<ImportCommands>(*this);
    export_ = std::make_unique<ExportCommands>(*this);
    sound_ = std::make_unique<SoundCommands>(*this, *device_, synthesizerMix_);
    desktop_ = std::make_unique<DesktopCommands>(*this);

    auto* central = new QWidget(this);
    central->setObjectName("central");
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    setCentralWidget(central);
    top_ = new MusicControls(scale_, this);
    top_->onToggleToolbar = [this] { ToggleToolbar(); };
    sound_->AttachTransport(top_->Controls());
    BuildDatabaseArea();
    layout->addWidget(top_);
    layout->addWidget(dbArea_, 1);
    BuildStatusBar();
    menus_ = std::make_unique<MasterMenus>(*this);
    menus_->Build();
    top_->ShowToolbarState(settings_.showTools);
    qApp->installEventFilter(this);
    setAcceptDrops(true); // files and folders from the desktop
    // Most commands wait for the database (unlocked at the end of start-up).
    Lock();
    RefreshTransport();
    AdoptRunningCopy(nullptr);
}

TMasterFrm::~TMasterFrm() {
    qApp->removeEventFilter(this);
    // The sound windows hold the program and the mixer device, which go before the children do.
    sound_.reset();
    if (program_ && library_.DataModule())
        library_.Database().RemoveObserver(program_.get());
    TakeDownViews();
    host_.SetPositionTick(nullptr);
    host_.PositionTimer(false);
    // The children still signal while they go; the menus they would update are gone with them.
    menus_.reset();
}

int TMasterFrm::Px(int pixels) const {
    return static_cast<int>(pixels * scale_ + 0.5);
}

void TMasterFrm::TakeDownViews() {
    // The grids' models observe the views: they go first, while the views still exist.
    if (views_)
        views_->RemoveObserver(this);
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
    views_.reset();
}

// ------------------------------------------------------------------ the database area

void TMasterFrm::BuildDatabaseArea() {
    dbArea_ = new QWidget(this);
    dbArea_->setObjectName("DatabasePanel");
    dbArea_->installEventFilter(this);
    dbArea_->setMinimumHeight(Px(120));

    auto tool = [&](QToolButton* button, const char* name, GlyphKind glyph, const QString& hint,
                    int helpContext) {
        button->setParent(dbArea_);
        button->setObjectName(name);
        button->setIcon(Glyph(glyph, 18));
        button->setIconSize(QSize(Px(18), Px(18)));
        button->setFixedSize(Px(25), Px(25));
        SetHint(button, hint, helpContext);
        return button;
    };
    NewAlb = tool(new QToolButton, "NewAlb", GlyphKind::NewAlbum, "New|Create a new album", 5);
    LoadFiles =
        tool(new QToolButton, "LoadFiles", GlyphKind::Load, "Load|Load MIDIs into Tunquil", 20);
    DriveScan = tool(new QToolButton, "DriveScan", GlyphKind::ScanDrive,
                     "Scan drive|Scan a drive for MIDIs", 10);
    GetLocal = tool(new QToolButton, "GetLocal", GlyphKind::ScanSystem,
                    "Scan system|Scan system for MIDIs", 7);
    EditCat = static_cast<TDropButton*>(tool(new TDropButton, "EditCat", GlyphKind::Edit,
                                             "Edit|Rename a category or edit a title", 6));
    MailTitle = static_cast<TDropButton*>(
        tool(new TDropButton, "MailTitle", GlyphKind::Mail,
             "Mail|Mail titles or a category to Internet email address", 27));
    Archive =
        static_cast<TDropButton*>(tool(new TDropButton, "Archive", GlyphKind::Archive,
                                       "Archive|Archive music in a single compressed file", 21));
    ExportTitle = static_cast<TDropButton*>(tool(new TDropButton, "ExportTitle", GlyphKind::Save,
                                                 "Save|Save titles or categories to disk", 8));
    PrintCat = static_cast<TDropButton*>(tool(new TDropButton, "PrintCat", GlyphKind::Print,
                                              "Print|Print categories or albums", 31));
    TrashCat =
        static_cast<TDropButton*>(tool(new TDropButton, "TrashCat", GlyphKind::Delete,
                                       "Delete|Delete titles or categories, permanently", 9));
    connect(NewAlb, &QToolButton::clicked, edit_.get(), &EditCommands::CreateAlbum);
    connect(LoadFiles, &QToolButton::clicked, import_.get(), &ImportCommands::OpenLocalFiles);
    connect(DriveScan, &QToolButton::clicked, import_.get(), &ImportCommands::ScanDrive);
    connect(GetLocal, &QToolButton::clicked, import_.get(), &ImportCommands::ScanSystem);
    auto drop = [](auto* part, auto command, auto... how) {
        return [=](const DraggedTitles& titles) { return (part->*command)(how..., titles); };
    };
    dropCommands_ = {
        {EditCat, drop(edit_.get(), &EditCommands::DropOnEditOrTrash, true)},
        {TrashCat, drop(edit_.get(), &EditCommands::DropOnEditOrTrash, false)},
        {top_->AddButton(), drop(sound_.get(), &SoundCommands::DropToPlay, false)},
        {top_->AddPlayButton(), drop(sound_.get(), &SoundCommands::DropToPlay, true)},
        {MailTitle, drop(export_.get(), &ExportCommands::Drop, TitleFeature::Mail)},
        {ExportTitle, drop(export_.get(), &ExportCommands::Drop, TitleFeature::SaveToDisk)},
        {Archive, drop(export_.get(), &ExportCommands::Drop, TitleFeature::Archive)},
        {PrintCat, drop(export_.get(), &ExportCommands::Drop, TitleFeature::Print)},
    };
    export_->SetPrintButton(PrintCat);
    // Drop-only buttons and the add buttons: a click shows the button's help (Edit's says how
    // to use it).
    for (TDropButton* b : {EditCat, MailTitle, Archive, ExportTitle, PrintCat, TrashCat,
                           top_->AddButton(), top_->AddPlayButton()}) {
        b->accepting = [this] { return !Locked(); };
        b->onDrop = [this, b](const DraggedTitles& titles) { return DropTitles(b, titles); };
        if (b == EditCat)
            connect(b, &QToolButton::clicked, edit_.get(), &EditCommands::ShowEditButtonInfo);
        else
            connect(b, &QToolButton::clicked, this, [b] {
                THelpWindow::ShowPopup(b->property("helpContext").toInt(), QCursor::pos(), b);
            });
    }

    albumPanel_ = LoweredFrame(dbArea_, 3);
    albumPanel_->setObjectName("AlbumPanel");
    categoryPanel_ = LoweredFrame(dbArea_, 3);
    categoryPanel_->setObjectName("CategoryPanel");

    Albums = new TExtPageControl(albumPanel_);
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
    connect(AllAlbLV, &TExtListView::touched, this, [this] { MakeSideCurrent(true); });
    AllAlbLV->accepting = [this](const DraggedTitles& titles) {
        return edit_->AcceptsOnAlbumList(titles);
    };
    AllAlbLV->onDrop = [this](int row, const DraggedTitles& titles) {
        return edit_->TitlesDroppedOnAlbumList(row, titles);
    };
    connect(AllAlbLV->Report(), &QTreeWidget::itemSelectionChanged, this, &TMasterFrm::UpdateMenus);
    connect(AllAlbLV->Icons(), &QListWidget::itemSelectionChanged, this, &TMasterFrm::UpdateMenus);
    // Double-clicking an album makes its tab the one shown.
    connect(AllAlbLV, &TExtListView::albumDoubleClicked, this, [this](int row) {
        if (row >= 0 && row + 1 < Albums->count()) {
            if (!settings_.showAlbTabs)
                ShowAlbumTabs(true);
            Albums->setCurrentIndex(row + 1);
        }
    });
    connect(AllAlbLV, &TExtListView::contextMenuWanted, this,
            [this](const QPoint& at) { menus_->AlbumPopup()->popup(at); });
    connect(Albums, &QTabWidget::currentChanged, this, [this] {
        MakeSideCurrent(true);
        UpdateMenus();
    });

    Categories = new TExtPageControl(categoryPanel_);
    Categories->setObjectName("Categories");
    SetHint(Categories, "View all titles", 18);
    Categories->Bar()->setAccessibleName("Category tabs");
    connect(Categories, &QTabWidget::currentChanged, this, [this] {
        MakeSideCurrent(false);
        UpdateMenus();
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
        connect(tabs->Bar(), &QWidget::customContextMenuRequested, this,
                [this, tabs](const QPoint& p) {
                    MakeSideCurrent(tabs == Albums);
                    (tabs == Albums ? menus_->AlbumPopup() : menus_->CategoryPopup())
                        ->popup(tabs->Bar()->mapToGlobal(p));
                });
    }
    for (QFrame* panel : {albumPanel_, categoryPanel_}) {
        auto* l = new QVBoxLayout(panel);
        l->setContentsMargins(3, 3, 3, 3);
        l->addWidget(panel == albumPanel_ ? static_cast<QWidget*>(Albums) : Categories);
    }

    separator_ = new QWidget(dbArea_);
    separator_->setObjectName("Separator");
    separator_->setCursor(Qt::SplitHCursor);
    separator_->setAccessibleName("Separator");
    separator_->installEventFilter(this);
    separatorLine_ = new QWidget(this);
    separatorLine_->setStyleSheet("background: rgb(90,90,90);");
    separatorLine_->hide();
}

void TMasterFrm::LayOutDatabaseArea() {
    if (!dbArea_)
        return;
    const int w = dbArea_->width(), h = dbArea_->height();
    const bool tools = settings_.showTools;
    for (QWidget* b :
         std::initializer_list<QWidget*>{NewAlb, LoadFiles, DriveScan, GetLocal, EditCat, MailTitle,
                                         Archive, ExportTitle, PrintCat, TrashCat})
        b->move(b->x(), Px(4));
    NewAlb->move(Px(7), Px(4));
    std::vector<QWidget*> middle{EditCat, MailTitle, Archive, ExportTitle, PrintCat, TrashCat};
    std::vector<int> widths;
    for (QWidget* b : middle)
        widths.push_back(b->width());
    std::vector<int> lefts = MiddleGroupLefts(w, widths);
    for (std::size_t i = 0; i < middle.size(); ++i)
        middle[i]->move(lefts[i], Px(4));
    GetLocal->move(w - GetLocal->width() - Px(7), Px(4));
    DriveScan->move(GetLocal->x() - Px(5) - DriveScan->width(), Px(4));
    LoadFiles->move(DriveScan->x() - Px(5) - LoadFiles->width(), Px(4));
    for (QWidget* b : std::initializer_list<QWidget*>{LoadFiles, DriveScan, Archive, PrintCat})
        b->setVisible(tools);

    albumPanel_->hide();
    categoryPanel_->hide();
    DatabaseAreaLayout layout = ui::LayOutDatabaseArea(qRound(w / scale_), qRound(h / scale_),
                                                       tools, settings_.albPanelWidth);
    // Before the window is shown its areas have no real size yet: a width clamped to that
    // would be kept and the saved one lost.
    if (isVisible())
        settings_.albPanelWidth = layout.albumWidth;
    auto place = [this](QWidget* wgt, const PanelGeometry& g) {
        wgt->setGeometry(Px(g.left), Px(g.top), Px(g.width), Px(g.height));
    };
    place(albumPanel_, layout.albumPanel);
    place(separator_, layout.separator);
    place(categoryPanel_, layout.categoryPanel);
    albumPanel_->show();
    categoryPanel_->show();
    albumPanel_->raise();
    categoryPanel_->raise();
}

void TMasterFrm::SeparatorDragged(int distance) {
    int albumWidth = qRound(albumPanel_->width() / scale_);
    int categoryWidth = qRound(categoryPanel_->width() / scale_);
    settings_.albPanelWidth = AlbumWidthAfterDrag(albumWidth, categoryWidth, distance);
    LayOutDatabaseArea();
}

void TMasterFrm::ToggleToolbar() {
    settings_.showTools = !settings_.showTools;
    ApplySettingsToMenus();
    LayOutDatabaseArea();
}

// ------------------------------------------------------------------ the status bar

void TMasterFrm::BuildStatusBar() {
    statusBar()->setFixedHeight(Px(18));
    statusBar()->setSizeGripEnabled(true);
    hintPanel_ = new QLabel(this);
    hintPanel_->setObjectName("HintPanel");
    hintPanel_->setAccessibleName("Hint");
    hintPanel_->setFixedWidth(Px(290));
    QFont font = hintPanel_->font();
    font.setPointSize(8);
    font.setBold(true);
    hintPanel_->setFont(font);
    statusBar()->addWidget(hintPanel_);
    progress_ = new QProgressBar(statusBar());
    progress_->setObjectName("ProgressBar");
    progress_->setAccessibleName("Progress");
    progress_->setRange(0, 100);
    progress_->setTextVisible(false);
    progress_->hide();
    host_.SetStatusWidgets(hintPanel_, progress_);
}

void TMasterFrm::PlaceProgressBar() {
    QStatusBar* bar = statusBar();
    int height = std::max(4, bar->height() - Px(6));
    progress_->setGeometry(Px(290), (bar->height() - height) / 2 + 1,
                           std::max(0, bar->width() - Px(290) - Px(17)), height);
}

void TMasterFrm::resizeEvent(QResizeEvent* event) {
    bool progressShown = progress_->isVisible();
    progress_->hide();
    int w = qRound(width() / scale_), h = qRound(height() / scale_);
    ClampWindowSize(w, h);
    if (Px(w) != width() || Px(h) != height()) {
        resize(Px(w), Px(h));
        return;
    }
    QMainWindow::resizeEvent(event);
    LayOutDatabaseArea();
    PlaceProgressBar();
    progress_->setVisible(progressShown);
}

bool TMasterFrm::DropTitles(QWidget* target, const DraggedTitles& titles) {
    if (Locked() || titles.source == SelectionSource::None || !program_)
        return false;
    auto command = dropCommands_.find(target);
    return command != dropCommands_.end() && command->second(titles);
}

// ------------------------------------------------------------------ hints and help cursor

bool TMasterFrm::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        // The status bar's hint panel shows the long hint of the control under the mouse.
        if (isActiveWindow() || QApplication::activeWindow() == nullptr)
            hintPanel_->setText(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

void TMasterFrm::SetHelpCursor(bool on) {
    if (on == helpCursor_)
        return;
    helpCursor_ = on;
    if (on)
        QApplication::setOverrideCursor(Qt::WhatsThisCursor);
    else
        QApplication::restoreOverrideCursor();
}

bool TMasterFrm::eventFilter(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    switch (event->type()) {
    case QEvent::ToolTip:
        if (!settings_.showAllHints)
            return true;
        break;
    case QEvent::MouseButtonPress:
        if (helpCursor_ && widget && widget->window() == this) {
            SetHelpCursor(false);
            for (QWidget* w = widget; w; w = w->parentWidget()) {
                int context = w->property("helpContext").toInt();
                if (context > 0) {
                    THelpWindow::ShowPopup(context, QCursor::pos(), this);
                    break;
                }
            }
            return true;
        }
        if (watched == separator_) {
            separatorPressX_ = QCursor::pos().x();
            separatorDragging_ = true;
            return true;
        }
        break;
    case QEvent::MouseMove:
        if (watched == separator_ && separatorDragging_) {
            QPoint at = mapFromGlobal(QCursor::pos());
            QPoint areaLeft = dbArea_->mapTo(this, QPoint(0, 0));
            if (at.x() >= areaLeft.x() + Px(kMinPanelWidth) &&
                at.x() <= width() - Px(kMinPanelWidth)) {
                QPoint top = separator_->mapTo(this, QPoint(0, 0));
                separatorLine_->setGeometry(at.x(), top.y(), Px(4), separator_->height() - 3);
                separatorLine_->show();
                separatorLine_->raise();
            }
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (watched == separator_ && separatorDragging_) {
            separatorDragging_ = false;
            separatorLine_->hide();
            SeparatorDragged(qRound((QCursor::pos().x() - separatorPressX_) / scale_));
            return true;
        }
        break;
    case QEvent::Resize:
        // The areas get their size from the window's layout after the window's own resize,
        // so each is laid out when it is resized itself.
        if (watched == dbArea_)
            LayOutDatabaseArea();
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

// ------------------------------------------------------------------ lock

void TMasterFrm::Lock() {
    if (lockDepth_++ == 0)
        ApplyLock();
}

void TMasterFrm::Unlock() {
    if (lockDepth_ > 0 && --lockDepth_ == 0)
        ApplyLock();
}

void TMasterFrm::ApplyLock() {
    const bool locked = Locked();
    for (QWidget* w : std::initializer_list<QWidget*>{NewAlb, GetLocal, LoadFiles, DriveScan})
        w->setEnabled(!locked);
    menus_->ApplyLock(locked);
    // Drop targets refuse drops while locked: the album list and the grids too.
    AllAlbLV->setAcceptDrops(!locked);
    if (locked)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
    UpdateMenus();
    RefreshTransport();
}

// ------------------------------------------------------------------ start-up and shut-down

void TMasterFrm::ApplySavedSettings() {
    settingsApplied_ = true;
    try {
        startSettings_ = TunquilSettings::ReadAtStartUp(programDirectory_);
        settings_ = MainWindowSettings::Read(IniFile(SettingsPath(programDirectory_)));
    } catch (const std::exception& e) {
        host_.ShowMessage(e.what(), TMsgDlgType::mtError, 0, mbCancel);
    }
    if (!isMaximized()) {
        QRect saved(settings_.left, settings_.top, std::max(settings_.width, kMinWindowWidth),
                    std::max(settings_.height, kMinWindowHeight));
        if (startSettings_.firstRun)
            saved.moveCenter(QGuiApplication::primaryScreen()->availableGeometry().center());
        setGeometry(ClampToScreens(saved, AvailableScreenAreas()));
    }
    SetTabColours(FromColorRef(settings_.tabActiveColor),
                  FromColorRef(settings_.tabActiveFontColor));
    ApplySettingsToMenus();
    LayOutDatabaseArea();
}

void TMasterFrm::StartUp() {
    CommandLock lock(*this);
    if (!settingsApplied_)
        ApplySavedSettings();

    library_.OpenDatabase();
    TMyDB& db = library_.Database();

    views_ = std::make_unique<TTitleViews>(library_.Categories(), &library_.Albums());
    QWidget* allPage = MakeGridPage(views_->AllTitles(), &allTitlesGrid_, &AllCatPT, false);
    AllCatPT->setObjectName("AllCatPT");
    allTitlesGrid_->setObjectName("AllTitlesGrid");
    allTitlesGrid_->setAccessibleName("All titles");
    allTitlesGrid_->setProperty("helpContext", 12);
    Categories->insertTab(0, allPage, "   ALL CATEGORIES   ");
    Categories->SetTabHint(allPage, "View all titles");
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
    ShowAlbumTabs(settings_.showAlbTabs);
    ShowCategoryTabs(settings_.showCatTabs);

    store_ = std::make_unique<DatabaseTitleStore>(library_.Data());
    program_ = std::make_unique<PlayProgram>(host_, *player_, *store_, RealPlayTools(host_),
                                             programDirectory_);
    auto bytes = [](const char* name) {
        auto data = ResetTuneBytes(name);
        return std::string(data.begin(), data.end());
    };
    program_->SetResetData(bytes("GMRESET"), bytes("GSRESET"));
    program_->SetAutoLooping(settings_.autoLooping);
    program_->SetResetChoice(settings_.reset);
    program_->onChanged = [this] { sound_->ProgramChanged(); };
    sound_->StartMediaControls();
    db.AddObserver(program_.get());
    top_->Controls().panel->AttachPlayer(
        program_->Panel(), [this] { return program_->SafeMode(); },
        [this] { return midi_->Busy(); });
    program_->Panel().Show("None", "None", "None", "No program", 0, 0, 0, 0);
    top_->Controls().panel->Render(program_->Panel());
    startedUp_ = true;
    Unlock(); // the lock taken when the window was made
    allTitlesGrid_->setFocus();
    top_->Controls().panel->EnableFlashing();
}

void TMasterFrm::AdoptRunningCopy(std::unique_ptr<RunningCopy> copy) {
    if (!copy) {
        privateBus_ = std::make_unique<platform::FakeMessageBus>();
        copy = std::make_unique<RunningCopy>(*privateBus_, RunningCopy::Callbacks{});
        copy->Register();
    }
    copy_ = std::move(copy);
    closing_ = std::make_unique<ShutDownSequence>(host_, *copy_);
    // Each only schedules: the sender is answered before anything is carried out, so a dialog
    // that happens to be open never holds up a second start.
    copy_->SetCallbacks({
        .commandsArrived = [this] { desktop_->RunCommands(); },
        .pluginRequestArrived = [this] { desktop_->RunCommands(); },
        .bringToFront = [this] { QTimer::singleShot(0, this, &TMasterFrm::BringToFront); },
        .setPosition =
            [this](int thousandths) {
                if (program_ && startedUp_ && program_->SafeMode() == 2)
                    program_->SetPositionPerMille(thousandths);
            },
        .showMixer = [this] { QTimer::singleShot(0, sound_.get(), &SoundCommands::ShowMixer); },
    });
}

void TMasterFrm::SetStartArguments(std::vector<std::string> arguments) {
    startArguments_ = std::move(arguments);
}

void TMasterFrm::BringToFront() {
    // The splash would otherwise stay on top of the window the user asked for.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* splash = qobject_cast<TSplashFrm*>(w))
            splash->close();
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void TMasterFrm::EndSession() {
    closing_->SetNoConfirmation();
    close();
}

void TMasterFrm::DeferredStartUp() {
    try {
        StartUp();
    } catch (const std::exception& e) {
        // Without its database the program has nothing to offer.
        host_.ShowMessage(e.what(), TMsgDlgType::mtError, 0, mbCancel);
        QCoreApplication::exit(1);
        return;
    }
    importer_ = std::make_unique<TitleImporter>(host_, *library_.DataModule(),
                                                library_.Categories(), programDirectory_);
    importer_->shuttingDown = [this] { return copy_->ShuttingDown(); };
    program_->onPositionPerMille = [this](int perMille) {
        copy_->TellPlugin(kTrackBarPerc, perMille);
    };
    copy_->SetStartUpComplete(true);
    program_->SetStartupComplete(true);
    desktop_->StartUp(!startArguments_.empty());
    // A plug-in request that came during start-up goes first; otherwise the first argument.
    // Hand-overs that came during start-up follow this start's own first argument.
    std::vector<std::string> handedOver = copy_->TakeCommands();
    if (!copy_->HasPluginRequest() && !startArguments_.empty())
        copy_->Queue({startArguments_.front()});
    copy_->Queue(std::move(handedOver));
    desktop_->RunCommands();
    if (startArguments_.empty())
        QTimer::singleShot(0, this, &TMasterFrm::OfferScan);
}

void TMasterFrm::OfferScan() {
    if (shutDown_ || copy_->CommandHandled() || !settings_.remindToScan ||
        startSettings_.fullScanDone)
        return;
    if (host_.ShowMessage("Scan your system to find all MIDI files (recommended)?\\n",
                          TMsgDlgType::mtConfirmation, 201,
                          mbYes | mbNo | mbHelp) == TModalResult::mrYes) {
        repaint();
        import_->ScanSystem();
    }
}

namespace {
// The window's part in each step of closing.
struct WindowShutDownSteps : IShutDownSteps {
    std::function<void()> lock, stop, deactivate, closeDatabase, writeSettings, release, deleteFile,
        closed, restorePlugins;
    std::function<bool()> playing, printing;
    std::function<void()> endPrint, closeMail;
    bool PrintJobRunning() override { return printing(); }
    void EndPrintJob() override { endPrint(); }
    void CloseMail() override { closeMail(); }
    void LockWindow() override { lock(); }
    bool PlayerPlaying() override { return playing(); }
    void StopPlayer() override { stop(); }
    void DeactivateProgram() override { deactivate(); }
    void CloseDatabase() override { closeDatabase(); }
    void WriteSettings() override { writeSettings(); }
    void ReleaseProgram() override { release(); }
    void DeleteInternalPlayFile() override { deleteFile(); }
    void QuitHelp() override { THelpWindow::Quit(); }
    void RestorePlugins() override { restorePlugins(); }
    void Closed() override { closed(); }
};
} // namespace

void TMasterFrm::ShutDown() {
    if (shutDown_)
        return;
    shutDown_ = true;
    WindowShutDownSteps steps;
    steps.printing = [&] { return export_->PrintJobRunning(); };
    steps.endPrint = [&] { export_->EndPrintJob(); };
    steps.closeMail = [&] { export_->CloseMail(); };
    steps.lock = [&] {
        host_.PositionTimer(false);
        Lock();
        repaint();
    };
    steps.playing = [&] { return program_ && PlayingLike(program_->SafeMode()); };
    steps.stop = [&] {
        midi_->Stop();
        midi_->Close();
    };
    steps.deactivate = [&] {
        if (program_) {
            program_->SetShuttingDown(true);
            if (library_.DataModule())
                library_.Database().RemoveObserver(program_.get());
        }
    };
    // The library saves the albums, purges the categories and closes the database, in order.
    steps.closeDatabase = [&] { library_.Close(); };
    steps.writeSettings = [&] {
        IniFile ini(SettingsPath(programDirectory_));
        if (!isMaximized()) {
            QRect r = geometry();
            settings_.left = r.left();
            settings_.top = r.top();
            settings_.width = r.width();
            settings_.height = r.height();
        }
        settings_.tabActiveColor = ToColorRef(Categories->TabActiveColor());
        settings_.tabActiveFontColor = ToColorRef(Categories->TabActiveFontColor());
        settings_.Write(ini, isMaximized());
        startSettings_.Write(ini);
        ini.UpdateFile();
    };
    steps.release = [] {};
    steps.deleteFile = [&] {
        if (program_)
            fs::remove(program_->InternalPlayFile());
    };
    steps.restorePlugins = [&] { desktop_->ShutDown(); };
    steps.closed = [&] {
        statusBar()->showMessage("Closing down . . . .");
        copy_->Unregister(); // no window of ours is left for a sender to find
    };
    closing_->Run(steps);
}

void TMasterFrm::closeEvent(QCloseEvent* event) {
    if (!shutDown_ && startedUp_ && !closing_->MayClose(settings_.confirmBeforeExit)) {
        event->ignore();
        return;
    }
    ShutDown();
    event->accept();
}

// ------------------------------------------------------------------ views and selection

void TMasterFrm::MakeSideCurrent(bool albums) {
    if (albumSide_ != albums) {
        albumSide_ = albums;
        UpdateMenus();
    }
}

void TMasterFrm::ConnectGrid(TMyStringGrid* grid, bool album) {
    grid->SetDragSource(album ? SelectionSource::AlbumList : SelectionSource::CategoryGrid);
    grid->SetAcceptsOwnDrops(album);
    grid->setProperty("helpContext", album ? 2 : 12);
    connect(grid, &TMyStringGrid::touched, this, [this, album] { MakeSideCurrent(album); });
    connect(grid, &TMyStringGrid::titleDoubleClicked, this,
            [this, grid](int row) { sound_->PlayTitleNow(grid, row); });
    connect(grid, &TMyStringGrid::contextMenuWanted, this, [this, album](const QPoint& at) {
        MakeSideCurrent(album);
        edit_->ShowTitlePopup(album, at);
    });
    if (album)
        grid->onForeignDrop = [this, grid](int row, const DraggedTitles& titles) {
            return edit_->CategoryTitlesDropped(grid, row, titles);
        };
    connect(grid, &TMyStringGrid::ownRowsDropped, this,
            [this, grid](int dropRow, const std::vector<int32_t>& keys) {
                edit_->AlbumRowsDropped(grid, dropRow, keys);
            });
    connect(grid->Model(), &TTitleTableModel::selectionFollow, this, &TMasterFrm::UpdateMenus);
}

QWidget* TMasterFrm::MakeGridPage(TTitleView& view, TMyStringGrid** grid, QLabel** summary,
                                  bool album) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* panel = new QLabel(QString::fromStdString(view.Summary()), page);
    panel->setFixedHeight(Px(kSummaryHeight));
    panel->setStyleSheet("color: black; padding-left: 4px;");
    panel->setAccessibleName("Summary");
    auto* table = new TMyStringGrid(view, page);
    ConnectGrid(table, album);
    connect(table->Model(), &TTitleTableModel::summaryFollow, panel, &QLabel::setText);
    layout->addWidget(panel);
    layout->addWidget(table);
    if (grid)
        *grid = table;
    if (summary)
        *summary = panel;
    return page;
}

void TMasterFrm::CategoryViewsChanged() {
    if (!Categories || !views_)
        return;
    const auto& views = views_->CategoryViews();
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
        Categories->SetTabHint(page, QString::fromStdString(v.hint));
        Categories->setTabVisible(at, settings_.showCatTabs);
    }
}

void TMasterFrm::ScheduleAlbumListRebuild() {
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

void TMasterFrm::AlbumViewsChanged() {
    if (!Albums || !views_)
        return;
    const auto& views = views_->AlbumViews();
    DropGonePages(Albums, albumPages_, views, [](const TAlbumView& v) { return v.albumKey; });
    std::vector<AlbumListRow> rows;
    for (std::size_t i = 0; i < views.size(); ++i) {
        const TAlbumView& v = views[i];
        QWidget*& page = albumPages_[v.albumKey];
        if (!page) {
            TMyStringGrid* grid = nullptr;
            page = MakeGridPage(*v.grid, &grid, nullptr, true);
            grid->setAccessibleName(QString::fromStdString(v.name) + " album titles");
            connect(grid->Model(), &TTitleTableModel::summaryFollow, this,
                    &TMasterFrm::ScheduleAlbumListRebuild);
        }
        int at = static_cast<int>(i) + 1;
        PlaceTab(Albums, page, at);
        Albums->setTabText(at, QString::fromStdString(v.caption));
        Albums->SetTabHint(page, QString::fromStdString(v.name));
        Albums->setTabVisible(at, settings_.showAlbTabs);
        rows.push_back({QString::fromStdString(v.name), QString::number(v.grid->SummaryCount()),
                        QString::fromStdString(TimeText(v.grid->SummaryTotal()))});
    }
    AllAlbLV->SetRows(rows);
    UpdateMenus();
}

TMyStringGrid* TMasterFrm::ActiveCategoryGrid() const {
    QWidget* page = Categories ? Categories->currentWidget() : nullptr;
    return page ? page->findChild<TMyStringGrid*>() : nullptr;
}

TMyStringGrid* TMasterFrm::ActiveAlbumGrid() const {
    if (!Albums || Albums->currentIndex() <= 0)
        return nullptr;
    return Albums->currentWidget()->findChild<TMyStringGrid*>();
}

std::vector<int32_t> TMasterFrm::AlbumTitles(const std::vector<int>& albumRows) const {
    std::vector<int32_t> keys;
    if (!views_)
        return keys;
    const auto& views = views_->AlbumViews();
    for (int row : albumRows)
        if (row >= 0 && row < static_cast<int>(views.size())) {
            auto more = AllKeysOf(*views[row].grid);
            keys.insert(keys.end(), more.begin(), more.end());
        }
    return keys;
}

std::vector<int32_t> TMasterFrm::SelectionKeys(TitleSelection which) const {
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

SelectionNames TMasterFrm::Names() const {
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
    if (views_ && AllAlbLV && !AllAlbLV->SelectedRows().empty()) {
        int row = AllAlbLV->SelectedRows().front();
        const auto& albums = views_->AlbumViews();
        if (row >= 0 && row < static_cast<int>(albums.size()))
            names.listedAlbum = albums[row].name;
    }
    return names;
}

KeyboardArea TMasterFrm::FocusArea(TMyStringGrid** grid) const {
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

void TMasterFrm::ClearAlbumSelection() {
    AllAlbLV->Report()->clearSelection();
    AllAlbLV->Icons()->clearSelection();
}

void TMasterFrm::ShowAlbumTabs(bool show) {
    settings_.showAlbTabs = show;
    Albums->ShowTabsAfterFirst(show);
    ApplySettingsToMenus();
}

void TMasterFrm::ShowCategoryTabs(bool show) {
    settings_.showCatTabs = show;
    Categories->ShowTabsAfterFirst(show);
    ApplySettingsToMenus();
}

void TMasterFrm::SetTabColours(const QColor& background, const QColor& font) {
    for (TExtPageControl* tabs : {Categories, Albums}) {
        tabs->SetTabActiveColor(background);
        tabs->SetTabActiveFontColor(font);
        tabs->SetTabInactiveColor(QColor(192, 192, 192));
    }
    settings_.tabActiveColor = ToColorRef(background);
    settings_.tabActiveFontColor = ToColorRef(font);
}

// ------------------------------------------------------------------ for the parts

QAction* TMasterFrm::MenuItem(const QStringList& captions) const {
    return menus_->Find(captions);
}

void TMasterFrm::UpdateMenus() {
    if (menus_)
        menus_->Update();
}

void TMasterFrm::ApplySettingsToMenus() {
    menus_->ApplySettings();
    top_->ShowToolbarState(settings_.showTools);
}

void TMasterFrm::RefreshTransport() {
    if (sound_)
        sound_->Refresh();
}

TCDPanelP* TMasterFrm::NowPlayingPanel() const {
    return top_->Controls().panel;
}

QSlider* TMasterFrm::TrackBar() const {
    return top_->Controls().trackBar;
}

QMenu* TMasterFrm::PlayPopupMenu() const {
    return sound_->PlayPopup();
}

void TMasterFrm::SetViewsEnabled(bool enabled) {
    Categories->setEnabled(enabled);
    Albums->setEnabled(enabled);
}

void TMasterFrm::AutoLoopingChanged(bool on) {
    settings_.autoLooping = on;
    sound_->ShowLooping(on);
}

void TMasterFrm::MailTitles(const std::vector<int32_t>& keys) {
    export_->MailTitles(keys);
}

void TMasterFrm::dragEnterEvent(QDragEnterEvent* event) {
    import_->AcceptsDrop(event->mimeData()) ? event->acceptProposedAction() : event->ignore();
}

void TMasterFrm::dragMoveEvent(QDragMoveEvent* event) {
    import_->AcceptsDrop(event->mimeData()) ? event->acceptProposedAction() : event->ignore();
}

void TMasterFrm::dropEvent(QDropEvent* event) {
    import_->Drop(event->mimeData()) ? event->acceptProposedAction() : event->ignore();
}

} // namespace tunquil::ui
