// The data module's title operations and the category, artist and album lists.

#include "DatabaseTestSupport.h"
#include "base/ScriptedHost.h"
#include "base/Text.h"
#include "database/DirectoryUtils.h"
#include "database/TAlbList.h"
#include "database/TCatList.h"
#include "database/TDMM2.h"
#include "support/FileSizeLimit.h"
#include "support/TempDir.h"

#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tunquil {
namespace {

using test::FileBytes;
using test::TempDir;

struct Recorder : IDatabaseObserver {
    std::vector<std::string> events;
    void TitleAdded(const TitleRecord& r, bool batch) override {
        events.push_back("added " + r.title + (batch ? " batch" : ""));
    }
    void TitleChanged(const TitleRecord& b, const TitleRecord& a, bool resort) override {
        events.push_back("changed " + b.categoryName + "->" + a.categoryName +
                         (resort ? " resort" : ""));
    }
    void TitlesDeleted(const std::vector<TitleRecord>& r) override {
        events.push_back("deleted " + std::to_string(r.size()));
    }
    void AlbumEntriesChanged(int32_t key) override {
        events.push_back("album " + std::to_string(key));
    }
};

// The program's objects wired as at start-up, over a temporary program directory.
class ListsTest : public ::testing::Test {
protected:
    void SetUp() override {
        categories.Load("Categories");
        rock = categories.AddCategory("Rock");
        jazz = categories.AddCategory("Jazz");
        lee = dm.Performers().FindOrAdd("Ann", "Lee");
        dm.SetCategoryList(&categories);
        dm.OpenDatabase();
        categories.SetDatabase(&dm.Database());
        categories.SetAlbumList(&albums);
        dm.SetAlbumList(&albums);
        albums.Load("Albums");
        dm.Database().AddObserver(&recorder);
    }
    int32_t Add(const std::string& title, int32_t ck, int seconds = 60) {
        dir.Write("in.zip", "zip");
        return dm.AddTitle(dir / "in.zip", title, false, 45000, seconds, lee, ck, " /o/" + title);
    }

    TempDir dir;
    ScriptedHost host;
    TCatList categories{dir.path()};
    TAlbList albums{dir.path()};
    TDMM2 dm{dir.path(), host};
    Recorder recorder;
    int32_t rock = 0, jazz = 0, lee = 0;
};

TEST_F(ListsTest, AddTitleCopiesNamesCutToTheirFields) {
    int32_t longName = dm.Performers().FindOrAdd("Bartholomew-Alexander", "Montgomery-Smythe");
    int32_t cat = categories.AddCategory("A category name longer than twenty");
    dir.Write("in.zip", "zip");
    int32_t key = dm.AddTitle(dir / "in.zip", "   " + std::string(45, 't') + " ", true, 45000.25,
                              3600, longName, cat, "  /music/x.mid ");
    TitleRecord r;
    ASSERT_TRUE(dm.Database().ReadRecordByKey(key, r));
    EXPECT_EQ(r.categoryName, "A category name long");
    EXPECT_EQ(r.firstName, "Bartholomew-Alexande");
    EXPECT_EQ(r.lastName, "Montgomery-Smythe");
    EXPECT_EQ(r.artist, "Bartholomew-Alexande Montgomery-Smythe"); // built from the cut names
    EXPECT_EQ(r.title, std::string(40, 't'));
    EXPECT_EQ(r.origin, "/music/x.mid");
    EXPECT_EQ(r.durationText, "1:00:00");
    EXPECT_EQ(r.dateObtained, 45000.25);
    // Unknown keys leave the copies empty.
    int32_t unknown = dm.AddTitle(dir / "in.zip", "x", false, 0, 1, 77, 88, "");
    ASSERT_TRUE(dm.Database().ReadRecordByKey(unknown, r));
    EXPECT_EQ(r.categoryName + r.artist, "");
    EXPECT_EQ(recorder.events,
              (std::vector<std::string>{"added " + std::string(40, 't') + " batch", "added x"}));
}

TEST_F(ListsTest, UpdateRefusesUnknownCategoriesAndPerformersAndOtherwiseFollowsEverywhere) {
    int32_t key = Add("song", rock);
    int32_t album = albums.AddAlbum("Best");
    albums.AppendTitles(album, {key, key});
    TitleRecord before;
    dm.Database().ReadRecordByKey(key, before);

    EXPECT_FALSE(dm.UpdateTitleInfo(key, false, lee, 99, "new"));
    EXPECT_EQ(host.LastMessage(), "New category for CK = 99 not found");
    EXPECT_FALSE(dm.UpdateTitleInfo(key, false, 42, jazz, "new"));
    EXPECT_EQ(host.LastMessage(), "New performer for PK = 42 not found");
    TitleRecord r;
    dm.Database().ReadRecordByKey(key, r);
    EXPECT_EQ(r, before);
    EXPECT_FALSE(dm.UpdateTitleInfo(1234, false, lee, jazz, "x"));

    recorder.events.clear();
    ASSERT_TRUE(dm.UpdateTitleInfo(key, false, lee, jazz, "new title"));
    dm.Database().ReadRecordByKey(key, r);
    EXPECT_EQ(r.title, "new title");
    EXPECT_EQ(r.categoryName, "Jazz");
    // Both entries of the title in the album follow it.
    for (const auto& e : albums.AlbumOf(album)->entries) {
        EXPECT_EQ(e.title, "new title");
        EXPECT_EQ(e.albumKey, album);
    }
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"album " + std::to_string(album),
                                                         "changed Rock->Jazz resort"}));
}

