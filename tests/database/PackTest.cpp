// Packing: the result, and that a crash or a failure at any step never loses the database.

#include "DatabaseTestSupport.h"
#include "base/ScriptedHost.h"
#include "database/TMyDB.h"
#include "support/TempDir.h"

#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sys/stat.h>

namespace tunquil {
namespace {

using test::FileBytes;
using test::SampleTitle;
using test::TempDir;

// Five titles with distinct data; keys 2 and 4 deleted.
class PackTest : public ::testing::Test {
protected:
    void SetUp() override {
        db.Open(dir / "Music");
        for (int i = 1; i <= 5; ++i) {
            std::string content(static_cast<std::size_t>(i * 10), static_cast<char>('a' + i));
            dir.Write("in.zip", content);
            db.AppendTitle(SampleTitle("t" + std::to_string(i)), dir / "in.zip");
            contents[i] = content;
        }
        // The adds count as written back; the deletion marks after them are not flushed.
        for (const auto& e : fs::directory_iterator(dir.path()))
            flushed[InodeOf(e.path())] = FileBytes(e.path());
        durable = Listing();
        db.DeleteTitles({2, 4});
        oldDes = FileBytes(dir / "Music.des");
        oldDat = FileBytes(dir / "Music.dat");
    }

    // The live titles of the database in `where` and their data, read through a fresh open.
    static std::map<int32_t, std::string> Contents(const fs::path& where, ScriptedHost& host) {
        TMyDB other(host);
        other.Open(where / "Music");
        std::map<int32_t, std::string> out;
        other.ForEachLiveTitle([&](const TitleRecord& r) {
            std::string bytes;
            EXPECT_TRUE(other.ReadStoredData(r.masterKey, bytes)) << r.masterKey;
            out[r.masterKey] = bytes;
        });
        return out;
    }

    static ino_t InodeOf(const fs::path& path) {
        struct stat st {};
        ::stat(path.c_str(), &st);
        return st.st_ino;
    }

    using Names = std::map<std::string, ino_t>;

    // The database's files in the directory (folders and tunes to add left out).
    Names Listing() const {
        Names names;
        for (const auto& e : fs::directory_iterator(dir.path()))
            if (e.is_regular_file() && e.path().extension() != ".zip")
                names[e.path().filename().string()] = InodeOf(e.path());
        return names;
    }

    // Every state a power cut may leave now, each copied to a folder of its own: each file's
    // content as of its last flush (nothing of a file never flushed), and the names as of the
    // directory's last flush, except that any file renamed or created since may show under its
    // new name, each independently of the others. A rename the code flushed before going on is
    // thereby kept in order; one it did not may be lost while a later one is kept.
    std::vector<fs::path> CopiesAsAfterPowerCut(const std::string& label) {
        Names now = Listing();
        std::map<ino_t, std::vector<std::string>> oldNames, newNames;
        for (const auto& [name, inode] : durable)
            oldNames[inode].push_back(name);
        for (const auto& [name, inode] : now)
            newNames[inode].push_back(name);
        std::vector<ino_t> moved; // files whose new names may or may not have reached the disk
        for (const auto& [inode, names] : newNames)
            if (oldNames[inode] != names)
                moved.push_back(inode);
        std::vector<fs::path> copies;
        for (unsigned kept = 0; kept < (1u << moved.size()); ++kept) {
            Names state;
            std::set<ino_t> movedAway;
            for (std::size_t i = 0; i < moved.size(); ++i) {
                bool renamed = (kept >> i) & 1;
                if (renamed)
                    movedAway.insert(moved[i]);
                for (const auto& name : renamed ? newNames[moved[i]] : oldNames[moved[i]])
                    state[name] = moved[i];
            }
            for (const auto& [name, inode] : durable)
                if (!state.count(name) && !movedAway.count(inode))
                    state[name] = inode;
            fs::path to = dir / ("cut" + label + "-" + std::to_string(kept));
            fs::create_directory(to);
            for (const auto& [name, inode] : state) {
                auto it = flushed.find(inode);
                std::ofstream(to / name, std::ios::binary)
                    << (it == flushed.end() ? "" : it->second);
            }
            copies.push_back(to);
        }
        return copies;
    }

    std::map<int32_t, std::string> Live() const {
        return {{1, contents.at(1)}, {3, contents.at(3)}, {5, contents.at(5)}};
    }

    void ExpectOldPairUntouched() {
        EXPECT_EQ(FileBytes(dir / "Music.des"), oldDes);
        EXPECT_EQ(FileBytes(dir / "Music.dat"), oldDat);
        EXPECT_FALSE(fs::exists(dir / "InfoTemp.bak"));
        EXPECT_FALSE(fs::exists(dir / "DataTemp.bak"));
    }

