// The drive-scan and system-scan windows offscreen, over a real database and the drives'
// test double.

#include "support/MidiBytes.h"
#include "support/TestProgram.h"
#include "ui/GuiTestApp.h"
#include "ui/import/TDriveScanFrm.h"
#include "ui/import/TScanStatus.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace tunquil::ui {
namespace {

using test::SmallMidiFile;

class ScanWindows : public ::testing::Test {
protected:
    void SetUp() override { test::GuiTestApp(); }
    fs::path Drive(const std::string& name) {
        fs::path root = disks.path() / name;
        fs::create_directories(root);
        drives.mountTable += "/dev/" + name + " " + root.string() + " ext4 rw 0 0\n";
        return root;
    }
    void Tune(const std::string& relative, int seconds = 2) {
        disks.Write(relative, SmallMidiFile(seconds, relative));
    }
    MidiScanner NewScanner() {
        return MidiScanner(p.host, p.importer, p.data, p.categories, p.dir.path(), drives);
    }
    // Every control a person uses can be found by its accessible name.
    static void ExpectNamedControls(QWidget& window) {
        for (auto* w : window.findChildren<QWidget*>()) {
            bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w) ||
                           qobject_cast<QLineEdit*>(w) || qobject_cast<QProgressBar*>(w) ||
                           qobject_cast<QTableWidget*>(w);
            // Parts of a combo box or a table (its corner button) are named by their owner.
            bool part = qobject_cast<QComboBox*>(w->parentWidget()) ||
                        qobject_cast<QAbstractItemView*>(w->parentWidget());
            if (control && !part) {
                EXPECT_FALSE(w->accessibleName().isEmpty()) << w->metaObject()->className();
            }
        }
    }

    test::TestProgram p;
    test::TempDir disks;
    platform::FakeDrives drives;
};

TEST_F(ScanWindows, DriveScanChecksArtistAndCategoryThenFilesTheFolderUnderThem) {
    fs::path c = Drive("c");
    Tune("c/Music/a.mid");
    Tune("c/Music/Sub/B.MID", 3);
    TDriveScanFrm frm(p.host, drives);
    frm.Prepare({"Rock"}, {{"", "Various"}, {" Ann", "Lee"}});
    ExpectNamedControls(frm);
    EXPECT_EQ(frm.windowTitle(), " Scan a drive for MIDI files");
    EXPECT_EQ(frm.ArtistBox()->currentText(), "<Select or enter an artist>");
    EXPECT_EQ(frm.CategoryBox()->currentText(), "<Select or enter a category>");
    EXPECT_TRUE(frm.IgnoreOption()->isChecked());
    EXPECT_EQ(frm.DirectoriesScanned()->text(), "0");
    EXPECT_TRUE(frm.ScanButton()->isEnabled() && frm.ExitButton()->isEnabled());
    EXPECT_FALSE(frm.SearchStopButton()->isEnabled() || frm.ImportStopButton()->isEnabled());
    EXPECT_EQ(frm.DirectoryField()->text().toStdString(), c.string());

    int scans = 0;
    frm.onScan = [&](const TDriveScanFrm::Choices&) { ++scans; };
    for (auto [artist, category] : {std::pair{"<Select or enter an artist>", "Rock"},
                                    {"Lee, Ann", "<Select or enter a category>"},
                                    {" , ", "Rock"},
                                    {"Lee, Ann", "Rock & Roll"}}) {
        frm.ArtistBox()->setEditText(artist);
        frm.CategoryBox()->setEditText(category);
        frm.ScanButton()->click();
        EXPECT_EQ(p.host.LastMessage(),
                  "Please enter a valid artist and category for scanned MIDIs");
    }
    EXPECT_EQ(scans, 0);

    frm.ArtistBox()->setEditText("Smith, John");
    frm.CategoryBox()->setEditText("Folk");
    frm.SetDirectory(QString::fromStdString((c / "Music").string()));
    bool stopsDuringImport = false;
    frm.onScan = [&](const TDriveScanFrm::Choices& choices) {
        MidiScanner scanner = NewScanner();
        frm.Attach(scanner);
        scanner.onImported = [&](const std::string&, const std::string&) {
            stopsDuringImport = !frm.SearchStopButton()->isEnabled() &&
                                frm.ImportStopButton()->isEnabled() &&
                                !frm.ScanButton()->isEnabled();
        };
        scanner.ScanDirectory(choices.directory, choices.checkDuplicates, choices.lastName,
                              choices.firstName, choices.category);
        frm.Detach(); // the scanner ends here, before the window would let go of it
    };
    frm.ScanButton()->click();
    EXPECT_TRUE(stopsDuringImport);
    EXPECT_EQ(frm.result(), QDialog::Accepted);
    EXPECT_EQ(frm.FilesFound()->text(), "2");
    EXPECT_EQ(frm.DirectoriesScanned()->text(), "2");
    EXPECT_EQ(frm.ImportProgress()->value(), 2);
    auto titles = p.db().LiveTitles();
    ASSERT_EQ(titles.size(), 2u);
    for (const auto& t : titles) {
        EXPECT_EQ(t.categoryName, "Folk");
        EXPECT_EQ(t.lastName, "Smith");
        EXPECT_EQ(t.firstName, " John");
    }

    // A performer picked from the box is the one stored, blanks and all.
    frm.Prepare({"Folk"}, {{" Ann", "Lee"}});
    frm.ArtistBox()->setCurrentIndex(0);
    frm.CategoryBox()->setCurrentIndex(0);
    TDriveScanFrm::Choices picked;
    frm.onScan = [&](const TDriveScanFrm::Choices& choices) { picked = choices; };
    frm.ScanButton()->click();
    EXPECT_EQ(picked.firstName, " Ann");
    EXPECT_EQ(picked.lastName, "Lee");
    EXPECT_EQ(picked.category, "Folk");
}

