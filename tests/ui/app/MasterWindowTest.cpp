// The main window offscreen: its menu tree, lock, layout rules, options and settings, sorting
// from the menu, and titles played from the grids and the drop targets on a fake sequencer.

#include "app/PlayProgram.h"
#include "app/TestTunes.h"
#include "base/IniFile.h"
#include "base/ScriptedHost.h"
#include "database/TAlbList.h"
#include "midi/TMyMidi.h"
#include "platform/FakeSequencerDevice.h"
#include "ui/GuiTestApp.h"
#include "ui/ModalScript.h"
#include "ui/TunquilApp.h"
#include "ui/WindowLibrary.h"
#include "ui/app/TMasterFrm.h"
#include "ui/controls/TCDPanelP.h"
#include "ui/controls/TExtListView.h"
#include "ui/controls/TExtPageControl.h"
#include "ui/controls/TFlashLabel.h"
#include "ui/controls/THelpWindow.h"
#include "ui/controls/TMyStringGrid.h"
#include "ui/midi/LyricsPane.h"
#include "ui/midi/SoundCommands.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QStatusTipEvent>
#include <QTabBar>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QWhatsThis>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace tunquil::ui {
namespace {

class MasterWindowTest : public ::testing::Test {
protected:
    test::TempDir home;
    std::vector<int32_t> keys;
    platform::FakeSequencerDevice* device = nullptr;

    void SetUp() override {
        test::GuiTestApp();
        test::LibraryWriter library(home.path());
        keys = library.AddThreeTitles();
        int seconds = 10;
        for (int32_t key : keys)
            library.data.Database().SetDuration(seconds++ * (key == keys[1] ? 3 : 1), key);
        library.albums.AppendTitles(library.albums.AddAlbum("Mix"), {keys[0], keys[1]});
    }

    void WriteIni(const std::string& text) { home.Write("Tunquil.ini", text); }

    std::unique_ptr<TMasterFrm> Start() {
        auto fake = std::make_unique<platform::FakeSequencerDevice>();
        device = fake.get();
        return test::StartShownWindow(home.path(), std::move(fake));
    }

