#include "database/ListFile.h"

namespace tunquil {

std::string ReadRecordFile(const fs::path& path, std::size_t recordSize) {
    std::string bytes = ReadWholeFile(path);
    bytes.resize(bytes.size() / recordSize * recordSize);
    return bytes;
}

} // namespace tunquil
