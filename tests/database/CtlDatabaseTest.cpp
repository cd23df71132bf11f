// tunquilctl's database commands, run as a separate process on a database built here.

#include "DatabaseTestSupport.h"
#include "base/ScriptedHost.h"
#include "database/TAlbList.h"
#include "database/TCatList.h"
#include "database/TDMM2.h"
#include "support/FileSizeLimit.h"
#include "support/MidiBytes.h"
#include "support/TempDir.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <sys/stat.h>

namespace tunquil {
namespace {

using test::FileBytes;
using test::RunCtl;
using test::TempDir;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// Three titles in two categories, one album, closed as the program closes.
class CtlDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        ScriptedHost host;
        TCatList categories(dir.path());
        categories.Load("Categories");
        TAlbList albums(dir.path());
        TDMM2 dm(dir.path(), host);
        int32_t rock = categories.AddCategory("Rock");
        int32_t jazz = categories.AddCategory("Jazz");
        categories.AddCategory("Empty");
        int32_t lee = dm.Performers().FindOrAdd("Ann", "Lee");
        int32_t adams = dm.Performers().FindOrAdd("Bob", "Adams");
        dm.SetCategoryList(&categories);
        dm.OpenDatabase();
        categories.SetDatabase(&dm.Database());
        dm.SetAlbumList(&albums);
        albums.Load("Albums");
        struct T {
            const char* title;
            int32_t ck, pk, seconds;
            double date;
        };
        for (T t : {T{"Zebra", rock, lee, 200, 45000.5}, T{"apple", jazz, adams, 3700, 45001.0},
                    T{"Mango", rock, adams, 5, 44000.25}}) {
            test::WriteStoredArchive(dir / "in.zip", std::string("MThd tune ") + t.title);
            dm.AddTitle(dir / "in.zip", t.title, false, t.date, t.seconds, t.pk, t.ck,
                        std::string("/music/") + t.title + ".mid");
        }
        albums.AppendTitles(albums.AddAlbum("Best"), {3, 1});
        albums.Save();
        categories.Purge();
        dm.Close();
        fs::remove(dir / "in.zip");
    }
    int Ctl(const std::string& args, std::string& out, bool withErrors = false) {
        return RunCtl("--home '" + dir.path().string() + "' " + args, out, withErrors);
    }

    TempDir dir;
};