    static std::vector<std::string> GridTitles(TMyStringGrid* grid) {
        std::vector<std::string> titles;
        for (int row = 1; row <= grid->View().TitleCount(); ++row)
            titles.push_back(std::string(grid->View().Row(row).title));
        return titles;
    }
};

TEST_F(MasterWindowTest, MenuTreeHasEveryItemWithItsChecksAndRules) {
    auto window = Start();
    ASSERT_TRUE(window);
    const std::vector<QStringList> paths = {
        {"&File", "&Open"},
        {"&File", "Scan a &drive for MIDI files..."},
        {"&File", "&Scan system for MIDI files..."},
        {"&File", "Set Tunquil as default &MIDI player"},
        {"&File", "&Restore original default MIDI player"},
        {"&File", "&Manage Navigator plugin..."},
        {"&File", "E&xit"},
        {"&View", "&Active tab colors...", "&Background"},
        {"&View", "&Active tab colors...", "&Font"},
        {"&View", "&Hide music toolbar"},
        {"&View", "Show album summary tab only"},
        {"&View", "Show category summary tab only"},
        {"&View", "&Lyrics"},
        {"&Albums", "Play", "A&ll albums"},
        {"&Albums", "&Create new"},
        {"&Albums", "&Rename"},
        {"&Albums", "&Delete", "&Album selected"},
        {"&Albums", "&Mail", "&Titles selected"},
        {"&Albums", "Archive", "A&ll albums"},
        {"&Albums", "&Save to disk", "&Album selected"},
        {"&Albums", "Save as &audio", "A&ll albums"},
        {"&Categories", "Save as &audio", "Active &category"},
        {"&Albums", "P&rint", "&Title(s) selected"},
        {"&Categories", "&Play", "Active &category"},
        {"&Categories", "&Sort by", "Date &obtained"},
        {"&Categories", "&Delete", "Active &category"},
        {"&Categories", "P&rint", "&All categories"},
        {"&Titles", "&Play"},
        {"&Titles", "P&rint"},
        {"&Titles", "Save as &audio..."},
        {"&Program", "&View titles"},
        {"&Program", "&Erase and stop play"},
        {"&Settings", "&Launch at login"},
        {"&Settings", "&Reset before play", "G&S only"},
        {"&Help", "&Use help cursor"},
        {"&Help", "&About..."},
    };
    for (const QStringList& path : paths)
        EXPECT_NE(window->MenuItem(path), nullptr) << path.join(" > ").toStdString();

    EXPECT_FALSE(window->MenuItem({"&File", "&Restore original default MIDI player"})->isEnabled());
    EXPECT_FALSE(window->MenuItem({"&File", "&Manage Navigator plugin..."})->isVisible());
    EXPECT_TRUE(window->MenuItem({"&Settings", "&Auto looping"})->isChecked());
    EXPECT_TRUE(window->MenuItem({"&Settings", "&Reset before play", "&None"})->isChecked());
    window->MenuItem({"&Settings", "&Reset before play", "GS &then GM"})->trigger();
    EXPECT_FALSE(window->MenuItem({"&Settings", "&Reset before play", "&None"})->isChecked());
    EXPECT_EQ(window->Program()->GetResetChoice(), ResetChoice::GSThenGM);
    // The lyrics window's check mark follows the window, also when the user closes it.
    QAction* lyrics = window->MenuItem({"&View", "&Lyrics"});
    lyrics->trigger();
    ASSERT_TRUE(window->Sound().Lyrics());
    EXPECT_TRUE(window->Sound().Lyrics()->isVisible());
    window->Sound().Lyrics()->close();
    EXPECT_FALSE(lyrics->isChecked());

    // Titles: only while titles are selected in the current view. Program: while active.
    EXPECT_TRUE(window->MenuItem({"&Titles"})->isEnabled()); // the first row starts selected
    window->AllTitlesGrid()->View().ClearSelection();
    EXPECT_FALSE(window->MenuItem({"&Titles"})->isEnabled());
    EXPECT_FALSE(window->MenuItem({"&Program"})->isEnabled());
    window->ShutDown();
}

TEST_F(MasterWindowTest, LocksNestAndCoverTheDropTargetsAndTheLoadAndScanButtons) {
    auto window = Start();
    ASSERT_TRUE(window);
    auto* play = static_cast<QToolButton*>(window->Control("Play"));
    DraggedTitles titles{SelectionSource::CategoryGrid, {keys[0]}};
    window->Lock();
    window->Lock();
    window->Unlock();
    EXPECT_TRUE(window->Locked()); // one long operation still runs
    for (const char* name : {"NewAlb", "GetLocal", "DriveScan", "LoadFiles", "TrackBar1"})
        EXPECT_FALSE(window->Control(name)->isEnabled()) << name;
    EXPECT_FALSE(window->MenuItem({"&File"})->isEnabled());
    EXPECT_FALSE(window->DropTitles(play, titles));
    EXPECT_TRUE(window->Program()->Entries().empty());
    window->Unlock();
    EXPECT_FALSE(window->Locked());
    EXPECT_TRUE(window->Control("GetLocal")->isEnabled());
    EXPECT_TRUE(window->MenuItem({"&File"})->isEnabled());
    EXPECT_TRUE(window->DropTitles(play, titles));
    EXPECT_EQ(window->Program()->Entries(), std::vector<std::string>{std::to_string(keys[0])});
    window->ShutDown();
}

TEST_F(MasterWindowTest, SavedAlbumPanelWiderThanTheWindowLeavesBothPanelsTheirMinimum) {
    WriteIni("[Format]\nAlbPanelWidth=5000\nWidth=700\nHeight=500\n");
    auto window = Start();
    ASSERT_TRUE(window);
    window->resize(700, 500);
    window->LayOutDatabaseArea();
    EXPECT_GE(window->AlbumPanel()->width(), 140);
    EXPECT_GE(window->CategoryPanel()->width(), 140);
    EXPECT_LE(window->CategoryPanel()->geometry().right(), window->width());
    window->ShutDown();
}

TEST_F(MasterWindowTest, SavedBoundsAndPanelWidthHoldWhenTheWindowFirstShows) {
    // As the program starts: the saved bounds are applied to the hidden window, then it shows.
    WriteIni("[Format]\nTop=0\nLeft=0\nWidth=1000\nHeight=640\nAlbPanelWidth=260\n");
    auto fake = std::make_unique<platform::FakeSequencerDevice>();
    std::string error;
    auto window = StartMainWindow(home.path().string(), error, std::move(fake));
    ASSERT_TRUE(window) << error;
    window->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(window->Settings().albPanelWidth, 260);
    QWidget* top = window->Control("TopPanel");
    QWidget* panel = window->Control("CDPanel");
    ASSERT_TRUE(top && panel);
    EXPECT_EQ(panel->parentWidget()->width(), top->width());
    window->ShutDown();
}

TEST_F(MasterWindowTest, ToolbarAndSummaryTabOptionsShowAndHideAndAreSaved) {
    auto window = Start();
    ASSERT_TRUE(window);
    window->ToggleToolbar();
    for (const char* name : {"LoadFiles", "DriveScan", "Archive", "PrintCat"})
        EXPECT_FALSE(window->Control(name)->isVisible()) << name;
    EXPECT_EQ(window->AlbumPanel()->y(), 0);
    EXPECT_NE(window->MenuItem({"&View", "&Show music toolbar"}), nullptr);

    window->AlbumsTabs()->setCurrentIndex(1);
    window->MenuItem({"&View", "Show album summary tab only"})->trigger();
    EXPECT_EQ(window->AlbumsTabs()->currentIndex(), 0);
    EXPECT_FALSE(window->AlbumsTabs()->isTabVisible(1));
    EXPECT_NE(window->MenuItem({"&View", "Show all album tabs"}), nullptr);
    window->MenuItem({"&Settings", "&Auto looping"})->trigger();
    window->ShutDown();

    IniFile ini(home.path() / "Tunquil.ini");
    EXPECT_FALSE(ini.ReadBool("Setup", "ShowTools", true));
    EXPECT_FALSE(ini.ReadBool("Setup", "ShowAlbTabs", true));
    EXPECT_TRUE(ini.ReadBool("Setup", "ShowCatTabs", false));
    EXPECT_FALSE(ini.ReadBool("Setup", "AutoLooping", true));
    EXPECT_EQ(ini.ReadInteger("Format", "TabActiveFontColor", 0), 32768);

    auto again = Start();
    ASSERT_TRUE(again);
    EXPECT_FALSE(again->Control("Archive")->isVisible());
    EXPECT_FALSE(again->AlbumsTabs()->isTabVisible(1));
    EXPECT_FALSE(again->MenuItem({"&Settings", "&Auto looping"})->isChecked());
    again->ShutDown();
}

TEST_F(MasterWindowTest, SortingFromTheMenuReordersTheActiveGrid) {
    auto window = Start();
    ASSERT_TRUE(window);
    TMyStringGrid* grid = window->AllTitlesGrid();
    window->MenuItem({"&Categories", "&Sort by", "&Duration"})->trigger();
    EXPECT_EQ(GridTitles(grid), (std::vector<std::string>{"Charlie", "Bravo", "alpha"}));
    window->MenuItem({"&Categories", "&Sort by", "&Title"})->trigger();
    EXPECT_EQ(GridTitles(grid), (std::vector<std::string>{"alpha", "Bravo", "Charlie"}));
    // A second click on the sorting column's header reverses the order; the header shows it.
    QHeaderView* header = grid->horizontalHeader();
    EXPECT_EQ(header->sortIndicatorSection(), 2);
    emit header->sectionClicked(2);
    EXPECT_EQ(GridTitles(grid), (std::vector<std::string>{"Charlie", "Bravo", "alpha"}));
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    emit header->sectionClicked(2);
    EXPECT_EQ(GridTitles(grid), (std::vector<std::string>{"alpha", "Bravo", "Charlie"}));
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    // A category grid has no Category column to sort by.
    window->CategoriesTabs()->setCurrentIndex(1);
    EXPECT_FALSE(window->MenuItem({"&Categories", "&Sort by", "&Category"})->isEnabled());
    window->ShutDown();
}

TEST_F(MasterWindowTest, DoubleClickedTitlePlaysAndTheTransportFollows) {
    auto window = Start();
    ASSERT_TRUE(window);
    TMyStringGrid* grid = window->AllTitlesGrid();
    int row = grid->View().FindRow(keys[2]);
    emit grid->titleDoubleClicked(row);
    PlayProgram* program = window->Program();
    ASSERT_TRUE(program->Active());
    EXPECT_EQ(program->CurrentKey(), keys[2]);
    program->Tick(); // what the position timer does
    window->RefreshTransport();
    EXPECT_EQ(window->NowPlayingPanel()->ItemLabel(TCDPanelP::Item::Title)->text().toStdString(),
              "Bravo");
    auto* pause = static_cast<QToolButton*>(window->Control("Pause"));
    ASSERT_TRUE(pause->isEnabled());
    pause->click();
    EXPECT_EQ(pause->accessibleName().toStdString(), "Resume");
    auto* stop = static_cast<QToolButton*>(window->Control("OneStop"));
    stop->click();
    EXPECT_EQ(stop->accessibleName().toStdString(), "Play");
    window->ShutDown();
}

TEST_F(MasterWindowTest, DraggingThePositionBarSeeksThePlayingTitle) {
    auto window = Start();
    ASSERT_TRUE(window);
    QSlider* bar = window->TrackBar();
    bar->setValue(5); // nothing plays: the bar snaps back
    EXPECT_EQ(bar->value(), 0);

    TMyStringGrid* grid = window->AllTitlesGrid();
    emit grid->titleDoubleClicked(1);
    ASSERT_TRUE(window->Program()->Active());
    EXPECT_EQ(bar->maximum(), 60); // the fake device's length of 60 s
    bar->setSliderDown(true);
    bar->setValue(42);
    bar->setSliderDown(false); // the release
    const auto& last = device->calls.back();
    EXPECT_EQ(last.command, platform::FakeSequencerDevice::Command::Play);
    EXPECT_EQ(last.from, std::optional<uint32_t>(42000));
    window->ShutDown();
}

// A wheel turn, a key or a click in the groove changed the bar's value without a press and a
// release: the title did not seek, and the bar stopped following the play until dragged.
TEST_F(MasterWindowTest, KeysAndTheWheelOnThePositionBarSeekAndResumeAPausedTitle) {
    auto window = Start();
    ASSERT_TRUE(window);
    QSlider* bar = window->TrackBar();
    emit window->AllTitlesGrid()->titleDoubleClicked(1);
    PlayProgram* program = window->Program();
    ASSERT_TRUE(program->Active());

    QTest::keyClick(bar, Qt::Key_Right);
    EXPECT_EQ(device->calls.back().command, platform::FakeSequencerDevice::Command::Play);
    EXPECT_EQ(device->calls.back().from, std::optional<uint32_t>(5000));
    // The bar follows the play again at once.
    device->positionMs = 20000;
    program->Tick();
    window->RefreshTransport();
    EXPECT_EQ(bar->value(), 20);

    QWheelEvent wheel(QPointF(5, 5), bar->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(bar, &wheel);
    EXPECT_EQ(device->calls.back().command, platform::FakeSequencerDevice::Command::Play);
    EXPECT_NE(device->calls.back().from, std::optional<uint32_t>(20000));

    // Paused, a key resumes the title at the new point; so does a press on the handle.
    program->PauseOrResume();
    ASSERT_EQ(program->SafeMode(), TMyMidi::kPaused);
    QTest::keyClick(bar, Qt::Key_PageDown);
    EXPECT_EQ(program->SafeMode(), TMyMidi::kPlaying);
    program->PauseOrResume();
    ASSERT_EQ(program->SafeMode(), TMyMidi::kPaused);
    bar->setSliderDown(true);
    EXPECT_EQ(program->SafeMode(), TMyMidi::kPlaying);
    bar->setSliderDown(false);

    // Titles dropped on Add join the program at its end; on Add+Play they play first.
    const std::size_t before = program->Entries().size();
    ASSERT_TRUE(
        window->DropTitles(window->Control("Play"), {SelectionSource::CategoryGrid, {keys[2]}}));
    ASSERT_EQ(program->Entries().size(), before + 1);
    EXPECT_EQ(program->Entries().back(), std::to_string(keys[2]));
    ASSERT_TRUE(window->DropTitles(window->Control("PlayReplace"),
                                   {SelectionSource::CategoryGrid, {keys[1]}}));
    EXPECT_EQ(program->Entries().front(), std::to_string(keys[1]));
    EXPECT_EQ(program->SafeMode(), TMyMidi::kPlaying);
    window->ShutDown();
}

TEST_F(MasterWindowTest, TheMusicControlsHaveKeysNamedInTheirHintsAndF1AndEscServeHelp) {
    auto window = Start();
    ASSERT_TRUE(window);
    auto press = [&](QKeySequence keys) {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        window->AllTitlesGrid()->setFocus();
        QTest::keySequence(QApplication::focusWidget(), keys);
    };
    window->MenuItem({"&Categories", "&Play", "&All categories"})->trigger();
    PlayProgram* program = window->Program();
    ASSERT_EQ(program->Entries().size(), 3u);
    const std::string first = program->Entries()[program->CurrentIndex()];
    press(QKeySequence(Qt::CTRL | Qt::Key_Right));
    EXPECT_NE(program->Entries()[program->CurrentIndex()], first);
    press(QKeySequence(Qt::CTRL | Qt::Key_Space));
    EXPECT_EQ(program->SafeMode(), TMyMidi::kPaused);
    press(QKeySequence(Qt::CTRL | Qt::Key_Space));
    EXPECT_EQ(program->SafeMode(), TMyMidi::kPlaying);
    press(QKeySequence(Qt::ALT | Qt::Key_Right));
    EXPECT_EQ(device->calls.back().from, std::optional<uint32_t>(5000));
    press(QKeySequence(Qt::CTRL | Qt::Key_Down));
    EXPECT_EQ(window->HintPanel()->text(), "Volume 90 %");
    EXPECT_EQ(window->Control("Pause")->toolTip(),
              "Pause (" +
                  QKeySequence(Qt::CTRL | Qt::Key_Space).toString(QKeySequence::NativeText) + ")");
    EXPECT_EQ(window->Control("Pause")->accessibleName(), "Pause");

    // Insert adds the selected titles to the program's end, Shift+Insert plays them first.
    TMyStringGrid* grid = window->AllTitlesGrid();
    grid->PressRow(grid->View().FindRow(keys[2]), Qt::NoModifier);
    press(QKeySequence(Qt::Key_Insert));
    ASSERT_EQ(program->Entries().size(), 4u);
    EXPECT_EQ(program->Entries().back(), std::to_string(keys[2]));
    press(QKeySequence(Qt::SHIFT | Qt::Key_Insert));
    EXPECT_EQ(program->Entries().front(), std::to_string(keys[2]));

    press(QKeySequence(Qt::Key_F1));
    ASSERT_NE(THelpWindow::Instance(), nullptr);
    EXPECT_EQ(THelpWindow::Instance()->Browser()->source(), THelpWindow::TopicUrl(12));
    THelpWindow::Quit();
    window->SetHelpCursor(true);
    press(QKeySequence(Qt::Key_Escape));
    EXPECT_FALSE(window->HelpCursor());
    window->ShutDown();
}

TEST_F(MasterWindowTest, TempoAndKeyBesideThePositionBarShapeThePlayingTitleUntilTheNext) {
    auto window = Start();
    ASSERT_TRUE(window);
    auto* tempo = static_cast<QSpinBox*>(window->Control("Tempo"));
    auto* key = static_cast<QSpinBox*>(window->Control("Transpose"));
    ASSERT_TRUE(tempo && key);
    EXPECT_FALSE(tempo->isEnabled()); // nothing plays: a change would not last
    window->MenuItem({"&Categories", "&Play", "&All categories"})->trigger();
    window->RefreshTransport();
    ASSERT_TRUE(tempo->isEnabled());

    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->AllTitlesGrid()->setFocus();
    QTest::keySequence(QApplication::focusWidget(),
                       QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Right));
    QTest::keySequence(QApplication::focusWidget(),
                       QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Up));
    EXPECT_EQ(device->tempo, 1.05);
    EXPECT_EQ(device->transpose, 1);
    EXPECT_EQ(tempo->text(), "105 %");
    EXPECT_EQ(key->text(), "+1");
    QTest::keyClick(tempo, Qt::Key_Up);
    QTest::keyClick(key, Qt::Key_Down);
    QTest::keyClick(key, Qt::Key_Down);
    EXPECT_EQ(device->tempo, 1.1);
    EXPECT_EQ(key->text(), "-1");
    EXPECT_EQ(device->transpose, -1);

