#include "platform/XdgRegistry.h"

#include "base/Files.h"
#include "base/IniFile.h"
#include "base/ProgramDirectory.h"
#include "base/Text.h"
#include "platform/IconSvg.h"

#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace tunquil::platform {

namespace fs = std::filesystem;

namespace {

constexpr const char* kEntry = "Desktop Entry";
constexpr const char* kDefaults = "Default Applications";
constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kRunValue = "Tunquil";

// Keys compare as the shell compares them: a-z case ignored, without locale surprises.
std::string Folded(std::string_view s) {
    return UpperAscii(s);
}

fs::path EnvDir(const char* name, const char* fallbackUnderHome) {
    const char* value = std::getenv(name);
    if (value && *value == '/')
        return value;
    return HomeDirectory() / fallbackUnderHome;
}

// A value of a desktop file is one line: its own escapes keep the characters that could not
// stand there.
std::string EscapeDesktopString(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    if (!out.empty() && out.front() == ' ')
        out = "\\s" + out.substr(1);
    return out;
}

std::string UnescapeDesktopString(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        char c = s[++i];
        out += c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
    }
    return out;
}

// One argument of an Exec line: "%" doubled so that it is never a field code, and quoted only
// when it holds a character the freedesktop desktop entry format reserves (xdg-mime takes the
// program's path as it stands, quotes included), with the characters reserved inside quotes
// escaped.
std::string QuoteExecArgument(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\n\"'\\><~|&;$*?#()`") == std::string::npos) {
        std::string out;
        for (char c : arg)
            out += c == '%' ? std::string("%%") : std::string(1, c);
        return out;
    }
    std::string out = "\"";
    for (char c : arg) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            out += '\\';
        out += c;
        if (c == '%')
            out += '%';
    }
    return out + "\"";
}

std::vector<std::string> SplitExecLine(const std::string& exec) {
    std::vector<std::string> args;
    std::string cur;
    bool inArg = false, quoted = false;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        char c = exec[i];
        if (quoted) {
            if (c == '\\' && i + 1 < exec.size())
                cur += exec[++i];
            else if (c == '"')
                quoted = false;
            else
                cur += c;
        } else if (c == ' ' || c == '\t') {
            if (inArg)
                args.push_back(cur);
            cur.clear();
            inArg = false;
        } else if (c == '"') {
            quoted = inArg = true;
        } else {
            cur += c;
            inArg = true;
        }
    }
    if (inArg)
        args.push_back(cur);
    for (std::string& a : args) {
        std::string::size_type p = 0;
        while ((p = a.find("%%", p)) != std::string::npos)
            a.erase(p++, 1);
    }
    return args;
}

// The desktop action id of a shell verb ("Send as email" becomes "SendAsEmail"): ids allow
// only letters, digits and "-".
std::string ActionId(const std::string& verb) {
    std::string id;
    bool upper = true;
    for (char c : verb) {
        bool alnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (!alnum) {
            upper = true;
            continue;
        }
        id += upper && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        upper = false;
    }
    return id;
}

std::string ActionGroup(const std::string& verb) {
    return "Desktop Action " + ActionId(verb);
}

// A desktop file's value, its string escapes undone, from the file's text. The settings reader
// would drop the quotes that an Exec line may begin and end with, so the lines are read here.
bool DesktopValueOf(std::string_view text, const std::string& group, const std::string& key,
                    std::string& value) {
    bool inGroup = false;
    for (std::size_t p = 0; p < text.size();) {
        std::size_t n = text.find('\n', p);
        if (n == std::string::npos)
            n = text.size();
        std::string_view line = text.substr(p, n - p);
        p = n + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!line.empty() && line.front() == '[') {
            inGroup = line.size() == group.size() + 2 && line.substr(1, group.size()) == group &&
                      line.back() == ']';
            continue;
        }
        std::size_t eq = line.find('=');
        if (!inGroup || eq == std::string::npos)
            continue;
        std::string_view k = line.substr(0, eq);
        while (!k.empty() && k.back() == ' ')
            k.remove_suffix(1);
        if (k != key)
            continue;
        std::size_t start = line.find_first_not_of(' ', eq + 1);
        value = UnescapeDesktopString(start == std::string::npos ? std::string()
                                                                 : std::string(line.substr(start)));
        return true;
    }
    return false;
}

// False when the group or key is missing or the file is absent.
bool ReadDesktopValue(const fs::path& path, const std::string& group, const std::string& key,
                      std::string& value) {
    std::error_code ec;
    if (!fs::exists(path, ec))
        return false;
    return DesktopValueOf(ReadWholeFile(path), group, key, value);
}

