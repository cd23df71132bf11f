#pragma once
// Small Standard MIDI Files built in the test, so the fixtures are visible in the code.

#include <string>

namespace tunquil::test {

// A format-0 file at one second per quarter note whose last note ends after `seconds` quarter
// notes; `tag` goes into a text event so files with equal lengths still differ.
std::string SmallMidiFile(int seconds = 3, const std::string& tag = "");
// A RIFF RMID file whose "data" chunk is `smf`.
std::string RmidFile(const std::string& smf);

} // namespace tunquil::test