TEST_F(CtlDatabaseTest, ListsTitlesInSlotOrderOrSortedAndReportsTheLists) {
    std::string out;
    ASSERT_EQ(Ctl("list --tsv", out), 0) << out;
    std::vector<std::string> lines = Lines(out);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0],
              "key\tcategory\tartist\ttitle\tduration\tduration_text\torigin\tdate_obtained");
    EXPECT_EQ(lines[1],
              "1\tRock\tAnn Lee\tZebra\t200\t3:20\t/music/Zebra.mid\t2023-03-15T12:00:00");
    EXPECT_EQ(
        lines[2].rfind(
            "2\tJazz\tBob Adams\tapple\t3700\t1:01:40\t/music/apple.mid\t2023-03-16T00:00:00", 0),
        0u);

    auto keysOf = [&](const std::string& mode) {
        std::string o;
        EXPECT_EQ(Ctl("list --tsv --sort " + mode, o), 0);
        std::string keys;
        for (const auto& l : Lines(o))
            if (l[0] != 'k')
                keys += l.substr(0, l.find('\t'));
        return keys;
    };
    EXPECT_EQ(keysOf("title"), "231");    // apple, Mango, Zebra: case ignored
    EXPECT_EQ(keysOf("artist"), "231");   // Adams (apple, Mango), Lee
    EXPECT_EQ(keysOf("category"), "231"); // Jazz, then Rock by artist
    EXPECT_EQ(keysOf("duration"), "312");
    EXPECT_EQ(keysOf("date"), "213"); // newest first
    EXPECT_EQ(keysOf("origin"), "231");
    // Finding by words of the title, the artist and the category, sorted as asked.
    EXPECT_EQ(keysOf("title --find ADAMS"), "23");
    EXPECT_EQ(keysOf("title --find 'rock adams'"), "3");
    EXPECT_EQ(keysOf("title --find '\"ann lee\" zeb'"), "1");
    EXPECT_EQ(keysOf("title --find music"), ""); // the origin's folder is not searched

    ASSERT_EQ(Ctl("list", out), 0);
    EXPECT_NE(out.find("3 titles"), std::string::npos);

    ASSERT_EQ(Ctl("categories --tsv", out), 0);
    // "Empty" had no titles and was purged when the database was closed.
    EXPECT_EQ(out, "ck\tname\ttitles\tduration\n2\tJazz\t1\t3700\n1\tRock\t2\t205\n");
    ASSERT_EQ(Ctl("artists --tsv", out), 0);
    EXPECT_EQ(out, "pk\tfirst_name\tlast_name\tfull_name\ttitles\n2\tBob\tAdams\tBob Adams\t2\n"
                   "1\tAnn\tLee\tAnn Lee\t1\n");
    ASSERT_EQ(Ctl("albums --tsv", out), 0);
    EXPECT_EQ(out, "album_key\tname\ttitles\tduration\n1\tBest\t2\t205\n");
    ASSERT_EQ(Ctl("albums", out), 0);
    EXPECT_NE(out.find("Best"), std::string::npos);
    // One album's entries, in its own order.
    ASSERT_EQ(Ctl("albums --album best --tsv", out), 0);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 3) << out;
    EXPECT_EQ(out.rfind("key\ttitle\tduration\n", 0), 0u) << out;
    EXPECT_EQ(Ctl("albums --album Worst", out, true), 2);

    // Usage errors.
    EXPECT_EQ(Ctl("list --sort size", out, true), 2);
    EXPECT_NE(out.find("unknown sort mode size"), std::string::npos);
    EXPECT_EQ(Ctl("list --fast", out, true), 2);
    EXPECT_EQ(Ctl("delete", out, true), 2);
    EXPECT_EQ(Ctl("delete x1", out, true), 2);
    EXPECT_EQ(Ctl("verify 12", out, true), 2); // no operands: a stray one is not ignored
}

