// The table model over a grid of titles keeps Qt's model contract through every change the
// grid announces: Qt's own model tester watches it while titles come, change, move and go.

#include "database/TTitleGrid.h"
#include "ui/controls/TTitleTableModel.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <gtest/gtest.h>

namespace tunquil::ui {
namespace {

int warnings = 0;
void CountWarnings(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtDebugMsg && type != QtInfoMsg) {
        ++warnings;
        ADD_FAILURE() << message.toStdString();
    }
}

TitleRecord Title(int32_t key, const std::string& title, int32_t seconds) {
    TitleRecord r;
    r.masterKey = key;
    r.ck = 1;
    r.categoryName = "Rock";
    r.lastName = "Lee";
    r.artist = "Lee";
    r.title = title;
    r.duration = seconds;
    r.durationText = DurationText(seconds);
    r.dateObtained = 45000 + key;
    return r;
}

TEST(TitleTableModelTest, KeepsTheModelContractThroughEveryChange) {
    TTitleStore store;
    TTitleGrid grid(TitleViewKind::AllTitles, store);
    TTitleTableModel model(grid);
    warnings = 0;
    QtMessageHandler previous = qInstallMessageHandler(CountWarnings);
    {
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::Warning);
        EXPECT_EQ(model.rowCount(), 1); // the empty row
        grid.Append(store.Put(Title(1, "m", 10)));
        EXPECT_EQ(model.rowCount(), 1);
        EXPECT_EQ(model.data(model.index(0, 2)).toString().toStdString(), "m");
        for (int key = 2; key <= 30; ++key)
            grid.Add(store.Put(Title(key, std::string(1, char('a' + key % 26)), key)), key > 20);
        EXPECT_EQ(model.rowCount(), 30);
        grid.Sort(2);
        grid.Update(store.Put(Title(5, "zzz", 5)), true);
        EXPECT_EQ(model.data(model.index(29, 2)).toString().toStdString(), "zzz");
        grid.Remove(7);
        grid.RemoveRows({1, 2, 3, 4});
        EXPECT_EQ(model.rowCount(), 25);
        grid.BeginUpdate();
        for (int key = 31; key <= 40; ++key)
            grid.Append(store.Put(Title(key, "b", key)));
        grid.Remove(31);
        grid.EndUpdate();
        EXPECT_EQ(model.rowCount(), 34);
        grid.Clear();
        EXPECT_EQ(model.rowCount(), 1);
        EXPECT_EQ(model.data(model.index(0, 0)).toString().toStdString(), " ");
    }
    qInstallMessageHandler(previous);
    EXPECT_EQ(warnings, 0);
}

} // namespace
} // namespace tunquil::ui
