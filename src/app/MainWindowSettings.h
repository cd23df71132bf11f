#pragma once
// The settings that the main window owns, as Tunquil.ini keeps them: read at start-up, written
// at shut-down. Keys are stored exactly as named here; other keys of the file stay untouched.

#include "app/PlayProgram.h"

#include <cstdint>
#include <string>

namespace tunquil {

class IniFile;

// Colours as the file stores them: 0x00BBGGRR.
constexpr uint32_t kSilver = 12632256;
constexpr uint32_t kGreen = 32768;

struct MainWindowSettings {
    bool showTools = true;
    bool showAllHints = true;
    bool showAlbTabs = true;
    bool showCatTabs = true;
    bool confirmBeforeExit = true;
    bool remindToScan = true;
    bool autoLooping = true;
    // The speed and key of the play program, kept for the next titles (and the next start)
    // only while `keepTempo` holds.
    bool keepTempo = false;
    int tempoPercent = 100;
    int transpose = 0;
    ResetChoice reset = ResetChoice::None;
    // Milliseconds between an XG, GM2 or MT-32 reset and the title.
    int resetWaitMs = PlayProgram::kDefaultResetWaitMs;
    bool launchOnWinStart = true;
    int albPanelWidth = 200;
    int top = 100;
    int left = 100;
    int height = 400;
    int width = 585;
    // Whether the file held the size: before it does, the window is sized for its screen.
    bool sizeStored = false;
    uint32_t tabActiveColor = kSilver;
    uint32_t tabActiveFontColor = kGreen;

    // How the window was left, so that it comes back as it was ([Window]).
    bool maximized = false;
    int albumTab = 0;
    int categoryTab = 0;
    bool albumDetails = true;
    // "key:column" pairs ("d" after a column sorted the other way), comma-separated: the
    // all-titles grid as key 0, each category grid by its category key; the all-titles
    // grid's column widths in pixels, comma-separated; each category grid's as "key:widths"
    // pairs, comma-separated, the widths apart by spaces ("7:120 80 200").
    std::string sortColumns;
    std::string columnWidths;
    std::string categoryColumnWidths;
    // Our synthesizer's volume (0 to 65535 a side) and mute, as the mixer left them.
    int synthLeft = 65535;
    int synthRight = 65535;
    bool synthMuted = false;

    // Missing keys read as the defaults above; a "Top" or "Left" below 5 is used as 10.
    static MainWindowSettings Read(const IniFile& ini);
    // The "Setup" keys, the album panel's width, the window's bounds unless `maximised`, the
    // tab colours and the [Window] keys.
    void Write(IniFile& ini, bool maximised) const;
};

} // namespace tunquil
