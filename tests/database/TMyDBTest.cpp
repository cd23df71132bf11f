// The title store: keys, records on disk, extract, the data file limit, damaged files, locking.

#include "database/TMyDB.h"

#include "DatabaseTestSupport.h"
#include "base/ScriptedHost.h"
#include "support/FileSizeLimit.h"
#include "support/TempDir.h"

#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace tunquil {
namespace {

using test::FileBytes;
using test::SampleTitle;
using test::TempDir;

class TMyDBTest : public ::testing::Test {
protected:
    fs::path Data(const std::string& content) {
        fs::path p = dir / ("data" + std::to_string(++files) + ".zip");
        dir.Write(p.filename().string(), content);
        return p;
    }
    int32_t Add(const std::string& title, const std::string& content = "stored") {
        return db.AppendTitle(SampleTitle(title), Data(content));
    }
    void Reopen() {
        db.Close();
        db.Open(dir / "Music");
    }

    TempDir dir;
    ScriptedHost host;
    TMyDB db{host};
    int files = 0;
};

TEST_F(TMyDBTest, MasterKeysFollowTheHighestLiveKey) {
    db.Open(dir / "Music");
    EXPECT_EQ(Add("one"), 1);
    EXPECT_EQ(Add("two"), 2);
    EXPECT_EQ(Add("three"), 3);
    db.MarkDeleted(db.FindSlot(3));
    EXPECT_EQ(db.FindSlot(3), 0);
    EXPECT_EQ(Add("new three"), 3);
    TitleRecord r;
    ASSERT_TRUE(db.ReadRecordByKey(3, r));
    EXPECT_EQ(r.title, "new three");
    EXPECT_EQ(db.FindSlot(3), 4);
    db.MarkDeleted(db.FindSlot(2));
    EXPECT_EQ(Add("four"), 4);
    Reopen();
    EXPECT_EQ(db.LiveCount(), 3);
    EXPECT_EQ(db.SlotCount(), 5);
    EXPECT_TRUE(db.HasDeletedSlots());
    EXPECT_EQ(db.HighestMasterKey(), 4);
}

TEST_F(TMyDBTest, RecordsAndDataAreWrittenExactlyAsAppended) {
    db.Open(dir / "Music");
    Add("first", "AAAA");
    Add("second", "BBBBBB");
    TitleRecord expected = SampleTitle("second");
    expected.active = true;
    expected.masterKey = 2;
    expected.slotNumber = 2;
    expected.dataOffset = 4;
    expected.dataSize = 6;
    std::string des = FileBytes(dir / "Music.des");
    ASSERT_EQ(des.size(), 2 * kTitleRecordSize);
    TitleRecordBytes bytes = EncodeTitleRecord(expected);
    EXPECT_EQ(des.substr(kTitleRecordSize), std::string(bytes.data(), bytes.size()));
    EXPECT_EQ(FileBytes(dir / "Music.dat"), "AAAABBBBBB");

    // An update keeps the stored data where they are, whatever the caller passes.
    TitleRecord changed = SampleTitle("renamed");
    changed.dataOffset = 999;
    changed.dataSize = 1;
    db.WriteRecord(changed, 2);
    Reopen();
    TitleRecord r;
    ASSERT_TRUE(db.ReadRecord(2, r));
    EXPECT_EQ(r.title, "renamed");
    EXPECT_EQ(r.dataOffset, 4);
    EXPECT_EQ(r.dataSize, 6);
    EXPECT_EQ(r.slotNumber, 2);
    ASSERT_TRUE(db.SetDuration(59, 1));
    ASSERT_TRUE(db.ReadRecordByKey(1, r));
    EXPECT_EQ(r.durationText, "0:59");
    EXPECT_FALSE(db.SetDuration(10, 77));
}

TEST_F(TMyDBTest, QueriesSeeOnlyLiveTitles) {
    db.Open(dir / "Music");
    TitleRecord a = SampleTitle("a", 5, 6);
    a.origin = "/x/Song.mid";
    db.AppendTitle(a, Data("1"));
    db.AppendTitle(SampleTitle("b", 7, 8), Data("2"));
    db.AppendTitle(a, Data("3")); // same origin again, key 3
    int32_t key = 0;
    EXPECT_TRUE(db.FindByOrigin("/x/Song.mid", key));
    EXPECT_EQ(key, 1);
    EXPECT_FALSE(db.FindByOrigin("/x/song.mid", key));
    EXPECT_EQ(key, -1);
    db.DeleteTitles({1});
    EXPECT_TRUE(db.FindByOrigin("/x/Song.mid", key));
    EXPECT_EQ(key, 3);
    EXPECT_TRUE(db.CategoryUsed(5));
    EXPECT_TRUE(db.PerformerUsed(8));
    std::vector<int32_t> gone;
    EXPECT_EQ(db.DeleteTitlesOfCategory(5, gone), 1);
    EXPECT_EQ(gone, std::vector<int32_t>{3});
    EXPECT_FALSE(db.CategoryUsed(5));
    EXPECT_FALSE(db.PerformerUsed(6));
    EXPECT_EQ(db.LiveCount(), 1);
}

TEST_F(TMyDBTest, BaseNameTakesTheNameUpToItsFirstDot) {
    db.Open(dir / "a.b.c");
    EXPECT_EQ(db.DescriptorPath(), dir / "a.des");
    EXPECT_TRUE(fs::exists(dir / "a.dat"));
    db.Close();
    fs::create_directory(dir / "sub");
    db.Open(dir.path() / "sub" / "");
    EXPECT_EQ(db.DataPath(), dir / "sub" / "Default.dat");
}

TEST_F(TMyDBTest, ExtractFailsForAnyRecordWithoutUsableData) {
    db.Open(dir / "Music");
    Add("good", "GOODDATA");
    fs::path empty = dir / "empty";
    dir.Write("empty", "");
    db.AppendTitle(SampleTitle("empty"), empty); // key 2, data size 0
    Add("soon bad", "XY");                       // key 3
    Add("negative", "Z");                        // key 4
    db.Close();

    // Damage keys 3 and 4 on disk: data past the end, a negative offset.
    int fd = ::open((dir / "Music.des").c_str(), O_RDWR);
    int32_t past = 1000, negative = -5;
    ASSERT_EQ(::pwrite(fd, &past, 4, 2 * kTitleRecordSize + 8), 4);
    ASSERT_EQ(::pwrite(fd, &negative, 4, 3 * kTitleRecordSize + 8), 4);
    ::close(fd);
    db.Open(dir / "Music");

    TitleRecord r;
    fs::path out = dir / "out.zip";
    EXPECT_TRUE(db.Extract(1, out, r));
    EXPECT_EQ(FileBytes(out), "GOODDATA");
    for (int32_t key : {2, 3, 4}) {
        dir.Write("out.zip", "old");
        EXPECT_FALSE(db.Extract(key, out, r)) << key;
        EXPECT_EQ(FileBytes(out), "") << key;
        std::string bytes;
        EXPECT_FALSE(db.ReadStoredData(key, bytes));
    }
    EXPECT_FALSE(db.Extract(99, dir / "never.zip", r));
    EXPECT_FALSE(fs::exists(dir / "never.zip"));

    // A link planted under the staging name is replaced, not written through.
    dir.Write("victim", "precious");
    fs::remove(out);
    fs::create_symlink(dir / "victim", out);
    EXPECT_TRUE(db.Extract(1, out, r));
    EXPECT_FALSE(fs::is_symlink(out));
    EXPECT_EQ(FileBytes(out), "GOODDATA");
    EXPECT_EQ(FileBytes(dir / "victim"), "precious");
}

TEST_F(TMyDBTest, AnAddThatWouldPassTheDataFileLimitChangesNothing) {
    db.Open(dir / "Music");
    db.Close();
    // A sparse data file just under the limit.
    ASSERT_EQ(::truncate((dir / "Music.dat").c_str(), kMaxDataFileSize - 10), 0);
    db.Open(dir / "Music");
    EXPECT_THROW(Add("too big", std::string(11, 'x')), DatabaseError);
    EXPECT_EQ(fs::file_size(dir / "Music.dat"), static_cast<uintmax_t>(kMaxDataFileSize - 10));
    EXPECT_EQ(fs::file_size(dir / "Music.des"), 0u);
    EXPECT_EQ(db.SlotCount(), 0);
    EXPECT_EQ(Add("fits", std::string(10, 'y')), 1);
    EXPECT_EQ(fs::file_size(dir / "Music.dat"), static_cast<uintmax_t>(kMaxDataFileSize));
    TitleRecord r;
    ASSERT_TRUE(db.ReadRecordByKey(1, r));
    EXPECT_EQ(r.dataOffset, kMaxDataFileSize - 10);
}

// A disk that fills in the middle of the record: the part written must go, or verify finds a
// partial record and every later add lands off the record grid.
TEST_F(TMyDBTest, AnAddThatFillsTheDiskLeavesNoPartialRecord) {
    db.Open(dir / "Music");
    Add("first");
    {
        test::FileSizeLimit full(kTitleRecordSize + 184, true);
        EXPECT_THROW(Add("second"), FileError);
    }
    EXPECT_EQ(fs::file_size(dir / "Music.des"), kTitleRecordSize);
    EXPECT_EQ(fs::file_size(dir / "Music.dat"), 6u);
    Reopen();
    EXPECT_TRUE(db.Problems().empty());
    EXPECT_EQ(Add("third"), 2);
    TitleRecord r;
    ASSERT_TRUE(db.ReadRecord(2, r));
    EXPECT_EQ(r.title, "third");
}

TEST_F(TMyDBTest, DamagedDescriptorFilesOpenWithTheirProblemsListed) {
    db.Open(dir / "Music");
    Add("one");
    Add("two");
    Add("three");
    db.Close();
    std::string des = FileBytes(dir / "Music.des");
    // Slot 2 repeats key 1, slot 3 has key 0, and half a record trails.
    std::memcpy(des.data() + kTitleRecordSize + 24, des.data() + 24, 4);
    std::memset(des.data() + 2 * kTitleRecordSize + 24, 0, 4);
    des += std::string(100, '\x7F');
    dir.Write("Music.des", des);

    db.Open(dir / "Music");
    EXPECT_EQ(db.SlotCount(), 3);
    EXPECT_EQ(db.LiveCount(), 1);
    EXPECT_EQ(db.FindSlot(1), 1);
    EXPECT_EQ(db.Problems().size(), 3u);
    // The next title takes the slot after the last whole record, over the partial one.
    EXPECT_EQ(Add("four"), 2);
    EXPECT_EQ(fs::file_size(dir / "Music.des"), 4 * kTitleRecordSize);
    Reopen();
    EXPECT_EQ(db.Problems().size(), 2u);
}

TEST_F(TMyDBTest, ASecondOpenerIsRefusedWithAClearMessage) {
    db.Open(dir / "Music");
    Add("mine");
    ScriptedHost otherHost;
    TMyDB other(otherHost);
    try {
        other.Open(dir / "Music");
        FAIL() << "opened a database held by another";
    } catch (const DatabaseError& e) {
        EXPECT_NE(std::string(e.what()).find("in use by another copy"), std::string::npos);
    }
    EXPECT_FALSE(other.IsOpen());
    EXPECT_EQ(db.LiveCount(), 1);
    EXPECT_EQ(fs::file_size(dir / "Music.des"), kTitleRecordSize);
}

TEST_F(TMyDBTest, ADirectoryThatCannotHoldFilesGivesAnErrorAndCreatesNothing) {
    dir.Write("file", "x");
    EXPECT_THROW(db.Open(dir / "file" / "Music"), DatabaseError);
    EXPECT_FALSE(db.IsOpen());
    if (::geteuid() != 0) {
        fs::create_directory(dir / "ro");
        fs::permissions(dir / "ro", fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_THROW(db.Open(dir / "ro" / "Music"), DatabaseError);
        EXPECT_TRUE(fs::is_empty(dir / "ro"));
    }
}

TEST_F(TMyDBTest, ALoneFileOfThePairIsKeptAsideAndTheUserTold) {
    dir.Write("Music.des", std::string(kTitleRecordSize, '\1'));
    db.Open(dir / "Music");
    EXPECT_EQ(db.SlotCount(), 0);
    EXPECT_EQ(fs::file_size(dir / "Music.des"), 0u);
    EXPECT_EQ(FileBytes(dir / "Music.1.des"), std::string(kTitleRecordSize, '\1'));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.LastMessage().find("Music.1.des"), std::string::npos);
    db.Close();

    fs::remove(dir / "Music.des");
    dir.Write("Music.dat", "precious");
    db.Open(dir / "Music");
    EXPECT_EQ(FileBytes(dir / "Music.1.dat"), "precious");
    EXPECT_EQ(FileBytes(dir / "Music.1.des"), std::string(kTitleRecordSize, '\1'));
}

TEST_F(TMyDBTest, ObserversHearOfDeletesByCategoryAndNewDurations) {
    struct Recorder : IDatabaseObserver {
        std::vector<std::string> events;
        void TitleChanged(const TitleRecord& b, const TitleRecord& a, bool resort) override {
            events.push_back("changed " + std::to_string(b.duration) + "->" +
                             std::to_string(a.duration) + (resort ? " resort" : ""));
        }
        void TitlesDeleted(const std::vector<TitleRecord>& records) override {
            events.push_back("deleted " + std::to_string(records.size()));
        }
    } recorder;
    db.Open(dir / "Music");
    Add("a");
    Add("b");
    db.AddObserver(&recorder);
    db.SetDuration(30, 1);
    std::vector<int32_t> gone;
    db.DeleteTitlesOfCategory(1, gone);
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"changed 125->30", "deleted 2"}));
}

} // namespace
} // namespace tunquil