TEST_F(ListsTest, CategoriesAddExactlyRenameMergeAndPurge) {
    EXPECT_EQ(categories.AddCategory("Rock"), rock);
    int32_t lower = categories.AddCategory("rock");
    EXPECT_NE(lower, rock);
    EXPECT_EQ(categories.HighestCK(), lower);
    // A name longer than its field finds the category stored under its cut form.
    std::string longName(60, 'x');
    int32_t cut = categories.AddCategory(longName);
    EXPECT_EQ(categories.AddCategory(longName), cut);
    categories.DeleteCategory(cut, [](int32_t) {});
    int32_t longAlbum = albums.AddAlbum(longName);
    EXPECT_EQ(albums.AddAlbum(longName), longAlbum);
    albums.DeleteAlbum(longAlbum);
    int32_t a = Add("a", rock), b = Add("b", jazz);
    int32_t album = albums.AddAlbum("Mix");
    albums.AppendTitles(album, {a});

    // Renaming Rock to Jazz merges it: its titles move, its entry leaves the list.
    categories.RenameCategory(rock, "  Jazz ");
    EXPECT_EQ(categories.IndexOf(rock), -1);
    TitleRecord r;
    dm.Database().ReadRecordByKey(a, r);
    EXPECT_EQ(r.ck, jazz);
    EXPECT_EQ(r.categoryName, "Jazz");
    EXPECT_EQ(albums.AlbumOf(album)->entries.at(0).ck, jazz);

    categories.RenameCategory(jazz, "Swing");
    dm.Database().ReadRecordByKey(b, r);
    EXPECT_EQ(r.categoryName, "Swing");
    EXPECT_EQ(categories.NameOf(jazz), "Swing");

    categories.Purge(); // "rock" has no titles
    EXPECT_EQ(categories.Count(), 1);
    TCatList reread(dir.path());
    reread.Load("Categories");
    ASSERT_EQ(reread.Count(), 1);
    EXPECT_EQ(reread.Items()[0].name, "Swing");

    // Deleting a category deletes its titles and takes them out of the albums.
    std::vector<int32_t> told;
    categories.DeleteCategory(jazz, [&](int32_t key) { told.push_back(key); });
    EXPECT_EQ(told, (std::vector<int32_t>{a, b})); // slot order
    EXPECT_EQ(dm.Database().LiveCount(), 0);
    EXPECT_TRUE(albums.AlbumOf(album)->entries.empty());
    // With the last category gone, the saved list is empty too.
    categories.Purge();
    TCatList emptied(dir.path());
    emptied.Load("Categories");
    EXPECT_EQ(emptied.Count(), 0);
}

