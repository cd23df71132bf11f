#include "database/DirectoryUtils.h"

#include "base/Text.h"

#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tunquil {

namespace {
bool IsAtOrAbove(const fs::path& dir, const fs::path& programDirectory) {
    std::error_code ec;
    fs::path a = fs::weakly_canonical(dir, ec);
    fs::path b = fs::weakly_canonical(programDirectory, ec);
    if (a.empty() || b.empty())
        return true;
    auto [endA, endB] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    // Trailing separators give an empty last element; ignore it.
    return endA == a.end() || (endA->empty() && std::next(endA) == a.end());
}
} // namespace

void ClearDirectory(IHost& host, const fs::path& programDirectory, const fs::path& directory,
                    const std::string& mask) {
    std::string dirText = directory.string();
    // Also refused when the text merely occurs in the program directory's path: a slip in
    // the directory given must never empty the program's own files.
    if (dirText.empty() || programDirectory.string().find(dirText) != std::string::npos ||
        IsAtOrAbove(directory, programDirectory)) {
        host.ShowMessage("Error: Do not clear app directory", TMsgDlgType::mtError, 0, mbOK);
        return;
    }
    // Every folder is opened without following a link, and every file deleted by its name in
    // the folder opened: a link in the place of a work folder, or one put there while the walk
    // runs, never leads the deletion into a folder of the user's.
    int top = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (top < 0) {
        host.ShowMessage("Potential error in ClearDirectory", TMsgDlgType::mtWarning, 0, mbOK);
        return;
    }
    struct Folder {
        std::shared_ptr<const int> fd;
        bool first;
    };
    auto adopt = [](int fd) {
        return std::shared_ptr<const int>(new int(fd), [](const int* p) {
            close(*p);
            delete p;
        });
    };
    std::vector<std::pair<std::shared_ptr<const int>, std::string>> files;
    std::vector<Folder> pending{{adopt(top), true}};
    while (!pending.empty()) {
        Folder folder = pending.back();
        pending.pop_back();
        std::vector<std::shared_ptr<const int>> subdirs;
        // readdir owns the descriptor it is given, so it reads a duplicate.
        int listing = dup(*folder.fd);
        DIR* d = listing < 0 ? nullptr : fdopendir(listing);
        if (!d && listing >= 0)
            close(listing);
        while (dirent* e = d ? readdir(d) : nullptr) {
            const std::string name = e->d_name;
            if (name == "." || name == "..")
                continue;
            struct stat st {};
            if (fstatat(*folder.fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            if (S_ISDIR(st.st_mode)) {
                int sub =
                    openat(*folder.fd, e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (sub >= 0)
                    subdirs.push_back(adopt(sub));
            } else if (MatchesMask(name, mask)) {
                files.emplace_back(folder.fd, name);
            }
        }
        if (d)
            closedir(d);
        // Depth first, in the order found.
        for (auto sub = subdirs.rbegin(); sub != subdirs.rend(); ++sub)
            pending.push_back({*sub, false});
        if (!folder.first)
            host.ProcessEvents();
    }
    // Last gathered first. A file that cannot be deleted (in use, no permission) is left for
    // the next clearing: these are work files, not the user's data.
    for (auto f = files.rbegin(); f != files.rend(); ++f)
        unlinkat(*f->first, f->second.c_str(), 0);
}

bool CopyWholeFile(IHost& host, const fs::path& source, const fs::path& target) {
    std::error_code ec;
    if (!fs::exists(source, ec))
        return false;
    // Only the same file is refused: on a case-sensitive file system A.mid and a.mid are two
    // files, and copying one onto the other is an ordinary copy.
    if (fs::exists(target, ec) && fs::equivalent(source, target, ec))
        throw FileError("Target is same as source for copying " + source.string());
    std::string bytes;
    try {
        bytes = ReadWholeFile(source);
    } catch (const std::exception& e) {
        host.ShowMessage(std::string("Copyfile exception1: ") + e.what(), TMsgDlgType::mtError, 0,
                         mbCancel);
        return false;
    }
    try {
        WriteFileAtomically(target, bytes);
    } catch (const std::exception& e) {
        host.ShowMessage(std::string("Copyfile exception2: ") + e.what(), TMsgDlgType::mtError, 0,
                         mbCancel);
        return false;
    }
    return true;
}

} // namespace tunquil
