#include "base/Files.h"
#include "base/Text.h"
#include "export/archive/StoredTune.h"
#include "export/archive/TAbUnZipper.h"
#include "support/MidiBytes.h"
#include "support/TestProgram.h"
#include "support/ZipBuilder.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace tunquil {
namespace {

using test::BuildZip;
using test::SmallMidiFile;
using test::TestProgram;

class Importer : public ::testing::Test {
protected:
    // Adds a file the way a quiet scan does: title = file name, origin = full path.
    std::string Add(const fs::path& path, bool quiet = true, bool checkDuplicates = true) {
        p.importer.Pending().title = path.filename().string();
        p.importer.Pending().origin = path.string();
        std::string status = "unchanged";
        p.importer.AddMidiFile(path, quiet, status, checkDuplicates);
        return status;
    }
    TitleRecord Only() {
        auto titles = p.db().LiveTitles();
        EXPECT_EQ(titles.size(), 1u);
        return titles.empty() ? TitleRecord{} : titles.front();
    }
    // The MIDI bytes kept for a title, unpacked from its stored-tune archive.
    std::string StoredTune(int32_t key) {
        std::string bytes;
        EXPECT_TRUE(p.db().ReadStoredData(key, bytes));
        auto zip = p.dir.Write("check/stored.zip", bytes);
        TAbUnZipper unzipper;
        unzipper.Open(zip);
        EXPECT_EQ(unzipper.Count(), 1);
        EXPECT_EQ(unzipper.EntryName(0), kStoredTuneEntry);
        unzipper.SetBaseDirectory(p.dir / "check");
        unzipper.ExtractFiles("*.*");
        return ReadWholeFile(p.dir / "check" / kStoredTuneEntry);
    }

