#pragma once
// Where Tunquil keeps its database, settings and work directories.

#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>

namespace tunquil {

// The program directory, chosen in this order: `explicitHome` (the --home option), the
// TUNQUIL_HOME variable (a choice of the user as --home is), the executable's own directory
// when it is a safe portable copy (see PortableDirectory), $XDG_DATA_HOME/Tunquil
// (~/.local/share/Tunquil). The directory is created when missing. Throws FileError when it
// cannot be created.
std::filesystem::path FindProgramDirectory(const std::string& explicitHome = {});

// What the choice depends on, so that each rule can be tried without installing anything.
struct ProgramDirectoryInputs {
    std::string home;                          // --home
    std::string environmentHome;               // TUNQUIL_HOME
    std::filesystem::path executableDirectory; // the folder of the running executable
    uid_t user = 0;                            // the effective user
    std::filesystem::path dataHome;            // $XDG_DATA_HOME or its default
};
// The program directory for these inputs, neither created nor made absolute.
std::filesystem::path ChooseProgramDirectory(const ProgramDirectoryInputs& inputs);

// The inputs of this process: `explicitHome`, TUNQUIL_HOME, its executable, its user, its
// data home.
ProgramDirectoryInputs CurrentProgramDirectoryInputs(const std::string& explicitHome);

// A library the choice passes over: the executable's folder holds a database but is no portable
// copy (no marker, or a folder others could write to), and nothing named another directory, so
// the library in the data home is used instead. Empty when there is none.
std::optional<std::filesystem::path> PassedOverLibrary(const ProgramDirectoryInputs& inputs);

// The executable's folder when it is a portable copy that `user` may trust: it holds a file
// named "portable", belongs to `user`, and neither its group nor others may write to it, so
// that nobody else can plant a database or settings there. Never for root: a program run as
// root must not read its settings from wherever its executable happens to lie.
std::optional<std::filesystem::path> PortableDirectory(const std::filesystem::path& executableDir,
                                                       uid_t user);

// The name of the marker file of a portable copy.
inline constexpr const char* kPortableMarker = "portable";

// The program's scratch folder for unpacked and staged tunes, below the program directory.
inline std::filesystem::path TrashDirectory(const std::filesystem::path& programDirectory) {
    return programDirectory / "TempTrash";
}

// The settings file. Every part reads and writes this one path, whatever the executable is
// called, so that a setting written at shut-down is the one read at the next start.
inline std::filesystem::path SettingsPath(const std::filesystem::path& programDirectory) {
    return programDirectory / "Tunquil.ini";
}

// The user's home folder: $HOME, else the account's folder from the password database.
std::filesystem::path HomeDirectory();

// The directory holding the running executable.
std::filesystem::path ExecutableDirectory();

} // namespace tunquil
