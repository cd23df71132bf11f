#include "database/DirectoryUtils.h"

#include "base/Text.h"

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
    std::error_code ec;
    if (!fs::is_directory(directory, ec)) {
        host.ShowMessage("Potential error in ClearDirectory", TMsgDlgType::mtWarning, 0, mbOK);
        return;
    }
    std::vector<fs::path> files;
    std::vector<fs::path> pending{directory};
    while (!pending.empty()) {
        fs::path dir = pending.back();
        pending.pop_back();
        std::vector<fs::path> subdirs;
        for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
            auto status = it->symlink_status(ec);
            if (fs::is_directory(status))
                subdirs.push_back(it->path());
            else if (MatchesMask(it->path().filename().string(), mask))
                files.push_back(it->path());
        }
        ec.clear();
        // Depth first, in the order found.
        for (auto s = subdirs.rbegin(); s != subdirs.rend(); ++s)
            pending.push_back(*s);
        if (dir != directory)
            host.ProcessEvents();
    }
    // Last gathered first. A file that cannot be deleted (in use, no permission) is left for
    // the next clearing: these are work files, not the user's data.
    for (auto f = files.rbegin(); f != files.rend(); ++f)
        fs::remove(*f, ec);
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
