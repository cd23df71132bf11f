#include "database/TAlbList.h"

#include "base/Text.h"
#include "database/ListFile.h"
#include "database/TMyDB.h"
#include "database/TitleOrder.h"

#include <algorithm>
#include <climits>
#include <cstring>
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

// Entries are told apart by album and title; the same title twice in one album starts from
// the bytes of its first row, which are the same but for what the save writes anyway.
int64_t EntryKey(int32_t albumKey, int32_t masterKey) {
    return static_cast<int64_t>(albumKey) << 32 | static_cast<uint32_t>(masterKey);
}
int64_t EntryKeyOf(const char* record) {
    return EntryKey(RawAlbumKey(record), RawMasterKey(record));
}
} // namespace

TAlbList::TAlbList(fs::path programDirectory)
    : directory_(std::move(programDirectory)), albumPath_(directory_ / "Albums_A.des"),
      entryPath_(directory_ / "Albums_AT.des"),
      albumFile_(kAlbumRecordSize, RecordFile::LeadingKey),
      entryFile_(kTitleRecordSize, EntryKeyOf) {}

void TAlbList::Load(const std::string& name) {
    albumPath_ = directory_ / (name + "_A.des");
    entryPath_ = directory_ / (name + "_AT.des");
    items_.clear();
    try {
        std::string albums = albumFile_.Read(albumPath_);
        // Read even when no album needs it, so that neither file is written over unread.
        std::string entries = entryFile_.Read(entryPath_);
        for (std::size_t at = 0; at < albums.size(); at += kAlbumRecordSize)
            items_.push_back({DecodeAlbumRecord(albums.data() + at), {}});
        // Entries whose album no longer exists are dropped here.
        for (std::size_t at = 0; !items_.empty() && at < entries.size(); at += kTitleRecordSize) {
            TitleRecord entry = DecodeTitleRecord(entries.data() + at);
            for (auto& album : items_)
                if (album.record.albumKey == entry.albumKey)
                    album.entries.push_back(AsEntry(entry, entry.albumKey));
        }
    } catch (...) {
        items_.clear();
        throw;
    }
    for (auto& album : items_)
        RefreshSummary(album.record.albumKey);
    AnnounceAlbums();
}

void TAlbList::Save() {
    // Both files or neither: one written beside the other unread would not match it.
    if (albumFile_.ReadFailed() || entryFile_.ReadFailed())
        throw FileError("The album files could not be read whole, so they are not written over.");
    SortByName();
    std::string albums = albumFile_.Compose(
        items_.size(), [&](std::size_t i) { return items_[i].record.albumKey; },
        [&](std::size_t i, char* out) { PatchAlbumRecord(items_[i].record, out); });
    std::vector<TitleRecord> rows;
    for (const auto& album : items_)
        for (const auto& e : album.entries) {
            rows.push_back(AsEntry(e, album.record.albumKey));
            rows.back().artist = JoinFullName(rows.back().firstName, rows.back().lastName);
        }
    std::string entries = entryFile_.Compose(
        rows.size(), [&](std::size_t i) { return EntryKey(rows[i].albumKey, rows[i].masterKey); },
        [&](std::size_t i, char* out) {
            // A new entry starts from its title's record, so that its texts keep their bytes.
            const char* title = db_ ? db_->StoredRecord(rows[i].masterKey) : nullptr;
            if (title && !entryFile_.Find(EntryKey(rows[i].albumKey, rows[i].masterKey)))
                std::memcpy(out, title, kTitleRecordSize);
            PatchTitleRecord(rows[i], out);
        });
    // Entries first: an album file never names albums whose entries were not yet written.
    entryFile_.Write(entryPath_, std::move(entries));
    albumFile_.Write(albumPath_, std::move(albums));
}

void TAlbList::SaveEdit() {
    if (deferDepth_ > 0) {
        saveDue_ = true;
        return;
    }
    saveDue_ = false;
    // A list whose files could not be read is never written over; that was told at load.
    if (albumFile_.ReadFailed() || entryFile_.ReadFailed())
        return;
    if (db_)
        RunShowingFailure(db_->Host(), "Saving albums: ", [&] { Save(); });
    else
        Save();
}

