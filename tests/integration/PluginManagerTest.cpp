// The plug-in folders, install and remove, and putting conflicting plug-ins aside, on real
// folders with real PE files; the browser's registry entries come from the in-memory registry.

#include "integration/PluginManager.h"

#include "base/Files.h"
#include "base/ScriptedHost.h"
#include "platform/FakeRegistry.h"
#include "platform/Processes.h"
#include "support/PeBytes.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace tunquil {
namespace {

namespace fs = std::filesystem;
using platform::RegistryRoot;

std::string MidiPlugin(const std::u16string& extents = u"mid|midi") {
    return test::PeFile(test::VersionInfo(u"040904E4", {{u"FileExtents", extents}}));
}

class Plugins : public ::testing::Test {
protected:
    Plugins() {
        fs::create_directories(program);
        dir.Write("program/NPtunqil.dll", "our plug-in");
        registry.WriteString(RegistryRoot::LocalMachine, "Software\\Netscape\\Netscape Navigator",
                             "CurrentVersion", "4.7");
        registry.WriteString(RegistryRoot::LocalMachine,
                             "Software\\Netscape\\Netscape Navigator\\4.7\\Main",
                             "Plugins Directory", (dir / "nav/plugins").string());
        registry.WriteString(RegistryRoot::CurrentUser,
                             "Software\\Netscape\\Netscape Navigator\\Main", "Install Directory",
                             (dir / "user").string());
        fs::create_directories(first);
        fs::create_directories(second);
    }

