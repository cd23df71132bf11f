#include "database/TMyDB.h"

#include "base/Text.h"
#include "database/TAlbList.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace tunquil {

namespace {

const char kInfoTempName[] = "InfoTemp.bak";
const char kDataTempName[] = "DataTemp.bak";

int64_t FdSize(int fd, const fs::path& path) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw FileError(DescribeErrno("Cannot read the size of", path, errno));
    return static_cast<int64_t>(st.st_size);
}

void PWriteAll(int fd, const void* data, std::size_t size, int64_t offset, const fs::path& path) {
    auto p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::pwrite(fd, p, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw FileError(DescribeErrno("Cannot write", path, errno));
        }
        p += n;
        size -= static_cast<std::size_t>(n);
        offset += n;
    }
}

// Copies `size` bytes from `in` at `inOffset` to `out` at `outOffset`. False when the source
// ends early or a read or write fails; `err` then holds the reason (0 for a short source).
bool CopyRange(int in, int64_t inOffset, int out, int64_t outOffset, int64_t size, int& err) {
    err = 0;
    bool kernelCopy = true;
    std::vector<char> buffer;
    while (size > 0) {
        if (kernelCopy) {
            off_t from = inOffset, to = outOffset;
            ssize_t n = ::copy_file_range(in, &from, out, &to, static_cast<std::size_t>(size), 0);
            if (n > 0) {
                inOffset += n;
                outOffset += n;
                size -= n;
                continue;
            }
            if (n == 0)
                return false; // the source ended first
            if (errno == EINTR)
                continue;
            if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) {
                err = errno;
                return false;
            }
            kernelCopy = false;
        }
        if (buffer.empty())
            buffer.resize(1 << 20);
        auto chunk = static_cast<std::size_t>(std::min<int64_t>(size, buffer.size()));
        if (!ReadExactAt(in, buffer.data(), chunk, static_cast<uint64_t>(inOffset))) {
            err = errno;
            return false;
        }
        ssize_t done = 0;
        while (static_cast<std::size_t>(done) < chunk) {
            ssize_t n = ::pwrite(out, buffer.data() + done, chunk - done, outOffset + done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                err = n < 0 ? errno : ENOSPC;
                return false;
            }
            done += n;
        }
        inOffset += chunk;
        outOffset += chunk;
        size -= static_cast<int64_t>(chunk);
    }
    return true;
}

// The mount point holding `path`: what the user knows as the drive.
std::string DriveOf(const fs::path& path) {
    std::error_code ec;
    fs::path p = fs::absolute(path, ec).parent_path();
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0)
        return p.string();
    while (p.has_parent_path() && p != p.root_path()) {
        struct stat up {};
        if (::stat(p.parent_path().c_str(), &up) != 0 || up.st_dev != st.st_dev)
            break;
        p = p.parent_path();
    }
    return p.string();
}

// True when the live records of the descriptor file at `des` hold their data end to end from
// the start of a data file of `dataSize` bytes, in slot order: exactly what a pack writes. Only
// such a data file is the partner of a packed descriptor file; the data file of before the pack
// (larger by the dropped titles) never is.
bool PackedPair(const fs::path& des, int64_t dataSize) {
    std::string bytes;
    try {
        bytes = ReadWholeFile(des);
    } catch (const FileError&) {
        return false;
    }
    if (bytes.size() % kTitleRecordSize != 0)
        return false;
    int64_t end = 0;
    for (std::size_t at = 0; at < bytes.size(); at += kTitleRecordSize) {
        const char* r = bytes.data() + at;
        if (!RawActive(r))
            continue;
        if (RawDataOffset(r) != end || RawDataSize(r) < 0)
            return false;
        end += RawDataSize(r);
    }
    return end == dataSize;
}

// Undoes a partial write while another error is already being reported; a failure here
// leaves only unreferenced bytes at the end of the file.
void TruncateQuietly(int fd, int64_t size) {
    if (::ftruncate(fd, static_cast<off_t>(size)) != 0)
        return;
}

// The master keys of the live records of a descriptor file, in file order.
std::vector<int32_t> LiveKeysOf(const fs::path& des) {
    std::vector<int32_t> keys;
    try {
        std::string bytes = ReadWholeFile(des);
        for (std::size_t at = 0; at + kTitleRecordSize <= bytes.size(); at += kTitleRecordSize)
            if (RawActive(bytes.data() + at))
                keys.push_back(RawMasterKey(bytes.data() + at));
    } catch (const FileError&) {
        keys.push_back(0); // unreadable: matches nothing real
    }
    return keys;
}

