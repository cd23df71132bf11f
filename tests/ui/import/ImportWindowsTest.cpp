// Getting tunes in from the windows, offscreen: the add-local-files window over a real
// database and the drives' test double, and the main window taking files, folders and ZIP
// archives dropped from the desktop or picked in that window.

#include "base/IniFile.h"
#include "base/Text.h"
#include "database/TCatList.h"
#include "database/TPerfList.h"
#include "platform/FakeSequencerDevice.h"
#include "support/MidiBytes.h"
#include "support/TestProgram.h"
#include "support/ZipBuilder.h"
#include "ui/GuiTestApp.h"
#include "ui/app/TMasterFrm.h"
#include "ui/controls/TExtPageControl.h"
#include "ui/controls/TMessageDialog.h"
#include "ui/controls/TMyStringGrid.h"
#include "ui/export/TArchiveForm.h"
#include "ui/import/StartFolder.h"
#include "ui/import/TDriveScanFrm.h"
#include "ui/import/TGetLocalF.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>
#include <set>

namespace tunquil::ui {
namespace {

using test::SmallMidiFile;

QStringList Texts(const QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

class GetLocalFiles : public ::testing::Test {
protected:
    void SetUp() override {
        test::GuiTestApp();
        root = disks.path() / "c";
        fs::create_directories(root);
        drives.mountTable = "/dev/c " + root.string() + " ext4 rw 0 0\n";
    }
    QString Path(const std::string& relative) {
        return QString::fromStdString((root / relative).string());
    }

    test::TestProgram p;
    test::TempDir disks;
    fs::path root;
    platform::FakeDrives drives;
};

TEST_F(GetLocalFiles, TargetListHoldsEachPickedFileOnceSortedAndEnablesOk) {
    for (const char* name : {"b.mid", "A.MID", "c.rmi", ".hidden.mid", "notes.txt", "pack.zip"})
        disks.Write(std::string("c/") + name, SmallMidiFile(1, name));
    fs::create_directories(root / "Sub");
    TGetLocalF frm(p.host, drives);
    frm.Prepare(p.categories, p.data.Performers());
    EXPECT_EQ(frm.windowTitle(), " Select MIDI files to add");
    EXPECT_EQ(frm.Directory(), Path("").chopped(1));
    EXPECT_TRUE(frm.DuplicatesBox()->isChecked());
    EXPECT_FALSE(frm.OkButton()->isEnabled());
    EXPECT_TRUE(Texts(frm.DirectoryList()).contains("Sub"));
    // MIDI files whatever their letter case; hidden ones and other kinds stay out.
    EXPECT_EQ(Texts(frm.FileList()), QStringList({"A.MID", "b.mid", "c.rmi"}));
    frm.FilterBox()->setCurrentIndex(1);
    EXPECT_EQ(Texts(frm.FileList()), QStringList({"pack.zip"}));
    frm.FilterBox()->setCurrentIndex(0);

    frm.FileList()->item(1)->setSelected(true);
    frm.FileList()->item(2)->setSelected(true);
    frm.AddSelectedFiles();
    EXPECT_TRUE(frm.OkButton()->isEnabled());
    frm.FileList()->clearSelection();
    frm.FileList()->item(0)->setSelected(true);
    frm.FileList()->item(1)->setSelected(true);
    frm.AddSelectedFiles();
    EXPECT_EQ(Texts(frm.TargetListWidget()),
              QStringList({Path("A.MID"), Path("b.mid"), Path("c.rmi")}));

    // A wrong pick goes back out with Del or the Remove button; Enter or Insert in the file
    // list adds the files chosen there; the folder field shows the folder and takes one typed.
    frm.TargetListWidget()->item(2)->setSelected(true);
    QTest::keyClick(frm.TargetListWidget(), Qt::Key_Delete);
    EXPECT_EQ(Texts(frm.TargetListWidget()), QStringList({Path("A.MID"), Path("b.mid")}));
    frm.TargetListWidget()->selectAll();
    frm.RemoveButton()->click();
    EXPECT_EQ(frm.TargetListWidget()->count(), 0);
    EXPECT_FALSE(frm.OkButton()->isEnabled());
    frm.FileList()->clearSelection();
    frm.FileList()->item(2)->setSelected(true);
    QTest::keyClick(frm.FileList(), Qt::Key_Insert);
    EXPECT_EQ(Texts(frm.TargetListWidget()), QStringList({Path("c.rmi")}));
    EXPECT_EQ(frm.FolderField()->text(), frm.Directory());
    frm.FolderField()->setText(frm.Directory() + "/Sub");
    QTest::keyClick(frm.FolderField(), Qt::Key_Return);
    EXPECT_TRUE(frm.Directory().endsWith("/Sub"));

    // Showing again starts with an empty list and OK disabled.
    frm.Prepare(p.categories, p.data.Performers());
    EXPECT_EQ(frm.TargetListWidget()->count(), 0);
    EXPECT_FALSE(frm.OkButton()->isEnabled());
}

TEST_F(GetLocalFiles, ALongPathIsCutInTheMiddleAndShownWholeAsItsToolTip) {
    std::string deep = "c";
    while (deep.size() < 200)
        deep += "/a rather long folder";
    disks.Write(deep + "/The End.mid", SmallMidiFile(1));
    const QString path = QString::fromStdString((disks.path() / deep / "The End.mid").string());
    TGetLocalF frm(p.host, drives);
    frm.Prepare(p.categories, p.data.Performers());
    frm.AddTargets({path});
    frm.show();
    QListWidget* list = frm.TargetListWidget();
    QListWidgetItem* row = list->item(0);
    EXPECT_EQ(row->text(), path); // what is loaded is the whole path
    EXPECT_EQ(row->toolTip(), path);
    // The row is as wide as the list, so the text is elided there, in the middle: the folder's
    // start and the file's name stay in sight, and the list does not scroll sideways.
    EXPECT_EQ(list->textElideMode(), Qt::ElideMiddle);
    EXPECT_LE(list->visualItemRect(row).width(), list->viewport()->width());
    EXPECT_EQ(list->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST_F(GetLocalFiles, ArtistAndCategoryAreChosenTypedOrAddedAndKeptForTheNextShowing) {
    int32_t rock = p.categories.AddCategory("Rock");
    int32_t lee = p.data.Performers().FindOrAdd(" Ann", "Lee");
    TGetLocalF frm(p.host, drives);
    std::vector<std::pair<int32_t, int32_t>> applied;
    frm.onApply = [&](int32_t pk, int32_t ck) { applied.emplace_back(pk, ck); };
    frm.Prepare(p.categories, p.data.Performers());
    EXPECT_EQ(frm.ArtistBox()->currentText(), "Various");
    EXPECT_EQ(frm.CategoryBox()->currentText(), "Unknown");

    // Entries of the boxes give their own keys.
    frm.ArtistBox()->setCurrentIndex(frm.ArtistBox()->findText("Lee, Ann"));
    frm.CategoryBox()->setCurrentIndex(frm.CategoryBox()->findText("Rock"));
    frm.accept();
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_EQ(applied[0], std::make_pair(lee, rock));

    // Typed: the artist is split at its first comma, the category found or added.
    frm.ArtistBox()->setEditText("  Smith, John, Jr ");
    frm.CategoryBox()->setEditText("Jazz");
    frm.accept();
    ASSERT_EQ(applied.size(), 2u);
    std::string first, last;
    ASSERT_TRUE(p.data.Performers().NamesOf(applied[1].first, first, last));
    EXPECT_EQ(last, "Smith");
    EXPECT_EQ(first, " John, Jr");
    EXPECT_EQ(p.categories.NameOf(applied[1].second), "Jazz");

    frm.ArtistBox()->setEditText("Smith");
    frm.CategoryBox()->setEditText("Rock");
    frm.accept();
    ASSERT_TRUE(p.data.Performers().NamesOf(applied[2].first, first, last));
    EXPECT_EQ(last, "Smith");
    EXPECT_EQ(first, "");
    EXPECT_EQ(applied[2].second, rock);

    // The texts stay for the next showing, and what was added is now an entry.
    frm.Prepare(p.categories, p.data.Performers());
    EXPECT_EQ(frm.CategoryBox()->currentText(), "Rock");
    EXPECT_GE(frm.CategoryBox()->findText("Jazz"), 0);

    // Enter in the Categories box applies without closing once there is something to add.
    disks.Write("c/a.mid", SmallMidiFile(1));
    frm.AddTargets({Path("a.mid")});
    frm.show();
    QTest::keyClick(frm.CategoryBox()->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(applied.size(), 4u);
    EXPECT_TRUE(frm.isVisible());
}

// The real main window with its own program directory.
class WindowImport : public ::testing::Test {
protected:
    void SetUp() override {
        test::GuiTestApp();
        home.Write("Tunquil.ini", "[Setup]\nRemindToScan=0\n");
        window = std::make_unique<TMasterFrm>(home.path(),
                                              std::make_unique<platform::FakeSequencerDevice>());
        window->DeferredStartUp();
        ASSERT_TRUE(window->StartUpComplete());
        // Message boxes are read and closed as they come.
        TMessageDialog& md = window->Widgets().MessageDialog();
        md.OnShow = [this, &md] {
            messages << md.Box()->TextLabel()->text();
            QMetaObject::invokeMethod(
                md.Box(), [box = md.Box()] { box->Button(mbOK)->click(); }, Qt::QueuedConnection);
        };
    }
    void Drop(const std::vector<fs::path>& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const fs::path& path : paths)
            urls << QUrl::fromLocalFile(QString::fromStdString(path.string()));
        data.setUrls(urls);
        QPoint at(window->width() / 2, window->height() / 2);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &drop);
        ASSERT_TRUE(drop.isAccepted());
        QApplication::processEvents(); // the import follows the drop
    }
    std::multiset<std::string> Titles() {
        std::multiset<std::string> titles;
        for (const TitleRecord& r : window->DataModule()->Database().LiveTitles())
            titles.insert(r.title);
        return titles;
    }
    std::string Zip(int entries) {
        std::vector<test::ZipTestEntry> members;
        for (int i = 1; i <= entries; ++i)
            members.push_back({"inner/Track " + std::to_string(i) + ".mid",
                               SmallMidiFile(1, "zip" + std::to_string(i)), true});
        return test::BuildZip(members);
    }

    // Triggers the menu item and, once its window shows, does `act` with the window.
    void Open(const QStringList& item, std::function<void(QDialog*)> act) {
        struct Watcher : QObject {
            std::function<void(QDialog*)> shown;
            bool eventFilter(QObject* o, QEvent* e) override {
                auto* dialog = qobject_cast<QDialog*>(o);
                if (e->type() == QEvent::Show && dialog && shown &&
                    (qobject_cast<TGetLocalF*>(o) || qobject_cast<TDriveScanFrm*>(o))) {
                    QMetaObject::invokeMethod(
                        dialog, [dialog, act = shown] { act(dialog); }, Qt::QueuedConnection);
                    shown = nullptr;
                }
                return false;
            }
        } watcher;
        watcher.shown = std::move(act);
        qApp->installEventFilter(&watcher);
        window->MenuItem(item)->trigger();
        qApp->removeEventFilter(&watcher);
        ASSERT_FALSE(watcher.shown) << "no window showed";
    }
    // Loads `paths` with the Load window under `category`; false when OK could not be pressed.
    void Load(const QStringList& paths, const QString& category, bool ok = true) {
        Open({"&File", "&Open"}, [&](QDialog* dialog) {
            auto* frm = static_cast<TGetLocalF*>(dialog);
            frm->AddTargets(paths);
            frm->CategoryBox()->setEditText(category);
            if (ok) {
                frm->OkButton()->click();
            } else {
                // Enter in the Categories box applies the choices; Cancel then closes.
                QTest::keyClick(frm->CategoryBox()->lineEdit(), Qt::Key_Return);
                frm->CancelButton()->click();
            }
        });
    }
    std::string ShownFolder(const QStringList& item) {
        QString folder;
        Open(item, [&](QDialog* dialog) {
            if (auto* load = qobject_cast<TGetLocalF*>(dialog))
                folder = load->Directory();
            else if (auto* scan = qobject_cast<TDriveScanFrm*>(dialog))
                folder = scan->Directory();
            dialog->reject();
        });
        return folder.toStdString();
    }

    test::TempDir home, files;
    std::unique_ptr<TMasterFrm> window;
    QStringList messages;
};

// $HOME pointed at a folder of the test for as long as it lives.
class HomeFolder {
public:
    explicit HomeFolder(const fs::path& path) : saved_(qgetenv("HOME")) {
        fs::create_directories(path);
        qputenv("HOME", QFile::encodeName(QString::fromStdString(path.string())));
    }
    ~HomeFolder() { qputenv("HOME", saved_); }

private:
    QByteArray saved_;
};

TEST(StartFolder, TheFolderUsedLastElseMusicElseHome) {
    test::TempDir dir;
    const QString home = QString::fromStdString((dir.path() / "home").string());
    fs::create_directories(dir.path() / "home");
    const QString last = QString::fromStdString((dir.path() / "last").string());
    fs::create_directories(dir.path() / "last");
    EXPECT_EQ(StartFolder("", home), home);
    EXPECT_EQ(StartFolder(last + "/gone", home), home); // a folder since removed
    fs::create_directories(dir.path() / "home" / "Music");
    EXPECT_EQ(StartFolder("", home), home + "/Music");
    EXPECT_EQ(StartFolder(last, home), last);
    // A file is not a folder to open in.
    dir.Write("last/tune.mid", "x");
    EXPECT_EQ(StartFolder(last + "/tune.mid", home), home + "/Music");
}

TEST_F(WindowImport, TheFileWindowsOpenWhereTheUserWasLastNotWhereTheProgramStarted) {
    HomeFolder user(files.path() / "user");
    const std::string userHome = (files.path() / "user").string();
    const QStringList scan{"&File", "Scan a &drive for MIDI files..."}, load{"&File", "&Open"};
    ASSERT_NE(QDir::currentPath().toStdString(), userHome);
    EXPECT_EQ(ShownFolder(scan), userHome);
    fs::create_directories(files.path() / "user" / "Music");
    EXPECT_EQ(ShownFolder(scan), userHome + "/Music");

    // The folders used last are kept in Tunquil.ini, one for each window.
    fs::path scanned = files.path() / "scanned", picked = files.path() / "picked";
    fs::create_directories(scanned);
    files.Write("picked/One.mid", SmallMidiFile(1, "one"));
    {
        IniFile ini(home.path() / "Tunquil.ini");
        ini.WriteString("Scan", "LastFolder", scanned.string());
        ini.WriteString("Load", "LastFolder", picked.string());
        ini.UpdateFile();
    }
    EXPECT_EQ(ShownFolder(scan), scanned.string());
    EXPECT_EQ(ShownFolder(load), picked.string());

    // A Load keeps the folder its files were picked from.
    files.Write("other/Two.mid", SmallMidiFile(1, "two"));
    Open(load, [&](QDialog* dialog) {
        auto* frm = static_cast<TGetLocalF*>(dialog);
        frm->SetDirectory(QString::fromStdString((files.path() / "other").string()));
        frm->FileList()->selectAll();
        frm->AddSelectedFiles();
        frm->OkButton()->click();
    });
    EXPECT_EQ(IniFile(home.path() / "Tunquil.ini").ReadString("Load", "LastFolder", ""),
              (files.path() / "other").string());
    EXPECT_EQ(ShownFolder(load), (files.path() / "other").string());
}

TEST_F(WindowImport, ALoadThatFilesNothingLeavesNoEmptyCategoryBehind) {
    // Two files at a time, as a batch: a single file would ask for its title information.
    auto tune = [&](const std::string& name) {
        return QString::fromStdString(
            files.Write("in/" + name + ".mid", SmallMidiFile(2, name)).string());
    };
    const QString one = tune("One"), two = tune("Two"), three = tune("Three");
    Load({one, two}, "Picked");
    ASSERT_EQ(Titles(), (std::multiset<std::string>{"One", "Two"}));
    const int tabs = window->CategoriesTabs()->count();
    TCatList& categories = window->Library().Categories();

    // The same files again, refused as duplicates: "Unknown" would have no title.
    Load({one, two}, "Unknown");
    EXPECT_EQ(Titles(), (std::multiset<std::string>{"One", "Two"}));
    EXPECT_EQ(categories.FindByName("Unknown"), 0);
    EXPECT_EQ(window->CategoriesTabs()->count(), tabs);
    // Choices applied with Enter, then Cancel: nothing was loaded, nothing is left.
    Load({one, two}, "Other", false);
    EXPECT_EQ(categories.FindByName("Other"), 0);
    EXPECT_EQ(window->CategoriesTabs()->count(), tabs);
    // A category the load files a title under stays.
    Load({one, three}, "Mixed");
    EXPECT_NE(categories.FindByName("Mixed"), 0);
    EXPECT_EQ(window->CategoriesTabs()->count(), tabs + 1);
    EXPECT_FALSE(window->Locked());
}

TEST_F(WindowImport, ACategoryFilledByAScanOrADropShowsItsColumnsWholeWhenThereIsRoom) {
    window->resize(1400, 700);
    window->show();
    QApplication::processEvents();
    // A folder of tunes as a scan or a drop files it: under a category of its own, in a batch.
    for (const char* name : {"One", "Two", "Three"})
        files.Write(std::string("games/OpenMSX soundtracks/stage music/") + name + ".mid",
                    SmallMidiFile(2, name));
    Drop({files.path() / "games"});
    ASSERT_EQ(Titles().size(), 3u);
    const QString category =
        QString::fromStdString(window->DataModule()->Database().LiveTitles().front().categoryName);
    TExtPageControl* tabs = window->CategoriesTabs();
    for (int i = 0; i < tabs->count(); ++i)
        if (tabs->tabText(i).trimmed() == category.trimmed())
            tabs->setCurrentIndex(i);
    QApplication::processEvents();
    TMyStringGrid* grid = window->ActiveCategoryGrid();
    ASSERT_TRUE(grid && grid->isVisible());
    ASSERT_EQ(grid->model()->rowCount(), 3);
    // Origin and date included: each column holds its text (the grid cuts 6 pixels short).
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        for (int r = 0; r < 3; ++r)
            EXPECT_GE(grid->columnWidth(c),
                      grid->fontMetrics().horizontalAdvance(
                          grid->model()->index(r, c).data().toString().trimmed()) +
                          6)
                << grid->model()->headerData(c, Qt::Horizontal).toString().toStdString();
}

TEST_F(WindowImport, DroppedFilesFoldersAndArchivesGetInTitledByTheirNames) {
    // A path longer than 255 characters is used whole.
    std::string deep = "in";
    while (deep.size() < 300)
        deep += "/a rather long folder name";
    fs::path blue = files.Write("in/Mr. Blue Sky.mid", SmallMidiFile(2, "blue"));
    fs::path far = files.Write(deep + "/Far Away.mid", SmallMidiFile(2, "far"));
    fs::path zip = files.Write("in/pack.zip", Zip(2));
    ASSERT_GT(far.string().size(), 255u);
    files.Write("folder/One.MID", SmallMidiFile(1, "one"));
    files.Write("folder/sub/Two.mid", SmallMidiFile(1, "two"));
    files.Write("folder/.hidden/Three.mid", SmallMidiFile(1, "three"));

    Drop({blue, far, zip});
    EXPECT_EQ(Titles(),
              (std::multiset<std::string>{"Mr. Blue Sky", "Far Away", "Track 1", "Track 2"}));
    for (const TitleRecord& r : window->DataModule()->Database().LiveTitles()) {
        EXPECT_EQ(r.categoryName, "Windows default") << r.title;
        EXPECT_EQ(Trim(r.lastName), "Unknown") << r.title;
    }
    // The drop ends with what it did (it used to say "Done" alone): the archive's two tracks
    // count among the titles added.
    EXPECT_EQ(window->HintPanel()->text(), "Done: 3 found, 4 added");
    EXPECT_FALSE(window->Locked());

    Drop({files / "folder"});
    EXPECT_EQ(Titles().count("One"), 1u);
    EXPECT_EQ(Titles().count("Two"), 1u);
    EXPECT_EQ(Titles().count("Three"), 0u);
}

TEST_F(WindowImport, CancelInTheArchiveWindowKeepsWhatWasAddedAndStopsThere) {
    fs::path zip = files.Write("big.zip", Zip(6));
    std::size_t addedAtCancel = 0;
    bool windowShown = false;
    // Cancel is pressed as soon as the window counts a first imported file.
    struct Watcher : QObject {
        std::function<void(TArchiveForm*)> shown;
        bool eventFilter(QObject* o, QEvent* e) override {
            if (e->type() == QEvent::Show)
                if (auto* form = qobject_cast<TArchiveForm*>(o))
                    shown(form);
            return false;
        }
    } watcher;
    watcher.shown = [&](TArchiveForm* form) {
        windowShown = true;
        QObject::connect(form->SecondBar, &QProgressBar::valueChanged, form, [&, form](int v) {
            if (v > 0 && form->CancelButton->isEnabled()) {
                addedAtCancel = window->DataModule()->Database().LiveTitles().size();
                form->CancelButton->click();
            }
        });
    };
    qApp->installEventFilter(&watcher);
    Drop({zip});
    qApp->removeEventFilter(&watcher);
    ASSERT_TRUE(windowShown);
    EXPECT_GT(addedAtCancel, 0u);
    EXPECT_LT(addedAtCancel, 6u);
    EXPECT_EQ(window->DataModule()->Database().LiveTitles().size(), addedAtCancel);
    EXPECT_FALSE(window->Locked());
}

TEST_F(WindowImport, LoadImportsThePickedFilesAndNamesThoseNotAdded) {
    fs::path dir = files.path() / "picked";
    files.Write("picked/First_Song.mid", SmallMidiFile(2, "first"));
    files.Write("picked/Second.mid", SmallMidiFile(2, "second"));
    // An RMID file (it used to be passed over) and a text file, picked under "All files".
    files.Write("picked/Riff.rmi", test::RmidFile(SmallMidiFile(2, "riff")));
    files.Write("picked/Readme.txt", "not a tune");
    bool picked = false;
    struct Watcher : QObject {
        std::function<void(TGetLocalF*)> shown;
        bool eventFilter(QObject* o, QEvent* e) override {
            if (e->type() == QEvent::Show)
                if (auto* frm = qobject_cast<TGetLocalF*>(o))
                    shown(frm);
            return false;
        }
    } watcher;
    watcher.shown = [&](TGetLocalF* frm) {
        picked = true;
        QMetaObject::invokeMethod(
            frm,
            [&, frm] {
                frm->SetDirectory(QString::fromStdString(dir.string()));
                frm->FilterBox()->setCurrentIndex(3);
                frm->FileList()->selectAll();
                frm->AddSelectedFiles();
                frm->ArtistBox()->setEditText("Lee, Ann");
                frm->CategoryBox()->setEditText("Picked");
                frm->OkButton()->click();
            },
            Qt::QueuedConnection);
    };
    qApp->installEventFilter(&watcher);
    window->MenuItem({"&File", "&Open"})->trigger();
    qApp->removeEventFilter(&watcher);
    ASSERT_TRUE(picked);
    EXPECT_EQ(Titles(), (std::multiset<std::string>{"First Song", "Second", "Riff"}));
    for (const TitleRecord& r : window->DataModule()->Database().LiveTitles()) {
        EXPECT_EQ(r.categoryName, "Picked");
        EXPECT_EQ(Trim(r.lastName), "Lee");
    }
    // The text file is not silently dropped: one message names it.
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("Readme.txt")) << messages[0].toStdString();
    EXPECT_EQ(window->HintPanel()->text(), "Done: 4 found, 3 added");
}

} // namespace
} // namespace tunquil::ui