    // The next title plays at its own speed and key, unless they are kept.
    window->MenuItem({"&Program", "&Next title"})->trigger();
    EXPECT_EQ(device->tempo, 1.0);
    EXPECT_EQ(tempo->value(), 100);
    EXPECT_EQ(key->value(), 0);
    window->MenuItem({"&Program", "Keep tempo and key for the &next titles"})->trigger();
    tempo->setValue(80);
    window->MenuItem({"&Program", "&Next title"})->trigger();
    EXPECT_EQ(device->tempo, 0.8);
    EXPECT_EQ(tempo->value(), 80);
    EXPECT_TRUE(window->WindowSettings().keepTempo);
    EXPECT_EQ(window->WindowSettings().tempoPercent, 80);
    window->ShutDown();
}

// Type-ahead moved Qt's current index but not the grid's row and selection, so Enter played a
// row the user no longer saw; Tab stayed inside the grid.
TEST_F(MasterWindowTest, TypeAheadMovesTheSelectionEnterPlaysItAndTabLeavesTheGrid) {
    auto window = Start();
    ASSERT_TRUE(window);
    TMyStringGrid* grid = window->AllTitlesGrid();
    grid->setFocus();
    TTitleView& view = grid->View();
    const int titleColumn = 2;
    grid->setCurrentIndex(grid->model()->index(0, titleColumn));
    QTest::keyClicks(grid, "c");
    const int charlie = view.FindRow(keys[0]);
    EXPECT_EQ(view.CurrentRow(), charlie);
    EXPECT_EQ(view.SelectedKeys(), std::vector<int32_t>{keys[0]});
    QTest::keyClick(grid, Qt::Key_Return);
    ASSERT_TRUE(window->Program()->Active());
    EXPECT_EQ(window->Program()->Entries().front(), std::to_string(keys[0]));

    QTest::keyClick(grid, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(view.SelectedCount(), 3);

    QTest::keyClick(grid, Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), grid);
    window->ShutDown();
}

