#include "import/FileSearch.h"

#include "base/Text.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tunquil {

bool SystemDirectoryReader::Read(const std::string& path, bool followLink,
                                 DirectoryIdentity& identity,
                                 std::vector<DirectoryEntry>& entries) {
    entries.clear();
    // O_NOFOLLOW with O_DIRECTORY: a folder swapped for a link after it was listed is refused
    // here rather than followed.
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK |
                                      (followLink ? 0 : O_NOFOLLOW));
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return false;
    }
    identity = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    bool ok = true;
    for (;;) {
        errno = 0;
        dirent* d = ::readdir(dir);
        if (!d) {
            ok = errno == 0;
            break;
        }
        const char* name = d->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        DirectoryEntry entry;
        entry.name = name;
        unsigned char type = d->d_type;
        if (type == DT_UNKNOWN || type == DT_DIR) {
            // The device of a folder tells a mount point; AT_NO_AUTOMOUNT keeps an automounted
            // share from being woken just to be left out.
            struct stat es {};
            if (::fstatat(::dirfd(dir), name, &es, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) != 0)
                continue;
            entry.kind = S_ISDIR(es.st_mode)   ? DirectoryEntry::Kind::Directory
                         : S_ISREG(es.st_mode) ? DirectoryEntry::Kind::File
                                               : DirectoryEntry::Kind::Other;
            entry.device = static_cast<uint64_t>(es.st_dev);
        } else {
            entry.kind = type == DT_REG ? DirectoryEntry::Kind::File : DirectoryEntry::Kind::Other;
        }
        entries.push_back(std::move(entry));
    }
    ::closedir(dir);
    return ok;
}

IDirectoryReader& SystemDirectoryReaderInstance() {
    static SystemDirectoryReader reader;
    return reader;
}

bool IdentityOfDirectory(const std::string& path, DirectoryIdentity& identity) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    identity = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    return true;
}

FileSearch::Result FileSearch::Search(const std::string& root) {
    auto stopping = [&] { return stopRequested && stopRequested(); };
    std::string start = root;
    while (start.size() > 1 && start.back() == '/')
        start.pop_back();

    // Depth first with a stack of paths, so a deep tree cannot exhaust the call stack.
    std::vector<std::string> pending{start};
    std::vector<DirectoryEntry> entries;
    uint64_t rootDevice = 0;
    bool first = true;
    while (!pending.empty()) {
        if (stopping())
            return Result::Stopped;
        std::string dir = std::move(pending.back());
        pending.pop_back();
        DirectoryIdentity identity;
        if (!reader_.Read(dir, first, identity, entries)) {
            if (first)
                return Result::NotFound;
            ++unreadable;
            continue;
        }
        if (first)
            rootDevice = identity.device;
        first = false;
        // A bind mount can show a folder twice, even inside itself.
        if (excluded_.count(identity) || !visited_.insert(identity).second)
            continue;
        ++directories;
        std::string prefix = dir == "/" ? dir : dir + "/";
        std::size_t firstChild = pending.size();
        for (const auto& entry : entries) {
            if (entry.name[0] == '.')
                continue;
            if (entry.kind == DirectoryEntry::Kind::File) {
                if (!MatchesAnyMask(entry.name, mask))
                    continue;
                if (stopping())
                    return Result::Stopped;
                ++files;
                if (onFile)
                    onFile(prefix + entry.name);
            } else if (entry.kind == DirectoryEntry::Kind::Directory) {
                if (entry.device != rootDevice)
                    ++otherFileSystems;
                else
                    pending.push_back(prefix + entry.name);
            }
        }
        // The stack pops the last pushed first; turn this folder's children round so they are
        // searched in the order the folder lists them.
        std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(firstChild), pending.end());
        if (onDirectory)
            onDirectory();
    }
    return Result::Completed;
}

} // namespace tunquil
