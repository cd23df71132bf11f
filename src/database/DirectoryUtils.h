#pragma once
// The work-directory helpers: emptying a temporary directory and copying a file whole.

#include "base/Files.h"
#include "base/Host.h"

#include <string>

namespace tunquil {

// Deletes every file matching `mask` (case-insensitive) in `directory` and all its
// subdirectories. Refuses the program directory and every directory above it, with the notice
// "Error: Do not clear app directory". Symbolic links are never followed: a `directory` that is
// one is not cleared ("Potential error in ClearDirectory"), and links below it are files like
// any other. Files that cannot be deleted are skipped.
void ClearDirectory(IHost& host, const fs::path& programDirectory, const fs::path& directory,
                    const std::string& mask);

// Copies `source` whole to `target` (replaced). False when the source does not exist or a
// read or write fails (the failure shown). Throws FileError when both name the same file.
bool CopyWholeFile(IHost& host, const fs::path& source, const fs::path& target);

} // namespace tunquil