TEST_F(MasterWindowTest, TheFindFieldFiltersTheShownGridAndCommandsActOnTheShownRowsOnly) {
    auto window = Start();
    ASSERT_TRUE(window);
    auto* find = window->findChild<QLineEdit*>("FindTitles");
    ASSERT_NE(find, nullptr);
    TMyStringGrid* grid = window->AllTitlesGrid();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    grid->setFocus();
    QTest::keySequence(grid, QKeySequence::Find);
    EXPECT_EQ(QApplication::focusWidget(), find);
    QTest::keyClicks(find, "BRAV");
    EXPECT_EQ(GridTitles(grid), std::vector<std::string>{"Bravo"});
    EXPECT_EQ(window->AllTitlesSummary()->text().toStdString(), "1 of 3 titles  ---  0:12");
    // Another tab keeps the words; sorting sorts the matches.
    window->CategoriesTabs()->setCurrentIndex(1);
    window->CategoriesTabs()->setCurrentIndex(0);
    EXPECT_EQ(GridTitles(grid), std::vector<std::string>{"Bravo"});

    // Select all and delete: only the row shown goes.
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(grid->View().SelectedKeys(), std::vector<int32_t>{keys[2]});
    {
        test::ModalScript sure({test::ModalScript::Answer(mbOK)});
        QTest::keyClick(grid, Qt::Key_Delete);
    }
    EXPECT_EQ(grid->View().TitleCount(), 0);
    // Esc in the field empties it and gives the grid every other title back.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    find->setFocus();
    QTest::keyClick(find, Qt::Key_Escape);
    EXPECT_TRUE(find->text().isEmpty());
    EXPECT_EQ(QApplication::focusWidget(), grid);
    EXPECT_EQ(GridTitles(grid).size(), 2u);
    EXPECT_EQ(grid->View().FindRow(keys[2]), -1);
    window->ShutDown();
}