TEST_F(ListsTest, PurgesKeepEverythingWhenTheDatabaseIsNotOpen) {
    categories.AddCategory("Unused");
    dm.Database().Close();
    categories.Purge();
    dm.Performers().Purge();
    EXPECT_EQ(categories.Count(), 3);
    EXPECT_EQ(dm.Performers().Count(), 1);
}

TEST_F(ListsTest, PerformersAreFoundIgnoringCaseAndPurgedWhenUnused) {
    EXPECT_EQ(dm.Performers().FindOrAdd("ANN", "lee"), lee);
    int32_t bob = dm.Performers().FindOrAdd("Bob", "Adams");
    EXPECT_EQ(bob, lee + 1);
    std::string longLast(30, 'L');
    int32_t cut = dm.Performers().FindOrAdd("X", longLast);
    EXPECT_EQ(dm.Performers().FindOrAdd("X", longLast), cut);
    TPerfList reread(dir.path());
    reread.Load("Artists");
    ASSERT_EQ(reread.Count(), 3);
    EXPECT_EQ(reread.Items()[0].lastName, "Adams"); // sorted by last name
    EXPECT_EQ(reread.Items()[2].lastName, std::string(25, 'L'));

    Add("song", rock);
    dm.Performers().Purge();
    ASSERT_EQ(dm.Performers().Count(), 1);
    EXPECT_EQ(dm.Performers().Items()[0].pk, lee);
}

TEST_F(ListsTest, AlbumsKeepTheirOwnOrderAndFollowDeletes) {
    int32_t a = Add("a", rock, 10), b = Add("b", rock, 20), c = Add("c", jazz, 30);
    int32_t rockAlbum = albums.AddAlbum(" Rock ");
    EXPECT_EQ(albums.AddAlbum("ROCK"), rockAlbum);
    int32_t pop = albums.AddAlbum("Pop");
    EXPECT_EQ(albums.AppendTitles(rockAlbum, {a, 999, c}), 2);
    EXPECT_EQ(albums.InsertTitles(rockAlbum, 1, {b, b}), 2);
    auto keys = [&](int32_t album) {
        std::vector<int32_t> out;
        for (const auto& e : albums.AlbumOf(album)->entries)
            out.push_back(e.masterKey);
        return out;
    };
    EXPECT_EQ(keys(rockAlbum), (std::vector<int32_t>{a, b, b, c}));
    EXPECT_EQ(albums.AlbumOf(rockAlbum)->record.totalDuration, 80);

    // Removing from the selected album matches the keys in row order, one row each.
    albums.RemoveTitlesFromAlbum(rockAlbum, {b, c});
    EXPECT_EQ(keys(rockAlbum), (std::vector<int32_t>{a, b}));

    EXPECT_EQ(albums.InsertTitles(12345, 0, {a}), 0);
    EXPECT_EQ(host.LastMessage(), "Targetted album not found");

    albums.AppendTitles(pop, {b});
    ASSERT_TRUE(dm.DeleteTitle(b));
    EXPECT_EQ(keys(rockAlbum), (std::vector<int32_t>{a}));
    EXPECT_TRUE(keys(pop).empty());
    EXPECT_EQ(dm.DeleteTitlesEverywhere({a, 4242}), 1);
    EXPECT_TRUE(keys(rockAlbum).empty());
}

