#include "database/TitleRecord.h"

#include "base/Text.h"
#include "database/RecordBytes.h"

#include <cstring>

namespace tunquil {

using namespace record_bytes;

namespace {
// Byte offsets of the title record's fields.
enum : std::size_t {
    kActive = 0,
    kSlotNumber = 4,
    kDataOffset = 8,
    kDataSize = 12,
    kCk = 16,
    kPk = 20,
    kMasterKey = 24,
    kDuration = 28,
    kAlbumKey = 32,
    kDurationText = 36,
    kCategoryName = 45,
    kLastName = 66,
    kFirstName = 87,
    kArtist = 108,
    kTitle = 149,
    kOrigin = 190,
    kDate = 316,
};
static_assert(kOrigin + 1 + kOriginCapacity == kDate);
static_assert(kDate + 8 == kTitleRecordSize);
} // namespace

void PatchTitleRecord(const TitleRecord& r, char* out) {
    out[kActive] = r.active ? 1 : 0;
    PutInt32(out + kSlotNumber, r.slotNumber);
    PutInt32(out + kDataOffset, r.dataOffset);
    PutInt32(out + kDataSize, r.dataSize);
    PutInt32(out + kCk, r.ck);
    PutInt32(out + kPk, r.pk);
    PutInt32(out + kMasterKey, r.masterKey);
    PutInt32(out + kDuration, r.duration);
    PutInt32(out + kAlbumKey, r.albumKey);
    PatchShortString(out + kDurationText, r.durationText, kDurationTextCapacity);
    PatchShortString(out + kCategoryName, r.categoryName, kCategoryNameCopyCapacity);
    PatchShortString(out + kLastName, r.lastName, kNameCopyCapacity);
    PatchShortString(out + kFirstName, r.firstName, kNameCopyCapacity);
    PatchShortString(out + kArtist, r.artist, kArtistCapacity);
    PatchShortString(out + kTitle, r.title, kTitleCapacity);
    PatchShortString(out + kOrigin, r.origin, kOriginCapacity);
    PutDouble(out + kDate, r.dateObtained);
}

void EncodeTitleRecord(const TitleRecord& r, char* out) {
    std::memset(out, 0, kTitleRecordSize);
    PatchTitleRecord(r, out);
}

TitleRecordBytes EncodeTitleRecord(const TitleRecord& record) {
    TitleRecordBytes bytes;
    EncodeTitleRecord(record, bytes.data());
    return bytes;
}

TitleRecord DecodeTitleRecord(const char* in) {
    TitleRecord r;
    r.active = in[kActive] != 0;
    r.slotNumber = GetInt32(in + kSlotNumber);
    r.dataOffset = GetInt32(in + kDataOffset);
    r.dataSize = GetInt32(in + kDataSize);
    r.ck = GetInt32(in + kCk);
    r.pk = GetInt32(in + kPk);
    r.masterKey = GetInt32(in + kMasterKey);
    r.duration = GetInt32(in + kDuration);
    r.albumKey = GetInt32(in + kAlbumKey);
    r.durationText = GetShortString(in + kDurationText, kDurationTextCapacity);
    r.categoryName = GetShortString(in + kCategoryName, kCategoryNameCopyCapacity);
    r.lastName = GetShortString(in + kLastName, kNameCopyCapacity);
    r.firstName = GetShortString(in + kFirstName, kNameCopyCapacity);
    r.artist = GetShortString(in + kArtist, kArtistCapacity);
    r.title = GetShortString(in + kTitle, kTitleCapacity);
    r.origin = GetShortString(in + kOrigin, kOriginCapacity);
    r.dateObtained = GetDouble(in + kDate);
    return r;
}

bool RawActive(const char* bytes) {
    return bytes[kActive] != 0;
}
int32_t RawMasterKey(const char* bytes) {
    return GetInt32(bytes + kMasterKey);
}
int32_t RawCk(const char* bytes) {
    return GetInt32(bytes + kCk);
}
int32_t RawPk(const char* bytes) {
    return GetInt32(bytes + kPk);
}
int32_t RawDataOffset(const char* bytes) {
    return GetInt32(bytes + kDataOffset);
}
int32_t RawDataSize(const char* bytes) {
    return GetInt32(bytes + kDataSize);
}
int32_t RawSlotNumber(const char* bytes) {
    return GetInt32(bytes + kSlotNumber);
}
int32_t RawAlbumKey(const char* bytes) {
    return GetInt32(bytes + kAlbumKey);
}
void RawSetDataPlace(char* bytes, int32_t offset, int32_t size) {
    PutInt32(bytes + kDataOffset, offset);
    PutInt32(bytes + kDataSize, size);
}

std::string RawOrigin(const char* bytes) {
    return GetShortString(bytes + kOrigin, kOriginCapacity);
}

std::string DurationText(int64_t seconds) {
    if (seconds <= 0)
        return "?";
    auto two = [](int64_t v) { return (v < 10 ? "0" : "") + std::to_string(v); };
    int64_t m = seconds / 60;
    if (m < 60)
        return std::to_string(m) + ":" + two(seconds % 60);
    return std::to_string(m / 60) + ":" + two(m % 60) + ":" + two(seconds % 60);
}

std::string TimeText(int64_t seconds) {
    return seconds <= 0 ? "0:00" : DurationText(seconds);
}

std::string JoinFullName(std::string_view first, std::string_view last) {
    return Trim(Trim(first) + " " + Trim(last));
}

} // namespace tunquil