// True when every live title of the packed descriptor file `packed` has a record in `des` with
// the same key and origin (which no change after the add touches): a pack drops titles and
// never makes any, so `packed` can be a pack of `des` even where deletion marks were lost.
bool PackedFrom(const fs::path& packed, const fs::path& des) {
    try {
        std::string from = ReadWholeFile(des), to = ReadWholeFile(packed);
        std::unordered_map<int32_t, std::string> origins;
        for (std::size_t at = 0; at + kTitleRecordSize <= from.size(); at += kTitleRecordSize)
            origins.emplace(RawMasterKey(from.data() + at), RawOrigin(from.data() + at));
        for (std::size_t at = 0; at + kTitleRecordSize <= to.size(); at += kTitleRecordSize) {
            const char* r = to.data() + at;
            auto it = origins.find(RawMasterKey(r));
            if (RawActive(r) && (it == origins.end() || it->second != RawOrigin(r)))
                return false;
        }
        return true;
    } catch (const FileError&) {
        return false;
    }
}

int64_t SizeOrMinusOne(const fs::path& path) {
    std::error_code ec;
    auto size = fs::file_size(path, ec);
    return ec ? -1 : static_cast<int64_t>(size);
}

bool Exists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

} // namespace

TMyDB::TMyDB(IHost& host) : host_(host) {}

TMyDB::~TMyDB() {
    Close();
}

void TMyDB::Announce(const std::function<void(IDatabaseObserver&)>& event) const {
    // A copy: an observer may detach itself while it is told.
    auto observers = observers_;
    for (auto* o : observers)
        event(*o);
}

void TMyDB::AddObserver(IDatabaseObserver* observer) {
    if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
        observers_.push_back(observer);
}

void TMyDB::RemoveObserver(IDatabaseObserver* observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

fs::path TMyDB::SetAside(const fs::path& path) {
    fs::path aside = UniqueSibling(path);
    if (::rename(path.c_str(), aside.c_str()) != 0)
        throw DatabaseError(DescribeErrno("Cannot move aside", path, errno));
    SyncDirectory(path.parent_path());
    return aside;
}

// A pack flushes the deletion marks of the descriptor file, writes InfoTemp.bak whole (its
// records point into the complete, flushed DataTemp.bak), then renames DataTemp.bak over the
// data file and InfoTemp.bak over the descriptor file. So an InfoTemp.bak that is a pack of
// this database and pairs with the data file beside it is a finished pack to complete;
// anything else left over is set aside under a new name, never used to overwrite. Returns
// the names given to what was set aside.
std::vector<fs::path> TMyDB::RecoverInterruptedPack() {
    fs::path infoTemp = directory_ / kInfoTempName;
    fs::path dataTemp = directory_ / kDataTempName;
    bool haveInfo = Exists(infoTemp), haveData = Exists(dataTemp);
    std::vector<fs::path> kept;
    if (!haveInfo && !haveData)
        return kept;

    if (haveInfo) {
        const fs::path& data = haveData ? dataTemp : dataPath_;
        int64_t size = SizeOrMinusOne(data);
        // Only the pack of this very database may replace it: the descriptor file it would
        // replace must hold the same live titles (or be gone), or at least every title the
        // pack kept, when a power cut took deletion marks that never reached the disk.
        bool haveDes = Exists(descriptorPath_);
        bool sameTitles = !haveDes || LiveKeysOf(descriptorPath_) == LiveKeysOf(infoTemp);
        bool ours = sameTitles || PackedFrom(infoTemp, descriptorPath_);
        if (size >= 0 && ours && PackedPair(infoTemp, size)) {
            // A descriptor file that lists more titles than the pack kept no longer fits the
            // packed data; it is kept aside (with the data file it belongs to), not replaced.
            if (!sameTitles)
                kept.push_back(SetAside(descriptorPath_));
            if (haveData && (!haveDes || !sameTitles) && Exists(dataPath_))
                kept.push_back(SetAside(dataPath_));
            if (haveData && ::rename(dataTemp.c_str(), dataPath_.c_str()) != 0)
                throw DatabaseError(
                    DescribeErrno("Cannot finish the interrupted pack of", dataPath_, errno));
            if (::rename(infoTemp.c_str(), descriptorPath_.c_str()) != 0)
                throw DatabaseError(
                    DescribeErrno("Cannot finish the interrupted pack of", descriptorPath_, errno));
            SyncDirectory(directory_);
            host_.Status("Finished an interrupted pack of the database");
            return kept;
        }
        kept.push_back(SetAside(infoTemp));
        if (haveData)
            kept.push_back(SetAside(dataTemp));
        return kept;
    }
    // A data file packed by an older version whose descriptor already took its final name,
    // while the data rename failed.
    int64_t size = SizeOrMinusOne(dataTemp);
    if (!Exists(dataPath_) && Exists(descriptorPath_) && size >= 0 &&
        PackedPair(descriptorPath_, size)) {
        if (::rename(dataTemp.c_str(), dataPath_.c_str()) != 0)
            throw DatabaseError(DescribeErrno("Cannot restore", dataPath_, errno));
        SyncDirectory(directory_);
        return kept;
    }
    kept.push_back(SetAside(dataTemp));
    return kept;
}

// Every pack interrupted leaves its files under a new name; once the database has opened whole
// only the latest of them are worth keeping. Returns what was removed.
std::vector<fs::path> TMyDB::RemoveOlderPackLeftovers(const std::vector<fs::path>& latest) {
    std::vector<fs::path> removed;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(directory_, ec)) {
        std::string name = entry.path().filename().string();
        bool leftover = false;
        for (std::string_view stem : {"InfoTemp.", "DataTemp."}) {
            if (name.size() > stem.size() + 4 && name.starts_with(stem) && name.ends_with(".bak")) {
                std::string_view n(name.data() + stem.size(), name.size() - stem.size() - 4);
                leftover =
                    std::all_of(n.begin(), n.end(), [](char c) { return c >= '0' && c <= '9'; });
            }
        }
        if (!leftover || std::find(latest.begin(), latest.end(), entry.path()) != latest.end())
            continue;
        if (entry.is_regular_file(ec) && ::unlink(entry.path().c_str()) == 0)
            removed.push_back(entry.path());
    }
    std::sort(removed.begin(), removed.end());
    return removed;
}