TEST_F(ListsTest, AlbumRowsMoveToWhereTheyAreDroppedAndRemoveExactlyThoseRows) {
    std::vector<int32_t> t;
    for (const char* name : {"1", "2", "3", "4", "5", "6"})
        t.push_back(Add(name, rock, 10));
    int32_t album = albums.AddAlbum("Mix");
    albums.AppendTitles(album, t);
    auto order = [&] {
        std::string out;
        for (const auto& e : albums.AlbumOf(album)->entries)
            out += e.title;
        return out;
    };
    recorder.events.clear();
    // Rows 3 and 4 dropped on row 1 come first, in their order.
    EXPECT_EQ(albums.MoveRows(album, {3, 2}, 0), 0);
    EXPECT_EQ(order(), "341256");
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"album " + std::to_string(album)}));
    // A drop on one of the moved rows leaves them where they stand.
    EXPECT_EQ(albums.MoveRows(album, {1, 2}, 2), 1);
    EXPECT_EQ(order(), "341256");
    // A drop below the moved rows lands before the row it was made on.
    EXPECT_EQ(albums.MoveRows(album, {0, 1}, 4), 2);
    EXPECT_EQ(order(), "123456");
    // Past the last row, or not over a row: after the last row, never beyond it.
    EXPECT_EQ(albums.MoveRows(album, {0, 0, 17, -1}, 99), 5);
    EXPECT_EQ(order(), "234561");
    EXPECT_EQ(albums.MoveRows(album, {5}, -1), 5);
    EXPECT_EQ(albums.MoveRows(album, {6, -2}, 0), -1);
    EXPECT_EQ(albums.MoveRows(4242, {0}, 1), -1);
    EXPECT_EQ(order(), "234561");
    EXPECT_EQ(albums.AlbumOf(album)->record.titleCount, 6);

    // The same title twice: removing the second row keeps the first.
    albums.AppendTitles(album, {t[1]});
    ASSERT_EQ(order(), "2345612");
    albums.RemoveRows(album, {6, 6, 40});
    EXPECT_EQ(order(), "234561");
    albums.RemoveRows(album, {5, 0, 2});
    EXPECT_EQ(order(), "356");
    EXPECT_EQ(albums.AlbumOf(album)->record.titleCount, 3);
    EXPECT_EQ(albums.AlbumOf(album)->record.totalDuration, 30);
}

// Each album edit reaches the files before the call returns: a crash right after it, or a
// second program reading them, finds the edit.
TEST_F(ListsTest, AlbumEditsAreOnDiskWhenTheCallReturns) {
    int32_t a = Add("a", rock), b = Add("b", rock), c = Add("c", jazz);
    auto onDisk = [&] {
        TAlbList reread(dir.path());
        reread.Load("Albums");
        std::string out;
        for (const auto& album : reread.Items()) {
            out += album.record.name + ":";
            for (const auto& e : album.entries)
                out += e.title;
            out += " ";
        }
        return out;
    };
    int32_t best = albums.AddAlbum("Best");
    int32_t pop = albums.AddAlbum("Pop");
    EXPECT_EQ(onDisk(), "Best: Pop: ");
    albums.AppendTitles(best, {a, b});
    EXPECT_EQ(onDisk(), "Best:ab Pop: ");
    albums.InsertTitles(best, 0, {c});
    EXPECT_EQ(onDisk(), "Best:cab Pop: ");
    albums.MoveRows(best, {0}, 99);
    EXPECT_EQ(onDisk(), "Best:abc Pop: ");
    albums.RemoveRows(best, {1});
    EXPECT_EQ(onDisk(), "Best:ac Pop: ");
    albums.RemoveTitlesFromAlbum(best, {a});
    EXPECT_EQ(onDisk(), "Best:c Pop: ");
    albums.RenameAlbum(pop, "Hits");
    EXPECT_EQ(onDisk(), "Best:c Hits: ");
    ASSERT_TRUE(dm.UpdateTitleInfo(c, false, lee, jazz, "see"));
    EXPECT_EQ(onDisk(), "Best:see Hits: ");
    albums.AppendTitles(pop, {a});
    dm.DeleteTitle(a);
    EXPECT_EQ(onDisk(), "Best:see Hits: ");
    albums.RenameAlbum(pop, "best"); // merged into Best
    EXPECT_EQ(onDisk(), "Best:see ");
    albums.DeleteAlbum(best);
    EXPECT_EQ(onDisk(), "");
}

