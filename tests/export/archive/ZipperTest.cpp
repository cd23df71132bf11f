#include "base/Files.h"
#include "base/ScriptedHost.h"
#include "export/archive/StoredTune.h"
#include "export/archive/TAbUnZipper.h"
#include "export/archive/TAbZipper.h"
#include "support/TempDir.h"
#include "support/ZipBuilder.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <random>
#include <zip.h>

namespace tunquil {
namespace {

using test::BuildZip;
using test::TempDir;
using test::ZipTestEntry;

std::string Compressible(std::size_t n) {
    std::string s;
    while (s.size() < n)
        s += "MTrk note on note off tempo ";
    s.resize(n);
    return s;
}

std::string Noise(std::size_t n) {
    std::mt19937 gen(42);
    std::string s(n, '\0');
    for (auto& c : s)
        c = static_cast<char>(gen());
    return s;
}

struct EntryInfo {
    std::string name;
    int method;
    uint64_t size;
};

std::vector<EntryInfo> ListEntries(const fs::path& archive) {
    int err = 0;
    zip_t* za = zip_open(archive.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &err);
    EXPECT_NE(za, nullptr) << "libzip cannot open " << archive;
    std::vector<EntryInfo> out;
    if (!za)
        return out;
    for (zip_int64_t i = 0; i < zip_get_num_entries(za, 0); ++i) {
        zip_stat_t st;
        zip_stat_index(za, static_cast<zip_uint64_t>(i), 0, &st);
        out.push_back({st.name, st.comp_method, st.size});
    }
    zip_discard(za);
    return out;
}

std::vector<std::string> FilesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (auto& e : fs::recursive_directory_iterator(dir))
        names.push_back(fs::relative(e.path(), dir).string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Zipper, DeflatesWhatShrinksStoresWhatDoesNotAndGivesBackTheSameBytes) {
    TempDir dir;
    std::string text = Compressible(20000), noise = Noise(5000);
    dir.Write("in/song.mid", text);
    dir.Write("in/noise.mid", noise);
    dir.Write("in/empty.mid", "");
    TAbZipper zipper;
    zipper.SetBaseDirectory(dir / "in");
    zipper.Open(dir / "out.zip");
    EXPECT_TRUE(zipper.AddFile("song.mid"));
    EXPECT_TRUE(zipper.AddFile(dir / "in" / "noise.mid"));
    EXPECT_TRUE(zipper.AddFile("empty.mid"));
    zipper.Save();

    auto entries = ListEntries(dir / "out.zip");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, "song.mid");
    EXPECT_EQ(entries[0].method, ZIP_CM_DEFLATE);
    EXPECT_EQ(entries[1].method, ZIP_CM_STORE);
    EXPECT_EQ(entries[2].method, ZIP_CM_STORE);