TEST_F(ScanWindows, TypingIntoAPromptReplacesItWhetherTheBoxWasClickedOrTabbedInto) {
    Drive("c");
    TDriveScanFrm frm(p.host, drives);
    frm.Prepare({"Rock"}, {{"Ann", "Lee"}});
    frm.show();
    frm.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frm));
    // A click in the middle of the prompt, then typing.
    QLineEdit* category = frm.CategoryBox()->lineEdit();
    QTest::mouseClick(category, Qt::LeftButton, {}, category->rect().center());
    EXPECT_TRUE(category->hasFocus());
    EXPECT_EQ(category->selectedText(), TDriveScanFrm::kCategoryPrompt);
    QTest::keyClicks(category, "Jazz");
    EXPECT_EQ(frm.CategoryBox()->currentText(), "Jazz");
    // Once it holds what the user typed, a click places the cursor as usual.
    QTest::mouseClick(category, Qt::LeftButton, {}, category->rect().center());
    EXPECT_EQ(category->selectedText(), "");
    EXPECT_EQ(frm.CategoryBox()->currentText(), "Jazz");

    // Into the artist's prompt by the keyboard.
    frm.Prepare({"Rock"}, {{"Ann", "Lee"}});
    frm.CategoryBox()->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(&frm, Qt::Key_Backtab);
    ASSERT_TRUE(frm.ArtistBox()->hasFocus());
    QTest::keyClicks(frm.ArtistBox()->lineEdit(), "Hill, Mo");
    EXPECT_EQ(frm.ArtistBox()->currentText(), "Hill, Mo");
}

TEST_F(ScanWindows, AClickChoosesAFolderADoubleClickOpensItAndAFolderCanBeTyped) {
    fs::path c = Drive("c");
    Tune("c/Music/Sub/a.mid");
    TDriveScanFrm frm(p.host, drives);
    frm.Prepare({"Rock"}, {{"", "Various"}});
    frm.SetDirectory(QString::fromStdString(c.string()));
    auto item = [&](const QString& name) {
        return frm.DirectoryList()->findItems(name, Qt::MatchExactly).value(0);
    };
    ASSERT_NE(item("Music"), nullptr);
    emit frm.DirectoryList()->itemClicked(item("Music"));
    EXPECT_EQ(frm.DirectoryField()->text().toStdString(), (c / "Music").string());
    EXPECT_NE(item("Music"), nullptr); // still the list of c
    emit frm.DirectoryList()->itemActivated(item("Music"));
    EXPECT_NE(item("Sub"), nullptr);
    frm.DirectoryField()->setText(QString::fromStdString((c / "Music/Sub").string()));
    QTest::keyClick(frm.DirectoryField(), Qt::Key_Return);
    EXPECT_EQ(frm.Directory().toStdString(), (c / "Music/Sub").string());
    frm.DirectoryField()->setText("/no/such/folder");
    QTest::keyClick(frm.DirectoryField(), Qt::Key_Return);
    EXPECT_EQ(frm.DirectoryField()->text().toStdString(), (c / "Music/Sub").string());
}

