#pragma once
// Small Windows PE files with a version resource, built byte by byte for the plug-in tests.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tunquil::test {

void Put16(std::string& s, std::size_t at, uint32_t v);
void Put32(std::string& s, std::size_t at, uint32_t v);
// UTF-16LE with its terminating NUL.
std::string Utf16(const std::u16string& text);
// VS_VERSION_INFO holding one string table `table` ("040904E4") with `strings`.
std::string VersionInfo(const std::u16string& table,
                        const std::vector<std::pair<std::u16string, std::u16string>>& strings);
// A PE32 file with one ".rsrc" section: type 16 > name 1 > language 0x409 > `versionInfo`.
// Its resource section starts at file offset 0x200.
std::string PeFile(const std::string& versionInfo);

} // namespace tunquil::test