// Runs a program quietly and waits for it; false when it could not run or failed.
bool RunQuietly(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Writes `text` only when the file holds something else; true when it was written.
bool WriteWhenChanged(const fs::path& path, const std::string& text) {
    std::error_code ec;
    if (fs::exists(path, ec)) {
        try {
            if (ReadWholeFile(path) == text)
                return false;
        } catch (const FileError&) {
        }
    }
    fs::create_directories(path.parent_path());
    WriteFileAtomically(path, text);
    return true;
}

constexpr const char* kMimePackage =
    R"xml(<?xml version="1.0" encoding="UTF-8"?>
<mime-info xmlns="http://www.freedesktop.org/standards/shared-mime-info">
  <mime-type type="audio/x-rmid">
    <comment>RIFF MIDI file</comment>
    <magic priority="60">
      <match type="string" value="RIFF" offset="0">
        <match type="string" value="RMID" offset="8"/>
      </match>
    </magic>
    <glob pattern="*.rmi"/>
  </mime-type>
</mime-info>
)xml";

std::string AutostartText(const std::string& exePath) {
    return "[Desktop Entry]\nType=Application\nName=Tunquil\nExec=" +
           EscapeDesktopString(QuoteExecArgument(exePath)) + "\nIcon=" + kIconName +
           "\nX-GNOME-Autostart-enabled=true\n";
}

} // namespace

fs::path InstalledDesktopEntry(const fs::path& executable) {
    const fs::path entry =
        executable.parent_path().parent_path() / "share" / "applications" / kDesktopFileName;
    std::error_code ec;
    if (executable.parent_path().filename() != "bin" || !fs::is_regular_file(entry, ec))
        return {};
    return entry;
}

XdgLocations XdgLocations::FromEnvironment() {
    return {EnvDir("XDG_DATA_HOME", ".local/share"), EnvDir("XDG_CONFIG_HOME", ".config")};
}

fs::path XdgLocations::DesktopEntry() const {
    return dataHome / "applications" / kDesktopFileName;
}
fs::path XdgLocations::AutostartEntry() const {
    return configHome / "autostart" / kDesktopFileName;
}
fs::path XdgLocations::MimeAppsList() const {
    return configHome / "mimeapps.list";
}
fs::path XdgLocations::MimePackage() const {
    return dataHome / "mime/packages/tunquil.xml";
}
fs::path XdgLocations::Icon() const {
    return dataHome / "icons/hicolor/scalable/apps" / (std::string(kIconName) + ".svg");
}
fs::path XdgLocations::RegistryIni() const {
    return configHome / "Tunquil/registry.ini";
}

XdgRegistry::XdgRegistry(XdgLocations locations, std::string className)
    : locations_(std::move(locations)), className_(std::move(className)) {}

std::string XdgRegistry::ExecFromShellCommand(const std::string& command) {
    // "exe" LETTERS"%1", read from the end: the program's path may itself hold quotes.
    const std::string tail = "\"%1\"";
    const auto unsupported = [&] { return RegistryError("Unsupported shell command: " + command); };
    if (command.size() < tail.size() + 5 || command.front() != '"' ||
        command.compare(command.size() - tail.size(), tail.size(), tail) != 0)
        throw unsupported();
    std::size_t verbStart = command.size() - tail.size();
    while (verbStart > 0 && command[verbStart - 1] >= 'A' && command[verbStart - 1] <= 'Z')
        --verbStart;
    const std::size_t verbEnd = command.size() - tail.size();
    // At least the opening quote, one character of the path, the closing quote and a blank.
    if (verbStart == verbEnd || verbStart < 4 || command[verbStart - 1] != ' ' ||
        command[verbStart - 2] != '"')
        throw unsupported();
    const std::string exe = command.substr(1, verbStart - 3);
    const std::string verb = command.substr(verbStart, verbEnd - verbStart);
    return QuoteExecArgument(exe) + " --verb " + verb + " %f";
}

bool XdgRegistry::DesktopValue(std::string_view text, const std::string& group,
                               const std::string& key, std::string& value) {
    return DesktopValueOf(text, group, key, value);
}

std::vector<std::string> XdgRegistry::SplitExec(const std::string& exec) {
    return SplitExecLine(exec);
}

std::string XdgRegistry::ShellCommandFromExec(const std::string& exec) {
    std::vector<std::string> args = SplitExecLine(exec);
    if (args.size() == 4 && args[1] == "--verb" && args[3] == "%f")
        return "\"" + args[0] + "\" " + args[2] + "\"%1\"";
    return exec;
}

