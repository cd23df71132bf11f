#pragma once
// A temporary directory for one test, removed with everything in it afterwards.

#include <filesystem>
#include <string>
#include <string_view>

namespace tunquil::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

    // Writes `bytes` to `name` under the directory and returns its path.
    std::filesystem::path Write(const std::string& name, std::string_view bytes) const;

private:
    std::filesystem::path path_;
};

// Runs tunquilctl with `args` (a shell-quoted string appended to the command line); returns
// its exit status and puts standard output (and standard error, when asked) into `output`.
int RunCtl(const std::string& args, std::string& output, bool includeStderr = false);
// Runs a shell command line; returns its exit code with its standard output in `output`.
int RunShell(const std::string& cmd, std::string& output);

} // namespace tunquil::test