    TestProgram p;
};

TEST_F(Importer, AGoodFileBecomesATitleWithItsTuneStored) {
    std::string midi = SmallMidiFile(3);
    auto path = p.dir.Write("in/song_one.MID", midi);
    p.importer.Pending().ck = p.categories.AddCategory("Rock");
    p.importer.Pending().pk = p.data.Performers().FindOrAdd("John", "Doe");
    EXPECT_EQ(Add(path), "OK");
    TitleRecord r = Only();
    EXPECT_EQ(r.title, "song one");
    EXPECT_EQ(r.origin, path.string());
    EXPECT_EQ(r.duration, 3);
    EXPECT_EQ(r.categoryName, "Rock");
    EXPECT_EQ(r.artist, "John Doe");
    EXPECT_EQ(StoredTune(r.masterKey), midi);
    EXPECT_FALSE(fs::exists(p.importer.TempZipsDirectory() / "AAATune.Zzz"));
    EXPECT_TRUE(p.host.messages.empty());
}

TEST_F(Importer, QuietStatusesNameWhatIsWrongWithAFile) {
    auto text = p.dir.Write("in/readme.mid", std::string(100, 't'));
    EXPECT_EQ(Add(text), text.string() + " is not MIDI file, has 100 bytes");
    EXPECT_EQ(Add(p.dir.Write("in/short.mid", std::string("MThd\x00", 5))), "Invalid file size");
    EXPECT_EQ(Add(p.dir.Write("in/three.mid", "MTh")), "Invalid file size");
    EXPECT_EQ(Add(p.dir / "in/missing.mid"), "Invalid file size");
    std::string midi = SmallMidiFile(3);
    EXPECT_EQ(Add(p.dir.Write("in/cut.mid", midi.substr(0, midi.size() - 6))),
              "Corrupted MIDI file");
    EXPECT_TRUE(p.db().LiveTitles().empty());
    EXPECT_TRUE(p.host.messages.empty());

    // An RMID file is stored as it is, timed by the Standard MIDI File inside it (it used to
    // be stored without a duration); one without that file inside is no tune.
    EXPECT_EQ(Add(p.dir.Write("in/empty.rmi", std::string("RIFF\x10\x00\x00\x00RMIDdata", 16))),
              "Corrupted MIDI file");
    auto wrapped = p.dir.Write("in/wrapped.rmi", test::RmidFile(SmallMidiFile(3)));
    EXPECT_EQ(Add(wrapped), "OK");
    EXPECT_EQ(Only().duration, 3);
    EXPECT_EQ(Only().title, "wrapped");
}

std::size_t bytesRead = 0;

ssize_t CountingRead(int fd, void* data, std::size_t size, off_t offset) {
    ssize_t n = ::pread(fd, data, size, offset);
    if (n > 0)
        bytesRead += static_cast<std::size_t>(n);
    return n;
}

ssize_t FailingRead(int, void*, std::size_t, off_t) {
    errno = EIO;
    return -1;
}

// Lets the four bytes of the probe through and fails the reading of the whole file.
ssize_t FailingWholeRead(int fd, void* data, std::size_t size, off_t offset) {
    return size <= 4 ? ::pread(fd, data, size, offset) : FailingRead(fd, data, size, offset);
}

struct InputReader {
    explicit InputReader(PreadFunction reader) : previous(SetInputFileReader(reader)) {}
    ~InputReader() { SetInputFileReader(previous); }
    PreadFunction previous;
};

TEST_F(Importer, WhatCannotBeATuneIsRefusedBeforeItIsRead) {
    // A FIFO would block the add for ever; a folder named like a tune is no tune either.
    fs::create_directories(p.dir / "in");
    auto fifo = p.dir / "in/fifo.mid";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(Add(fifo), fifo.string() + " is not a regular file");
    fs::create_directories(p.dir / "in/folder.mid");
    EXPECT_EQ(Add(p.dir / "in/folder.mid"),
              (p.dir / "in/folder.mid").string() + " is not a regular file");

    // Sparse: 3 GB that cost no disk. Its header is all that may be read.
    auto huge = p.dir.Write("in/huge.mid", "MThd");
    fs::resize_file(huge, 3ull << 30);
    bytesRead = 0;
    {
        InputReader counting(CountingRead);
        EXPECT_EQ(Add(huge), huge.string() + " is too large, has 3221225472 bytes");
    }
    EXPECT_LE(bytesRead, 4u);

    // A disk that fails is named as such, not taken for a short file.
    auto good = p.dir.Write("in/good.mid", SmallMidiFile(2));
    for (PreadFunction reader : {FailingRead, FailingWholeRead}) {
        InputReader failing(reader);
        EXPECT_EQ(Add(good), "Cannot read " + good.string() + ": Input/output error");
    }
    EXPECT_EQ(p.db().LiveCount(), 0);
    EXPECT_EQ(Add(good), "OK");
}

TEST_F(Importer, TitlesAreCleanedOfTheirExtensionAndUnderscores) {
    EXPECT_EQ(TitleImporter::CleanTitle("  song_one.MID "), "song one");
    EXPECT_EQ(TitleImporter::CleanTitle("Song.mid"), "Song");
    EXPECT_EQ(TitleImporter::CleanTitle("Sing_along.Kar"), "Sing along");
    EXPECT_EQ(TitleImporter::CleanTitle("abc"), "abc");
    EXPECT_EQ(TitleImporter::CleanTitle("a.mid.mid"), "a.mid.mid");
    EXPECT_EQ(TitleImporter::CleanTitle(".mid"), "");
}

TEST_F(Importer, DuplicatesAreFoundByTheStoredFormOfTheirOrigin) {
    auto path = p.dir.Write("in/a.mid", SmallMidiFile(2));
    EXPECT_EQ(Add(path), "OK");
    EXPECT_EQ(Add(path), "Duplicate");
    EXPECT_EQ(Add(path, true, false), "OK");
    EXPECT_EQ(p.db().LiveCount(), 2);

    // Origins longer than the stored field are still recognised, and only the same tune is a
    // duplicate: other files of a long folder look alike once cut.
    std::string deep = "in/" + std::string(60, 'd') + "/" + std::string(60, 'e') + "/";
    auto first = p.dir.Write(deep + "first.mid", SmallMidiFile(2, "first"));
    auto second = p.dir.Write(deep + "second.mid", SmallMidiFile(2, "second"));
    ASSERT_EQ(CutUtf8(first.string(), kOriginCapacity), CutUtf8(second.string(), kOriginCapacity));
    EXPECT_EQ(Add(first), "OK");
    EXPECT_EQ(Add(second), "OK");
    EXPECT_EQ(Add(second), "Duplicate");
    EXPECT_EQ(Add(first), "Duplicate");
    EXPECT_EQ(p.db().LiveCount(), 4);

    // The same when the cut falls inside a two-byte letter: the field keeps one byte less.
    std::string prefix = (p.dir / "in").string() + "/";
    ASSERT_LT(prefix.size(), kOriginCapacity - 1);
    std::string split = "in/" + std::string(kOriginCapacity - 1 - prefix.size(), 'f') + "\u00e9/";
    auto third = p.dir.Write(split + "third.mid", SmallMidiFile(2, "third"));
    auto fourth = p.dir.Write(split + "fourth.mid", SmallMidiFile(2, "fourth"));
    ASSERT_EQ(CutUtf8(third.string(), kOriginCapacity).size(), kOriginCapacity - 1);
    EXPECT_EQ(Add(third), "OK");
    EXPECT_EQ(Add(fourth), "OK");
    EXPECT_EQ(Add(fourth), "Duplicate");
    EXPECT_EQ(p.db().LiveCount(), 6);
}

// "Already exists" used to mean the same path only: a copy of a stored tune in another folder
// was added again.
TEST_F(Importer, TheSameTuneByAnotherPathIsADuplicateAndAnotherTuneOfItsLengthIsNot) {
    std::string tune = SmallMidiFile(2, "tune");
    EXPECT_EQ(Add(p.dir.Write("in/a.mid", tune)), "OK");
    EXPECT_EQ(Add(p.dir.Write("copy/b.mid", tune)), "Duplicate");
    EXPECT_EQ(Add(p.dir.Write("other/c.mid", SmallMidiFile(2, "other"))), "OK");
    // A title this importer added itself is known too.
    EXPECT_EQ(Add(p.dir.Write("again/d.mid", SmallMidiFile(2, "other"))), "Duplicate");
    EXPECT_EQ(Add(p.dir.Write("allowed/e.mid", tune), true, false), "OK");
    EXPECT_EQ(p.db().LiveCount(), 3);
}

// The duplicate check keeps what it learnt of the titles between adds; it must learn of every
// title added since, whoever added it, and of every change of a title's length.
TEST_F(Importer, TheDuplicateCheckSeesWhatOthersChangedSinceItLooked) {
    int32_t played = p.AddTitle("played", SmallMidiFile(2, "played")); // stored as 3 s
    EXPECT_EQ(Add(p.dir.Write("in/first.mid", SmallMidiFile(2, "first"))), "OK");

    // Another importer of the same window (a large archive has one of its own).
    TitleImporter other(p.host, p.data, p.categories, p.dir.path());
    std::string byOther = SmallMidiFile(2, "by other");
    auto path = p.dir.Write("other/a.mid", byOther);
    other.Pending().origin = path.string();
    std::string status;
    other.AddMidiFile(path, true, status, true);
    ASSERT_EQ(status, "OK");
    EXPECT_EQ(Add(p.dir.Write("copy/a.mid", byOther)), "Duplicate");

    // Another process, which can add only while this one has the database closed.
    p.db().Close();
    std::string byProcess = SmallMidiFile(2, "by process");
    {
        ScriptedHost host;
        TCatList categories(p.dir.path());
        categories.Load();
        TDMM2 data(p.dir.path(), host);
        data.SetCategoryList(&categories);
        data.OpenDatabase();
        TitleImporter importer(host, data, categories, p.dir.path());
        auto there = p.dir.Write("process/b.mid", byProcess);
        importer.Pending().origin = there.string();
        importer.AddMidiFile(there, true, status, true);
        ASSERT_EQ(status, "OK");
        data.Database().Close();
    }
    p.data.OpenDatabase();
    EXPECT_EQ(Add(p.dir.Write("copy/b.mid", byProcess)), "Duplicate");

    // Playing a title stores the length the player measured.
    ASSERT_TRUE(p.db().SetDuration(2, played));
    EXPECT_EQ(Add(p.dir.Write("copy/played.mid", SmallMidiFile(2, "played"))), "Duplicate");

    // A deleted title is no longer there to be copied, before the pack and after it.
    ASSERT_TRUE(p.data.DeleteTitle(played));
    EXPECT_EQ(Add(p.dir.Write("again/played.mid", SmallMidiFile(2, "played"))), "OK");
    int dropped = 0, kept = 0;
    ASSERT_TRUE(p.data.DeleteTitle(p.db().HighestMasterKey()));
    ASSERT_TRUE(p.db().Pack(dropped, kept));
    EXPECT_EQ(Add(p.dir.Write("later/played.mid", SmallMidiFile(2, "played"))), "OK");
    EXPECT_EQ(Add(p.dir.Write("copy/first.mid", SmallMidiFile(2, "first"))), "Duplicate");
    EXPECT_EQ(p.db().LiveCount(), 4);
}

// Only the bytes tell a copy: tunes whose hashes agree are no duplicates of each other.
TEST_F(Importer, TunesWhoseHashesAgreeAreStillToldApartByTheirBytes) {
    p.importer.SetTuneHashForTesting([](std::string_view) { return uint64_t{7}; });
    std::string one = SmallMidiFile(2, "tune one"), two = SmallMidiFile(2, "tune two");
    ASSERT_EQ(one.size(), two.size());
    EXPECT_EQ(Add(p.dir.Write("in/one.mid", one)), "OK");
    EXPECT_EQ(Add(p.dir.Write("in/two.mid", two)), "OK");
    EXPECT_EQ(Add(p.dir.Write("copy/two.mid", two)), "Duplicate");
    // The same within one long folder, whose files share their cut origin.
    std::string deep = "in/" + std::string(130, 'd') + "/";
    EXPECT_EQ(Add(p.dir.Write(deep + "three.mid", SmallMidiFile(2, "tune 3!!"))), "OK");
    EXPECT_EQ(Add(p.dir.Write(deep + "four.mid", SmallMidiFile(2, "tune 4!!"))), "OK");
    EXPECT_EQ(Add(p.dir.Write(deep + "one.mid", one)), "Duplicate");
    EXPECT_EQ(p.db().LiveCount(), 4);
}

TEST_F(Importer, InteractiveAddsAskAndFollowTheAnswer) {
    std::string midi = SmallMidiFile(3);
    auto cut = p.dir.Write("in/cut.mid", midi.substr(0, midi.size() - 6));
    p.host.answers = {TModalResult::mrNo, TModalResult::mrYes};
    EXPECT_EQ(Add(cut, false), "Corrupted MIDI file");
    ASSERT_EQ(p.host.messages.size(), 1u);
    EXPECT_EQ(p.host.LastMessage(),
              "\"cut.mid\" is not in the right format and may be corrupted.\r\n\r\nAdd it anyway?");
    EXPECT_EQ(p.host.messages[0].type, TMsgDlgType::mtError);
    EXPECT_EQ(p.host.beeps, 1);
    EXPECT_EQ(Add(cut, false), "OK");
    EXPECT_EQ(Only().duration, -1);

    p.host.answers = {TModalResult::mrYes, TModalResult::mrNo};
    EXPECT_EQ(Add(cut, false), "");
    EXPECT_EQ(p.host.LastMessage(), cut.string() + " already exists in database. Add it anyway?");
    EXPECT_EQ(p.host.messages.back().buttons, TMsgDlgButtons(mbYes | mbNo));

    auto text = p.dir.Write("in/notes.mid", "plain text, not a tune");
    EXPECT_EQ(Add(text, false), text.string() + " is not MIDI file, has 22 bytes");
    EXPECT_EQ(p.host.LastMessage(),
              text.string() + " is not a valid MIDI file.\r\nIt will not be added to the database");
    EXPECT_EQ(p.db().LiveCount(), 1);
}

TEST_F(Importer, OkOnlyWhenTheTitleWasStored) {
    auto path = p.dir.Write("in/a.mid", SmallMidiFile(2));
    p.db().Close();
    std::string status = Add(path);
    EXPECT_NE(status, "OK");
    EXPECT_EQ(status.rfind("Not added: ", 0), 0u) << status;
}

// "OK" means the title survives a power cut: when it is told, the database files as last
// flushed hold it. One file alone, the files of a batch and the members of an archive; a batch
// flushes once for many titles, not once each.
TEST_F(Importer, ATitleIsOnDiskWhenItIsReportedOk) {
    std::map<std::string, std::string> flushed; // by file name, as of its last flush
    int flushes = 0;
    SetSyncObserverForTesting([&](int fd) {
        fs::path open = fs::read_symlink("/proc/self/fd/" + std::to_string(fd));
        flushed[open.filename().string()] = ReadWholeFile(open);
        flushes += open.filename() == "Music.des";
    });
    struct StopObserving {
        ~StopObserving() { SetSyncObserverForTesting({}); }
    } stop;
    std::vector<std::string> notOnDisk;
    auto expectOnDisk = [&](const std::string& what) {
        if (flushed["Music.des"] != ReadWholeFile(p.db().DescriptorPath()) ||
            flushed["Music.dat"] != ReadWholeFile(p.db().DataPath()))
            notOnDisk.push_back(what);
    };

    EXPECT_EQ(Add(p.dir.Write("in/alone.mid", SmallMidiFile(1))), "OK");
    expectOnDisk("alone");
    flushes = 0;
    {
        TitleImporter::AddBatch batch(p.importer,
                                      [&](const std::string& path, const std::string& status) {
                                          EXPECT_EQ(status, "OK") << path;
                                          expectOnDisk(path);
                                      });
        for (int i = 0; i < 5; ++i)
            batch.Report("batch" + std::to_string(i),
                         Add(p.dir.Write("in/b" + std::to_string(i) + ".mid",
                                         SmallMidiFile(2, "b" + std::to_string(i)))));
        batch.Finish();
    }
    EXPECT_LT(flushes, 5);
    auto archive =
        p.dir.Write("in/two.zip",
                    BuildZip({{"x.mid", SmallMidiFile(3, "x")}, {"y.mid", SmallMidiFile(4, "y")}}));
    EXPECT_EQ(p.importer.ImportArchive(archive, true, true), "");
    expectOnDisk("archive");
    EXPECT_EQ(p.db().LiveCount(), 8);
    EXPECT_TRUE(notOnDisk.empty()) << notOnDisk.front();
}

TEST_F(Importer, ThePendingSettingsSetterKeepsTextsItIsNotGiven) {
    p.importer.SetPendingTitleSettings("Title", "/from/here.mid", 3, 4);
    p.importer.SetPendingTitleSettings("", "", 5, 6);
    EXPECT_EQ(p.importer.Pending().title, "Title");
    EXPECT_EQ(p.importer.Pending().origin, "/from/here.mid");
    EXPECT_EQ(p.importer.Pending().pk, 5);
    EXPECT_EQ(p.importer.Pending().ck, 6);
}

TEST_F(Importer, NothingHappensWhileTheProgramShutsDown) {
    auto path = p.dir.Write("in/a.mid", SmallMidiFile(2));
    p.importer.shuttingDown = [] { return true; };
    EXPECT_EQ(Add(path), "unchanged");
    EXPECT_EQ(p.db().LiveCount(), 0);
}

TEST_F(Importer, TheDispatcherSetsCategoryAndArtistAndRoutesByName) {
    auto path = p.dir.Write("in/Tune_1.mid", SmallMidiFile(2));
    EXPECT_EQ(p.importer.ImportMusicFile(path, "Tune_1.mid", path.string(), "Doe, John", "Jazz",
                                         true, true),
              "OK");
    TitleRecord r = Only();
    EXPECT_EQ(r.title, "Tune 1");
    EXPECT_EQ(r.categoryName, "Jazz");
    // The first name keeps what followed the comma, blank and all, as lists written before
    // hold it: such a performer is found again, not added twice.
    EXPECT_EQ(r.firstName, " John");
    EXPECT_EQ(r.lastName, "Doe");
    EXPECT_EQ(r.artist, "John Doe");
    int32_t blupi = p.data.Performers().FindOrAdd(" Planet", "Blupi");
    int performers = p.data.Performers().Count();
    auto other = p.dir.Write("in/other.mid", SmallMidiFile(1, "other"));
    EXPECT_EQ(p.importer.ImportMusicFile(other, "other.mid", other.string(), "Blupi, Planet", "",
                                         true, true),
              "OK");
    EXPECT_EQ(p.importer.Pending().pk, blupi);
    EXPECT_EQ(p.data.Performers().Count(), performers);

    // A ".mid" anywhere in the path wins over ".zip".
    auto zipInMidiDir = p.dir.Write("Tunes.Midi/pack.zip", BuildZip({{"a.mid", SmallMidiFile(1)}}));
    EXPECT_EQ(
        p.importer
            .ImportMusicFile(zipInMidiDir, "pack.zip", zipInMidiDir.string(), "", "", true, true)
            .find(" is not MIDI file, has "),
        zipInMidiDir.string().size());
    // Anything else is left alone.
    EXPECT_EQ(p.importer.ImportMusicFile(p.dir / "in/x.txt", "x", "x", "", "", true, true), "");
    EXPECT_EQ(p.db().LiveCount(), 2);
}

TEST_F(Importer, AnArchiveImportsEachMemberUnderItsBareName) {
    auto zip = p.dir.Write("in/pack.zip", BuildZip({{"../../up.mid", SmallMidiFile(1, "a"), true},
                                                    {"dir/inner.mid", SmallMidiFile(2, "b")},
                                                    {"notes.txt", "just text"},
                                                    {"last.mid", SmallMidiFile(3, "c")}}));
    std::string result =
        p.importer.ImportMusicFile(zip, "pack.zip", zip.string(), "", "Archive", true, true);
    fs::path dir = p.importer.ExtractionDirectory();
    EXPECT_EQ(result, "OK decompressing but " + (dir / "notes.txt").string() +
                          " is not MIDI file, has 9 bytes");
    auto titles = p.db().LiveTitles();
    ASSERT_EQ(titles.size(), 3u);
    EXPECT_EQ(titles[0].title, "up");
    EXPECT_EQ(titles[0].origin, zip.string() + "+up.mid");
    EXPECT_EQ(titles[1].title, "inner");
    EXPECT_EQ(titles[2].duration, 3);
    EXPECT_EQ(titles[2].categoryName, "Archive");
    EXPECT_EQ(p.importer.Pending().origin, zip.string());
    EXPECT_FALSE(fs::exists(dir));
    EXPECT_FALSE(fs::exists(p.dir.path().parent_path() / "up.mid"));

    // Importing it again with duplicate checks finds every member.
    EXPECT_EQ(p.importer.ImportArchive(zip, true, true).rfind("OK decompressing but ", 0), 0u);
    EXPECT_EQ(p.db().LiveCount(), 3);
}

// A member name once reached a mail as "Nice<CR>.<CR><LF>RSET", a line break in a title.
TEST_F(Importer, ControlCharactersInAMemberOrFileNameNeverReachTheTitle) {
    auto zip = p.dir.Write("in/pack.zip",
                           BuildZip({{"Nice\r.\r\nRSET\r\n.mid", SmallMidiFile(1, "a")},
                                     {"x/.\n.", SmallMidiFile(2, "b")},
                                     {"Caf\xC3\xA9\xC2\x85\tBar.mid", SmallMidiFile(3, "c")}}));
    // Taken out first, the control characters cannot leave a ".." to step out of the folder.
    EXPECT_EQ(p.importer.ImportMusicFile(zip, "pack.zip", zip.string(), "", "Archive", true, true),
              "OK decompressing but Entry 2 has no file name");
    fs::path file = p.dir.Write("in/song.mid", SmallMidiFile(4, "d"));
    p.importer.Pending().title = "Bell\x07 \x7fSong\r\n";
    p.importer.Pending().origin = file.string();
    std::string status;
    p.importer.AddMidiFile(file, true, status, true);
    EXPECT_EQ(status, "OK");

    std::vector<std::string> titles;
    for (const TitleRecord& r : p.db().LiveTitles())
        titles.push_back(r.title);
    EXPECT_EQ(titles, (std::vector<std::string>{"Nice.RSET",
                                                "Caf\xC3\xA9"
                                                "Bar",
                                                "Bell Song"}));
}

TEST_F(Importer, EveryMemberOfAnArchiveKeepsItsOwnBytesAndOnlyUnusableNamesAreSkipped) {
    std::vector<std::string> tunes;
    for (int i = 0; i < 7; ++i)
        tunes.push_back(SmallMidiFile(1, "tune " + std::to_string(i)));
    std::string tooLong(300, 'n');
    auto zip = p.dir.Write("in/pack.zip", BuildZip({{"cd1/track01.mid", tunes[0]},
                                                    {"cd2/track01.mid", tunes[1], true},
                                                    {"dup", tunes[2]},
                                                    {"dup", tunes[3]},
                                                    {"", tunes[4]},
                                                    {tooLong + ".mid", tunes[5]},
                                                    {"last.mid", tunes[6]}}));
    p.importer.Pending().origin = zip.string();
    EXPECT_EQ(p.importer.ImportArchive(zip, true, true),
              "OK decompressing but Entry 5 has no file name");
    auto titles = p.db().LiveTitles();
    ASSERT_EQ(titles.size(), 5u);
    std::vector<std::string> texts, origins, stored;
    for (const auto& t : titles) {
        texts.push_back(t.title);
        origins.push_back(t.origin.substr(zip.string().size()));
        stored.push_back(StoredTune(t.masterKey));
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"track01", "track01", "dup", "dup", "last"}));
    EXPECT_EQ(origins, (std::vector<std::string>{"+track01.mid", "+track01 (2).mid", "+dup",
                                                 "+dup (2)", "+last.mid"}));
    EXPECT_EQ(stored, (std::vector<std::string>{tunes[0], tunes[1], tunes[2], tunes[3], tunes[6]}));
    EXPECT_FALSE(fs::exists(p.importer.ExtractionDirectory()));

    // The same archive again finds every member it added.
    p.importer.ImportArchive(zip, true, true);
    EXPECT_EQ(p.db().LiveCount(), 5);

    auto longOnly = p.dir.Write("in/long.zip", BuildZip({{tooLong, tunes[5]}}));
    EXPECT_EQ(p.importer.ImportArchive(longOnly, true, true),
              "OK decompressing but Entry 1 has a file name longer than 255 bytes");
    EXPECT_EQ(p.db().LiveCount(), 5);
}