TEST_F(ListsTest, AnAlbumEditSurvivesTheProgramBeingKilledRightAfterIt) {
    int32_t a = Add("a", rock), b = Add("b", rock);
    int32_t best = albums.AddAlbum("Best");
    albums.AppendTitles(best, {a, b});
    int done[2];
    ASSERT_EQ(pipe(done), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        albums.MoveRows(best, {1}, 0);
        char ok = 1;
        (void)!write(done[1], &ok, 1);
        for (;;)
            pause();
    }
    close(done[1]);
    char ok = 0;
    ASSERT_EQ(read(done[0], &ok, 1), 1);
    close(done[0]);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    TAlbList reread(dir.path());
    reread.Load("Albums");
    ASSERT_NE(reread.AlbumOf(best), nullptr);
    const auto& rows = reread.AlbumOf(best)->entries;
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].masterKey, b);
    EXPECT_EQ(rows[1].masterKey, a);
}

TEST_F(ListsTest, AlbumRenamesDifferingInCaseRenameAndOthersMerge) {
    int32_t a = Add("a", rock), b = Add("b", rock);
    int32_t rockAlbum = albums.AddAlbum("Rock");
    int32_t best = albums.AddAlbum("Best");
    albums.AppendTitles(rockAlbum, {a});
    albums.AppendTitles(best, {b});
    albums.RenameAlbum(rockAlbum, "ROCK");
    EXPECT_EQ(albums.AlbumOf(rockAlbum)->record.name, "ROCK");
    albums.RenameAlbum(rockAlbum, "best");
    EXPECT_EQ(albums.IndexOf(rockAlbum), -1);
    const auto* merged = albums.AlbumOf(best);
    ASSERT_EQ(merged->entries.size(), 2u);
    EXPECT_EQ(merged->entries[1].masterKey, a);
    EXPECT_EQ(merged->entries[1].albumKey, best);
    EXPECT_EQ(merged->record.titleCount, 2);
}

TEST_F(ListsTest, AlbumFilesHoldAlbumsByNameAndTheirEntriesInRowOrder) {
    int32_t a = Add("a", rock), b = Add("b", rock);
    int32_t zed = albums.AddAlbum("Zed");
    int32_t alpha = albums.AddAlbum("alpha");
    albums.AppendTitles(zed, {a});
    albums.AppendTitles(alpha, {b, a});
    albums.Save();
    std::string albumBytes = FileBytes(dir / "Albums_A.des");
    ASSERT_EQ(albumBytes.size(), 2 * kAlbumRecordSize);
    EXPECT_EQ(DecodeAlbumRecord(albumBytes.data()).name, "alpha");
    std::string entries = FileBytes(dir / "Albums_AT.des");
    ASSERT_EQ(entries.size(), 3 * kTitleRecordSize);
    std::vector<std::pair<int32_t, int32_t>> stored;
    for (std::size_t at = 0; at < entries.size(); at += kTitleRecordSize) {
        TitleRecord e = DecodeTitleRecord(entries.data() + at);
        EXPECT_EQ(e.origin, "");
        EXPECT_EQ(e.artist, "Ann Lee");
        stored.push_back({e.albumKey, e.masterKey});
    }
    EXPECT_EQ(stored, (std::vector<std::pair<int32_t, int32_t>>{{alpha, b}, {alpha, a}, {zed, a}}));

    // An entry whose album is gone is dropped when the list is loaded.
    TitleRecord orphan = test::SampleTitle("orphan");
    orphan.albumKey = 77;
    TitleRecordBytes orphanBytes = EncodeTitleRecord(orphan);
    dir.Write("Albums_AT.des",
              entries + std::string(orphanBytes.data(), orphanBytes.size()) + "partial");
    TAlbList reread(dir.path());
    reread.Load("Albums");
    ASSERT_EQ(reread.Count(), 2);
    EXPECT_EQ(reread.AlbumOf(alpha)->entries.size(), 2u);
    EXPECT_EQ(reread.AlbumOf(zed)->record.titleCount, 1);
}

TEST_F(ListsTest, AFailedListSaveKeepsTheOldFile) {
    std::string before = FileBytes(dir / "Categories.des");
    {
        test::FileSizeLimit full(1, true); // no new file can be written whole
        EXPECT_THROW(categories.AddCategory("Blues"), FileError);
        EXPECT_THROW(albums.AddAlbum("New"), FileError);
    }
    EXPECT_EQ(FileBytes(dir / "Categories.des"), before);
    EXPECT_EQ(categories.FindByName("Blues"), 0);
    EXPECT_EQ(albums.Count(), 0);
}