void TMyDB::SetPaths(const fs::path& basePath) {
    directory_ = basePath.parent_path();
    if (directory_.empty())
        directory_ = "/";
    std::string name = basePath.filename().string();
    name = name.substr(0, name.find('.'));
    if (name.empty())
        name = "Default";
    descriptorPath_ = directory_ / (name + ".des");
    dataPath_ = directory_ / (name + ".dat");
}

void TMyDB::Open(const fs::path& basePath) {
    if (open_)
        throw DatabaseError("The database is already open");
    SetPaths(basePath);
    readOnly_ = false;
    problems_.clear();
    std::vector<fs::path> leftovers;

    try {
        // Lock what exists first, so that a copy holding the database is never disturbed by
        // the recovery below.
        if (Exists(descriptorPath_))
            desFile_ = FileLock(descriptorPath_, false);
        if (Exists(dataPath_))
            datFile_ = FileLock(dataPath_, false);
        leftovers = RecoverInterruptedPack();
        desFile_.Release();
        datFile_.Release();

        bool haveDes = Exists(descriptorPath_), haveDat = Exists(dataPath_);
        if (haveDes != haveDat) {
            // A descriptor file without its data (or the reverse) cannot be used, but it may
            // be all that is left of the user's titles: keep it under another name.
            const fs::path& lone = haveDes ? descriptorPath_ : dataPath_;
            fs::path aside = SetAside(lone);
            host_.ShowMessage("The database file " + lone.string() +
                                  " was found without its partner file.\\nIt was kept as " +
                                  aside.string() + " and a new, empty database was started.",
                              TMsgDlgType::mtWarning, 0, mbOK);
        }
        desFile_ = FileLock(descriptorPath_, true);
        datFile_ = FileLock(dataPath_, true);

        int64_t desSize = FdSize(desFile_.fd(), descriptorPath_);
        dataSize_ = FdSize(datFile_.fd(), dataPath_);
        auto count = static_cast<std::size_t>(desSize / static_cast<int64_t>(kTitleRecordSize));
        if (desSize % static_cast<int64_t>(kTitleRecordSize) != 0)
            problems_.push_back("The descriptor file ends with a partial record of " +
                                std::to_string(desSize % kTitleRecordSize) +
                                " bytes; it is ignored");
        slots_.clear();
        slots_.resize(count);
        // One read for the whole file: a large database opens in the time it takes to read it.
        if (count > 0 && !ReadExactAt(desFile_.fd(), slots_.data(), count * kTitleRecordSize, 0))
            throw FileError(DescribeErrno("Cannot read", descriptorPath_, errno ? errno : EIO));
        BuildIndex();
    } catch (const std::exception& e) {
        Close();
        TellPackLeftovers(leftovers, false);
        throw DatabaseError(std::string("The database cannot be opened.\\n") + e.what());
    }
    open_ = true;
    ++edits_;
    TellPackLeftovers(leftovers, problems_.empty());
}

namespace {

// The file a descriptor was opened on still bears `path` (both absent counts as the same).
bool StillNamed(int fd, const fs::path& path) {
    struct stat byName {
    }, byFd{};
    bool named = ::stat(path.c_str(), &byName) == 0;
    if (fd < 0)
        return !named;
    return named && ::fstat(fd, &byFd) == 0 && byName.st_dev == byFd.st_dev &&
           byName.st_ino == byFd.st_ino;
}

int OpenForReadingOnly(const fs::path& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && errno != ENOENT)
        throw FileError(DescribeErrno("Cannot open", path, errno));
    return fd;
}

} // namespace

