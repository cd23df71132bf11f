#pragma once
// The version strings of a Windows executable or library (a browser plug-in file): the string
// table of its version resource for one language and code page. Plug-in files come from
// anywhere on the disk, so every offset and length in them is checked against the bytes
// actually there; a file that is not such a file simply has no version information.

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace tunquil::platform {

// Key to value, both converted from UTF-16 to UTF-8.
using VersionStrings = std::map<std::string, std::string>;

// The string table `languageCodePage` (eight hex digits, such as "040904E4", compared without
// regard to case) of the file's version resource; nullopt when the bytes are no PE file, hold
// no version resource, or that table is missing.
std::optional<VersionStrings> ReadVersionStrings(std::string_view fileBytes,
                                                 std::string_view languageCodePage);

// The same for a file on disk. Files beyond `maxSize` and files that cannot be read count as
// having no version information.
std::optional<VersionStrings> ReadVersionStringsOfFile(const std::filesystem::path& path,
                                                       std::string_view languageCodePage,
                                                       uint64_t maxSize = 64u << 20);

} // namespace tunquil::platform
