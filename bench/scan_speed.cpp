// The scans' search stage against `find DIR -iname '*.mid'` on the same generated tree of
// 100,000 files in 10,000 folders, both timed in this run on a warm cache (best of five wall
// times). The target is a ratio within 1.5.
//   bench_scan_speed [WORKDIR]   (default: a new folder under $TMPDIR, removed afterwards)

#include "base/Text.h"
#include "import/FileSearch.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace tunquil;

namespace {

constexpr int kTop = 100, kPerTop = 100, kFilesPerFolder = 10;
constexpr int kRuns = 5;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// 100 folders of 100 folders, each with ten files: seven "*.mid", one "*.MID", two others.
void MakeTree(const fs::path& root) {
    for (int t = 0; t < kTop; ++t) {
        for (int s = 0; s < kPerTop; ++s) {
            fs::path dir = root / ("Top " + std::to_string(t)) / ("Folder " + std::to_string(s));
            fs::create_directories(dir);
            for (int f = 0; f < kFilesPerFolder; ++f) {
                const char* ext = f < 7 ? ".mid" : f == 7 ? ".MID" : ".txt";
                std::ofstream(dir / ("tune " + std::to_string(f) + ext)) << "MThd";
            }
        }
    }
}

double TimeFind(const fs::path& root, long& lines) {
    std::string cmd = "find '" + root.string() + "' -iname '*.mid' | wc -l";
    auto start = Clock::now();
    FILE* pipe = ::popen(cmd.c_str(), "r");
    if (!pipe || std::fscanf(pipe, "%ld", &lines) != 1)
        throw std::runtime_error("find failed");
    ::pclose(pipe);
    return Seconds(start);
}

double TimeSearch(const fs::path& root, std::size_t& found) {
    auto start = Clock::now();
    std::vector<std::string> paths;
    FileSearch search;
    search.onFile = [&](const std::string& path) { paths.push_back(path); };
    search.Search(root.string());
    found = paths.size();
    return Seconds(start);
}

} // namespace

int main(int argc, char** argv) {
    bool own = argc < 2;
    fs::path work =
        own ? fs::temp_directory_path() / ("tunquil-scan-bench-" + std::to_string(::getpid()))
            : fs::path(argv[1]);
    fs::path root = work / "tree";
    try {
        if (!fs::exists(root)) {
            std::cout << "making 100,000 files in 10,000 folders under " << root << "\n";
            MakeTree(root);
        }
        long findLines = 0;
        std::size_t found = 0;
        TimeFind(root, findLines); // warm the cache for both sides
        double best = 1e9, bestFind = 1e9;
        // Alternating, so a burst of load on a shared machine hits both sides alike.
        for (int i = 0; i < kRuns; ++i) {
            bestFind = std::min(bestFind, TimeFind(root, findLines));
            best = std::min(best, TimeSearch(root, found));
        }
        std::printf("find -iname '*.mid': %ld files, %.3f s\n", findLines, bestFind);
        std::printf("search stage:        %zu files, %.3f s\n", found, best);
        std::printf("ratio search/find:   %.2f (target <= 1.5)\n", best / bestFind);
        if (own)
            fs::remove_all(work);
        return static_cast<long>(found) == findLines ? 0 : 1;
    } catch (const std::exception& e) {
        std::cerr << "bench_scan_speed: " << e.what() << "\n";
        if (own)
            fs::remove_all(work);
        return 2;
    }
}
