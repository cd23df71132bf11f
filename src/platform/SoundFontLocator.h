#pragma once

#include <filesystem>
#include <string>

namespace tunquil::platform {

// The SoundFont the synthesizer loads, searched in this order: `configured` (the setting),
// $TUNQUIL_SOUNDFONT, /usr/share/sounds/sf2/default-GM.sf2, FluidR3_GM.sf2, TimGM6mb.sf2, then
// the first *.sf3/*.sf2 of /usr/share/sounds/sf3. Empty when there is none.
std::filesystem::path LocateSoundFont(const std::string& configured = {});

} // namespace tunquil::platform
