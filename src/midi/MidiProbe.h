#pragma once
// Tells what a file is by its first four bytes, whatever its name says.

#include <cstdint>
#include <string>

namespace tunquil {

struct TMidiProbe {
    // 1: "MThd" (a Standard MIDI File); 2: "RIFF"; 0: anything else; -1: unreadable or shorter
    // than four bytes.
    int kind = -1;
    int64_t size = 0; // the file's length in bytes; 0 when kind is -1
};

// Never throws.
TMidiProbe ProbeMidiFile(const std::string& path);

} // namespace tunquil
