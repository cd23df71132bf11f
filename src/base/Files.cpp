#include "base/Files.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tunquil {

std::string DescribeErrno(const std::string& what, const fs::path& path, int err) {
    return what + " " + path.string() + ": " + std::strerror(err);
}

std::string ReadWholeFile(const fs::path& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw FileError(DescribeErrno("Cannot open", path, errno));
    struct stat st {};
    // Sized once from the file, one byte beyond, so a file that grew meanwhile is read to its
    // end without a second pass.
    std::size_t capacity = (::fstat(fd, &st) == 0 && st.st_size > 0 ? st.st_size : 0) + 1;
    std::string out(capacity, '\0');
    std::size_t size = 0;
    for (;;) {
        if (size == out.size())
            out.resize(out.size() * 2);
        ssize_t n = ::read(fd, out.data() + size, out.size() - size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            int err = errno;
            ::close(fd);
            throw FileError(DescribeErrno("Cannot read", path, err));
        }
        if (n == 0)
            break;
        size += static_cast<std::size_t>(n);
    }
    ::close(fd);
    out.resize(size);
    return out;
}

void WriteAll(int fd, const void* data, std::size_t size, const fs::path& pathForErrors) {
    auto p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd, p, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw FileError(DescribeErrno("Cannot write", pathForErrors, errno));
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
}

bool ReadExactAt(int fd, void* data, std::size_t size, uint64_t offset) {
    auto p = static_cast<char*>(data);
    while (size > 0) {
        ssize_t n = ::pread(fd, p, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return false;
        p += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

namespace {
PreadFunction inputReader = ::pread;
}

PreadFunction SetInputFileReader(PreadFunction reader) {
    PreadFunction previous = inputReader;
    inputReader = reader ? reader : ::pread;
    return previous;
}

InputFile::InputFile(const fs::path& path) : path_(path) {
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0)
        throw FileError(DescribeErrno("Cannot open", path, errno), errno);
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        int err = errno;
        ::close(fd_);
        throw FileError(DescribeErrno("Cannot read", path, err), err);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd_);
        throw FileError(path.string() + " is not a regular file");
    }
    size_ = st.st_size;
}

InputFile::~InputFile() {
    ::close(fd_);
}

std::size_t InputFile::ReadAt(void* data, std::size_t size, uint64_t offset) {
    auto p = static_cast<char*>(data);
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = inputReader(fd_, p + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw FileError(DescribeErrno("Cannot read", path_, errno), errno);
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

std::string InputFile::ReadAll(uint64_t maxSize) {
    if (static_cast<uint64_t>(size_) > maxSize)
        throw FileError(path_.string() + " is too large, has " + std::to_string(size_) + " bytes");
    // A file that grew since it was opened is read only as far as it was then: what is
    // checked is what is read.
    std::string out(static_cast<std::size_t>(size_), '\0');
    out.resize(ReadAt(out.data(), out.size(), 0));
    return out;
}

std::string ReadInputFile(const fs::path& path, uint64_t maxSize) {
    return InputFile(path).ReadAll(maxSize);
}

namespace {

std::function<void(int)>& SyncObserver() {
    static std::function<void(int)> observer;
    return observer;
}

} // namespace

void SyncDirectory(const fs::path& dir) {
    int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        if (SyncObserver())
            SyncObserver()(fd);
        ::close(fd);
    }
}

namespace {

// Creates a file beside `path` that no other writer (another copy of the program saving the
// same file at the same moment) can be using: the process id and a counter make the name,
// and O_EXCL makes sure it is new.
int CreateTempBeside(const fs::path& path, fs::path& temp, mode_t mode) {
    static std::atomic<unsigned> counter{0};
    for (;;) {
        temp = path;
        temp += ".new." + std::to_string(::getpid()) + "." + std::to_string(counter++);
        int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0)
            return fd;
        if (errno != EEXIST) // one left by a dead process of the same id is passed over
            throw FileError(DescribeErrno("Cannot create", temp, errno));
    }
}

} // namespace

void FailWritesPastTheFileSizeLimit() {
    ::signal(SIGXFSZ, SIG_IGN);
}

