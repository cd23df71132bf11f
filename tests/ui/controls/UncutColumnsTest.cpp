// Grid columns that cut their text while the grid has room to spare are widened into that
// room, from the rows in sight, and never past the grid's edge.

#include "ui/controls/UncutColumns.h"

#include "ui/GuiTestApp.h"

#include <QApplication>
#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>
#include <gtest/gtest.h>

namespace tunquil::ui {
namespace {

struct Grid {
    // The application comes first: the view below is a widget.
    QApplication& app = test::GuiTestApp();
    QStandardItemModel model{0, 3};
    QTableView view;
    Grid(int width) {
        model.setHorizontalHeaderLabels({"Title", "Origin", "Date"});
        view.setModel(&model);
        view.resize(width, 300);
        for (int c = 0; c < 3; ++c)
            view.setColumnWidth(c, 60);
    }
    void Row(const QString& title, const QString& origin) {
        model.appendRow(
            {new QStandardItem(title), new QStandardItem(origin), new QStandardItem("2024-05-01")});
    }
    int Needed(const QString& text) const { return view.fontMetrics().horizontalAdvance(text) + 6; }
};

TEST(UncutColumns, CutColumnsTakeTheRoomToSpareButNoMore) {
    const QString origin = "/home/someone/Music/OpenMSX songs/stage one.mid";
    Grid roomy(900);
    roomy.Row("Intro", origin);
    roomy.view.show();
    WidenCutColumns(&roomy.view);
    EXPECT_EQ(roomy.view.columnWidth(0), 60); // wide enough already: never narrowed or grown
    EXPECT_GE(roomy.view.columnWidth(1), roomy.Needed(origin));
    EXPECT_GE(roomy.view.columnWidth(2), roomy.Needed("2024-05-01"));

    // A narrow grid: the cut column takes what room there is, and the grid does not scroll.
    Grid narrow(250);
    narrow.Row("Intro", origin);
    narrow.view.show();
    WidenCutColumns(&narrow.view);
    int total = 0;
    for (int c = 0; c < 3; ++c)
        total += narrow.view.columnWidth(c);
    EXPECT_GT(narrow.view.columnWidth(1), 60);
    EXPECT_LE(total, narrow.view.viewport()->width());
}

TEST(UncutColumns, AWatchedGridWidensAsRowsArriveAndChange) {
    Grid grid(900);
    KeepColumnsUncut(&grid.view);
    grid.view.show();
    QApplication::processEvents();
    const QString origin = "/home/someone/Music/a rather long folder/tune.mid";
    grid.Row("Intro", origin);
    QApplication::processEvents();
    EXPECT_GE(grid.view.columnWidth(1), grid.Needed(origin));
    // A model filled anew at once (an import's batch, a filter) is measured too.
    const QString longer = origin + "/and deeper still/tune.mid";
    grid.model.setItem(0, 1, new QStandardItem(longer));
    QApplication::processEvents();
    EXPECT_GE(grid.view.columnWidth(1), grid.Needed(longer));
}

} // namespace
} // namespace tunquil::ui
