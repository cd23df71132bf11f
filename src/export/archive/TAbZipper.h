#pragma once
// Writes ZIP archives the way all of the program's archive work wants them: every entry under
// its bare file name, Deflate at level 9, stored when Deflate does not make it smaller. An
// archive that already exists is extended, and names it already holds are skipped.

#include "export/archive/ZipError.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

struct zip;

namespace tunquil {

class TAbZipper {
public:
    // Percent 0..100 while the archive is written; setting `abort` stops the write, which then
    // fails with EZipAborted and leaves any old archive as it was.
    using ProgressEvent = std::function<void(int percent, bool& abort)>;

    TAbZipper();
    ~TAbZipper(); // an archive still open is discarded, never written
    TAbZipper(const TAbZipper&) = delete;
    TAbZipper& operator=(const TAbZipper&) = delete;

    ProgressEvent OnArchiveProgress;

    // Relative paths given to AddFile are taken from here.
    void SetBaseDirectory(const std::filesystem::path& dir) { baseDirectory_ = dir; }

    // Opens `archive` to extend it, or starts a new one when no file of that name exists.
    void Open(const std::filesystem::path& archive);
    bool IsOpen() const { return archive_ != nullptr; }

    // Adds the file under its bare name (or under `entryName`). False when the archive already
    // holds an entry of that name: the file is then skipped.
    bool AddFile(const std::filesystem::path& file);
    bool AddFile(const std::filesystem::path& file, const std::string& entryName);
    // Adds bytes held in memory.
    bool AddBytes(std::string bytes, const std::string& entryName, int64_t modified);

    // Writes the archive: into a new file beside the target, which replaces the target only
    // once it is complete. Throws EZipError or EZipAborted; the zipper is closed either way.
    void Save();
    // Closes without writing.
    void Discard();

    // Entries in the archive, old and new, and entries added since Open.
    int Count() const;
    int AddedCount() const { return added_; }

    // The entry name a path is stored under: no drive, no directories, no "." or "..".
    static std::string BareName(const std::string& path);

private:
    bool AddPrepared(void* prepared, const std::string& name);

    std::filesystem::path baseDirectory_;
    std::filesystem::path fileName_;
    struct zip* archive_ = nullptr;
    int added_ = 0;
    bool aborted_ = false;
};

} // namespace tunquil
