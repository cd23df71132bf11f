#pragma once
// The browser plug-in's side in this program: where the browser's plug-in folders are, copying
// the plug-in into them and taking it out again, and putting aside other plug-ins that also
// claim MIDI files (renamed "TQX" + name + "BAK") and bringing them back. The management dialog
// is a view over this; start-up and shut-down call the two hooks.

#include "base/Host.h"
#include "platform/Registry.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tunquil {

class PluginManager {
public:
    static constexpr const char* kPluginFile = "NPtunqil.dll";

    // `browserWindows` counts the open browser windows (the running-browser check); by default
    // the running processes named like the browser.
    PluginManager(IHost& host, platform::IRegistry& registry,
                  std::filesystem::path programDirectory, std::function<int()> browserWindows);

    // Both registry entries in order, empty ones included, each ending in a separator.
    std::vector<std::string> ManagementList();
    // Only the entries naming existing folders: the File menu item shows when this has any.
    std::vector<std::string> MenuList();

    struct DialogState {
        bool installEnabled = false;
        bool removeEnabled = false; // also the options group and "&Execute configuration"
        std::string caption;
    };
    DialogState State();

    enum class Option { Ignore, DisableWhileOpen, Disable, ReEnable };

    // The dialog's buttons; each shows its own messages.
    void Install();
    void Remove();
    void ExecuteConfiguration(Option option);

    // Start-up and shut-down: with the flag set, conflicting plug-ins are put aside while the
    // program runs. Plug-ins that a crash left aside are brought back at the next start.
    void AfterStartup();
    void AtShutdown();

    // The setting DisableTempConPI; the window loads and saves it.
    bool TemporaryDisable() const { return temporaryDisable_; }
    void SetTemporaryDisable(bool on) { temporaryDisable_ = on; }

    // Renames conflicting plug-ins aside; the count renamed.
    int DisableConflicting();
    // Renames put-aside plug-ins back; the count renamed.
    int ReEnable();

    // A plug-in file (not ours) whose version strings name MIDI file extents.
    static bool IsConflicting(const std::filesystem::path& path);
    // "TQX" + name + "BAK"
    static std::string DisabledName(const std::string& name) { return "TQX" + name + "BAK"; }

private:
    bool RefuseWhileBrowserRuns();
    std::vector<std::filesystem::path> ExistingFolders();
    // Files below the folders (symbolic links neither followed nor taken) whose names match
    // `mask`, case ignored.
    std::vector<std::filesystem::path> FindFiles(const std::string& mask);
    // Renames without ever replacing a file; false, with the reason in `error`, on failure.
    static bool RenameWithoutReplacing(const std::filesystem::path& from,
                                       const std::filesystem::path& to, std::string& error);
    std::filesystem::path AsideList() const { return programDirectory_ / "TQXPlugins.lst"; }
    void RecordAside(const std::vector<std::filesystem::path>& renamed);
    int BringBack(const std::vector<std::filesystem::path>& only);

    IHost& host_;
    platform::IRegistry& registry_;
    std::filesystem::path programDirectory_;
    std::function<int()> browserWindows_;
    bool temporaryDisable_ = false;
};

} // namespace tunquil
