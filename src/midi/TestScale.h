#pragma once
// The short scale an output is tried with: a piano plays C major up an octave, a note every
// 150 ms, in well under two seconds.

#include <string>

namespace tunquil {

// The bytes of a Standard MIDI File of the scale.
std::string MakeTestScale();
// How long it plays, in milliseconds.
constexpr int kTestScaleMs = 8 * 150;

} // namespace tunquil
