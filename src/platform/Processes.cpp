#include "platform/Processes.h"

#include "base/Text.h"

#include <fstream>
#include <string>

namespace tunquil::platform {

int CountProcessesNamed(std::string_view part, const std::filesystem::path& proc) {
    const std::string wanted = UpperAscii(part);
    int count = 0;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(proc, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream comm(it->path() / "comm");
        std::string command;
        // A process that ended meanwhile has no comm any more; it no longer counts.
        if (std::getline(comm, command) && UpperAscii(command).find(wanted) != std::string::npos)
            ++count;
    }
    return count;
}

} // namespace tunquil::platform
