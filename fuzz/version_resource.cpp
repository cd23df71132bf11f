// Feeds arbitrary bytes to the version-resource reader as a plug-in file held in memory: every
// offset and length in a PE file is the file's own claim, and none may be read past.

#include "platform/VersionResource.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto strings = tunquil::platform::ReadVersionStrings(bytes, "040904E4");
    std::size_t total = 0;
    if (strings)
        for (const auto& [key, value] : *strings)
            total += key.size() + value.size();
    // Converted text is at most twice the UTF-16 it came from, and that lies inside the file.
    if (total > 2 * size)
        __builtin_trap();
    return 0;
}
