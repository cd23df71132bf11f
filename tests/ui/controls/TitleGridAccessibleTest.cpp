// What a screen reader is told of a title grid: the selected rows and cells from the grid's own
// selection, the cells' texts and headers, the current cell. (Qt hands out no announcement
// without a reader listening, which offscreen never is.)

#include "ui/controls/TitleGridAccessible.h"

#include "database/TTitleGrid.h"
#include "ui/GuiTestApp.h"
#include "ui/controls/TMyStringGrid.h"

#include <QAccessible>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace tunquil::ui {
namespace {

class TitleGridAccessibleTest : public ::testing::Test {
protected:
    TTitleStore store;
    TTitleGrid view{TitleViewKind::AllTitles, store};
    std::unique_ptr<TMyStringGrid> grid;
    QAccessibleInterface* table = nullptr;
    int titleColumn = 0;

    void SetUp() override {
        test::GuiTestApp();
        for (int i = 0; i < 6; ++i) {
            TitleRecord r;
            r.masterKey = i + 1;
            r.title = "tune " + std::to_string(i + 1);
            r.categoryName = "Rock";
            view.Append(store.Put(r));
        }
        grid = std::make_unique<TMyStringGrid>(view);
        grid->resize(400, 200);
        table = QAccessible::queryAccessibleInterface(grid.get());
        const auto& columns = view.Columns();
        titleColumn = static_cast<int>(
            std::find(columns.begin(), columns.end(), TitleColumn::Title) - columns.begin());
    }
};

TEST_F(TitleGridAccessibleTest, TheTableReportsTheGridsOwnSelectionAndCells) {
    ASSERT_NE(table, nullptr);
    QAccessibleTableInterface* cells = table->tableInterface();
    ASSERT_NE(cells, nullptr);
    EXPECT_EQ(table->role(), QAccessible::Table);
    EXPECT_EQ(cells->rowCount(), 6);
    EXPECT_EQ(cells->columnCount(), view.ColumnCount());
    EXPECT_EQ(cells->selectedRowCount(), 0);

    grid->PressRow(2, Qt::NoModifier);
    grid->ReleaseRow(2);
    grid->PressRow(4, Qt::ControlModifier);
    EXPECT_EQ(cells->selectedRows(), (QList<int>{1, 3}));
    EXPECT_EQ(cells->selectedRowCount(), 2);
    EXPECT_EQ(cells->selectedCellCount(), 2 * view.ColumnCount());
    EXPECT_TRUE(cells->isRowSelected(3));
    EXPECT_FALSE(cells->isRowSelected(2));

    QAccessibleInterface* cell = cells->cellAt(3, titleColumn);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->role(), QAccessible::Cell);
    EXPECT_EQ(cell->text(QAccessible::Name), "tune 4");
    EXPECT_TRUE(cell->state().selected);
    EXPECT_TRUE(cell->tableCellInterface()->isSelected());
    EXPECT_FALSE(cells->cellAt(2, titleColumn)->state().selected);
    EXPECT_EQ(cell->parent(), table);
    // Each cell is one interface, found again by its child index, with its column's header.
    const int index = table->indexOfChild(cell);
    EXPECT_EQ(table->child(index), cell);
    EXPECT_EQ(cells->cellAt(3, titleColumn), cell);
    QList<QAccessibleInterface*> header = cell->tableCellInterface()->columnHeaderCells();
    ASSERT_EQ(header.size(), 1);
    EXPECT_EQ(header[0]->role(), QAccessible::ColumnHeader);
    EXPECT_EQ(header[0]->text(QAccessible::Name), cells->columnDescription(titleColumn));

    // A reader may change the selection too; the grid's flags follow.
    EXPECT_TRUE(cells->unselectRow(1));
    EXPECT_TRUE(cells->selectRow(5));
    EXPECT_EQ(view.SelectedKeys(), (std::vector<int32_t>{4, 6}));

    // Rows that go take their cells with them.
    view.Remove(1);
    EXPECT_EQ(cells->rowCount(), 5);
    EXPECT_EQ(cells->cellAt(2, titleColumn)->text(QAccessible::Name), "tune 4");
    EXPECT_TRUE(cells->cellAt(2, titleColumn)->state().selected);
}

TEST_F(TitleGridAccessibleTest, TheClickedCellIsTheFocusedOne) {
    grid->show();
    grid->activateWindow();
    grid->setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(grid.get()));

    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualRect(grid->Model()->index(2, titleColumn)).center());
    QCoreApplication::processEvents();
    QAccessibleInterface* focused = table->focusChild();
    ASSERT_NE(focused, nullptr);
    EXPECT_EQ(focused->tableCellInterface()->rowIndex(), 2);
    EXPECT_TRUE(focused->state().focused);
    EXPECT_EQ(focused->tableCellInterface()->columnIndex(), titleColumn);
    EXPECT_EQ(table->tableInterface()->selectedRows(), QList<int>{2});
    QTest::keyClick(grid.get(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(table->tableInterface()->selectedRowCount(), 6);
}

} // namespace
} // namespace tunquil::ui
