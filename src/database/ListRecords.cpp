#include "database/ListRecords.h"

#include "database/RecordBytes.h"

#include <cstring>

namespace tunquil {

using namespace record_bytes;

void PatchCategoryRecord(const CategoryRecord& r, char* out) {
    PutInt32(out, r.ck);
    PutInt32(out + 4, r.titleCount);
    PutInt32(out + 8, r.totalDuration);
    PatchShortString(out + 12, r.name, kListNameCapacity);
}

void EncodeCategoryRecord(const CategoryRecord& r, char* out) {
    std::memset(out, 0, kCategoryRecordSize);
    PatchCategoryRecord(r, out);
}

CategoryRecord DecodeCategoryRecord(const char* in) {
    CategoryRecord r;
    r.ck = GetInt32(in);
    r.titleCount = GetInt32(in + 4);
    r.totalDuration = GetInt32(in + 8);
    r.name = GetShortString(in + 12, kListNameCapacity);
    return r;
}

void PatchPerformerRecord(const PerformerRecord& r, char* out) {
    PutInt32(out, r.pk);
    PatchShortString(out + 4, r.firstName, kPerformerNameCapacity);
    PatchShortString(out + 30, r.lastName, kPerformerNameCapacity);
    PatchShortString(out + 56, r.fullName, kListNameCapacity);
}

void EncodePerformerRecord(const PerformerRecord& r, char* out) {
    std::memset(out, 0, kPerformerRecordSize);
    PatchPerformerRecord(r, out);
}

PerformerRecord DecodePerformerRecord(const char* in) {
    PerformerRecord r;
    r.pk = GetInt32(in);
    r.firstName = GetShortString(in + 4, kPerformerNameCapacity);
    r.lastName = GetShortString(in + 30, kPerformerNameCapacity);
    r.fullName = GetShortString(in + 56, kListNameCapacity);
    return r;
}

void PatchAlbumRecord(const AlbumRecord& r, char* out) {
    PutInt32(out, r.albumKey);
    PutInt32(out + 4, r.titleCount);
    PutInt32(out + 8, r.totalDuration);
    PatchShortString(out + 12, r.name, kListNameCapacity);
}

void EncodeAlbumRecord(const AlbumRecord& r, char* out) {
    std::memset(out, 0, kAlbumRecordSize);
    PatchAlbumRecord(r, out);
}

AlbumRecord DecodeAlbumRecord(const char* in) {
    AlbumRecord r;
    r.albumKey = GetInt32(in);
    r.titleCount = GetInt32(in + 4);
    r.totalDuration = GetInt32(in + 8);
    r.name = GetShortString(in + 12, kListNameCapacity);
    return r;
}

} // namespace tunquil
