#include "database/TAlbList.h"

#include "base/Text.h"
#include "database/ListFile.h"
#include "database/TMyDB.h"
#include "database/TitleOrder.h"

#include <algorithm>
#include <climits>
#include <unordered_set>

namespace tunquil {

namespace {
// Album entries keep no origin and no stored-data position (neither is written for them).
TitleRecord AsEntry(TitleRecord record, int32_t albumKey) {
    record.albumKey = albumKey;
    record.origin.clear();
    record.active = false;
    record.slotNumber = record.dataOffset = record.dataSize = 0;
    return record;
}
} // namespace

TAlbList::TAlbList(fs::path programDirectory)
    : directory_(std::move(programDirectory)), albumPath_(directory_ / "Albums_A.des"),
      entryPath_(directory_ / "Albums_AT.des") {}

void TAlbList::Load(const std::string& name) {
    albumPath_ = directory_ / (name + "_A.des");
    entryPath_ = directory_ / (name + "_AT.des");
    items_.clear();
    std::error_code ec;
    if (!fs::exists(albumPath_, ec))
        return;
    std::string albums = ReadRecordFile(albumPath_, kAlbumRecordSize);
    for (std::size_t at = 0; at < albums.size(); at += kAlbumRecordSize)
        items_.push_back({DecodeAlbumRecord(albums.data() + at), {}});
    if (fs::exists(entryPath_, ec) && !items_.empty()) {
        std::string entries = ReadRecordFile(entryPath_, kTitleRecordSize);
        // Entries whose album no longer exists are dropped here.
        for (std::size_t at = 0; at < entries.size(); at += kTitleRecordSize) {
            TitleRecord entry = DecodeTitleRecord(entries.data() + at);
            for (auto& album : items_)
                if (album.record.albumKey == entry.albumKey)
                    album.entries.push_back(AsEntry(entry, entry.albumKey));
        }
    }
    for (auto& album : items_)
        RefreshSummary(album.record.albumKey);
    AnnounceAlbums();
}

void TAlbList::Save() {
    SortByName();
    std::string albums(items_.size() * kAlbumRecordSize, '\0');
    std::size_t entryCount = 0;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        EncodeAlbumRecord(items_[i].record, albums.data() + i * kAlbumRecordSize);
        entryCount += items_[i].entries.size();
    }
    std::string entries(entryCount * kTitleRecordSize, '\0');
    char* out = entries.data();
    for (const auto& album : items_)
        for (const auto& e : album.entries) {
            TitleRecord stored = AsEntry(e, album.record.albumKey);
            stored.artist =
                CutUtf8(JoinFullName(stored.firstName, stored.lastName), kArtistCapacity);
            EncodeTitleRecord(stored, out);
            out += kTitleRecordSize;
        }
    // Entries first: an album file never names albums whose entries were not yet written.
    WriteFileAtomically(entryPath_, entries);
    WriteFileAtomically(albumPath_, albums);
}

void TAlbList::SortByName() {
    std::stable_sort(items_.begin(), items_.end(), [](const Album& a, const Album& b) {
        return CompareAlbums(a.record, b.record) < 0;
    });
}

void TAlbList::AnnounceAlbums() const {
    if (db_)
        db_->Announce([](IDatabaseObserver& o) { o.AlbumsChanged(); });
}

void TAlbList::AnnounceEntries(int32_t albumKey) const {
    if (db_)
        db_->Announce([&](IDatabaseObserver& o) { o.AlbumEntriesChanged(albumKey); });
}

int32_t TAlbList::HighestAlbumKey() const {
    int32_t highest = 0;
    for (const auto& a : items_)
        highest = std::max(highest, a.record.albumKey);
    return highest;
}

int32_t TAlbList::FindByName(const std::string& name) const {
    // Names are stored cut to their field: a longer name finds its stored form.
    std::string stored = CutUtf8(name, kListNameCapacity);
    for (const auto& a : items_)
        if (SameTextIgnoringCase(a.record.name, stored))
            return a.record.albumKey;
    return 0;
}

int TAlbList::IndexOf(int32_t albumKey) const {
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (items_[i].record.albumKey == albumKey)
            return static_cast<int>(i);
    return -1;
}

const TAlbList::Album* TAlbList::AlbumOf(int32_t albumKey) const {
    int i = IndexOf(albumKey);
    return i < 0 ? nullptr : &items_[static_cast<std::size_t>(i)];
}

TAlbList::Album* TAlbList::FindAlbum(int32_t albumKey) {
    int i = IndexOf(albumKey);
    return i < 0 ? nullptr : &items_[static_cast<std::size_t>(i)];
}