TEST_F(CtlDatabaseTest, EditingCommandsChangeAlbumsCategoriesAndTitlesAndRefuseUnknownNames) {
    // Read from the files, as the next program to start would.
    auto albumRows = [&](const std::string& name) {
        TAlbList reread(dir.path());
        reread.Load("Albums");
        std::string keys;
        if (int32_t key = reread.FindByName(name))
            for (const auto& e : reread.AlbumOf(key)->entries)
                keys += std::to_string(e.masterKey);
        else
            keys = "none";
        return keys;
    };
    std::string out;
    ASSERT_EQ(Ctl("album create ' Mix '", out), 0) << out;
    EXPECT_EQ(out, "album 2 \"Mix\" created\n");
    // Made again, an album is an error (it used to say "already exists" and exit 0).
    EXPECT_EQ(Ctl("album create mix", out, true), 1);
    EXPECT_NE(out.find("album 2 \"Mix\" already exists"), std::string::npos) << out;
    ASSERT_EQ(Ctl("album add mix 1 2 3", out), 0);
    EXPECT_EQ(Ctl("album add Mix 2 99", out, true), 1);
    EXPECT_NE(out.find("no title has the key 99"), std::string::npos) << out;
    EXPECT_EQ(albumRows("Mix"), "123");
    ASSERT_EQ(Ctl("album move Mix --to 1 3", out), 0);
    EXPECT_EQ(out, "moved to row 1 of album \"Mix\"\n");
    EXPECT_EQ(albumRows("Mix"), "312");
    ASSERT_EQ(Ctl("album move Mix --to 4 1 2", out), 0);
    EXPECT_EQ(albumRows("Mix"), "231");
    EXPECT_EQ(Ctl("album move Mix --to 9 1", out, true), 1);
    ASSERT_EQ(Ctl("album remove Mix 2", out), 0);
    EXPECT_EQ(albumRows("Mix"), "21");
    EXPECT_EQ(Ctl("album remove Mix 1 5", out, true), 1);
    EXPECT_NE(out.find("album \"Mix\" has no row 5 (it has 2)"), std::string::npos) << out;
    EXPECT_EQ(albumRows("Mix"), "21");
    ASSERT_EQ(Ctl("album rename Mix BEST", out), 0);
    EXPECT_EQ(out, "album \"Mix\" merged into \"BEST\"\n");
    EXPECT_EQ(albumRows("Best"), "3121");
    EXPECT_EQ(Ctl("album delete Nope", out, true), 1);
    EXPECT_NE(out.find("no album is named \"Nope\""), std::string::npos);
    ASSERT_EQ(Ctl("album delete best", out), 0);
    EXPECT_EQ(albumRows("Best"), "none");
    EXPECT_EQ(Ctl("album move Best 1", out, true), 2);
    EXPECT_EQ(Ctl("album shuffle Best", out, true), 2);

    ASSERT_EQ(Ctl("edit 2 --artist 'Cole, Nat' --category Blues --title ' Apple pie '", out), 0)
        << out;
    EXPECT_EQ(out, "2  Blues  Nat Cole  Apple pie\n");
    ASSERT_EQ(Ctl("edit 3 --title Mango2", out), 0);
    EXPECT_EQ(out, "3  Rock  Bob Adams  Mango2\n");
    EXPECT_EQ(Ctl("edit 99 --title x", out, true), 1);
    EXPECT_NE(out.find("no title has the key 99"), std::string::npos);
    EXPECT_EQ(Ctl("edit 2", out, true), 2);

    EXPECT_EQ(Ctl("category rename Pop Jazz", out, true), 1);
    EXPECT_NE(out.find("no category is named \"Pop\""), std::string::npos);
    ASSERT_EQ(Ctl("category rename Rock Blues", out), 0);
    EXPECT_EQ(out, "category \"Rock\" merged into \"Blues\"\n");
    ASSERT_EQ(Ctl("category rename Blues Soul", out), 0);
    ASSERT_EQ(Ctl("category create Empty", out), 0);
    ASSERT_EQ(Ctl("categories --tsv", out), 0);
    // Jazz and the new category had no titles left: purged when the command closed.
    EXPECT_EQ(out, "ck\tname\ttitles\tduration\n3\tSoul\t3\t3905\n");
    ASSERT_EQ(Ctl("category delete Soul", out), 0);
    EXPECT_EQ(out, "category \"Soul\" deleted with 3 titles\n");
    ASSERT_EQ(Ctl("list --tsv", out), 0);
    EXPECT_EQ(Lines(out).size(), 1u);
}

TEST_F(CtlDatabaseTest, DeletePacksOnCloseAndVerifyFindsDamagedData) {
    std::string out;
    ASSERT_EQ(Ctl("verify", out), 0) << out;
    EXPECT_EQ(out, "3 titles checked, 0 problems\n");

    std::string dat = FileBytes(dir / "Music.dat");
    ASSERT_EQ(Ctl("delete 2 17", out, true), 1);
    EXPECT_NE(out.find("no title has the key 17"), std::string::npos);
    EXPECT_NE(out.find("1 title deleted"), std::string::npos);
    // Closing packed the database and took the title out of the album.
    EXPECT_EQ(fs::file_size(dir / "Music.des"), 2 * kTitleRecordSize);
    EXPECT_LT(fs::file_size(dir / "Music.dat"), dat.size());
    ASSERT_EQ(Ctl("pack", out), 0);
    EXPECT_EQ(out, "nothing to pack: 2 slots, none deleted\n");

    // Damage: a record pointing past the end, and data that are no archive.
    std::string des = FileBytes(dir / "Music.des");
    int32_t past = 1 << 20;
    std::memcpy(des.data() + 8, &past, 4);
    dir.Write("Music.des", des);
    std::string data = FileBytes(dir / "Music.dat");
    TitleRecord second = DecodeTitleRecord(des.data() + kTitleRecordSize);
    std::memset(data.data() + second.dataOffset, 'x', 8);
    dir.Write("Music.dat", data);
    ASSERT_EQ(Ctl("verify", out), 1);
    std::vector<std::string> lines = Lines(out);
    ASSERT_EQ(lines.size(), 3u) << out;
    EXPECT_NE(lines[0].find("title 1 (slot 1): its data (offset 1048576"), std::string::npos);
    EXPECT_NE(lines[1].find("title 3 (slot 2): not a ZIP archive"), std::string::npos);
    EXPECT_EQ(lines[2], "2 titles checked, 2 problems");
}

