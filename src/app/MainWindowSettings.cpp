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
            // One choice kept as four flags.
            .Add(
                [](const IniFile& ini, S& s) {
                    s.reset = ResetChoiceFromSettings(ini.ReadBool("Setup", "GMGSReset", false),
                                                      ini.ReadBool("Setup", "GSGMReset", false),
                                                      ini.ReadBool("Setup", "GMReset", false),
                                                      ini.ReadBool("Setup", "GSReset", false));
                },
                [](IniFile& ini, const S& s) {
                    ini.WriteBool("Setup", "GMGSReset", s.reset == ResetChoice::GMThenGS);
                    ini.WriteBool("Setup", "GSGMReset", s.reset == ResetChoice::GSThenGM);
                    ini.WriteBool("Setup", "GMReset", s.reset == ResetChoice::GMOnly);
                    ini.WriteBool("Setup", "GSReset", s.reset == ResetChoice::GSOnly);
                })
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
                                       .Add("AlbPanelWidth", &S::albPanelWidth, 200)
                                       .Add(AtLeastFive("Top", &S::top), Plain("Top", &S::top))
                                       .Add(AtLeastFive("Left", &S::left), Plain("Left", &S::left))
                                       .Add("Height", &S::height, 400)
                                       .Add("Width", &S::width, 585);
    return keys;
}

const IniKeys<S>& ColourKeys() {
    static const IniKeys<S> keys = IniKeys<S>("Format")
                                       .Add("TabActiveColor", &S::tabActiveColor, kSilver)
                                       .Add("TabActiveFontColor", &S::tabActiveFontColor, kGreen);
    return keys;
}

} // namespace

MainWindowSettings MainWindowSettings::Read(const IniFile& ini) {
    MainWindowSettings s;
    for (const IniKeys<S>* keys : {&SetupKeys(), &BoundsKeys(), &ColourKeys()})
        keys->Read(ini, s);
    return s;
}

void MainWindowSettings::Write(IniFile& ini, bool maximised) const {
    SetupKeys().Write(ini, *this);
    // A maximised window says nothing about the size the user chose.
    if (!maximised)
        BoundsKeys().Write(ini, *this);
    ColourKeys().Write(ini, *this);
}

} // namespace tunquil
