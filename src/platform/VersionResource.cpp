#include "platform/VersionResource.h"

#include "base/Files.h"
#include "base/Text.h"

#include <vector>

namespace tunquil::platform {

namespace {

constexpr uint32_t kVersionType = 16; // RT_VERSION

// A view of the file that answers "not there" for every read outside it.
class Bytes {
public:
    explicit Bytes(std::string_view data) : data_(data) {}
    std::size_t size() const { return data_.size(); }
    bool Has(uint64_t offset, uint64_t length) const {
        return offset <= data_.size() && length <= data_.size() - offset;
    }
    bool U16(uint64_t offset, uint16_t& v) const {
        if (!Has(offset, 2))
            return false;
        v = static_cast<uint16_t>(Byte(offset) | Byte(offset + 1) << 8);
        return true;
    }
    bool U32(uint64_t offset, uint32_t& v) const {
        uint16_t lo, hi;
        if (!U16(offset, lo) || !U16(offset + 2, hi))
            return false;
        v = static_cast<uint32_t>(lo) | static_cast<uint32_t>(hi) << 16;
        return true;
    }

private:
    unsigned Byte(uint64_t offset) const {
        return static_cast<unsigned char>(data_[static_cast<std::size_t>(offset)]);
    }
    std::string_view data_;
};

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | cp >> 6);
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | cp >> 12);
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | cp >> 18);
        out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// UTF-16LE from `offset` up to a NUL or `end`; `next` gets the offset past the NUL (or `end`).
std::string ReadUtf16(const Bytes& b, uint64_t offset, uint64_t end, uint64_t& next) {
    std::string out;
    uint16_t unit = 0;
    while (offset + 2 <= end && b.U16(offset, unit)) {
        offset += 2;
        if (unit == 0) {
            next = offset;
            return out;
        }
        uint32_t cp = unit;
        if (unit >= 0xD800 && unit < 0xDC00) {
            uint16_t low = 0;
            if (offset + 2 <= end && b.U16(offset, low) && low >= 0xDC00 && low < 0xE000) {
                offset += 2;
                cp = 0x10000 + ((unit - 0xD800u) << 10) + (low - 0xDC00u);
            } else {
                cp = 0xFFFD;
            }
        } else if (unit >= 0xDC00 && unit < 0xE000) {
            cp = 0xFFFD;
        }
        AppendUtf8(out, cp);
    }
    next = end;
    return out;
}

uint64_t Align4(uint64_t base, uint64_t offset) {
    return base + ((offset - base + 3) & ~uint64_t{3});
}

// One block of the version resource: wLength, wValueLength, wType, the key, its value and
// children, each aligned to 32 bits from the start of the resource.
struct Block {
    std::string key;
    uint64_t valueOffset = 0, valueEnd = 0; // the value's bytes
    uint64_t childrenOffset = 0, end = 0;
    bool text = false;
};

bool ReadBlock(const Bytes& b, uint64_t base, uint64_t offset, uint64_t limit, Block& block) {
    uint16_t length, valueLength, type;
    if (!b.U16(offset, length) || !b.U16(offset + 2, valueLength) || !b.U16(offset + 4, type))
        return false;
    if (length < 6 || offset + length > limit)
        return false;
    block.end = offset + length;
    uint64_t afterKey = block.end;
    block.key = ReadUtf16(b, offset + 6, block.end, afterKey);
    block.text = type == 1;
    block.valueOffset = std::min(Align4(base, afterKey), block.end);
    // A text value's length counts UTF-16 units; a binary one counts bytes.
    uint64_t valueBytes = block.text ? uint64_t{valueLength} * 2 : valueLength;
    block.valueEnd = std::min(block.valueOffset + valueBytes, block.end);
    block.childrenOffset = std::min(Align4(base, block.valueEnd), block.end);
    return true;
}

template <class Visit>
void ForEachChild(const Bytes& b, uint64_t base, const Block& parent, Visit&& visit) {
    uint64_t offset = parent.childrenOffset;
    Block child;
    while (offset < parent.end && ReadBlock(b, base, offset, parent.end, child)) {
        visit(child);
        uint64_t next = Align4(base, child.end);
        if (next <= offset)
            break;
        offset = next;
    }
}

struct Section {
    uint32_t virtualAddress, virtualSize, rawSize, rawOffset;
};

// The file offset of `length` bytes at relative virtual address `rva`, when a section holds
// them in the file.
bool FileOffsetOf(const Bytes& b, const std::vector<Section>& sections, uint32_t rva,
                  uint32_t length, uint64_t& offset) {
    for (const Section& s : sections) {
        uint64_t start = s.virtualAddress;
        uint64_t inFile = s.rawSize;
        if (rva < start || rva - start >= inFile)
            continue;
        uint64_t delta = rva - start;
        if (length > inFile - delta)
            return false;
        offset = uint64_t{s.rawOffset} + delta;
        return b.Has(offset, length);
    }
    return false;
}

