// The main window's menus, the PLAY pop-up, the transport and the drop targets.

#include "app/PlayProgram.h"
#include "base/IniFile.h"
#include "database/TTitleGrid.h"
#include "midi/TMyMidi.h"
#include "ui/app/TAboutBox.h"
#include "ui/app/THelpWindow.h"
#include "ui/app/TMasterFrm.h"
#include "ui/controls/Glyphs.h"
#include "ui/controls/TCDPanelP.h"
#include "ui/controls/TDropButton.h"
#include "ui/controls/TExtListView.h"
#include "ui/controls/TExtPageControl.h"
#include "ui/controls/TMyStringGrid.h"

#include <QActionGroup>
#include <QColorDialog>
#include <QCursor>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QSlider>
#include <QToolButton>

namespace tunquil::ui {

namespace {

QString Stripped(QString caption) {
    return caption.remove('&');
}

QAction* Item(QMenu* menu, const QString& caption, QObject* receiver,
              std::function<void()> action) {
    QAction* item = menu->addAction(caption);
    QObject::connect(item, &QAction::triggered, receiver, std::move(action));
    return item;
}

QAction* Check(QMenu* menu, const QString& caption, QObject* receiver,
               std::function<void(bool)> action) {
    QAction* item = menu->addAction(caption);
    item->setCheckable(true);
    QObject::connect(item, &QAction::toggled, receiver, std::move(action));
    return item;
}

QAction* FindIn(const QList<QAction*>& actions, const QString& caption) {
    for (QAction* a : actions)
        if (a->text() == caption || Stripped(a->text()) == caption)
            return a;
    return nullptr;
}

} // namespace

QAction* TMasterFrm::MenuItem(const QStringList& captions) const {
    QList<QAction*> actions = menuBar()->actions();
    QAction* found = nullptr;
    for (const QString& caption : captions) {
        found = FindIn(actions, caption);
        if (!found)
            return nullptr;
        actions = found->menu() ? found->menu()->actions() : QList<QAction*>{};
    }
    return found;
}

void TMasterFrm::BuildMenus() {
    fileMenu_ = menuBar()->addMenu("&File");
    Item(fileMenu_, "&Open", this, [this] { OpenLocalFiles(); });
    Item(fileMenu_, "Scan a &drive for MIDI files...", this, [this] { ScanDrive(); });
    Item(fileMenu_, "&Scan system for MIDI files...", this, [this] { ScanSystem(); });
    fileMenu_->addSeparator();
    setDefaultItem_ = Item(fileMenu_, "Set Tunquil as default &MIDI player", this,
                           [this] { SetAsDefaultPlayer(); });
    restoreDefaultItem_ = Item(fileMenu_, "&Restore original default MIDI player", this,
                               [this] { RestoreDefaultPlayer(); });
    // Until the desktop association is in place the program is never the default player.
    restoreDefaultItem_->setEnabled(false);
    fileMenu_->addSeparator();
    pluginItem_ = Item(fileMenu_, "&Manage Navigator plugin...", this, [this] { ManagePlugin(); });
    pluginItem_->setVisible(false); // no browser plug-in directory on this system
    fileMenu_->addSeparator();
    QAction* exitItem = Item(fileMenu_, "E&xit", this, [this] { close(); });
    exitItem->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));

    viewMenu_ = menuBar()->addMenu("&View");
    tabColoursMenu_ = viewMenu_->addMenu("&Active tab colors...");
    Item(tabColoursMenu_, "&Background", this, [this] { ChooseTabColour(false); });
    Item(tabColoursMenu_, "&Font", this, [this] { ChooseTabColour(true); });
    viewMenu_->addSeparator();
    toolbarItem_ = Item(viewMenu_, "&Hide music toolbar", this, [this] { ToggleToolbar(); });
    // Nothing happens while an area has only its summary tab.
    albumTabsItem_ = Item(viewMenu_, "Show album summary tab only", this, [this] {
        if (Albums->count() > 1)
            ShowAlbumTabs(!settings_.showAlbTabs);
    });
    categoryTabsItem_ = Item(viewMenu_, "Show category summary tab only", this, [this] {
        if (Categories->count() > 1)
            ShowCategoryTabs(!settings_.showCatTabs);
    });

    albumsMenu_ = menuBar()->addMenu("&Albums");
    QMenu* albumPlay = albumsMenu_->addMenu("Play");
    Item(albumPlay, "&Titles selected", this, [this] {
        if (ActiveAlbumGrid())
            PlayKeys(SelectionKeys(TitleSelection::AlbumTitles), SelectionSource::AlbumList, true);
        else
            host_.ShowMessage("Please select an album tab first", TMsgDlgType::mtInformation, 0,
                              mbOK);
    });
    Item(albumPlay, "&Album selected", this, [this] {
        PlayKeys(SelectionKeys(TitleSelection::AlbumSelected), SelectionSource::AlbumList, true);
    });
    allAlbumsItems_.push_back(Item(albumPlay, "A&ll albums", this, [this] {
        PlayKeys(SelectionKeys(TitleSelection::AllAlbums), SelectionSource::AlbumList, true);
    }));
    albumsMenu_->addSeparator();
    Item(albumsMenu_, "&Create new", this, [this] { CreateAlbum(); });
    Item(albumsMenu_, "&Rename", this, [this] { RenameAlbum(); });
    QMenu* albumDelete = albumsMenu_->addMenu("&Delete");
    Item(albumDelete, "&Titles selected", this, [this] { DeleteAlbumTitles(); });
    Item(albumDelete, "&Album selected", this, [this] { DeleteSelectedAlbum(); });
    allAlbumsItems_.push_back(
        Item(albumDelete, "A&ll albums", this, [this] { DeleteAllAlbums(); }));
    // The features' submenus: each item hands its selection to the feature.
    auto featureSub = [this](QMenu* parent, const QString& caption, TitleFeature feature,
                             const std::vector<std::pair<QString, TitleSelection>>& items) {
        QMenu* sub = parent->addMenu(caption);
        for (const auto& [item, which] : items)
            Item(sub, item, this, [this, feature, which] { RunFeature(feature, which); });
        return sub;
    };
    const std::vector<std::pair<QString, TitleSelection>> albumThree{
        {"&Titles selected", TitleSelection::AlbumTitles},
        {"&Album selected", TitleSelection::AlbumSelected},
        {"A&ll albums", TitleSelection::AllAlbums}};
    for (auto [caption, feature] :
         {std::pair{"&Mail", TitleFeature::Mail}, std::pair{"Archive", TitleFeature::Archive},
          std::pair{"&Save to disk", TitleFeature::SaveToDisk}}) {
        QMenu* sub = featureSub(albumsMenu_, caption, feature, albumThree);
        allAlbumsItems_.push_back(sub->actions().last());
    }
    featureSub(albumsMenu_, "P&rint", TitleFeature::Print,
               {{"&Title(s) selected", TitleSelection::AlbumTitles},
                {"&Album selected", TitleSelection::AlbumSelected}});
    connect(albumsMenu_, &QMenu::aboutToShow, this, [this] {
        MakeSideCurrent(true);
        UpdateMenus();
    });

    categoriesMenu_ = menuBar()->addMenu("&Categories");
    QMenu* categoryPlay = categoriesMenu_->addMenu("&Play");
    for (auto [caption, which] : {std::pair{"&Titles selected", TitleSelection::CategoryTitles},
                                  std::pair{"Active &category", TitleSelection::ActiveCategory},
                                  std::pair{"&All categories", TitleSelection::AllCategories}})
        Item(categoryPlay, caption, this, [this, which] {
            PlayKeys(SelectionKeys(which), SelectionSource::CategoryGrid, true);
        });
    categoriesMenu_->addSeparator();
    QMenu* sortBy = categoriesMenu_->addMenu("&Sort by");
    const std::pair<const char*, TitleColumn> sorts[] = {
        {"&Category", TitleColumn::Category}, {"&Artist", TitleColumn::Artist},
        {"&Title", TitleColumn::Title},       {"&Duration", TitleColumn::Duration},
        {"&Origin", TitleColumn::Origin},     {"Date &obtained", TitleColumn::DateObtained}};
    for (auto [caption, column] : sorts) {
        QAction* item =
            Item(sortBy, caption, this, [this, column] { SortActiveCategoryGrid(column); });
        if (column == TitleColumn::Category)
            sortByCategoryItem_ = item;
    }
    Item(categoriesMenu_, "&Create new", this, [this] { CreateCategory(); });
    Item(categoriesMenu_, "&Rename", this, [this] { RenameCategory(); });
    QMenu* categoryDelete = categoriesMenu_->addMenu("&Delete");
    Item(categoryDelete, "&Titles selected", this, [this] { DeleteCategoryTitles(); });
    Item(categoryDelete, "Active &category", this, [this] { DeleteActiveCategory(); });
    categoriesMenu_->addSeparator();
    const std::vector<std::pair<QString, TitleSelection>> categoryThree{
        {"&Titles selected", TitleSelection::CategoryTitles},
        {"Active &category", TitleSelection::ActiveCategory},
        {"&All categories", TitleSelection::AllCategories}};
    for (auto [caption, feature] :
         {std::pair{"&Mail", TitleFeature::Mail}, std::pair{"Archive", TitleFeature::Archive},
          std::pair{"&Save to disk", TitleFeature::SaveToDisk},
          std::pair{"P&rint", TitleFeature::Print}})
        featureSub(categoriesMenu_, caption, feature, categoryThree);
    connect(categoriesMenu_, &QMenu::aboutToShow, this, [this] {
        MakeSideCurrent(false);
        UpdateMenus();
    });

    titlesMenu_ = menuBar()->addMenu("&Titles");
    Item(titlesMenu_, "&Play", this, [this] {
        TMyStringGrid* grid = albumSide_ ? ActiveAlbumGrid() : ActiveCategoryGrid();
        if (grid)
            PlayKeys(grid->View().SelectedKeys(),
                     albumSide_ ? SelectionSource::AlbumList : SelectionSource::CategoryGrid, true);
    });
    titlesMenu_->addSeparator();
    Item(titlesMenu_, "&Edit", this, [this] { EditTitlesOfLastArea(); });
    Item(titlesMenu_, "&Delete", this, [this] { DeleteTitlesOfLastArea(); });
    // The titles of the side used last.
    for (auto [caption, feature] : {std::pair{"&Mail", TitleFeature::Mail},
                                    std::pair{"&Save to disk", TitleFeature::SaveToDisk},
                                    std::pair{"P&rint", TitleFeature::Print}})
        Item(titlesMenu_, caption, this, [this, feature] {
            RunFeature(feature,
                       albumSide_ ? TitleSelection::AlbumTitles : TitleSelection::CategoryTitles);
        });

    programMenu_ = menuBar()->addMenu("&Program");
    Item(programMenu_, "&View titles", this, [this] { ShowProgramView(); });
    programMenu_->addSeparator();
    Item(programMenu_, "&Shuffle", this, [this] { program_->Shuffle(); });
    programMenu_->addSeparator();
    Item(programMenu_, "&Erase", this, [this] { program_->Clear(); });
    Item(programMenu_, "&Erase and stop play", this, [this] { program_->StopAndClear(); });

    settingsMenu_ = menuBar()->addMenu("&Settings");
    confirmItem_ = Check(settingsMenu_, "&Confirm before exit", this,
                         [this](bool on) { settings_.confirmBeforeExit = on; });
    remindItem_ = Check(settingsMenu_, "&Remind to scan", this,
                        [this](bool on) { settings_.remindToScan = on; });
    settingsMenu_->addSeparator();
    launchItem_ =
        Check(settingsMenu_, "&Launch at login", this, [this](bool on) { SetLaunchAtLogin(on); });
    settingsMenu_->addSeparator();
    loopingItem_ = Check(settingsMenu_, "&Auto looping", this, [this](bool on) {
        settings_.autoLooping = on;
        if (program_)
            program_->SetAutoLooping(on);
    });
    settingsMenu_->addSeparator();
    QMenu* resets = settingsMenu_->addMenu("&Reset before play");
    // Beyond the reset choices: the SoundFont the synthesizer plays with.
    Item(settingsMenu_, "Sound&Font...", this, [this] { ChooseSoundFont(); });
    auto* resetGroup = new QActionGroup(this);
    resetGroup->setExclusive(true);
    const std::pair<const char*, ResetChoice> choices[] = {{"&GM then GS", ResetChoice::GMThenGS},
                                                           {"GS &then GM", ResetChoice::GSThenGM},
                                                           {"G&M only", ResetChoice::GMOnly},
                                                           {"G&S only", ResetChoice::GSOnly},
                                                           {"&None", ResetChoice::None}};
    for (auto [caption, choice] : choices) {
        QAction* item = Check(resets, caption, this, [this, choice](bool on) {
            if (!on)
                return;
            settings_.reset = choice;
            if (program_)
                program_->SetResetChoice(choice);
        });
        resetGroup->addAction(item);
        resetItems_[choice] = item;
    }

    helpMenu_ = menuBar()->addMenu("&Help");
    hintsItem_ =
        Check(helpMenu_, "&Show hints", this, [this](bool on) { settings_.showAllHints = on; });
    Item(helpMenu_, "&Use help cursor", this, [this] { SetHelpCursor(true); });
    Item(helpMenu_, "&View help file", this, [this] { THelpWindow::ShowContents(this); });
    helpMenu_->addSeparator();
    Item(helpMenu_, "&About...", this, [this] { TAboutBox::Execute(this); });

    // The right-click menus repeat the side's menu, with the active tab colours.
    categoryPopup_ = new QMenu(this);
    categoryPopup_->addActions(categoriesMenu_->actions());
    albumPopup_ = new QMenu(this);
    albumPopup_->addActions(albumsMenu_->actions());
    for (QMenu* popup : {categoryPopup_, albumPopup_}) {
        popup->addSeparator();
        QMenu* colours = popup->addMenu("Active &tab colors");
        colours->addActions(tabColoursMenu_->actions());
        connect(popup, &QMenu::aboutToShow, this, &TMasterFrm::UpdateMenus);
    }
    for (QMenu* menu : menuBar()->findChildren<QMenu*>())
        menu->setAccessibleName(Stripped(menu->title()));
    ApplySettingsToMenus();
}