    fs::create_directory(dir / "x");
    TAbUnZipper unzipper;
    unzipper.Open(dir / "out.zip");
    unzipper.SetBaseDirectory(dir / "x/");
    EXPECT_EQ(unzipper.ExtractFiles("*.*"), 3);
    EXPECT_EQ(ReadWholeFile(dir / "x/song.mid"), text);
    EXPECT_EQ(ReadWholeFile(dir / "x/noise.mid"), noise);
    EXPECT_EQ(ReadWholeFile(dir / "x/empty.mid"), "");
}

TEST(Zipper, EntriesGetBareNames) {
    EXPECT_EQ(TAbZipper::BareName("/home/u/Tunes/a.mid"), "a.mid");
    EXPECT_EQ(TAbZipper::BareName("C:\\Tunes\\b.mid"), "b.mid");
    EXPECT_EQ(TAbZipper::BareName("C:c.mid"), "c.mid");
    EXPECT_EQ(TAbZipper::BareName("dir/.."), "");
    EXPECT_EQ(TAbZipper::BareName("dir/"), "");
}

TEST(Zipper, ExtendingAnArchiveSkipsNamesItHoldsAndKeepsItsEntries) {
    TempDir dir;
    dir.Write("a.mid", "first a");
    dir.Write("B.mid", "first b");
    ZipOneFile(dir / "a.mid", dir / "songs.zip");
    dir.Write("sub/A.MID", "second a");
    dir.Write("sub/b.mid", "second b");
    dir.Write("sub/c.mid", "c");

    TAbZipper zipper;
    zipper.Open(dir / "songs.zip");
    EXPECT_FALSE(zipper.AddFile(dir / "sub/A.MID"));
    EXPECT_TRUE(zipper.AddFile(dir / "sub/b.mid"));
    EXPECT_FALSE(zipper.AddFile(dir / "B.mid")); // already added in this session
    EXPECT_TRUE(zipper.AddFile(dir / "sub/c.mid"));
    EXPECT_EQ(zipper.AddedCount(), 2);
    zipper.Save();

    fs::create_directory(dir / "x");
    TAbUnZipper unzipper;
    unzipper.Open(dir / "songs.zip");
    EXPECT_EQ(unzipper.FileNames(), (std::vector<std::string>{"a.mid", "b.mid", "c.mid"}));
    unzipper.SetBaseDirectory(dir / "x");
    unzipper.ExtractFiles("*.*");
    EXPECT_EQ(ReadWholeFile(dir / "x/a.mid"), "first a");
    EXPECT_EQ(ReadWholeFile(dir / "x/b.mid"), "second b");
}

TEST(Zipper, AbortedOrFailedWriteLeavesTheOldArchiveWhole) {
    TempDir dir;
    dir.Write("a.mid", Compressible(3000));
    ZipOneFile(dir / "a.mid", dir / "songs.zip");
    std::string before = ReadWholeFile(dir / "songs.zip");
    for (int i = 0; i < 20; ++i)
        dir.Write("new/t" + std::to_string(i) + ".mid", Compressible(2000 + i));

    TAbZipper zipper;
    std::vector<int> seen;
    zipper.OnArchiveProgress = [&](int percent, bool& abort) {
        seen.push_back(percent);
        abort = percent >= 30;
    };
    zipper.Open(dir / "songs.zip");
    for (int i = 0; i < 20; ++i)
        zipper.AddFile(dir / ("new/t" + std::to_string(i) + ".mid"));
    EXPECT_THROW(zipper.Save(), EZipAborted);
    EXPECT_FALSE(seen.empty());
    EXPECT_EQ(ReadWholeFile(dir / "songs.zip"), before);

    // A file that vanished before writing fails the write the same way.
    zipper.OnArchiveProgress = nullptr;
    zipper.Open(dir / "songs.zip");
    zipper.AddFile(dir / "new/t1.mid");
    fs::remove(dir / "new/t1.mid");
    EXPECT_THROW(zipper.Save(), EZipError);
    EXPECT_EQ(ReadWholeFile(dir / "songs.zip"), before);

    std::vector<std::string> left = FilesIn(dir.path());
    EXPECT_EQ(std::count_if(left.begin(), left.end(),
                            [](const std::string& n) { return n.rfind("songs.zip", 0) == 0; }),
              1);
}

TEST(Zipper, ProgressRunsFromZeroToHundred) {
    TempDir dir;
    TAbZipper zipper;
    std::vector<int> seen;
    zipper.OnArchiveProgress = [&](int percent, bool&) { seen.push_back(percent); };
    zipper.Open(dir / "p.zip");
    for (int i = 0; i < 5; ++i)
        zipper.AddBytes(Compressible(1000), "t" + std::to_string(i) + ".mid", 0);
    zipper.Save();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), 100);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
}

TEST(Unzipper, HostileNamesLandUnderBareNamesInsideTheBaseDirectory) {
    TempDir dir;
    dir.Write("archive.zip", BuildZip({{"../../evil.mid", "e"},
                                       {"/etc/abs.mid", "a"},
                                       {"C:\\Tunes\\win.mid", "w"},
                                       {"deep/dir/inner.mid", "i"},
                                       {"dir/", ""},
                                       {"dir/..", "dots"}}));
    fs::create_directories(dir / "work/base");
    TAbUnZipper unzipper;
    unzipper.Open(dir / "archive.zip");
    EXPECT_EQ(unzipper.FileNames(),
              (std::vector<std::string>{"evil.mid", "abs.mid", "win.mid", "inner.mid"}));
    unzipper.SetBaseDirectory(dir / "work/base");
    EXPECT_EQ(unzipper.ExtractFiles("*.*"), 4);
    EXPECT_EQ(FilesIn(dir / "work"),
              (std::vector<std::string>{"base", "base/abs.mid", "base/evil.mid", "base/inner.mid",
                                        "base/win.mid"}));
}

TEST(Unzipper, SymbolicLinksAreNeitherCreatedNorFollowed) {
    TempDir dir;
    dir.Write("outside.mid", "keep me");
    fs::create_directory(dir / "base");
    fs::create_symlink(dir / "outside.mid", dir / "base/planted.mid");
    ZipTestEntry link{"link.mid", (dir / "outside.mid").string()};
    link.unixMode = 0120777;
    dir.Write("a.zip", BuildZip({link, {"planted.mid", "replaced"}}));

    TAbUnZipper unzipper;
    unzipper.Open(dir / "a.zip");
    unzipper.SetBaseDirectory(dir / "base");
    EXPECT_EQ(unzipper.ExtractFiles("*.*"), 1);
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "base/link.mid")));
    EXPECT_FALSE(fs::is_symlink(dir / "base/planted.mid"));
    EXPECT_EQ(ReadWholeFile(dir / "base/planted.mid"), "replaced");
    EXPECT_EQ(ReadWholeFile(dir / "outside.mid"), "keep me");
}

