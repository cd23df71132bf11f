// The views follow the database's own operations: adding, updating, deleting titles, renaming,
// merging and deleting categories, and the album entries.

#include "base/ScriptedHost.h"
#include "database/TAlbList.h"
#include "database/TCatList.h"
#include "database/TDMM2.h"
#include "database/TTitleViews.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace tunquil {
namespace {

class ViewsDatabaseTest : public ::testing::Test {
protected:
    test::TempDir home;
    ScriptedHost host;
    TCatList categories{home.path()};
    TAlbList albums{home.path()};
    std::unique_ptr<TDMM2> dmm;
    std::unique_ptr<TTitleViews> views;
    fs::path stored;
    int32_t rock = 0, jazz = 0, lee = 0;

    void SetUp() override {
        stored = home.Write("stored.zip", std::string("PK\x03\x04 stored tune"));
        categories.Load();
        rock = categories.AddCategory("Rock");
        jazz = categories.AddCategory("Jazz");
        Open();
        lee = dmm->Performers().FindOrAdd("Ann", "Lee");
    }

    // Starts as the program does: lists, database, views filled from it, album list.
    void Open() {
        dmm = std::make_unique<TDMM2>(home.path(), host);
        dmm->OpenDatabase();
        categories.SetDatabase(&dmm->Database());
        categories.SetAlbumList(&albums);
        dmm->SetCategoryList(&categories);
        dmm->SetAlbumList(&albums);
        albums.Load();
        views = std::make_unique<TTitleViews>(categories, &albums);
        views->Attach(dmm->Database());
        views->LoadViews(dmm->Database(), &host);
    }

    int32_t Add(const std::string& title, int32_t ck, int32_t seconds = 60, bool batch = false) {
        return dmm->AddTitle(stored, title, batch, 45000, seconds, lee, ck, "/music/" + title);
    }

