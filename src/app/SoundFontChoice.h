#pragma once
// The user's SoundFont: "[Sound] SoundFont=" in Tunquil.ini, searched before the usual places.
// A choice that cannot be loaded is refused with a message and the SoundFont in use stays.

#include "base/Host.h"
#include "base/IniFile.h"

#include <functional>
#include <string>

namespace tunquil {

// The setting; empty when none was chosen.
std::string SoundFontSetting(const IniFile& ini);

// The message for a SoundFont that cannot be loaded.
std::string SoundFontRefusedText(const std::string& path);

// Makes `path` the SoundFont (empty: back to the usual search). The file is checked first; a
// file that is no SoundFont, or that `applyToDevice` refuses (a non-zero device error), is
// reported through `host` and changes neither the setting nor the device. Otherwise the
// setting is written at once. True when the choice was taken.
bool ChooseSoundFont(IHost& host, IniFile& ini, const std::string& path,
                     const std::function<uint32_t(const std::string&)>& applyToDevice);

} // namespace tunquil