TEST(Unzipper, OversizedEncryptedAndDamagedEntriesAreRefusedWithoutWritingAnything) {
    TempDir dir;
    fs::create_directory(dir / "base");
    auto refuses = [&](const std::string& bytes) {
        dir.Write("bad.zip", bytes);
        TAbUnZipper unzipper;
        unzipper.Open(dir / "bad.zip");
        unzipper.SetBaseDirectory(dir / "base");
        EXPECT_THROW(unzipper.ExtractFiles("*.*"), EZipError);
        EXPECT_TRUE(fs::is_empty(dir / "base")) << FilesIn(dir / "base").front();
    };
    ZipTestEntry big{"big.mid", "x", true, int64_t(TAbUnZipper::kMaxEntrySize) + 1};
    refuses(BuildZip({{"ok.mid", "fine"}, big}));

    std::vector<ZipTestEntry> many;
    for (int i = 0; i < 17; ++i)
        many.push_back(
            {"p" + std::to_string(i) + ".mid", "x", true, int64_t(TAbUnZipper::kMaxEntrySize)});
    refuses(BuildZip(many));

    ZipTestEntry locked{"locked.mid", "secret"};
    locked.flags = 1;
    refuses(BuildZip({locked}));

    // The data inflate to more than the headers announce.
    refuses(BuildZip({{"liar.mid", Compressible(5000), true, 100}}));

    std::string corrupt = BuildZip({{"c.mid", Compressible(5000), true}});
    corrupt[40] ^= 0x55;
    refuses(corrupt);
}

TEST(Unzipper, TruncatedOrForeignFilesDoNotOpen) {
    TempDir dir;
    std::string whole = BuildZip({{"a.mid", Compressible(500), true}});
    dir.Write("cut.zip", whole.substr(0, whole.size() - 30));
    dir.Write("text.zip", "this is not an archive at all");
    TAbUnZipper unzipper;
    EXPECT_THROW(unzipper.Open(dir / "cut.zip"), EZipError);
    EXPECT_THROW(unzipper.Open(dir / "text.zip"), EZipError);
    EXPECT_THROW(unzipper.Open(dir / "missing.zip"), EZipError);
}

TEST(Unzipper, ExtractionCanBeAbortedFromProgress) {
    TempDir dir;
    fs::create_directory(dir / "base");
    dir.Write("a.zip", BuildZip({{"a.mid", Compressible(300000), true},
                                 {"b.mid", Compressible(300000), true}}));
    TAbUnZipper unzipper;
    unzipper.Open(dir / "a.zip");
    unzipper.SetBaseDirectory(dir / "base");
    unzipper.OnArchiveProgress = [](int percent, bool& abort) { abort = percent > 60; };
    EXPECT_THROW(unzipper.ExtractFiles("*.*"), EZipAborted);
    EXPECT_FALSE(fs::exists(dir / "base/b.mid"));
}

TEST(StoredTune, OneEntryOpensWhateverItsNameAndWhoeverWroteIt) {
    TempDir dir;
    fs::create_directory(dir / "tune");
    std::string midi = "MThd" + Compressible(400);
    dir.Write("t.zip", BuildZip({{"folder/Other Name.mid", midi, true}}));
    ScriptedHost host;
    fs::path extracted;
    ASSERT_TRUE(UnzipOneFile(host, dir / "t.zip", dir / "tune/", extracted));
    EXPECT_EQ(extracted, dir / "tune" / "Other Name.mid");
    EXPECT_EQ(ReadWholeFile(extracted), midi);
    EXPECT_TRUE(host.messages.empty());

    dir.Write("AAATune.TTT", midi);
    ZipOneFile(dir / "AAATune.TTT", dir / "AAATune.Zzz");
    ASSERT_TRUE(UnzipOneFile(host, dir / "AAATune.Zzz", dir / "tune", extracted));
    EXPECT_EQ(extracted, dir / "tune" / "AAATune.TTT");
    EXPECT_EQ(ReadWholeFile(extracted), midi);
}

