// The desktop program's walking skeleton, offscreen: the main window opens the database of its
// program directory and shows the live titles through the views' models.

#include "base/ScriptedHost.h"
#include "database/TAlbList.h"
#include "database/TCatList.h"
#include "database/TDMM2.h"
#include "support/TempDir.h"
#include "ui/GuiTestApp.h"
#include "ui/TunquilApp.h"
#include "ui/WindowLibrary.h"
#include "ui/app/TMasterFrm.h"
#include "ui/controls/TMyStringGrid.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QTabWidget>
#include <gtest/gtest.h>

namespace tunquil::ui {
namespace {

QApplication& App() {
    return tunquil::test::GuiTestApp();
}

std::string Cell(QAbstractItemModel* model, int row, int column) {
    return model->data(model->index(row, column)).toString().toStdString();
}

class MainWindowTest : public ::testing::Test {
protected:
    test::TempDir home;
    int32_t keyBeta = 0, keyAlpha = 0, keyGamma = 0;

    void SetUp() override {
        App();
        // A small database made with the program's own operations, then closed.
        fs::path stored = home.Write("stored.zip", "PK\x03\x04 a stored tune");
        test::LibraryWriter library(home.path());
        int32_t rock = library.categories.AddCategory("Rock");
        int32_t jazz = library.categories.AddCategory("Jazz");
        TDMM2& dmm = library.data;
        int32_t lee = dmm.Performers().FindOrAdd("Ann", "Lee");
        keyBeta = dmm.AddTitle(stored, "Beta", true, 45000, 65, lee, rock, "/music/beta.mid");
        keyAlpha = dmm.AddTitle(stored, "Alpha", true, 45000, 30, lee, rock, "/music/alpha.mid");
        keyGamma = dmm.AddTitle(stored, "Gamma", true, 45001, 3600, lee, jazz, "/music/g.mid");
        library.albums.AppendTitles(library.albums.AddAlbum("Mix"), {keyGamma, keyAlpha});
    }
};

TEST_F(MainWindowTest, ShowsTheLiveTitlesSortedWithTheirSummary) {
    std::string error;
    auto window = StartMainWindow(home.path().string(), error);
    ASSERT_TRUE(window) << error;
    window->show();
    EXPECT_EQ(window->windowTitle().toStdString(), "Tunquil");

    QTabWidget* tabs = window->CategoriesTabs();
    ASSERT_EQ(tabs->count(), 3);
    EXPECT_EQ(tabs->tabText(0).toStdString(), "   ALL CATEGORIES   ");
    // The list comes back sorted by name.
    EXPECT_EQ(tabs->tabText(1).toStdString(), "  Jazz  ");
    EXPECT_EQ(tabs->tabText(2).toStdString(), "  Rock  ");

    QAbstractItemModel* model = window->AllTitlesGrid()->model();
    ASSERT_EQ(model->rowCount(), 3);
    ASSERT_EQ(model->columnCount(), 6);
    EXPECT_EQ(model->headerData(5, Qt::Horizontal).toString().toStdString(), "Date obtained");
    // Sorted by category, then artist and title.
    EXPECT_EQ(Cell(model, 0, 0), "Jazz");
    EXPECT_EQ(Cell(model, 1, 2), "Alpha");
    EXPECT_EQ(Cell(model, 2, 2), "Beta");
    EXPECT_EQ(Cell(model, 2, 1), "Ann Lee");
    EXPECT_EQ(Cell(model, 2, 3), "1:05");
    EXPECT_EQ(Cell(model, 2, 4), "/music/beta.mid");
    EXPECT_EQ(window->AllTitlesSummary()->text().toStdString(), "3 titles  ---  1:01:35");

    // The first row starts selected, as the grid has it.
    EXPECT_TRUE(window->AllTitlesGrid()->View().Selected(1));

    // A click on the Duration header sorts by duration.
    window->AllTitlesGrid()->horizontalHeader()->sectionClicked(3);
    EXPECT_EQ(Cell(model, 0, 2), "Alpha");
    EXPECT_EQ(Cell(model, 2, 2), "Gamma");

    auto* rockGrid = tabs->widget(2)->findChild<TMyStringGrid*>();
    ASSERT_NE(rockGrid, nullptr);
    EXPECT_EQ(rockGrid->model()->rowCount(), 2);
    EXPECT_EQ(Cell(rockGrid->model(), 0, 1), "Alpha");

    QTabWidget* albums = window->AlbumsTabs();
    ASSERT_EQ(albums->count(), 2);
    auto* mix = albums->widget(1)->findChild<TMyStringGrid*>();
    ASSERT_NE(mix, nullptr);
    EXPECT_EQ(Cell(mix->model(), 0, 1), "Gamma"); // the album's own order
    EXPECT_EQ(Cell(mix->model(), 1, 1), "Alpha");
    window->ShutDown();
}

TEST_F(MainWindowTest, TitlesAddedAndDeletedWhileOpenReachTheTable) {
    std::string error;
    auto window = StartMainWindow(home.path().string(), error);
    ASSERT_TRUE(window) << error;
    QAbstractItemModel* model = window->AllTitlesGrid()->model();
    fs::path stored = home.Write("more.zip", "PK\x03\x04 another");
    window->DataModule()->AddTitle(stored, "Aardvark", false, 45002, 10, 1, 1, "/music/a.mid");
    ASSERT_EQ(model->rowCount(), 4);
    EXPECT_EQ(window->AllTitlesSummary()->text().toStdString(), "4 titles  ---  1:01:45");

    window->DataModule()->DeleteTitlesEverywhere({keyAlpha, keyBeta, keyGamma});
    ASSERT_EQ(model->rowCount(), 1);
    EXPECT_EQ(Cell(model, 0, 2), "Aardvark");
    auto* jazzGrid = window->CategoriesTabs()->widget(1)->findChild<TMyStringGrid*>();
    EXPECT_EQ(jazzGrid->model()->rowCount(), 1); // the empty row
    EXPECT_EQ(Cell(jazzGrid->model(), 0, 0), " ");
    window->ShutDown();
}

TEST_F(MainWindowTest, ADatabaseHeldByAnotherCopyIsReportedNotOpened) {
    ScriptedHost host;
    TMyDB other(host);
    other.Open(home.path() / "Music");
    std::string error;
    auto window = StartMainWindow(home.path().string(), error);
    EXPECT_FALSE(window);
    EXPECT_FALSE(error.empty());
}

TEST(TunquilAppTest, HomeOptionTakesBothForms) {
    char a0[] = "tunquil", a1[] = "--home", a2[] = "/tmp/x", a3[] = "--home=/tmp/y";
    char* separate[] = {a0, a1, a2};
    char* joined[] = {a0, a3};
    char* none[] = {a0};
    EXPECT_EQ(HomeOption(3, separate), "/tmp/x");
    EXPECT_EQ(HomeOption(2, joined), "/tmp/y");
    EXPECT_EQ(HomeOption(1, none), "");
}

} // namespace
} // namespace tunquil::ui
