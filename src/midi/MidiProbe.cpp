#include "midi/MidiProbe.h"

#include "base/Files.h"

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tunquil {

// Only the first four bytes and the length are needed, so the rest of the file is not read;
// scans probe thousands of files.
TMidiProbe ProbeMidiFile(const std::string& path) {
    TMidiProbe result;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return result;
    struct stat st;
    char id[4];
    bool ok = ::fstat(fd, &st) == 0 && ReadExactAt(fd, id, sizeof id, 0);
    ::close(fd);
    if (!ok)
        return result;
    result.size = st.st_size;
    if (std::memcmp(id, "MThd", 4) == 0)
        result.kind = 1;
    else if (std::memcmp(id, "RIFF", 4) == 0)
        result.kind = 2;
    else
        result.kind = 0;
    return result;
}

} // namespace tunquil
