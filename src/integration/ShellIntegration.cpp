#include "integration/ShellIntegration.h"

#include "base/Files.h"
#include "platform/XdgRegistry.h"

namespace tunquil {

using platform::RegistryRoot;

namespace {

constexpr const char* kRunKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

struct Verb {
    const char* name;
    const char* letter;
};
// Open carries P: the command processor takes O as well, but the shell has always sent P.
constexpr Verb kVerbs[] = {
    {"Open", "P"}, {"Play", "P"}, {"Send as email", "M"}, {"Zip into database", "Z"}};

} // namespace

ShellIntegration::ShellIntegration(IHost& host, platform::IRegistry& registry,
                                   std::filesystem::path programDirectory, std::string programName)
    : host_(host), registry_(registry), programDirectory_(std::move(programDirectory)),
      programName_(std::move(programName)), className_(programName_ + ".Document") {}

void ShellIntegration::ShowError(const std::string& text) {
    host_.ShowMessage(text, TMsgDlgType::mtError, 0, mbOK);
}

bool ShellIntegration::RegisterDocumentType(const std::filesystem::path& executable) {
    // An installed copy's own entry already names the class, its verbs and its icon; a second
    // one in the user's folder would hide it and outlive the package.
    if (!platform::InstalledDesktopEntry(executable).empty())
        return true;
    try {
        registry_.WriteString(RegistryRoot::ClassesRoot, className_, platform::kDefaultValue,
                              programName_ + " MIDI file");
        for (const Verb& verb : kVerbs)
            registry_.WriteString(RegistryRoot::ClassesRoot,
                                  className_ + "\\Shell\\" + verb.name + "\\Command",
                                  platform::kDefaultValue,
                                  "\"" + executable.string() + "\" " + verb.letter + "\"%1\"");
    } catch (const std::exception& e) {
        ShowError(e.what());
        return false;
    }
    try {
        registry_.WriteString(RegistryRoot::ClassesRoot, className_ + "\\DefaultIcon",
                              platform::kDefaultValue,
                              (executable.parent_path() / "TQicon.ico").string());
    } catch (const std::exception&) {
        // Without an icon the desktop shows its generic one; start-up goes on.
    }
    return true;
}

bool ShellIntegration::IsDefaultMidiPlayer() {
    for (const char* extension : {".mid", ".rmi"}) {
        std::string value;
        if (!registry_.ReadString(RegistryRoot::ClassesRoot, extension, platform::kDefaultValue,
                                  value) ||
            value != className_)
            return false;
    }
    return true;
}

void ShellIntegration::RefreshMenu() {
    menu_.setEnabled = !IsDefaultMidiPlayer();
    menu_.restoreEnabled = !menu_.setEnabled;
}

std::filesystem::path ShellIntegration::SaveFile(const std::string& extension) const {
    return programDirectory_ / (extension == ".mid" ? "Old_MID_Key" : "Old_RMI_Key");
}

void ShellIntegration::SaveFormerDefault(const std::string& extension) {
    std::string value;
    bool present =
        registry_.ReadString(RegistryRoot::ClassesRoot, extension, platform::kDefaultValue, value);
    if (present && value == className_)
        return; // already ours: the earlier save holds the former player
    try {
        WriteFileAtomically(SaveFile(extension), present ? value + "\n" : std::string());
    } catch (const FileError&) {
        throw platform::RegistryError("Unable to save key data for " + extension);
    }
}

bool ShellIntegration::SetDefaultMidiPlayer(bool shuttingDown) {
    try {
        // Both former defaults are saved before either is changed, so a failure leaves the
        // user's associations as they were.
        SaveFormerDefault(".mid");
        SaveFormerDefault(".rmi");
        for (const char* extension : {".mid", ".rmi"})
            registry_.WriteString(RegistryRoot::ClassesRoot, extension, platform::kDefaultValue,
                                  className_);
    } catch (const std::exception& e) {
        ShowError(e.what());
        return false;
    }
    menu_.restoreEnabled = true;
    menu_.setEnabled = false;
    if (!shuttingDown)
        host_.ShowMessage(programName_ + " has been set your default MIDI Player.",
                          TMsgDlgType::mtInformation, 0, mbOK);
    return true;
}

bool ShellIntegration::RestoreFormerDefault(const std::string& extension) {
    const std::filesystem::path file = SaveFile(extension);
    std::error_code ec;
    if (!std::filesystem::exists(file, ec))
        return false;
    std::string text = ReadWholeFile(file);
    if (text.empty()) {
        registry_.DeleteValue(RegistryRoot::ClassesRoot, extension, platform::kDefaultValue);
        return true;
    }
    std::string line = text.substr(0, text.find_first_of("\r\n"));
    registry_.WriteString(RegistryRoot::ClassesRoot, extension, platform::kDefaultValue, line);
    return true;
}

bool ShellIntegration::RestoreDefaultMidiPlayer() {
    if (host_.ShowMessage("Are you sure you want to restore the original default MIDI player?",
                          TMsgDlgType::mtConfirmation, 0, mbYes | mbNo) != TModalResult::mrYes)
        return false;
    bool midRestored = false;
    try {
        midRestored = RestoreFormerDefault(".mid");
        // The .mid save stays, so a later Set saves afresh; the .rmi save is used up.
        if (RestoreFormerDefault(".rmi"))
            std::filesystem::remove(SaveFile(".rmi"));
    } catch (const std::exception& e) {
        ShowError(e.what());
        RefreshMenu();
        return false;
    }
    menu_.setEnabled = midRestored;
    menu_.restoreEnabled = !midRestored;
    if (midRestored) {
        host_.ShowMessage("Your original default MIDI player setting has been restored.",
                          TMsgDlgType::mtInformation, 0, mbOK);
        return true;
    }
    host_.Beep();
    host_.ShowMessage("Unabled to restore original default MIDI player!", TMsgDlgType::mtWarning, 0,
                      mbOK);
    return false;
}

bool ShellIntegration::LaunchOnStart() {
    std::string value;
    return registry_.ReadString(RegistryRoot::CurrentUser, kRunKey, programName_, value);
}

bool ShellIntegration::SetLaunchOnStart(const std::filesystem::path& executable, bool on) {
    try {
        if (on)
            registry_.WriteString(RegistryRoot::CurrentUser, kRunKey, programName_,
                                  executable.string());
        else
            registry_.DeleteValue(RegistryRoot::CurrentUser, kRunKey, programName_);
    } catch (const std::exception& e) {
        ShowError(e.what());
    }
    return LaunchOnStart();
}

} // namespace tunquil
