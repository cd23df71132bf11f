#pragma once
// A tune's playing time in whole seconds, as the database stores it as a title's duration.

#include <cstddef>
#include <cstdint>
#include <string>

namespace tunquil {

class TMidiData;

// -1 when the file cannot be loaded and parsed, 0 when it loads but its time cannot be computed
// (or does not fit), otherwise the duration in seconds, truncated. `midiData` is used for the
// load and left inactive in every case.
int GetTuneTime(TMidiData& midiData, const std::string& path);
// The same for a whole file held in memory.
int GetTuneTime(TMidiData& midiData, const uint8_t* bytes, std::size_t size);

} // namespace tunquil
