// The main window on the desktop, offscreen: the plug-in helper and the window on one real bus,
// the launch-at-login check mark against the real autostart entry, and the plug-in hooks around
// a run.

#include "app/PlayProgram.h"
#include "base/Files.h"
#include "database/TDMM2.h"
#include "platform/FakeRegistry.h"
#include "platform/FakeSequencerDevice.h"
#include "platform/SocketMessageBus.h"
#include "platform/XdgRegistry.h"
#include "support/MidiBytes.h"
#include "support/PeBytes.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "ui/GuiTestApp.h"
#include "ui/app/BusNotifiers.h"
#include "ui/app/TMasterFrm.h"
#include "ui/integration/DesktopCommands.h"

#include <QAction>
#include <QApplication>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tunquil::ui {
namespace {

using platform::FakeSequencerDevice;
using platform::RegistryRoot;

// tunquil-plugin-helper with both its standard input and output on pipes; lines are read while
// the window's event loop runs, so that the window can answer meanwhile.
class PluginHelper {
public:
    PluginHelper() {
        int in[2], out[2];
        EXPECT_EQ(pipe(in), 0);
        EXPECT_EQ(pipe(out), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, in[1]);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        char* argv[] = {const_cast<char*>(TUNQUIL_PLUGIN_HELPER_PATH), nullptr};
        EXPECT_EQ(posix_spawn(&pid_, argv[0], &actions, nullptr, argv, environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        in_ = in[1];
        out_ = out[0];
        fcntl(out_, F_SETFL, O_NONBLOCK);
    }
    ~PluginHelper() {
        close(in_); // the end of its input ends the helper
        int status = 0;
        waitpid(pid_, &status, 0);
        close(out_);
    }
    void Tell(const std::string& line) {
        std::string l = line + "\n";
        EXPECT_EQ(write(in_, l.data(), l.size()), static_cast<ssize_t>(l.size()));
    }
    // Runs the event loop until the helper writes `line`; false when it has not within a
    // generous bound (a hang, not a timing).
    bool WaitFor(const std::string& line) {
        for (int i = 0; i < 3000; ++i) {
            char buffer[512];
            ssize_t n;
            while ((n = read(out_, buffer, sizeof buffer)) > 0)
                received_.append(buffer, static_cast<std::size_t>(n));
            for (std::size_t end; (end = received_.find('\n')) != std::string::npos;) {
                std::string got = received_.substr(0, end);
                received_.erase(0, end + 1);
                if (got == line)
                    return true;
            }
            QApplication::processEvents(QEventLoop::AllEvents, 10);
            usleep(10000);
        }
        return false;
    }

private:
    pid_t pid_ = 0;
    int in_ = -1, out_ = -1;
    std::string received_;
};

TEST(DesktopWindow, PluginHelperHandsFilesOverAndHearsPositionAndBadFiles) {
    test::TempDir home;
    home.Write("Tunquil.ini", "[Setup]\nRemindToScan=0\n");
    test::ScopedEnv runtime("TUNQUIL_RUNTIME_DIR", (home / "bus").c_str());
    test::GuiTestApp();
    platform::SocketMessageBus bus(home / "bus");
    auto device = std::make_unique<FakeSequencerDevice>();
    FakeSequencerDevice& dev = *device;
    TMasterFrm window(home.path(), std::move(device));
    auto copy = std::make_unique<RunningCopy>(bus, RunningCopy::Callbacks{});
    ASSERT_TRUE(copy->Register());
    window.AdoptRunningCopy(std::move(copy));
    BusNotifiers notifiers(&bus);
    window.DeferredStartUp();
    ASSERT_TRUE(window.StartUpComplete());

    PluginHelper helper;
    ASSERT_TRUE(helper.WaitFor("ready"));
    auto tune = home.Write("cache/np123.mid", test::SmallMidiFile(2));
    helper.Tell("request " + tune.string() + " http://example.org/midi/My%20Tune.mid?x=1");
    ASSERT_TRUE(helper.WaitFor("sent"));
    auto& db = window.DataModule()->Database();
    for (int i = 0; i < 1000 && db.LiveTitles().empty(); ++i)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    auto titles = db.LiveTitles();
    ASSERT_EQ(titles.size(), 1u);
    EXPECT_EQ(titles[0].title, "My Tune");
    EXPECT_EQ(titles[0].origin, "http://example.org/midi/My%20Tune.mid?x=1");
    EXPECT_EQ(titles[0].categoryName, "Netscape default");
    EXPECT_TRUE(window.Program()->AutoLooping());
    EXPECT_TRUE(window.Settings().autoLooping);
    EXPECT_TRUE(window.MenuItem({"&Settings", "&Auto looping"})->isChecked());
    EXPECT_GE(dev.Count(FakeSequencerDevice::Command::Play), 1);

    // Half-way through the title, the helper hears it; and it can move the position itself.
    dev.lengthMs = 60000;
    dev.positionMs = 30000;
    ASSERT_TRUE(helper.WaitFor("position 500"));
    helper.Tell("position 250");
    ASSERT_TRUE(helper.WaitFor("sent"));
    bool sought = false;
    for (int i = 0; i < 1000 && !sought; ++i) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        for (const auto& call : dev.calls)
            sought = sought || call.from == 15000u;
    }
    EXPECT_TRUE(sought);

    auto bad = home.Write("cache/np124.mid", "no tune in here");
    helper.Tell("request " + bad.string() + " http://example.org/broken.mid");
    ASSERT_TRUE(helper.WaitFor("sent"));
    EXPECT_TRUE(helper.WaitFor("bad file"));
    EXPECT_EQ(db.LiveTitles().size(), 1u);
}

TEST(DesktopWindow, LaunchAtLoginShowsWhetherTheAutostartEntryExists) {
    test::TempDir home;
    // The saved setting says "on", but nothing was ever written.
    home.Write("Tunquil.ini", "[Setup]\nRemindToScan=0\nLaunchOnWinStart=1\n");
    test::GuiTestApp();
    platform::XdgLocations xdg{home / "data", home / "config"};
    TMasterFrm window(home.path(), std::make_unique<FakeSequencerDevice>());
    window.Desktop().AdoptRegistry(std::make_unique<platform::XdgRegistry>(xdg, "Tunquil.Document"),
                                   "/usr/bin/tunquil");
    EXPECT_TRUE(fs::exists(xdg.DesktopEntry())); // the document type, registered at once
    window.DeferredStartUp();

    QAction* launch = window.MenuItem({"&Settings", "&Launch at login"});
    ASSERT_NE(launch, nullptr);
    EXPECT_FALSE(launch->isChecked());
    EXPECT_FALSE(fs::exists(xdg.AutostartEntry()));
    launch->trigger();
    EXPECT_TRUE(launch->isChecked());
    EXPECT_TRUE(fs::exists(xdg.AutostartEntry()));
    launch->trigger();
    EXPECT_FALSE(launch->isChecked());
    EXPECT_FALSE(fs::exists(xdg.AutostartEntry()));

    // The default-player items start from the desktop's state.
    EXPECT_TRUE(window.MenuItem({"&File", "Set Tunquil as default &MIDI player"})->isEnabled());
    EXPECT_FALSE(window.MenuItem({"&File", "&Restore original default MIDI player"})->isEnabled());
}

TEST(DesktopWindow, ConflictingPluginsAreAsideWhileTheProgramRunsWithTheTemporaryOption) {
    test::TempDir home;
    home.Write("Tunquil.ini", "[Setup]\nRemindToScan=0\nDisableTempConPI=1\n");
    auto plugins = home / "nav/plugins";
    home.Write("nav/plugins/NPother.dll",
               test::PeFile(test::VersionInfo(u"040904E4", {{u"FileExtents", u"mid|midi"}})));
    auto registry = std::make_unique<platform::FakeRegistry>();
    registry->WriteString(RegistryRoot::LocalMachine, "Software\\Netscape\\Netscape Navigator",
                          "CurrentVersion", "4.7");
    registry->WriteString(RegistryRoot::LocalMachine,
                          "Software\\Netscape\\Netscape Navigator\\4.7\\Main", "Plugins Directory",
                          plugins.string());
    test::GuiTestApp();
    TMasterFrm window(home.path(), std::make_unique<FakeSequencerDevice>());
    window.Desktop().AdoptRegistry(std::move(registry), "/usr/bin/tunquil");
    window.DeferredStartUp();

    EXPECT_TRUE(window.MenuItem({"&File", "&Manage Navigator plugin..."})->isVisible());
    EXPECT_FALSE(fs::exists(plugins / "NPother.dll"));
    EXPECT_TRUE(fs::exists(plugins / "TQXNPother.dllBAK"));
    window.ShutDown();
    EXPECT_TRUE(fs::exists(plugins / "NPother.dll"));
    EXPECT_FALSE(fs::exists(plugins / "TQXNPother.dllBAK"));
    EXPECT_NE(ReadWholeFile(home / "Tunquil.ini").find("DisableTempConPI=1"), std::string::npos);
}

} // namespace
} // namespace tunquil::ui