// The first entry of a resource directory with id `id` (any when `id` is 0); `target` gets
// its offset within the resource section and `isDirectory` what it points at.
bool FindEntry(const Bytes& b, uint64_t resource, uint64_t resourceSize, uint64_t directory,
               uint32_t id, uint32_t& target, bool& isDirectory) {
    uint16_t named, ids;
    if (directory + 16 > resourceSize || !b.U16(resource + directory + 12, named) ||
        !b.U16(resource + directory + 14, ids))
        return false;
    uint32_t count = uint32_t{named} + ids;
    for (uint32_t i = 0; i < count; ++i) {
        uint64_t entry = directory + 16 + uint64_t{i} * 8;
        uint32_t name, data;
        if (entry + 8 > resourceSize || !b.U32(resource + entry, name) ||
            !b.U32(resource + entry + 4, data))
            return false;
        bool byName = name & 0x80000000u;
        if (id != 0 && (byName || name != id))
            continue;
        target = data & 0x7FFFFFFFu;
        isDirectory = data & 0x80000000u;
        return true;
    }
    return false;
}

} // namespace

std::optional<VersionStrings> ReadVersionStrings(std::string_view fileBytes,
                                                 std::string_view languageCodePage) {
    Bytes b(fileBytes);
    uint16_t mz;
    uint32_t peOffset, signature;
    if (!b.U16(0, mz) || mz != 0x5A4D || !b.U32(0x3C, peOffset) || !b.U32(peOffset, signature) ||
        signature != 0x00004550)
        return std::nullopt;
    const uint64_t coff = uint64_t{peOffset} + 4;
    uint16_t sectionCount, optionalSize, magic;
    if (!b.U16(coff + 2, sectionCount) || !b.U16(coff + 16, optionalSize) ||
        !b.U16(coff + 20, magic))
        return std::nullopt;
    const uint64_t optional = coff + 20;
    uint64_t countField, directories;
    if (magic == 0x10B) {
        countField = 92;
        directories = 96;
    } else if (magic == 0x20B) {
        countField = 108;
        directories = 112;
    } else {
        return std::nullopt;
    }
    uint32_t directoryCount, resourceRva, resourceSize;
    if (!b.U32(optional + countField, directoryCount) || directoryCount < 3 ||
        directories + 3 * 8 > optionalSize || !b.U32(optional + directories + 2 * 8, resourceRva) ||
        !b.U32(optional + directories + 2 * 8 + 4, resourceSize) || resourceRva == 0)
        return std::nullopt;

    std::vector<Section> sections;
    const uint64_t table = optional + optionalSize;
    for (uint32_t i = 0; i < sectionCount; ++i) {
        uint64_t at = table + uint64_t{i} * 40;
        Section s;
        if (!b.U32(at + 8, s.virtualSize) || !b.U32(at + 12, s.virtualAddress) ||
            !b.U32(at + 16, s.rawSize) || !b.U32(at + 20, s.rawOffset))
            return std::nullopt;
        sections.push_back(s);
    }

    // The resource section as far as the file holds it.
    uint64_t resource;
    uint32_t available = 0;
    for (const Section& s : sections)
        if (resourceRva >= s.virtualAddress && resourceRva - s.virtualAddress < s.rawSize)
            available = s.rawSize - (resourceRva - s.virtualAddress);
    if (!FileOffsetOf(b, sections, resourceRva, 16, resource))
        return std::nullopt;
    uint64_t extent = std::min<uint64_t>(available, b.size() - resource);

    // Type, then name, then language: the first version resource of any name and language.
    uint32_t offset = 0;
    bool isDirectory = true;
    for (uint32_t id : {kVersionType, 0u, 0u}) {
        if (!isDirectory || !FindEntry(b, resource, extent, offset, id, offset, isDirectory))
            return std::nullopt;
    }
    uint32_t dataRva, dataSize;
    if (isDirectory || offset + uint64_t{16} > extent || !b.U32(resource + offset, dataRva) ||
        !b.U32(resource + offset + 4, dataSize))
        return std::nullopt;
    uint64_t data;
    if (!FileOffsetOf(b, sections, dataRva, dataSize, data))
        return std::nullopt;

    Block root;
    if (!ReadBlock(b, data, data, data + dataSize, root) || root.key != "VS_VERSION_INFO")
        return std::nullopt;
    std::optional<VersionStrings> result;
    ForEachChild(b, data, root, [&](const Block& info) {
        if (info.key != "StringFileInfo" || result)
            return;
        ForEachChild(b, data, info, [&](const Block& table) {
            if (result || !SameTextIgnoringCase(table.key, languageCodePage))
                return;
            result.emplace();
            ForEachChild(b, data, table, [&](const Block& entry) {
                uint64_t next;
                (*result)[entry.key] = ReadUtf16(b, entry.valueOffset, entry.valueEnd, next);
            });
        });
    });
    return result;
}

std::optional<VersionStrings> ReadVersionStringsOfFile(const std::filesystem::path& path,
                                                       std::string_view languageCodePage,
                                                       uint64_t maxSize) {
    std::string bytes;
    try {
        bytes = ReadInputFile(path, maxSize);
    } catch (const FileError&) {
        return std::nullopt;
    }
    return ReadVersionStrings(bytes, languageCodePage);
}

} // namespace tunquil::platform
