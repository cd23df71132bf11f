#pragma once
// Reads ZIP archives, whoever wrote them. Every entry is written straight into the base
// directory under its bare file name, replacing a file of that name; an archive can never place
// a file anywhere else, create a symbolic link, or fill the disk.

#include "export/archive/ZipError.h"

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

    // Longer names cannot be file names here.
    static constexpr std::size_t kMaxNameBytes = 255;

    int Count() const;
    // The bare file name an entry is extracted under ("" for a directory or unusable name).
    std::string EntryName(int index) const;
    // The bare file name for an entry's stored name: UTF-8 (other bytes read as Windows-1252),
    // its folders dropped, and no control characters, which would reach the title made from
    // the name and every mail and list it is shown in.
    static std::string MemberFileName(std::string_view storedName);
    // True for an entry that holds a file: folders and symbolic links are never extracted.
    bool IsFileEntry(int index) const;
    // Why a file entry cannot be extracted under its own name: nothing left of it once its
    // folders are dropped, or too long for a file name. "" when it can.
    std::string NameProblem(int index) const;
    // The bare names of the entries that extraction writes, in archive order.
    std::vector<std::string> FileNames() const;

    // Must exist; a trailing separator is fine.
    void SetBaseDirectory(const std::filesystem::path& dir) { baseDirectory_ = dir; }

    // Extracts every entry whose bare name matches `mask` ("*.*" for all). Symbolic links,
    // directories and unusable names are skipped. Sizes are checked against the limits before
    // anything is written. Throws EZipError (a damaged, encrypted or oversized entry) or
    // EZipAborted; returns the number of files written.
    int ExtractFiles(const std::string& mask);

    // Extracts entries by index, each to the path given (its folder must exist), so members
    // that share a name each keep their own bytes. The same checks, errors and progress as
    // ExtractFiles; returns the number of files written.
    struct Extraction {
        int index;
        std::filesystem::path target;
    };
    int ExtractEntries(const std::vector<Extraction>& plan);

    // An entry's bytes, read and checked (size, CRC) as extraction reads them.
    std::string ReadEntry(int index);

    // True when the entry unpacks to exactly `bytes`. Throws EZipError for a damaged entry.
    bool EntryEquals(int index, std::string_view bytes) const;

private:
    // Checks entries before anything is written; gives their sizes.
    std::vector<uint64_t> CheckEntries(const std::vector<int>& indices) const;
    // Streams one entry to `sink`, checking it against its announced size; `progress` gets the
    // bytes read so far.
    void CopyEntry(int index, uint64_t size,
                   const std::function<void(const char*, std::size_t)>& sink,
                   const std::function<void(uint64_t)>& progress);

    struct zip* archive_ = nullptr;
    std::filesystem::path fileName_;
    std::string bytes_; // the archive opened by OpenBytes; libzip reads it in place
    std::filesystem::path baseDirectory_;
};

} // namespace tunquil