XdgRegistry::Place XdgRegistry::Classify(RegistryRoot root, const std::string& key,
                                         const std::string& name, std::string& detail) const {
    const std::string k = Folded(NormalizeKey(key));
    if (root == RegistryRoot::ClassesRoot) {
        const std::string cls = Folded(className_);
        if (k == ".MID" && name.empty()) {
            detail = "audio/midi";
            return Place::Extension;
        }
        if (k == ".RMI" && name.empty()) {
            detail = kRmidMimeType;
            return Place::Extension;
        }
        if (k == cls && name.empty())
            return Place::ClassKey;
        if (k == cls + "\\DEFAULTICON" && name.empty())
            return Place::DefaultIcon;
        const std::string shell = cls + "\\SHELL\\", command = "\\COMMAND";
        if (name.empty() && k.size() > shell.size() + command.size() &&
            k.compare(0, shell.size(), shell) == 0 &&
            k.compare(k.size() - command.size(), command.size(), command) == 0) {
            // The verb as the caller spelled it: it becomes the action's name.
            std::string original = NormalizeKey(key);
            detail = original.substr(shell.size(), original.size() - shell.size() - command.size());
            return Place::VerbCommand;
        }
    }
    if (root == RegistryRoot::CurrentUser && k == Folded(kRunKey) && Folded(name) == "TUNQUIL")
        return Place::Autostart;
    return Place::Other;
}

namespace {

std::string IniSection(RegistryRoot root, const std::string& key) {
    return std::string(RootName(root)) + "\\" + NormalizeKey(key);
}
std::string IniName(const std::string& name) {
    return name.empty() ? "@" : name;
}

// Settings files that cannot be read or written become registry failures, named by key.
template <class Action> auto Guarded(const std::string& what, Action&& action) {
    try {
        return action();
    } catch (const FileError& e) {
        throw RegistryError(what + ": " + e.what());
    } catch (const fs::filesystem_error& e) {
        throw RegistryError(what + ": " + e.what());
    }
}

} // namespace

bool XdgRegistry::KeyExists(RegistryRoot root, const std::string& key) {
    std::string detail;
    switch (Classify(root, key, kDefaultValue, detail)) {
    case Place::ClassKey:
    case Place::VerbCommand:
    case Place::DefaultIcon: {
        std::string value;
        return ReadString(root, key, kDefaultValue, value);
    }
    case Place::Extension:
        return Guarded("Unable to read " + locations_.MimeAppsList().string(), [&] {
            return IniFile(locations_.MimeAppsList()).ValueExists(kDefaults, detail);
        });
    default:
        if (root == RegistryRoot::CurrentUser && Folded(NormalizeKey(key)) == Folded(kRunKey))
            return true; // the autostart folder always stands for this key
        return Guarded("Unable to read " + locations_.RegistryIni().string(), [&] {
            return IniFile(locations_.RegistryIni()).SectionExists(IniSection(root, key));
        });
    }
}

bool XdgRegistry::ReadString(RegistryRoot root, const std::string& key, const std::string& name,
                             std::string& value) {
    std::string detail;
    Place place = Classify(root, key, name, detail);
    auto readEntry = [&](const fs::path& path, const std::string& section,
                         const std::string& entryKey) {
        return Guarded("Unable to read " + path.string(),
                       [&] { return ReadDesktopValue(path, section, entryKey, value); });
    };
    switch (place) {
    case Place::ClassKey:
        return readEntry(locations_.DesktopEntry(), kEntry, "Comment");
    case Place::DefaultIcon:
        return readEntry(locations_.DesktopEntry(), kEntry, "Icon");
    case Place::VerbCommand:
        if (!readEntry(locations_.DesktopEntry(), ActionGroup(detail), "Exec"))
            return false;
        value = ShellCommandFromExec(value);
        return true;
    case Place::Extension:
        if (!readEntry(locations_.MimeAppsList(), kDefaults, detail))
            return false;
        if (value == kDesktopFileName || value == std::string(kDesktopFileName) + ";")
            value = className_;
        return true;
    case Place::Autostart: {
        if (!readEntry(locations_.AutostartEntry(), kEntry, "Exec"))
            return false;
        std::vector<std::string> args = SplitExecLine(value);
        value = args.empty() ? std::string() : args[0];
        return true;
    }
    case Place::Other:
        break;
    }
    return Guarded("Unable to read " + locations_.RegistryIni().string(), [&] {
        IniFile file(locations_.RegistryIni());
        if (!file.ValueExists(IniSection(root, key), IniName(name)))
            return false;
        value = file.ReadString(IniSection(root, key), IniName(name), "");
        return true;
    });
}

