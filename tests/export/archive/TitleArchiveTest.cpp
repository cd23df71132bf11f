#include "base/Files.h"
#include "export/TitleExport.h"
#include "export/archive/TAbUnZipper.h"
#include "export/archive/TAbZipper.h"
#include "support/MidiBytes.h"
#include "support/TestProgram.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace tunquil {
namespace {

using test::SmallMidiFile;
using test::TestProgram;

std::vector<std::string> EntryNames(const fs::path& archive) {
    TAbUnZipper unzipper;
    unzipper.Open(archive);
    return unzipper.FileNames();
}

std::vector<std::string> Listing(const fs::path& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (auto& e : fs::directory_iterator(dir, ec))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class Export : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(p.dir / "out"); }
    TestProgram p;
};

TEST_F(Export, WritesTheMidiFileAndReplacesAnOldOneOnlyWhenReady) {
    std::string midi = SmallMidiFile(2, "x");
    int32_t key = p.AddTitle("Song", midi);
    auto target = p.dir.Write("out/song", "old content");
    ASSERT_TRUE(ExportTitle(p.db(), p.host, p.dir.path(), key, target, false));
    EXPECT_EQ(ReadWholeFile(target), midi);
    EXPECT_EQ(Listing(p.dir / "out"), (std::vector<std::string>{"song"}));
    EXPECT_FALSE(fs::exists(p.dir / "TempTrash/ForExport.zip"));

    std::string why;
    auto kept = p.dir.Write("out/kept", "keep me");
    EXPECT_FALSE(ExportTitle(p.db(), p.host, p.dir.path(), 999, kept, false, &why));
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(ReadWholeFile(kept), "keep me");
}

TEST_F(Export, DamagedStoredDataIsReportedAndLeavesTheTargetAlone) {
    auto junk = p.dir.Write("fixture/junk", "these bytes are no archive");
    int32_t key = p.data.AddTitle(junk, "Broken", true, 45000.0, 1, 0, 0, "x");
    auto target = p.dir.Write("out/broken", "old");
    std::string why;
    EXPECT_FALSE(ExportTitle(p.db(), p.host, p.dir.path(), key, target, true, &why));
    EXPECT_FALSE(why.empty());
    ASSERT_EQ(p.host.messages.size(), 1u);
    EXPECT_EQ(p.host.LastMessage().rfind("Unzipping error: ", 0), 0u);
    EXPECT_EQ(Listing(p.dir / "out"), (std::vector<std::string>{"broken"}));
    EXPECT_EQ(ReadWholeFile(target), "old");
}

TEST_F(Export, WithTheZipFlagLeavesMidAndZip) {
    std::string midi = SmallMidiFile(2, "z");
    int32_t key = p.AddTitle("Song", midi);
    p.dir.Write("out/song.zip", "an old archive");
    ASSERT_TRUE(ExportTitle(p.db(), p.host, p.dir.path(), key, p.dir / "out/song", true));
    EXPECT_EQ(Listing(p.dir / "out"), (std::vector<std::string>{"song.mid", "song.zip"}));
    EXPECT_EQ(ReadWholeFile(p.dir / "out/song.mid"), midi);
    EXPECT_EQ(EntryNames(p.dir / "out/song.zip"), (std::vector<std::string>{"song.mid"}));
}

TEST_F(Export, WithTheZipFlagAFileOfTheTargetsOwnNameIsLeftAlone) {
    int32_t key = p.AddTitle("Song", SmallMidiFile(2, "z"));
    p.dir.Write("out/song", "the user's own file");
    ASSERT_TRUE(ExportTitle(p.db(), p.host, p.dir.path(), key, p.dir / "out/song", true));
    EXPECT_EQ(ReadWholeFile(p.dir / "out/song"), "the user's own file");
}

TEST_F(Export, ReachesAnotherFileSystem) {
    if (::access("/dev/shm", W_OK) != 0)
        GTEST_SKIP() << "no /dev/shm";
    std::string other = "/dev/shm/tunquil-export-" + std::to_string(::getpid());
    std::string midi = SmallMidiFile(2, "shm");
    int32_t key = p.AddTitle("Song", midi);
    bool ok = ExportTitle(p.db(), p.host, p.dir.path(), key, other, false);
    std::string got = ok ? ReadWholeFile(other) : "";
    fs::remove(other);
    EXPECT_TRUE(ok);
    EXPECT_EQ(got, midi);
}

TEST(SafeNames, TitleTextsCannotPickTheDirectory) {
    EXPECT_EQ(SafeTitleFileName("Plain Song", 7), "Plain Song");
    EXPECT_EQ(SafeTitleFileName("../../etc/passwd", 7), "____etc_passwd");
    EXPECT_EQ(SafeTitleFileName("C:\\Windows\\x", 7), "C:_Windows_x");
    EXPECT_EQ(SafeTitleFileName(std::string("a\0b\tc\x7f", 6), 7), "a_b_c_");
    EXPECT_EQ(SafeTitleFileName("", 7), "7");
    EXPECT_EQ(SafeTitleFileName(".", 7), "7");
    EXPECT_EQ(SafeTitleFileName("..", 12), "12");
    EXPECT_EQ(SafeTitleFileName("Wait...", 7), "Wait_.");
}

