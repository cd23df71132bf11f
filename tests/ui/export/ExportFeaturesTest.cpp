// Getting titles out of the main window offscreen: which titles each menu item and toolbar drop
// hands to mail, archive, save and print; the archive windows over real archives; and closing
// while a report is being printed.

#include "base/Files.h"
#include "base/IniFile.h"
#include "database/TAlbList.h"
#include "export/archive/StoredTune.h"
#include "export/archive/TAbUnZipper.h"
#include "support/MidiBytes.h"
#include "support/TestProgram.h"
#include "ui/GuiTestApp.h"
#include "ui/TunquilApp.h"
#include "ui/WindowLibrary.h"
#include "ui/app/TMasterFrm.h"
#include "ui/controls/TExtListView.h"
#include "ui/controls/TMyStringGrid.h"
#include "ui/export/AudioExportProgressWindow.h"
#include "ui/export/ExportCommands.h"
#include "ui/export/TArchiveForm.h"
#include "ui/export/TAudioExportDialog.h"
#include "ui/export/TCreateArchiveForm.h"
#include "ui/export/TMailForm.h"
#include "ui/export/TTitlePrinter.h"

#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace tunquil::ui {
namespace {

using test::SmallMidiFile;

struct Opened {
    TitleFeature feature;
    std::vector<int32_t> keys;
    std::string heading;
    bool operator==(const Opened&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Opened& o) {
    out << static_cast<int>(o.feature) << " [";
    for (int32_t k : o.keys)
        out << k << ' ';
    return out << "] \"" << o.heading << '"';
}

class ExportFeaturesTest : public ::testing::Test {
protected:
    test::TempDir home;
    int32_t alpha = 0, beta = 0, gamma = 0;
    std::unique_ptr<TMasterFrm> window;
    std::vector<std::string> messages;

    void SetUp() override {
        test::GuiTestApp();
        // Rock holds Alpha and Beta, Jazz holds Gamma; the album Mix holds Gamma then Alpha.
        {
            test::LibraryWriter library(home.path());
            int32_t rock = library.categories.AddCategory("Rock");
            int32_t jazz = library.categories.AddCategory("Jazz");
            int32_t lee = library.data.Performers().FindOrAdd("Ann", "Lee");
            auto add = [&](const std::string& title, int32_t ck) {
                fs::path source = home.Write("fixture/AAATune.TTT", SmallMidiFile(2, title));
                ZipOneFile(source, home / "fixture/tune.zip");
                return library.data.AddTitle(home / "fixture/tune.zip", title, true, 45000, 30, lee,
                                             ck, "/music/" + title + ".mid");
            };
            alpha = add("Alpha", rock);
            beta = add("Beta", rock);
            gamma = add("Gamma", jazz);
            library.albums.AppendTitles(library.albums.AddAlbum("Mix"), {gamma, alpha});
        }

        std::string error;
        window = StartMainWindow(home.path().string(), error);
        ASSERT_TRUE(window) << error;
        window->show();
        // Every message box is read and closed.
        TMessageDialog& md = window->Widgets().MessageDialog();
        md.OnShow = [this, &md] {
            messages.push_back(md.Text.toStdString());
            QTimer::singleShot(0, md.Box(), &QDialog::accept);
        };
    }

    void TearDown() override {
        if (window)
            window->ShutDown();
    }

    int TabOf(QTabWidget* tabs, const QString& caption) {
        for (int i = 0; i < tabs->count(); ++i)
            if (tabs->tabText(i).trimmed() == caption)
                return i;
        return -1;
    }

