// The title grid's own selection rules, its drags of key lists and its "..." cutting.

#include "database/TTitleGrid.h"
#include "ui/GuiTestApp.h"
#include "ui/controls/TMyStringGrid.h"
#include "ui/controls/TitleKeysMime.h"

#include <QMimeData>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace tunquil::ui {
namespace {

class TitleGridTest : public ::testing::Test {
protected:
    TTitleStore store;
    TTitleGrid view{TitleViewKind::AllTitles, store};
    std::unique_ptr<TMyStringGrid> grid;

    void SetUp() override {
        test::GuiTestApp();
        const char* titles[] = {"f", "e", "d", "c", "b", "a", "g", "h"};
        for (int i = 0; i < 8; ++i) {
            TitleRecord r;
            r.masterKey = i + 1;
            r.title = titles[i];
            r.categoryName = "Rock";
            r.duration = 60;
            r.durationText = DurationText(60);
            view.Append(store.Put(r));
        }
        grid = std::make_unique<TMyStringGrid>(view);
    }

    std::vector<int> Selected() const {
        std::vector<int> rows;
        for (int row = 1; row <= view.TitleCount(); ++row)
            if (view.Selected(row))
                rows.push_back(row);
        return rows;
    }
};

TEST_F(TitleGridTest, ShiftAndCtrlClicksFollowTheAnchor) {
    grid->PressRow(3, Qt::NoModifier);
    grid->ReleaseRow(3);
    grid->PressRow(6, Qt::ShiftModifier);
    grid->ReleaseRow(6);
    EXPECT_EQ(Selected(), (std::vector<int>{3, 4, 5, 6}));
    grid->PressRow(4, Qt::ControlModifier);
    grid->ReleaseRow(4);
    EXPECT_EQ(Selected(), (std::vector<int>{3, 5, 6}));
    EXPECT_EQ(grid->Anchor(), 3);
    // A plain click on a selected row keeps the others until the release, for a drag.
    grid->PressRow(5, Qt::NoModifier);
    EXPECT_EQ(Selected(), (std::vector<int>{3, 5, 6}));
    grid->ReleaseRow(5);
    EXPECT_EQ(Selected(), (std::vector<int>{5}));
}

TEST_F(TitleGridTest, PlainModeSelectsOneRowAtATime) {
    grid->SetPlainMode(true);
    grid->PressRow(2, Qt::NoModifier);
    grid->PressRow(5, Qt::ShiftModifier);
    EXPECT_EQ(Selected(), (std::vector<int>{5}));
}

TEST_F(TitleGridTest, ShiftSelectionWithoutOrWithAStaleAnchorStaysInTheGrid) {
    grid->SetAnchor(-1);
    view.SetCurrentRow(2);
    grid->MoveCurrentRow(4, true);
    EXPECT_EQ(Selected(), (std::vector<int>{2, 3, 4}));

    grid->SetAnchor(50); // the rows it pointed at are gone
    grid->MoveCurrentRow(6, true);
    EXPECT_EQ(Selected(), (std::vector<int>{6, 7, 8}));
    grid->PressRow(7, Qt::ShiftModifier);
    for (int row : Selected())
        EXPECT_LE(row, view.TitleCount());
}

TEST_F(TitleGridTest, SavedSelectionFollowsTheTitlesWhenRowsMove) {
    grid->PressRow(1, Qt::NoModifier);      // "f", key 1
    grid->PressRow(2, Qt::ControlModifier); // "e", key 2
    grid->SaveSelection();
    view.Sort(2); // by title: a b c d e f g h
    grid->RestoreSelection();
    EXPECT_EQ(view.SelectedKeys(), (std::vector<int32_t>{2, 1}));
    EXPECT_EQ(grid->SavedSelection(), (std::vector<int32_t>{1, 2}));
}

TEST_F(TitleGridTest, KeyListsTravelInTheirOwnMimeTypeAndNothingElseIsTaken) {
    std::unique_ptr<QMimeData> data(MakeTitleKeysMime({SelectionSource::AlbumList, {7, 3, 7}}));
    DraggedTitles back = ReadTitleKeysMime(data.get());
    EXPECT_EQ(back.source, SelectionSource::AlbumList);
    EXPECT_EQ(back.keys, (std::vector<int32_t>{7, 3, 7}));
    EXPECT_FALSE(back.fromTab);
    // A tab of an empty category still names it; anything else without keys is nothing.
    std::unique_ptr<QMimeData> tab(MakeTitleKeysMime({SelectionSource::CategoryGrid, {}, true}));
    EXPECT_EQ(ReadTitleKeysMime(tab.get()).source, SelectionSource::CategoryGrid);
    EXPECT_TRUE(ReadTitleKeysMime(tab.get()).fromTab);
    std::unique_ptr<QMimeData> none(MakeTitleKeysMime({SelectionSource::CategoryGrid, {}}));
    EXPECT_EQ(ReadTitleKeysMime(none.get()).source, SelectionSource::None);

    QMimeData text;
    text.setText("1\n2");
    EXPECT_EQ(ReadTitleKeysMime(&text).source, SelectionSource::None);
    QMimeData bad;
    bad.setData(kTitleKeysMimeType, "category\n12\n-4");
    EXPECT_TRUE(ReadTitleKeysMime(&bad).keys.empty());
}

TEST_F(TitleGridTest, DropRowIsTheFirstUnderTheHeaderAndAfterTheLastBelowTheRows) {
    grid->resize(400, 300);
    EXPECT_EQ(grid->DropRowAt(QPoint(10, -5)), 1);
    EXPECT_EQ(grid->DropRowAt(QPoint(10, 5)), 1);
    EXPECT_EQ(grid->DropRowAt(QPoint(10, grid->rowViewportPosition(3) + 2)), 4);
    EXPECT_EQ(grid->DropRowAt(QPoint(10, grid->rowViewportPosition(7) + 2)), 8);
    EXPECT_EQ(grid->DropRowAt(QPoint(10, 290)), 9);

    // An empty grid's one empty row and the space under it both take the drop as its first.
    TTitleGrid none(TitleViewKind::Category, store);
    TMyStringGrid empty(none);
    empty.resize(400, 300);
    EXPECT_EQ(empty.DropRowAt(QPoint(10, 5)), 1);
    EXPECT_EQ(empty.DropRowAt(QPoint(10, 290)), 1);
}

// A grid of many titles whose categories start with the letters typed, as a category column
// matched by mistake would show.
class TypeAheadTest : public ::testing::Test {
protected:
    TTitleStore store;
    TTitleGrid view{TitleViewKind::AllTitles, store};
    std::unique_ptr<TMyStringGrid> grid;
    int midnight = 0, music = 0;