TEST_F(CtlDatabaseTest, VerifyUnpacksEveryTuneAndFindsWhatExportWouldFailOn) {
    // One byte of the second tune's packed data changed: the archive's structure is whole, the
    // tune is not.
    std::string des = FileBytes(dir / "Music.des");
    TitleRecord second = DecodeTitleRecord(des.data() + kTitleRecordSize);
    std::string data = FileBytes(dir / "Music.dat");
    uint16_t nameLength = 0, extraLength = 0;
    std::memcpy(&nameLength, data.data() + second.dataOffset + 26, 2);
    std::memcpy(&extraLength, data.data() + second.dataOffset + 28, 2);
    data[second.dataOffset + 30 + nameLength + extraLength + 1] ^= 0x55;
    dir.Write("Music.dat", data);

    std::string out;
    EXPECT_EQ(Ctl("export 2 '" + (dir / "two").string() + "'", out, true), 1);
    EXPECT_NE(out.find("Unzipping error: "), std::string::npos) << out;
    ASSERT_EQ(Ctl("verify", out), 1);
    std::vector<std::string> lines = Lines(out);
    ASSERT_EQ(lines.size(), 2u) << out;
    EXPECT_EQ(lines[0].rfind("title 2 (slot 2): Unzipping error: Cannot read AAATune.TTT: ", 0), 0u)
        << lines[0];
    EXPECT_EQ(lines[1], "3 titles checked, 1 problem");
}

TEST_F(CtlDatabaseTest, CommandsThatChangeNothingWriteNothing) {
    // Every save puts a new file in the old one's place: the same inode is a file left alone.
    auto inodes = [&] {
        std::string all;
        for (const char* name : {"Music.des", "Music.dat", "Categories.des", "Artists.des",
                                 "Albums_A.des", "Albums_AT.des"}) {
            struct stat st {};
            EXPECT_EQ(::stat((dir / name).c_str(), &st), 0) << name;
            all += std::to_string(st.st_ino) + " ";
        }
        return all;
    };
    std::string before = inodes(), out;
    for (const char* command : {"list", "verify", "categories", "artists", "albums"}) {
        ASSERT_EQ(Ctl(command, out), 0) << command;
        EXPECT_EQ(inodes(), before) << command;
    }
}

TEST_F(CtlDatabaseTest, AnAlbumFileThatCannotBeReadIsReportedAndNeitherAlbumFileWritten) {
    std::string entries = FileBytes(dir / "Albums_AT.des");
    fs::remove(dir / "Albums_A.des");
    fs::create_symlink("/proc/self/mem", dir / "Albums_A.des"); // reads fail with EIO
    std::string out;
    EXPECT_EQ(Ctl("albums", out, true), 2);
    EXPECT_NE(out.find("Albums_A.des"), std::string::npos) << out;
    EXPECT_TRUE(fs::is_symlink(dir / "Albums_A.des"));
    EXPECT_EQ(FileBytes(dir / "Albums_AT.des"), entries);
}

TEST_F(CtlDatabaseTest, ADatabaseThatCannotBeOpenedGivesExitStatusTwo) {
    std::string out;
    {
        FileLock held(dir / "Music.des", false);
        EXPECT_EQ(Ctl("delete 1", out, true), 2);
        EXPECT_NE(out.find("in use by another copy of Tunquil"), std::string::npos) << out;
    }
    dir.Write("file", "");
    EXPECT_EQ(RunCtl("--home '" + (dir / "file").string() + "/sub' list", out, true), 2);
    EXPECT_FALSE(out.empty());
}

