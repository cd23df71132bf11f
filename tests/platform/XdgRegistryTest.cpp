// The registry layer against real desktop files in private XDG folders, checked with the
// desktop's own tools: desktop-file-validate, xdg-mime and gio.

#include "platform/XdgRegistry.h"

#include "base/Files.h"
#include "base/IniFile.h"
#include "base/ScriptedHost.h"
#include "integration/CommandProcessor.h"
#include "integration/ShellIntegration.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <array>
#include <cstdio>
#include <gtest/gtest.h>

namespace tunquil {
namespace {

namespace fs = std::filesystem;
using platform::RegistryRoot;
using platform::XdgLocations;
using platform::XdgRegistry;

std::string Quoted(const fs::path& p) {
    std::string out = "'";
    for (char c : p.string())
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs a shell command; its standard output (standard error too) goes to `output`.
int RunShell(const std::string& command, std::string& output) {
    output.clear();
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return -1;
    std::array<char, 4096> buffer;
    std::size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        output.append(buffer.data(), n);
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' '))
        s.pop_back();
    return s;
}

struct XdgFixture {
    test::TempDir dir;
    test::ScopedEnv data{"XDG_DATA_HOME", (dir / "data").c_str()};
    test::ScopedEnv config{"XDG_CONFIG_HOME", (dir / "config").c_str()};
    // The machine's own defaults must not answer for ours.
    test::ScopedEnv dataDirs{"XDG_DATA_DIRS", (dir / "sysdata").c_str()};
    test::ScopedEnv configDirs{"XDG_CONFIG_DIRS", (dir / "sysconfig").c_str()};
    ScriptedHost host;
    XdgRegistry registry{XdgLocations::FromEnvironment(), "Tunquil.Document"};
    fs::path program = dir / "program";
    ShellIntegration shell{host, registry, program};

    XdgFixture() { fs::create_directories(program); }