    TempDir dir;
    ScriptedHost host;
    TMyDB db{host};
    std::map<int, std::string> contents;
    std::string oldDes, oldDat;
    std::map<ino_t, std::string> flushed; // by inode: a rename keeps it
    Names durable;                        // the directory's names as of its last flush
};

TEST_F(PackTest, KeepsExactlyTheLiveTitlesInOrderWithTheirData) {
    int deleted = -1, kept = -1;
    ASSERT_TRUE(db.Pack(deleted, kept));
    EXPECT_EQ(deleted, 2);
    EXPECT_EQ(kept, 3);
    EXPECT_EQ(FileBytes(dir / "Music.dat"), contents[1] + contents[3] + contents[5]);
    std::string des = FileBytes(dir / "Music.des");
    ASSERT_EQ(des.size(), 3 * kTitleRecordSize);
    TitleRecord third = DecodeTitleRecord(des.data() + 2 * kTitleRecordSize);
    EXPECT_EQ(third.masterKey, 5);
    EXPECT_EQ(third.slotNumber, 5); // not renumbered
    EXPECT_EQ(third.dataOffset, 40);
    EXPECT_EQ(third.title, "t5");
    EXPECT_EQ(third.dateObtained, SampleTitle("t5").dateObtained);
    EXPECT_FALSE(fs::exists(dir / "InfoTemp.bak"));
    EXPECT_FALSE(fs::exists(dir / "DataTemp.bak"));

    // The open database follows the new files, and a second pack has nothing to do.
    std::string bytes;
    ASSERT_TRUE(db.ReadStoredData(3, bytes));
    EXPECT_EQ(bytes, contents[3]);
    EXPECT_FALSE(db.HasDeletedSlots());
    EXPECT_FALSE(db.Pack(deleted, kept));
    EXPECT_EQ(kept, 3);
    db.Close();
    EXPECT_EQ(Contents(dir.path(), host), Live());
}

TEST_F(PackTest, NothingDeletedMeansNothingWritten) {
    db.Close();
    db.Open(dir / "Music");
    int deleted, kept;
    ASSERT_TRUE(db.Pack(deleted, kept));
    dir.Write("in.zip", "x");
    db.AppendTitle(SampleTitle("t6"), dir / "in.zip");
    std::string des = FileBytes(dir / "Music.des"), dat = FileBytes(dir / "Music.dat");
    EXPECT_FALSE(db.Pack(deleted, kept));
    EXPECT_EQ(deleted, 0);
    EXPECT_EQ(kept, 4);
    EXPECT_EQ(FileBytes(dir / "Music.des"), des);
    EXPECT_EQ(FileBytes(dir / "Music.dat"), dat);
}

// Copies of the directory taken before each pack step stand for a crash at that moment: as a
// killed process leaves it, and as a power cut does (unflushed writes and renames lost), also
// just before each flush of the directory, when most renames wait for it. Every copy must open
// as the old database or the new one, whole.
TEST_F(PackTest, ACrashOrAPowerCutAtAnyStepLeavesACompleteDatabase) {
    std::vector<fs::path> killed, cuts, lastCuts;
    int directoryFlushes = 0;
    SetSyncObserverForTesting([&](int fd) {
        fs::path open = "/proc/self/fd/" + std::to_string(fd);
        if (!fs::is_directory(open)) {
            flushed[InodeOf(open)] = FileBytes(open);
        } else if (fs::equivalent(open, dir.path())) {
            auto copies = CopiesAsAfterPowerCut("-dir" + std::to_string(++directoryFlushes));
            cuts.insert(cuts.end(), copies.begin(), copies.end());
            durable = Listing();
        }
    });
    struct StopObserving {
        ~StopObserving() { SetSyncObserverForTesting({}); }
    } stop;
    db.SetPackFaultHookForTesting([&](std::string_view step) {
        std::string name = std::to_string(killed.size()) + "-" + std::string(step);
        fs::path copy = dir / ("killed" + name);
        fs::create_directory(copy);
        for (const auto& e : fs::directory_iterator(dir.path()))
            if (e.is_regular_file() && e.path().extension() != ".zip")
                fs::copy_file(e.path(), copy / e.path().filename());
        killed.push_back(copy);
        lastCuts = CopiesAsAfterPowerCut(name);
        cuts.insert(cuts.end(), lastCuts.begin(), lastCuts.end());
        return 0;
    });
    int deleted, kept;
    ASSERT_TRUE(db.Pack(deleted, kept));
    ASSERT_GE(killed.size(), 7u);
    std::map<int32_t, std::string> all = Live();
    all[2] = contents[2];
    all[4] = contents[4];
    for (const auto& snap : killed) {
        ScriptedHost h;
        // The deleted titles stay deleted once a process has marked them.
        EXPECT_EQ(Contents(snap, h), Live()) << snap;
    }
    for (const auto& snap : cuts) {
        ScriptedHost h;
        // Marks that never reached the disk bring them back; nothing else may change.
        auto afterCut = Contents(snap, h);
        EXPECT_TRUE(afterCut == Live() || afterCut == all) << snap;
    }
    for (const auto& snaps : {killed, cuts})
        for (const auto& snap : snaps) {
            // Whatever was left over was either completed or kept under another name.
            EXPECT_FALSE(fs::exists(snap / "InfoTemp.bak")) << snap;
            EXPECT_FALSE(fs::exists(snap / "DataTemp.bak")) << snap;
            EXPECT_FALSE(fs::exists(snap / "Music.1.des")) << snap;
        }
    // A crash after the data file took its name: the next open finishes the pack.
    ASSERT_EQ(lastCuts.size(), 1u); // the data rename was flushed: nothing of it is in doubt
    for (const auto& late : {killed.back(), lastCuts.front()}) {
        ScriptedHost h;
        ASSERT_NE(late.string().find("rename-info"), std::string::npos);
        TMyDB reopened(h);
        reopened.Open(late / "Music");
        EXPECT_EQ(reopened.SlotCount(), 3) << late;
        EXPECT_EQ(FileBytes(late / "Music.dat"), contents[1] + contents[3] + contents[5]);
    }
}

// What a power cut could leave of a pack that did not flush the deletion marks first: the new
// data file in place, its descriptor file still InfoTemp.bak, and Music.des without the marks.
TEST_F(PackTest, AnOldDescriptorIsNeverPairedWithAPackedDataFile) {
    int deleted, kept;
    ASSERT_TRUE(db.Pack(deleted, kept));
    db.Close();
    std::string unmarked = oldDes;
    for (std::size_t at = 0; at < unmarked.size(); at += kTitleRecordSize)
        unmarked[at] = 1;
    dir.Write("InfoTemp.bak", FileBytes(dir / "Music.des"));
    dir.Write("Music.des", unmarked);
    EXPECT_EQ(Contents(dir.path(), host), Live());
    EXPECT_FALSE(fs::exists(dir / "InfoTemp.bak"));
    // The old descriptor file is kept, not overwritten.
    EXPECT_EQ(FileBytes(dir / "Music.1.des"), unmarked);
    EXPECT_NE(host.LastMessage().find("Music.1.des"), std::string::npos);
}

TEST_F(PackTest, AFailedCopyAbandonsThePackAndKeepsTheOldPairInUse) {
    int copies = 0;
    db.SetPackFaultHookForTesting(
        [&](std::string_view step) { return step == "copy" && ++copies == 2 ? ENOSPC : 0; });
    int deleted, kept;
    EXPECT_FALSE(db.Pack(deleted, kept));
    ExpectOldPairUntouched();
    EXPECT_NE(host.LastMessage().find("No space left"), std::string::npos);
    EXPECT_TRUE(db.IsOpen());
    EXPECT_TRUE(db.HasDeletedSlots());
    std::string bytes;
    EXPECT_TRUE(db.ReadStoredData(5, bytes));
    EXPECT_EQ(bytes, contents[5]);
}

TEST_F(PackTest, AFailedDataRenameKeepsTheOldPair) {
    db.SetPackFaultHookForTesting(
        [](std::string_view step) { return step == "rename-data" ? EACCES : 0; });
    int deleted, kept;
    EXPECT_FALSE(db.Pack(deleted, kept));
    EXPECT_NE(host.LastMessage().find("could not rename datatempfile"), std::string::npos);
    ExpectOldPairUntouched();
    EXPECT_TRUE(db.IsOpen());
}

TEST_F(PackTest, AFailedDescriptorRenameIsFinishedAtTheNextOpen) {
    db.SetPackFaultHookForTesting(
        [](std::string_view step) { return step == "rename-info" ? EACCES : 0; });
    int deleted, kept;
    EXPECT_FALSE(db.Pack(deleted, kept));
    EXPECT_NE(host.LastMessage().find("could not rename infotempfile"), std::string::npos);
    EXPECT_EQ(host.statuses.back(), "Error packing!");
    // The records in memory no longer match the data file, so the database closed itself.
    EXPECT_FALSE(db.IsOpen());
    EXPECT_TRUE(fs::exists(dir / "InfoTemp.bak"));
    EXPECT_EQ(Contents(dir.path(), host), Live());
    EXPECT_EQ(fs::file_size(dir / "Music.des"), 3 * kTitleRecordSize);
    EXPECT_FALSE(fs::exists(dir / "InfoTemp.bak"));
}

TEST_F(PackTest, LeftoverTempFilesAreKeptAsideAndNeverOverwriteTheDatabase) {
    db.Close();
    // An InfoTemp.bak whose records do not fit its data, and a stray DataTemp.bak.
    std::string strangeInfo = oldDes.substr(0, kTitleRecordSize);
    dir.Write("InfoTemp.bak", strangeInfo);
    dir.Write("DataTemp.bak", "x");
    db.Open(dir / "Music");
    EXPECT_EQ(FileBytes(dir / "Music.des"), oldDes);
    EXPECT_EQ(FileBytes(dir / "InfoTemp.1.bak"), strangeInfo);
    EXPECT_EQ(FileBytes(dir / "DataTemp.1.bak"), "x");
    EXPECT_NE(host.LastMessage().find("InfoTemp.1.bak"), std::string::npos);
    db.Close();

    // A DataTemp.bak alone beside a whole pair is an unfinished pack: kept aside too, and the
    // leftovers of the earlier one no longer are.
    dir.Write("DataTemp.bak", "partial");
    db.Open(dir / "Music");
    EXPECT_EQ(FileBytes(dir / "DataTemp.2.bak"), "partial");
    EXPECT_EQ(FileBytes(dir / "Music.dat"), oldDat);
    EXPECT_FALSE(fs::exists(dir / "InfoTemp.1.bak"));
    EXPECT_FALSE(fs::exists(dir / "DataTemp.1.bak"));
    EXPECT_NE(host.LastMessage().find("removed:\\n" + (dir / "DataTemp.1.bak").string()),
              std::string::npos)
        << host.LastMessage();

    // One that appears while the database is open is set aside by pack, not truncated.
    dir.Write("InfoTemp.bak", "mine");
    int deleted, kept;
    ASSERT_TRUE(db.Pack(deleted, kept));
    EXPECT_EQ(FileBytes(dir / "InfoTemp.1.bak"), "mine");
    db.Close();
    EXPECT_EQ(Contents(dir.path(), host), Live());
}

TEST_F(PackTest, AFinishedPackOfAnotherDatabaseNeverReplacesThisOne) {
    db.Close();
    // Temp files that fit each other but hold other titles than Music.des.
    TitleRecord other = SampleTitle("other");
    other.active = true;
    other.masterKey = 77;
    other.dataSize = 3;
    TitleRecordBytes bytes = EncodeTitleRecord(other);
    dir.Write("InfoTemp.bak", std::string(bytes.data(), bytes.size()));
    dir.Write("DataTemp.bak", "abc");
    db.Open(dir / "Music");
    EXPECT_EQ(FileBytes(dir / "Music.des"), oldDes);
    EXPECT_EQ(FileBytes(dir / "Music.dat"), oldDat);
    EXPECT_EQ(FileBytes(dir / "DataTemp.1.bak"), "abc");
    EXPECT_TRUE(fs::exists(dir / "InfoTemp.1.bak"));

    // Without a descriptor file they are all there is: the pack is completed, and a lone
    // data file in the way is kept aside first.
    db.Close();
    fs::rename(dir / "InfoTemp.1.bak", dir / "InfoTemp.bak");
    fs::rename(dir / "DataTemp.1.bak", dir / "DataTemp.bak");
    fs::remove(dir / "Music.des");
    db.Open(dir / "Music");
    EXPECT_EQ(db.LiveCount(), 1);
    EXPECT_EQ(db.HighestMasterKey(), 77);
    EXPECT_EQ(FileBytes(dir / "Music.1.dat"), oldDat);
}

TEST_F(PackTest, TitlesWhoseDataLieOutsideTheFileKeepTheirRecordsWithoutData) {
    db.Close();
    std::string des = oldDes;
    int32_t past = 100000;
    std::memcpy(des.data() + 2 * kTitleRecordSize + 8, &past, 4); // key 3
    dir.Write("Music.des", des);
    db.Open(dir / "Music");
    int deleted, kept;
    ASSERT_TRUE(db.Pack(deleted, kept));
    EXPECT_EQ(kept, 3);
    EXPECT_EQ(FileBytes(dir / "Music.dat"), contents[1] + contents[5]);
    TitleRecord r;
    ASSERT_TRUE(db.ReadRecordByKey(3, r));
    EXPECT_EQ(r.dataSize, 0);
    EXPECT_FALSE(db.Extract(3, dir / "out.zip", r));
    std::string bytes;
    ASSERT_TRUE(db.ReadStoredData(5, bytes));
    EXPECT_EQ(bytes, contents[5]);
}

} // namespace
} // namespace tunquil
