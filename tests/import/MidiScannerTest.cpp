#include "import/MidiScanner.h"

#include "support/MidiBytes.h"
#include "support/TestProgram.h"

#include <gtest/gtest.h>
#include <set>

namespace tunquil {
namespace {

using test::SmallMidiFile;
using test::TestProgram;

class Scanner : public ::testing::Test {
protected:
    // Drives are folders of a temporary directory, listed in the test double's mount table.
    fs::path Drive(const std::string& name) {
        fs::path root = disks.path() / name;
        fs::create_directories(root);
        drives.mountTable += "/dev/" + name + " " + root.string() + " ext4 rw 0 0\n";
        return root;
    }
    void Tune(const fs::path& path, int seconds = 2) {
        fs::create_directories(path.parent_path());
        disks.Write(path.lexically_relative(disks.path()).string(),
                    SmallMidiFile(seconds, path.string()));
    }
    std::set<std::string> Origins() {
        std::set<std::string> out;
        for (const auto& t : p.db().LiveTitles())
            out.insert(fs::path(t.origin).lexically_relative(disks.path()).string());
        return out;
    }
    std::vector<std::string> Actions() {
        std::vector<std::string> out;
        for (const auto& row : scanner.DriveRows())
            out.push_back(row.action);
        return out;
    }

