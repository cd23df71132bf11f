#include "ui/app/MasterMenus.h"

#include "database/TTitleGrid.h"
#include "ui/app/TMasterFrm.h"
#include "ui/controls/MenuItems.h"
#include "ui/controls/TAboutBox.h"
#include "ui/controls/TExtListView.h"
#include "ui/controls/THelpWindow.h"
#include "ui/controls/TMyStringGrid.h"
#include "ui/database/EditCommands.h"
#include "ui/export/ExportCommands.h"
#include "ui/import/ImportCommands.h"
#include "ui/integration/DesktopCommands.h"
#include "ui/midi/SoundCommands.h"

#include <QApplication>
#include <QColorDialog>
#include <QMenuBar>
#include <algorithm>

namespace tunquil::ui {

namespace {

QAction* FindIn(const QList<QAction*>& actions, const QString& caption) {
    for (QAction* a : actions)
        if (a->text() == caption || QString(a->text()).remove('&') == caption)
            return a;
    return nullptr;
}

void SortActiveCategoryGrid(TMyStringGrid* grid, TitleColumn column) {
    auto* titles = grid ? dynamic_cast<TTitleGrid*>(&grid->View()) : nullptr;
    if (!titles)
        return;
    const auto& columns = titles->Columns();
    auto at = std::find(columns.begin(), columns.end(), column);
    if (at != columns.end())
        titles->Sort(static_cast<int>(at - columns.begin()));
}

} // namespace

MasterMenus::MasterMenus(TMasterFrm& window) : window_(window) {}

QAction* MasterMenus::Find(const QStringList& captions) const {
    QList<QAction*> actions = window_.menuBar()->actions();
    QAction* found = nullptr;
    for (const QString& caption : captions) {
        found = FindIn(actions, caption);
        if (!found)
            return nullptr;
        actions = found->menu() ? found->menu()->actions() : QList<QAction*>{};
    }
    return found;
}

void MasterMenus::Build() {
    fileMenu_ = window_.menuBar()->addMenu("&File");
    window_.Import().AddFileItems(fileMenu_);
    fileMenu_->addSeparator();
    window_.Desktop().AddFileItems(fileMenu_);
    fileMenu_->addSeparator();
    QAction* exitItem = Item(fileMenu_, "E&xit", this, [this] { window_.close(); });
    exitItem->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));

    viewMenu_ = window_.menuBar()->addMenu("&View");
    tabColoursMenu_ = viewMenu_->addMenu("&Active tab colors...");
    Item(tabColoursMenu_, "&Background", this, [this] { ChooseTabColour(false); });
    Item(tabColoursMenu_, "&Font", this, [this] { ChooseTabColour(true); });
    viewMenu_->addSeparator();
    toolbarItem_ =
        Item(viewMenu_, "&Hide music toolbar", this, [this] { window_.ToggleToolbar(); });
    // Nothing happens while an area has only its summary tab.
    albumTabsItem_ = Item(viewMenu_, "Show album summary tab only", this, [this] {
        if (window_.AlbumsTabs()->count() > 1)
            window_.ShowAlbumTabs(!window_.Settings().showAlbTabs);
    });
    categoryTabsItem_ = Item(viewMenu_, "Show category summary tab only", this, [this] {
        if (window_.CategoriesTabs()->count() > 1)
            window_.ShowCategoryTabs(!window_.Settings().showCatTabs);
    });
    viewMenu_->addSeparator();
    window_.Sound().AddLyricsItem(viewMenu_);

    albumsMenu_ = window_.menuBar()->addMenu("&Albums");
    allAlbumsPlayItem_ = window_.Sound().AddPlayMenu(albumsMenu_, true);
    albumsMenu_->addSeparator();
    window_.Editing().AddAlbumItems(albumsMenu_);
    window_.Export().AddFeatureMenus(albumsMenu_, true);
    connect(albumsMenu_, &QMenu::aboutToShow, this, [this] {
        window_.MakeSideCurrent(true);
        Update();
    });

    categoriesMenu_ = window_.menuBar()->addMenu("&Categories");
    window_.Sound().AddPlayMenu(categoriesMenu_, false);
    categoriesMenu_->addSeparator();
    QMenu* sortBy = categoriesMenu_->addMenu("&Sort by");
    const std::pair<const char*, TitleColumn> sorts[] = {
        {"&Category", TitleColumn::Category}, {"&Artist", TitleColumn::Artist},
        {"&Title", TitleColumn::Title},       {"&Duration", TitleColumn::Duration},
        {"&Origin", TitleColumn::Origin},     {"Date &obtained", TitleColumn::DateObtained}};
    for (auto [caption, column] : sorts) {
        QAction* item = Item(sortBy, caption, this, [this, column] {
            SortActiveCategoryGrid(window_.ActiveCategoryGrid(), column);
        });
        if (column == TitleColumn::Category)
            sortByCategoryItem_ = item;
    }
    window_.Editing().AddCategoryItems(categoriesMenu_);
    categoriesMenu_->addSeparator();
    window_.Export().AddFeatureMenus(categoriesMenu_, false);
    connect(categoriesMenu_, &QMenu::aboutToShow, this, [this] {
        window_.MakeSideCurrent(false);
        Update();
    });

    // The titles of the side used last.
    titlesMenu_ = window_.menuBar()->addMenu("&Titles");
    window_.Sound().AddPlayTitlesItem(titlesMenu_);
    titlesMenu_->addSeparator();
    window_.Editing().AddTitleItems(titlesMenu_);
    window_.Export().AddTitlesItem(titlesMenu_, "&Mail", TitleFeature::Mail);
    window_.Export().AddTitlesItem(titlesMenu_, "&Save to disk", TitleFeature::SaveToDisk);
    window_.Export().AddTitlesItem(titlesMenu_, "Save as &audio...", TitleFeature::SaveAsAudio);
    window_.Export().AddTitlesItem(titlesMenu_, "P&rint", TitleFeature::Print);

    window_.Sound().AddProgramItems(window_.menuBar()->addMenu("&Program"));

    QMenu* settingsMenu = window_.menuBar()->addMenu("&Settings");
    confirmItem_ = Check(settingsMenu, "&Confirm before exit", this,
                         [this](bool on) { window_.WindowSettings().confirmBeforeExit = on; });
    remindItem_ = Check(settingsMenu, "&Remind to scan", this,
                        [this](bool on) { window_.WindowSettings().remindToScan = on; });
    settingsMenu->addSeparator();
    window_.Desktop().AddLaunchItem(settingsMenu);
    settingsMenu->addSeparator();
    window_.Sound().AddSettingsItems(settingsMenu);

    helpMenu_ = window_.menuBar()->addMenu("&Help");
    hintsItem_ = Check(helpMenu_, "&Show hints", this,
                       [this](bool on) { window_.WindowSettings().showAllHints = on; });
    Item(helpMenu_, "&Use help cursor", this, [this] { window_.SetHelpCursor(true); });
    // F1: the help topic of the control that has the keyboard (the window's own otherwise).
    auto* helpKey = new QAction(&window_);
    helpKey->setObjectName("HelpKey");
    helpKey->setShortcut(QKeySequence(Qt::Key_F1));
    connect(helpKey, &QAction::triggered, this, [this] {
        int context = 0;
        for (QWidget* w = QApplication::focusWidget(); w && context <= 0; w = w->parentWidget())
            context = w->property("helpContext").toInt();
        THelpWindow::ShowTopic(context > 0 ? context : 1000, &window_);
    });
    window_.addAction(helpKey);
    Item(helpMenu_, "&View help file", this, [this] { THelpWindow::ShowContents(&window_); });
    helpMenu_->addSeparator();
    Item(helpMenu_, "&About...", this, [this] { TAboutBox::Execute(&window_); });

    // The right-click menus repeat the side's menu, with the active tab colours.
    categoryPopup_ = new QMenu(&window_);
    categoryPopup_->addActions(categoriesMenu_->actions());
    albumPopup_ = new QMenu(&window_);
    albumPopup_->addActions(albumsMenu_->actions());
    for (QMenu* popup : {categoryPopup_, albumPopup_}) {
        popup->addSeparator();
        QMenu* colours = popup->addMenu("Active &tab colors");
        colours->addActions(tabColoursMenu_->actions());
        connect(popup, &QMenu::aboutToShow, this, &MasterMenus::Update);
    }
    for (QMenu* menu : window_.menuBar()->findChildren<QMenu*>())
        menu->setAccessibleName(QString(menu->title()).remove('&'));
    window_.Editing().BuildPopups(titlesMenu_, categoryPopup_);
    window_.Editing().AttachKeys(&window_);
    // The PLAY pop-up: where to play, then the selection's own commands.
    QMenu* play = window_.Sound().BuildPlayPopup(&window_);
    play->addSeparator();
    window_.Editing().AddTitleItems(play);
    window_.Export().AddTitlesItem(play, "&Mail", TitleFeature::Mail);
    window_.Export().AddTitlesItem(play, "&Save to disk", TitleFeature::SaveToDisk);
    window_.Export().AddTitlesItem(play, "Save as &audio...", TitleFeature::SaveAsAudio);
    ApplySettings();
}