TEST_F(ListsTest, CloseSavesArtistsAndPacksWhenTitlesWereDeleted) {
    Add("a", rock);
    int32_t b = Add("b", rock);
    dm.Performers().FindOrAdd("Nobody", "Uses");
    dm.DeleteTitle(b);
    dm.Close();
    EXPECT_TRUE(dm.Closing());
    EXPECT_TRUE(dm.LastPack().packed);
    EXPECT_EQ(dm.LastPack().deleted, 1);
    EXPECT_EQ(fs::file_size(dir / "Music.des"), kTitleRecordSize);
    EXPECT_EQ(fs::file_size(dir / "Artists.des"), kPerformerRecordSize);
}

TEST(ListFiles, AListFileThatCannotBeReadIsReportedAndNeverSavedOver) {
    TempDir dir;
    // Reading /proc/self/mem from its start fails with EIO: list files that cannot be read.
    const char* unreadable[] = {"Categories.des", "Artists.des", "Albums_AT.des"};
    for (const char* name : unreadable)
        fs::create_symlink("/proc/self/mem", dir / name);
    char album[kAlbumRecordSize];
    EncodeAlbumRecord({1, 0, 0, "Best"}, album);
    dir.Write("Albums_A.des", std::string(album, kAlbumRecordSize));

    TCatList categories(dir.path());
    EXPECT_THROW(categories.Load(), FileError);
    EXPECT_THROW(categories.AddCategory("Rock"), FileError);
    EXPECT_EQ(categories.Count(), 0);
    TPerfList performers(dir.path());
    EXPECT_THROW(performers.Load(), FileError);
    EXPECT_THROW(performers.FindOrAdd("Ann", "Lee"), FileError);
    TAlbList albums(dir.path());
    EXPECT_THROW(albums.Load(), FileError);
    EXPECT_EQ(albums.Count(), 0); // not the albums without their entries
    EXPECT_THROW(albums.AddAlbum("New"), FileError);
    EXPECT_THROW(albums.Save(), FileError);

    for (const char* name : unreadable)
        EXPECT_TRUE(fs::is_symlink(dir / name)) << name;
    EXPECT_EQ(FileBytes(dir / "Albums_A.des"), std::string(album, kAlbumRecordSize));
}

// A text written as Windows-1252 by the Windows program: 40 characters, 45 bytes as UTF-8.
const std::string kWindowsText = "Chansons fran\xE7"
                                 "aises \xE9t\xE9 d\xE9j\xE0 vu xxxxxxxx";

void PutWindowsText(char* field, std::string_view text) {
    field[0] = static_cast<char>(text.size());
    std::memcpy(field + 1, text.data(), text.size());
}

// A name the Windows program wrote as Windows-1252 fills up to 25 characters, more than 25 bytes
// as UTF-8: given again, whole or longer than the field, it finds its performer instead of
// adding the same one a second time.
TEST(ListFiles, PerformersWrittenAsWindows1252AreFoundByTheirWholeName) {
    struct Case {
        int32_t pk;
        const char* first;
        const char* stored; // Windows-1252
        const char* given;
    } cases[] = {
        {1, "A",
         "\xD3lafur \xDE\xF3r\xF0"
         "arson-\xC6varsson",
         "Ólafur Þórðarson-Ævarsson"},                                             // 25 characters
        {2, "B", "Zo\xEB Bj\xF6rk Gudmundsd\xF3ttir", "Zoë Björk Gudmundsdóttir"}, // 24
        {3, "C",
         "M\xF6tley Cr\xFC"
         "e Orchestr\xE0le",
         "Mötley Crüe Orchestràle"}, // 23
        {4, "D",
         "\xD3lafur \xDE\xF3r\xF0"
         "arson-\xC6varsson",
         "Ólafur Þórðarson-ÆVARSSON Jr."}, // the field holds its first 25
    };
    TempDir dir;
    std::string file;
    for (const Case& c : cases) {
        char record[kPerformerRecordSize];
        EncodePerformerRecord({c.pk, c.first, "", ""}, record);
        PutWindowsText(record + 30, c.stored);
        file.append(record, kPerformerRecordSize);
    }
    dir.Write("Artists.des", file);
    TPerfList performers(dir.path());
    performers.Load();
    for (const Case& c : cases)
        EXPECT_EQ(performers.FindOrAdd(c.first, c.given), c.pk) << c.given;
    EXPECT_EQ(performers.Count(), 4);
    EXPECT_NE(performers.FindOrAdd("A", "Ólafur Þórðarson-Ævarsso"), 1); // one character short
}

