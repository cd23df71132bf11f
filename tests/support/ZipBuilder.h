#pragma once
// Builds ZIP archive bytes by hand, so tests can make archives no well-behaved tool would write:
// lying sizes, symbolic links, encrypted flags, names with paths.

#include <cstdint>
#include <string>
#include <vector>

namespace tunquil::test {

struct ZipTestEntry {
    std::string name;
    std::string data;            // written as it is (stored unless `deflate`)
    bool deflate = false;        // compress `data` with raw Deflate first
    int64_t claimedSize = -1;    // uncompressed size in the headers; -1: the real one
    uint32_t unixMode = 0100644; // high half of the external attributes
    uint16_t flags = 0;          // general purpose bits (1 = encrypted)
};

std::string BuildZip(const std::vector<ZipTestEntry>& entries);

} // namespace tunquil::test
