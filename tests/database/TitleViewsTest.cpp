// The views' data: grids of titles, their order, selection and summaries, and the set of views
// following the announcements of the database and the lists.

#include "database/TCatList.h"
#include "database/TTitleViews.h"
#include "database/TitleOrder.h"
#include "database/TitleSearch.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <random>

namespace tunquil {
namespace {

TitleRecord Title(int32_t key, std::string category, std::string last, std::string first,
                  std::string title, int32_t seconds = 60, double date = 45000,
                  std::string origin = "", int32_t ck = 1) {
    TitleRecord r;
    r.active = true;
    r.masterKey = key;
    r.ck = ck;
    r.pk = key;
    r.categoryName = std::move(category);
    r.lastName = std::move(last);
    r.firstName = std::move(first);
    r.artist = JoinFullName(r.firstName, r.lastName);
    r.title = std::move(title);
    r.duration = seconds;
    r.durationText = DurationText(seconds);
    r.origin = std::move(origin);
    r.dateObtained = date;
    return r;
}

// Records every announcement as a line, so tests can check what a Qt view would be told.
struct Recorder : ITitleViewObserver {
    std::vector<std::string> log;
    void RowsAboutToBeInserted(int f, int l) override {
        log.push_back("insert " + std::to_string(f) + "-" + std::to_string(l));
    }
    void RowsAboutToBeRemoved(int f, int l) override {
        log.push_back("remove " + std::to_string(f) + "-" + std::to_string(l));
    }
    void AboutToReset() override { log.push_back("reset"); }
    void ResetDone() override { log.push_back("reset done"); }
    void RowsChanged(int f, int l) override {
        log.push_back("changed " + std::to_string(f) + "-" + std::to_string(l));
    }
};

class TitleViewGridTest : public ::testing::Test {
protected:
    TTitleStore store;
    TTitleGrid grid{TitleViewKind::AllTitles, store};

