#pragma once
// A title's MIDI data are kept as a ZIP archive with exactly one entry (as a rule
// "AAATune.TTT"). These make and open such an archive.

#include "base/Host.h"

#include <filesystem>
#include <string>

namespace tunquil {

// The entry name of every stored-tune archive this program makes.
inline constexpr const char* kStoredTuneEntry = "AAATune.TTT";

// Makes a new archive at `archive` (replacing any file there) holding `source` under its bare
// name. Throws EZipError.
bool ZipOneFile(const std::filesystem::path& source, const std::filesystem::path& archive);

// Unpacks the single entry of `archive` into `destination` and sets `extracted` to its path.
// Problems are shown through `host` as errors with an Abort button; the result is false then,
// so the caller never goes on with a path that names no file.
bool UnzipOneFile(IHost& host, const std::filesystem::path& archive,
                  const std::filesystem::path& destination, std::filesystem::path& extracted);

// The same for an archive held in memory, such as a title's stored data read from the
// database; the same messages, apart from those about reading the archive file.
bool UnzipOneTune(IHost& host, std::string archiveBytes, const std::filesystem::path& destination,
                  std::filesystem::path& extracted);

// The tune a stored-tune archive held in memory keeps, unpacked and checked (size, CRC) as the
// player and the export unpack it. Throws EZipError with the message they would show.
std::string UnpackStoredTune(std::string archiveBytes);

} // namespace tunquil
