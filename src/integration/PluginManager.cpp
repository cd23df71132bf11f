#include "integration/PluginManager.h"

#include "base/Files.h"
#include "base/Text.h"
#include "platform/Processes.h"
#include "platform/VersionResource.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <set>

namespace tunquil {

namespace fs = std::filesystem;
using platform::RegistryRoot;

namespace {

constexpr const char* kNavigatorKey = "Software\\Netscape\\Netscape Navigator";
constexpr const char* kRefusal = "Please close your open Netscape window(s) and retry !";
constexpr const char* kVersionKeys[] = {
    "CompanyName",     "FileDescription",  "FileVersion", "InternalName",   "LegalCopyright",
    "LegalTradeMarks", "OriginalFilename", "ProductName", "ProductVersion", "Comments",
    "FileExtents",     "FileOpenName",     "MIMEType"};

std::string WithSeparator(std::string dir) {
    if (!dir.empty() && dir.back() != '/')
        dir += '/';
    return dir;
}

bool IsFolder(const std::string& dir) {
    std::error_code ec;
    return !dir.empty() && fs::is_directory(dir, ec);
}

} // namespace

PluginManager::PluginManager(IHost& host, platform::IRegistry& registry, fs::path programDirectory,
                             std::function<int()> browserWindows)
    : host_(host), registry_(registry), programDirectory_(std::move(programDirectory)),
      browserWindows_(std::move(browserWindows)) {
    if (!browserWindows_)
        browserWindows_ = [] { return platform::CountProcessesNamed("netscape"); };
}

std::vector<std::string> PluginManager::ManagementList() {
    std::string version, plugins, install;
    if (registry_.ReadString(RegistryRoot::LocalMachine, kNavigatorKey, "CurrentVersion",
                             version) &&
        !version.empty())
        registry_.ReadString(RegistryRoot::LocalMachine,
                             std::string(kNavigatorKey) + "\\" + version + "\\Main",
                             "Plugins Directory", plugins);
    if (registry_.ReadString(RegistryRoot::CurrentUser, std::string(kNavigatorKey) + "\\Main",
                             "Install Directory", install) &&
        !install.empty())
        install = WithSeparator(install) + "Program/Plugins";
    return {WithSeparator(plugins), WithSeparator(install)};
}

std::vector<std::string> PluginManager::MenuList() {
    std::vector<std::string> list;
    for (const std::string& dir : ManagementList())
        if (IsFolder(dir))
            list.push_back(dir);
    return list;
}

std::vector<fs::path> PluginManager::ExistingFolders() {
    std::vector<fs::path> folders;
    for (const std::string& dir : MenuList())
        folders.emplace_back(dir);
    return folders;
}

PluginManager::DialogState PluginManager::State() {
    int counted = 0;
    bool everywhere = true;
    for (const std::string& dir : ManagementList()) {
        if (dir.empty())
            continue;
        ++counted;
        std::error_code ec;
        if (!fs::exists(fs::path(dir) / kPluginFile, ec))
            everywhere = false;
    }
    DialogState state;
    state.removeEnabled = counted > 0 && everywhere;
    state.installEnabled = !state.removeEnabled && counted > 0;
    state.caption = state.removeEnabled    ? " Tunquil is installed as a Navigator plugin "
                    : state.installEnabled ? " Tunquil is NOT installed as a Navigator plugin "
                                           : " Netscape Navigator does not appear to be "
                                             "installed on your PC";
    return state;
}

bool PluginManager::RefuseWhileBrowserRuns() {
    if (browserWindows_() <= 0)
        return false;
    host_.Beep();
    host_.ShowMessage(kRefusal, TMsgDlgType::mtError, 0, mbOK);
    return true;
}

void PluginManager::Install() {
    if (RefuseWhileBrowserRuns())
        return;
    int copies = 0;
    {
        BusyScope busy(host_);
        const fs::path source = programDirectory_ / kPluginFile;
        try {
            std::error_code ec;
            if (fs::exists(source, ec)) {
                const std::string bytes = ReadWholeFile(source);
                for (const std::string& dir : ManagementList()) {
                    if (dir.empty())
                        continue;
                    const fs::path target = fs::path(dir) / kPluginFile;
                    if (fs::equivalent(source, target, ec))
                        throw FileError("Cannot copy " + source.string() + " onto itself");
                    WriteFileAtomically(target, bytes);
                    ++copies;
                }
            }
        } catch (const std::exception& e) {
            host_.ShowMessage(e.what(), TMsgDlgType::mtError, 0, mbCancel);
            return;
        }
    }
    host_.ShowMessage(std::to_string(copies) +
                          " instance(s) of Tunquil plugin have been installed.",
                      TMsgDlgType::mtInformation, 0, mbOK);
}

void PluginManager::Remove() {
    if (RefuseWhileBrowserRuns())
        return;
    int removed = 0, enabled = 0;
    {
        BusyScope busy(host_);
        for (const std::string& dir : ManagementList()) {
            std::error_code ec;
            if (!dir.empty() && fs::remove(fs::path(dir) / kPluginFile, ec))
                ++removed;
        }
        enabled = ReEnable();
    }
    host_.ShowMessage(
        std::to_string(removed) + " instance(s) of Tunquil plugin have been removed, and\\n" +
            std::to_string(enabled) + " conflicting plugin(s) (previously disabled) re-enabled.",
        TMsgDlgType::mtInformation, 0, mbOK);
    temporaryDisable_ = false;
}

bool PluginManager::IsConflicting(const fs::path& path) {
    if (path.string().find("tunqil") != std::string::npos)
        return false;
    auto strings = platform::ReadVersionStringsOfFile(path, "040904E4");
    if (!strings)
        return false;
    for (const char* key : kVersionKeys) {
        auto it = strings->find(key);
        if (it == strings->end())
            continue;
        const std::string line = UpperAscii(std::string(key) + "=" + it->second);
        if (line.find("FILEEXTENTS") != std::string::npos && line.find("MID") != std::string::npos)
            return true;
    }
    return false;
}

std::vector<fs::path> PluginManager::FindFiles(const std::string& mask) {
    std::vector<fs::path> found;
    for (const fs::path& folder : ExistingFolders()) {
        std::error_code ec;
        // The default options never enter a linked folder; linked files are skipped below,
        // so nothing outside the plug-in folders is ever renamed.
        for (fs::recursive_directory_iterator
                 it(folder, fs::directory_options::skip_permission_denied, ec),
             end;
             !ec && it != end; it.increment(ec)) {
            std::error_code typeError;
            if (it->is_symlink(typeError) || !it->is_regular_file(typeError))
                continue;
            if (MatchesMask(it->path().filename().string(), mask))
                found.push_back(it->path());
        }
    }
    return found;
}

bool PluginManager::RenameWithoutReplacing(const fs::path& from, const fs::path& to,
                                           std::string& error) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    error = errno == EEXIST ? std::string("a file of that name already exists")
                            : std::string(std::strerror(errno));
    return false;
}

