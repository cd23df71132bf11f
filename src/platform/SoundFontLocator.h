#pragma once

#include <filesystem>
#include <string>

namespace tunquil::platform {

// The SoundFont the synthesizer loads, searched in this order: `configured` (the setting),
// $TUNQUIL_SOUNDFONT, /usr/share/sounds/sf2/default-GM.sf2, FluidR3_GM.sf2, TimGM6mb.sf2, then
// the first *.sf3/*.sf2 of /usr/share/sounds/sf3. Empty when there is none.
std::filesystem::path LocateSoundFont(const std::string& configured = {});

// Whether the synthesizer can load `path` as a SoundFont: tried in a synthesizer of its own,
// so that a damaged file is found out before it is chosen, not when the next title plays.
bool CanLoadSoundFont(const std::filesystem::path& path);

// FluidSynth prints to the terminal by default; our own error texts say what went wrong.
void QuietSynthesizerLog();

} // namespace tunquil::platform