void TMasterFrm::ApplySettingsToMenus() {
    if (!toolbarItem_)
        return;
    const bool tools = settings_.showTools;
    toolbarItem_->setText(tools ? "&Hide music toolbar" : "&Show music toolbar");
    for (QToolButton* toggle : {leftToggle_, rightToggle_}) {
        toggle->setIcon(Glyph(tools ? GlyphKind::Collapse : GlyphKind::Expand, 10));
        QString hint = tools ? "Hide|Hide music toolbar" : "Show|Show music toolbar";
        toggle->setToolTip(hint.section('|', 0, 0));
        toggle->setStatusTip(hint.section('|', 1));
        toggle->setAccessibleName(hint.section('|', 1));
    }
    albumTabsItem_->setText(settings_.showAlbTabs ? "Show album summary tab only"
                                                  : "Show all album tabs");
    categoryTabsItem_->setText(settings_.showCatTabs ? "Show category summary tab only"
                                                     : "Show all category tabs");
    for (auto [item, on] : {std::pair{confirmItem_, settings_.confirmBeforeExit},
                            std::pair{remindItem_, settings_.remindToScan},
                            std::pair{launchItem_, settings_.launchOnWinStart},
                            std::pair{loopingItem_, settings_.autoLooping},
                            std::pair{hintsItem_, settings_.showAllHints}})
        item->setChecked(on);
    resetItems_[settings_.reset]->setChecked(true);
}

