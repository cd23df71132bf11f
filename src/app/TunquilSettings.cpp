#include "app/TunquilSettings.h"

#include "base/ProgramDirectory.h"

namespace tunquil {

TunquilSettings TunquilSettings::ReadAtStartUp(const std::filesystem::path& programDirectory) {
    std::error_code ec;
    TunquilSettings s;
    IniFile ini(SettingsPath(programDirectory));
    s.firstRun = !std::filesystem::exists(ini.path(), ec);
    s.fullScanDone = ini.ReadBool("Setup", "FullScanDone", false);
    s.disableTempConPI = ini.ReadBool("Setup", "DisableTempConPI", false);
    if (!ini.ReadBool("Initialization", "Initialization", false)) {
        ini.WriteBool("Initialization", "Initialization", true);
        ini.UpdateFile();
    }
    return s;
}

void TunquilSettings::Write(IniFile& ini) const {
    ini.WriteBool("Setup", "FullScanDone", fullScanDone);
    ini.WriteBool("Setup", "StartNotification", true);
    ini.WriteBool("Setup", "DisableTempConPI", disableTempConPI);
}

} // namespace tunquil
