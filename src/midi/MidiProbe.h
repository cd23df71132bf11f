#pragma once
// Tells what a file is by its first four bytes, whatever its name says.

#include <cstdint>
#include <string>

namespace tunquil {

// No tune file is read beyond this size: the sequencer plays nothing larger, and the data file
// (at most 2,147,483,647 bytes) could hold only a few such titles.
inline constexpr int64_t kLargestTuneFile = int64_t{256} << 20;

struct TMidiProbe {
    // 1: "MThd" (a Standard MIDI File); 2: "RIFF"; 0: anything else; -1: unreadable or shorter
    // than four bytes.
    int kind = -1;
    int64_t size = 0; // the file's length in bytes; 0 when kind is -1
    // Why an unreadable file could not be read (empty for one that is only short), with the
    // errno of the failed call (0 when none failed, as for a FIFO or a directory).
    std::string problem;
    int error = 0;
};

// Never throws, and never waits: a FIFO or a device is unreadable at once.
TMidiProbe ProbeMidiFile(const std::string& path);

} // namespace tunquil