    std::string Query(const std::string& mimeType) {
        std::string out;
        RunShell("xdg-mime query default " + mimeType, out);
        return Trimmed(out);
    }
};

TEST(XdgRegistry, SetAndRestoreChangeWhatTheDesktopOpensMidiFilesWith) {
    XdgFixture f;
    f.dir.Write("data/applications/oldplayer.desktop",
                "[Desktop Entry]\nType=Application\nName=Old\nExec=old %f\n"
                "MimeType=audio/midi;\n");
    const std::string before = "# mine\n[Added Associations]\naudio/midi=oldplayer.desktop;\n\n"
                               "[Default Applications]\ntext/plain=editor.desktop\n"
                               "audio/midi=oldplayer.desktop\n";
    f.dir.Write("config/mimeapps.list", before);
    // xdg-mime answers only with applications whose program exists.
    fs::path exe = f.dir.Write("bin/tunquil", "#!/bin/sh\n");
    fs::permissions(exe, fs::perms::owner_all);
    ASSERT_TRUE(f.shell.RegisterDocumentType(exe));
    ASSERT_EQ(f.Query("audio/midi"), "oldplayer.desktop");

    ASSERT_TRUE(f.shell.SetDefaultMidiPlayer());
    EXPECT_EQ(f.Query("audio/midi"), "tunquil.desktop");
    EXPECT_EQ(f.Query(platform::kRmidMimeType), "tunquil.desktop");
    EXPECT_TRUE(f.shell.IsDefaultMidiPlayer());

    f.host.answers = {TModalResult::mrYes};
    ASSERT_TRUE(f.shell.RestoreDefaultMidiPlayer());
    EXPECT_EQ(f.Query("audio/midi"), "oldplayer.desktop");
    // Every other line and section is as the user left it.
    EXPECT_EQ(ReadWholeFile(f.dir / "config/mimeapps.list"), before);
}

TEST(XdgRegistry, RmiFilesAreKnownToTheDesktopAsRmid) {
    XdgFixture f;
    ASSERT_TRUE(f.shell.RegisterDocumentType(f.dir / "bin/tunquil"));
    fs::path rmi = f.dir.Write("song.rmi", std::string("RIFF\x10\0\0\0RMIDdata", 16));
    std::string out;
    ASSERT_EQ(RunShell("gio info -a standard::content-type " + Quoted(rmi), out), 0) << out;
    EXPECT_NE(out.find(platform::kRmidMimeType), std::string::npos) << out;
    EXPECT_TRUE(fs::exists(f.dir / "data/icons/hicolor/scalable/apps/tunquil.svg"));
}

TEST(XdgRegistry, EveryVerbOfTheDesktopEntryReachesTheCommandProcessorWhole) {
    XdgFixture f;
    // A program path and a file name that quoting could break apart.
    fs::path exe = f.dir / "bin dir/tun'quil \"$x\\";
    fs::path record = f.dir / "args";
    f.dir.Write("bin dir/tun'quil \"$x\\",
                "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > " + Quoted(record) +
                    "\n");
    fs::permissions(exe, fs::perms::owner_all);
    fs::path tune = f.dir.Write("my \"best\" 100% song.mid", "MThd");
    ASSERT_TRUE(f.shell.RegisterDocumentType(exe));
    std::string command;
    ASSERT_TRUE(f.registry.ReadString(RegistryRoot::ClassesRoot,
                                      "Tunquil.Document\\Shell\\Open\\Command",
                                      platform::kDefaultValue, command));
    EXPECT_EQ(command, "\"" + exe.string() + "\" P\"%1\"");

    fs::path entry = f.registry.locations().DesktopEntry();
    std::string out;
    ASSERT_EQ(RunShell("desktop-file-validate " + Quoted(entry), out), 0) << out;
    EXPECT_EQ(out, "");

    IniFile desktop(entry);
    const std::pair<const char*, char> actions[] = {
        {"Open", 'P'}, {"Play", 'P'}, {"SendAsEmail", 'M'}, {"ZipIntoDatabase", 'Z'}};
    for (auto [action, letter] : actions) {
        // gio launches the main entry only, so each action's Exec line gets an entry of its own.
        fs::path one = f.dir / "data/applications" / (std::string("t-") + action + ".desktop");
        WriteFileAtomically(
            one, "[Desktop Entry]\nType=Application\nName=T\nExec=" +
                     desktop.ReadString(std::string("Desktop Action ") + action, "Exec", "") +
                     "\n");
        fs::remove(record);
        ASSERT_EQ(RunShell("gio launch " + Quoted(one) + " " + Quoted(tune), out), 0) << out;
        std::vector<std::string> args;
        std::string text = ReadWholeFile(record);
        for (std::size_t p = 0, n; (n = text.find('\n', p)) != std::string::npos; p = n + 1)
            args.push_back(text.substr(p, n - p));
        auto commands = CommandProcessor::CommandsFromArguments(args);
        ASSERT_EQ(commands.size(), 1u) << action;
        EXPECT_EQ(commands[0], std::string(1, letter) + tune.string()) << action;
    }
}

TEST(XdgRegistry, LaunchAtLoginIsTheAutostartEntry) {
    XdgFixture f;
    fs::path exe = f.dir / "bin/tun quil";
    EXPECT_FALSE(f.shell.LaunchOnStart());
    EXPECT_TRUE(f.shell.SetLaunchOnStart(exe, true));
    fs::path entry = f.dir / "config/autostart/tunquil.desktop";
    std::string out;
    EXPECT_EQ(RunShell("desktop-file-validate " + Quoted(entry), out), 0) << out;
    std::string value;
    ASSERT_TRUE(f.registry.ReadString(RegistryRoot::CurrentUser,
                                      "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                                      "Tunquil", value));
    EXPECT_EQ(value, exe.string());

    EXPECT_FALSE(f.shell.SetLaunchOnStart(exe, false));
    EXPECT_FALSE(fs::exists(entry));

    // A file where the autostart folder belongs: the item stays unchecked and the user is told.
    fs::remove_all(f.dir / "config/autostart");
    f.dir.Write("config/autostart", "");
    EXPECT_FALSE(f.shell.SetLaunchOnStart(exe, true));
    EXPECT_EQ(f.host.messages.back().type, TMsgDlgType::mtError);
}

TEST(XdgRegistry, OtherKeysLiveInRegistryIni) {
    XdgFixture f;
    const std::string key = "\\Software\\Netscape\\Netscape Navigator\\Main";
    EXPECT_FALSE(f.registry.KeyExists(RegistryRoot::LocalMachine, key));
    f.registry.WriteString(RegistryRoot::LocalMachine, key, "Plugins Directory", "/opt/nav/");
    f.registry.WriteString(RegistryRoot::LocalMachine, key, "", "default");
    std::string value;
    ASSERT_TRUE(
        f.registry.ReadString(RegistryRoot::LocalMachine, key + "\\", "plugins directory", value));
    EXPECT_EQ(value, "/opt/nav/");
    EXPECT_TRUE(f.registry.DeleteValue(RegistryRoot::LocalMachine, key, "Plugins Directory"));
    EXPECT_FALSE(
        f.registry.ReadString(RegistryRoot::LocalMachine, key, "Plugins Directory", value));
    ASSERT_TRUE(f.registry.ReadString(RegistryRoot::LocalMachine, key, "", value));
    EXPECT_EQ(value, "default");
}

} // namespace
} // namespace tunquil