    TestProgram p;
    test::TempDir disks;
    platform::FakeDrives drives;
    fs::path programDir = disks.path() / "c/Tunquil";
    MidiScanner scanner{p.host, p.importer, p.data, p.categories, programDir, drives};
};

TEST_F(Scanner, SystemScanFilesEveryDriveUnderTodaysCategoryAndTbdButNotTheProgramDirectory) {
    fs::path c = Drive("c"), d = Drive("d");
    Tune(c / "Songs/a.mid");
    Tune(d / "B.MID", 3);
    // The program's own files: the tune being played and a work copy of a stored title.
    Tune(programDir / "AInternal.MID");
    Tune(programDir / "TempTune/AAATune.mid");
    int locks = 0;
    scanner.lockWindow = [&](bool locked) { locks += locked ? 1 : -1; };

    ScanOutcome outcome = scanner.ScanSystem(true);
    EXPECT_EQ(Origins(), (std::set<std::string>{"c/Songs/a.mid", "d/B.MID"}));
    EXPECT_EQ(Actions(), (std::vector<std::string>{"Done", "Done"}));
    EXPECT_EQ(scanner.DriveRows()[0].files, 1);
    EXPECT_EQ(scanner.DriveRows()[0].directories, 2);
    EXPECT_TRUE(outcome.fullScanDone);
    EXPECT_EQ(locks, 0);
    for (const auto& t : p.db().LiveTitles()) {
        EXPECT_EQ(t.categoryName, MidiScanner::FullScanCategoryName());
        EXPECT_EQ(t.lastName, "TBD");
    }

    // A second scan the same day adds nothing new and keeps the one category.
    outcome = scanner.ScanSystem(true);
    EXPECT_EQ(outcome.added, 0);
    EXPECT_EQ(p.db().LiveTitles().size(), 2u);
}

TEST_F(Scanner, FullScanDoneOnlyWhenEveryDriveWasSearchedToItsEndAndNothingStopped) {
    fs::path c = Drive("c"), d = Drive("d"), e = Drive("e");
    EXPECT_TRUE(scanner.ScanSystem(true).fullScanDone) << "no tunes anywhere is a full scan too";

    Tune(c / "a.mid");
    Tune(d / "x/b.mid");
    Tune(d / "y/c.mid");
    Tune(e / "e.mid");
    // The search "Stop" pressed while the second drive is searched.
    scanner.onDriveRows = [&](const std::vector<ScanDriveRow>& rows) {
        if (rows[1].action == kScanActionInProcess && rows[1].files == 1)
            scanner.StopSearch();
    };
    ScanOutcome outcome = scanner.ScanSystem(true);
    EXPECT_FALSE(outcome.fullScanDone);
    EXPECT_EQ(Actions(), (std::vector<std::string>{"Done", "Stopped", "Pending"}));
    EXPECT_EQ(Origins().count("c/a.mid"), 1u) << "what was found is still filed";
    EXPECT_EQ(Origins().count("e/e.mid"), 0u);

    MidiScanner again{p.host, p.importer, p.data, p.categories, programDir, drives};
    drives.notReady.insert(d);
    outcome = again.ScanSystem(true);
    EXPECT_FALSE(outcome.fullScanDone);
    EXPECT_EQ(again.DriveRows()[1].action, kScanActionNotReady);
    EXPECT_EQ(Origins().count("e/e.mid"), 1u);

    // The import "Stop": the scan ends at the next file and is no full scan.
    drives.notReady.clear();
    Tune(e / "f.mid");
    Tune(e / "g.mid");
    MidiScanner third{p.host, p.importer, p.data, p.categories, programDir, drives};
    int imported = 0;
    // Told once the first file is on disk, so the Stop comes while that file is imported.
    third.onImported = [&](const std::string&, const std::string&) { ++imported; };
    third.onImportProgress = [&](int, int) { third.StopImport(); };
    outcome = third.ScanSystem(true);
    EXPECT_FALSE(outcome.fullScanDone);
    EXPECT_EQ(imported, 1);
    EXPECT_EQ(Origins().count("e/g.mid"), 0u);
}

TEST_F(Scanner, TheImportLetsEventsThroughBeforeEachFileSoItsStopIsHeard) {
    fs::path c = Drive("c");
    for (char n : std::string("abcd"))
        Tune(c / (std::string(1, n) + ".mid"));
    std::vector<int> eventsAtFile;
    // The window's Stop arrives while the second file is imported, to be heard before the third.
    scanner.onImportProgress = [&](int, int) {
        eventsAtFile.push_back(p.host.processEventsCalls);
        if (eventsAtFile.size() == 2)
            scanner.StopImport();
    };
    ScanOutcome outcome = scanner.ScanSystem(true);
    ASSERT_EQ(eventsAtFile.size(), 2u);
    EXPECT_LT(eventsAtFile[0], eventsAtFile[1]);
    EXPECT_EQ(outcome.added, 2);
    EXPECT_FALSE(outcome.importComplete);
}

TEST_F(Scanner, DirectoryScanFilesUnderTheGivenArtistAndCategoryAndTellsAMissingFolder) {
    fs::path c = Drive("c");
    Tune(c / "Folk/one.mid");
    Tune(c / "Folk/Two.MID");
    disks.Write("c/Folk/broken.mid", "not a tune");
    ScanOutcome outcome = scanner.ScanDirectory(c / "Folk", true, "Smith", " John", "Folk");
    EXPECT_EQ(outcome.found, 3);
    EXPECT_EQ(outcome.added, 2);
    for (const auto& t : p.db().LiveTitles()) {
        EXPECT_EQ(t.categoryName, "Folk");
        EXPECT_EQ(t.lastName, "Smith");
        EXPECT_EQ(t.firstName, " John");
    }
    // The scan tells what it did, in its outcome and in one line.
    EXPECT_EQ(outcome.failed, 1);
    EXPECT_EQ(ScanSummary(outcome), "3 found, 2 added, 1 unreadable");
    outcome = scanner.ScanDirectory(c / "Folk", true, "Smith", " John", "Folk");
    EXPECT_EQ(outcome.added, 0);
    EXPECT_EQ(outcome.duplicates, 2);
    EXPECT_EQ(ScanSummary(outcome), "3 found, 0 added, 2 skipped as duplicates, 1 unreadable");
    EXPECT_EQ(scanner.ScanDirectory(c / "Folk", false, "Smith", " John", "Folk").added, 2);
    EXPECT_TRUE(p.host.messages.empty());

    outcome = scanner.ScanDirectory(c / "Gone", true, "Smith", "", "Folk");
    EXPECT_EQ(p.host.LastMessage(), "Could not find directory: " + (c / "Gone").string());
    EXPECT_FALSE(outcome.searchComplete);
}

TEST(ScanInput, ArtistAndCategoryAreCheckedAsTyped) {
    EXPECT_TRUE(IsValidScanArtist("Smith, John"));
    EXPECT_TRUE(IsValidScanArtist(" X "));
    EXPECT_TRUE(IsValidScanArtist(",A"));
    EXPECT_FALSE(IsValidScanArtist(" , "));
    EXPECT_FALSE(IsValidScanArtist("   "));
    EXPECT_TRUE(IsValidScanCategory("Rock"));
    EXPECT_FALSE(IsValidScanCategory("Rock & Roll"));
    EXPECT_FALSE(IsValidScanCategory(" "));
}

} // namespace
} // namespace tunquil
