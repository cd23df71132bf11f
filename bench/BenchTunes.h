#pragma once
// The benchmarks' corpus of real tunes (bench/fetch-openmsx.sh puts them in bench-data).

#include <algorithm>
#include <filesystem>
#include <vector>

namespace bench {

// The MIDI files of `dir`, sorted; none when the folder is missing.
inline std::vector<std::filesystem::path> BenchTunes(const std::filesystem::path& dir) {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec))
        if (e.path().extension() == ".mid" || e.path().extension() == ".MID")
            files.push_back(std::filesystem::absolute(e.path()));
    std::sort(files.begin(), files.end());
    return files;
}

// The tune named on the command line, else the corpus's first; empty when there is none.
inline std::filesystem::path FirstBenchTune(int argc, char** argv) {
    if (argc > 1)
        return argv[1];
    auto files = BenchTunes("bench-data/openmsx");
    return files.empty() ? std::filesystem::path() : files.front();
}

} // namespace bench
