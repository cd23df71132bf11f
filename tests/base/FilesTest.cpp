// The file helpers that every save goes through.

#include "base/Files.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace tunquil {
namespace {

// Two copies saving the same file at one moment must not write into, or rename away, each
// other's new file.
TEST(FilesTest, AtomicWritesNeverShareTheirNewFile) {
    test::TempDir dir;
    dir.Write("Categories.des.new", "another writer's");
    WriteFileAtomically(dir / "Categories.des", "mine");
    WriteFileAtomically(dir / "Categories.des", "mine again");
    EXPECT_EQ(ReadWholeFile(dir / "Categories.des"), "mine again");
    EXPECT_EQ(ReadWholeFile(dir / "Categories.des.new"), "another writer's");
    int files = 0;
    for (const auto& e : fs::directory_iterator(dir.path()))
        files += e.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 2); // no new file of ours left behind
}

mode_t ModeOf(const fs::path& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

// Tunquil.ini holds the mail login: saving must neither open a private file to everyone nor
// narrow one the user shared, and a new one starts with the mode its writer asks for.
TEST(FilesTest, AtomicWritesKeepTheModeOfTheFileTheyReplace) {
    test::TempDir dir;
    struct Case {
        const char* name;
        int existing; // -1: no file yet
        mode_t asked;
        mode_t expected;
    } cases[] = {
        {"private.ini", 0600, 0644, 0600},
        {"shared.lst", 0666, 0600, 0666}, // wider than the umask lets a new file be
        {"group.des", 0640, 0644, 0640},
        {"new.ini", -1, 0600, 0600},
        {"new.lst", -1, 0644, 0644},
    };
    mode_t umask = ::umask(022);
    for (const Case& c : cases) {
        fs::path path = dir / c.name;
        if (c.existing >= 0) {
            dir.Write(c.name, "old");
            ::chmod(path.c_str(), static_cast<mode_t>(c.existing));
        }
        WriteFileAtomically(path, "new", c.asked);
        EXPECT_EQ(ModeOf(path), c.expected) << c.name;
        EXPECT_EQ(ReadWholeFile(path), "new") << c.name;
    }
    ::umask(umask);
}

// A settings or desktop file the user links from elsewhere stays a link: the file it leads to
// (through a chain, by a relative name, or not there yet) is what a save replaces.
TEST(FilesTest, AtomicWritesReplaceTheFileALinkLeadsToAndKeepTheLink) {
    test::TempDir dir;
    fs::create_directories(dir / "dotfiles");
    dir.Write("dotfiles/Tunquil.ini", "old");
    ::chmod((dir / "dotfiles/Tunquil.ini").c_str(), 0600);
    fs::create_symlink("dotfiles/Tunquil.ini", dir / "relative.ini");
    fs::create_symlink(dir / "relative.ini", dir / "chain.ini");
    fs::create_symlink(dir / "dotfiles/absent.list", dir / "dangling.list");
    fs::create_symlink("loop.b", dir / "loop.a");
    fs::create_symlink("loop.a", dir / "loop.b");

    struct Case {
        const char* link;
        const char* target;
    } cases[] = {
        {"relative.ini", "dotfiles/Tunquil.ini"},
        {"chain.ini", "dotfiles/Tunquil.ini"},
        {"dangling.list", "dotfiles/absent.list"},
    };
    for (const Case& c : cases) {
        WriteFileAtomically(dir / c.link, std::string("through ") + c.link, 0600);
        EXPECT_TRUE(fs::is_symlink(dir / c.link)) << c.link;
        EXPECT_EQ(ReadWholeFile(dir / c.target), std::string("through ") + c.link);
        EXPECT_EQ(ModeOf(dir / c.target), 0600) << c.link;
    }
    EXPECT_THROW(WriteFileAtomically(dir / "loop.a", "x"), FileError);
    EXPECT_TRUE(fs::is_symlink(dir / "loop.a"));
    int files = 0;
    for (const auto& e : fs::directory_iterator(dir.path()))
        files += fs::is_regular_file(fs::symlink_status(e.path())) ? 1 : 0;
    EXPECT_EQ(files, 0); // no plain file took any link's place
}

// The new content reaches the disk under the new file's own name, before the rename makes it
// the file: a power cut after the rename must not leave an empty settings file.
TEST(FilesTest, AtomicWritesFlushTheNewFileBeforeTheRename) {
    test::TempDir dir;
    dir.Write("Tunquil.ini", "old");
    std::vector<std::pair<std::string, std::string>> flushed; // name at the flush, content
    SetSyncObserverForTesting([&](int fd) {
        std::error_code ec;
        fs::path name = fs::read_symlink("/proc/self/fd/" + std::to_string(fd), ec);
        if (!fs::is_directory(name))
            flushed.emplace_back(name.filename().string(), ReadWholeFile(name));
    });
    WriteFileAtomically(dir / "Tunquil.ini", "new");
    SetSyncObserverForTesting({});
    ASSERT_EQ(flushed.size(), 1u);
    EXPECT_EQ(flushed[0].first.rfind("Tunquil.ini.new.", 0), 0u) << flushed[0].first;
    EXPECT_EQ(flushed[0].second, "new");
}

// The program's working files under fixed names take the place of a link planted there; the
// file the link leads to is never written.
TEST(FilesTest, FreshFilesReplaceAPlantedLinkAndLeaveItsTargetAlone) {
    test::TempDir dir;
    dir.Write("victim", "precious");
    fs::create_symlink(dir / "victim", dir / "AInternal.MID");
    fs::create_symlink(dir / "absent", dir / "dangling");
    dir.Write("left.dat", "left by an earlier run");
    for (const char* name : {"AInternal.MID", "dangling", "left.dat"}) {
        int fd = CreateFreshFile(dir / name);
        WriteAll(fd, "tune", 4, dir / name);
        ::close(fd);
        EXPECT_FALSE(fs::is_symlink(dir / name)) << name;
        EXPECT_EQ(ReadWholeFile(dir / name), "tune") << name;
        EXPECT_EQ(ModeOf(dir / name), 0600) << name;
    }
    EXPECT_EQ(ReadWholeFile(dir / "victim"), "precious");
    EXPECT_FALSE(fs::exists(dir / "absent"));
}

} // namespace
} // namespace tunquil