void SyncFile(int fd, const fs::path& pathForErrors) {
    if (::fsync(fd) != 0)
        throw FileError(DescribeErrno("Cannot flush", pathForErrors, errno));
    if (SyncObserver())
        SyncObserver()(fd);
}

void SetSyncObserverForTesting(std::function<void(int fd)> observer) {
    SyncObserver() = std::move(observer);
}

fs::path FollowLinks(const fs::path& path) {
    fs::path at = path;
    // As many links as the kernel itself follows before it gives up with ELOOP.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return at;
        std::error_code ec;
        fs::path target = fs::read_symlink(at, ec);
        if (ec)
            throw FileError(DescribeErrno("Cannot read the link", at, ec.value()), ec.value());
        at = target.is_absolute() ? target : at.parent_path() / target;
    }
    throw FileError(DescribeErrno("Cannot follow", path, ELOOP), ELOOP);
}

void WriteFileAtomically(const fs::path& given, std::string_view bytes, mode_t newFileMode) {
    const fs::path path = FollowLinks(given);
    struct stat old {};
    bool replacing = ::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    fs::path temp;
    int fd = CreateTempBeside(path, temp, replacing ? (old.st_mode & 07777) : newFileMode);
    try {
        if (replacing) {
            // The umask narrowed the mode at creation; the file replaced sets it. A private
            // file must not turn readable, nor a shared one private, by being saved. Only root
            // may give a file to another owner, and it should then keep the user's.
            if (::fchown(fd, old.st_uid, old.st_gid) != 0 && errno != EPERM)
                throw FileError(DescribeErrno("Cannot set the owner of", temp, errno));
            if (::fchmod(fd, old.st_mode & 07777) != 0)
                throw FileError(DescribeErrno("Cannot set the mode of", temp, errno));
        }
        WriteAll(fd, bytes.data(), bytes.size(), temp);
        SyncFile(fd, temp);
    } catch (...) {
        ::close(fd);
        ::unlink(temp.c_str());
        throw;
    }
    if (::close(fd) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        throw FileError(DescribeErrno("Cannot close", temp, err));
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        throw FileError(DescribeErrno("Cannot replace", path, err));
    }
    SyncDirectory(path.parent_path());
}

void MoveFileReplacing(const fs::path& from, const fs::path& to) {
    if (::rename(from.c_str(), to.c_str()) == 0) {
        SyncDirectory(to.parent_path());
        return;
    }
    if (errno != EXDEV)
        throw FileError(DescribeErrno("Cannot move to", to, errno));
    // Another file system: the copy is written beside the target and renamed over it, so the
    // target is replaced only whole.
    WriteFileAtomically(to, ReadWholeFile(from));
    ::unlink(from.c_str());
}

int CreateFreshFile(const fs::path& path, mode_t mode) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        throw FileError(DescribeErrno("Cannot remove", path, errno), errno);
    // O_EXCL fails on any entry, a link included, that appeared since the unlink.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0)
        throw FileError(DescribeErrno("Cannot create", path, errno), errno);
    return fd;
}

fs::path UniqueSibling(const fs::path& path) {
    fs::path dir = path.parent_path();
    std::string stem = path.stem().string();
    std::string ext = path.extension().string();
    for (unsigned n = 1;; ++n) {
        fs::path candidate = dir / (stem + "." + std::to_string(n) + ext);
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(candidate, ec)))
            return candidate;
    }
}

FileLock::FileLock(const fs::path& path, bool create) {
    int flags = O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0);
    fd_ = ::open(path.c_str(), flags, 0644);
    if (fd_ < 0)
        throw FileError(DescribeErrno("Cannot open", path, errno));
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        int err = errno;
        ::close(fd_);
        fd_ = -1;
        if (err == EWOULDBLOCK)
            throw FileInUseError(
                "The file " + path.string() +
                    " is in use by another copy of Tunquil. Close that copy first.",
                err);
        throw FileError(DescribeErrno("Cannot lock", path, err));
    }
}

FileLock::~FileLock() {
    Release();
}

FileLock::FileLock(FileLock&& other) noexcept : fd_(other.fd_) {
    other.fd_ = -1;
}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        Release();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

void FileLock::Release() {
    if (fd_ >= 0) {
        ::close(fd_); // closing drops the flock
        fd_ = -1;
    }
}

} // namespace tunquil
