#pragma once
// The failures of the MIDI reader. Callers tell them apart only by class and message text; the
// texts are fixed because the import code and its tests compare them.

#include <stdexcept>

namespace tunquil {

// A Standard MIDI File that breaks the format's rules.
class EMidiData : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A track's event array would outgrow its fixed capacity.
class EVirtualMemory : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The file (or buffer) ends inside the header, a chunk length or a chunk.
class EStreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace tunquil