TEST_F(ScanWindows, TheTwoStopButtonsEndTheSearchThenTheImport) {
    fs::path c = Drive("c");
    Tune("c/a.mid");
    Tune("c/b.mid");
    Tune("c/Later/c.mid");
    TDriveScanFrm frm(p.host, drives);
    frm.Prepare({}, {});
    frm.ArtistBox()->setEditText("Lee");
    frm.CategoryBox()->setEditText("Pop");
    int imported = 0;
    frm.onScan = [&](const TDriveScanFrm::Choices& choices) {
        MidiScanner scanner = NewScanner();
        frm.Attach(scanner);
        auto show = scanner.onSearchCounts;
        scanner.onSearchCounts = [&](int d, int f) {
            show(d, f);
            frm.SearchStopButton()->click(); // after the first folder
        };
        // Pressed while the first file is imported: the import ends before the next.
        scanner.onImported = [&](const std::string&, const std::string&) { ++imported; };
        auto progress = scanner.onImportProgress;
        scanner.onImportProgress = [&, progress](int ordinal, int total) {
            if (progress)
                progress(ordinal, total);
            frm.ImportStopButton()->click();
        };
        scanner.ScanDirectory(choices.directory, true, choices.lastName, choices.firstName,
                              choices.category);
        frm.Detach(); // the scanner ends here, before the window would let go of it
    };
    frm.ScanButton()->click();
    EXPECT_EQ(frm.FilesFound()->text(), "2") << "the search ended after the first folder";
    EXPECT_EQ(imported, 1) << "the import ended at the next file";
    EXPECT_EQ(p.db().LiveTitles().size(), 1u);
}

TEST_F(ScanWindows, ADriveThatIsNotReadyIsRefusedAndTheDriveBeforeKept) {
    fs::path c = Drive("c"), d = Drive("d");
    drives.notReady.insert(d);
    TDriveScanFrm frm(p.host, drives);
    frm.Prepare({}, {});
    ASSERT_EQ(frm.DriveBox()->count(), 2);
    p.host.answers.push_back(TModalResult::mrOk); // still not ready after OK
    frm.DriveBox()->setCurrentIndex(1);
    emit frm.DriveBox()->activated(1);
    EXPECT_EQ(p.host.LastMessage(), d.string() + ": is not ready.  Insert disk!");
    EXPECT_EQ(p.host.beeps, 1);
    EXPECT_EQ(frm.DriveBox()->currentIndex(), 0);
    EXPECT_EQ(frm.Directory().toStdString(), c.string());

    drives.notReady.clear();
    emit frm.DriveBox()->activated(1);
    EXPECT_EQ(frm.Directory().toStdString(), d.string());
}

TEST_F(ScanWindows, SystemScanShowsEachDriveAndStopLeavesTheRestPending) {
    fs::path c = Drive("c"), d = Drive("d"), e = Drive("e");
    Tune("c/a.mid");
    Tune("d/b.mid");
    Tune("d/x/c.mid");
    Tune("e/e.mid");
    TScanStatus frm;
    ExpectNamedControls(frm);
    EXPECT_EQ(frm.windowTitle(), "Scan system for MIDI files");
    EXPECT_EQ(frm.Total()->text(), "0");
    QStringList headers;
    for (int i = 0; i < frm.DriveList()->columnCount(); ++i)
        headers << frm.DriveList()->horizontalHeaderItem(i)->text();
    EXPECT_EQ(headers.join("|"), "Drive|Type|Action|Directories scanned|Files found");

    ScanOutcome outcome;
    frm.onScan = [&](bool checkDuplicates) {
        MidiScanner scanner = NewScanner();
        frm.Attach(scanner);
        auto show = scanner.onDriveRows;
        scanner.onDriveRows = [&](const std::vector<ScanDriveRow>& rows) {
            show(rows);
            if (rows.size() == 3 && rows[1].action == kScanActionInProcess && rows[1].files == 1)
                frm.SearchStopButton()->click();
        };
        outcome = scanner.ScanSystem(checkDuplicates);
        frm.Detach(); // the scanner ends here, before the window would let go of it
    };
    frm.ScanButton()->click();
    auto cell = [&](int r, int c) { return frm.DriveList()->item(r, c)->text().toStdString(); };
    EXPECT_EQ(cell(0, 0), c.string());
    EXPECT_EQ(cell(0, 1), "*.mid;*.kar");
    EXPECT_EQ(cell(0, 2), "Done");
    EXPECT_EQ(cell(1, 2), "Stopped");
    EXPECT_EQ(cell(2, 2), "Pending");
    EXPECT_EQ(frm.Total()->text(), "2");
    EXPECT_FALSE(outcome.fullScanDone);
    EXPECT_EQ(p.db().LiveTitles().size(), 2u);
    EXPECT_EQ(frm.result(), QDialog::Accepted);
}

} // namespace
} // namespace tunquil::ui