TEST(ListFiles, RewritingARecordOrAListKeepsTheBytesOfTextsThatDidNotChange) {
    TempDir dir;
    ScriptedHost host;
    const std::string first = "\xC9"
                              "douard",
                      last = kWindowsText.substr(0, 25);
    char category[2][kCategoryRecordSize], performer[2][kPerformerRecordSize];
    EncodeCategoryRecord({1, 0, 0, ""}, category[0]);
    PutWindowsText(category[0] + 12, kWindowsText);
    EncodeCategoryRecord({2, 0, 0, "Unused"}, category[1]);
    EncodePerformerRecord({1, "", "", ""}, performer[0]);
    PutWindowsText(performer[0] + 4, first);
    PutWindowsText(performer[0] + 30, last);
    PutWindowsText(performer[0] + 56, first + " " + last);
    EncodePerformerRecord({2, "No", "Body", "No Body"}, performer[1]);
    dir.Write("Categories.des", std::string(category[0], 2 * kCategoryRecordSize));
    dir.Write("Artists.des", std::string(performer[0], 2 * kPerformerRecordSize));
    // The title's copies of the names are cut to 20 characters, as the Windows program cut them.
    TitleRecord title = test::SampleTitle("", 1, 1);
    title.active = true;
    title.masterKey = title.slotNumber = 1;
    title.dataSize = 3;
    TitleRecordBytes stored = EncodeTitleRecord(title);
    PutWindowsText(stored.data() + 45, kWindowsText.substr(0, 20));
    PutWindowsText(stored.data() + 66, last.substr(0, 20));
    PutWindowsText(stored.data() + 87, first);
    PutWindowsText(stored.data() + 108, first + " " + Trim(last.substr(0, 20)));
    PutWindowsText(stored.data() + 149, kWindowsText);
    dir.Write("Music.des", std::string(stored.data(), kTitleRecordSize));
    dir.Write("Music.dat", "zip");

    TCatList categories(dir.path());
    categories.Load();
    TAlbList albums(dir.path());
    TDMM2 dm(dir.path(), host);
    dm.SetCategoryList(&categories);
    dm.OpenDatabase();
    categories.SetDatabase(&dm.Database());
    dm.SetAlbumList(&albums);
    albums.Load();
    TitleRecord read;
    ASSERT_TRUE(dm.Database().ReadRecordByKey(1, read));
    EXPECT_EQ(read.title, "Chansons fran\u00E7"
                          "aises \u00E9t\u00E9 d\u00E9j\u00E0 vu xxxxxxxx");

    // A new duration, and information given again as it stands, change only the duration.
    ASSERT_TRUE(dm.Database().SetDuration(200, 1));
    ASSERT_TRUE(dm.UpdateTitleInfo(1, false, 1, 1, read.title));
    TitleRecordBytes expected = stored;
    char duration[4] = {static_cast<char>(200), 0, 0, 0};
    std::memcpy(expected.data() + 28, duration, 4);
    PutWindowsText(expected.data() + 36, "3:20");
    EXPECT_EQ(FileBytes(dir / "Music.des"), std::string(expected.data(), kTitleRecordSize));
    // A new album entry starts from the title's own bytes.
    albums.AppendTitles(albums.AddAlbum("Best"), {1});
    albums.Save();
    std::string entry = FileBytes(dir / "Albums_AT.des");
    ASSERT_EQ(entry.size(), kTitleRecordSize);
    EXPECT_EQ(entry.substr(45, 145), std::string(stored.data() + 45, 145)); // names and title

    // Purging rewrites both lists without the unused members; the others keep their bytes.
    categories.Purge();
    dm.Close();
    EXPECT_EQ(FileBytes(dir / "Categories.des"), std::string(category[0], kCategoryRecordSize));
    EXPECT_EQ(FileBytes(dir / "Artists.des"), std::string(performer[0], kPerformerRecordSize));
}

