#pragma once
// File helpers shared by every subsystem. Writes that hold the user's data go through
// WriteFileAtomically: a reader sees the old file or the new one, never a mixture.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace tunquil {

namespace fs = std::filesystem;

// A file operation failed; the text names the file and the system's reason.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    FileError(const std::string& what, int code) : std::runtime_error(what), code_(code) {}
    // The errno of the failed call, 0 when the failure was not a system call's.
    int code() const { return code_; }

private:
    int code_ = 0;
};

// A FileLock found the file locked by another process.
class FileInUseError : public FileError {
public:
    using FileError::FileError;
};

// "<what> <path>: <strerror(err)>"
std::string DescribeErrno(const std::string& what, const fs::path& path, int err);

std::string ReadWholeFile(const fs::path& path);

// Writes `bytes` to a new file beside `path` (under a name of its own, so that two writers never
// share one), flushes it to disk and renames it over `path`. On failure the old file is
// untouched and FileError is thrown. A file replaced keeps its mode (and, where allowed, its
// owner); a new one gets `newFileMode`, less the umask. Where `path` is a symbolic link, the
// file it leads to is replaced and the link stays: users link their settings and desktop files
// into folders of their own.
void WriteFileAtomically(const fs::path& path, std::string_view bytes, mode_t newFileMode = 0644);

// The file a chain of symbolic links at `path` ends in (which need not exist yet); `path` itself
// when it is no link. Throws FileError for a loop.
fs::path FollowLinks(const fs::path& path);

// Writes all of `size` bytes to `fd`, retrying short writes; throws FileError.
void WriteAll(int fd, const void* data, std::size_t size, const fs::path& pathForErrors);
// Reads exactly `size` bytes at `offset`; false when the file ends first.
bool ReadExactAt(int fd, void* data, std::size_t size, uint64_t offset);

// A file the user names as input (a tune to add or to time). Such a name may be anything: a
// FIFO or a device would block a read forever and a huge file would fill memory, so the file is
// opened without blocking and refused unless it is a regular file; its size is known before
// anything is read. Throws FileError, with the errno as its code where a call failed.
class InputFile {
public:
    explicit InputFile(const fs::path& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    int64_t Size() const { return size_; }
    // Reads up to `size` bytes at `offset`, fewer only where the file ends.
    std::size_t ReadAt(void* data, std::size_t size, uint64_t offset);
    // The whole file; a file larger than `maxSize` is refused before it is read.
    std::string ReadAll(uint64_t maxSize);

private:
    fs::path path_;
    int fd_ = -1;
    int64_t size_ = 0;
};

std::string ReadInputFile(const fs::path& path, uint64_t maxSize);

// Every read of an InputFile goes through this function, pread(2) unless a test puts a
// failing one in its place. Returns the one it replaces.
using PreadFunction = ssize_t (*)(int fd, void* data, std::size_t size, off_t offset);
PreadFunction SetInputFileReader(PreadFunction reader);

// Flushes a directory entry change (a rename or a new file) to disk.
void SyncDirectory(const fs::path& dir);

// Makes a write past the process's file-size limit fail with EFBIG ("File too large"), reported
// like a full disk, instead of ending the program by signal. Each program's main calls it.
void FailWritesPastTheFileSizeLimit();

// Flushes the content of an open file to disk; throws FileError.
void SyncFile(int fd, const fs::path& pathForErrors);
// Tests only: called with each file descriptor SyncFile or SyncDirectory has flushed, so that a
// test can model what a power cut keeps (each file's content as of its last flush, each folder's
// names as of its last flush). Empty to stop.
void SetSyncObserverForTesting(std::function<void(int fd)> observer);

// Moves `from` to `to`; when they lie on different file systems, copies (through memory: it
// is meant for tunes, not for files of any size), flushes and then removes the source. Throws
// FileError; `to` is replaced only once the copy is complete.
void MoveFileReplacing(const fs::path& from, const fs::path& to);

// Creates `path` as a new, empty file open for writing, in place of whatever entry had that
// name: a file left by an earlier run, or a symbolic link, which is removed and never followed.
// For the program's own working files under fixed names (a staged tune, a reset message), so
// that a link planted under such a name cannot make the program overwrite the file it leads to.
// Throws FileError.
int CreateFreshFile(const fs::path& path, mode_t mode = 0600);

// A name under `dir` that does not exist yet: stem + ".N" + extension for the first free N.
fs::path UniqueSibling(const fs::path& path);

// An advisory exclusive lock on an open file, held until destruction.
class FileLock {
public:
    FileLock() = default;
    // Opens `path` (creating it when `create`) and locks it without waiting; throws FileError
    // with a clear text when another process holds it.
    FileLock(const fs::path& path, bool create);
    ~FileLock();
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    int fd() const { return fd_; }
    bool held() const { return fd_ >= 0; }
    void Release();

private:
    int fd_ = -1;
};

} // namespace tunquil
