// The file helpers that every save goes through.

#include "base/Files.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace tunquil
