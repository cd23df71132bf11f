// Which folder holds the database: --home, TUNQUIL_HOME, a safe portable copy, or the user's
// data folder.

#include "base/ProgramDirectory.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tunquil {
namespace {

namespace fs = std::filesystem;

enum class Marker { None, File, Symlink, Folder };
enum class Owner { User, Someone, Root };
enum class Expect { Executable, DataHome, Home, EnvironmentHome };

struct Case {
    const char* what;
    Marker marker;
    mode_t mode;
    Owner owner;    // who owns the executable's folder
    bool runAsRoot; // the effective user is root
    const char* home;
    const char* environmentHome;
    Expect expect;
};

// The tests run as root here and as a user elsewhere: a user's folder is given to an ordinary
// uid when the test may change owners, and is the tester's own otherwise.
uid_t GiveTo(const fs::path& dir, Owner owner) {
    if (owner == Owner::Root || ::geteuid() != 0)
        return ::geteuid();
    uid_t uid = owner == Owner::User ? 4242 : 4343;
    EXPECT_EQ(::chown(dir.c_str(), uid, uid), 0);
    return uid;
}

TEST(ProgramDirectoryTest, ChoosesHomeThenPortableCopyThenDataHome) {
    const Case cases[] = {
        {"installed copy", Marker::None, 0755, Owner::User, false, "", "", Expect::DataHome},
        {"safe portable copy", Marker::File, 0755, Owner::User, false, "", "", Expect::Executable},
        {"group may write", Marker::File, 0775, Owner::User, false, "", "", Expect::DataHome},
        {"others may write", Marker::File, 0757, Owner::User, false, "", "", Expect::DataHome},
        {"someone else's folder", Marker::File, 0755, Owner::Someone, false, "", "",
         Expect::DataHome},
        {"marker is a link", Marker::Symlink, 0755, Owner::User, false, "", "", Expect::DataHome},
        {"marker is a folder", Marker::Folder, 0755, Owner::User, false, "", "", Expect::DataHome},
        {"root without --home", Marker::File, 0755, Owner::Root, true, "", "", Expect::DataHome},
        {"root with --home", Marker::File, 0755, Owner::Root, true, "H", "", Expect::Home},
        {"root with TUNQUIL_HOME", Marker::File, 0755, Owner::Root, true, "", "E",
         Expect::EnvironmentHome},
        {"--home before TUNQUIL_HOME", Marker::File, 0755, Owner::User, false, "H", "E",
         Expect::Home},
        {"TUNQUIL_HOME before a portable copy", Marker::File, 0755, Owner::User, false, "", "E",
         Expect::EnvironmentHome},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        const fs::path exe = dir / "bin";
        fs::create_directory(exe);
        if (c.marker == Marker::File)
            dir.Write("bin/portable", "");
        else if (c.marker == Marker::Symlink)
            fs::create_symlink(dir.Write("elsewhere", ""), exe / "portable");
        else if (c.marker == Marker::Folder)
            fs::create_directory(exe / "portable");
        dir.Write("bin/Music.des", "");
        ASSERT_EQ(::chmod(exe.c_str(), c.mode), 0);
        uid_t owner = GiveTo(exe, c.owner);
        uid_t user = c.runAsRoot ? 0 : c.owner == Owner::Someone ? owner + 1 : owner;
        if (c.owner == Owner::Someone && ::geteuid() == 0)
            user = 4242;

        ProgramDirectoryInputs in{c.home, c.environmentHome, exe, user, dir / "data"};
        const fs::path expected = c.expect == Expect::Executable ? exe
                                  : c.expect == Expect::DataHome ? dir / "data" / "Tunquil"
                                  : c.expect == Expect::Home     ? fs::path("H")
                                                                 : fs::path("E");
        EXPECT_EQ(ChooseProgramDirectory(in), expected);
        // The library beside the program is passed over, and so named, exactly when the data
        // home is taken instead.
        EXPECT_EQ(PassedOverLibrary(in), c.expect == Expect::DataHome
                                             ? std::optional<fs::path>(exe)
                                             : std::nullopt);
    }
}

} // namespace
} // namespace tunquil
