#pragma once
// The one search for files below a folder that the scans and tunquilctl share. It goes by path
// and never changes the working directory; it never follows a symbolic link, never leaves the
// file system it started on, leaves hidden entries out, and takes a folder it cannot read as
// one more folder skipped, never as the end of the search.

#include "base/Text.h"

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace tunquil {

struct DirectoryEntry {
    enum class Kind { File, Directory, Other }; // Other: links, devices, FIFOs, sockets
    std::string name;
    Kind kind = Kind::Other;
    uint64_t device = 0; // for directories: the file system they live on
};

struct DirectoryIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    auto operator<=>(const DirectoryIdentity&) const = default;
};

// The file layer under the search; tests put a double in its place for folders that cannot be
// read and for mounts of other file systems.
class IDirectoryReader {
public:
    virtual ~IDirectoryReader() = default;
    // Opens `path` as a directory (a symbolic link at its end is followed only when
    // `followLink`), gives its identity and lists its entries without "." and "..", each
    // classified as lstat would. False when it cannot be opened or read.
    virtual bool Read(const std::string& path, bool followLink, DirectoryIdentity& identity,
                      std::vector<DirectoryEntry>& entries) = 0;
};

// POSIX: open with O_NOFOLLOW, readdir's entry types, fstatat without following or automounting.
class SystemDirectoryReader : public IDirectoryReader {
public:
    bool Read(const std::string& path, bool followLink, DirectoryIdentity& identity,
              std::vector<DirectoryEntry>& entries) override;
};
IDirectoryReader& SystemDirectoryReaderInstance();

// The identity of the directory at `path` (links followed), or false.
bool IdentityOfDirectory(const std::string& path, DirectoryIdentity& identity);

class FileSearch {
public:
    enum class Result { Completed, Stopped, NotFound };

    explicit FileSearch(IDirectoryReader& reader = SystemDirectoryReaderInstance())
        : reader_(reader) {}

    std::string mask = kMidiFileMasks; // matched ignoring case
    // Asked before each file and each folder.
    std::function<bool()> stopRequested;
    std::function<void(const std::string& path)> onFile;
    // After each folder read: counts may be shown and pending events let through.
    std::function<void()> onDirectory;

    // A folder left out with everything below it (the program's own directory).
    void Exclude(const DirectoryIdentity& identity) { excluded_.insert(identity); }

    // Searches `root` (a link there is followed: it is what the user chose) and everything
    // below it on the same file system. NotFound when `root` cannot be read. A folder that an
    // earlier search of this object went through is not searched again.
    Result Search(const std::string& root);

    int directories = 0;      // folders read
    int files = 0;            // files found
    int unreadable = 0;       // folders that could not be read and were skipped
    int otherFileSystems = 0; // mount points not entered

private:
    IDirectoryReader& reader_;
    std::set<DirectoryIdentity> excluded_;
    std::set<DirectoryIdentity> visited_;
};

} // namespace tunquil
