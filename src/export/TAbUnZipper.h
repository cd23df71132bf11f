#pragma once
// Reads ZIP archives, whoever wrote them. Every entry is written straight into the base
// directory under its bare file name, replacing a file of that name; an archive can never place
// a file anywhere else, create a symbolic link, or fill the disk.

#include "export/ZipError.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct zip;

namespace tunquil {

class TAbUnZipper {
public:
    // Percent 0..100 while entries are extracted; setting `abort` stops with EZipAborted.
    using ProgressEvent = std::function<void(int percent, bool& abort)>;

    // Limits on what one archive may unpack; archives of MIDI files stay far below them.
    static constexpr uint64_t kMaxEntrySize = 64ull << 20;
    static constexpr uint64_t kMaxTotalSize = 1ull << 30;

    TAbUnZipper() = default;
    ~TAbUnZipper();
    TAbUnZipper(const TAbUnZipper&) = delete;
    TAbUnZipper& operator=(const TAbUnZipper&) = delete;

    ProgressEvent OnArchiveProgress;

    // Opens an archive for reading; throws EZipError when it is missing or not a ZIP archive.
    void Open(const std::filesystem::path& archive);
    // The same for an archive held in memory (a title's stored data).
    void OpenBytes(std::string bytes);
    void Close();
    bool IsOpen() const { return archive_ != nullptr; }

    int Count() const;
    // The bare file name an entry is extracted under ("" for a directory or unusable name).
    std::string EntryName(int index) const;
    // The bare names of the entries that extraction writes, in archive order.
    std::vector<std::string> FileNames() const;

    // Must exist; a trailing separator is fine.
    void SetBaseDirectory(const std::filesystem::path& dir) { baseDirectory_ = dir; }

    // Extracts every entry whose bare name matches `mask` ("*.*" for all). Symbolic links and
    // directories are skipped. Sizes are checked against the limits before anything is
    // written. Throws EZipError (a damaged, encrypted or oversized entry) or EZipAborted;
    // returns the number of files written.
    int ExtractFiles(const std::string& mask);

    // True when the entry unpacks to exactly `bytes`. Throws EZipError for a damaged entry.
    bool EntryEquals(int index, std::string_view bytes) const;

private:
    bool IsExtractable(int index) const;

    struct zip* archive_ = nullptr;
    std::filesystem::path fileName_;
    std::string bytes_; // the archive opened by OpenBytes; libzip reads it in place
    std::filesystem::path baseDirectory_;
};

} // namespace tunquil
