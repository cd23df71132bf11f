#pragma once
// The work directories of the program directory: created when missing and emptied of their
// leftovers (by mask) at every start.

#include "base/Host.h"

#include <filesystem>
#include <string>
#include <vector>

namespace tunquil {

struct WorkDirectory {
    const char* name;
    std::vector<std::string> masks; // none: created, never cleared
};

const std::vector<WorkDirectory>& WorkDirectories();

// Creates each work directory under `programDirectory` when missing and deletes the files in it
// that match its masks. A symbolic link in a work directory's place is replaced by a directory.
// A directory that cannot be created is reported and the others still prepared.
void PrepareWorkDirectories(IHost& host, const std::filesystem::path& programDirectory);

} // namespace tunquil
