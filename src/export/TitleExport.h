#pragma once
// Taking a title's MIDI data out of the database into an ordinary file, and naming such files
// after title texts without letting a title pick the directory.

#include "base/Host.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace tunquil {

class TMyDB;

// Writes the title's MIDI file to `target`; with `zip`, leaves target + ".mid" and a ZIP
// archive target + ".zip" holding it instead. An existing target is replaced only once the
// new file is complete (also across file systems). False on failure, with the reason in
// `error` (unpacking problems are also shown through the host).
bool ExportTitle(TMyDB& db, IHost& host, const std::filesystem::path& programDirectory,
                 int32_t masterKey, const std::filesystem::path& target, bool zip,
                 std::string* error = nullptr);

// A file name made from a title text: "/", "\\", NUL and control characters become "_"; a
// name that is empty, "." or ".." becomes the master key.
std::string SafeTitleFileName(const std::string& title, int32_t masterKey);

// Where a title's MIDI file goes in a folder of such files: dir/<safe name>.mid, or
// dir/<safe name> (<master key>).mid when a file of the plain name is there already.
std::filesystem::path TitleFileIn(const std::filesystem::path& dir, const std::string& title,
                                  int32_t masterKey);

} // namespace tunquil