TAlbList::DeferSaves::~DeferSaves() {
    if (--albums_.deferDepth_ == 0 && albums_.saveDue_) {
        try {
            albums_.SaveEdit();
        } catch (const std::exception&) {
            // Without a database there is no host to tell; the next save writes the edit.
        }
    }
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
        DeleteAlbum(albumKey); // saves
        return;
    }
    album->record.name = name;
    AnnounceAlbums();
    SaveEdit();
}

void TAlbList::DeleteAlbum(int32_t albumKey) {
    int i = IndexOf(albumKey);
    if (i < 0)
        return;
    items_.erase(items_.begin() + i);
    AnnounceAlbums();
    SaveEdit();
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
    if (!add.empty())
        SaveEdit();
    return static_cast<int>(add.size());
}

int TAlbList::AppendTitles(int32_t albumKey, const std::vector<int32_t>& keys) {
    return InsertTitles(albumKey, -1, keys);
}

void TAlbList::RemoveTitlesFromAllAlbums(const std::vector<int32_t>& keys) {
    if (keys.empty())
        return;
    std::unordered_set<int32_t> gone(keys.begin(), keys.end());
    bool changed = false;
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
        changed = true;
    }
    if (changed)
        SaveEdit();
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
    if (wanted > 0)
        SaveEdit();
}

namespace {
// The distinct rows of `rows` that exist in a list of `count` rows, ascending.
std::vector<std::size_t> ValidRows(const std::vector<int>& rows, std::size_t count) {
    std::vector<std::size_t> valid;
    for (int r : rows)
        if (r >= 0 && static_cast<std::size_t>(r) < count)
            valid.push_back(static_cast<std::size_t>(r));
    std::sort(valid.begin(), valid.end());
    valid.erase(std::unique(valid.begin(), valid.end()), valid.end());
    return valid;
}
} // namespace

int TAlbList::MoveRows(int32_t albumKey, std::vector<int> rows, int targetRow) {
    Album* album = FindAlbum(albumKey);
    if (!album)
        return -1;
    auto& entries = album->entries;
    std::vector<std::size_t> moving = ValidRows(rows, entries.size());
    if (moving.empty())
        return -1;
    // The drop row is fixed before any row is taken out: the rows that stay above it give its
    // place afterwards, so a drop inside or below the moved rows lands where it was made.
    std::size_t target = targetRow >= 0 && static_cast<std::size_t>(targetRow) < entries.size()
                             ? static_cast<std::size_t>(targetRow)
                             : entries.size();
    std::size_t movedAbove = static_cast<std::size_t>(
        std::lower_bound(moving.begin(), moving.end(), target) - moving.begin());
    std::size_t at = target - movedAbove;

    std::vector<TitleRecord> moved, kept;
    moved.reserve(moving.size());
    kept.reserve(entries.size() - moving.size());
    for (std::size_t i = 0, m = 0; i < entries.size(); ++i) {
        if (m < moving.size() && moving[m] == i) {
            moved.push_back(std::move(entries[i]));
            ++m;
        } else {
            kept.push_back(std::move(entries[i]));
        }
    }
    kept.insert(kept.begin() + static_cast<std::ptrdiff_t>(at),
                std::make_move_iterator(moved.begin()), std::make_move_iterator(moved.end()));
    entries = std::move(kept);
    RefreshSummary(albumKey);
    AnnounceEntries(albumKey);
    SaveEdit();
    return static_cast<int>(at);
}

void TAlbList::RemoveRows(int32_t albumKey, std::vector<int> rows) {
    Album* album = FindAlbum(albumKey);
    if (!album)
        return;
    auto& entries = album->entries;
    std::vector<std::size_t> gone = ValidRows(rows, entries.size());
    if (gone.empty())
        return;
    for (auto it = gone.rbegin(); it != gone.rend(); ++it)
        entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(*it));
    RefreshSummary(albumKey);
    AnnounceEntries(albumKey);
    SaveEdit();
}

void TAlbList::UpdateTitleInAllAlbums(const TitleRecord& record) {
    bool anyChanged = false;
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
            anyChanged = true;
        }
    }
    if (anyChanged)
        SaveEdit();
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