void TMasterFrm::UpdateMenus() {
    if (!titlesMenu_)
        return;
    const bool locked = Locked();
    TMyStringGrid* grid = albumSide_ ? ActiveAlbumGrid() : ActiveCategoryGrid();
    const bool titlesSelected = grid && grid->View().SelectedCount() > 0;
    titlesMenu_->menuAction()->setEnabled(!locked && titlesSelected);
    const bool anyAlbums = AllAlbLV && AllAlbLV->RowCount() > 0;
    for (QAction* item : allAlbumsItems_)
        item->setEnabled(anyAlbums);
    TMyStringGrid* categoryGrid = ActiveCategoryGrid();
    if (sortByCategoryItem_)
        sortByCategoryItem_->setEnabled(categoryGrid && categoryGrid == allTitlesGrid_);
    UpdateEditMenus();
}

void TMasterFrm::SortActiveCategoryGrid(TitleColumn column) {
    TMyStringGrid* grid = ActiveCategoryGrid();
    auto* titles = grid ? dynamic_cast<TTitleGrid*>(&grid->View()) : nullptr;
    if (!titles)
        return;
    const auto& columns = titles->Columns();
    auto at = std::find(columns.begin(), columns.end(), column);
    if (at != columns.end())
        titles->Sort(static_cast<int>(at - columns.begin()));
}