    TTitleStore::Handle Put(const TitleRecord& r) { return store.Put(r); }
    std::vector<int32_t> Keys(const TTitleView& view) const {
        std::vector<int32_t> keys;
        for (int row = 1; row <= view.TitleCount(); ++row)
            keys.push_back(view.MasterKey(row));
        return keys;
    }
};

TEST(TitleViewSummaryTest, CountsTitlesAndFormatsTheirTotal) {
    EXPECT_EQ(SummaryLine(0, 0), "0 titles  ---  0:00");
    EXPECT_EQ(SummaryLine(1, 65), "1 title  ---  1:05");
    EXPECT_EQ(SummaryLine(2, 3600), "2 titles  ---  1:00:00");
    // Unmeasured titles carry -1 and pull the plain sum down; a total of 0 or less is 0:00.
    EXPECT_EQ(SummaryLine(2, -2), "2 titles  ---  0:00");
}

TEST_F(TitleViewGridTest, EmptyGridKeepsOneEmptyRow) {
    EXPECT_EQ(grid.RowCount(), 1);
    EXPECT_FALSE(grid.HasRecord(1));
    EXPECT_EQ(grid.CellText(1, 0), " ");
    EXPECT_EQ(grid.CellText(1, 1), "");
    grid.RefreshSummary();
    EXPECT_EQ(grid.Summary(), "0 titles  ---  0:00");
    grid.Sort(2); // nothing to sort, but the column is remembered
    EXPECT_EQ(grid.SortColumn(), 2);
}

TEST_F(TitleViewGridTest, FirstTitleFillsTheEmptyRowAndTheLastLeavesItEmpty) {
    Recorder rec;
    grid.AddObserver(&rec);
    grid.Append(Put(Title(1, "Rock", "Lee", "Ann", "One", 30)));
    grid.Append(Put(Title(2, "Rock", "Lee", "Bob", "Two", 35)));
    EXPECT_EQ(rec.log, (std::vector<std::string>{"changed 1-1", "insert 2-2"}));
    grid.RefreshSummary();
    EXPECT_EQ(grid.Summary(), "2 titles  ---  1:05");

    rec.log.clear();
    EXPECT_TRUE(grid.Remove(1));
    EXPECT_TRUE(grid.Remove(2));
    EXPECT_FALSE(grid.Remove(2));
    EXPECT_EQ(rec.log, (std::vector<std::string>{"remove 1-1", "changed 1-1"}));
    EXPECT_EQ(grid.RowCount(), 1);
    grid.RefreshSummary();
    EXPECT_EQ(grid.Summary(), "0 titles  ---  0:00");
}

TEST_F(TitleViewGridTest, CellTextsFollowTheColumns) {
    grid.Append(Put(Title(7, "", "Lee", "Ann", "Song", 3600, 45000.5, "/m/song.mid")));
    EXPECT_EQ(grid.CellText(1, 0), " "); // empty first cell
    EXPECT_EQ(grid.CellText(1, 1), "Ann Lee");
    EXPECT_EQ(grid.CellText(1, 2), "Song");
    EXPECT_EQ(grid.CellText(1, 3), "1:00:00");
    EXPECT_EQ(grid.CellText(1, 4), "/m/song.mid");
    EXPECT_EQ(grid.CellText(1, 5), DateObtainedText(45000.5));
    // Midnight shows the date alone; another time of day adds the time.
    EXPECT_LT(DateObtainedText(45000).size(), DateObtainedText(45000.5).size());
    EXPECT_EQ(DateObtainedText(45000.5).rfind(DateObtainedText(45000), 0), 0u);
}

TEST_F(TitleViewGridTest, SortsByEachColumnWithItsTieBreaks) {
    grid.Append(Put(Title(1, "pop", "Lee", "bob", "b", 90, 45002, "/b")));
    grid.Append(Put(Title(2, "Pop", "lee", "Ann", "Z", 30, 45003, "/A")));
    grid.Append(Put(Title(3, "Jazz", "Lee", "Ann", "a", 60, 45001, "/c")));
    grid.Append(Put(Title(4, "Pop", "Abe", "Zed", "m", 120, 45000, "/a2")));

    grid.Sort(0); // category, then last name, first name, title
    EXPECT_EQ(Keys(grid), (std::vector<int32_t>{3, 4, 2, 1}));
    grid.Sort(1); // artist: Lee, Ann before Lee, Bob; same artist by title
    EXPECT_EQ(Keys(grid), (std::vector<int32_t>{4, 3, 2, 1}));
    EXPECT_EQ(grid.PreviousSortColumn(), 0);
    grid.Sort(2);
    EXPECT_EQ(Keys(grid), (std::vector<int32_t>{3, 1, 4, 2}));
    grid.Sort(3);
    EXPECT_EQ(Keys(grid), (std::vector<int32_t>{2, 3, 1, 4}));
    grid.Sort(4);
    EXPECT_EQ(Keys(grid), (std::vector<int32_t>{2, 4, 1, 3}));
    grid.Sort(5); // newest first
    EXPECT_EQ(Keys(grid), (std::vector<int32_t>{2, 1, 3, 4}));

    // The other way round: a column's order reversed, equal rows keeping their own order, and
    // a title added in its place in that order.
    grid.Append(Put(Title(5, "Pop", "Lee", "Cy", "m", 120, 45004, "/d")));
    grid.Sort(3, true);
    EXPECT_TRUE(grid.Descending());
    EXPECT_EQ(Keys(grid), (std::vector<int32_t>{4, 5, 1, 3, 2}));
    grid.Add(Put(Title(6, "Pop", "Lee", "Di", "x", 75, 45005, "/e")), true);
    EXPECT_EQ(Keys(grid), (std::vector<int32_t>{4, 5, 1, 6, 3, 2}));
    grid.Sort(3);
    EXPECT_FALSE(grid.Descending());
    EXPECT_EQ(Keys(grid), (std::vector<int32_t>{2, 3, 6, 1, 4, 5}));
}

// An order taken from elsewhere may run the other way: the grid says so, and titles added
// later go to their place in that order.
TEST_F(TitleViewGridTest, AnOrderTakenDescendingStaysDescending) {
    std::vector<TTitleStore::Handle> newestFirst;
    for (int32_t key = 1; key <= 3; ++key)
        newestFirst.insert(newestFirst.begin(),
                           Put(Title(key, "Pop", "Lee", "Ann", "t" + std::to_string(key))));
    for (TTitleStore::Handle h : newestFirst)
        grid.Append(h);
    grid.TakeSortedOrder(newestFirst, 2, true);
    EXPECT_TRUE(grid.Descending());
    EXPECT_EQ(grid.SortColumn(), 2);
    grid.Add(Put(Title(4, "Pop", "Lee", "Ann", "t25")), true);
    EXPECT_EQ(Keys(grid), (std::vector<int32_t>{3, 4, 2, 1}));
}

// Small sorts of a few rows keep equal rows in order whatever the sort does; a long one with
// many equal rows does so only when the order holds them.
TEST_F(TitleViewGridTest, EqualRowsKeepTheirOrderInLongSorts) {
    for (int32_t key = 1; key <= 300; ++key)
        grid.Append(Put(Title(key, "Pop", "Lee", "Ann", "t", (key * 7) % 3 * 60)));
    for (bool descending : {false, true}) {
        grid.Sort(3, descending);
        auto keys = Keys(grid);
        ASSERT_EQ(keys.size(), 300u);
        for (std::size_t i = 1; i < keys.size(); ++i) {
            if ((keys[i] * 7) % 3 == (keys[i - 1] * 7) % 3) {
                EXPECT_LT(keys[i - 1], keys[i]) << "descending " << descending << " at " << i;
            }
        }
    }
}

TEST_F(TitleViewGridTest, AFilterShowsTheMatchesAndGivesEveryRowBackInItsOrder) {
    TitleSearch search(store);
    const char* titles[] = {"Blue Moon", "Red Sun", "Blue Sky", "Green Moon", "Blue Sea"};
    for (int32_t key = 1; key <= 5; ++key)
        grid.Append(Put(Title(key, "Pop", "Lee", "Ann", titles[key - 1], key * 60)));
    grid.SelectOnly(2); // Red Sun, set aside by the filter: it comes back unselected
    grid.SetFilter(SearchQuery("blue"), search);
    EXPECT_EQ(Keys(grid), (std::vector<int32_t>{1, 3, 5}));
    EXPECT_EQ(grid.SelectedKeys(), (std::vector<int32_t>{1})); // the first match
    grid.RefreshSummary();
    EXPECT_EQ(grid.Summary(), "3 of 5 titles  ---  9:00");
    EXPECT_EQ(grid.SummaryCount(), 5);             // what the category counts take is every title
    grid.SetFilter(SearchQuery("blue s"), search); // narrowing
    EXPECT_EQ(Keys(grid), (std::vector<int32_t>{3, 5}));
    grid.SetFilter(SearchQuery("moon"), search); // another word: every row looked at again
    EXPECT_EQ(Keys(grid), (std::vector<int32_t>{1, 4}));
    grid.SetFilter(SearchQuery("zzz"), search);
    EXPECT_EQ(grid.TitleCount(), 0);
    EXPECT_EQ(grid.Summary(), "0 of 5 titles  ---  0:00");
    grid.SetFilter(SearchQuery("sea"), search);
    grid.SetFilter(SearchQuery(""), search);
    EXPECT_EQ(Keys(grid), (std::vector<int32_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(grid.SelectedKeys(), (std::vector<int32_t>{5})); // the found title stays current
    EXPECT_EQ(grid.CurrentRow(), 5);
    EXPECT_EQ(grid.Summary(), "5 titles  ---  15:00");

    // Sorting sorts the matches; without the filter every row is in that order.
    grid.SetFilter(SearchQuery("moon"), search);
    grid.Sort(3, true);
    EXPECT_EQ(Keys(grid), (std::vector<int32_t>{4, 1}));
    // Titles added, changed and deleted meanwhile are shown or set aside as they match.
    grid.Add(Put(Title(6, "Pop", "Lee", "Ann", "Moonshine", 30)), true);
    grid.Add(Put(Title(7, "Pop", "Lee", "Ann", "Gray", 90)), true);
    EXPECT_EQ(Keys(grid), (std::vector<int32_t>{4, 1, 6}));
    grid.Update(Put(Title(7, "Pop", "Lee", "Ann", "Gray Moon", 90)), true);
    grid.Update(Put(Title(6, "Pop", "Lee", "Ann", "Peach", 30)), true);
    grid.Remove(2);
    EXPECT_EQ(Keys(grid), (std::vector<int32_t>{4, 7, 1}));
    grid.SetFilter(SearchQuery(), search);
    EXPECT_EQ(Keys(grid), (std::vector<int32_t>{5, 4, 3, 7, 1, 6}));
    EXPECT_EQ(grid.TotalDuration(), 300 + 240 + 180 + 90 + 60 + 30);
}

// A row changed or sorted while the filter shows it alone or not at all used to keep its old
// place among the rows set aside: cleared, the grid was out of order yet taken as sorted.
TEST_F(TitleViewGridTest, RowsEditedOrSortedWhileFilteredComeBackInOrder) {
    TitleSearch search(store);
    for (auto [key, title] : {std::pair{1, "Apple"}, {2, "Penny Lane"}, {3, "Yesterday"}})
        grid.Append(Put(Title(key, "Pop", "Lee", "Ann", title)));
    grid.Sort(2);
    grid.SetFilter(SearchQuery("lane"), search);
    grid.Update(Put(Title(2, "Pop", "Lee", "Ann", "Zebra Lane")), true);
    grid.SetFilter(SearchQuery(), search);
    EXPECT_EQ(Keys(grid), (std::vector<int32_t>{1, 3, 2}));
    grid.Add(Put(Title(4, "Pop", "Lee", "Ann", "Banana")), true);
    EXPECT_EQ(Keys(grid), (std::vector<int32_t>{1, 4, 3, 2}));

    // Sorted the other way with one row shown, and with none.
    grid.SetFilter(SearchQuery("banana"), search);
    grid.Sort(2, true);
    grid.SetFilter(SearchQuery(), search);
    EXPECT_EQ(Keys(grid), (std::vector<int32_t>{2, 3, 4, 1}));
    grid.SetFilter(SearchQuery("zzz"), search);
    grid.Sort(2);
    grid.SetFilter(SearchQuery(), search);
    EXPECT_EQ(Keys(grid), (std::vector<int32_t>{1, 4, 3, 2}));
}

// A filtered grid and its unfiltered twin go through the same adds, changes, deletes and
// sorts; whenever the filter is cleared the two hold the same rows in the same order, and
// while it is set the filtered grid shows the twin's matching rows in the twin's order.
TEST_F(TitleViewGridTest, AFilteredGridEndsAsItsUnfilteredTwin) {
    const char* titles[] = {"Apple", "Yesterday", "Penny Lane", "apple", "Blue Moon", "Moon"};
    const char* lasts[] = {"Lee", "Ray", "Abe"};
    const char* words[] = {"", "", "moon", "apple", "lee", "e", "zzz", "ray p"};
    for (unsigned seed = 1; seed <= 3000; ++seed) {
        TTitleStore titlesStore;
        TitleSearch search(titlesStore);
        TTitleGrid filtered(TitleViewKind::AllTitles, titlesStore);
        TTitleGrid twin(TitleViewKind::AllTitles, titlesStore);
        std::mt19937 random(seed);
        auto pick = [&random](int n) { return static_cast<int>(random() % unsigned(n)); };
        std::vector<int32_t> live;
        int32_t nextKey = 1;
        auto put = [&](int32_t key) {
            return titlesStore.Put(Title(key, pick(2) ? "Pop" : "Rock", lasts[pick(3)], "Al",
                                         titles[pick(6)], 30 * (1 + pick(3)), 45000 + pick(3),
                                         "/m/" + std::to_string(pick(3))));
        };
        for (int step = 0; step < 60; ++step) {
            SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(step));
            switch (pick(7)) {
            case 0:
            case 1: {
                const bool sort = pick(3) != 0;
                TTitleStore::Handle h = put(nextKey);
                live.push_back(nextKey++);
                filtered.Add(h, sort);
                twin.Add(h, sort);
                break;
            }
            case 2:
                if (!live.empty()) {
                    const bool sort = pick(3) != 0;
                    TTitleStore::Handle h = put(live[pick(int(live.size()))]);
                    filtered.Update(h, sort);
                    twin.Update(h, sort);
                }
                break;
            case 3:
                if (!live.empty()) {
                    const std::size_t at = pick(int(live.size()));
                    filtered.Remove(live[at]);
                    twin.Remove(live[at]);
                    live.erase(live.begin() + at);
                }
                break;
            case 4: {
                const int column = pick(filtered.ColumnCount());
                const bool descending = pick(2);
                filtered.Sort(column, descending);
                twin.Sort(column, descending);
                break;
            }
            case 5:
                filtered.SortAgain();
                twin.SortAgain();
                break;
            case 6:
                filtered.SetFilter(SearchQuery(words[pick(8)]), search);
                break;
            }
            std::vector<int32_t> expected;
            for (int row = 1; row <= twin.TitleCount(); ++row)
                if (search.Matches(twin.TitleAt(row), filtered.Filter()))
                    expected.push_back(twin.MasterKey(row));
            ASSERT_EQ(Keys(filtered), expected);
            if (!filtered.Filtered()) {
                ASSERT_EQ(filtered.TotalDuration(), twin.TotalDuration());
            }
        }
    }
}

// The fast sort builds keys of its own; it must order exactly as the title comparison does,
// also for texts that share long beginnings, differ only in case or carry bytes above 127.
TEST_F(TitleViewGridTest, SortAgreesWithTheTitleComparisonOnMixedTexts) {
    std::mt19937 random(7);
    const std::vector<std::string> pieces = {
        "", "a", "A", "ab", "AB", "abc", "b", "\xc3\xa9", "Z", "z", "_", " ", "/home/user/music/"};
    auto text = [&] {
        std::string s;
        int n = random() % 4;
        for (int i = 0; i < n; ++i)
            s += pieces[random() % pieces.size()];
        return s;
    };
    for (int key = 1; key <= 400; ++key)
        grid.Append(Put(Title(key, text(), text(), text(), text(), int32_t(random() % 5) - 1,
                              45000 + random() % 3, "/home/user/music/" + text())));
    for (int column = 0; column < grid.ColumnCount(); ++column) {
        grid.Sort(column);
        TitleSortMode mode = SortModeOf(grid.Columns()[column]);
        for (int row = 1; row < grid.TitleCount(); ++row) {
            TitleRecord a, b;
            TitleRow x = grid.Row(row), y = grid.Row(row + 1);
            TitleSortFields fx{x.categoryName, x.lastName, x.firstName,   x.title,
                               x.origin,       x.duration, x.dateObtained};
            TitleSortFields fy{y.categoryName, y.lastName, y.firstName,   y.title,
                               y.origin,       y.duration, y.dateObtained};
            ASSERT_LE(CompareTitles(mode, fx, fy), 0) << "column " << column << " row " << row;
        }
    }
}

TEST_F(TitleViewGridTest, SortKeepsTheCurrentTitleAtItsHeightAndSelected) {
    for (int key = 1; key <= 30; ++key)
        grid.Append(Put(Title(key, "C", "A", "A",
                              std::string(1, char('a' + (30 - key) % 26)) + std::to_string(key))));
    grid.SetVisibleRows(10);
    grid.SetCurrentRow(5); // title 5, four rows below the top
    grid.Sort(2);          // by title: reversed
    int row = grid.FindRow(5);
    EXPECT_EQ(grid.CurrentRow(), row);
    EXPECT_TRUE(grid.Selected(row));
    EXPECT_EQ(grid.TopRow(), std::max(1, row - 4));
}

TEST_F(TitleViewGridTest, AddWithSortPlacesTheTitleAndScrollsThreeRowsAboveIt) {
    for (int key = 1; key <= 20; ++key)
        grid.Append(Put(Title(key, "C", "A", "A", "t" + std::to_string(100 + key * 2))));
    grid.Sort(2);
    grid.Add(Put(Title(99, "C", "A", "A", "t115")), true); // between t114 and t116
    EXPECT_EQ(grid.FindRow(99), 8);
    EXPECT_EQ(grid.TopRow(), 5);
    grid.Add(Put(Title(98, "C", "A", "A", "t000")), true);
    EXPECT_EQ(grid.FindRow(98), 1);
    EXPECT_EQ(grid.TopRow(), 1);

    // Appended without sort, the grid is out of order; the next sorted add sorts it whole.
    grid.Add(Put(Title(97, "C", "A", "A", "a")), false);
    grid.Add(Put(Title(96, "C", "A", "A", "u")), false);
    EXPECT_EQ(grid.FindRow(97), 23);
    grid.Add(Put(Title(95, "C", "A", "A", "b")), true);
    EXPECT_EQ(grid.FindRow(97), 1);
    EXPECT_EQ(grid.FindRow(95), 2);
    EXPECT_EQ(grid.FindRow(98), 3);
    EXPECT_EQ(grid.FindRow(96), 25);
}

TEST_F(TitleViewGridTest, UpdateRefillsTheRowAndWithSortMovesItKeepingItsSelection) {
    for (int key = 1; key <= 10; ++key)
        grid.Append(Put(Title(key, "C", "A", "A", "t" + std::to_string(10 + key), 60)));
    grid.Sort(2);
    grid.SetVisibleRows(4);
    grid.SelectOnly(2);
    grid.SetCurrentRow(2);
    grid.RefreshSummary();
    EXPECT_EQ(grid.Summary(), "10 titles  ---  10:00");

    TitleRecord changed = Title(2, "C", "A", "A", "t99", 120);
    grid.Update(Put(changed), false);
    EXPECT_EQ(grid.FindRow(2), 2);
    EXPECT_EQ(grid.CellText(2, 2), "t99");
    grid.RefreshSummary();
    EXPECT_EQ(grid.Summary(), "10 titles  ---  11:00");

    grid.Update(Put(changed), true);
    EXPECT_EQ(grid.FindRow(2), 10);
    EXPECT_TRUE(grid.Selected(10));
    EXPECT_EQ(grid.SelectedCount(), 1);
    EXPECT_EQ(grid.CurrentRow(), 10);
    EXPECT_EQ(grid.TopRow(), 7); // the last page

    grid.Update(Put(Title(50, "C", "A", "A", "x")), true); // not in this grid
    EXPECT_EQ(grid.TitleCount(), 10);
}

TEST_F(TitleViewGridTest, RemoveRowsTakesManyKeysAsOneReset) {
    for (int key = 1; key <= 100; ++key)
        grid.Append(Put(Title(key, "C", "A", "A", "t", key)));
    Recorder rec;
    grid.AddObserver(&rec);
    std::vector<int32_t> keys;
    for (int key = 2; key <= 100; key += 2)
        keys.push_back(key);
    keys.push_back(1000); // unknown keys are passed over
    EXPECT_EQ(grid.RemoveRows(keys), 50);
    EXPECT_EQ(rec.log, (std::vector<std::string>{"reset", "reset done"}));
    EXPECT_EQ(grid.TitleCount(), 50);
    EXPECT_EQ(grid.MasterKey(50), 99);
    EXPECT_EQ(grid.TotalDuration(), 2500); // 1 + 3 + ... + 99
}

TEST_F(TitleViewGridTest, UpdatingGridAnnouncesOneResetAtTheEnd) {
    Recorder rec;
    grid.AddObserver(&rec);
    grid.BeginUpdate();
    for (int key = 1; key <= 5; ++key)
        grid.Append(Put(Title(key, "C", "A", "A", "t")));
    grid.Remove(3);
    EXPECT_EQ(rec.log, (std::vector<std::string>{"reset"}));
    grid.EndUpdate();
    EXPECT_EQ(rec.log, (std::vector<std::string>{"reset", "reset done"}));
}

TEST_F(TitleViewGridTest, SelectFirstSelectsRowOneOnlyUnderTwoRowsOrMore) {
    grid.Append(Put(Title(1, "C", "A", "A", "a")));
    grid.SelectFirst();
    EXPECT_EQ(grid.SelectedCount(), 0);
    grid.Append(Put(Title(2, "C", "A", "A", "b")));
    grid.SetSelected(2, true);
    grid.SelectFirst();
    EXPECT_EQ(grid.SelectedKeys(), (std::vector<int32_t>{1}));
    EXPECT_EQ(grid.CurrentRow(), 1);
    EXPECT_EQ(grid.TopRow(), 1);
}

// --- the set of views ---

class ViewsTest : public ::testing::Test {
protected:
    test::TempDir dir;
    TCatList categories{dir.path()};
    int32_t rock = 0, jazz = 0;

    void SetUp() override {
        categories.Load();
        rock = categories.AddCategory("Rock");
        jazz = categories.AddCategory("Jazz");
    }
    TitleRecord InRock(int32_t key, std::string title, int32_t seconds = 60) {
        return Title(key, "Rock", "Lee", "Ann", std::move(title), seconds, 45000, "", rock);
    }
    TitleRecord InJazz(int32_t key, std::string title, int32_t seconds = 60) {
        return Title(key, "Jazz", "Abe", "Bo", std::move(title), seconds, 45000, "", jazz);
    }
};

TEST_F(ViewsTest, LoadFilesEachTitleUnderItsCategoryAndSortsByFirstColumn) {
    TTitleViews views(categories);
    ASSERT_EQ(views.CategoryViews().size(), 2u);
    EXPECT_EQ(views.CategoryViews()[1].caption, "  Jazz  ");
    EXPECT_EQ(views.CategoryViews()[1].hint, "View all \"Jazz\" titles");

    views.BeginLoad(3);
    views.LoadTitle(InRock(1, "b", 30));
    views.LoadTitle(InJazz(2, "z", 45));
    views.LoadTitle(InRock(3, "a", 40));
    views.LoadTitle(Title(4, "Gone", "X", "Y", "orphan", 5, 45000, "", 77)); // no such category
    views.FinishLoad();

    EXPECT_EQ(views.AllTitles().TitleCount(), 4);
    EXPECT_EQ(views.AllTitles().MasterKey(1), 4); // "Gone" < "Jazz" < "Rock"
    EXPECT_EQ(views.AllTitles().MasterKey(2), 2);
    TTitleGrid* rockGrid = views.CategoryGrid(rock);
    ASSERT_NE(rockGrid, nullptr);
    EXPECT_EQ(rockGrid->TitleCount(), 2);
    EXPECT_EQ(rockGrid->MasterKey(1), 3); // by artist, then title
    EXPECT_EQ(rockGrid->SelectedKeys(), (std::vector<int32_t>{3}));
    EXPECT_EQ(views.AllTitles().Summary(), "4 titles  ---  2:00");
    EXPECT_EQ(rockGrid->Summary(), "2 titles  ---  1:10");
    // The category records carry what their views counted.
    const CategoryRecord& rockRecord = categories.Items()[categories.IndexOf(rock)];
    EXPECT_EQ(rockRecord.titleCount, 2);
    EXPECT_EQ(rockRecord.totalDuration, 70);
}

// A category grid is sorted by artist also when its titles carry differing name copies of
// their category, which puts them apart in the all-titles grid.
TEST_F(ViewsTest, LoadSortsCategoriesWhoseTitlesCarryDifferentNameCopies) {
    TTitleViews views(categories);
    views.BeginLoad(4);
    views.LoadTitle(Title(1, "Rock", "Moe", "A", "x", 60, 45000, "", rock));
    views.LoadTitle(Title(2, "Alt", "Zed", "A", "x", 60, 45000, "", rock));
    views.LoadTitle(Title(3, "rock", "Abe", "A", "x", 60, 45000, "", rock));
    views.LoadTitle(Title(4, "Alt", "Lee", "A", "x", 60, 45000, "", rock));
    views.LoadTitle(Title(5, "Jazz", "Zed", "A", "x", 60, 45000, "", jazz));
    views.LoadTitle(Title(6, "JAZZ", "Abe", "A", "x", 60, 45000, "", jazz));
    views.FinishLoad();
    std::vector<int32_t> rockKeys, jazzKeys;
    for (int row = 1; row <= 4; ++row)
        rockKeys.push_back(views.CategoryGrid(rock)->MasterKey(row));
    for (int row = 1; row <= 2; ++row)
        jazzKeys.push_back(views.CategoryGrid(jazz)->MasterKey(row));
    EXPECT_EQ(rockKeys, (std::vector<int32_t>{3, 4, 1, 2}));
    EXPECT_EQ(jazzKeys, (std::vector<int32_t>{6, 5}));
    EXPECT_EQ(views.CategoryGrid(rock)->Summary(), "4 titles  ---  4:00");
}

TEST_F(ViewsTest, AnnouncedChangesReachTheAllTitlesAndCategoryGrids) {
    TTitleViews views(categories);
    views.BeginLoad(0);
    views.FinishLoad();

    views.TitleAdded(InRock(1, "b"), false);
    views.TitleAdded(InRock(2, "a"), false);
    views.TitleAdded(InJazz(3, "c"), true);
    EXPECT_EQ(views.CategoryGrid(rock)->MasterKey(1), 2);
    EXPECT_EQ(views.AllTitles().Summary(), "3 titles  ---  3:00");
    EXPECT_EQ(views.CategoryGrid(jazz)->Summary(), "1 title  ---  1:00");

    // A title moved to another category leaves one grid for the other.
    TitleRecord before = InRock(1, "b"), after = InJazz(1, "b", 120);
    views.TitleChanged(before, after, true);
    EXPECT_EQ(views.CategoryGrid(rock)->TitleCount(), 1);
    EXPECT_EQ(views.CategoryGrid(jazz)->TitleCount(), 2);
    EXPECT_EQ(views.AllTitles().CellText(views.AllTitles().FindRow(1), 0), "Jazz");
    EXPECT_EQ(views.CategoryGrid(jazz)->Summary(), "2 titles  ---  3:00");
    EXPECT_EQ(views.CategoryGrid(rock)->Summary(), "1 title  ---  1:00");

    // A reused key replaces the rows of the title that had it.
    views.TitleAdded(InJazz(3, "again", 30), false);
    EXPECT_EQ(views.AllTitles().TitleCount(), 3);
    EXPECT_EQ(views.CategoryGrid(jazz)->TitleCount(), 2);
    EXPECT_EQ(views.CategoryGrid(jazz)->Summary(), "2 titles  ---  2:30");

    views.TitlesDeleted({after, InRock(2, "a")});
    EXPECT_EQ(views.AllTitles().TitleCount(), 1);
    EXPECT_EQ(views.CategoryGrid(rock)->RowCount(), 1);
    EXPECT_FALSE(views.CategoryGrid(rock)->HasRecord(1));
    EXPECT_EQ(views.CategoryGrid(rock)->Summary(), "0 titles  ---  0:00");
    EXPECT_EQ(views.Store().Count(), 1u);
}

TEST_F(ViewsTest, CategoryViewsFollowTheList) {
    TTitleViews views(categories);
    struct Counter : IViewSetObserver {
        int changes = 0;
        void CategoryViewsChanged() override { ++changes; }
    } counter;
    views.AddObserver(&counter);

    int32_t pop = categories.AddCategory("Pop");
    views.CategoriesChanged();
    ASSERT_EQ(views.CategoryViews().size(), 3u);
    EXPECT_EQ(views.CategoryViews().back().ck, pop); // new tabs come last
    EXPECT_EQ(views.CategoryViews().back().caption, "  Pop  ");

    categories.Items()[categories.IndexOf(pop)].name = "Pop music";
    categories.Items().erase(categories.Items().begin() + categories.IndexOf(jazz));
    views.CategoriesChanged();
    ASSERT_EQ(views.CategoryViews().size(), 2u);
    EXPECT_EQ(views.CategoryGrid(jazz), nullptr);
    EXPECT_EQ(views.CategoryViews().back().hint, "View all \"Pop music\" titles");
    EXPECT_EQ(counter.changes, 2);
    views.RemoveObserver(&counter);
}

// The find words hold for every grid, shown or not, and for grids made after they were set.
TEST_F(ViewsTest, TheFilterReachesEveryCategoryGridAndThoseMadeLater) {
    TTitleViews views(categories);
    views.BeginLoad(3);
    views.LoadTitle(InRock(1, "Brave"));
    views.LoadTitle(InRock(2, "Calm"));
    views.LoadTitle(InJazz(3, "Brave new"));
    views.FinishLoad();
    auto keys = [](const TTitleView& view) {
        std::vector<int32_t> k;
        for (int row = 1; row <= view.TitleCount(); ++row)
            k.push_back(view.MasterKey(row));
        return k;
    };
    views.SetFilter(SearchQuery("brave"));
    EXPECT_EQ(keys(views.AllTitles()), (std::vector<int32_t>{3, 1}));
    EXPECT_EQ(keys(*views.CategoryGrid(rock)), std::vector<int32_t>{1});
    EXPECT_EQ(keys(*views.CategoryGrid(jazz)), std::vector<int32_t>{3});
    int32_t pop = categories.AddCategory("Pop");
    views.CategoriesChanged();
    EXPECT_TRUE(views.CategoryGrid(pop)->Filtered());
    views.TitleAdded(Title(4, "Pop", "Lee", "Ann", "Calm", 60, 45000, "", pop), false);
    EXPECT_EQ(views.CategoryGrid(pop)->TitleCount(), 0);

    views.SetFilter(SearchQuery());
    EXPECT_EQ(keys(*views.CategoryGrid(rock)), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(keys(*views.CategoryGrid(pop)), std::vector<int32_t>{4});
    EXPECT_EQ(views.AllTitles().TitleCount(), 4);

    // Words typed before the titles were loaded: the rows they set aside come back too.
    views.SetFilter(SearchQuery("calm"));
    views.BeginLoad(3);
    views.LoadTitle(InRock(1, "Brave"));
    views.LoadTitle(InRock(2, "Calm"));
    views.LoadTitle(InRock(5, "Air"));
    views.FinishLoad();
    EXPECT_EQ(keys(*views.CategoryGrid(rock)), std::vector<int32_t>{2});
    views.SetFilter(SearchQuery());
    EXPECT_EQ(keys(*views.CategoryGrid(rock)), (std::vector<int32_t>{5, 1, 2}));
}

TEST(TitleSearch, TitlesAreFoundByTitleArtistCategoryAndFileNameAndNoWordSpansTwoFields) {
    TitleRecord r;
    r.title = "Summer Breeze";
    r.firstName = "Ann";
    r.lastName = "Lee";
    r.artist = "Ann Lee";
    r.categoryName = "Jazz";
    r.origin = "/home/music/summer.mid";
    TTitleStore store;
    TitleSearch search(store);
    const auto h = store.Put(r);
    auto finds = [&](const char* query) {
        bool matches = search.Matches(h, SearchQuery(query));
        EXPECT_EQ(TitleMatches(RowOf(r), SearchQuery(query)), matches) << query;
        return matches;
    };
    EXPECT_TRUE(finds("breeze lee jazz"));
    EXPECT_TRUE(search.MatchAll(SearchQuery("jazz breeze"))[h]);
    EXPECT_TRUE(finds("\"ann lee\""));
    r.title = "Breeze";
    store.Put(r);
    EXPECT_TRUE(finds("summer"));
    EXPECT_FALSE(finds("home"));
    EXPECT_FALSE(finds("mid"));
    EXPECT_FALSE(finds("\"breeze ann\""));
    // A change of the store is seen by the next search.
    r.title = "Winter";
    store.Put(r);
    EXPECT_FALSE(finds("breeze"));
    EXPECT_TRUE(finds("winter"));
    EXPECT_TRUE(search.MatchAll(SearchQuery("winter"))[h]);
    EXPECT_FALSE(search.MatchAll(SearchQuery("winter breeze"))[h]);
}

} // namespace
} // namespace tunquil
