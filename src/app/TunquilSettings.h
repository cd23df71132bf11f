#pragma once
// The settings of Tunquil.ini that start-up and shut-down own themselves, beside the window's
// own (MainWindowSettings) and the mail window's (MailSettings), all in the one file at
// SettingsPath.

#include "base/IniFile.h"

#include <filesystem>

namespace tunquil {

struct TunquilSettings {
    bool firstRun = false;         // Tunquil.ini did not exist at this start
    bool fullScanDone = false;     // a whole-system scan has completed
    bool disableTempConPI = false; // conflicting browser plug-ins are disabled while we run

    // Reads the file of `programDirectory`; missing keys take their defaults. The first-start
    // marker "Initialization" is set in the file at once when it reads false.
    static TunquilSettings ReadAtStartUp(const std::filesystem::path& programDirectory);
    // The keys written at shut-down; "StartNotification" is always written as true.
    void Write(IniFile& ini) const;
};

} // namespace tunquil
