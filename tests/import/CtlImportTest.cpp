#include "base/Files.h"
#include "export/archive/TAbUnZipper.h"
#include "support/MidiBytes.h"
#include "support/TempDir.h"
#include "support/ZipBuilder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace tunquil {
namespace {

using test::RunCtl;
using test::SmallMidiFile;
using test::TempDir;

class CtlImport : public ::testing::Test {
protected:
    int Ctl(const std::string& args, std::string& out, bool withStderr = false) {
        return RunCtl("--home '" + (dir / "home").string() + "' " + args, out, withStderr);
    }
    TempDir dir;
};

TEST_F(CtlImport, AddSearchesFoldersSortsAndReportsEachFile) {
    dir.Write("tunes/b.MID", SmallMidiFile(1, "b"));
    dir.Write("tunes/Sub/a.mid", SmallMidiFile(2, "a"));
    dir.Write("tunes/C.mid", "not a tune at all");
    dir.Write("tunes/.hidden/h.mid", SmallMidiFile(1, "h"));
    dir.Write("tunes/notes.txt", "text");
    fs::create_symlink(dir / "tunes/b.MID", dir / "tunes/link.mid");
    dir.Write("pack.zip", test::BuildZip({{"x/p.mid", SmallMidiFile(3, "p")}}));
    std::string t = (dir / "tunes").string();

    std::string out;
    EXPECT_EQ(Ctl("add --artist 'Doe, John' --category Rock '" + t + "' '" +
                      (dir / "pack.zip").string() + "'",
                  out),
              1);
    EXPECT_EQ(out, "OK\t" + t + "/b.MID\n" + (dir / "tunes/C.mid").string() +
                       " is not MIDI file, has 17 bytes\t" + t + "/C.mid\nOK\t" + t +
                       "/Sub/a.mid\nOK\t" + (dir / "pack.zip").string() + "\n");

    EXPECT_EQ(Ctl("add '" + t + "/Sub/a.mid'", out), 1);
    EXPECT_EQ(out, "Duplicate\t" + t + "/Sub/a.mid\n");
    EXPECT_EQ(Ctl("add --allow-duplicates '" + t + "/Sub/a.mid'", out), 0);

    ASSERT_EQ(Ctl("list --tsv", out), 0);
    EXPECT_NE(out.find("Rock"), std::string::npos);
    EXPECT_NE(out.find("John Doe"), std::string::npos);
    EXPECT_NE(out.find("Unknown"), std::string::npos);
    EXPECT_NE(out.find("Various"), std::string::npos);
    EXPECT_NE(out.find((dir / "pack.zip").string() + "+p.mid"), std::string::npos);
    EXPECT_EQ(out.find("h.mid"), std::string::npos);
}

TEST_F(CtlImport, AddKnowsAFileByItsNormalPathAndGoesOnPastFilesItRefuses) {
    std::string t = (dir / "tunes").string();
    dir.Write("tunes/a.mid", SmallMidiFile(1, "a"));
    fs::create_directories(dir / "tunes/sub");
    std::string out;
    EXPECT_EQ(Ctl("add '" + t + "/./a.mid'", out), 0);
    EXPECT_EQ(Ctl("add '" + t + "/sub/../a.mid'", out), 1);
    EXPECT_EQ(out, "Duplicate\t" + t + "/sub/../a.mid\n");

    // Neither a FIFO (which would wait for a writer, the library locked) nor a file of 3 GB
    // (sparse: no disk used) is read; the file after them is still added.
    ASSERT_EQ(::mkfifo((dir / "tunes/fifo.mid").c_str(), 0600), 0);
    auto huge = dir.Write("tunes/huge.mid", "MThd");
    fs::resize_file(huge, 3ull << 30);
    dir.Write("tunes/b.mid", SmallMidiFile(2, "b"));
    EXPECT_EQ(Ctl("add '" + t + "/fifo.mid' '" + t + "/huge.mid' '" + t + "/b.mid'", out), 1);
    EXPECT_EQ(out, t + "/fifo.mid is not a regular file\t" + t + "/fifo.mid\n" + t +
                       "/huge.mid is too large, has 3221225472 bytes\t" + t + "/huge.mid\nOK\t" +
                       t + "/b.mid\n");
    ASSERT_EQ(Ctl("list --tsv", out), 0);
    EXPECT_NE(out.find("\t" + t + "/a.mid"), std::string::npos) << out;
    EXPECT_EQ(out.find("/./"), std::string::npos) << out;
}

TEST_F(CtlImport, AStatusOfSeveralLinesIsPrintedOnSeveralLines) {
    std::string out;
    ASSERT_EQ(Ctl("add '" + dir.Write("a.mid", SmallMidiFile(1, "a")).string() + "'", out), 0);
    // A data file at its limit (sparse again) cannot take the next title.
    fs::resize_file(dir / "home/Music.dat", 2147483600);
    auto b = dir.Write("b.mid", SmallMidiFile(2, "b"));
    EXPECT_EQ(Ctl("add '" + b.string() + "'", out), 1);
    EXPECT_EQ(out, "Not added: The database is full: " + (dir / "home/Music.dat").string() +
                       " cannot grow past 2,147,483,647 bytes.\nThe title was not added.\t" +
                       b.string() + "\n");
}

TEST_F(CtlImport, ExportAndArchiveWriteTheStoredTunes) {
    std::string a = SmallMidiFile(1, "a"), b = SmallMidiFile(2, "b");
    dir.Write("tunes/Same.mid", a);
    dir.Write("tunes/sub/Same.mid", b);
    std::string out;
    ASSERT_EQ(Ctl("add '" + (dir / "tunes").string() + "'", out), 0) << out;

    ASSERT_EQ(Ctl("export 1 '" + (dir / "one").string() + "'", out), 0);
    EXPECT_EQ(ReadWholeFile(dir / "one"), a);
    ASSERT_EQ(Ctl("export 2 '" + (dir / "two").string() + "' --zip", out), 0);
    EXPECT_EQ(ReadWholeFile(dir / "two.mid"), b);
    EXPECT_TRUE(fs::exists(dir / "two.zip"));
    EXPECT_FALSE(fs::exists(dir / "two"));
    EXPECT_EQ(Ctl("export 9 '" + (dir / "nine").string() + "'", out, true), 1);
    EXPECT_EQ(out, "tunquilctl: Title 9 has no stored data\n");
    EXPECT_FALSE(fs::exists(dir / "nine"));

    ASSERT_EQ(Ctl("archive '" + (dir / "both").string() + "' 1 2", out), 0);
    EXPECT_EQ(out, "Archiving successfully completed!\n");
    TAbUnZipper unzipper;
    unzipper.Open(dir / "both.zip");
    EXPECT_EQ(unzipper.FileNames(), (std::vector<std::string>{"Same.mid", "Same (2).mid"}));
    ASSERT_EQ(Ctl("archive '" + (dir / "both.zip").string() + "' 1", out), 0);
    EXPECT_EQ(out, "Archiving successfully completed!\n\n   1 duplicates were ignored\n");
}

// Faults that used to pass: an archive of a key without a title reported success, an export
// into a folder failed with "Not a directory", "x.zip --zip" wrote x.zip.mid and x.zip.zip.
TEST_F(CtlImport, ArchiveRefusesUnknownKeysAndExportNamesFilesInFoldersAndZips) {
    std::string a = SmallMidiFile(1, "a");
    dir.Write("tunes/Blue Harbour.mid", a);
    std::string out;
    ASSERT_EQ(Ctl("add '" + (dir / "tunes").string() + "'", out), 0) << out;

    EXPECT_EQ(Ctl("archive '" + (dir / "some.zip").string() + "' 1 999", out, true), 1);
    EXPECT_EQ(out, "tunquilctl: no title has the key 999\n");
    EXPECT_FALSE(fs::exists(dir / "some.zip"));

    fs::create_directories(dir / "out");
    ASSERT_EQ(Ctl("export 1 '" + (dir / "out").string() + "/'", out), 0) << out;
    EXPECT_EQ(ReadWholeFile(dir / "out/Blue Harbour.mid"), a);
    ASSERT_EQ(Ctl("export 1 '" + (dir / "out/x.zip").string() + "' --zip", out), 0) << out;
    EXPECT_EQ(ReadWholeFile(dir / "out/x.mid"), a);
    EXPECT_TRUE(fs::exists(dir / "out/x.zip"));
    EXPECT_FALSE(fs::exists(dir / "out/x.zip.mid"));
}

} // namespace
} // namespace tunquil