    // Opens the menu, as the user does, so that it makes its side current and is enabled.
    void Choose(const QStringList& path) {
        QAction* top = window->MenuItem({path.front()});
        ASSERT_TRUE(top && top->menu()) << path.front().toStdString();
        emit top->menu()->aboutToShow();
        QAction* item = window->MenuItem(path);
        ASSERT_TRUE(item) << path.join(" / ").toStdString();
        item->trigger();
    }
};

TEST_F(ExportFeaturesTest, EachMenuSelectionAndDropReachesItsFeatureWithItsTitles) {
    std::vector<Opened> opened;
    window->Export().openFeature = [&](TitleFeature f, const std::vector<int32_t>& keys,
                                       const std::string& heading) {
        opened.push_back({f, keys, heading});
    };
    QTabWidget* categories = window->CategoriesTabs();
    categories->setCurrentIndex(TabOf(categories, "Rock"));
    TTitleView& rock = window->ActiveCategoryGrid()->View();
    rock.SelectOnly(rock.FindRow(beta));
    QTabWidget* albums = window->AlbumsTabs();
    albums->setCurrentIndex(TabOf(albums, "Mix"));
    window->ActiveAlbumGrid()->View().SelectOnly(1);

    using F = TitleFeature;
    const std::vector<std::pair<QStringList, Opened>> cases{
        {{"&Categories", "&Mail", "&Titles selected"}, {F::Mail, {beta}, ""}},
        {{"&Categories", "Archive", "Active &category"}, {F::Archive, {alpha, beta}, ""}},
        {{"&Categories", "&Save to disk", "&Titles selected"}, {F::SaveToDisk, {beta}, ""}},
        {{"&Categories", "P&rint", "&Titles selected"},
         {F::Print, {beta}, "One title from category: Rock"}},
        {{"&Categories", "P&rint", "Active &category"},
         {F::Print, {alpha, beta}, "Category: Rock"}},
        {{"&Categories", "P&rint", "&All categories"},
         {F::Print, {gamma, alpha, beta}, "ALL CATEGORIES"}},
        {{"&Albums", "&Mail", "&Titles selected"}, {F::Mail, {gamma}, ""}},
        {{"&Albums", "Archive", "A&ll albums"}, {F::Archive, {gamma, alpha}, ""}},
        {{"&Albums", "P&rint", "&Album selected"}, {F::Print, {gamma, alpha}, "Custom album: Mix"}},
        {{"&Albums", "P&rint", "&Title(s) selected"},
         {F::Print, {gamma}, "One title from custom album: Mix"}},
        // Audio files name the album exported as a whole; titles picked one by one keep
        // their categories.
        {{"&Categories", "Save as &audio", "Active &category"},
         {F::SaveAsAudio, {alpha, beta}, "Rock"}},
        {{"&Categories", "Save as &audio", "&Titles selected"}, {F::SaveAsAudio, {beta}, ""}},
        {{"&Albums", "Save as &audio", "&Album selected"}, {F::SaveAsAudio, {gamma, alpha}, "Mix"}},
        // The titles of the side used last: the album side, opened just before.
        {{"&Titles", "&Save to disk"}, {F::SaveToDisk, {gamma}, ""}},
        {{"&Titles", "Save as &audio..."}, {F::SaveAsAudio, {gamma}, ""}},
    };
    for (const auto& [path, expected] : cases) {
        opened.clear();
        Choose(path);
        ASSERT_EQ(opened.size(), 1u) << path.join(" / ").toStdString();
        EXPECT_EQ(opened[0], expected) << path.join(" / ").toStdString();
    }

    // Nothing to hand over: the summary tab has no active category.
    opened.clear();
    categories->setCurrentIndex(0);
    Choose({"&Categories", "Archive", "Active &category"});
    EXPECT_TRUE(opened.empty());
    categories->setCurrentIndex(TabOf(categories, "Rock"));

    // Drops: mail and save take rows only; archive and print take tabs too, print naming the
    // report after where the titles came from.
    auto drop = [&](const char* button, DraggedTitles titles) {
        opened.clear();
        bool taken = window->DropTitles(window->Control(button), titles);
        return taken ? opened : std::vector<Opened>{};
    };
    const auto fromGrid = SelectionSource::CategoryGrid;
    const auto fromAlbum = SelectionSource::AlbumList;
    EXPECT_EQ(drop("MailTitle", {fromGrid, {beta}}), (std::vector<Opened>{{F::Mail, {beta}, ""}}));
    EXPECT_TRUE(drop("MailTitle", {fromGrid, {alpha, beta}, true}).empty());
    EXPECT_TRUE(drop("ExportTitle", {fromAlbum, {gamma}, true}).empty());
    EXPECT_EQ(drop("ExportTitle", {fromAlbum, {gamma}}),
              (std::vector<Opened>{{F::SaveToDisk, {gamma}, ""}}));
    EXPECT_EQ(drop("Archive", {fromGrid, {alpha, beta}, true}),
              (std::vector<Opened>{{F::Archive, {alpha, beta}, ""}}));
    EXPECT_EQ(
        drop("PrintCat", {fromGrid, {alpha, beta}}),
        (std::vector<Opened>{{F::Print, {alpha, beta}, "Selected titles from category: Rock"}}));
    EXPECT_EQ(drop("PrintCat", {fromGrid, {alpha, beta}, true}),
              (std::vector<Opened>{{F::Print, {alpha, beta}, "Category: Rock"}}));
    EXPECT_EQ(drop("PrintCat", {fromAlbum, {gamma, alpha}}),
              (std::vector<Opened>{{F::Print, {gamma, alpha}, "Custom album: Mix"}}));
    // A dragged tab stays a tab on its way through the drag's data.
    std::unique_ptr<QMimeData> data(MakeTitleKeysMime({fromGrid, {alpha, beta}, true}));
    EXPECT_EQ(drop("PrintCat", ReadTitleKeysMime(data.get())),
              (std::vector<Opened>{{F::Print, {alpha, beta}, "Category: Rock"}}));
    // A locked window takes no drop.
    window->Lock();
    EXPECT_TRUE(drop("Archive", {fromGrid, {beta}}).empty());
    window->Unlock();
}

TEST_F(ExportFeaturesTest, ArchivingFromTheMenuRunsInTheArchiveWindowAndCancelWritesNothing) {
    fs::create_directories(home / "out");
    std::vector<std::size_t> asked;
    window->Export().askArchiveName = [&](std::size_t n) {
        asked.push_back(n);
        return (home / "out/songs").string();
    };
    TCreateArchiveForm& form = window->Export().CreateArchiveForm();
    std::vector<QString> seen;
    bool lockedMeanwhile = false;
    form.OnRunning = [&](ArchiveProgressWindow& w) {
        seen = {w.windowTitle(), w.FirstGroup->title(), w.SecondGroup->title(),
                w.CancelButton->text()};
        lockedMeanwhile = window->Locked();
    };
    // The result used to open behind the progress window, which stays on top while it works.
    bool resultBehindProgress = false;
    TMessageDialog& md = window->Widgets().MessageDialog();
    md.OnShow = [&, record = md.OnShow] {
        resultBehindProgress = form.isVisible() && (form.windowFlags() & Qt::WindowStaysOnTopHint);
        record();
    };
    window->CategoriesTabs()->setCurrentIndex(TabOf(window->CategoriesTabs(), "Rock"));
    Choose({"&Categories", "Archive", "Active &category"});

    EXPECT_FALSE(resultBehindProgress);
    EXPECT_EQ(asked, std::vector<std::size_t>{2});
    EXPECT_EQ(seen, (std::vector<QString>{"Archiving...", " Preparing 2 files for archiving ",
                                          " Archiving 2 files ", "Cancel"}));
    EXPECT_TRUE(lockedMeanwhile);
    EXPECT_FALSE(window->Locked());
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(messages, std::vector<std::string>{"Archiving successfully completed!"});
    TAbUnZipper zip;
    zip.Open(home / "out/songs.zip");
    ASSERT_EQ(zip.Count(), 2);
    EXPECT_EQ(zip.EntryName(0), "Alpha.mid");
    EXPECT_EQ(zip.EntryName(1), "Beta.mid");

    // Cancel while the titles are prepared: no archive, no message, nothing left staged.
    messages.clear();
    window->Export().askArchiveName = [&](std::size_t) {
        return (home / "out/cancelled.zip").string();
    };
    form.OnRunning = [](ArchiveProgressWindow& w) { w.CancelButton->click(); };
    Choose({"&Categories", "Archive", "&All categories"});
    EXPECT_FALSE(fs::exists(home / "out/cancelled.zip"));
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(fs::is_empty(home / "TempTrash"));
}

TEST_F(ExportFeaturesTest,
       SavingThreeTitlesAsAudioWritesTaggedFilesAndTheDialogRemembersItsChoice) {
    TAudioExportDialog& dialog = window->Export().AudioDialog();
    QString shownFolder;
    dialog.OnShow = [&](TAudioExportDialog& d) {
        shownFolder = d.FolderEdit->text();
        d.FolderEdit->setText(QString::fromStdString((home / "phone").string()));
        d.FormatBox->setCurrentIndex(0); // FLAC
        d.LoudnessBox->setValue(-18);
        d.OkButton->click();
    };
    bool lockedMeanwhile = false;
    QString rendering;
    window->Export().onAudioProgress = [&](AudioExportProgressWindow& w) {
        lockedMeanwhile = window->Locked();
        rendering = w.TitleLabel->text();
    };
    Choose({"&Categories", "Save as &audio", "&All categories"});
    EXPECT_EQ(shownFolder, QDir::homePath() + "/Music"); // nothing remembered yet
    EXPECT_TRUE(lockedMeanwhile);
    EXPECT_FALSE(window->Locked());
    EXPECT_EQ(messages, std::vector<std::string>{"3 written."});
    for (const char* title : {"Alpha", "Beta", "Gamma"})
        EXPECT_TRUE(fs::exists(home / "phone" / (std::string(title) + ".flac"))) << title;
    IniFile ini(home / "Tunquil.ini");
    EXPECT_EQ(ini.ReadString("Audio export", "Folder", ""), (home / "phone").string());
    EXPECT_EQ(ini.ReadString("Audio export", "Loudness", ""), "-18");

    // The next time the dialog starts from that choice; the files there are asked about, and
    // Cancel in the dialog writes nothing.
    messages.clear();
    double shownLoudness = 0;
    dialog.OnShow = [&](TAudioExportDialog& d) {
        shownFolder = d.FolderEdit->text();
        shownLoudness = d.LoudnessBox->value();
        d.CancelButton->click();
    };
    Choose({"&Categories", "Save as &audio", "&All categories"});
    EXPECT_EQ(shownFolder, QString::fromStdString((home / "phone").string()));
    EXPECT_EQ(shownLoudness, -18);
    EXPECT_TRUE(messages.empty());

    // Cancel in the progress window: only whole files, and the summary says so.
    dialog.OnShow = [&](TAudioExportDialog& d) {
        d.FolderEdit->setText(QString::fromStdString((home / "cancelled").string()));
        d.OkButton->click();
    };
    window->Export().onAudioProgress = [](AudioExportProgressWindow& w) {
        w.CancelButton->click();
    };
    Choose({"&Categories", "Save as &audio", "&All categories"});
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("cancelled"), std::string::npos) << messages[0];
    for (const auto& e : fs::directory_iterator(home / "cancelled"))
        EXPECT_EQ(e.path().extension(), ".flac") << e.path();
}

TEST(ArchiveImportWindow, ImportsEveryMemberAndCancelStopsTheImport) {
    test::GuiTestApp();
    test::TestProgram p;
    std::vector<fs::path> files;
    for (int i = 1; i <= 5; ++i)
        files.push_back(p.dir.Write("pack/tune" + std::to_string(i) + ".mid",
                                    SmallMidiFile(2, std::to_string(i))));
    ASSERT_TRUE(p.archiver.WriteArchive(files, (p.dir / "pack.zip").string()));
    TArchiveForm form(p.host);
    std::vector<QString> seen;
    int cancels = 0;
    form.onCancel = [&] { ++cancels; };
    auto import = [&](IHost& host) {
        TitleImporter importer(host, p.data, p.categories, p.dir.path());
        return importer.ImportArchive(p.dir / "pack.zip", true, true);
    };

    form.OnRunning = [](ArchiveProgressWindow& w) { w.CancelButton->click(); };
    EXPECT_EQ(form.ImportArchive(5, import), "Error decompressing");
    EXPECT_EQ(cancels, 1);
    EXPECT_EQ(p.db().LiveCount(), 0);

    form.OnRunning = [&](ArchiveProgressWindow& w) {
        seen = {w.windowTitle(), w.FirstGroup->title(), w.SecondGroup->title()};
    };
    EXPECT_EQ(form.ImportArchive(5, import), "");
    EXPECT_EQ(seen, (std::vector<QString>{"Archive processing status",
                                          " Extracting 5 files from archive ",
                                          " Importing 5 files into database "}));
    EXPECT_EQ(form.SecondBar->value(), 100);
    EXPECT_EQ(p.db().LiveCount(), 5);
}

TEST_F(ExportFeaturesTest, MailTitlesListsThemAndClosingPutsTheMailWindowAway) {
    window->MailTitles({alpha, gamma});
    TMailForm& mail = window->Export().MailForm();
    EXPECT_TRUE(mail.isVisible());
    EXPECT_EQ(mail.windowTitle().toStdString(), " Mail the attached 2 title(s)");
    ASSERT_EQ(mail.Attachments->topLevelItemCount(), 2);
    EXPECT_EQ(mail.Attachments->topLevelItem(1)->text(2).toStdString(), "Gamma");
    EXPECT_FALSE(window->Locked());
    mail.Mailer().settings.server = "mail.example.org";
    window->ShutDown();
    EXPECT_FALSE(mail.isVisible());
    IniFile ini(home / "Tunquil.ini");
    EXPECT_EQ(ini.ReadString("Setup", "Server", ""), "mail.example.org");
}

// Closing the program while a report is being measured used to leave the job reading a closed
// database and writing its file; the job now ends first and closing still saves everything.
TEST_F(ExportFeaturesTest, ClosingWhilePrintingEndsTheReportAndStillSavesTheSettings) {
    TTitlePrinter& printer = window->Export().TitlePrinter();
    printer.UsePdfFile();
    fs::path pdf = home / "report.pdf";
    printer.AskPdfFile = [&] { return QString::fromStdString(pdf.string()); };
    fs::remove(home / "Tunquil.ini");
    QTimer::singleShot(0, [&] {
        // Once the report runs, the first events it lets through end the session.
        QTimer::singleShot(0, [&] { window->EndSession(); });
        printer.Dialog().PrintButton->click();
    });
    window->CategoriesTabs()->setCurrentIndex(0);
    Choose({"&Categories", "P&rint", "&All categories"});
    EXPECT_FALSE(fs::exists(pdf));
    EXPECT_TRUE(messages.empty()) << messages.front();
    EXPECT_TRUE(fs::exists(home / "Tunquil.ini"));
    EXPECT_FALSE(window->Library().IsOpen());
}

} // namespace
} // namespace tunquil::ui
