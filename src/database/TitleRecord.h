#pragma once
// The 324-byte title record: the record of Music.des, the form in which TMyDB hands titles
// out, and (with an album key) the record of the album entries file. Offsets and capacities are
// those of the files written by every earlier version; they must never change.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tunquil {

constexpr std::size_t kTitleRecordSize = 324;
using TitleRecordBytes = std::array<char, kTitleRecordSize>;

// Capacities in bytes of the length-prefixed text fields. The name copies hold 20 although the
// lists keep longer names: the copy is cut when it is taken.
constexpr std::size_t kDurationTextCapacity = 8;
constexpr std::size_t kCategoryNameCopyCapacity = 20;
constexpr std::size_t kNameCopyCapacity = 20; // first and last name copies
constexpr std::size_t kArtistCapacity = 40;
constexpr std::size_t kTitleCapacity = 40;
constexpr std::size_t kOriginCapacity = 125;

// The largest size the data file may reach: offsets and sizes are signed 32-bit on disk.
constexpr int64_t kMaxDataFileSize = 2147483647;

struct TitleRecord {
    bool active = false;      // 0 = deleted; the slot stays until the next pack
    int32_t slotNumber = 0;   // position when appended; never used to find a record
    int32_t dataOffset = 0;   // of the stored data in Music.dat
    int32_t dataSize = 0;     // bytes of stored data
    int32_t ck = 0;           // category key
    int32_t pk = 0;           // performer key
    int32_t masterKey = 0;    // the title's identity
    int32_t duration = 0;     // whole seconds; -1 when it could not be measured
    int32_t albumKey = 0;     // only in album entries
    std::string durationText; // UTF-8 text; every text is cut to its capacity when encoded
    std::string categoryName;
    std::string lastName;
    std::string firstName;
    std::string artist;
    std::string title;
    std::string origin;
    double dateObtained = 0; // days since 1899-12-30 00:00 local time

    bool operator==(const TitleRecord&) const = default;
};

// Writes the exact on-disk bytes. Texts longer than their field are cut at a UTF-8 character
// boundary; bytes that carry nothing are zero.
void EncodeTitleRecord(const TitleRecord& record, char* out);
TitleRecordBytes EncodeTitleRecord(const TitleRecord& record);
// Writes the record over the bytes it was read from: numbers are stored, and a text only when
// the field does not already read as it, so untouched texts keep their bytes.
void PatchTitleRecord(const TitleRecord& record, char* bytes);

// Reads a record from its bytes. A length byte larger than the field is clamped to the field;
// a text that is not valid UTF-8 is read as Windows-1252.
TitleRecord DecodeTitleRecord(const char* bytes);

// Fast field access on raw record bytes, for scans over the slot list.
bool RawActive(const char* bytes);
int32_t RawMasterKey(const char* bytes);
int32_t RawCk(const char* bytes);
int32_t RawPk(const char* bytes);
int32_t RawDataOffset(const char* bytes);
int32_t RawDataSize(const char* bytes);
int32_t RawSlotNumber(const char* bytes);
int32_t RawAlbumKey(const char* bytes);
// Points the record at other stored data; every other byte stays as it is.
void RawSetDataPlace(char* bytes, int32_t offset, int32_t size);
std::string RawOrigin(const char* bytes);

// "?" for 0 or less, M:SS below an hour, H:MM:SS from an hour on.
std::string DurationText(int64_t seconds);
// The same for a running or summed time, where nothing yet is "0:00" rather than "?".
std::string TimeText(int64_t seconds);
// What a title adds to a total: a duration that could not be measured (-1) or is unknown (0)
// adds nothing, so it never takes time away from the others.
inline int64_t CountedDuration(int64_t seconds) {
    return seconds > 0 ? seconds : 0;
}

// The full artist name from the two name parts: trim(trim(first) + " " + trim(last)).
std::string JoinFullName(std::string_view first, std::string_view last);

} // namespace tunquil
