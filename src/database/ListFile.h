#pragma once
// Reading and writing the fixed-size record files of the lists.

#include "base/Files.h"

#include <cstddef>
#include <string>

namespace tunquil {

// The whole file, cut down to whole records (a partial record at the end is ignored).
std::string ReadRecordFile(const fs::path& path, std::size_t recordSize);

} // namespace tunquil