    test::TempDir dir;
    fs::path program = dir / "program";
    fs::path first = dir / "nav/plugins";
    fs::path second = dir / "user/Program/Plugins";
    ScriptedHost host;
    platform::FakeRegistry registry;
    int browsers = 0;
    PluginManager plugins{host, registry, program, [this] { return browsers; }};
};

TEST_F(Plugins, InstallAndRemoveFollowTheFoldersInTheRegistry) {
    EXPECT_EQ(plugins.ManagementList(),
              (std::vector<std::string>{first.string() + "/", second.string() + "/"}));
    dir.Write("nav/plugins/NPtunqil.dll", "old copy");
    auto state = plugins.State();
    EXPECT_TRUE(state.installEnabled);
    EXPECT_FALSE(state.removeEnabled);
    EXPECT_EQ(state.caption, " Tunquil is NOT installed as a Navigator plugin ");

    plugins.Install();
    EXPECT_EQ(host.LastMessage(), "2 instance(s) of Tunquil plugin have been installed.");
    EXPECT_EQ(ReadWholeFile(first / "NPtunqil.dll"), "our plug-in");
    EXPECT_EQ(ReadWholeFile(second / "NPtunqil.dll"), "our plug-in");
    EXPECT_TRUE(plugins.State().removeEnabled);

    dir.Write("user/Program/Plugins/TQXNPother.dllBAK", "aside");
    plugins.SetTemporaryDisable(true);
    plugins.Remove();
    EXPECT_EQ(host.LastMessage(), "2 instance(s) of Tunquil plugin have been removed, and\\n1 "
                                  "conflicting plugin(s) (previously disabled) re-enabled.");
    EXPECT_TRUE(fs::exists(second / "NPother.dll"));
    EXPECT_FALSE(plugins.TemporaryDisable());

    browsers = 1;
    plugins.Install();
    EXPECT_EQ(host.LastMessage(), "Please close your open Netscape window(s) and retry !");
    EXPECT_FALSE(fs::exists(first / "NPtunqil.dll"));

    platform::FakeRegistry empty;
    PluginManager none{host, empty, program, {}};
    EXPECT_TRUE(none.MenuList().empty());
    EXPECT_EQ(none.State().caption,
              " Netscape Navigator does not appear to be installed on your PC");
    EXPECT_FALSE(none.State().installEnabled);
}

TEST_F(Plugins, OnlyForeignPluginsClaimingMidiArePutAside) {
    dir.Write("nav/plugins/sub/NPmidi.DLL", MidiPlugin());
    dir.Write("nav/plugins/NPtext.dll", MidiPlugin(u"txt"));
    dir.Write("nav/plugins/NPjunk.dll", "not a library");
    dir.Write("nav/plugins/tunqil/NPcopy.dll", MidiPlugin());
    // A link to a plug-in elsewhere, and a linked folder: nothing outside is touched.
    fs::path outside = dir.Write("elsewhere/NPfar.dll", MidiPlugin());
    fs::create_symlink(outside, first / "NPlink.dll");
    fs::create_directory_symlink(dir / "elsewhere", first / "linked");

    plugins.ExecuteConfiguration(PluginManager::Option::Disable);
    EXPECT_EQ(host.LastMessage(), "1 conflicting plugin has been disabled until you choose the "
                                  "Re-enable option below\\nor remove Tunquil as a plugin.");
    EXPECT_TRUE(fs::exists(first / "sub/TQXNPmidi.DLLBAK"));
    EXPECT_TRUE(fs::exists(first / "NPtext.dll"));
    EXPECT_TRUE(fs::exists(first / "NPjunk.dll"));
    EXPECT_TRUE(fs::exists(first / "tunqil/NPcopy.dll"));
    EXPECT_TRUE(fs::exists(outside));
    EXPECT_TRUE(fs::is_symlink(first / "NPlink.dll"));

    plugins.ExecuteConfiguration(PluginManager::Option::Disable);
    EXPECT_EQ(host.LastMessage(), "No conflicting plugins found !");

    plugins.ExecuteConfiguration(PluginManager::Option::ReEnable);
    EXPECT_EQ(host.LastMessage(),
              "1 conflicting plugin (previously disabled) has been re-enabled.");
    EXPECT_TRUE(fs::exists(first / "sub/NPmidi.DLL"));
}

TEST_F(Plugins, RenamesNeverReplaceAFileAndNameBothFiles) {
    dir.Write("nav/plugins/NPmidi.dll", MidiPlugin());
    dir.Write("nav/plugins/TQXNPmidi.dllBAK", "an older copy put aside");
    EXPECT_EQ(plugins.DisableConflicting(), 0);
    ASSERT_GE(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Unable to rename " + (first / "NPmidi.dll").string() +
                                         " to " + (first / "TQXNPmidi.dllBAK").string() +
                                         ": a file of that name already exists");
    EXPECT_EQ(ReadWholeFile(first / "TQXNPmidi.dllBAK"), "an older copy put aside");
    EXPECT_EQ(ReadWholeFile(first / "NPmidi.dll"), MidiPlugin());

    // The other way round as well: re-enabling keeps the plug-in that came back meanwhile.
    EXPECT_EQ(plugins.ReEnable(), 0);
    EXPECT_EQ(ReadWholeFile(first / "NPmidi.dll"), MidiPlugin());
    EXPECT_TRUE(fs::exists(first / "TQXNPmidi.dllBAK"));
}

TEST_F(Plugins, PluginsAsideForAnOpenProgramComeBackAfterItAndAfterACrash) {
    dir.Write("nav/plugins/NPmidi.dll", MidiPlugin());
    dir.Write("nav/plugins/NPkept.dll", MidiPlugin());
    plugins.ExecuteConfiguration(PluginManager::Option::DisableWhileOpen);
    EXPECT_TRUE(plugins.TemporaryDisable());
    EXPECT_EQ(host.LastMessage(),
              "2 conflicting plugin have been disabled while Tunquil is open,\\nuntil you choose "
              "the Re-enable option below or remove Tunquil as a plugin.");
    plugins.AtShutdown();
    EXPECT_TRUE(fs::exists(first / "NPmidi.dll"));

    plugins.AfterStartup();
    EXPECT_TRUE(fs::exists(first / "TQXNPmidi.dllBAK"));

    // The program dies here; its settings still hold the flag as it was before the option was
    // chosen. A plug-in put aside for good by another way stays aside.
    dir.Write("nav/plugins/TQXNPthird.dllBAK", MidiPlugin());
    PluginManager next{host, registry, program, {}};
    next.SetTemporaryDisable(false);
    next.AfterStartup();
    EXPECT_TRUE(fs::exists(first / "NPmidi.dll"));
    EXPECT_TRUE(fs::exists(first / "NPkept.dll"));
    EXPECT_TRUE(fs::exists(first / "TQXNPthird.dllBAK"));
}

TEST(Processes, CountsProcessesByCommandName) {
    test::TempDir proc;
    proc.Write("12/comm", "netscape-navig\n");
    proc.Write("13/comm", "Netscape\n");
    proc.Write("14/comm", "bash\n");
    proc.Write("self/comm", "netscape\n");
    EXPECT_EQ(platform::CountProcessesNamed("netscape", proc.path()), 2);
    EXPECT_EQ(platform::CountProcessesNamed("netscape", proc / "none"), 0);
}

} // namespace
} // namespace tunquil
