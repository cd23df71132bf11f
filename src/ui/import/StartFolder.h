#pragma once
// Where the file windows (the Load window, the drive scan) open: the folder the user chose
// there last, kept in Tunquil.ini, else the music folder of the home folder, else the home
// folder. Never the folder the program happened to be started from.

#include <QString>
#include <filesystem>

namespace tunquil::ui {

// `last` when it is still a folder; else `home`/Music when it exists; else `home`.
QString StartFolder(const QString& last, const QString& home);

// The folder kept under `section` ("LastFolder"); "" when none is kept or the file cannot be
// read (an unreadable settings file only costs the remembered folder).
QString ReadLastFolder(const std::filesystem::path& programDirectory, const char* section);
// Keeps `folder` for the next showing; a settings file that cannot be written is reported by
// the exception it throws.
void WriteLastFolder(const std::filesystem::path& programDirectory, const char* section,
                     const QString& folder);

} // namespace tunquil::ui