// The first copy has only just taken the directory: nothing else of it exists yet.
TEST_F(CtlDatabaseTest, ASecondCopyStartedWhileTheFirstHoldsTheDirectoryChangesNothing) {
    fs::path fresh = dir / "fresh";
    fs::create_directory(fresh);
    FileLock first(fresh / "Tunquil.lock", true);
    std::string out;
    EXPECT_EQ(RunCtl("--home '" + fresh.string() + "' category create Pop", out, true), 2);
    EXPECT_NE(out.find("in use by another copy of Tunquil"), std::string::npos) << out;
    // A reading command reads what there is, and makes nothing of what is missing.
    EXPECT_EQ(RunCtl("--home '" + fresh.string() + "' list", out, true), 0);
    EXPECT_EQ(out, "0 titles\n");
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(fresh))
        names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"Tunquil.lock"});
}

TEST_F(CtlDatabaseTest, ExportOntoTheDatabasesOwnFilesIsRefused) {
    dir.Write("Tunquil.ini", "[Setup]\n");
    fs::create_directory(dir / "sub");
    fs::create_symlink(dir / "Music.des", dir / "link.mid");
    std::map<std::string, std::string> before;
    for (const char* name : {"Music.dat", "Music.des", "Tunquil.ini"})
        before[name] = FileBytes(dir / name);
    auto categories = fs::file_size(dir / "Categories.des"); // re-sorted at each close
    std::string home = dir.path().string();
    std::string out;
    for (const std::string& target : {home + "/Music.dat", home + "/./Categories.des",
                                      home + "/link.mid", home + "/sub/../Tunquil.ini"}) {
        EXPECT_EQ(Ctl("export 1 '" + target + "'", out, true), 1) << target;
        EXPECT_NE(out.find("one of the files of the music database"), std::string::npos) << out;
    }
    EXPECT_EQ(Ctl("export 1 '" + home + "/Music' --zip", out, true), 0) << out; // Music.mid, .zip
    for (const auto& [name, bytes] : before)
        EXPECT_EQ(FileBytes(dir / name), bytes) << name;
    EXPECT_EQ(fs::file_size(dir / "Categories.des"), categories);
    EXPECT_TRUE(fs::is_symlink(dir / "link.mid"));
}

TEST_F(CtlDatabaseTest, AFileSizeLimitIsReportedLikeAFullDisk) {
    dir.Write("new.mid", test::SmallMidiFile(3, "new"));
    std::string dat = FileBytes(dir / "Music.dat"), out;
    int status;
    {
        // Room for the staged archive of the new title, not for Music.dat to take it.
        test::FileSizeLimit limit(dat.size() + 40, false);
        status = Ctl("add '" + (dir / "new.mid").string() + "'", out, true);
    }
    EXPECT_EQ(status, 1) << out; // not ended by SIGXFSZ
    EXPECT_NE(out.find("Not added: "), std::string::npos) << out;
    EXPECT_NE(out.find("File too large"), std::string::npos) << out;
    EXPECT_EQ(FileBytes(dir / "Music.dat"), dat);
}

// "help COMMAND" is what the manual page says of the command: its usage, summary and options.
TEST(CtlHelpTest, HelpOfOneCommandShowsItsUsageSummaryAndOptions) {
    const struct {
        const char* args;
        int status;
        const char* expected;
    } cases[] = {
        {"help list", 0, "usage: tunquilctl list [--tsv]"},
        {"help list", 0, "\n  --find WORDS\n      only the titles whose text holds every one"},
        {"help version", 0, "show the version."},
        {"help nosuch", 2, "no command nosuch"},
        {"help --man nosuch", 2, "usage: tunquilctl"},
        {"help --man tunquilctl", 0, ".SH COMMANDS"},
    };
    for (const auto& c : cases) {
        std::string out;
        EXPECT_EQ(RunCtl(c.args, out, true), c.status) << c.args;
        EXPECT_NE(out.find(c.expected), std::string::npos) << c.args << ":\n" << out;
    }
}

} // namespace
} // namespace tunquil
