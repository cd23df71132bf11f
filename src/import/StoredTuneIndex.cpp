#include "import/StoredTuneIndex.h"

#include "database/TMyDB.h"
#include "database/TitleRecord.h"
#include "export/archive/TAbUnZipper.h"

namespace tunquil {

namespace {
uint64_t OriginHash(std::string_view origin) {
    return std::hash<std::string_view>{}(origin);
}
} // namespace

StoredTuneIndex::StoredTuneIndex(TMyDB& db)
    : db_(db), hash_([](std::string_view tune) { return std::hash<std::string_view>{}(tune); }) {}

void StoredTuneIndex::SetHashForTesting(Hash hash) {
    hash_ = std::move(hash);
    built_ = false; // hashes made the other way are no longer comparable
}

void StoredTuneIndex::CatchUp() {
    if (!built_ || db_.EditCount() != edits_) {
        byLength_.clear();
        byOrigin_.clear();
        hashOf_.clear();
        slots_ = 0;
        edits_ = db_.EditCount();
        built_ = true;
        db_.ForEachLiveTitle([this](const TitleRecord& r) { Take(r); });
        slots_ = db_.SlotCount();
        return;
    }
    // Nothing but adds since: they are the slots past those read.
    for (int slot = slots_ + 1; slot <= db_.SlotCount(); ++slot) {
        TitleRecord r;
        if (db_.ReadRecord(slot, r) && r.active && db_.FindSlot(r.masterKey) == slot)
            Take(r);
    }
    slots_ = db_.SlotCount();
}

void StoredTuneIndex::Take(const TitleRecord& record) {
    byLength_[record.duration].unhashed.push_back(record.masterKey);
    byOrigin_.emplace(OriginHash(record.origin), record.masterKey);
}

std::vector<int32_t> StoredTuneIndex::TitlesWithOrigin(const std::string& origin,
                                                       std::optional<uint64_t> tune) {
    CatchUp();
    std::vector<int32_t> found;
    auto [from, to] = byOrigin_.equal_range(OriginHash(origin));
    for (auto it = from; it != to; ++it) {
        if (tune && StoredHash(it->second) != tune)
            continue;
        const char* record = db_.StoredRecord(it->second);
        if (record && RawOrigin(record) == origin)
            found.push_back(it->second);
    }
    return found;
}

std::vector<int32_t> StoredTuneIndex::TitlesLike(int seconds, uint64_t hash) {
    CatchUp();
    std::vector<int32_t> found;
    auto it = byLength_.find(seconds);
    if (it == byLength_.end())
        return found;
    Length& length = it->second;
    for (int32_t key : length.unhashed)
        if (std::optional<uint64_t> stored = StoredHash(key))
            length.byHash.emplace(*stored, key);
    length.unhashed.clear();
    length.unhashed.shrink_to_fit();
    auto [from, to] = length.byHash.equal_range(hash);
    for (auto at = from; at != to; ++at)
        found.push_back(at->second);
    return found;
}

void StoredTuneIndex::Added(int32_t masterKey, int seconds, uint64_t hash) {
    if (!built_)
        return; // read with the others when the index is first built
    CatchUp();
    hashOf_[masterKey] = hash;
    // The new title is the last one read for its length; its hash is known already.
    auto it = byLength_.find(seconds);
    if (it == byLength_.end() || it->second.unhashed.empty() ||
        it->second.unhashed.back() != masterKey)
        return;
    it->second.unhashed.pop_back();
    it->second.byHash.emplace(hash, masterKey);
}

std::optional<uint64_t> StoredTuneIndex::StoredHash(int32_t masterKey) {
    auto [at, added] = hashOf_.try_emplace(masterKey);
    if (!added)
        return at->second;
    std::string archive;
    if (!db_.ReadStoredData(masterKey, archive))
        return std::nullopt;
    try {
        TAbUnZipper unzipper;
        unzipper.OpenBytes(std::move(archive));
        if (unzipper.Count() == 1)
            at->second = hash_(unzipper.ReadEntry(0));
    } catch (const EZipError&) {
        // a damaged stored tune is no copy of a readable file
    }
    return at->second;
}

} // namespace tunquil
