// The main window's editing commands offscreen: categories and albums made, renamed and
// deleted with their questions, titles deleted and edited, the drops on Edit and Trash, on the
// album list and on album grids, reordering an album, the keys and the menus' enabling.

#include "app/TestTunes.h"
#include "base/ScriptedHost.h"
#include "database/TAlbList.h"
#include "platform/FakeSequencerDevice.h"
#include "ui/GuiTestApp.h"
#include "ui/ModalScript.h"
#include "ui/TunquilApp.h"
#include "ui/WindowLibrary.h"
#include "ui/app/TMasterFrm.h"
#include "ui/controls/TExtListView.h"
#include "ui/controls/TExtPageControl.h"
#include "ui/controls/TMyStringGrid.h"
#include "ui/database/TRenamer.h"
#include "ui/database/TTuneAdder.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace tunquil::ui {
namespace {

using test::ModalScript;

// Types `name` into the rename dialog and confirms it.
ModalScript::Step Rename(const QString& name, QString* shownText = nullptr) {
    return [name, shownText](QWidget* box) {
        auto* renamer = qobject_cast<TRenamer*>(box);
        ASSERT_NE(renamer, nullptr);
        if (shownText)
            *shownText = renamer->Edit()->text();
        renamer->Edit()->setText(name);
        renamer->OkButton()->click();
    };
}

class EditCommandsTest : public ::testing::Test {
protected:
    test::TempDir home;
    std::vector<int32_t> keys;
    std::vector<std::string> asked;

    void SetUp() override {
        test::GuiTestApp();
        test::LibraryWriter library(home.path());
        keys = library.AddThreeTitles();
        library.albums.AppendTitles(library.albums.AddAlbum("Mix"), {keys[0], keys[1], keys[2]});
    }

    std::unique_ptr<TMasterFrm> Start() {
        auto window =
            test::StartShownWindow(home.path(), std::make_unique<platform::FakeSequencerDevice>());
        QCoreApplication::processEvents();
        return window;
    }

    ModalScript::Step Answer(TMsgDlgBtn button) { return ModalScript::Answer(button, &asked); }