TEST(WorkDirectories, ClearingDeletesMatchingFilesBelowButNeverTheProgramDirectory) {
    TempDir dir;
    ScriptedHost host;
    fs::path work = dir / "TempTune";
    dir.Write("TempTune/a.MID", "1");
    dir.Write("TempTune/keep.txt", "2");
    dir.Write("TempTune/deep/b.mid", "3");
    dir.Write("own.mid", "4");
    ClearDirectory(host, dir.path(), work, "*.mid");
    EXPECT_FALSE(fs::exists(work / "a.MID"));
    EXPECT_FALSE(fs::exists(work / "deep" / "b.mid"));
    EXPECT_TRUE(fs::exists(work / "keep.txt"));
    EXPECT_TRUE(host.messages.empty());

    for (const fs::path& refused : {dir.path(), dir.path().parent_path(), fs::path("/")}) {
        ClearDirectory(host, dir.path(), refused, "*.mid");
        EXPECT_EQ(host.LastMessage(), "Error: Do not clear app directory") << refused;
    }
    EXPECT_TRUE(fs::exists(dir / "own.mid"));
    // A link is never followed, neither as the directory to clear nor below it.
    TempDir linked;
    linked.Write("theirs.mid", "5");
    fs::create_directory_symlink(linked.path(), dir / "link");
    fs::create_directory_symlink(linked.path(), work / "deep" / "link");
    host.messages.clear();
    ClearDirectory(host, dir.path(), work, "*.mid");
    EXPECT_TRUE(host.messages.empty());
    for (const fs::path& missing : {dir / "missing", dir / "link"}) {
        ClearDirectory(host, dir.path(), missing, "*.mid");
        EXPECT_EQ(host.LastMessage(), "Potential error in ClearDirectory") << missing;
    }
    EXPECT_TRUE(fs::exists(linked / "theirs.mid"));
}

TEST(WorkDirectories, CopyingAFileReplacesTheTargetWholeAndRefusesOnlyTheSameFile) {
    TempDir dir;
    ScriptedHost host;
    fs::path source = dir.Write("s.mid", "tune");
    EXPECT_FALSE(CopyWholeFile(host, dir / "none.mid", dir / "t.mid"));
    dir.Write("t.mid", "older and longer");
    EXPECT_TRUE(CopyWholeFile(host, source, dir / "t.mid"));
    EXPECT_EQ(FileBytes(dir / "t.mid"), "tune");
    // A name that differs only in case is another file here; the same file, by another path,
    // is refused.
    EXPECT_TRUE(CopyWholeFile(host, source, dir / "S.MID"));
    EXPECT_EQ(FileBytes(dir / "S.MID"), "tune");
    EXPECT_EQ(FileBytes(source), "tune");
    fs::create_hard_link(source, dir / "linked.mid");
    for (const fs::path& same : {source, dir / "." / "s.mid", dir / "linked.mid"}) {
        try {
            CopyWholeFile(host, source, same);
            ADD_FAILURE() << same;
        } catch (const FileError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Target is same as source for copying " + source.string());
        }
    }
    EXPECT_FALSE(CopyWholeFile(host, source, dir / "no" / "such" / "dir.mid"));
    EXPECT_EQ(host.LastMessage().rfind("Copyfile exception2: ", 0), 0u);
    EXPECT_EQ(host.messages.back().buttons, static_cast<TMsgDlgButtons>(mbCancel));
}

} // namespace
} // namespace tunquil