void XdgRegistry::WriteDesktopEntry(Place place, const std::string& detail,
                                    const std::string& value) {
    IniFile file(locations_.DesktopEntry());
    if (!file.SectionExists(kEntry)) {
        std::string program = className_.substr(0, className_.find('.'));
        file.WriteString(kEntry, "Type", "Application");
        file.WriteString(kEntry, "Name", EscapeDesktopString(program));
        file.WriteString(kEntry, "GenericName", "MIDI Jukebox");
        file.WriteString(kEntry, "MimeType", std::string("audio/midi;") + kRmidMimeType + ";");
        file.WriteString(kEntry, "Categories", "AudioVideo;Audio;Player;");
    }
    switch (place) {
    case Place::ClassKey:
        file.WriteString(kEntry, "Comment", EscapeDesktopString(value));
        break;
    case Place::DefaultIcon:
        file.WriteString(kEntry, "Icon", kIconName);
        break;
    case Place::VerbCommand: {
        const std::string exec = EscapeDesktopString(ExecFromShellCommand(value));
        const std::string group = ActionGroup(detail), id = ActionId(detail);
        if (Folded(detail) == "OPEN" || !file.ValueExists(kEntry, "Exec"))
            file.WriteString(kEntry, "Exec", exec);
        file.WriteString(group, "Name", EscapeDesktopString(detail));
        file.WriteString(group, "Exec", exec);
        std::string actions = file.ReadString(kEntry, "Actions", "");
        if (("; " + actions).find(";" + id + ";") == std::string::npos &&
            actions.rfind(id + ";", 0) != 0)
            file.WriteString(kEntry, "Actions", actions + id + ";");
        break;
    }
    default:
        break;
    }
    fs::create_directories(locations_.DesktopEntry().parent_path());
    file.UpdateFile();
}

void XdgRegistry::InstallMimePackage() {
    const fs::path mimeDir = locations_.dataHome / "mime";
    std::error_code ec;
    bool written = WriteWhenChanged(locations_.MimePackage(), kMimePackage);
    // The package means nothing until the database is rebuilt; a missing cache means an
    // earlier rebuild failed, so it is tried again.
    if (written || !fs::exists(mimeDir / "mime.cache", ec))
        RunQuietly({"update-mime-database", mimeDir.string()});
}

void XdgRegistry::InstallIcon() {
    WriteWhenChanged(locations_.Icon(), kIconSvg);
}

void XdgRegistry::WriteString(RegistryRoot root, const std::string& key, const std::string& name,
                              const std::string& value) {
    std::string detail;
    Place place = Classify(root, key, name, detail);
    const std::string what =
        std::string("Unable to write ") + RootName(root) + "\\" + NormalizeKey(key);
    Guarded(what, [&] {
        switch (place) {
        case Place::ClassKey:
        case Place::VerbCommand:
            InstallMimePackage();
            WriteDesktopEntry(place, detail, value);
            break;
        case Place::DefaultIcon:
            InstallIcon();
            WriteDesktopEntry(place, detail, value);
            break;
        case Place::Extension: {
            if (detail == kRmidMimeType)
                InstallMimePackage();
            IniFile file(locations_.MimeAppsList());
            file.WriteString(kDefaults, detail, value == className_ ? kDesktopFileName : value);
            fs::create_directories(locations_.MimeAppsList().parent_path());
            file.UpdateFile();
            break;
        }
        case Place::Autostart:
            fs::create_directories(locations_.AutostartEntry().parent_path());
            WriteFileAtomically(locations_.AutostartEntry(), AutostartText(value));
            break;
        case Place::Other: {
            IniFile file(locations_.RegistryIni());
            file.WriteString(IniSection(root, key), IniName(name), value);
            fs::create_directories(locations_.RegistryIni().parent_path());
            file.UpdateFile();
            break;
        }
        }
        return 0;
    });
}

bool XdgRegistry::DeleteValue(RegistryRoot root, const std::string& key, const std::string& name) {
    std::string detail;
    Place place = Classify(root, key, name, detail);
    const std::string what =
        std::string("Unable to delete from ") + RootName(root) + "\\" + NormalizeKey(key);
    return Guarded(what, [&] {
        auto deleteEntry = [&](const fs::path& path, const std::string& section,
                               const std::string& entryKey) {
            IniFile file(path);
            if (!file.ValueExists(section, entryKey))
                return false;
            file.DeleteKey(section, entryKey);
            file.UpdateFile();
            return true;
        };
        switch (place) {
        case Place::Extension:
            return deleteEntry(locations_.MimeAppsList(), kDefaults, detail);
        case Place::Autostart: {
            std::error_code ec;
            bool removed = fs::remove(locations_.AutostartEntry(), ec);
            if (ec)
                throw FileError(
                    DescribeErrno("Unable to remove", locations_.AutostartEntry(), ec.value()),
                    ec.value());
            return removed;
        }
        case Place::ClassKey:
            return deleteEntry(locations_.DesktopEntry(), kEntry, "Comment");
        case Place::DefaultIcon:
            return deleteEntry(locations_.DesktopEntry(), kEntry, "Icon");
        case Place::VerbCommand:
            return deleteEntry(locations_.DesktopEntry(), ActionGroup(detail), "Exec");
        case Place::Other:
            break;
        }
        return deleteEntry(locations_.RegistryIni(), IniSection(root, key), IniName(name));
    });
}

} // namespace tunquil::platform