    static int TabOf(QTabWidget* tabs, const QString& caption) {
        for (int i = 0; i < tabs->count(); ++i)
            if (tabs->tabText(i).trimmed() == caption)
                return i;
        return -1;
    }
    static std::vector<int32_t> Keys(const TTitleView& view) {
        std::vector<int32_t> all;
        for (int row = 1; row <= view.TitleCount(); ++row)
            all.push_back(view.MasterKey(row));
        return all;
    }
    static TMyStringGrid* GridOf(QTabWidget* tabs, int index) {
        return tabs->widget(index)->findChild<TMyStringGrid*>();
    }
    static const TAlbList::Album* AlbumNamed(TMasterFrm& window, const std::string& name) {
        return window.Library().Albums().AlbumOf(window.Library().Albums().FindByName(name));
    }
    static std::vector<int32_t> EntryKeys(const TAlbList::Album* album) {
        std::vector<int32_t> all;
        for (const auto& e : album->entries)
            all.push_back(e.masterKey);
        return all;
    }
};

TEST_F(EditCommandsTest, CategoriesAreCreatedRenamedAndDeletedOnlyAfterBothQuestions) {
    auto window = Start();
    ASSERT_TRUE(window);
    QTabWidget* tabs = window->CategoriesTabs();

    ModalScript create({Rename("  Rock  "), Answer(mbOK)});
    window->MenuItem({"&Categories", "&Create new"})->trigger();
    ASSERT_EQ(create.Left(), 0);
    EXPECT_EQ(asked.back(), "Please note this category will be purged after this session\r\n"
                            "            unless you add titles to it!");
    EXPECT_GE(TabOf(tabs, "Rock"), 1);

    // The summary tab is neither renamed nor deleted.
    tabs->setCurrentIndex(0);
    EXPECT_FALSE(window->MenuItem({"&Categories", "&Rename"})->isEnabled());
    EXPECT_FALSE(window->MenuItem({"&Categories", "&Delete", "Active &category"})->isEnabled());
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    tabs->tabBar()->setFocus();
    {
        ModalScript notRenamed({Answer(mbOK)});
        QTest::keyClick(tabs->tabBar(), Qt::Key_F2); // F2 on the tabs renames the category
        EXPECT_EQ(asked.back(), "\"ALL CATEGORIES\" is not a renameable single category");
    }

    // Renamed onto another's name: merged, one tab left.
    tabs->setCurrentIndex(TabOf(tabs, "Rock"));
    EXPECT_TRUE(window->MenuItem({"&Categories", "&Rename"})->isEnabled());
    QString shown;
    ModalScript merge({Rename("Jazz", &shown)});
    window->MenuItem({"&Categories", "&Rename"})->trigger();
    EXPECT_EQ(shown, "Rock");
    EXPECT_EQ(TabOf(tabs, "Rock"), -1);
    ASSERT_GE(TabOf(tabs, "Jazz"), 1);

    // Deleting: cancelled at the second question, nothing goes; confirmed twice, all goes.
    tabs->setCurrentIndex(TabOf(tabs, "Jazz"));
    asked.clear();
    ModalScript cancelled({Answer(mbOK), Answer(mbCancel)});
    window->MenuItem({"&Categories", "&Delete", "Active &category"})->trigger();
    EXPECT_EQ(asked,
              (std::vector<std::string>{"Permanently delete all \"Jazz\" titles from the database?",
                                        "All \"JAZZ\" titles will be deleted!"}));
    EXPECT_EQ(window->AllTitlesGrid()->View().TitleCount(), 3);
    ModalScript confirmed({Answer(mbOK), Answer(mbOK)});
    window->MenuItem({"&Categories", "&Delete", "Active &category"})->trigger();
    EXPECT_EQ(confirmed.Left(), 0);
    EXPECT_EQ(TabOf(tabs, "Jazz"), -1);
    EXPECT_EQ(window->AllTitlesGrid()->View().TitleCount(), 0);
    EXPECT_TRUE(AlbumNamed(*window, "Mix")->entries.empty());
    window->ShutDown();
}

TEST_F(EditCommandsTest, AlbumsAreCreatedRenamedEmptiedAndDeleted) {
    auto window = Start();
    ASSERT_TRUE(window);
    ModalScript create({Rename("Road")});
    static_cast<QToolButton*>(window->Control("NewAlb"))->click();
    ASSERT_NE(AlbumNamed(*window, "Road"), nullptr);

    // On the summary tab with no album chosen in the list, the album items wait for one.
    QTabWidget* tabs = window->AlbumsTabs();
    tabs->setCurrentIndex(0);
    auto enabled = [&](const QStringList& path) { return window->MenuItem(path)->isEnabled(); };
    EXPECT_FALSE(enabled({"&Albums", "&Rename"}));
    EXPECT_FALSE(enabled({"&Albums", "&Delete", "&Album selected"}));
    EXPECT_FALSE(enabled({"&Albums", "&Delete", "&Titles selected"}));
    EXPECT_TRUE(enabled({"&Albums", "&Delete", "A&ll albums"}));
    window->AlbumList()->SelectRow(0);
    EXPECT_TRUE(enabled({"&Albums", "&Rename"}));
    EXPECT_TRUE(enabled({"&Albums", "&Mail", "&Album selected"}));

    // Rename acts on the album tab shown.
    tabs->setCurrentIndex(TabOf(tabs, "Road"));
    EXPECT_TRUE(enabled({"&Albums", "&Rename"}));
    QString shown;
    ModalScript rename({Rename("Trip", &shown)});
    window->MenuItem({"&Albums", "&Rename"})->trigger();
    EXPECT_EQ(shown, "Road");
    EXPECT_EQ(AlbumNamed(*window, "Road"), nullptr);
    ASSERT_NE(AlbumNamed(*window, "Trip"), nullptr);

    // Two rows of Mix removed: the titles stay in the database.
    const int mix = TabOf(tabs, "Mix");
    tabs->setCurrentIndex(mix);
    TMyStringGrid* grid = GridOf(tabs, mix);
    grid->PressRow(1, Qt::NoModifier);
    grid->PressRow(3, Qt::ControlModifier);
    ModalScript remove({Answer(mbOK)});
    window->MenuItem({"&Albums", "&Delete", "&Titles selected"})->trigger();
    EXPECT_EQ(asked.back(), "Delete these 2 titles from album \"Mix\" ?");
    EXPECT_EQ(EntryKeys(AlbumNamed(*window, "Mix")), (std::vector<int32_t>{keys[1]}));
    EXPECT_EQ(window->AllTitlesGrid()->View().TitleCount(), 3);

    ModalScript keep({Answer(mbCancel)});
    window->MenuItem({"&Albums", "&Delete", "&Album selected"})->trigger();
    EXPECT_EQ(asked.back(), "Permanently delete album \"Mix\" ?");
    ASSERT_NE(AlbumNamed(*window, "Mix"), nullptr);

    // Every album: two questions, then none is left.
    asked.clear();
    ModalScript all({Answer(mbYes), Answer(mbOK)});
    window->MenuItem({"&Albums", "&Delete", "A&ll albums"})->trigger();
    EXPECT_EQ(asked, (std::vector<std::string>{"Are you sure you want to delete all 2 albums?",
                                               "Deletion of all 2 albums will proceed!"}));
    EXPECT_EQ(window->Library().Albums().Count(), 0);
    EXPECT_EQ(window->AlbumList()->RowCount(), 0);
    window->ShutDown();
}

TEST_F(EditCommandsTest, DropsOnEditAndTrashFollowWhereTheDragBegan) {
    auto window = Start();
    ASSERT_TRUE(window);
    QWidget* trash = window->Control("TrashCat");
    QWidget* edit = window->Control("EditCat");
    auto drop = [&](QWidget* target, DraggedTitles titles) {
        bool taken = window->DropTitles(target, titles);
        QCoreApplication::processEvents(); // the command runs once the drag is over
        return taken;
    };

    // A category tab while the summary tab is active is no single category.
    window->CategoriesTabs()->setCurrentIndex(0);
    EXPECT_FALSE(drop(trash, {SelectionSource::CategoryGrid, keys, true}));

    // Grid rows to Trash: only those titles, after M4.
    ModalScript one({Answer(mbOK)});
    EXPECT_TRUE(drop(trash, {SelectionSource::CategoryGrid, {keys[2]}}));
    EXPECT_EQ(asked.back(), "Permanently delete \"Bravo\" from the database and all albums?");
    EXPECT_EQ(window->AllTitlesGrid()->View().FindRow(keys[2]), -1);
    EXPECT_EQ(EntryKeys(AlbumNamed(*window, "Mix")), (std::vector<int32_t>{keys[0], keys[1]}));

    // Grid rows to Edit: the title-information window, for several titles.
    ModalScript edited({[&](QWidget* box) {
        auto* adder = qobject_cast<TTuneAdder*>(box);
        ASSERT_NE(adder, nullptr);
        adder->Artists()->lineEdit()->setText("Dylan, Bob");
        adder->OkButton()->click(); // the common category "Jazz" stays
    }});
    EXPECT_TRUE(drop(edit, {SelectionSource::CategoryGrid, {keys[0], keys[1]}}));
    EXPECT_EQ(edited.Left(), 0);
    for (int32_t key : {keys[0], keys[1]}) {
        int row = window->AllTitlesGrid()->View().FindRow(key);
        EXPECT_EQ(std::string(window->AllTitlesGrid()->View().Row(row).artist), "Bob Dylan");
    }

    // Album rows to Edit: the title-information window for those titles.
    QTabWidget* albums = window->AlbumsTabs();
    albums->setCurrentIndex(TabOf(albums, "Mix"));
    QString shownSelection;
    ModalScript albumEdit({[&](QWidget* box) {
        auto* adder = qobject_cast<TTuneAdder*>(box);
        ASSERT_NE(adder, nullptr);
        shownSelection = adder->TitleEdit()->text();
        adder->reject();
    }});
    EXPECT_TRUE(drop(edit, {SelectionSource::AlbumList, {keys[1]}}));
    EXPECT_EQ(albumEdit.Left(), 0);
    EXPECT_EQ(shownSelection, "alpha");

    // An album tab to Trash deletes that album after M3.
    ModalScript album({Answer(mbOK)});
    EXPECT_TRUE(drop(trash, window->AlbumsTabs()->Bar()->titlesOfTab(albums->currentIndex())));
    EXPECT_EQ(asked.back(), "Permanently delete album \"Mix\" ?");
    EXPECT_EQ(window->Library().Albums().Count(), 0);

    // A category tab to Trash deletes that category, after both its questions.
    QTabWidget* categories = window->CategoriesTabs();
    const int jazz = TabOf(categories, "Jazz");
    categories->setCurrentIndex(jazz);
    ModalScript category({Answer(mbOK), Answer(mbOK)});
    EXPECT_TRUE(drop(trash, window->CategoriesTabs()->Bar()->titlesOfTab(jazz)));
    EXPECT_EQ(category.Left(), 0);
    EXPECT_EQ(window->Library().Categories().FindByName("Jazz"), 0);
    window->ShutDown();
}

TEST_F(EditCommandsTest, CategoryTitlesDroppedIntoAlbumsAndAlbumRowsReordered) {
    auto window = Start();
    ASSERT_TRUE(window);
    ModalScript create({Rename("Road")});
    window->MenuItem({"&Albums", "&Create new"})->trigger();
    ASSERT_NE(AlbumNamed(*window, "Road"), nullptr);

    // Dropped on the album list: appended to the album under the mouse, in their order.
    const auto& views = window->Views()->AlbumViews();
    int roadRow = views[0].name == "Road" ? 0 : 1;
    TExtListView* list = window->AlbumList();
    ASSERT_TRUE(list->onDrop(roadRow, {SelectionSource::CategoryGrid, {keys[2], keys[0]}}));
    EXPECT_FALSE(list->onDrop(roadRow, {SelectionSource::AlbumList, {keys[1]}}));
    EXPECT_EQ(EntryKeys(AlbumNamed(*window, "Road")), (std::vector<int32_t>{keys[2], keys[0]}));

    // Dropped on an album grid: before the row under the mouse, and selected.
    QTabWidget* tabs = window->AlbumsTabs();
    const int road = TabOf(tabs, "Road");
    tabs->setCurrentIndex(road);
    TMyStringGrid* grid = GridOf(tabs, road);
    ASSERT_TRUE(grid->onForeignDrop(2, {SelectionSource::CategoryGrid, {keys[1]}}));
    EXPECT_EQ(Keys(grid->View()), (std::vector<int32_t>{keys[2], keys[1], keys[0]}));
    EXPECT_EQ(grid->View().SelectedKeys(), (std::vector<int32_t>{keys[1]}));

    // Rows 2 and 3 dragged onto row 1 come first, in their order, and stay selected.
    grid->PressRow(2, Qt::NoModifier);
    grid->PressRow(3, Qt::ShiftModifier);
    emit grid->ownRowsDropped(1, grid->View().SelectedKeys());
    EXPECT_EQ(Keys(grid->View()), (std::vector<int32_t>{keys[1], keys[0], keys[2]}));
    EXPECT_EQ(EntryKeys(AlbumNamed(*window, "Road")),
              (std::vector<int32_t>{keys[1], keys[0], keys[2]}));
    EXPECT_EQ(grid->View().SelectedKeys(), (std::vector<int32_t>{keys[1], keys[0]}));

    // A title the album holds twice moves from the row that was selected, not its first row.
    ASSERT_TRUE(grid->onForeignDrop(4, {SelectionSource::CategoryGrid, {keys[1]}}));
    ASSERT_EQ(Keys(grid->View()), (std::vector<int32_t>{keys[1], keys[0], keys[2], keys[1]}));
    grid->PressRow(4, Qt::NoModifier);
    grid->ReleaseRow(4);
    emit grid->ownRowsDropped(2, grid->View().SelectedKeys());
    EXPECT_EQ(Keys(grid->View()), (std::vector<int32_t>{keys[1], keys[1], keys[0], keys[2]}));
    EXPECT_EQ(grid->View().Selected(2), true);
    EXPECT_EQ(grid->View().Selected(1), false);

    // Under the find field's words the album shows its matches: no reordering among rows the
    // user cannot see, and a delete takes the entry shown, not the one at that row unfiltered.
    window->findChild<QLineEdit*>("FindTitles")->setText("bravo");
    EXPECT_EQ(Keys(grid->View()), std::vector<int32_t>{keys[2]});
    emit grid->ownRowsDropped(1, grid->View().SelectedKeys());
    EXPECT_EQ(window->HintPanel()->text(), "Clear the search to reorder the album");
    EXPECT_EQ(EntryKeys(AlbumNamed(*window, "Road")),
              (std::vector<int32_t>{keys[1], keys[1], keys[0], keys[2]}));
    ModalScript remove({Answer(mbOK)});
    window->MenuItem({"&Albums", "&Delete", "&Titles selected"})->trigger();
    EXPECT_EQ(EntryKeys(AlbumNamed(*window, "Road")),
              (std::vector<int32_t>{keys[1], keys[1], keys[0]}));
    window->ShutDown();
}

TEST_F(EditCommandsTest, TitlesDroppedBelowAnAlbumsLastRowGoAfterIt) {
    auto window = Start();
    ASSERT_TRUE(window);
    QTabWidget* tabs = window->AlbumsTabs();
    const int mix = TabOf(tabs, "Mix");
    tabs->setCurrentIndex(mix);
    TMyStringGrid* grid = GridOf(tabs, mix);
    const QPoint below(10, grid->viewport()->height() - 3);
    ASSERT_LT(grid->rowViewportPosition(2) + grid->rowHeight(2), below.y());

    // A category's title dropped in the empty space under the rows (the gesture itself is
    // driven in the end-to-end test).
    ASSERT_TRUE(
        grid->onForeignDrop(grid->DropRowAt(below), {SelectionSource::CategoryGrid, {keys[1]}}));
    EXPECT_EQ(Keys(grid->View()), (std::vector<int32_t>{keys[0], keys[1], keys[2], keys[1]}));
    EXPECT_EQ(grid->View().SelectedKeys(), std::vector<int32_t>{keys[1]});

    // The album's own first row dragged there.
    grid->PressRow(1, Qt::NoModifier);
    grid->ReleaseRow(1);
    emit grid->ownRowsDropped(grid->DropRowAt(below), grid->View().SelectedKeys());
    EXPECT_EQ(EntryKeys(AlbumNamed(*window, "Mix")),
              (std::vector<int32_t>{keys[1], keys[2], keys[1], keys[0]}));
}

TEST_F(EditCommandsTest, KeysAndTheTitlesMenuActOnTheAreaUsedLast) {
    auto window = Start();
    ASSERT_TRUE(window);
    // Keys reach the window's shortcuts only while it is the active window.
    auto press = [&](QWidget* widget, Qt::Key key) {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        // The focus comes back to the window after a dialog closed by queued events.
        QCoreApplication::processEvents();
        widget->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), widget);
        QTest::keyClick(widget, key);
    };
    TMyStringGrid* grid = window->AllTitlesGrid();
    grid->PressRow(grid->View().FindRow(keys[1]), Qt::NoModifier);

    // F2 on a title: the title-information window for it.
    ModalScript edited({[&](QWidget* box) {
        auto* adder = qobject_cast<TTuneAdder*>(box);
        ASSERT_NE(adder, nullptr);
        adder->TitleEdit()->setText("Alpha Centauri");
        adder->OkButton()->click();
    }});
    press(grid, Qt::Key_F2);
    EXPECT_EQ(edited.Left(), 0);
    EXPECT_EQ(std::string(grid->View().Row(grid->View().FindRow(keys[1])).title), "Alpha Centauri");

    // Del in an album grid takes the title out of the album only.
    QTabWidget* tabs = window->AlbumsTabs();
    tabs->setCurrentIndex(TabOf(tabs, "Mix"));
    TMyStringGrid* albumGrid = GridOf(tabs, tabs->currentIndex());
    albumGrid->PressRow(1, Qt::NoModifier);
    ModalScript removed({Answer(mbOK)});
    press(albumGrid, Qt::Key_Delete);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked.back(), "Delete this title from album \"Mix\" ?");
    EXPECT_EQ(EntryKeys(AlbumNamed(*window, "Mix")), (std::vector<int32_t>{keys[1], keys[2]}));
    EXPECT_EQ(window->AllTitlesGrid()->View().TitleCount(), 3);

    // The Titles menu's Delete on the category area deletes from the database.
    emit grid->touched();
    grid->PressRow(grid->View().FindRow(keys[2]), Qt::NoModifier);
    ModalScript deleted({Answer(mbOK)});
    window->MenuItem({"&Titles", "&Delete"})->trigger();
    EXPECT_EQ(asked.back(), "Permanently delete \"Bravo\" from the database and all albums?");
    EXPECT_EQ(window->AllTitlesGrid()->View().FindRow(keys[2]), -1);

    // The Edit button, clicked, says how it is used.
    ModalScript info({Answer(mbOK)});
    static_cast<QToolButton*>(window->Control("EditCat"))->click();
    EXPECT_EQ(asked.back(), "Use the mouse to drag a title or category tab\r\nhere for editing");
    window->ShutDown();
}

} // namespace
} // namespace tunquil::ui
