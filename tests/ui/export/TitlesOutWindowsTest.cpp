// The print parameters dialog, the save dialog and the save-as-audio dialog offscreen, printing
// and saving real titles.

#include "base/Files.h"
#include "support/MidiBytes.h"
#include "support/PdfText.h"
#include "support/TestProgram.h"
#include "ui/GuiTestApp.h"
#include "ui/export/TAudioExportDialog.h"
#include "ui/export/TSaveTitleDialog.h"
#include "ui/export/TTitlePrinter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <gtest/gtest.h>

namespace tunquil::ui {
namespace {

using test::SmallMidiFile;
using test::TestProgram;

using test::PdfText;

// Runs `act` once the event loop of the next modal dialog is running.
void OnceShown(std::function<void()> act) {
    QTimer::singleShot(0, std::move(act));
}

class TitlesOutWindowsTest : public ::testing::Test {
protected:
    void SetUp() override { tunquil::test::GuiTestApp(); }
    TestProgram p;
};

TEST_F(TitlesOutWindowsTest, PrintDialogKeepsItsChoicesAndPrintsTheEditedHeadingToPdf) {
    std::vector<int32_t> keys{p.AddTitle("First tune", SmallMidiFile(2, "a")),
                              p.AddTitle("Second tune", SmallMidiFile(2, "b"))};
    TTitlePrinter printer(p.db(), p.host, nullptr);
    printer.UsePdfFile();
    fs::path pdf = p.dir / "report.pdf";
    printer.AskPdfFile = [&] { return QString::fromStdString(pdf.string()); };
    TPrintParamFrm& frm = printer.Dialog();
    EXPECT_EQ(frm.windowTitle(), "Set printing parameters");
    EXPECT_TRUE(frm.windowFlags() & Qt::WindowStaysOnTopHint);

    OnceShown([&] {
        EXPECT_EQ(frm.Edit1->text(), "Category: Unknown");
        frm.Edit1->setText("My tunes");
        frm.Columns[kReportOrigin]->setChecked(true);
        frm.Columns[kReportArtist]->setChecked(false);
        frm.Landscape->setChecked(true);
        frm.PrintButton->click();
    });
    ASSERT_TRUE(printer.PrintTitles("Category: Unknown", keys));
    std::string text = PdfText(pdf);
    EXPECT_NE(text.find("My tunes"), std::string::npos) << text;
    EXPECT_NE(text.find("Second tune"), std::string::npos);
    EXPECT_NE(text.find("Origin"), std::string::npos);
    EXPECT_EQ(text.find("Artist"), std::string::npos);

    // The next report opens with the same marks; Cancel prints nothing.
    fs::remove(pdf);
    OnceShown([&] {
        EXPECT_TRUE(frm.Columns[kReportOrigin]->isChecked());
        EXPECT_FALSE(frm.Columns[kReportArtist]->isChecked());
        EXPECT_TRUE(frm.Landscape->isChecked());
        frm.CancelButton->click();
    });
    EXPECT_FALSE(printer.PrintTitles("Again", keys));
    EXPECT_FALSE(fs::exists(pdf));

    // A file chosen in the printer setup is where the report goes: it used to be ignored and
    // asked for again with an empty name.
    fs::path chosen = p.dir / "chosen.pdf";
    printer.Printer().setOutputFileName(QString::fromStdString(chosen.string()));
    printer.AskPdfFile = [] {
        ADD_FAILURE() << "asked again for the file";
        return QString();
    };
    OnceShown([&] { frm.PrintButton->click(); });
    EXPECT_TRUE(printer.PrintTitles("Chosen", keys));
    EXPECT_NE(PdfText(chosen).find("Chosen"), std::string::npos);
}

TEST_F(TitlesOutWindowsTest, OriginRecommendsLandscapeAndSetupFollowsThePrinter) {
    QPrinter qprinter;
    TPrintParamFrm frm(&qprinter);
    frm.Columns[kReportOrigin]->setChecked(true);
    EXPECT_EQ(frm.Landscape->text(), "Landscape (recommended)");
    EXPECT_EQ(frm.Landscape->palette().color(QPalette::WindowText), QColor(Qt::red));
    frm.Columns[kReportOrigin]->setChecked(false);
    EXPECT_EQ(frm.Landscape->text(), "&Landscape");
    EXPECT_EQ(frm.Landscape->palette().color(QPalette::WindowText), QColor(Qt::black));

    // An orientation button sets the printer at once; the printer's setup sets the buttons.
    frm.Landscape->setChecked(true);
    EXPECT_EQ(qprinter.pageLayout().orientation(), QPageLayout::Landscape);
    frm.RunPrinterSetup = [](QPrinter& p) { p.setPageOrientation(QPageLayout::Portrait); };
    frm.SetupButton->click();
    EXPECT_TRUE(frm.Portrait->isChecked());
}

TEST_F(TitlesOutWindowsTest, SavingTwoTitlesToAFolderThroughTheSaveDialog) {
    std::string midi = SmallMidiFile(2, "s");
    std::vector<int32_t> keys{p.AddTitle("One", midi), p.AddTitle("Two", midi)};
    fs::create_directories(p.dir / "out");
    TSaveTitleDialog dialog(nullptr);
    std::vector<QString> captions, folders;
    int shown = 0;
    dialog.OnShow = [&](QFileDialog& box) {
        captions.push_back(box.windowTitle());
        folders.push_back(box.directory().absolutePath());
        EXPECT_TRUE(box.testOption(QFileDialog::DontConfirmOverwrite));
        if (shown++ == 0) {
            box.setDirectory(QString::fromStdString((p.dir / "out").string()));
            box.selectFile(QStringLiteral("first"));
        } else {
            box.selectNameFilter(TSaveTitleDialog::kCompressedFilter);
            box.selectFile(QStringLiteral("second"));
        }
        QTimer::singleShot(0, &box, &QDialog::accept);
    };
    TitleSaver saver(p.db(), p.host, p.dir.path(), dialog, p.dir.path());
    EXPECT_EQ(saver.SaveTitles(keys), 2);
    EXPECT_EQ(captions, (std::vector<QString>{"Save One to...", "Save Two to..."}));
    EXPECT_EQ(folders[1].toStdString(), (p.dir / "out").string());
    EXPECT_EQ(ReadWholeFile(p.dir / "out/first.mid"), midi);
    EXPECT_TRUE(fs::exists(p.dir / "out/second.mid"));
    EXPECT_TRUE(fs::exists(p.dir / "out/second.zip"));
}

TEST_F(TitlesOutWindowsTest, AudioDialogLabelsTakeTheKeyboardToTheirFields) {
    TAudioExportDialog dialog(nullptr);
    // Every caption with a mnemonic is paired with its field: the folder label used to show
    // its '&' and Alt+F went nowhere, its field being a row of two controls.
    for (QLabel* label : dialog.findChildren<QLabel*>())
        if (label->text().contains('&'))
            EXPECT_NE(label->buddy(), nullptr) << label->text().toStdString();

    dialog.OnShow = [](TAudioExportDialog& d) {
        EXPECT_TRUE(QTest::qWaitForWindowActive(&d));
        d.FormatBox->setFocus();
        QTest::keyClick(&d, Qt::Key_F, Qt::AltModifier);
        EXPECT_TRUE(d.FolderEdit->hasFocus());
        d.CancelButton->click();
    };
    EXPECT_FALSE(dialog.Ask(3, {}).has_value());
}

} // namespace
} // namespace tunquil::ui