    void SetUp() override {
        test::GuiTestApp();
        std::vector<std::string> titles;
        for (int i = 0; i < 150; ++i)
            titles.push_back("alpha " + std::to_string(i));
        titles.insert(titles.end(), {"Midnight snow run", "music000", "music001", "zebra"});
        for (std::size_t i = 0; i < titles.size(); ++i) {
            TitleRecord r;
            r.masterKey = static_cast<int32_t>(i + 1);
            r.title = titles[i];
            r.categoryName = "Music box";
            r.artist = "Mu";
            view.Append(store.Put(r));
        }
        midnight = 151;
        music = 152;
        grid = std::make_unique<TMyStringGrid>(view);
        grid->resize(400, 200);
        grid->show();
    }

    bool Shown(int row) const {
        const int y = grid->rowViewportPosition(row - 1);
        return y >= 0 && y + grid->rowHeight(row - 1) <= grid->viewport()->height();
    }
    std::vector<int32_t> OnlySelected(int row) const { return {view.MasterKey(row)}; }
};

TEST_F(TypeAheadTest, LettersTypedTogetherFindTheTitleAndShowIt) {
    // After a click, both letters count: "mu" goes past "Midnight snow run" to "music000".
    grid->PressRow(3, Qt::NoModifier);
    grid->ReleaseRow(3);
    grid->setCurrentIndex(grid->Model()->index(2, 0)); // clicked in the category column
    QTest::keyClicks(grid.get(), "mu");
    EXPECT_EQ(view.CurrentRow(), music);
    EXPECT_EQ(view.SelectedKeys(), OnlySelected(music));
    EXPECT_TRUE(Shown(music));
    // A click on the row found leaves the rows where they are.
    grid->PressRow(music, Qt::NoModifier);
    grid->ReleaseRow(music);
    EXPECT_TRUE(Shown(music));

    // After a keyboard move the letters still look at the titles, and start a new prefix.
    QTest::keyClick(grid.get(), Qt::Key_Home);
    EXPECT_TRUE(Shown(1));
    QTest::keyClicks(grid.get(), "mi");
    EXPECT_EQ(view.CurrentRow(), midnight);
    EXPECT_EQ(view.SelectedKeys(), OnlySelected(midnight));
    EXPECT_TRUE(Shown(midnight));

    // A prefix nobody starts with leaves the selection where it was.
    QTest::keyClicks(grid.get(), "q");
    EXPECT_EQ(view.CurrentRow(), midnight);
}

TEST_F(TypeAheadTest, TheSameLetterAgainStepsThroughTheTitlesItStarts) {
    grid->TypeAhead("m");
    EXPECT_EQ(view.CurrentRow(), midnight);
    grid->TypeAhead("m");
    EXPECT_EQ(view.CurrentRow(), music);
    grid->TypeAhead("m");
    EXPECT_EQ(view.CurrentRow(), music + 1);
    grid->TypeAhead("m"); // round to the first again
    EXPECT_EQ(view.CurrentRow(), midnight);
    EXPECT_EQ(grid->FindTitleStarting("ZEB", 1), 154);
}

} // namespace
} // namespace tunquil::ui
