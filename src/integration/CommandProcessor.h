#pragma once
// The one-letter command verbs that the desktop (and the browser plug-in's helper) hands the
// program: P and O play, Z only adds, M mails, NV plays a file from the web with looping, a
// bare absolute path plays; and A, from tunquilctl add beside the window, adds as that command
// does (its fields apart by the unit separator, U+001F). Written against
// ICommandTarget, the few things it needs of the running program, so the window, tunquilctl and the
// tests can each supply them.

#include "base/Host.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tunquil {

class ICommandTarget {
public:
    virtual ~ICommandTarget() = default;
    // The first live title whose origin is `origin` exactly.
    virtual bool FindByOrigin(const std::string& origin, int32_t& masterKey) = 0;
    virtual int32_t HighestMasterKey() = 0;
    // The import dispatcher: "OK" when a MIDI file became a title.
    virtual std::string ImportMusicFile(const std::filesystem::path& path, const std::string& title,
                                        const std::string& origin, const std::string& performerName,
                                        const std::string& categoryName, bool assign,
                                        bool addOption) = 0;
    // The Settings menu's auto-looping item.
    virtual void SetAutoLooping(bool on) = 0;
    // Puts the title at the front of the play program (emptied first when asked) and plays
    // the program from its first entry.
    virtual void PlayAtFront(int32_t masterKey, bool clearProgram) = 0;
    virtual void MailTitles(const std::vector<int>& masterKeys) = 0;
    // Refreshes the category lists, the views and the visible program window.
    virtual void RefreshViews() = 0;
    // Tells the plug-in's window, when there is one, that its file could not be imported.
    virtual void TellPluginBadFile() = 0;
    // The caption of the active category tab; "" while the summary tab is active.
    virtual std::string ActiveCategoryCaption() = 0;
    // The program directory of the library the commands work on; empty when unknown.
    virtual std::filesystem::path LibraryDirectory() { return {}; }
};

// What tunquilctl add hands the running window for one file: the file as it would add it.
struct AddRequest {
    std::string path; // absolute
    std::string category;
    std::string artist;
    bool allowDuplicates = false;
    std::string library; // the program directory the command was meant for
};

// What an NV command carries: the local copy, the page's URL and the title made from it.
struct PluginRequest {
    std::string path;
    std::string origin;
    std::string title;
};

class CommandProcessor {
public:
    CommandProcessor(IHost& host, ICommandTarget& target) : host_(host), target_(target) {}

    // Carries out one command; `position` (1-based, among the program's arguments) is unused.
    void ProcessCommand(const std::string& command, int position = 1);
    // A file dropped on the main window from the desktop.
    void ImportDroppedFile(const std::filesystem::path& path);

    // True once any command was processed (start-up then skips its reminder to scan).
    bool CommandProcessed() const { return processed_; }

    // "NV" + local path + NUL + URL, or the older "NV" + local path + "[" + URL, which a path
    // holding "[" cannot use. False when no path comes before the separator.
    static bool ParsePluginCommand(const std::string& command, PluginRequest& request);
    // The title for a file from the web: the URL's last path segment without query or
    // fragment, percent-decoded, with control characters and "/" taken out; the local file's
    // name when that leaves nothing.
    static std::string TitleFromUrl(const std::string& url, const std::string& localPath);

    // The A command for one file ("" when a field holds the separator), and back. Parsing
    // fails for anything that is not one.
    static std::string AddCommand(const AddRequest& request);
    static bool ParseAddCommand(const std::string& command, AddRequest& request);

    // The program's arguments as commands. The desktop entry passes the verb and the file as
    // separate arguments ("--verb P /path"), so that no quoting can split or join them; they
    // become one command "P/path" here; the plug-in helper's "--plugin PATH URL" becomes one NV
    // command. Every other argument is a command as it is.
    static std::vector<std::string> CommandsFromArguments(const std::vector<std::string>& args);

private:
    void AddFile(const AddRequest& request);

    IHost& host_;
    ICommandTarget& target_;
    bool processed_ = false;
};

} // namespace tunquil