void TMasterFrm::ChooseTabColour(bool font) {
    QColor initial = font ? Categories->TabActiveFontColor() : Categories->TabActiveColor();
    QColor chosen = QColorDialog::getColor(initial, this);
    if (!chosen.isValid())
        return;
    if (font)
        SetTabColours(Categories->TabActiveColor(), chosen);
    else
        SetTabColours(chosen, Categories->TabActiveFontColor());
}

// ------------------------------------------------------------------ the PLAY pop-up

void TMasterFrm::BuildPlayMenu() {
    playMenu_ = new QMenu(this);
    playMenu_->setObjectName("PlayPopup");
    playMenu_->setAccessibleName("PLAY");
    playTopItem_ = Item(playMenu_, "PLAY: &Top of program", this, [this] {
        program_->PlayTop();
        RefreshTransport();
    });
    playBottomItem_ = Item(playMenu_, "PLAY: &Bottom of program", this, [this] {
        program_->PlayBottom();
        RefreshTransport();
    });
    playReplaceItem_ = Item(playMenu_, "PLAY: &Replace program", this, [this] {
        program_->PlayReplace();
        RefreshTransport();
    });
    QAction* cancel = Item(playMenu_, "&Cancel", this,
                           [this] { program_->SetSelection({}, SelectionSource::None); });
    cancel->setShortcut(QKeySequence(Qt::Key_Escape));
    playTitleItems_.push_back(playMenu_->addSeparator());
    // The selection waiting to be played, handed to the title commands instead.
    playTitleItems_.push_back(Item(playMenu_, "&Edit", this, [this] { EditTitlesOfLastArea(); }));
    playTitleItems_.push_back(
        Item(playMenu_, "&Delete", this, [this] { DeleteTitlesOfLastArea(); }));
    for (auto [caption, feature] : {std::pair{"&Mail", TitleFeature::Mail},
                                    std::pair{"&Save to disk", TitleFeature::SaveToDisk}})
        playTitleItems_.push_back(Item(playMenu_, caption, this, [this, feature] {
            RunFeature(feature,
                       albumSide_ ? TitleSelection::AlbumTitles : TitleSelection::CategoryTitles);
        }));
}

