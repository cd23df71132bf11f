#pragma once
// The records of the list files: Categories.des (68 bytes), Artists.des (104) and
// Albums_A.des (72). The runtime handles the records once carried are zero on disk here.

#include <cstddef>
#include <cstdint>
#include <string>

namespace tunquil {

constexpr std::size_t kCategoryRecordSize = 68;
constexpr std::size_t kPerformerRecordSize = 104;
constexpr std::size_t kAlbumRecordSize = 72;
constexpr std::size_t kListNameCapacity = 40;      // category, album and full performer name
constexpr std::size_t kPerformerNameCapacity = 25; // first and last name

struct CategoryRecord {
    int32_t ck = 0;
    int32_t titleCount = 0;    // as last computed by the views
    int32_t totalDuration = 0; // seconds, as last computed
    std::string name;
    bool operator==(const CategoryRecord&) const = default;
};

struct PerformerRecord {
    int32_t pk = 0;
    std::string firstName; // as entered, not trimmed
    std::string lastName;
    std::string fullName; // JoinFullName(first, last)
    bool operator==(const PerformerRecord&) const = default;
};

struct AlbumRecord {
    int32_t albumKey = 0;
    int32_t titleCount = 0;
    int32_t totalDuration = 0;
    std::string name;
    bool operator==(const AlbumRecord&) const = default;
};

// Encode writes a whole new record; Patch writes over the bytes a record was read from,
// leaving a text field alone when it already reads as the value.
void EncodeCategoryRecord(const CategoryRecord& record, char* out);
void PatchCategoryRecord(const CategoryRecord& record, char* bytes);
CategoryRecord DecodeCategoryRecord(const char* bytes);
void EncodePerformerRecord(const PerformerRecord& record, char* out);
void PatchPerformerRecord(const PerformerRecord& record, char* bytes);
PerformerRecord DecodePerformerRecord(const char* bytes);
void EncodeAlbumRecord(const AlbumRecord& record, char* out);
void PatchAlbumRecord(const AlbumRecord& record, char* bytes);
AlbumRecord DecodeAlbumRecord(const char* bytes);

} // namespace tunquil
