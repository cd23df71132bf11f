#pragma once
// The program as the desktop's MIDI player: the document class and its verbs, registered at
// every start; making the program the default player of ".mid" and ".rmi" files and putting
// the former player back; starting at login. Everything goes through the registry layer, and
// every failure reaches the user through the host as an error box.

#include "base/Host.h"
#include "platform/Registry.h"

#include <filesystem>
#include <string>

namespace tunquil {

class ShellIntegration {
public:
    ShellIntegration(IHost& host, platform::IRegistry& registry,
                     std::filesystem::path programDirectory, std::string programName = "Tunquil");

    // "Tunquil.Document"
    const std::string& ClassName() const { return className_; }
    // The File menu's captions and the Settings menu's.
    std::string SetDefaultCaption() const {
        return "Set " + programName_ + " as default &MIDI player";
    }
    static constexpr const char* kRestoreCaption = "&Restore original default MIDI player";
    static constexpr const char* kLaunchCaption = "&Launch at login";

    // Writes the class, its four verbs and its icon, unless the executable is an installed copy
    // whose package brings its own desktop entry. The icon never stops start-up; any other
    // failure is shown and ends the registration (false).
    bool RegisterDocumentType(const std::filesystem::path& executable);

    // True only when both ".mid" and ".rmi" name the class.
    bool IsDefaultMidiPlayer();

    // Which of the two File menu items is enabled: set from IsDefaultMidiPlayer at start-up,
    // then by the two commands.
    struct MenuState {
        bool setEnabled = true;
        bool restoreEnabled = false;
    };
    const MenuState& Menu() const { return menu_; }
    void RefreshMenu();

    // The menu commands; false when the command was stopped (declined or failed).
    bool SetDefaultMidiPlayer(bool shuttingDown = false);
    bool RestoreDefaultMidiPlayer();

    // Whether the program starts at login: the autostart entry exists.
    bool LaunchOnStart();
    // Writes or removes the entry and answers the state that results, so a check mark never
    // shows what was not written.
    bool SetLaunchOnStart(const std::filesystem::path& executable, bool on);

    std::filesystem::path SaveFile(const std::string& extension) const;

private:
    // Saves the extension's current default so that Restore can put it back; the absence of
    // one is saved too (as an empty file), so that Restore can take the program's entry away.
    void SaveFormerDefault(const std::string& extension);
    // Puts back what SaveFile holds; false when there is no save file.
    bool RestoreFormerDefault(const std::string& extension);
    void ShowError(const std::string& text);

    IHost& host_;
    platform::IRegistry& registry_;
    std::filesystem::path programDirectory_;
    std::string programName_;
    std::string className_;
    MenuState menu_;
};

} // namespace tunquil
