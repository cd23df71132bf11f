// Reading the library while another copy of the program holds it and adds to it: the reading
// commands of tunquilctl beside the window.

#include "DatabaseTestSupport.h"
#include "base/ScriptedHost.h"
#include "database/TMusicLibrary.h"
#include "database/TMyDB.h"
#include "support/TempDir.h"

#include <atomic>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <thread>

namespace tunquil {
namespace {

using test::FileBytes;
using test::RunCtl;
using test::SampleTitle;
using test::TempDir;

ino_t Inode(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

class ReadingBesideTheOwner : public ::testing::Test {
protected:
    // The owner's add of a title whose tune is `content`.
    int32_t Add(const std::string& title, const std::string& content) {
        test::WriteStoredArchive(dir / "in.zip", content);
        return owner.AppendTitle(SampleTitle(title), dir / "in.zip");
    }

    TempDir dir;
    ScriptedHost ownerHost, readerHost;
    TMyDB owner{ownerHost};
    TMyDB reader{readerHost};
};

// The owner appends a title's data and then its record: a reader may find the data without the
// record, or the record only in part. Neither is a title yet, and neither is worth a word.
TEST_F(ReadingBesideTheOwner, ATitleStillBeingAddedIsLeftOutAndNothingIsWrittenOrLocked) {
    owner.Open(dir / "Music");
    Add("one", "tune one");
    Add("two", "tune two");
    owner.Flush();
    std::string des = FileBytes(dir / "Music.des");
    // A third record whose data are not in the data file yet, then a fourth in part.
    TitleRecord third = SampleTitle("three");
    third.active = true;
    third.masterKey = 3;
    third.dataOffset = static_cast<int32_t>(owner.DataFileSize());
    third.dataSize = 50;
    TitleRecordBytes bytes = EncodeTitleRecord(third);
    std::string grown = des + std::string(bytes.begin(), bytes.end()) + std::string(100, 'x');
    dir.Write("Music.des", grown);
    ino_t desInode = Inode(dir / "Music.des"), datInode = Inode(dir / "Music.dat");
    std::string dat = FileBytes(dir / "Music.dat");

    // The owner still holds both files locked: reading takes no lock.
    reader.OpenForReading(dir / "Music");
    EXPECT_TRUE(reader.ReadOnly());
    EXPECT_EQ(reader.LiveCount(), 2);
    EXPECT_EQ(reader.SlotCount(), 3);
    EXPECT_TRUE(reader.Problems().empty()) << reader.Problems().front();
    EXPECT_TRUE(readerHost.messages.empty());
    std::string stored;
    ASSERT_TRUE(reader.ReadStoredData(2, stored));
    EXPECT_FALSE(reader.ReadStoredData(3, stored));

    // Nothing that would change the files gets through.
    TitleRecord one;
    ASSERT_TRUE(reader.ReadRecordByKey(1, one));
    EXPECT_THROW(reader.WriteRecord(one, 1), DatabaseError);
    EXPECT_THROW(reader.MarkDeleted(1), DatabaseError);
    test::WriteStoredArchive(dir / "more.zip", "more");
    EXPECT_THROW(reader.AppendTitle(SampleTitle("more"), dir / "more.zip"), DatabaseError);
    int deleted = 0, kept = 0;
    EXPECT_FALSE(reader.Pack(deleted, kept));
    reader.Close();
    EXPECT_EQ(FileBytes(dir / "Music.des"), grown);
    EXPECT_EQ(FileBytes(dir / "Music.dat"), dat);
    EXPECT_EQ(Inode(dir / "Music.des"), desInode);
    EXPECT_EQ(Inode(dir / "Music.dat"), datInode);
}

// The owner packs on closing and puts new files in place by rename: a reader that opened the
// old pair keeps reading it whole.
TEST_F(ReadingBesideTheOwner, APackByTheOwnerLeavesAReaderWithTheFilesItOpened) {
    owner.Open(dir / "Music");
    Add("one", "tune one");
    Add("two", "tune two");
    Add("three", "tune three");
    reader.OpenForReading(dir / "Music");
    std::string before;
    ASSERT_TRUE(reader.ReadStoredData(3, before));
    owner.DeleteTitles({1, 2});
    int deleted = 0, kept = 0;
    ASSERT_TRUE(owner.Pack(deleted, kept));
    std::string after;
    ASSERT_TRUE(reader.ReadStoredData(3, after));
    EXPECT_EQ(after, before);
    EXPECT_EQ(reader.LiveCount(), 3);
    TMyDB late(readerHost);
    late.OpenForReading(dir / "Music");
    EXPECT_EQ(late.LiveCount(), 1);
    ASSERT_TRUE(late.ReadStoredData(3, after));
    EXPECT_EQ(after, before);
}

// A pack left half done is for a copy that may write to finish; a reader neither finishes it
// nor reads a descriptor file with a data file that do not belong together.
TEST_F(ReadingBesideTheOwner, AnUnfinishedPackIsLeftAloneAndReadingRefused) {
    owner.Open(dir / "Music");
    Add("one", "tune one");
    owner.Close();
    dir.Write("InfoTemp.bak", "");
    EXPECT_THROW(reader.OpenForReading(dir / "Music"), DatabaseError);
    EXPECT_TRUE(fs::exists(dir / "InfoTemp.bak"));
    EXPECT_FALSE(reader.IsOpen());
    // And a library that is not there yet reads as empty, and stays not there.
    TempDir empty;
    TMusicLibrary library(empty.path(), readerHost);
    library.OpenForReading();
    EXPECT_EQ(library.Database().LiveCount(), 0);
    library.Close();
    EXPECT_TRUE(fs::is_empty(empty.path()));
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// The window holds the library and adds to it while the reading commands run beside it: each
// sees the titles whole, in order, never fewer than before, and says nothing of the window.
TEST(ReadingCommandsBesideTheWindow, WorkWhileAnotherCopyHoldsTheLockAndAdds) {
    TempDir dir;
    ScriptedHost host;
    TMusicLibrary window(dir.path(), host);
    window.Open();
    int32_t ck = window.Categories().AddCategory("Rock");
    int32_t pk = window.Data().Performers().FindOrAdd("Ann", "Lee");
    test::WriteStoredArchive(dir / "first.zip", "the first tune");
    window.Data().AddTitle(dir / "first.zip", "Tune 1", false, 45000.0, 60, pk, ck, "/m/1.mid");
    window.Database().Flush();

    std::atomic<bool> stop = false;
    std::atomic<int> added = 1;
    std::thread adder([&] {
        for (int n = 2; !stop && n <= 3000; ++n) {
            test::WriteStoredArchive(dir / "in.zip", "tune " + std::to_string(n));
            window.Data().AddTitle(dir / "in.zip", "Tune " + std::to_string(n), true, 45000.0, n,
                                   pk, ck, "/m/" + std::to_string(n) + ".mid");
            added = n;
        }
    });
    const std::string home = "--home '" + dir.path().string() + "' ";
    std::size_t seen = 0;
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        std::string out;
        int atLeast = added;
        ASSERT_EQ(RunCtl(home + (round % 2 ? "list --tsv --find Tune" : "list --tsv"), out, true),
                  0)
            << out;
        std::vector<std::string> lines = Lines(out);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines[0].rfind("key\t", 0), 0u) << lines[0]; // nothing before the list
        // Keys 1, 2, 3 ... with their own titles: no record half written, none left out.
        for (std::size_t i = 1; i < lines.size(); ++i)
            ASSERT_EQ(lines[i].rfind(std::to_string(i) + "\tRock\tAnn Lee\tTune " +
                                         std::to_string(i) + "\t",
                                     0),
                      0u)
                << lines[i];
        EXPECT_GE(lines.size() - 1, std::max<std::size_t>(seen, atLeast));
        seen = lines.size() - 1;
        ASSERT_EQ(RunCtl(home + "export 1 '" + (dir / "out.mid").string() + "'", out, true), 0)
            << out;
        EXPECT_EQ(FileBytes(dir / "out.mid"), "the first tune");
    }
    stop = true;
    adder.join();
    std::string out;
    EXPECT_EQ(RunCtl(home + "categories --tsv", out, true), 0) << out;
    EXPECT_NE(out.find("\tRock\t" + std::to_string(added.load()) + "\t"), std::string::npos) << out;
    // A command that changes the library is still refused while the window holds it.
    EXPECT_EQ(RunCtl(home + "delete 1", out, true), 2);
    EXPECT_NE(out.find("in use by another copy of Tunquil"), std::string::npos) << out;
    window.Close();
}

} // namespace
} // namespace tunquil
