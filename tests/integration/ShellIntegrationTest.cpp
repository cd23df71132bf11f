// The default-player commands and the login entry over the in-memory registry: what is saved,
// what Restore puts back, and what the user is told.

#include "integration/ShellIntegration.h"

#include "base/Files.h"
#include "base/ScriptedHost.h"
#include "platform/FakeRegistry.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace tunquil {
namespace {

using platform::FakeRegistry;
using platform::RegistryRoot;

struct Fixture {
    test::TempDir dir;
    ScriptedHost host;
    FakeRegistry registry;
    ShellIntegration shell{host, registry, dir.path()};

    std::string Default(const char* extension) {
        std::string value = "<none>";
        registry.ReadString(RegistryRoot::ClassesRoot, extension, "", value);
        return value;
    }
};

TEST(ShellIntegration, SetThenRestorePutsBackTheFormerPlayers) {
    Fixture f;
    f.registry.WriteString(RegistryRoot::ClassesRoot, ".mid", "", "oldplayer.desktop");
    f.registry.WriteString(RegistryRoot::ClassesRoot, ".rmi", "", "rmiplayer.desktop");
    f.shell.RefreshMenu();
    EXPECT_TRUE(f.shell.Menu().setEnabled);

    ASSERT_TRUE(f.shell.SetDefaultMidiPlayer());
    EXPECT_TRUE(f.shell.IsDefaultMidiPlayer());
    EXPECT_EQ(f.host.LastMessage(), "Tunquil has been set your default MIDI Player.");
    EXPECT_FALSE(f.shell.Menu().setEnabled);
    EXPECT_TRUE(f.shell.Menu().restoreEnabled);

    // A second Set keeps the first save: it must not record the program as the former player.
    ASSERT_TRUE(f.shell.SetDefaultMidiPlayer());
    EXPECT_EQ(ReadWholeFile(f.shell.SaveFile(".mid")), "oldplayer.desktop\n");

    f.host.answers = {TModalResult::mrYes};
    ASSERT_TRUE(f.shell.RestoreDefaultMidiPlayer());
    EXPECT_EQ(f.Default(".mid"), "oldplayer.desktop");
    EXPECT_EQ(f.Default(".rmi"), "rmiplayer.desktop");
    EXPECT_EQ(f.host.LastMessage(), "Your original default MIDI player setting has been restored.");
    EXPECT_TRUE(std::filesystem::exists(f.shell.SaveFile(".mid")));
    EXPECT_FALSE(std::filesystem::exists(f.shell.SaveFile(".rmi")));
    EXPECT_TRUE(f.shell.Menu().setEnabled);
}

TEST(ShellIntegration, RestoreUndoesASetMadeWhenNoPlayerWasChosen) {
    Fixture f;
    ASSERT_TRUE(f.shell.SetDefaultMidiPlayer());
    EXPECT_EQ(f.Default(".mid"), "Tunquil.Document");

    f.host.answers = {TModalResult::mrYes};
    EXPECT_TRUE(f.shell.RestoreDefaultMidiPlayer());
    EXPECT_EQ(f.Default(".mid"), "<none>");
    EXPECT_EQ(f.Default(".rmi"), "<none>");
    EXPECT_FALSE(f.shell.IsDefaultMidiPlayer());
}

TEST(ShellIntegration, RestoreWithoutSaveOrConsentChangesNothing) {
    Fixture f;
    f.registry.WriteString(RegistryRoot::ClassesRoot, ".mid", "", "Tunquil.Document");
    f.host.answers = {TModalResult::mrNo};
    EXPECT_FALSE(f.shell.RestoreDefaultMidiPlayer());
    EXPECT_EQ(f.host.messages.size(), 1u);

    f.host.answers = {TModalResult::mrYes};
    EXPECT_FALSE(f.shell.RestoreDefaultMidiPlayer());
    EXPECT_EQ(f.host.LastMessage(), "Unabled to restore original default MIDI player!");
    EXPECT_EQ(f.host.beeps, 1);
    EXPECT_EQ(f.Default(".mid"), "Tunquil.Document");
    EXPECT_TRUE(f.shell.Menu().restoreEnabled);
}

TEST(ShellIntegration, SetStopsBeforeAnyChangeWhenTheFormerPlayerCannotBeSaved) {
    Fixture f;
    f.registry.WriteString(RegistryRoot::ClassesRoot, ".mid", "", "oldplayer.desktop");
    // A folder where the save file belongs: the save cannot be renamed into place.
    std::filesystem::create_directories(f.shell.SaveFile(".rmi") / "blocker");
    EXPECT_FALSE(f.shell.SetDefaultMidiPlayer());
    EXPECT_EQ(f.host.LastMessage(), "Unable to save key data for .rmi");
    EXPECT_EQ(f.host.messages.back().type, TMsgDlgType::mtError);
    EXPECT_EQ(f.Default(".mid"), "oldplayer.desktop");
    EXPECT_EQ(f.Default(".rmi"), "<none>");
}

TEST(ShellIntegration, LaunchAtLoginShowsWhatWasWritten) {
    Fixture f;
    EXPECT_TRUE(f.shell.SetLaunchOnStart("/opt/tunquil/tunquil", true));
    std::string value;
    f.registry.ReadString(RegistryRoot::CurrentUser,
                          "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Tunquil", value);
    EXPECT_EQ(value, "/opt/tunquil/tunquil");
    EXPECT_FALSE(f.shell.SetLaunchOnStart("/opt/tunquil/tunquil", false));

    f.registry.FailWritesTo(RegistryRoot::CurrentUser,
                            "Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    EXPECT_FALSE(f.shell.SetLaunchOnStart("/opt/tunquil/tunquil", true));
    EXPECT_EQ(f.host.messages.back().type, TMsgDlgType::mtError);
}

TEST(ShellIntegration, RegistrationWritesEveryVerbAndSurvivesAFailingIcon) {
    Fixture f;
    f.registry.FailWritesTo(RegistryRoot::ClassesRoot, "Tunquil.Document\\DefaultIcon");
    EXPECT_TRUE(f.shell.RegisterDocumentType("/opt/t q/tunquil"));
    EXPECT_TRUE(f.host.messages.empty());
    std::string value;
    ASSERT_TRUE(f.registry.ReadString(
        RegistryRoot::ClassesRoot, "Tunquil.Document\\Shell\\Send as email\\Command", "", value));
    EXPECT_EQ(value, "\"/opt/t q/tunquil\" M\"%1\"");
    ASSERT_TRUE(f.registry.ReadString(RegistryRoot::ClassesRoot,
                                      "Tunquil.Document\\Shell\\Open\\Command", "", value));
    EXPECT_EQ(value, "\"/opt/t q/tunquil\" P\"%1\"");

    f.registry.FailWritesTo(RegistryRoot::ClassesRoot, "Tunquil.Document");
    EXPECT_FALSE(f.shell.RegisterDocumentType("/opt/t q/tunquil"));
    EXPECT_EQ(f.host.messages.back().type, TMsgDlgType::mtError);
}

// The package's own desktop entry stands for the class: the registration leaves the user's
// folder alone rather than write a second entry that would hide it.
TEST(ShellIntegration, InstalledCopyRegistersThroughThePackagesDesktopEntry) {
    for (bool installed : {false, true}) {
        Fixture f;
        fs::create_directories(f.dir / "usr/bin");
        fs::create_directories(f.dir / "usr/share/applications");
        const fs::path exe = f.dir.Write("usr/bin/tunquil", "");
        if (installed)
            f.dir.Write("usr/share/applications/tunquil.desktop", "[Desktop Entry]\n");
        EXPECT_TRUE(f.shell.RegisterDocumentType(exe));
        EXPECT_EQ(f.registry.KeyExists(RegistryRoot::ClassesRoot, "Tunquil.Document"), !installed);
        EXPECT_TRUE(f.host.messages.empty());
    }
}

} // namespace
} // namespace tunquil