// One consistent look at the pair, or false when a pack replaced a file while it was taken.
// The program appends a title's data before its record, so every whole record read here finds
// its data within the data file's size taken after it.
bool TMyDB::ReadSnapshot() {
    struct Fd {
        int fd = -1;
        ~Fd() {
            if (fd >= 0)
                ::close(fd);
        }
    } des, dat;
    des.fd = OpenForReadingOnly(descriptorPath_);
    dat.fd = OpenForReadingOnly(dataPath_);
    slots_.clear();
    if (des.fd >= 0) {
        int64_t desSize = FdSize(des.fd, descriptorPath_);
        // A partial record at the end is a title being added: it is not there yet.
        auto count = static_cast<std::size_t>(desSize / static_cast<int64_t>(kTitleRecordSize));
        slots_.resize(count);
        // Shorter than its size just now: an add that failed was cut back; look again.
        if (count > 0 && !ReadExactAt(des.fd, slots_.data(), count * kTitleRecordSize, 0))
            return false;
    }
    dataSize_ = dat.fd >= 0 ? FdSize(dat.fd, dataPath_) : 0;
    // A pack renames the data file first and the descriptor file last, after InfoTemp.bak is
    // complete; with neither renamed since they were opened and no InfoTemp.bak left, the two
    // belong together.
    if (Exists(directory_ / kInfoTempName) || !StillNamed(des.fd, descriptorPath_) ||
        !StillNamed(dat.fd, dataPath_))
        return false;
    for (auto& slot : slots_) {
        char* r = slot.data();
        int64_t offset = RawDataOffset(r), size = RawDataSize(r);
        if (RawActive(r) && (offset < 0 || size < 0 || offset + size > dataSize_))
            r[0] = 0; // data not (yet) there: the title does not count
    }
    readFd_ = std::exchange(dat.fd, -1);
    return true;
}

void TMyDB::OpenForReading(const fs::path& basePath) {
    if (open_)
        throw DatabaseError("The database is already open");
    SetPaths(basePath);
    problems_.clear();
    readOnly_ = true;
    try {
        // A pack's renames follow each other closely; one that stays unfinished is for a copy
        // that may write to finish.
        for (int attempt = 0; !ReadSnapshot(); ++attempt) {
            if (attempt == 100)
                throw DatabaseError("A pack of the database is under way or was interrupted. "
                                    "Try again in a moment; an interrupted pack is finished by "
                                    "starting Tunquil or by \"tunquilctl pack\".");
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        BuildIndex();
        deletedSlots_ = false;
    } catch (const std::exception& e) {
        Close();
        throw DatabaseError(std::string("The database cannot be read.\\n") + e.what());
    }
    open_ = true;
    ++edits_;
}

void TMyDB::RefuseWhenReadOnly() const {
    if (readOnly_)
        throw DatabaseError("The database is open for reading only");
}

void TMyDB::TellPackLeftovers(const std::vector<fs::path>& kept, bool openedWhole) {
    if (kept.empty())
        return;
    std::string text = "Files left by an unfinished pack of the database were kept as:";
    for (const auto& p : kept)
        text += "\\n" + p.string();
    // Older leftovers may be the only copy of something while the database is damaged.
    std::vector<fs::path> removed;
    if (openedWhole)
        removed = RemoveOlderPackLeftovers(kept);
    if (!removed.empty())
        text += "\\nThose of earlier unfinished packs were removed:";
    for (const auto& p : removed)
        text += "\\n" + p.string();
    host_.ShowMessage(text, TMsgDlgType::mtInformation, 0, mbOK);
}

void TMyDB::BuildIndex() {
    index_.clear();
    deletedSlots_ = false;
    unreachable_ = false;
    index_.reserve(slots_.size());
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        const char* r = slots_[i].data();
        if (!RawActive(r)) {
            deletedSlots_ = true;
            continue;
        }
        int32_t key = RawMasterKey(r);
        if (key <= 0) {
            problems_.push_back("Slot " + std::to_string(i + 1) + " has the impossible key " +
                                std::to_string(key));
            unreachable_ = true;
            continue;
        }
        index_.push_back({key, static_cast<int32_t>(i + 1)});
    }
    auto byKey = [](const KeyEntry& a, const KeyEntry& b) {
        return a.masterKey != b.masterKey ? a.masterKey < b.masterKey : a.slot < b.slot;
    };
    // Keys grow with the slots unless titles were deleted and their keys given again.
    if (!std::is_sorted(index_.begin(), index_.end(), byKey))
        std::sort(index_.begin(), index_.end(), byKey);
    // A key used twice is reachable only through its first slot; the later one stays on disk.
    auto dup = std::adjacent_find(index_.begin(), index_.end(),
                                  [](auto& a, auto& b) { return a.masterKey == b.masterKey; });
    if (dup != index_.end()) {
        unreachable_ = true;
        std::vector<KeyEntry> unique;
        unique.reserve(index_.size());
        for (const auto& e : index_) {
            if (!unique.empty() && unique.back().masterKey == e.masterKey) {
                problems_.push_back("Slot " + std::to_string(e.slot) + " repeats the key " +
                                    std::to_string(e.masterKey) + " of slot " +
                                    std::to_string(unique.back().slot));
                continue;
            }
            unique.push_back(e);
        }
        index_ = std::move(unique);
    }
}

void TMyDB::Close() {
    open_ = false;
    ++edits_;
    desFile_.Release();
    datFile_.Release();
    if (readFd_ >= 0)
        ::close(readFd_);
    readFd_ = -1;
    readOnly_ = false;
    slots_.clear();
    slots_.shrink_to_fit();
    index_.clear();
    index_.shrink_to_fit();
    deletedSlots_ = false;
    dataSize_ = 0;
}