void TMasterFrm::PlayKeys(const std::vector<int32_t>& keys, SelectionSource source, bool fromMenu) {
    if (!program_ || keys.empty())
        return;
    program_->SetSelectionKeys(keys, source);
    RunPlayMenu(fromMenu);
}

void TMasterFrm::RunPlayMenu(bool fromMenu) {
    PlayProgram::PlayPopupLayout layout = program_->PlayPopup(fromMenu);
    if (!layout.show) {
        program_->PlayTop();
        RefreshTransport();
        return;
    }
    playTopItem_->setText(QString::fromStdString(layout.firstCaption));
    playBottomItem_->setVisible(layout.bottomAndReplace);
    playReplaceItem_->setVisible(layout.bottomAndReplace);
    for (QAction* item : playTitleItems_)
        item->setVisible(!fromMenu);
    playMenu_->exec(QCursor::pos());
    for (QAction* item : playTitleItems_)
        item->setVisible(true);
}

void TMasterFrm::PlayTitleNow(TMyStringGrid* grid, int row) {
    if (!program_ || Locked() || !grid->View().HasRecord(row))
        return;
    SelectionSource source = grid->DragSource();
    program_->SetSelectionKeys({grid->View().MasterKey(row)}, source);
    program_->PlayTop();
    RefreshTransport();
}

