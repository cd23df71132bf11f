#pragma once
// Taking a title's MIDI data out of the database into an ordinary file, and naming such files
// after title texts without letting a title pick the directory.

#include "base/Host.h"

#include <cstdint>
#include <filesystem>
#include <set>
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

// Where the MIDI files of titles go in one folder: dir/<safe name>.mid, or
// dir/<safe name> (<master key>).mid when that name is taken. A name is taken once given out
// in any letter case, since the ZIP archives made of such files tell names apart without
// regard to case, or when a file of that name is there already.
class TitleFileNames {
public:
    explicit TitleFileNames(std::filesystem::path dir) : dir_(std::move(dir)) {}
    std::filesystem::path For(const std::string& title, int32_t masterKey);

private:
    bool Taken(const std::string& fileName) const;

    std::filesystem::path dir_;
    std::set<std::string> given_; // upper-cased
};

} // namespace tunquil