TEST_F(Export, AnArchiveHoldsEveryTitleAndSameTitlesGetTheirKey) {
    int32_t a = p.AddTitle("Same", SmallMidiFile(1, "a"));
    int32_t b = p.AddTitle("Same", SmallMidiFile(1, "b"));
    int32_t c = p.AddTitle("../../escape", SmallMidiFile(1, "c"));
    int32_t d = p.AddTitle("..", SmallMidiFile(1, "d"));
    int32_t e = p.AddTitle("SAME", SmallMidiFile(1, "e")); // the archive tells no case apart
    auto outcome = p.archiver.BuildTitleArchive((p.dir / "out/songs").string(),
                                                {std::to_string(a), " " + std::to_string(b) + " ",
                                                 "999", "junk", std::to_string(c),
                                                 std::to_string(d), std::to_string(e)});
    EXPECT_EQ(outcome, TitleArchiver::Outcome::Completed);
    EXPECT_EQ(p.host.LastMessage(), "Archiving successfully completed!");
    EXPECT_EQ(p.host.messages.back().type, TMsgDlgType::mtInformation);
    EXPECT_EQ(EntryNames(p.dir / "out/songs.zip"),
              (std::vector<std::string>{"Same.mid", "Same (" + std::to_string(b) + ").mid",
                                        "____escape.mid", std::to_string(d) + ".mid",
                                        "SAME (" + std::to_string(e) + ").mid"}));
    EXPECT_EQ(Listing(p.dir / "out"), (std::vector<std::string>{"songs.zip"}));
    EXPECT_TRUE(Listing(p.archiver.StagingDirectory()).empty());
    EXPECT_EQ(p.host.busyDepth, 0);
}

TEST_F(Export, ExtendingAnArchiveCountsTheNamesItAlreadyHeld) {
    int32_t a = p.AddTitle("One", SmallMidiFile(1, "1"));
    int32_t b = p.AddTitle("Two", SmallMidiFile(1, "2"));
    std::string name = (p.dir / "out/Songs.ZIP.bak").string();
    p.archiver.BuildTitleArchive(name, {std::to_string(a)});
    ASSERT_TRUE(fs::exists(name));
    p.archiver.BuildTitleArchive(name, {std::to_string(a), std::to_string(b)});
    EXPECT_EQ(p.host.LastMessage(),
              "Archiving successfully completed!\r\n\r\n   1 duplicates were ignored");
    EXPECT_EQ(EntryNames(name), (std::vector<std::string>{"One.mid", "Two.mid"}));
}

TEST_F(Export, CancelWhileStagingIsSilentAndWhileWritingKeepsTheOldArchive) {
    int32_t a = p.AddTitle("One", SmallMidiFile(1, "1"));
    int32_t b = p.AddTitle("Two", SmallMidiFile(1, "2"));
    std::string name = (p.dir / "out/songs.zip").string();
    p.host.cancelAfterProgressCalls = 1;
    EXPECT_EQ(p.archiver.BuildTitleArchive(name, {std::to_string(a), std::to_string(b)}),
              TitleArchiver::Outcome::CancelledWhileStaging);
    EXPECT_TRUE(p.host.messages.empty());
    EXPECT_FALSE(fs::exists(name));
    EXPECT_TRUE(Listing(p.archiver.StagingDirectory()).empty());

    p.host.cancelAfterProgressCalls = -1;
    p.archiver.BuildTitleArchive(name, {std::to_string(a)});
    std::string before = ReadWholeFile(name);
    p.host.progress.clear();
    p.host.cancelAfterProgressCalls = 3; // two for staging, then the writing starts
    EXPECT_EQ(p.archiver.BuildTitleArchive(name, {std::to_string(b)}),
              TitleArchiver::Outcome::CancelledWhileWriting);
    EXPECT_EQ(p.host.LastMessage(), "Archiving cancelled!");
    EXPECT_EQ(p.host.messages.back().type, TMsgDlgType::mtWarning);
    EXPECT_EQ(ReadWholeFile(name), before);
    EXPECT_EQ(Listing(p.dir / "out"), (std::vector<std::string>{"songs.zip"}));
}

TEST_F(Export, AnEmptySelectionIsToldAndWritesNothing) {
    EXPECT_EQ(p.archiver.ArchiveTitles({}, (p.dir / "out/x.zip").string()),
              TitleArchiver::Outcome::NothingToArchive);
    EXPECT_EQ(p.host.LastMessage(), "No titles to archive!");
    EXPECT_EQ(p.host.beeps, 1);
    EXPECT_TRUE(Listing(p.dir / "out").empty());
    EXPECT_EQ(TitleArchiver::SaveDialogTitle(3), "Enter the name for this 3-title archive...");
}

TEST_F(Export, AnArchiveThatCannotBeWrittenIsReported) {
    int32_t a = p.AddTitle("One", SmallMidiFile(1, "1"));
    EXPECT_EQ(
        p.archiver.BuildTitleArchive((p.dir / "no/such/dir/x.zip").string(), {std::to_string(a)}),
        TitleArchiver::Outcome::Failed);
    EXPECT_EQ(p.host.LastMessage(), "Archiving failed!  Check titles for unusual characters.");
    EXPECT_EQ(p.host.messages.back().type, TMsgDlgType::mtError);
    EXPECT_TRUE(Listing(p.archiver.StagingDirectory()).empty());
}

} // namespace
} // namespace tunquil