void MasterMenus::ApplySettings() {
    if (!toolbarItem_)
        return;
    const MainWindowSettings& settings = window_.Settings();
    const bool tools = settings.showTools;
    toolbarItem_->setText(tools ? "&Hide music toolbar" : "&Show music toolbar");
    albumTabsItem_->setText(settings.showAlbTabs ? "Show album summary tab only"
                                                 : "Show all album tabs");
    categoryTabsItem_->setText(settings.showCatTabs ? "Show category summary tab only"
                                                    : "Show all category tabs");
    for (auto [item, on] : {std::pair{confirmItem_, settings.confirmBeforeExit},
                            std::pair{remindItem_, settings.remindToScan},
                            std::pair{hintsItem_, settings.showAllHints}})
        item->setChecked(on);
    window_.Desktop().ShowSettings(settings);
    window_.Sound().ShowSettings(settings);
}

void MasterMenus::ApplyLock(bool locked) {
    for (QMenu* m : {fileMenu_, viewMenu_, albumsMenu_, categoriesMenu_, helpMenu_})
        if (m)
            m->menuAction()->setEnabled(!locked);
}

void MasterMenus::Update() {
    if (!titlesMenu_)
        return;
    const bool locked = window_.Locked();
    TMyStringGrid* grid =
        window_.AlbumSideCurrent() ? window_.ActiveAlbumGrid() : window_.ActiveCategoryGrid();
    const bool titlesSelected = grid && grid->View().SelectedCount() > 0;
    titlesMenu_->menuAction()->setEnabled(!locked && titlesSelected);
    TExtListView* albumList = window_.AlbumList();
    const bool anyAlbums = albumList && albumList->RowCount() > 0;
    allAlbumsPlayItem_->setEnabled(anyAlbums);
    TMyStringGrid* categoryGrid = window_.ActiveCategoryGrid();
    if (sortByCategoryItem_)
        sortByCategoryItem_->setEnabled(categoryGrid && categoryGrid == window_.AllTitlesGrid());
    // The Categories and Albums menus' items by what is selected.
    const bool onCategory = window_.ActiveCategoryKey() != 0;
    const bool categoryTitles = !window_.SelectionKeys(TitleSelection::CategoryTitles).empty();
    const bool onAlbum = window_.AlbumsTabs()->currentIndex() > 0;
    const bool albumRow = !albumList->SelectedRows().empty();
    const bool albumTitles = onAlbum && !window_.SelectionKeys(TitleSelection::AlbumTitles).empty();
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
    window_.Editing().UpdateItems();
}

void MasterMenus::ChooseTabColour(bool font) {
    TExtPageControl* Categories = window_.CategoriesTabs();
    QColor initial = font ? Categories->TabActiveFontColor() : Categories->TabActiveColor();
    QColor chosen = QColorDialog::getColor(initial, &window_);
    if (!chosen.isValid())
        return;
    if (font)
        window_.SetTabColours(Categories->TabActiveColor(), chosen);
    else
        window_.SetTabColours(chosen, Categories->TabActiveFontColor());
}

} // namespace tunquil::ui