TEST_F(Importer, BrokenArchivesGiveTheirResultTexts) {
    auto import = [&](const fs::path& zip) { return p.importer.ImportArchive(zip, true, true); };
    EXPECT_EQ(import(p.dir / "in/missing.zip"), "No archive found");
    EXPECT_EQ(import(p.dir.Write("in/empty.zip", BuildZip({}))), "Empty archive");
    test::ZipTestEntry link{"link.mid", "/etc/passwd"};
    link.unixMode = 0120777;
    EXPECT_EQ(import(p.dir.Write("in/folders.zip", BuildZip({{"dir/", ""}, link}))),
              "Empty archive");
    EXPECT_EQ(import(p.dir.Write("in/text.zip", "not an archive")), "Error decompressing");
    std::string whole = BuildZip({{"a.mid", SmallMidiFile(1), true}});
    EXPECT_EQ(import(p.dir.Write("in/cut.zip", whole.substr(0, whole.size() / 2))),
              "Error decompressing");
    test::ZipTestEntry locked{"locked.mid", SmallMidiFile(1)};
    locked.flags = 1;
    EXPECT_EQ(import(p.dir.Write("in/locked.zip", BuildZip({locked}))), "Error decompressing");
    test::ZipTestEntry bomb{"bomb.mid", "x", true, int64_t(TAbUnZipper::kMaxEntrySize) + 1};
    EXPECT_EQ(import(p.dir.Write("in/bomb.zip", BuildZip({bomb}))), "Error decompressing");
    EXPECT_EQ(p.db().LiveCount(), 0);
    EXPECT_FALSE(fs::exists(p.importer.ExtractionDirectory()));
}

