#include "PeBytes.h"

namespace tunquil::test {

namespace {

void Pad4(std::string& s) {
    while (s.size() % 4)
        s += '\0';
}

// A version block: header, key, value and children, its length filled in at the end.
std::string VersionBlock(const std::u16string& key, const std::string& value, uint16_t valueLength,
                         bool text, const std::vector<std::string>& children) {
    std::string b(6, '\0');
    b += Utf16(key);
    Pad4(b);
    b += value;
    Pad4(b);
    for (const std::string& child : children) {
        b += child;
        Pad4(b);
    }
    Put16(b, 0, static_cast<uint32_t>(b.size()));
    Put16(b, 2, valueLength);
    Put16(b, 4, text ? 1 : 0);
    return b;
}

std::string StringEntry(const std::u16string& key, const std::u16string& value) {
    return VersionBlock(key, Utf16(value), static_cast<uint16_t>(value.size() + 1), true, {});
}

} // namespace

void Put16(std::string& s, std::size_t at, uint32_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>(v >> 8 & 0xFF);
}

void Put32(std::string& s, std::size_t at, uint32_t v) {
    Put16(s, at, v & 0xFFFF);
    Put16(s, at + 2, v >> 16);
}

std::string Utf16(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out + std::string(2, '\0');
}

std::string VersionInfo(const std::u16string& table,
                        const std::vector<std::pair<std::u16string, std::u16string>>& strings) {
    std::vector<std::string> entries;
    for (const auto& [k, v] : strings)
        entries.push_back(StringEntry(k, v));
    std::string fixed(52, '\0');
    Put32(fixed, 0, 0xFEEF04BD);
    return VersionBlock(u"VS_VERSION_INFO", fixed, 52, false,
                        {VersionBlock(u"StringFileInfo", "", 0, true,
                                      {VersionBlock(table, "", 0, true, entries)})});
}

// A PE32 file with one ".rsrc" section: type 16 > name 1 > language 0x409 > the data.
std::string PeFile(const std::string& versionInfo) {
    constexpr uint32_t kSectionRva = 0x1000, kRawOffset = 0x200;
    std::string rsrc(0x60, '\0');
    auto directory = [&](std::size_t at, uint32_t id, uint32_t target) {
        Put16(rsrc, at + 14, 1);
        Put32(rsrc, at + 16, id);
        Put32(rsrc, at + 20, target);
    };
    directory(0x00, 16, 0x80000000u | 0x18);
    directory(0x18, 1, 0x80000000u | 0x30);
    directory(0x30, 0x409, 0x48);
    Put32(rsrc, 0x48, kSectionRva + 0x60);
    Put32(rsrc, 0x4C, static_cast<uint32_t>(versionInfo.size()));
    rsrc += versionInfo;

    std::string file(kRawOffset, '\0');
    file[0] = 'M';
    file[1] = 'Z';
    Put32(file, 0x3C, 0x80);
    file.replace(0x80, 4, std::string("PE\0\0", 4));
    const std::size_t coff = 0x84, optional = coff + 20;
    Put16(file, coff, 0x14C);
    Put16(file, coff + 2, 1);
    Put16(file, coff + 16, 224);
    Put16(file, optional, 0x10B);
    Put32(file, optional + 92, 16);
    Put32(file, optional + 96 + 16, kSectionRva);
    Put32(file, optional + 96 + 20, static_cast<uint32_t>(rsrc.size()));
    const std::size_t section = optional + 224;
    file.replace(section, 5, ".rsrc");
    Put32(file, section + 8, static_cast<uint32_t>(rsrc.size()));
    Put32(file, section + 12, kSectionRva);
    Put32(file, section + 16, static_cast<uint32_t>(rsrc.size()));
    Put32(file, section + 20, kRawOffset);
    return file + rsrc;
}

} // namespace tunquil::test
