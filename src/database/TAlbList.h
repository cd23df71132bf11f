#pragma once
// The user's albums (Albums_A.des) and their entries (Albums_AT.des): each album an ordered
// list of title records, the same title possibly several times. Entries refer to titles by
// master key and carry copies of their information as it stood when last updated.

#include "base/Files.h"
#include "database/ListFile.h"
#include "database/ListRecords.h"
#include "database/TitleRecord.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tunquil {

class TMyDB;

class TAlbList {
public:
    struct Album {
        AlbumRecord record;
        std::vector<TitleRecord> entries; // in the album's own order; albumKey set
    };

    explicit TAlbList(fs::path programDirectory);

    // Reads both files and deals each entry to its album. Throws FileError when either cannot
    // be read; the list is then empty and never saved.
    void Load(const std::string& name = "Albums");
    // Sorts by name and writes each file that this changes (new, flushed, renamed over the
    // old). Throws FileError when a write fails or the files were not read whole.
    void Save();

    // Both files were read whole (or did not exist).
    bool Loaded() const { return albumFile_.WasRead() && entryFile_.WasRead(); }

    const std::vector<Album>& Items() const { return items_; }
    int Count() const { return static_cast<int>(items_.size()); }
    const fs::path& AlbumFilePath() const { return albumPath_; }
    const fs::path& EntryFilePath() const { return entryPath_; }

    int32_t HighestAlbumKey() const;
    int32_t FindByName(const std::string& name) const; // ignoring case; 0 if none
    int IndexOf(int32_t albumKey) const;               // -1 when unknown
    const Album* AlbumOf(int32_t albumKey) const;
    int32_t AddAlbum(const std::string& name); // find-or-create; saves when created
    void RenameAlbum(int32_t albumKey, const std::string& newName); // merges on a taken name
    void DeleteAlbum(int32_t albumKey);

    // Inserts the live titles of `keys` (unknown keys skipped) before row `beforeRow`
    // (0-based; out of range appends). Returns how many were inserted; false-y 0 when the
    // album is unknown.
    int InsertTitles(int32_t albumKey, int beforeRow, const std::vector<int32_t>& keys);
    int AppendTitles(int32_t albumKey, const std::vector<int32_t>& keys);
    void RemoveTitlesFromAllAlbums(const std::vector<int32_t>& keys);
    // Walks the album's rows from the top, removing the row that matches the first key still
    // wanted; keys come in row order.
    void RemoveTitlesFromAlbum(int32_t albumKey, std::vector<int32_t> keys);
    void UpdateTitleInAllAlbums(const TitleRecord& record);
    // Moves the rows at `rows` (0-based, any order; duplicates and rows out of range are
    // ignored) to stand, in their order, before row `targetRow` as numbered before the move
    // (out of range: after the last row). Returns the row the first moved row now has (the
    // moved rows follow it), or -1 when nothing moved.
    int MoveRows(int32_t albumKey, std::vector<int> rows, int targetRow);
    // Removes exactly the rows at `rows` (0-based; duplicates and rows out of range ignored).
    void RemoveRows(int32_t albumKey, std::vector<int> rows);
    // Recomputes the album's title count and total duration from its entries.
    void RefreshSummary(int32_t albumKey);
    void SortByName();

    // Every edit is saved as it is made, so that a crash cannot lose it. While a DeferSaves
    // object lives, the edits of a batch (many titles changed at once) are saved once at its
    // end instead.
    class DeferSaves {
    public:
        explicit DeferSaves(TAlbList& albums) : albums_(albums) { ++albums_.deferDepth_; }
        ~DeferSaves();
        DeferSaves(const DeferSaves&) = delete;
        DeferSaves& operator=(const DeferSaves&) = delete;

    private:
        TAlbList& albums_;
    };

    void SetDatabase(TMyDB* db) { db_ = db; }

private:
    Album* FindAlbum(int32_t albumKey);
    void AnnounceAlbums() const;
    void AnnounceEntries(int32_t albumKey) const;
    // Saves after an edit (or notes that a save is due while saves are deferred). A failure
    // is shown through the database's host; the edit stays and is saved again later.
    void SaveEdit();

    fs::path directory_, albumPath_, entryPath_;
    RecordFile albumFile_, entryFile_;
    std::vector<Album> items_;
    TMyDB* db_ = nullptr;
    int deferDepth_ = 0;
    bool saveDue_ = false;
};

} // namespace tunquil