bool TMasterFrm::DropTitles(QWidget* target, const DraggedTitles& titles) {
    if (Locked() || titles.source == SelectionSource::None || !program_)
        return false;
    // A tab of an empty category still names the category to rename or delete.
    if (target == EditCat || target == TrashCat)
        return DropOnEditOrTrash(target, titles);
    if (titles.keys.empty())
        return false;
    if (target == Play || target == PlayReplace) {
        program_->SetSelectionKeys(titles.keys, titles.source);
        if (target == Play)
            program_->PlayBottom();
        else
            program_->PlayTop();
        RefreshTransport();
        return true;
    }
    return DropOnFeature(target, titles);
}

// ------------------------------------------------------------------ the transport

void TMasterFrm::RefreshTransport() {
    if (!Pause)
        return;
    const bool locked = Locked();
    TransportState state = program_ ? program_->Transport() : InitialTransportState();
    auto apply = [](QToolButton* button, const ControlState& s, bool lockable, bool locked) {
        button->setEnabled(s.enabled && !(lockable && locked));
        QString hint = QString::fromStdString(s.hint);
        QString shortPart = hint.section('|', 0, 0);
        QString longPart = hint.contains('|') ? hint.section('|', 1) : hint;
        button->setToolTip(shortPart);
        button->setStatusTip(longPart);
        button->setAccessibleName(shortPart);
        button->setAccessibleDescription(longPart);
        switch (s.glyph) {
        case Glyph::Play:
            button->setIcon(tunquil::ui::Glyph(GlyphKind::Play));
            break;
        case Glyph::Pause:
            button->setIcon(tunquil::ui::Glyph(GlyphKind::Pause));
            break;
        case Glyph::Stop:
            button->setIcon(tunquil::ui::Glyph(GlyphKind::Stop));
            break;
        case Glyph::None:
            break;
        }
    };
    apply(PlayReplace, state.playReplace, false, locked);
    apply(Play, state.play, false, locked);
    apply(ProgView, state.progView, false, locked);
    apply(Shuffle, state.shuffle, false, locked);
    apply(MusicClear, state.musicClear, false, locked);
    apply(Back, state.back, true, locked);
    apply(PlayNext, state.playNext, true, locked);
    apply(RepeatSB, state.repeat, false, locked);
    apply(Pause, state.pause, false, locked);
    apply(OneStop, state.oneStop, false, locked);
    apply(AllStop, state.allStop, false, locked);
    apply(Volume, state.volume, true, locked);
    TrackBar1->setEnabled(state.trackBar.enabled && !locked);
    if (programMenu_)
        programMenu_->menuAction()->setEnabled(state.programMenu);
    if (!program_)
        return;
    const TrackBarState& bar = program_->TrackBar();
    if (!TrackBar1->isSliderDown()) {
        QSignalBlocker quiet(TrackBar1);
        TrackBar1->setRange(bar.min, std::max(bar.min, bar.max));
        TrackBar1->setPageStep(bar.pageSize);
        TrackBar1->setValue(bar.position);
    }
    panel_->Render(program_->Panel());
}

} // namespace tunquil::ui