int32_t TAlbList::AddAlbum(const std::string& name) {
    std::string trimmed = Trim(name);
    if (int32_t key = FindByName(trimmed))
        return key;
    Album album;
    album.record.albumKey = HighestAlbumKey() + 1;
    album.record.name = CutUtf8(trimmed, kListNameCapacity);
    int32_t key = album.record.albumKey;
    items_.push_back(std::move(album));
    try {
        Save();
    } catch (...) {
        items_.erase(items_.begin() + IndexOf(key));
        throw;
    }
    AnnounceAlbums();
    return key;
}

void TAlbList::RenameAlbum(int32_t albumKey, const std::string& newName) {
    std::string name = CutUtf8(Trim(newName), kListNameCapacity);
    Album* album = FindAlbum(albumKey);
    if (!album || album->record.name == name)
        return;
    int32_t otherKey = 0;
    for (const auto& a : items_)
        if (a.record.albumKey != albumKey && SameTextIgnoringCase(a.record.name, name))
            otherKey = a.record.albumKey;
    if (otherKey != 0) {
        std::vector<TitleRecord> moved = std::move(album->entries);
        Album* other = FindAlbum(otherKey);
        for (auto& e : moved)
            other->entries.push_back(AsEntry(std::move(e), otherKey));
        RefreshSummary(otherKey);
        AnnounceEntries(otherKey);
        DeleteAlbum(albumKey);
        return;
    }
    album->record.name = name;
    AnnounceAlbums();
}

void TAlbList::DeleteAlbum(int32_t albumKey) {
    int i = IndexOf(albumKey);
    if (i < 0)
        return;
    items_.erase(items_.begin() + i);
    AnnounceAlbums();
}

int TAlbList::InsertTitles(int32_t albumKey, int beforeRow, const std::vector<int32_t>& keys) {
    Album* album = FindAlbum(albumKey);
    if (!album) {
        if (db_)
            db_->Host().ShowMessage("Targetted album not found", TMsgDlgType::mtInformation, 0,
                                    mbOK);
        return 0;
    }
    std::vector<TitleRecord> add;
    for (int32_t key : keys) {
        TitleRecord record;
        if (db_ && db_->ReadRecordByKey(key, record))
            add.push_back(AsEntry(record, albumKey));
    }
    auto& rows = album->entries;
    auto at = beforeRow >= 0 && static_cast<std::size_t>(beforeRow) <= rows.size()
                  ? rows.begin() + beforeRow
                  : rows.end();
    rows.insert(at, add.begin(), add.end());
    RefreshSummary(albumKey);
    AnnounceEntries(albumKey);
    return static_cast<int>(add.size());
}

int TAlbList::AppendTitles(int32_t albumKey, const std::vector<int32_t>& keys) {
    return InsertTitles(albumKey, -1, keys);
}

void TAlbList::RemoveTitlesFromAllAlbums(const std::vector<int32_t>& keys) {
    if (keys.empty())
        return;
    std::unordered_set<int32_t> gone(keys.begin(), keys.end());
    for (auto& album : items_) {
        auto& rows = album.entries;
        auto end = std::remove_if(rows.begin(), rows.end(), [&](const TitleRecord& r) {
            return gone.count(r.masterKey) != 0;
        });
        if (end == rows.end())
            continue;
        rows.erase(end, rows.end());
        RefreshSummary(album.record.albumKey);
        AnnounceEntries(album.record.albumKey);
    }
}

void TAlbList::RemoveTitlesFromAlbum(int32_t albumKey, std::vector<int32_t> keys) {
    Album* album = FindAlbum(albumKey);
    if (!album || keys.empty())
        return;
    auto& rows = album->entries;
    std::size_t wanted = 0;
    for (std::size_t i = 0; i < rows.size() && wanted < keys.size();) {
        if (rows[i].masterKey == keys[wanted]) {
            rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(i));
            ++wanted;
        } else {
            ++i;
        }
    }
    RefreshSummary(albumKey);
    AnnounceEntries(albumKey);
}

void TAlbList::UpdateTitleInAllAlbums(const TitleRecord& record) {
    for (auto& album : items_) {
        bool changed = false;
        for (auto& row : album.entries)
            if (row.masterKey == record.masterKey) {
                row = AsEntry(record, album.record.albumKey);
                changed = true;
            }
        if (changed) {
            RefreshSummary(album.record.albumKey);
            AnnounceEntries(album.record.albumKey);
        }
    }
}

void TAlbList::RefreshSummary(int32_t albumKey) {
    Album* album = FindAlbum(albumKey);
    if (!album)
        return;
    long long total = 0;
    for (const auto& r : album->entries)
        total += CountedDuration(r.duration);
    album->record.titleCount = static_cast<int32_t>(album->entries.size());
    album->record.totalDuration =
        static_cast<int32_t>(std::clamp<long long>(total, INT32_MIN, INT32_MAX));
}

} // namespace tunquil
