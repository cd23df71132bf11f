#include "import/FileSearch.h"

#include "support/TempDir.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace tunquil {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

// The real file layer, except for folders the test makes unreadable (root reads them all) and
// folders it puts on another file system (a real mount needs privileges a test has not got).
class DoubleReader : public IDirectoryReader {
public:
    bool Read(const std::string& path, bool followLink, DirectoryIdentity& identity,
              std::vector<DirectoryEntry>& entries) override {
        if (unreadable.count(path) || !real.Read(path, followLink, identity, entries))
            return false;
        if (auto it = otherDevice.find(path); it != otherDevice.end())
            identity.device = it->second;
        for (auto& entry : entries) {
            auto it = otherDevice.find(path + "/" + entry.name);
            if (entry.kind == DirectoryEntry::Kind::Directory && it != otherDevice.end())
                entry.device = it->second;
        }
        return true;
    }

    SystemDirectoryReader real;
    std::set<std::string> unreadable;
    std::map<std::string, uint64_t> otherDevice;
};

std::set<std::string> Relative(const std::vector<std::string>& paths, const fs::path& root) {
    std::set<std::string> out;
    for (const auto& p : paths)
        out.insert(fs::path(p).lexically_relative(root).string());
    return out;
}

TEST(FileSearch, FindsMasksIgnoringCaseAndLeavesOutHiddenLinksOtherFileSystemsAndUnreadable) {
    TempDir dir;
    const fs::path root = dir / "root";
    dir.Write("root/a.mid", "x");
    dir.Write("root/B.MID", "x");
    dir.Write("root/c.Mid.txt", "x");
    dir.Write("root/.h.mid", "x");
    dir.Write("root/.hidden/h.mid", "x");
    dir.Write("root/sub/deeper/d.mid", "x");
    dir.Write("root/mnt/m.mid", "x");
    dir.Write("root/locked/l.mid", "x");
    dir.Write("root/zafter/z.mid", "x");
    dir.Write("elsewhere/e.mid", "x");
    fs::create_directory_symlink(root, root / "sub/loop");
    fs::create_directory_symlink(root / "sub", root / "sub/deeper/up");
    fs::create_directory_symlink(dir / "elsewhere", root / "elsewhere");
    fs::create_symlink(root / "a.mid", root / "link.mid");
    ASSERT_EQ(::mkfifo((root / "fifo.mid").c_str(), 0600), 0);

    DoubleReader reader;
    reader.unreadable.insert((root / "locked").string());
    reader.otherDevice[(root / "mnt").string()] = 0xFEED;
    FileSearch search(reader);
    std::vector<std::string> found;
    search.onFile = [&](const std::string& path) { found.push_back(path); };
    int directoriesSeen = 0;
    search.onDirectory = [&] { ++directoriesSeen; };
    const fs::path cwd = fs::current_path();

    EXPECT_EQ(search.Search(root.string() + "/"), FileSearch::Result::Completed);
    EXPECT_EQ(Relative(found, root),
              (std::set<std::string>{"a.mid", "B.MID", "sub/deeper/d.mid", "zafter/z.mid"}));
    EXPECT_EQ(found.size(), 4u) << "each file once";
    EXPECT_EQ(search.files, 4);
    EXPECT_EQ(search.unreadable, 1);
    EXPECT_EQ(search.otherFileSystems, 1);
    EXPECT_EQ(search.directories, 4); // root, sub, sub/deeper, zafter
    EXPECT_EQ(directoriesSeen, 4);
    EXPECT_EQ(fs::current_path(), cwd);

    // The same object does not search a folder twice, however it is reached again.
    found.clear();
    EXPECT_EQ(search.Search((root / "sub").string()), FileSearch::Result::Completed);
    EXPECT_TRUE(found.empty());
}

TEST(FileSearch, ARootLinkIsFollowedAnUnreadableRootIsNotFoundAndStopEndsTheSearch) {
    TempDir dir;
    dir.Write("tunes/a.mid", "x");
    dir.Write("tunes/b.mid", "x");
    dir.Write("tunes/sub/c.mid", "x");
    fs::create_directory_symlink(dir / "tunes", dir / "chosen");

    FileSearch followed;
    std::vector<std::string> found;
    followed.onFile = [&](const std::string& path) { found.push_back(path); };
    EXPECT_EQ(followed.Search((dir / "chosen").string()), FileSearch::Result::Completed);
    EXPECT_EQ(found.size(), 3u);
    EXPECT_EQ(found.front().rfind((dir / "chosen").string(), 0), 0u) << "paths as chosen";

    DoubleReader reader;
    reader.unreadable.insert((dir / "tunes").string());
    FileSearch refused(reader);
    EXPECT_EQ(refused.Search((dir / "tunes").string()), FileSearch::Result::NotFound);
    EXPECT_EQ(FileSearch().Search((dir / "missing").string()), FileSearch::Result::NotFound);

    FileSearch stopped;
    int files = 0;
    stopped.onFile = [&](const std::string&) { ++files; };
    stopped.stopRequested = [&] { return files == 1; };
    EXPECT_EQ(stopped.Search((dir / "tunes").string()), FileSearch::Result::Stopped);
    EXPECT_EQ(files, 1);
}

TEST(FileSearch, AnExcludedFolderIsLeftOutWithEverythingBelowIt) {
    TempDir dir;
    dir.Write("disk/a.mid", "x");
    dir.Write("disk/Tunquil/AInternal.MID", "x");
    dir.Write("disk/Tunquil/TempTune/t.mid", "x");
    DirectoryIdentity own;
    ASSERT_TRUE(IdentityOfDirectory((dir / "disk/Tunquil").string(), own));
    FileSearch search;
    search.Exclude(own);
    std::vector<std::string> found;
    search.onFile = [&](const std::string& path) { found.push_back(path); };
    search.Search((dir / "disk").string());
    EXPECT_EQ(Relative(found, dir / "disk"), std::set<std::string>{"a.mid"});
}

} // namespace
} // namespace tunquil
