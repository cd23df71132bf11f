#include "base/ProgramDirectory.h"

#include "base/Files.h"

#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tunquil {

fs::path ExecutableDirectory() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return fs::current_path();
    return exe.parent_path();
}

fs::path HomeDirectory() {
    const char* home = std::getenv("HOME");
    if (home && *home == '/')
        return home;
    // Without HOME (a service, a cron job) the account's own folder; never a shared one such as
    // /tmp, where another user could have made the folders first.
    std::vector<char> buffer(16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && *found->pw_dir == '/')
        return found->pw_dir;
    return "/";
}

static fs::path XdgDataHome() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg == '/')
        return xdg;
    return HomeDirectory() / ".local" / "share";
}

std::optional<fs::path> PortableDirectory(const fs::path& executableDir, uid_t user) {
    if (user == 0)
        return std::nullopt;
    struct stat folder {};
    struct stat marker {};
    if (::stat(executableDir.c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode))
        return std::nullopt;
    if (folder.st_uid != user || (folder.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return std::nullopt;
    if (::lstat((executableDir / kPortableMarker).c_str(), &marker) != 0 ||
        !S_ISREG(marker.st_mode))
        return std::nullopt;
    return executableDir;
}

fs::path ChooseProgramDirectory(const ProgramDirectoryInputs& in) {
    if (!in.home.empty())
        return in.home;
    if (!in.environmentHome.empty())
        return in.environmentHome;
    if (auto portable = PortableDirectory(in.executableDirectory, in.user))
        return *portable;
    return in.dataHome / "Tunquil";
}

ProgramDirectoryInputs CurrentProgramDirectoryInputs(const std::string& explicitHome) {
    const char* env = std::getenv("TUNQUIL_HOME");
    return {explicitHome, env ? env : "", ExecutableDirectory(), ::geteuid(), XdgDataHome()};
}

std::optional<fs::path> PassedOverLibrary(const ProgramDirectoryInputs& in) {
    if (!in.home.empty() || !in.environmentHome.empty() ||
        PortableDirectory(in.executableDirectory, in.user))
        return std::nullopt;
    std::error_code ec;
    if (!fs::is_regular_file(in.executableDirectory / "Music.des", ec))
        return std::nullopt;
    return in.executableDirectory;
}

fs::path FindProgramDirectory(const std::string& explicitHome) {
    fs::path dir = ChooseProgramDirectory(CurrentProgramDirectoryInputs(explicitHome));
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec || !fs::is_directory(dir))
        throw FileError("Cannot create the program directory " + dir.string() + ": " +
                        (ec ? ec.message() : std::string("not a directory")));
    return fs::absolute(dir).lexically_normal();
}

} // namespace tunquil
