#pragma once
// A library beside the program that is no longer used: copies before the "portable" marker
// kept their database in the executable's folder, and a start that passes it over says so.

#include <filesystem>
#include <string>

namespace tunquil {

// The notice about a library the choice of the program directory passed over (see
// PassedOverLibrary), or "" when there is none or it was given before: each such folder is
// named once, and the program directory's Tunquil.ini remembers that it was.
std::string TakePassedOverLibraryNotice(const std::filesystem::path& programDirectory,
                                        const std::string& explicitHome);

// The text of the notice.
std::string PassedOverLibraryNotice(const std::filesystem::path& passedOver,
                                    const std::filesystem::path& programDirectory);

} // namespace tunquil
