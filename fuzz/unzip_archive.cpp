// Any bytes taken as a ZIP archive: opening, listing and extracting must neither crash nor write
// anything outside the extraction folder. The archive is opened from memory, as stored tunes
// are: a file per input would cost most of the time.

#include "export/archive/TAbUnZipper.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fs::path root = [] {
        char pattern[] = "/tmp/fuzz-unzip.XXXXXX";
        fs::path made(::mkdtemp(pattern));
        fs::create_directories(made / "out");
        return made;
    }();
    const fs::path base = root / "out";
    try {
        tunquil::TAbUnZipper unzipper;
        unzipper.OpenBytes(std::string(reinterpret_cast<const char*>(data), size));
        (void)unzipper.FileNames();
        for (int i = 0; i < unzipper.Count(); ++i) {
            if (!unzipper.IsFileEntry(i) || !unzipper.NameProblem(i).empty())
                continue;
            try {
                (void)unzipper.ReadEntry(i);
            } catch (const tunquil::EZipError&) {
            }
        }
        unzipper.SetBaseDirectory(base);
        unzipper.ExtractFiles("*.*");
    } catch (const tunquil::EZipError&) {
    }
    for (auto& entry : fs::directory_iterator(root))
        if (entry.path() != base)
            std::abort(); // something was written beside the extraction folder
    std::error_code ec;
    for (auto& entry : fs::directory_iterator(base)) {
        if (fs::is_directory(fs::symlink_status(entry.path())) || fs::is_symlink(entry.path()))
            std::abort();
        fs::remove(entry.path(), ec); // the next input starts from an empty folder
    }
    return 0;
}
