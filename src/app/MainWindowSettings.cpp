#include "app/MainWindowSettings.h"

#include "base/IniKeys.h"

namespace tunquil {

namespace {

using S = MainWindowSettings;

const IniKeys<S>& SetupKeys() {
    static const IniKeys<S> keys =
        IniKeys<S>("Setup")
            .Add("ShowTools", &S::showTools, true)
            .Add("ShowAllHints", &S::showAllHints, true)
            .Add("ShowAlbTabs", &S::showAlbTabs, true)
            .Add("ShowCatTabs", &S::showCatTabs, true)
            .Add("ConfirmBeforeExit", &S::confirmBeforeExit, true)
            .Add("RemindToScan", &S::remindToScan, true)
            .Add("AutoLooping", &S::autoLooping, true)
            .Add("KeepTempoAndKey", &S::keepTempo, false)
            .Add("Tempo", &S::tempoPercent, 100)
            .Add("Transpose", &S::transpose, 0)
            // One choice kept as a flag each, the four older ones first.
            .Add(
                [](const IniFile& ini, S& s) {
                    s.reset = ResetChoiceFromSettings(ini.ReadBool("Setup", "GMGSReset", false),
                                                      ini.ReadBool("Setup", "GSGMReset", false),
                                                      ini.ReadBool("Setup", "GMReset", false),
                                                      ini.ReadBool("Setup", "GSReset", false),
                                                      ini.ReadBool("Setup", "XGReset", false),
                                                      ini.ReadBool("Setup", "GM2Reset", false),
                                                      ini.ReadBool("Setup", "MT32Reset", false));
                },
                [](IniFile& ini, const S& s) {
                    ini.WriteBool("Setup", "GMGSReset", s.reset == ResetChoice::GMThenGS);
                    ini.WriteBool("Setup", "GSGMReset", s.reset == ResetChoice::GSThenGM);
                    ini.WriteBool("Setup", "GMReset", s.reset == ResetChoice::GMOnly);
                    ini.WriteBool("Setup", "GSReset", s.reset == ResetChoice::GSOnly);
                    ini.WriteBool("Setup", "XGReset", s.reset == ResetChoice::XGOnly);
                    ini.WriteBool("Setup", "GM2Reset", s.reset == ResetChoice::GM2Only);
                    ini.WriteBool("Setup", "MT32Reset", s.reset == ResetChoice::MT32Only);
                })
            .Add("ResetWait", &S::resetWaitMs, PlayProgram::kDefaultResetWaitMs)
            .Add("LaunchOnWinStart", &S::launchOnWinStart, true);
    return keys;
}

// "Top" or "Left" below 5 reads as 10, so that a window is never placed off the screen's edge.
IniKeys<S>::ReadStep AtLeastFive(const char* key, int S::*field) {
    return [=](const IniFile& ini, S& s) {
        int value = ini.ReadInteger("Format", key, 100);
        s.*field = value < 5 ? 10 : value;
    };
}
IniKeys<S>::WriteStep Plain(const char* key, int S::*field) {
    return [=](IniFile& ini, const S& s) { ini.WriteInteger("Format", key, s.*field); };
}

// The window's bounds, which a maximised window leaves as they were.
const IniKeys<S>& BoundsKeys() {
    static const IniKeys<S> keys = IniKeys<S>("Format")
                                       .Add(AtLeastFive("Top", &S::top), Plain("Top", &S::top))
                                       .Add(AtLeastFive("Left", &S::left), Plain("Left", &S::left))
                                       .Add("Height", &S::height, 400)
                                       .Add("Width", &S::width, 585);
    return keys;
}

// The album panel's width and the tab colours, kept however the window was left: a separator
// moved while the window was maximised is the user's choice too.
const IniKeys<S>& LookKeys() {
    static const IniKeys<S> keys = IniKeys<S>("Format")
                                       .Add("AlbPanelWidth", &S::albPanelWidth, 200)
                                       .Add("TabActiveColor", &S::tabActiveColor, kSilver)
                                       .Add("TabActiveFontColor", &S::tabActiveFontColor, kGreen);
    return keys;
}

const IniKeys<S>& WindowKeys() {
    static const IniKeys<S> keys =
        IniKeys<S>("Window")
            .Add("Maximized", &S::maximized, false)
            .Add("AlbumTab", &S::albumTab, 0)
            .Add("CategoryTab", &S::categoryTab, 0)
            .Add("AlbumDetails", &S::albumDetails, true)
            .Add("SortColumns", &S::sortColumns, std::string())
            .Add("ColumnWidths", &S::columnWidths, std::string())
            .Add("CategoryColumnWidths", &S::categoryColumnWidths, std::string())
            .Add("SynthLeft", &S::synthLeft, 65535)
            .Add("SynthRight", &S::synthRight, 65535)
            .Add("SynthMuted", &S::synthMuted, false);
    return keys;
}

} // namespace

MainWindowSettings MainWindowSettings::Read(const IniFile& ini) {
    MainWindowSettings s;
    for (const IniKeys<S>* keys : {&SetupKeys(), &BoundsKeys(), &LookKeys(), &WindowKeys()})
        keys->Read(ini, s);
    s.sizeStored = ini.ValueExists("Format", "Width") && ini.ValueExists("Format", "Height");
    return s;
}

void MainWindowSettings::Write(IniFile& ini, bool maximised) const {
    SetupKeys().Write(ini, *this);
    // A maximised window says nothing about the size the user chose.
    if (!maximised)
        BoundsKeys().Write(ini, *this);
    LookKeys().Write(ini, *this);
    WindowKeys().Write(ini, *this);
}

} // namespace tunquil
