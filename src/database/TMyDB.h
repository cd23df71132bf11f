#pragma once
// The database component: the descriptor file Music.des (fixed 324-byte title records) and the
// data file Music.dat (each title's stored-tune archive, end to end), held open and locked for
// as long as the database is open. All records live in memory as their raw bytes; a key index
// sorted by master key finds a title's slot by binary search.

#include "base/Files.h"
#include "base/Host.h"
#include "database/DatabaseObserver.h"
#include "database/TitleRecord.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace tunquil {

class TAlbList;

// Leaves new elements uninitialised, so the slot list can be sized and then filled by one read
// without first zeroing tens of megabytes.
template <class T> struct UninitialisedAllocator : std::allocator<T> {
    template <class U> struct rebind { using other = UninitialisedAllocator<U>; };
    UninitialisedAllocator() = default;
    template <class U> UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
    template <class U> void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
    template <class U, class... Args> void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

// The database cannot be opened or used (damaged files, held by another copy, no permission).
class DatabaseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A title an operation failed on, as "key (title): why"; and one message for the titles a
// delete could not remove, each told so.
std::string TitleFailure(const TitleRecord& title, const std::exception& why);
std::string DescribeDeleteFailures(const std::vector<std::string>& failures);

class TMyDB {
public:
    explicit TMyDB(IHost& host);
    ~TMyDB(); // closes without packing
    TMyDB(const TMyDB&) = delete;
    TMyDB& operator=(const TMyDB&) = delete;

    // Opens or creates base + ".des" / ".dat" (the name up to its first "."; "/" and
    // "Default" stand in for a missing directory or name). Finishes a pack that a crash
    // interrupted, sets a lone file of the pair aside (telling the user) and locks both files.
    // Throws DatabaseError with a text for the user; nothing is changed then.
    void Open(const fs::path& basePath);
    // Reads the pair as it stands while another copy of the program may hold it open and add
    // to it: nothing is locked, recovered, created, set aside or written. A title still being
    // added (its record not whole yet, or its data beyond the data file read) is left out
    // without remark. A pack under way is waited for a moment; an unfinished one that stays
    // throws DatabaseError, as does everything that could change the database after this.
    void OpenForReading(const fs::path& basePath);
    bool IsOpen() const { return open_; }
    bool ReadOnly() const { return readOnly_; }

    const fs::path& Directory() const { return directory_; }
    const fs::path& DescriptorPath() const { return descriptorPath_; }
    const fs::path& DataPath() const { return dataPath_; }
    int64_t DataFileSize() const { return dataSize_; }

    // --- record level (slots are 1-based) ---
    int SlotCount() const { return static_cast<int>(slots_.size()); }
    int LiveCount() const { return static_cast<int>(index_.size()); }
    bool HasDeletedSlots() const { return deletedSlots_; }
    bool ReadRecord(int slot, TitleRecord& out) const;
    bool ReadRecordByKey(int32_t masterKey, TitleRecord& out) const;
    // The bytes of the live title's record as stored; null when no live title has the key.
    const char* StoredRecord(int32_t masterKey) const { return SlotBytes(FindSlot(masterKey)); }
    // The slot of the live title with this key, 0 when there is none.
    int FindSlot(int32_t masterKey) const;
    // Stores new information into an existing slot, keeping its slot number and stored data
    // (and the bytes of every text that did not change); the album entries of the key follow.
    // Throws FileError when the write fails.
    void WriteRecord(const TitleRecord& record, int slot);
    // Marks the slot deleted on disk and in memory and takes it out of the key index.
    void MarkDeleted(int slot);
    int32_t HighestMasterKey() const;
    // Counts the changes of the titles other than adds: an edit, a deletion, a pack, and each
    // open or close (another process may have written in between, as the files are locked only
    // while open). What was learnt of the titles at one count stays true but for the slots
    // appended since, so a cache of them catches up by reading those alone.
    uint64_t EditCount() const { return edits_; }

    // Every live title in slot order (what the views are filled from).
    void ForEachLiveTitle(const std::function<void(const TitleRecord&)>& visit) const;
    std::vector<TitleRecord> LiveTitles() const;

    // --- operations ---
    // Appends the stored-data file to Music.dat and a new record to Music.des. The record's
    // master key, slot number, data offset, size and active flag are filled in here; the
    // texts are taken as given. Refuses (DatabaseError, nothing changed) an add that would
    // take the data file past 2,147,483,647 bytes. Returns the new master key. Announces
    // nothing: TDMM2 tells the views.
    int32_t AppendTitle(TitleRecord record, const fs::path& storedDataPath);
    // Flushes both files to disk (the data file first); throws FileError. Adds are not
    // flushed one by one: whoever reports them done flushes once for all of them.
    void Flush();
    bool SetDuration(int32_t seconds, int32_t masterKey);
    // Marks each key deleted without touching the views; returns how many were live.
    int DeleteTitles(const std::vector<int32_t>& masterKeys);
    // Marks every live title of the category deleted (announced to the views) and returns
    // their keys in slot order. A title that cannot be marked is left live and the others
    // still go; "key (title): why" of each such title is added to `failures` when given, else
    // one DatabaseError names them at the end.
    int DeleteTitlesOfCategory(int32_t ck, std::vector<int32_t>& deletedKeys,
                               std::vector<std::string>* failures = nullptr);
    bool CategoryUsed(int32_t ck) const;
    bool PerformerUsed(int32_t pk) const;
    // Every category (or performer) key the live titles use, gathered in one pass: purging a
    // list asks about all its entries at once.
    std::unordered_set<int32_t> UsedCategories() const;
    std::unordered_set<int32_t> UsedPerformers() const;
    // The first live title in slot order whose origin equals `origin` exactly; -1 if none.
    bool FindByOrigin(const std::string& origin, int32_t& masterKey) const;
    // Every live title with that origin, in slot order.
    std::vector<int32_t> TitlesWithOrigin(const std::string& origin) const;
    // Writes the title's stored data to `target` (replaced) and its record to `record`. False
    // when the key is unknown, the data size is 0 or the data lie outside the data file.
    bool Extract(int32_t masterKey, const fs::path& target, TitleRecord& record);
    // The same into memory.
    bool ReadStoredData(int32_t masterKey, std::string& bytes, TitleRecord* record = nullptr);
    // Name copies of a renamed or merged category (only live titles are touched); returns
    // how many titles changed. Announced to the views.
    int RenameCategoryInTitles(int32_t ck, const std::string& newName);
    int MoveTitlesToCategory(int32_t fromCk, int32_t toCk, const std::string& toName);

    // Rewrites the pair with only the live titles. Runs only when titles were deleted; false
    // when it was skipped or abandoned (the old pair then stays whole and in use).
    bool Pack(int& deletedCount, int& keptCount);
    // Releases the records and closes both files (no pack).
    void Close();

    // What open found wrong with the records (keys out of range or used twice, a partial
    // record at the end); such records stay on disk but are not reachable by key.
    const std::vector<std::string>& Problems() const { return problems_; }
    // The data of a live record lie inside the data file (offset and size not negative).
    bool DataUsable(const TitleRecord& record) const;

    // Tests only: called before each pack step ("create", "copy", "flush", "flush-marks",
    // "write-info", "rename-data", "rename-info"); a non-zero errno makes that step fail.
    void SetPackFaultHookForTesting(std::function<int(std::string_view step)> hook) {
        packFault_ = std::move(hook);
    }

    // --- links ---
    void SetAlbumList(TAlbList* albums) { albums_ = albums; }
    void AddObserver(IDatabaseObserver* observer);
    void RemoveObserver(IDatabaseObserver* observer);
    const std::vector<IDatabaseObserver*>& Observers() const { return observers_; }
    // Tells every observer of a change (the lists announce their changes through here too).
    void Announce(const std::function<void(IDatabaseObserver&)>& event) const;
    IHost& Host() const { return host_; }

private:
    struct KeyEntry {
        int32_t masterKey;
        int32_t slot;
    };
    const char* SlotBytes(int slot) const;
    void WriteSlot(int slot);
    void BuildIndex();
    void IndexInsert(int32_t masterKey, int32_t slot);
    void IndexErase(int32_t masterKey);
    int PackFault(std::string_view step) const { return packFault_ ? packFault_(step) : 0; }
    std::vector<fs::path> RecoverInterruptedPack();
    std::vector<fs::path> RemoveOlderPackLeftovers(const std::vector<fs::path>& latest);
    void TellPackLeftovers(const std::vector<fs::path>& kept, bool openedWhole);
    fs::path SetAside(const fs::path& path);
    void SetPaths(const fs::path& basePath);
    bool ReadSnapshot();
    int DataFd() const { return readOnly_ ? readFd_ : datFile_.fd(); }
    void RefuseWhenReadOnly() const;

    IHost& host_;
    bool open_ = false;
    bool readOnly_ = false;
    int readFd_ = -1; // the data file while open for reading (no lock)
    bool deletedSlots_ = false;
    bool unreachable_ = false; // some live record is not in the index (bad or repeated key)
    uint64_t edits_ = 0;
    fs::path directory_, descriptorPath_, dataPath_;
    FileLock desFile_, datFile_;
    int64_t dataSize_ = 0;
    std::vector<TitleRecordBytes, UninitialisedAllocator<TitleRecordBytes>> slots_;
    std::vector<KeyEntry> index_; // ascending by master key
    TAlbList* albums_ = nullptr;
    std::vector<IDatabaseObserver*> observers_;
    std::vector<std::string> problems_;
    std::function<int(std::string_view)> packFault_;
};

} // namespace tunquil