const char* TMyDB::SlotBytes(int slot) const {
    if (slot < 1 || slot > SlotCount())
        return nullptr;
    return slots_[static_cast<std::size_t>(slot - 1)].data();
}

bool TMyDB::ReadRecord(int slot, TitleRecord& out) const {
    const char* bytes = SlotBytes(slot);
    if (!bytes)
        return false;
    out = DecodeTitleRecord(bytes);
    return true;
}

int TMyDB::FindSlot(int32_t masterKey) const {
    auto it = std::lower_bound(index_.begin(), index_.end(), masterKey,
                               [](const KeyEntry& e, int32_t key) { return e.masterKey < key; });
    if (it == index_.end() || it->masterKey != masterKey)
        return 0;
    return it->slot;
}

bool TMyDB::ReadRecordByKey(int32_t masterKey, TitleRecord& out) const {
    int slot = FindSlot(masterKey);
    return slot != 0 && ReadRecord(slot, out);
}

int32_t TMyDB::HighestMasterKey() const {
    return index_.empty() ? 0 : index_.back().masterKey;
}

void TMyDB::IndexInsert(int32_t masterKey, int32_t slot) {
    auto it = std::lower_bound(index_.begin(), index_.end(), masterKey,
                               [](const KeyEntry& e, int32_t key) { return e.masterKey < key; });
    index_.insert(it, {masterKey, slot});
}

void TMyDB::IndexErase(int32_t masterKey) {
    auto it = std::lower_bound(index_.begin(), index_.end(), masterKey,
                               [](const KeyEntry& e, int32_t key) { return e.masterKey < key; });
    if (it != index_.end() && it->masterKey == masterKey)
        index_.erase(it);
}

void TMyDB::WriteSlot(int slot) {
    RefuseWhenReadOnly();
    PWriteAll(desFile_.fd(), SlotBytes(slot), kTitleRecordSize,
              static_cast<int64_t>(slot - 1) * static_cast<int64_t>(kTitleRecordSize),
              descriptorPath_);
}

void TMyDB::WriteRecord(const TitleRecord& record, int slot) {
    const char* current = SlotBytes(slot);
    if (!open_ || !current)
        throw DatabaseError("No title in slot " + std::to_string(slot));
    TitleRecord stored = record;
    stored.active = true;
    stored.slotNumber = RawSlotNumber(current);
    stored.dataOffset = RawDataOffset(current);
    stored.dataSize = RawDataSize(current);
    TitleRecordBytes before = slots_[static_cast<std::size_t>(slot - 1)];
    PatchTitleRecord(stored, slots_[static_cast<std::size_t>(slot - 1)].data());
    try {
        WriteSlot(slot);
    } catch (...) {
        slots_[static_cast<std::size_t>(slot - 1)] = before;
        throw;
    }
    // A record written back as it was (a play start stores the duration it already had) is no
    // change: the caches of the titles stay valid.
    if (slots_[static_cast<std::size_t>(slot - 1)] != before)
        ++edits_;
    if (albums_)
        albums_->UpdateTitleInAllAlbums(stored);
}

void TMyDB::MarkDeleted(int slot) {
    if (!open_ || !SlotBytes(slot))
        return;
    char& active = slots_[static_cast<std::size_t>(slot - 1)][0];
    int32_t key = RawMasterKey(SlotBytes(slot));
    bool wasLive = active != 0;
    active = 0;
    try {
        WriteSlot(slot);
    } catch (...) {
        active = wasLive ? 1 : 0;
        throw;
    }
    ++edits_;
    deletedSlots_ = true;
    if (wasLive && FindSlot(key) == slot)
        IndexErase(key);
}

void TMyDB::ForEachLiveTitle(const std::function<void(const TitleRecord&)>& visit) const {
    // Slot order, and only the slots the index reaches (a repeated key shows once).
    for (int slot = 1; slot <= SlotCount(); ++slot) {
        const char* r = SlotBytes(slot);
        if (RawActive(r) && (!unreachable_ || FindSlot(RawMasterKey(r)) == slot))
            visit(DecodeTitleRecord(r));
    }
}

std::vector<TitleRecord> TMyDB::LiveTitles() const {
    std::vector<TitleRecord> out;
    out.reserve(index_.size());
    ForEachLiveTitle([&](const TitleRecord& r) { out.push_back(r); });
    return out;
}

