#include "midi/MidiProbe.h"

#include "base/Files.h"

#include <cstring>

namespace tunquil {

// Only the first four bytes and the length are needed, so the rest of the file is not read;
// scans probe thousands of files.
TMidiProbe ProbeMidiFile(const std::string& path) {
    TMidiProbe result;
    char id[4];
    try {
        InputFile file(path);
        if (file.ReadAt(id, sizeof id, 0) < sizeof id)
            return result;
        result.size = file.Size();
    } catch (const FileError& e) {
        result.problem = e.what();
        result.error = e.code();
        return result;
    }
    if (std::memcmp(id, "MThd", 4) == 0)
        result.kind = 1;
    else if (std::memcmp(id, "RIFF", 4) == 0)
        result.kind = 2;
    else
        result.kind = 0;
    return result;
}

} // namespace tunquil