// A grid left while filtered used to keep its words after the field was emptied: "All
// categories" then played only the old matches. Every grid follows the words, shown or not.
TEST_F(MasterWindowTest, EveryGridFollowsTheFindFieldShownOrNot) {
    auto window = Start();
    ASSERT_TRUE(window);
    auto* find = window->findChild<QLineEdit*>("FindTitles");
    ASSERT_NE(find, nullptr);
    TMyStringGrid* all = window->AllTitlesGrid();
    find->setText("brav");
    EXPECT_EQ(GridTitles(all), std::vector<std::string>{"Bravo"});
    window->CategoriesTabs()->setCurrentIndex(1);
    EXPECT_EQ(GridTitles(window->ActiveCategoryGrid()), std::vector<std::string>{"Bravo"});
    EXPECT_TRUE(window->SelectionKeys(TitleSelection::AllAlbums).empty()); // Mix has no Bravo
    find->clear();
    EXPECT_EQ(GridTitles(all).size(), 3u);
    EXPECT_EQ(window->AllTitlesSummary()->text().toStdString(), "3 titles  ---  0:55");
    EXPECT_EQ(window->SelectionKeys(TitleSelection::AllAlbums),
              (std::vector<int32_t>{keys[0], keys[1]}));
    window->MenuItem({"&Categories", "&Play", "&All categories"})->trigger();
    EXPECT_EQ(window->Program()->Entries().size(), 3u);
    window->ShutDown();
}

