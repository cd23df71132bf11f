// Selected rows stay readable in every list of titles and albums: the text of a selected row
// stands out from the row's background, whether the list has the focus or not.

#include "database/TTitleGrid.h"
#include "ui/GuiTestApp.h"
#include "ui/controls/TExtListView.h"
#include "ui/controls/TMyStringGrid.h"

#include <QImage>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cmath>
#include <gtest/gtest.h>

namespace tunquil::ui {
namespace {

double Luminance(QRgb c) {
    auto channel = [](int v) {
        double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
}

double Contrast(QRgb a, QRgb b) {
    double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The contrast of the text of a row with its background: the background is the colour most of
// the row's pixels have, the text the pixel that differs from it most.
double RowContrast(QWidget* viewport, const QRect& row) {
    QImage image = viewport->grab(row).toImage();
    std::map<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixel(x, y)];
    QRgb background = std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) {
                          return a.second < b.second;
                      })->first;
    double best = 1;
    for (const auto& [colour, count] : counts)
        best = std::max(best, Contrast(colour, background));
    return best;
}

// The contrast asked of large text and of controls: the desktop's own highlight (white on a
// middle blue) has a little more, the white-on-pale of a lost highlight far less.
constexpr double kReadable = 3.0;

TEST(SelectedRowColoursTest, TheSelectedAlbumAndTitleRowsAreReadableWithAndWithoutTheFocus) {
    test::GuiTestApp();
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* list = new TExtListView;
    TTitleStore store;
    TTitleGrid view{TitleViewKind::AllTitles, store};
    TitleRecord r;
    r.masterKey = 1;
    r.title = "WWWW MMMM";
    r.categoryName = "Rock";
    view.Append(store.Put(r));
    auto* grid = new TMyStringGrid(view);
    auto* elsewhere = new QLineEdit;
    layout->addWidget(list);
    layout->addWidget(grid);
    layout->addWidget(elsewhere);
    list->SetRows({{"Road", "12", "40:00"}, {"WWWW MMMM", "3", "10:00"}});
    window.resize(400, 400);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    list->SelectRow(1);
    grid->PressRow(1, Qt::NoModifier);

    QTreeWidget* report = list->Report();
    QRect albumRow = report->visualItemRect(report->topLevelItem(1));
    QRect titleRow = grid->visualRect(grid->Model()->index(0, 0))
                         .united(grid->visualRect(grid->Model()->index(0, 2)));
    for (QWidget* focus : {static_cast<QWidget*>(report), static_cast<QWidget*>(elsewhere)}) {
        focus->setFocus();
        QCoreApplication::processEvents();
        EXPECT_GE(RowContrast(report->viewport(), albumRow), kReadable) << "album list";
        EXPECT_GE(RowContrast(grid->viewport(), titleRow), kReadable) << "title grid";
    }
    // The row not selected reads as well.
    EXPECT_GE(RowContrast(report->viewport(), report->visualItemRect(report->topLevelItem(0))),
              kReadable);
}

} // namespace
} // namespace tunquil::ui
