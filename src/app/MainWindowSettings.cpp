#include "app/MainWindowSettings.h"

#include "base/IniFile.h"

namespace tunquil {

namespace {
constexpr const char* kSetup = "Setup";
constexpr const char* kFormat = "Format";

int AtLeastFive(int value) {
    return value < 5 ? 10 : value;
}
} // namespace

MainWindowSettings MainWindowSettings::Read(const IniFile& ini) {
    MainWindowSettings s;
    s.showTools = ini.ReadBool(kSetup, "ShowTools", true);
    s.showAllHints = ini.ReadBool(kSetup, "ShowAllHints", true);
    s.showAlbTabs = ini.ReadBool(kSetup, "ShowAlbTabs", true);
    s.showCatTabs = ini.ReadBool(kSetup, "ShowCatTabs", true);
    s.confirmBeforeExit = ini.ReadBool(kSetup, "ConfirmBeforeExit", true);
    s.remindToScan = ini.ReadBool(kSetup, "RemindToScan", true);
    s.autoLooping = ini.ReadBool(kSetup, "AutoLooping", true);
    s.reset = ResetChoiceFromSettings(
        ini.ReadBool(kSetup, "GMGSReset", false), ini.ReadBool(kSetup, "GSGMReset", false),
        ini.ReadBool(kSetup, "GMReset", false), ini.ReadBool(kSetup, "GSReset", false));
    s.launchOnWinStart = ini.ReadBool(kSetup, "LaunchOnWinStart", true);
    s.albPanelWidth = ini.ReadInteger(kFormat, "AlbPanelWidth", 200);
    s.top = AtLeastFive(ini.ReadInteger(kFormat, "Top", 100));
    s.left = AtLeastFive(ini.ReadInteger(kFormat, "Left", 100));
    s.height = ini.ReadInteger(kFormat, "Height", 400);
    s.width = ini.ReadInteger(kFormat, "Width", 585);
    s.tabActiveColor = static_cast<uint32_t>(ini.ReadInteger(kFormat, "TabActiveColor", kSilver));
    s.tabActiveFontColor =
        static_cast<uint32_t>(ini.ReadInteger(kFormat, "TabActiveFontColor", kGreen));
    return s;
}

void MainWindowSettings::Write(IniFile& ini, bool maximised) const {
    ini.WriteBool(kSetup, "ShowTools", showTools);
    ini.WriteBool(kSetup, "ShowAllHints", showAllHints);
    ini.WriteBool(kSetup, "ShowAlbTabs", showAlbTabs);
    ini.WriteBool(kSetup, "ShowCatTabs", showCatTabs);
    ini.WriteBool(kSetup, "ConfirmBeforeExit", confirmBeforeExit);
    ini.WriteBool(kSetup, "RemindToScan", remindToScan);
    ini.WriteBool(kSetup, "AutoLooping", autoLooping);
    ini.WriteBool(kSetup, "GMGSReset", reset == ResetChoice::GMThenGS);
    ini.WriteBool(kSetup, "GSGMReset", reset == ResetChoice::GSThenGM);
    ini.WriteBool(kSetup, "GMReset", reset == ResetChoice::GMOnly);
    ini.WriteBool(kSetup, "GSReset", reset == ResetChoice::GSOnly);
    ini.WriteBool(kSetup, "LaunchOnWinStart", launchOnWinStart);
    // A maximised window says nothing about the size the user chose.
    if (!maximised) {
        ini.WriteInteger(kFormat, "AlbPanelWidth", albPanelWidth);
        ini.WriteInteger(kFormat, "Top", top);
        ini.WriteInteger(kFormat, "Left", left);
        ini.WriteInteger(kFormat, "Height", height);
        ini.WriteInteger(kFormat, "Width", width);
    }
    ini.WriteInteger(kFormat, "TabActiveColor", static_cast<int>(tabActiveColor));
    ini.WriteInteger(kFormat, "TabActiveFontColor", static_cast<int>(tabActiveFontColor));
}

} // namespace tunquil