TEST_F(Importer, CancelStopsAnArchiveImportBeforeTheRemainingMembers) {
    std::vector<test::ZipTestEntry> members;
    for (int i = 0; i < 6; ++i)
        members.push_back({"t" + std::to_string(i) + ".mid", SmallMidiFile(1, std::to_string(i))});
    auto zip = p.dir.Write("in/six.zip", BuildZip(members));
    p.host.cancelAfterProgressCalls = 0;
    std::string result = p.importer.ImportArchive(zip, true, true);
    EXPECT_TRUE(result == "Error decompressing" || result.empty()) << result;
    EXPECT_EQ(p.db().LiveCount(), 0);
}

} // namespace
} // namespace tunquil

namespace tunquil {
namespace {

TEST_F(Importer, ArchivesOfOtherToolsImport) {
    if (std::system("command -v zip >/dev/null && test -x /usr/bin/python3") != 0)
        GTEST_SKIP() << "zip or /usr/bin/python3 missing";
    p.dir.Write("src/one.mid", SmallMidiFile(1, "one"));
    p.dir.Write("src/deep/two.mid", SmallMidiFile(2, "two"));
    std::string src = (p.dir / "src").string();
    ASSERT_EQ(std::system(("cd '" + src + "' && zip -9 -q -r ../info.zip one.mid deep").c_str()),
              0);
    auto script =
        p.dir.Write("make.py", "import zipfile,sys\n"
                               "with zipfile.ZipFile(sys.argv[1],'w',zipfile.ZIP_DEFLATED) as z:\n"
                               "  z.write(sys.argv[2], 'x/three.mid')\n");
    p.dir.Write("src/three.mid", SmallMidiFile(3, "three"));
    ASSERT_EQ(std::system(("/usr/bin/python3 '" + script.string() + "' '" +
                           (p.dir / "py.zip").string() + "' '" + src + "/three.mid'")
                              .c_str()),
              0);
    EXPECT_EQ(p.importer.ImportArchive(p.dir / "info.zip", true, true), "");
    EXPECT_EQ(p.importer.ImportArchive(p.dir / "py.zip", true, true), "");
    auto titles = p.db().LiveTitles();
    ASSERT_EQ(titles.size(), 3u);
    EXPECT_EQ(titles[1].title, "two");
    EXPECT_EQ(titles[2].title, "three");
    EXPECT_EQ(titles[2].duration, 3);
}

} // namespace
} // namespace tunquil
