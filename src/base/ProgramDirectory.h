#pragma once
// Where Tunquil keeps its database, settings and work directories.

#include <filesystem>
#include <string>

namespace tunquil {

// The program directory, chosen in this order: `explicitHome` (the --home option), the
// TUNQUIL_HOME variable, the executable's own directory when it is writable (a portable copy),
// $XDG_DATA_HOME/Tunquil (~/.local/share/Tunquil). The directory is created when missing.
// Throws FileError when it cannot be created.
std::filesystem::path FindProgramDirectory(const std::string& explicitHome = {});

// The program's scratch folder for unpacked and staged tunes, below the program directory.
inline std::filesystem::path TrashDirectory(const std::filesystem::path& programDirectory) {
    return programDirectory / "TempTrash";
}

// The settings file. Every part reads and writes this one path, whatever the executable is
// called, so that a setting written at shut-down is the one read at the next start.
inline std::filesystem::path SettingsPath(const std::filesystem::path& programDirectory) {
    return programDirectory / "Tunquil.ini";
}

// The directory holding the running executable.
std::filesystem::path ExecutableDirectory();

} // namespace tunquil