void PluginManager::RecordAside(const std::vector<fs::path>& renamed) {
    std::set<std::string> names;
    std::error_code ec;
    if (fs::exists(AsideList(), ec)) {
        for (std::string& line : SplitLines(ReadWholeFile(AsideList())))
            names.insert(std::move(line));
    }
    for (const fs::path& path : renamed)
        names.insert(path.string());
    std::string text;
    for (const std::string& name : names)
        text += name + "\n";
    WriteFileAtomically(AsideList(), text);
}

int PluginManager::DisableConflicting() {
    BusyScope busy(host_);
    int count = 0;
    std::vector<fs::path> renamed;
    for (const fs::path& path : FindFiles("NP*.dll")) {
        if (!IsConflicting(path))
            continue;
        const fs::path target = path.parent_path() / DisabledName(path.filename().string());
        std::string error;
        if (RenameWithoutReplacing(path, target, error)) {
            ++count;
            renamed.push_back(target);
        } else {
            host_.ShowMessage("Unable to rename " + path.string() + " to " + target.string() +
                                  ": " + error,
                              TMsgDlgType::mtError, 0, mbOK);
        }
    }
    temporaryDisable_ = false;
    try {
        // Written before the program can crash with plug-ins aside, so the next start can
        // bring them back; a permanent disable drops the record at once (see below).
        RecordAside(renamed);
    } catch (const std::exception& e) {
        host_.ShowMessage(e.what(), TMsgDlgType::mtError, 0, mbOK);
    }
    return count;
}

