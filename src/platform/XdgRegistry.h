#pragma once
// The registry kept in the desktop's own files, so that the file manager and the desktop see
// what the program registers:
//   <Class>.Document and its Shell\<verb>\Command and DefaultIcon keys: the desktop entry
//     $XDG_DATA_HOME/applications/tunquil.desktop, one desktop action per verb; the icon goes
//     into the hicolor icon theme;
//   .mid and .rmi: the default applications of audio/midi and of our RMID type (installed as a
//     shared-mime-info package) in $XDG_CONFIG_HOME/mimeapps.list;
//   HKEY_CURRENT_USER\...\CurrentVersion\Run, value "Tunquil": the autostart entry;
//   every other key: $XDG_CONFIG_HOME/Tunquil/registry.ini.
// A shell command is stored in its Windows form ("exe" P"%1") and written to the desktop
// entry with the file as its own argument: Exec="exe" --verb P %f.

#include "platform/Registry.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tunquil::platform {

// The MIME type registered for RIFF MIDI (*.rmi) files; shared-mime-info has none.
inline constexpr const char* kRmidMimeType = "audio/x-rmid";
// The desktop entry's file name, which stands for the class name in mimeapps.list.
inline constexpr const char* kDesktopFileName = "tunquil.desktop";
inline constexpr const char* kIconName = "tunquil";

struct XdgLocations {
    std::filesystem::path dataHome;   // $XDG_DATA_HOME
    std::filesystem::path configHome; // $XDG_CONFIG_HOME

    // From the environment, with the base directory defaults under $HOME.
    static XdgLocations FromEnvironment();

    std::filesystem::path DesktopEntry() const;
    std::filesystem::path AutostartEntry() const;
    std::filesystem::path MimeAppsList() const;
    std::filesystem::path MimePackage() const;
    std::filesystem::path Icon() const;
    std::filesystem::path RegistryIni() const;
};

// The desktop entry that an installed copy ships, <prefix>/share/applications/tunquil.desktop
// for the executable <prefix>/bin/<name>; empty when there is none.
std::filesystem::path InstalledDesktopEntry(const std::filesystem::path& executable);

class XdgRegistry : public IRegistry {
public:
    // `className` is the document class ("Tunquil.Document") that the desktop entry stands for.
    XdgRegistry(XdgLocations locations, std::string className);

    bool KeyExists(RegistryRoot root, const std::string& key) override;
    bool ReadString(RegistryRoot root, const std::string& key, const std::string& name,
                    std::string& value) override;
    void WriteString(RegistryRoot root, const std::string& key, const std::string& name,
                     const std::string& value) override;
    bool DeleteValue(RegistryRoot root, const std::string& key, const std::string& name) override;

    const XdgLocations& locations() const { return locations_; }

    // The Exec line for a Windows-form shell command, or RegistryError when it is not one.
    static std::string ExecFromShellCommand(const std::string& command);
    // The Windows form back from an Exec line this class wrote; the line itself otherwise.
    static std::string ShellCommandFromExec(const std::string& exec);
    // The value of `key` in `group` of a desktop file's text, its string escapes undone; false
    // when there is none.
    static bool DesktopValue(std::string_view text, const std::string& group,
                             const std::string& key, std::string& value);
    // An Exec value's arguments, its quoting undone and "%%" made "%".
    static std::vector<std::string> SplitExec(const std::string& exec);

private:
    enum class Place { ClassKey, VerbCommand, DefaultIcon, Extension, Autostart, Other };
    Place Classify(RegistryRoot root, const std::string& key, const std::string& name,
                   std::string& detail) const;

    void WriteDesktopEntry(Place place, const std::string& detail, const std::string& value);
    void InstallMimePackage();
    void InstallIcon();

    XdgLocations locations_;
    std::string className_;
};

} // namespace tunquil::platform