TEST(StoredTune, UnusableArchivesAreReportedAndGiveFalse) {
    TempDir dir;
    fs::create_directory(dir / "tune");
    dir.Write("zero.zip", "");
    dir.Write("two.zip", BuildZip({{"a.mid", "a"}, {"b.mid", "b"}}));
    dir.Write("none.zip", BuildZip({}));
    dir.Write("bad.zip", BuildZip({{"c.mid", "x", true, 99}}));
    // Only an archive that cannot be read at all beeps.
    struct Case {
        const char* file;
        std::string message;
        int beeps;
    } cases[] = {{"zero.zip", "0 bytes in archive!", 1},
                 {"two.zip", "Valid archive format but 2 files in archive", 0},
                 {"none.zip", "Valid archive format but 0 files in archive", 0},
                 {"bad.zip", "Unzipping error: ", 0},
                 {"missing.zip", "Archive file exception: ", 1}};
    for (const auto& c : cases) {
        ScriptedHost host;
        fs::path extracted;
        EXPECT_FALSE(UnzipOneFile(host, dir / c.file, dir / "tune", extracted)) << c.file;
        ASSERT_EQ(host.messages.size(), 1u) << c.file;
        EXPECT_EQ(host.messages[0].text.rfind(c.message, 0), 0u) << host.messages[0].text;
        EXPECT_EQ(host.messages[0].type, TMsgDlgType::mtError);
        EXPECT_EQ(host.messages[0].buttons, TMsgDlgButtons(mbAbort));
        EXPECT_EQ(host.beeps, c.beeps) << c.file;
    }
    EXPECT_TRUE(fs::is_empty(dir / "tune"));
}

// Other tools must read what we write, and we must read what they write.
class Interop : public ::testing::Test {
protected:
    static int Run(const std::string& command) {
        return std::system((command + " >/dev/null 2>&1").c_str());
    }
    TempDir dir;
};

TEST_F(Interop, OurArchivesPassUnzipTestAndReadInPython) {
    if (Run("command -v unzip") != 0 || Run("test -x /usr/bin/python3") != 0)
        GTEST_SKIP() << "unzip or /usr/bin/python3 missing";
    dir.Write("in/song.mid", Compressible(10000));
    dir.Write("in/noise.mid", Noise(3000));
    dir.Write("in/Bärenlied.mid", "MThd");
    TAbZipper zipper;
    zipper.SetBaseDirectory(dir / "in");
    zipper.Open(dir / "ours.zip");
    zipper.AddFile("song.mid");
    zipper.AddFile("noise.mid");
    zipper.AddFile("Bärenlied.mid");
    zipper.Save();
    fs::path zip = dir / "ours.zip";
    EXPECT_EQ(Run("unzip -tq '" + zip.string() + "'"), 0);
    EXPECT_EQ(Run("cd '" + dir.path().string() + "' && mkdir un && cd un && unzip -q ../ours.zip"),
              0);
    EXPECT_EQ(fs::status(dir / "un/song.mid").permissions() & fs::perms::others_write,
              fs::perms::none);
    std::string py =
        "import zipfile,sys\n"
        "z=zipfile.ZipFile(sys.argv[1])\n"
        "assert z.testzip() is None\n"
        "assert sorted(z.namelist())==['Bärenlied.mid','noise.mid','song.mid'], z.namelist()\n"
        "assert z.read('Bärenlied.mid')==b'MThd'\n";
    dir.Write("check.py", py);
    EXPECT_EQ(Run("/usr/bin/python3 '" + (dir / "check.py").string() + "' '" + zip.string() + "'"),
              0);
}

TEST_F(Interop, ArchivesOfInfoZipAndPythonExtract) {
    if (Run("command -v zip") != 0 || Run("test -x /usr/bin/python3") != 0)
        GTEST_SKIP() << "zip or /usr/bin/python3 missing";
    std::string text = Compressible(8000);
    dir.Write("src/a.mid", text);
    dir.Write("src/sub/b.mid", "MThd b");
    EXPECT_EQ(Run("cd '" + dir.path().string() + "/src' && zip -9 -q -r ../info.zip a.mid sub"), 0);
    dir.Write("make.py", "import zipfile,sys\n"
                         "with zipfile.ZipFile(sys.argv[1],'w',zipfile.ZIP_DEFLATED) as z:\n"
                         "  z.writestr('x/c.mid', b'MThd c'*100)\n"
                         "  z.writestr('d.mid', b'MThd d')\n");
    EXPECT_EQ(Run("/usr/bin/python3 '" + (dir / "make.py").string() + "' '" +
                  (dir / "py.zip").string() + "'"),
              0);

    fs::create_directories(dir / "out");
    TAbUnZipper unzipper;
    unzipper.SetBaseDirectory(dir / "out");
    unzipper.Open(dir / "info.zip");
    unzipper.ExtractFiles("*.*");
    unzipper.Open(dir / "py.zip");
    unzipper.ExtractFiles("*.mid");
    EXPECT_EQ(FilesIn(dir / "out"), (std::vector<std::string>{"a.mid", "b.mid", "c.mid", "d.mid"}));
    EXPECT_EQ(ReadWholeFile(dir / "out/a.mid"), text);
    EXPECT_EQ(ReadWholeFile(dir / "out/c.mid").size(), 600u);
}

} // namespace
} // namespace tunquil