TEST_F(MasterWindowTest, AlbumGridsAreFittedAndNarrowWindowsKeepTheUsersAlbumWidth) {
    WriteIni("[Format]\nAlbPanelWidth=400\nWidth=1000\nHeight=600\n");
    auto window = Start();
    ASSERT_TRUE(window);
    window->resize(1000, 600);
    QCoreApplication::processEvents();
    // The album grid was never fitted to its entries.
    QWidget* page = window->AlbumsTabs()->widget(1);
    auto* albumGrid = page ? page->findChild<TMyStringGrid*>() : nullptr;
    ASSERT_NE(albumGrid, nullptr);
    std::vector<int> widths;
    for (int c = 0; c < albumGrid->model()->columnCount(); ++c)
        widths.push_back(albumGrid->columnWidth(c));
    albumGrid->FitColumns();
    for (int c = 0; c < albumGrid->model()->columnCount(); ++c)
        EXPECT_EQ(albumGrid->columnWidth(c), widths[c]) << c;

    // A narrower window shows a narrower album panel but keeps the width the user chose.
    window->resize(500, 600);
    QCoreApplication::processEvents();
    EXPECT_EQ(window->Settings().albPanelWidth, 400);
    window->resize(1000, 600);
    QCoreApplication::processEvents();
    EXPECT_EQ(window->Settings().albPanelWidth, 400);
    window->ShutDown();
}

