#include "support/MidiBytes.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace tunquil {
namespace {

using test::RunCtl;
using test::SmallMidiFile;
using test::TempDir;

class CtlScan : public ::testing::Test {
protected:
    int Ctl(const std::string& args, std::string& out, bool withStderr = false) {
        return RunCtl("--home '" + (dir / "home").string() + "' " + args, out, withStderr);
    }
    TempDir dir;
};

TEST_F(CtlScan, ScanFilesEachTuneFoundAndSummarises) {
    dir.Write("disk/Rock/b.MID", SmallMidiFile(1, "b"));
    dir.Write("disk/a.mid", SmallMidiFile(2, "a"));
    dir.Write("disk/.cache/h.mid", SmallMidiFile(1, "h"));
    std::filesystem::create_directory_symlink(dir / "disk", dir / "disk/Rock/again");
    const std::string d = (dir / "disk").string();

    std::string out;
    EXPECT_EQ(Ctl("scan --category Oldies --artist 'Doe, Jane' '" + d + "'", out), 0);
    EXPECT_EQ(out, "OK\t" + d + "/a.mid\nOK\t" + d + "/Rock/b.MID\n" +
                       "2 MIDI files found in 2 folders, 2 added\n");
    EXPECT_EQ(Ctl("scan --category Oldies --artist 'Doe, Jane' '" + d + "'", out), 0);
    EXPECT_EQ(out, "Duplicate\t" + d + "/a.mid\nDuplicate\t" + d + "/Rock/b.MID\n" +
                       "2 MIDI files found in 2 folders, 0 added\n");

    // Without artist and category the titles are filed as the system scan files them.
    dir.Write("more/c.mid", SmallMidiFile(3, "c"));
    EXPECT_EQ(Ctl("scan '" + (dir / "more").string() + "'", out), 0);
    ASSERT_EQ(Ctl("list --tsv", out), 0);
    EXPECT_NE(out.find("Oldies"), std::string::npos) << out;
    EXPECT_NE(out.find("Jane"), std::string::npos) << out;
    EXPECT_NE(out.find("FullScan "), std::string::npos) << out;
    EXPECT_NE(out.find("TBD"), std::string::npos) << out;
    EXPECT_EQ(out.find("h.mid"), std::string::npos) << out;
}

TEST_F(CtlScan, BadArgumentsAndAMissingFolderAreReported) {
    std::string out;
    EXPECT_EQ(Ctl("scan --category Rock '" + dir.path().string() + "'", out), 2);
    EXPECT_EQ(
        Ctl("scan --category 'Rock & Roll' --artist X '" + dir.path().string() + "'", out, true),
        2);
    EXPECT_NE(out.find("Please enter a valid artist and category for scanned MIDIs"),
              std::string::npos);
    EXPECT_EQ(Ctl("scan --system '" + dir.path().string() + "'", out), 2);
    EXPECT_EQ(Ctl("scan '" + (dir / "gone").string() + "'", out, true), 1);
    EXPECT_NE(out.find("Could not find directory: " + (dir / "gone").string()), std::string::npos);
}

} // namespace
} // namespace tunquil