    std::vector<int32_t> Keys(const TTitleView& view) {
        std::vector<int32_t> keys;
        for (int row = 1; row <= view.TitleCount(); ++row)
            keys.push_back(view.MasterKey(row));
        return keys;
    }
};

TEST_F(ViewsDatabaseTest, AnEmptyDatabaseShowsOneEmptyRowAndNoTitles) {
    EXPECT_EQ(views->AllTitles().RowCount(), 1);
    EXPECT_FALSE(views->AllTitles().HasRecord(1));
    EXPECT_EQ(views->AllTitles().Summary(), "0 titles  ---  0:00");
}

TEST_F(ViewsDatabaseTest, AddedTitlesAppearSortedInBothGridsAndAfterReopening) {
    int32_t b = Add("Beta", rock, 65);
    int32_t a = Add("alpha", rock, 30);
    int32_t c = Add("Gamma", jazz, 1800, true);
    EXPECT_EQ(Keys(*views->CategoryGrid(rock)), (std::vector<int32_t>{a, b}));
    // A title added in a batch is appended; sorting waits for the batch's end.
    EXPECT_EQ(Keys(views->AllTitles()), (std::vector<int32_t>{a, b, c}));
    EXPECT_EQ(views->AllTitles().Summary(), "3 titles  ---  31:35");
    views->FinishBatch();
    EXPECT_EQ(Keys(views->AllTitles()), (std::vector<int32_t>{c, a, b})); // Jazz before Rock
    EXPECT_EQ(views->CategoryGrid(jazz)->Summary(), "1 title  ---  30:00");

    views.reset();
    dmm->Close();
    Open();
    EXPECT_EQ(Keys(views->AllTitles()), (std::vector<int32_t>{c, a, b}));
    EXPECT_EQ(views->AllTitles().CellText(1, 1), "Ann Lee");
    EXPECT_EQ(views->AllTitles().CellText(1, 4), "/music/Gamma");
    EXPECT_EQ(views->CategoryGrid(rock)->Summary(), "2 titles  ---  1:35");
    EXPECT_EQ(host.statuses.back(), "Done");
}

TEST_F(ViewsDatabaseTest, UpdateAndSetDurationRefillTheRows) {
    int32_t a = Add("a", rock);
    int32_t b = Add("b", rock);
    ASSERT_TRUE(dmm->UpdateTitleInfo(a, false, lee, jazz, "z"));
    EXPECT_EQ(Keys(*views->CategoryGrid(rock)), (std::vector<int32_t>{b}));
    EXPECT_EQ(Keys(*views->CategoryGrid(jazz)), (std::vector<int32_t>{a}));
    int row = views->AllTitles().FindRow(a);
    EXPECT_EQ(views->AllTitles().CellText(row, 0), "Jazz");
    EXPECT_EQ(views->AllTitles().CellText(row, 2), "z");

    ASSERT_TRUE(dmm->Database().SetDuration(3600, b));
    EXPECT_EQ(views->CategoryGrid(rock)->CellText(1, 2), "1:00:00");
    EXPECT_EQ(views->AllTitles().Summary(), "2 titles  ---  1:01:00");
}

// A title whose duration could not be measured carries -1: the totals of the grids, the
// category records and the albums count only measured titles.
TEST_F(ViewsDatabaseTest, UnmeasuredTitlesAddNothingToTheTotals) {
    int32_t a = Add("a", rock, 65);
    int32_t b = Add("b", rock, -1);
    int32_t mix = albums.AddAlbum("Mix");
    albums.AppendTitles(mix, {a, b});
    EXPECT_EQ(views->AllTitles().Summary(), "2 titles  ---  1:05");
    EXPECT_EQ(views->CategoryGrid(rock)->Summary(), "2 titles  ---  1:05");
    EXPECT_EQ(views->AlbumGrid(mix)->Summary(), "2 titles  ---  1:05");
    EXPECT_EQ(albums.AlbumOf(mix)->record.totalDuration, 65);
    ASSERT_TRUE(dmm->Database().SetDuration(-1, a)); // a title measured again, and failing
    EXPECT_EQ(views->AllTitles().Summary(), "2 titles  ---  0:00");
}

TEST_F(ViewsDatabaseTest, DeletedTitlesLeaveTheGridsAndTheAlbums) {
    int32_t a = Add("a", rock);
    int32_t b = Add("b", rock);
    int32_t c = Add("c", jazz);
    int32_t mix = albums.AddAlbum("Mix");
    albums.AppendTitles(mix, {a, c, a});
    TAlbumGrid* album = views->AlbumGrid(mix);
    ASSERT_NE(album, nullptr);
    EXPECT_EQ(Keys(*album), (std::vector<int32_t>{a, c, a}));
    EXPECT_EQ(album->Summary(), "3 titles  ---  3:00");

    dmm->DeleteTitlesEverywhere({a, c});
    EXPECT_EQ(Keys(views->AllTitles()), (std::vector<int32_t>{b}));
    EXPECT_FALSE(views->CategoryGrid(jazz)->HasRecord(1));
    EXPECT_EQ(album->RowCount(), 1);
    EXPECT_FALSE(album->HasRecord(1));
    EXPECT_EQ(album->Summary(), "0 titles  ---  0:00");
}

TEST_F(ViewsDatabaseTest, CategoryRenameMergeAndDeleteReachTheViews) {
    int32_t a = Add("a", rock);
    int32_t c = Add("c", jazz);
    categories.RenameCategory(jazz, "Cool Jazz");
    EXPECT_EQ(views->AllTitles().CellText(views->AllTitles().FindRow(c), 0), "Cool Jazz");
    EXPECT_EQ(views->CategoryViews()[1].caption, "  Cool Jazz  ");

    categories.RenameCategory(jazz, "Rock"); // merges into Rock
    EXPECT_EQ(views->CategoryGrid(jazz), nullptr);
    EXPECT_EQ(Keys(*views->CategoryGrid(rock)), (std::vector<int32_t>{a, c}));
    EXPECT_EQ(views->CategoryGrid(rock)->Summary(), "2 titles  ---  2:00");

    categories.DeleteCategory(rock);
    EXPECT_TRUE(views->CategoryViews().empty());
    EXPECT_EQ(views->AllTitles().TitleCount(), 0);
    EXPECT_EQ(views->AllTitles().Summary(), "0 titles  ---  0:00");
}

TEST_F(ViewsDatabaseTest, AlbumViewsFollowTheAlbumList) {
    int32_t a = Add("a", rock);
    int32_t b = Add("b", rock);
    int32_t first = albums.AddAlbum("First");
    ASSERT_EQ(views->AlbumViews().size(), 1u);
    EXPECT_EQ(views->AlbumViews()[0].caption, " First         ");
    EXPECT_EQ(views->AlbumGrid(first)->Summary(), "0 titles  ---  0:00:00");

    albums.AppendTitles(first, {b});
    albums.InsertTitles(first, 0, {a, a});
    EXPECT_EQ(Keys(*views->AlbumGrid(first)), (std::vector<int32_t>{a, a, b}));
    ASSERT_TRUE(dmm->UpdateTitleInfo(a, false, lee, rock, "renamed"));
    EXPECT_EQ(views->AlbumGrid(first)->CellText(2, 1), "renamed");
    EXPECT_EQ(views->AlbumGrid(first)->Row(1).albumKey, first);

    albums.RenameAlbum(first, "Best");
    EXPECT_EQ(views->AlbumViews()[0].caption, "  Best       ");

    int32_t second = albums.AddAlbum("Second");
    albums.RenameAlbum(first, "second"); // merges into Second
    EXPECT_EQ(views->AlbumGrid(first), nullptr);
    EXPECT_EQ(Keys(*views->AlbumGrid(second)), (std::vector<int32_t>{a, a, b}));
}

TEST_F(ViewsDatabaseTest, AnAlbumGridFilteredShowsItsMatchesWithTheirPlacesInTheAlbum) {
    int32_t sun = Add("Red Sun", rock, 30);
    int32_t moon = Add("Blue Moon", rock, 40);
    int32_t mix = albums.AddAlbum("Mix");
    albums.AppendTitles(mix, {moon, sun, moon});
    TAlbumGrid* album = views->AlbumGrid(mix);
    album->SetFilter(SearchQuery("moon"));
    EXPECT_EQ(Keys(*album), (std::vector<int32_t>{moon, moon}));
    EXPECT_EQ(album->EntryIndex(2), 2);
    EXPECT_EQ(album->SelectedKeys(), std::vector<int32_t>{moon});
    EXPECT_EQ(album->Summary(), "2 of 3 titles  ---  1:20");
    // A change of the album keeps the filter; none changes the album.
    albums.AppendTitles(mix, {sun, moon});
    EXPECT_EQ(Keys(*album), (std::vector<int32_t>{moon, moon, moon}));
    EXPECT_EQ(album->EntryIndex(3), 4);
    album->SetFilter(SearchQuery());
    EXPECT_EQ(Keys(*album), (std::vector<int32_t>{moon, sun, moon, sun, moon}));
}

} // namespace
} // namespace tunquil