int PluginManager::BringBack(const std::vector<fs::path>& only) {
    BusyScope busy(host_);
    std::set<fs::path> wanted(only.begin(), only.end());
    int count = 0;
    for (const fs::path& path : FindFiles("TQXNP*.dllBAK")) {
        if (!only.empty() && !wanted.count(path))
            continue;
        const std::string name = path.filename().string();
        const fs::path target = path.parent_path() / name.substr(3, name.size() - 6);
        std::string error;
        if (RenameWithoutReplacing(path, target, error))
            ++count;
        else
            host_.ShowMessage("Unable to rename " + path.string() + " to " + target.string() +
                                  ": " + error,
                              TMsgDlgType::mtError, 0, mbOK);
    }
    std::error_code ec;
    fs::remove(AsideList(), ec);
    return count;
}

int PluginManager::ReEnable() {
    return BringBack({});
}

void PluginManager::ExecuteConfiguration(Option option) {
    if (option == Option::Ignore || RefuseWhileBrowserRuns())
        return;
    const std::string tail = "until you choose the Re-enable option below";
    std::string text;
    if (option == Option::DisableWhileOpen) {
        int n = DisableConflicting();
        temporaryDisable_ = true;
        const std::string second =
            "until you choose the Re-enable option below or remove Tunquil as a plugin.";
        text = n == 0 ? "No conflicting plugins found !"
               : n == 1
                   ? "1 conflicting plugin has been disabled while Tunquil is open,\\n" + second
                   : std::to_string(n) +
                         " conflicting plugin have been disabled while Tunquil is open,\\n" +
                         second;
    } else if (option == Option::Disable) {
        int n = DisableConflicting();
        std::error_code ec;
        fs::remove(AsideList(), ec); // the user wants them aside for good
        text = n == 0   ? "No conflicting plugins found !"
               : n == 1 ? "1 conflicting plugin has been disabled " + tail +
                              "\\nor remove Tunquil as a plugin."
                        : std::to_string(n) + " conflicting plugins have been disabled " + tail +
                              "\\nor remove Tunquil as a plugin.";
    } else {
        int n = ReEnable();
        temporaryDisable_ = false;
        text = n == 0   ? "No disabled plugins found !"
               : n == 1 ? "1 conflicting plugin (previously disabled) has been re-enabled."
                        : std::to_string(n) +
                              " conflicting plugins (previously disabled) have been re-enabled.";
    }
    host_.ShowMessage(text, TMsgDlgType::mtInformation, 0, mbOK);
}

void PluginManager::AfterStartup() {
    if (temporaryDisable_) {
        DisableConflicting();
        temporaryDisable_ = true;
        return;
    }
    std::error_code ec;
    if (!fs::exists(AsideList(), ec))
        return;
    // Plug-ins put aside for the run that never reached its shut-down.
    std::vector<fs::path> aside;
    try {
        for (const std::string& line : SplitLines(ReadWholeFile(AsideList())))
            aside.emplace_back(line);
    } catch (const std::exception&) {
        return;
    }
    if (!aside.empty())
        BringBack(aside);
    fs::remove(AsideList(), ec);
}

void PluginManager::AtShutdown() {
    if (temporaryDisable_)
        ReEnable();
}

} // namespace tunquil
