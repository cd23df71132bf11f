#pragma once
// Counting running programs by name, where the desktop has no window titles to count.

#include <filesystem>
#include <string_view>

namespace tunquil::platform {

// Processes whose command name contains `part`, a-z case ignored. `proc` is the process file
// system's mount point; tests hand in a folder of their own.
int CountProcessesNamed(std::string_view part, const std::filesystem::path& proc = "/proc");

} // namespace tunquil::platform
