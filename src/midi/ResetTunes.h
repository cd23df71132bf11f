#pragma once
// The two device-reset tunes, "GMRESET" (General MIDI System On) and "GSRESET" (GS reset and
// voice reserve), the reset messages of XG, GM2 and MT-32 synthesizers, and their playback
// before a title.

#include "base/Host.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace tunquil {

class TMyMidi;

// The bytes of the reset tune named "GMRESET" or "GSRESET"; empty for any other name.
std::span<const uint8_t> ResetTuneBytes(std::string_view name);

// The reset message of "XG" (XG System On), "GM2" (General MIDI 2 System On) or "MT32" (the
// MT-32's reset of all parameters), as system-exclusive bytes; empty for any other name.
std::span<const uint8_t> ResetMessageBytes(std::string_view name);

// A Standard MIDI File that sends `message` at its start and ends `waitMs` milliseconds later,
// so that playing it resets the synthesizer and gives it that time before the title's first
// note.
std::string MakeResetTune(std::span<const uint8_t> message, int waitMs);

// Writes the tune to `file` and plays it on `player` to its end (or until `closing` answers
// true), keeping the user interface alive meanwhile, then stops and closes the player.
// Failures are ignored: a reset that cannot be played must not keep the title from playing.
void PlayResetTune(TMyMidi& player, std::string_view name, const std::filesystem::path& file,
                   IHost& host, const std::function<bool()>& closing);

} // namespace tunquil
