// A library left beside the program, which an installed copy no longer takes: the first start
// that passes it over says where the library in use lies and how to keep the old one.

#include "app/PassedOverLibrary.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace tunquil {
namespace {

namespace fs = std::filesystem;

TEST(PassedOverLibrary, TheCommandLineNamesALibraryBesideTheProgramOnce) {
    test::TempDir dir;
    fs::create_directories(dir / "bin");
    fs::copy_file(TUNQUIL_CTL_PATH, dir / "bin" / "tunquilctl");
    dir.Write("bin/Music.des", "");
    const std::string run = "env -u TUNQUIL_HOME XDG_DATA_HOME='" + (dir / "data").string() +
                            "' '" + (dir / "bin" / "tunquilctl").string() + "' list 2>&1";
    std::string first, second;
    EXPECT_EQ(test::RunShell(run, first), 0) << first;
    EXPECT_NE(first.find("A music library lies beside the program, in " +
                         (dir / "bin").string()),
              std::string::npos)
        << first;
    EXPECT_NE(first.find((dir / "data" / "Tunquil").string()), std::string::npos) << first;
    EXPECT_NE(first.find("named \"portable\""), std::string::npos) << first;
    EXPECT_EQ(test::RunShell(run, second), 0);
    EXPECT_EQ(second.find("beside the program"), std::string::npos) << second;
}

} // namespace
} // namespace tunquil
