// The main window's command parts on their own, over a window that is only the narrow interface:
// a real library, a selection and tab captions set by the test.

#include "support/MidiBytes.h"
#include "support/PdfText.h"
#include "ui/FakeMasterWindow.h"
#include "ui/GuiTestApp.h"
#include "ui/WindowLibrary.h"
#include "ui/export/ExportCommands.h"
#include "ui/export/TPrintParamFrm.h"
#include "ui/export/TTitlePrinter.h"
#include "ui/import/ImportCommands.h"

#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <cstdio>

namespace tunquil::ui {
namespace {

using test::PdfText;

class CommandPartsTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::GuiTestApp();
        test::LibraryWriter library(home.path());
        keys = library.AddThreeTitles(); // "Charlie", "alpha", "Bravo", all in "Jazz"
    }

    test::TempDir home, files;
    std::vector<int32_t> keys;
};

TEST_F(CommandPartsTest, ExportPrintsTheWindowsSelectionUnderTheHeadingOfItsTab) {
    test::FakeMasterWindow window(home.path());
    window.selection[TitleSelection::CategoryTitles] = {keys[2], keys[0]};
    window.names.categoryTab = 1;
    window.names.categoryCaption = "   Jazz   ";
    ExportCommands part(window);
    TTitlePrinter& printer = part.TitlePrinter();
    printer.UsePdfFile();
    const fs::path pdf = files / "report.pdf";
    printer.AskPdfFile = [&] { return QString::fromStdString(pdf.string()); };
    QTimer::singleShot(0, [&] { printer.Dialog().PrintButton->click(); });

    part.RunFeature(TitleFeature::Print, TitleSelection::CategoryTitles);

    const std::string text = PdfText(pdf);
    EXPECT_NE(text.find("Selected titles from category: Jazz"), std::string::npos) << text;
    EXPECT_NE(text.find("Bravo"), std::string::npos) << text;
    EXPECT_NE(text.find("Charlie"), std::string::npos) << text;
    EXPECT_EQ(text.find("alpha"), std::string::npos) << text;
    EXPECT_EQ(window.locks, 0);
}

TEST_F(CommandPartsTest, TheArchiveIsOfferedTheNameOfTheCategoryOrAlbumItHolds) {
    test::FakeMasterWindow window(home.path());
    ExportCommands part(window);
    window.names.categoryTab = 2;
    window.names.categoryCaption = "  Rock/Pop  ";
    window.names.listedAlbum = "Road Trip";
    EXPECT_EQ(part.SuggestedArchiveName(TitleSelection::ActiveCategory), "Rock_Pop.zip");
    EXPECT_EQ(part.SuggestedArchiveName(TitleSelection::AllCategories), "All titles.zip");
    EXPECT_EQ(part.SuggestedArchiveName(TitleSelection::AlbumSelected), "Road Trip.zip");
    window.names.albumTab = 1;
    window.names.albumCaption = " Evening mix ";
    EXPECT_EQ(part.SuggestedArchiveName(TitleSelection::AlbumTitles), "Evening mix.zip");
}

TEST_F(CommandPartsTest, ImportTakesDesktopDropsIntoTheShownCategoryAndNoneWhileLocked) {
    test::FakeMasterWindow window(home.path());
    window.names.categoryTab = 1;
    window.names.categoryCaption = "  Dropped  ";
    ImportCommands part(window);
    fs::path tune = files.Write("in/Blue Harbour.mid", test::SmallMidiFile(2, "blue"));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(tune.string()))});

    window.Lock();
    EXPECT_FALSE(part.AcceptsDrop(&data));
    EXPECT_FALSE(part.Drop(&data));
    window.Unlock();
    ASSERT_TRUE(part.AcceptsDrop(&data));
    ASSERT_TRUE(part.Drop(&data));
    // The import runs once the drop has returned.
    EXPECT_EQ(window.Library().Database().LiveTitles().size(), 3u);
    for (int i = 0; i < 100 && window.Library().Database().LiveTitles().size() < 4; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);

    std::vector<TitleRecord> titles = window.Library().Database().LiveTitles();
    ASSERT_EQ(titles.size(), 4u);
    EXPECT_EQ(titles.back().title, "Blue Harbour");
    EXPECT_EQ(titles.back().categoryName, "Dropped");
    EXPECT_EQ(window.locks, 0);
    EXPECT_FALSE(window.ProgressBar()->isVisible());
}

} // namespace
} // namespace tunquil::ui
