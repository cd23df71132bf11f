#include "base/ProgramDirectory.h"

#include "base/Files.h"

#include <cstdlib>
#include <unistd.h>

namespace tunquil {

fs::path ExecutableDirectory() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return fs::current_path();
    return exe.parent_path();
}

static fs::path XdgDataHome() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg == '/')
        return xdg;
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : "/tmp") / ".local" / "share";
}

fs::path FindProgramDirectory(const std::string& explicitHome) {
    fs::path dir;
    if (!explicitHome.empty()) {
        dir = explicitHome;
    } else if (const char* env = std::getenv("TUNQUIL_HOME"); env && *env) {
        dir = env;
    } else {
        fs::path exeDir = ExecutableDirectory();
        if (::access(exeDir.c_str(), W_OK) == 0)
            return exeDir;
        dir = XdgDataHome() / "Tunquil";
    }
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec || !fs::is_directory(dir))
        throw FileError("Cannot create the program directory " + dir.string() + ": " +
                        (ec ? ec.message() : std::string("not a directory")));
    return fs::absolute(dir).lexically_normal();
}

} // namespace tunquil