TEST_F(MasterWindowTest, PlayFromAMenuOffersTopBottomReplaceOnceTheProgramIsActive) {
    auto window = Start();
    ASSERT_TRUE(window);
    // Inactive program: Play from a menu plays at once, without the pop-up.
    window->MenuItem({"&Categories", "&Play", "&All categories"})->trigger();
    PlayProgram* program = window->Program();
    ASSERT_TRUE(program->Active());
    ASSERT_EQ(program->Entries().size(), 3u);

    QMenu* popup = window->PlayPopupMenu();
    std::vector<std::string> shown;
    QTimer::singleShot(0, popup, [&] {
        for (QAction* a : popup->actions())
            if (a->isVisible() && !a->isSeparator())
                shown.push_back(a->text().toStdString());
        for (QAction* a : popup->actions())
            if (a->text() == "PLAY: &Bottom of program")
                a->trigger();
        popup->close();
    });
    window->CategoriesTabs()->setCurrentIndex(0);
    window->AllTitlesGrid()->View().SelectOnly(1);
    window->MenuItem({"&Categories", "&Play", "&Titles selected"})->trigger();
    EXPECT_EQ(shown, (std::vector<std::string>{"PLAY: &Top of program", "PLAY: &Bottom of program",
                                               "PLAY: &Replace program", "&Cancel"}));
    EXPECT_EQ(program->Entries().size(), 4u);
    EXPECT_EQ(program->Entries().back(),
              std::to_string(window->AllTitlesGrid()->View().MasterKey(1)));
    window->ShutDown();
}

TEST_F(MasterWindowTest, HelpCursorAndTheAddButtonsShowHelpInsteadOfActing) {
    auto window = Start();
    ASSERT_TRUE(window);
    static_cast<QToolButton*>(window->Control("Play"))->click();
    EXPECT_TRUE(window->Program()->Entries().empty());
    // The status bar shows the long part of the hint of the control under the mouse.
    QStatusTipEvent tip(window->Control("GetLocal")->statusTip());
    QApplication::sendEvent(window->Control("GetLocal"), &tip);
    EXPECT_EQ(window->HintPanel()->text().toStdString(), "Scan system for MIDIs");
    window->MenuItem({"&Help", "&Use help cursor"})->trigger();
    ASSERT_TRUE(window->HelpCursor());
    QTest::mouseClick(window->Control("NewAlb"), Qt::LeftButton);
    EXPECT_FALSE(window->HelpCursor()); // one click, then the cursor is the default again
    QWhatsThis::hideText();
    window->ShutDown();
}

TEST_F(MasterWindowTest, EveryControlHasAnAccessibleName) {
    auto window = Start();
    ASSERT_TRUE(window);
    for (QWidget* w : window->findChildren<QWidget*>()) {
        bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QAbstractSlider*>(w) ||
                       qobject_cast<QAbstractItemView*>(w) || qobject_cast<QTabBar*>(w) ||
                       qobject_cast<QProgressBar*>(w);
        // Scroll bars and Qt's own helper buttons ("qt_..." names) are named by Qt.
        if (!control || qobject_cast<QScrollBar*>(w) || w->inherits("QTableCornerButton") ||
            w->objectName().startsWith("qt_"))
            continue;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(a, nullptr);
        EXPECT_FALSE(a->text(QAccessible::Name).isEmpty())
            << w->metaObject()->className() << " " << w->objectName().toStdString();
    }
    // The summary line and the hint panel read as their texts (they used to read "Summary"
    // and "Hint"); the grids' hint goes to the status bar, never to a tooltip over the cells.
    QAccessibleInterface* summary =
        QAccessible::queryAccessibleInterface(window->AllTitlesSummary());
    EXPECT_EQ(summary->text(QAccessible::Name), window->AllTitlesSummary()->text());
    EXPECT_EQ(summary->text(QAccessible::Description), "Summary");
    window->HintPanel()->setText("Play the next title in the program");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(window->HintPanel())->text(QAccessible::Name),
              "Play the next title in the program");
    EXPECT_TRUE(window->AllTitlesGrid()->toolTip().isEmpty());
    EXPECT_FALSE(window->AllTitlesGrid()->statusTip().isEmpty());
    window->ShutDown();
}

