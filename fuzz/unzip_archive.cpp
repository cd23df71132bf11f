// Any bytes taken as a ZIP archive: opening, listing and extracting must neither crash nor write
// anything outside the extraction folder.

#include "export/archive/TAbUnZipper.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fs::path root = [] {
        char pattern[] = "/tmp/fuzz-unzip.XXXXXX";
        return fs::path(::mkdtemp(pattern));
    }();
    fs::path archive = root / "in.zip";
    fs::path base = root / "out";
    std::error_code ec;
    fs::remove_all(base, ec);
    fs::create_directories(base);
    if (FILE* f = std::fopen(archive.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    try {
        tunquil::TAbUnZipper unzipper;
        unzipper.Open(archive);
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
        if (entry.path() != archive && entry.path() != base)
            std::abort(); // something was written beside the extraction folder
    for (auto& entry : fs::directory_iterator(base))
        if (fs::is_directory(fs::symlink_status(entry.path())) || fs::is_symlink(entry.path()))
            std::abort();
    return 0;
}