int32_t TMyDB::AppendTitle(TitleRecord record, const fs::path& storedDataPath) {
    if (!open_)
        throw DatabaseError("The database is not open");
    RefuseWhenReadOnly();
    int in = ::open(storedDataPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        throw FileError(DescribeErrno("Cannot open", storedDataPath, errno));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{in};
    int64_t size = FdSize(in, storedDataPath);
    if (size > kMaxDataFileSize - dataSize_)
        throw DatabaseError("The database is full: " + dataPath_.string() +
                            " cannot grow past 2,147,483,647 bytes.\\nThe title was not added.");
    if (SlotCount() >= 0x7FFFFFFF)
        throw DatabaseError("The database holds the largest possible number of titles.");

    int32_t key = HighestMasterKey() + 1;
    if (key <= 0)
        throw DatabaseError("No master key is left for a new title.");
    int64_t offset = dataSize_;
    int err = 0;
    if (size > 0 && !CopyRange(in, 0, datFile_.fd(), offset, size, err)) {
        // Nothing of a half-appended title may stay behind: a later add would start after it.
        TruncateQuietly(datFile_.fd(), offset);
        throw FileError(err ? DescribeErrno("Cannot add the data of", storedDataPath, err)
                            : "Cannot read all of " + storedDataPath.string());
    }
    record.active = true;
    record.masterKey = key;
    record.slotNumber = SlotCount() + 1;
    record.dataOffset = static_cast<int32_t>(offset);
    record.dataSize = static_cast<int32_t>(size);
    slots_.push_back(EncodeTitleRecord(record));
    try {
        WriteSlot(SlotCount());
    } catch (...) {
        slots_.pop_back();
        // A full disk takes part of the record: cut back to the last whole one, or the next
        // add would land off the 324-byte grid and every later record would read as garbage.
        TruncateQuietly(desFile_.fd(), static_cast<int64_t>(slots_.size()) *
                                           static_cast<int64_t>(kTitleRecordSize));
        TruncateQuietly(datFile_.fd(), offset);
        throw;
    }
    dataSize_ = offset + size;
    IndexInsert(key, SlotCount());
    return key;
}

void TMyDB::Flush() {
    if (!open_ || readOnly_)
        return;
    // The data first: a record that reaches the disk must find its tune there.
    SyncFile(datFile_.fd(), dataPath_);
    SyncFile(desFile_.fd(), descriptorPath_);
}

bool TMyDB::SetDuration(int32_t seconds, int32_t masterKey) {
    int slot = FindSlot(masterKey);
    TitleRecord before;
    if (!ReadRecord(slot, before))
        return false;
    TitleRecord after = before;
    after.duration = seconds;
    after.durationText = DurationText(seconds);
    WriteRecord(after, slot);
    Announce([&](IDatabaseObserver& o) { o.TitleChanged(before, after, false); });
    return true;
}

int TMyDB::DeleteTitles(const std::vector<int32_t>& masterKeys) {
    int count = 0;
    for (int32_t key : masterKeys) {
        int slot = FindSlot(key);
        if (slot == 0)
            continue;
        MarkDeleted(slot);
        ++count;
    }
    return count;
}

std::string TitleFailure(const TitleRecord& title, const std::exception& why) {
    return std::to_string(title.masterKey) + " (" + Trim(title.title) + "): " + why.what();
}

std::string DescribeDeleteFailures(const std::vector<std::string>& failures) {
    std::string text = "These titles could not be deleted:";
    for (const auto& f : failures)
        text += "\\n" + f;
    return text;
}

int TMyDB::DeleteTitlesOfCategory(int32_t ck, std::vector<int32_t>& deletedKeys,
                                  std::vector<std::string>* failures) {
    deletedKeys.clear();
    std::vector<std::string> failed;
    std::vector<TitleRecord> gone;
    for (int slot = 1; slot <= SlotCount(); ++slot) {
        const char* r = SlotBytes(slot);
        if (!RawActive(r) || RawCk(r) != ck || FindSlot(RawMasterKey(r)) != slot)
            continue;
        TitleRecord record = DecodeTitleRecord(r);
        try {
            MarkDeleted(slot);
        } catch (const std::exception& e) {
            // The others still go, and those deleted are announced: a title gone from the
            // database must not stay in the views or the play program.
            failed.push_back(TitleFailure(record, e));
            continue;
        }
        gone.push_back(std::move(record));
        deletedKeys.push_back(gone.back().masterKey);
    }
    if (!gone.empty())
        Announce([&](IDatabaseObserver& o) { o.TitlesDeleted(gone); });
    if (!failed.empty()) {
        if (!failures)
            throw DatabaseError(DescribeDeleteFailures(failed));
        failures->insert(failures->end(), failed.begin(), failed.end());
    }
    return static_cast<int>(deletedKeys.size());
}

bool TMyDB::CategoryUsed(int32_t ck) const {
    for (const auto& e : index_)
        if (RawCk(SlotBytes(e.slot)) == ck)
            return true;
    return false;
}

bool TMyDB::PerformerUsed(int32_t pk) const {
    for (const auto& e : index_)
        if (RawPk(SlotBytes(e.slot)) == pk)
            return true;
    return false;
}

std::unordered_set<int32_t> TMyDB::UsedCategories() const {
    std::unordered_set<int32_t> used;
    for (const auto& e : index_)
        used.insert(RawCk(SlotBytes(e.slot)));
    return used;
}

std::unordered_set<int32_t> TMyDB::UsedPerformers() const {
    std::unordered_set<int32_t> used;
    for (const auto& e : index_)
        used.insert(RawPk(SlotBytes(e.slot)));
    return used;
}

bool TMyDB::FindByOrigin(const std::string& origin, int32_t& masterKey) const {
    std::vector<int32_t> found = TitlesWithOrigin(origin);
    masterKey = found.empty() ? -1 : found.front();
    return !found.empty();
}

std::vector<int32_t> TMyDB::TitlesWithOrigin(const std::string& origin) const {
    std::vector<int32_t> found;
    for (int slot = 1; slot <= SlotCount(); ++slot) {
        const char* r = SlotBytes(slot);
        // The key lookup (an unreachable duplicate record is skipped) only for a match.
        if (RawActive(r) && RawOrigin(r) == origin && FindSlot(RawMasterKey(r)) == slot)
            found.push_back(RawMasterKey(r));
    }
    return found;
}

bool TMyDB::DataUsable(const TitleRecord& r) const {
    // Offsets and sizes come from the file and may be damaged: check before any read.
    return r.dataOffset >= 0 && r.dataSize > 0 &&
           static_cast<int64_t>(r.dataOffset) + r.dataSize <= dataSize_;
}

bool TMyDB::ReadStoredData(int32_t masterKey, std::string& bytes, TitleRecord* record) {
    bytes.clear();
    TitleRecord r;
    if (!open_ || !ReadRecordByKey(masterKey, r))
        return false;
    if (record)
        *record = r;
    if (!r.active || !DataUsable(r))
        return false;
    bytes.resize(static_cast<std::size_t>(r.dataSize));
    if (!ReadExactAt(DataFd(), bytes.data(), bytes.size(), static_cast<uint64_t>(r.dataOffset))) {
        bytes.clear();
        return false;
    }
    return true;
}

bool TMyDB::Extract(int32_t masterKey, const fs::path& target, TitleRecord& record) {
    if (!open_ || !ReadRecordByKey(masterKey, record) || !record.active)
        return false;
    int out = -1;
    try {
        out = CreateFreshFile(target);
    } catch (const FileError&) {
        return false;
    }
    bool ok = false;
    if (DataUsable(record)) {
        int err = 0;
        ok = CopyRange(DataFd(), record.dataOffset, out, 0, record.dataSize, err);
        if (!ok)
            TruncateQuietly(out, 0);
    }
    if (::close(out) != 0)
        ok = false;
    return ok;
}

int TMyDB::RenameCategoryInTitles(int32_t ck, const std::string& newName) {
    return MoveTitlesToCategory(ck, ck, newName);
}

int TMyDB::MoveTitlesToCategory(int32_t fromCk, int32_t toCk, const std::string& toName) {
    int changed = 0;
    std::string copy = CutUtf8(toName, kCategoryNameCopyCapacity);
    for (int slot = 1; slot <= SlotCount(); ++slot) {
        const char* r = SlotBytes(slot);
        if (!RawActive(r) || RawCk(r) != fromCk || FindSlot(RawMasterKey(r)) != slot)
            continue;
        TitleRecord before = DecodeTitleRecord(r);
        TitleRecord after = before;
        after.ck = toCk;
        after.categoryName = copy;
        WriteRecord(after, slot);
        Announce([&](IDatabaseObserver& o) { o.TitleChanged(before, after, false); });
        ++changed;
    }
    return changed;
}

bool TMyDB::Pack(int& deletedCount, int& keptCount) {
    deletedCount = 0;
    keptCount = SlotCount();
    if (!open_ || readOnly_ || !deletedSlots_)
        return false;

    int64_t desSize = static_cast<int64_t>(slots_.size() * kTitleRecordSize);
    struct statvfs vfs {};
    bool enough =
        ::statvfs(directory_.c_str(), &vfs) == 0 &&
        static_cast<long double>(vfs.f_bavail) * vfs.f_frsize >= 3.0L * dataSize_ + 3.0L * desSize;
    if (!enough) {
        host_.ShowMessage("Insufficient free space on " + DriveOf(dataPath_) + " to pack database!",
                          TMsgDlgType::mtError, 0, mbOK);
        return false;
    }

    fs::path infoTemp = directory_ / kInfoTempName;
    fs::path dataTemp = directory_ / kDataTempName;
    // Leftovers here are nobody's current work (open finished or set aside what it found),
    // yet they are kept rather than overwritten.
    for (const auto& p : {infoTemp, dataTemp})
        if (Exists(p))
            SetAside(p);

    keptCount = 0;
    host_.Status("Packing database...");
    BusyScope busy(host_);
    FileLock newData;
    std::vector<TitleRecordBytes> kept;
    int64_t newSize = 0;
    auto fail = [&](const std::string& text) {
        newData.Release();
        // InfoTemp.bak first: left alone beside the old data file after a crash, it could be
        // mistaken for a finished pack.
        ::unlink(infoTemp.c_str());
        ::unlink(dataTemp.c_str());
        host_.Progress(0, "");
        host_.Status("Error packing!");
        host_.ShowMessage(text + "\\nThe database was left as it was.", TMsgDlgType::mtError, 0,
                          mbOK);
        keptCount = SlotCount();
        deletedCount = 0;
        return false;
    };
    try {
        if (int err = PackFault("create"))
            throw FileError(DescribeErrno("Cannot create", dataTemp, err));
        int fd = ::open(dataTemp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0)
            throw FileError(DescribeErrno("Cannot create", dataTemp, errno));
        ::close(fd);
        newData = FileLock(dataTemp, false);
        kept.reserve(index_.size());
        // Titles whose data lie end to end in the old file are copied as one run: a pack
        // after a few deletions then costs about as many calls as a plain copy.
        int64_t runFrom = 0, runSize = 0, runTo = 0, started = 0;
        auto copyRun = [&] {
            if (runSize == 0)
                return;
            int err = PackFault("copy");
            if (err || !CopyRange(datFile_.fd(), runFrom, newData.fd(), runTo, runSize, err))
                throw FileError(err ? DescribeErrno("Cannot copy title data to", dataTemp, err)
                                    : "The data file " + dataPath_.string() +
                                          " ended early while packing");
            // Start writing back what is copied, so the flush at the end has less to wait for.
            if (runTo + runSize - started >= (8 << 20)) {
                ::sync_file_range(newData.fd(), started, runTo + runSize - started,
                                  SYNC_FILE_RANGE_WRITE);
                started = runTo + runSize;
            }
            runSize = 0;
        };
        for (int slot = 1; slot <= SlotCount(); ++slot) {
            const char* r = SlotBytes(slot);
            if (!RawActive(r)) {
                ++deletedCount;
            } else {
                TitleRecordBytes copy = slots_[static_cast<std::size_t>(slot - 1)];
                int64_t offset = RawDataOffset(r), size = RawDataSize(r);
                if (offset < 0 || size < 0 || offset + size > dataSize_) {
                    // Data that never were usable stay unusable: the record is kept with no
                    // data rather than reading outside the file.
                    size = 0;
                } else if (size > 0) {
                    if (runSize > 0 && offset != runFrom + runSize)
                        copyRun();
                    if (runSize == 0) {
                        runFrom = offset;
                        runTo = newSize;
                    }
                    runSize += size;
                }
                // Only the two data fields change; the rest stays byte for byte.
                RawSetDataPlace(copy.data(), static_cast<int32_t>(newSize),
                                static_cast<int32_t>(size));
                newSize += size;
                kept.push_back(copy);
                ++keptCount;
            }
            if (slot % 50 == 1) {
                host_.Progress(static_cast<int>(100LL * slot / SlotCount()), "Packing database...");
                host_.ProcessEvents();
            }
        }
        copyRun();
        if (int err = PackFault("flush"))
            throw FileError(DescribeErrno("Cannot flush", dataTemp, err));
        SyncFile(newData.fd(), dataTemp);
        // The deletion marks reach the disk before anything of the pack can take the pair's
        // names: a descriptor file that lost them after a power cut would list dropped titles
        // and no longer be recognised as the one this pack was made from.
        if (int err = PackFault("flush-marks"))
            throw FileError(DescribeErrno("Cannot flush", descriptorPath_, err));
        SyncFile(desFile_.fd(), descriptorPath_);
        if (int err = PackFault("write-info"))
            throw FileError(DescribeErrno("Cannot write", infoTemp, err));
        // Written whole under its name only when complete: its presence marks the pack as
        // ready to commit (see RecoverInterruptedPack).
        WriteFileAtomically(infoTemp, std::string_view(reinterpret_cast<const char*>(kept.data()),
                                                       kept.size() * kTitleRecordSize));
    } catch (const std::exception& e) {
        return fail(e.what());
    }

    FileLock newInfo;
    try {
        newInfo = FileLock(infoTemp, false);
    } catch (const std::exception& e) {
        return fail(e.what());
    }
    int err = PackFault("rename-data");
    if (err || ::rename(dataTemp.c_str(), dataPath_.c_str()) != 0) {
        newInfo.Release();
        return fail("could not rename datatempfile");
    }
    // From here the new data file is in place: the pack must complete, now or at next open.
    // The data rename reaches the disk before the descriptor's, so no crash can pair the new
    // descriptor file with the old data file.
    SyncDirectory(directory_);
    datFile_ = std::move(newData);
    err = PackFault("rename-info");
    if (err || ::rename(infoTemp.c_str(), descriptorPath_.c_str()) != 0) {
        SyncDirectory(directory_);
        host_.Progress(0, "");
        host_.Status("Error packing!");
        host_.ShowMessage("could not rename infotempfile\\nThe pack will be finished the next "
                          "time the database is opened.",
                          TMsgDlgType::mtError, 0, mbOK);
        // The records in memory no longer match the data file: nothing may use them.
        Close();
        return false;
    }
    SyncDirectory(directory_);
    desFile_ = std::move(newInfo);
    ++edits_;
    slots_.assign(kept.begin(), kept.end());
    dataSize_ = newSize;
    problems_.clear();
    BuildIndex();
    host_.Progress(0, "");
    host_.Status("Done");
    return true;
}

} // namespace tunquil