TEST_F(MasterWindowTest, TheWindowComesBackAsItWasLeft) {
    {
        auto window = Start();
        ASSERT_TRUE(window);
        window->CategoriesTabs()->setCurrentIndex(1);
        window->AlbumsTabs()->setCurrentIndex(1);
        window->MenuItem({"&Categories", "&Sort by", "&Title"})->trigger();
        window->AllTitlesGrid()->setColumnWidth(2, 222);
        for (QCheckBox* box : window->findChildren<QCheckBox*>())
            if (box->text() == "show album details")
                box->setChecked(false);
        window->showMaximized();
        window->MenuItem({"&Categories", "&Play", "&All categories"})->trigger();
        ASSERT_EQ(window->Program()->Entries().size(), 3u);
        window->ShutDown();
    }
    {
        test::LibraryWriter library(home.path());
        library.data.DeleteTitlesEverywhere({keys[1]});
    }
    std::string error;
    auto window = StartMainWindow(home.path().string(), error,
                                  std::make_unique<platform::FakeSequencerDevice>());
    ASSERT_TRUE(window) << error;
    EXPECT_EQ(window->CategoriesTabs()->currentIndex(), 1);
    // The program of the last run is back, not playing, without the title deleted meanwhile.
    EXPECT_EQ(window->Program()->Entries(),
              (std::vector<std::string>{std::to_string(keys[2]), std::to_string(keys[0])}));
    EXPECT_FALSE(PlayingLike(window->Program()->SafeMode()));
    EXPECT_EQ(window->Program()->ShownMode(), TMyMidi::kStopped);
    EXPECT_EQ(window->AlbumsTabs()->currentIndex(), 1);
    EXPECT_EQ(window->AllTitlesGrid()->columnWidth(2), 222);
    EXPECT_EQ(window->AlbumList()->currentWidget(),
              static_cast<QWidget*>(window->AlbumList()->Icons()));
    EXPECT_TRUE(window->windowState() & Qt::WindowMaximized);
    // The category grid shown is sorted by title, as it was left.
    TMyStringGrid* grid = window->ActiveCategoryGrid();
    ASSERT_NE(grid, nullptr);
    std::vector<std::string> titles;
    for (int row = 1; row <= grid->View().TitleCount(); ++row)
        titles.push_back(std::string(grid->View().Row(row).title));
    EXPECT_EQ(titles, (std::vector<std::string>{"Bravo", "Charlie"}));
    window->ShutDown();
}

TEST_F(MasterWindowTest, EachCategoryGridKeepsItsOwnColumnWidthsAcrossARestart) {
    {
        auto window = Start();
        ASSERT_TRUE(window);
        window->CategoriesTabs()->setCurrentIndex(1);
        window->ActiveCategoryGrid()->setColumnWidth(1, 177);
        window->AllTitlesGrid()->setColumnWidth(1, 133);
        window->ShutDown();
    }
    // The all-titles grid's widths stay where older copies of the program read them.
    IniFile ini(home.path() / "Tunquil.ini");
    EXPECT_EQ(ini.ReadString("Window", "ColumnWidths", "").find(':'), std::string::npos);
    auto window = Start();
    ASSERT_TRUE(window);
    ASSERT_EQ(window->CategoriesTabs()->currentIndex(), 1);
    EXPECT_EQ(window->ActiveCategoryGrid()->columnWidth(1), 177);
    EXPECT_EQ(window->AllTitlesGrid()->columnWidth(1), 133);
    window->ShutDown();
}

// A screen reader used to read "Rock  Roll": the tab bar took the "&" for a mnemonic.
TEST_F(MasterWindowTest, TabsReachScreenReadersWithTheirCaptionsWhole) {
    {
        test::LibraryWriter library(home.path());
        library.categories.AddCategory("Rock & Roll");
    }
    auto window = Start();
    ASSERT_TRUE(window);
    QTabBar* bar = window->CategoriesTabs()->Bar();
    QAccessibleInterface* tabs = QAccessible::queryAccessibleInterface(bar);
    ASSERT_NE(tabs, nullptr);
    QStringList names;
    for (int i = 0; i < tabs->childCount(); ++i)
        names << tabs->child(i)->text(QAccessible::Name).trimmed();
    EXPECT_TRUE(names.contains("Rock & Roll")) << names.join("|").toStdString();
    window->ShutDown();
}

TEST_F(MasterWindowTest, AlbumListShowsEachAlbumsCountAndDuration) {
    auto window = Start();
    ASSERT_TRUE(window);
    QCoreApplication::processEvents();
    TExtListView* list = window->AlbumList();
    ASSERT_EQ(list->RowCount(), 1);
    EXPECT_EQ(list->Cell(0, 0).toStdString(), "Mix");
    EXPECT_EQ(list->Cell(0, 1).toStdString(), "2");
    // A dragged tab carries its album's entries, or its category's titles.
    DraggedTitles album = window->AlbumsTabs()->Bar()->titlesOfTab(1);
    EXPECT_EQ(album.source, SelectionSource::AlbumList);
    EXPECT_EQ(album.keys, (std::vector<int32_t>{keys[0], keys[1]}));
    EXPECT_EQ(window->CategoriesTabs()->Bar()->titlesOfTab(0).keys.size(), 3u);
    // Unchecking "show album details" shows the albums as large icons, checking it the
    // details again (this used to set the style and read it back, which could not fail).
    QCheckBox* details = nullptr;
    for (QCheckBox* box : window->findChildren<QCheckBox*>())
        if (box->text() == "show album details")
            details = box;
    ASSERT_NE(details, nullptr);
    details->click();
    EXPECT_EQ(list->currentWidget(), static_cast<QWidget*>(list->Icons()));
    details->click();
    EXPECT_EQ(list->currentWidget(), static_cast<QWidget*>(list->Report()));
    window->ShutDown();
}

} // namespace
} // namespace tunquil::ui
