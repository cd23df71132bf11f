// The scans' two stages, each against a common tool timed in this run on a warm cache:
// - the search stage against `find DIR -iname '*.mid'` on the same generated tree of 100,000
//   files in 10,000 folders (best of five wall times);
// - the import stage (every file found checked, packed and stored, as the drive scan does it)
//   against `zip -9 -q` of the same 2,000 generated Standard MIDI Files (best of three; wall
//   and CPU seconds). Both do the same Deflate work, so the ratio is what the rest costs.
// The target is a ratio within 1.5 for each.
//   bench_scan_speed [WORKDIR]   (default: a new folder under $TMPDIR, removed afterwards)

#include "base/ScriptedHost.h"
#include "base/Text.h"
#include "database/TCatList.h"
#include "database/TDMM2.h"
#include "import/FileSearch.h"
#include "import/MidiScanner.h"
#include "import/TitleImporter.h"
#include "platform/Drives.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace tunquil;

namespace {

constexpr int kTop = 100, kPerTop = 100, kFilesPerFolder = 10;
constexpr int kRuns = 5;
constexpr int kTunes = 2000, kImportRuns = 3;

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

// User + system CPU seconds of this process or of its finished children: a figure that other
// load on a shared machine disturbs far less than the wall clock.
double CpuSeconds(int who) {
    rusage ru{};
    ::getrusage(who, &ru);
    auto s = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return s(ru.ru_utime) + s(ru.ru_stime);
}

void Put16(std::string& out, unsigned v) {
    out += char(v >> 8);
    out += char(v & 0xff);
}
void Put32(std::string& out, uint32_t v) {
    Put16(out, v >> 16);
    Put16(out, v & 0xffff);
}
void PutVarLen(std::string& out, uint32_t v) {
    std::string bytes(1, char(v & 0x7f));
    while (v >>= 7)
        bytes.insert(bytes.begin(), char(0x80 | (v & 0x7f)));
    out += bytes;
}

// A format-0 Standard MIDI File of a few hundred to a few thousand notes that wander over a
// scale, as real tunes do: it compresses about as well as a real tune.
std::string GeneratedTune(std::mt19937& random) {
    std::string track;
    track += std::string("\x00\xff\x51\x03\x07\xa1\x20", 7); // tempo 500,000
    PutVarLen(track, 0);
    track += char(0xc0);
    track += char(random() % 128);
    static constexpr int kScale[] = {0, 2, 4, 5, 7, 9, 11};
    int notes = 200 + static_cast<int>(random() % 3000), step = 14;
    for (int i = 0; i < notes; ++i) {
        step = std::clamp(step + static_cast<int>(random() % 5) - 2, 0, 27);
        int note = 36 + 12 * (step / 7) + kScale[step % 7];
        PutVarLen(track, 0);
        track += char(0x90);
        track += char(note);
        track += char(60 + random() % 40);
        PutVarLen(track, 120 * (1 + random() % 4));
        track += char(0x80);
        track += char(note);
        track += char(0);
    }
    PutVarLen(track, 0);
    track += std::string("\xff\x2f\x00", 3);
    std::string file = "MThd";
    Put32(file, 6);
    Put16(file, 0);
    Put16(file, 1);
    Put16(file, 480);
    file += "MTrk";
    Put32(file, static_cast<uint32_t>(track.size()));
    return file + track;
}

void MakeTunes(const fs::path& dir) {
    fs::create_directories(dir);
    std::mt19937 random(1234);
    for (int i = 0; i < kTunes; ++i)
        std::ofstream(dir / ("tune " + std::to_string(i) + ".mid"), std::ios::binary)
            << GeneratedTune(random);
}

struct Timing {
    double wall = 1e9, cpu = 1e9;
    void Keep(double w, double c) {
        wall = std::min(wall, w);
        cpu = std::min(cpu, c);
    }
};

void TimeZip(const fs::path& tunes, const fs::path& work, Timing& timing) {
    fs::path zip = work / "tunes.zip";
    fs::remove(zip);
    std::string cmd = "cd '" + tunes.string() + "' && zip -9 -q -j '" + zip.string() + "' *.mid";
    double cpu = CpuSeconds(RUSAGE_CHILDREN);
    auto start = Clock::now();
    if (std::system(cmd.c_str()) != 0)
        throw std::runtime_error("zip failed: " + cmd);
    timing.Keep(Seconds(start), CpuSeconds(RUSAGE_CHILDREN) - cpu);
}

// The drive scan of the folder into a new library; only its import stage is timed.
int TimeImport(const fs::path& tunes, const fs::path& home, Timing& timing) {
    fs::remove_all(home);
    fs::create_directories(home);
    ScriptedHost host;
    TCatList categories(home);
    categories.Load();
    TDMM2 data(home, host);
    data.SetCategoryList(&categories);
    data.OpenDatabase();
    categories.SetDatabase(&data.Database());
    TitleImporter importer(host, data, categories, home);
    platform::FakeDrives drives;
    MidiScanner scanner(host, importer, data, categories, home, drives);
    Clock::time_point start;
    double cpu = 0;
    scanner.onImportStart = [&](int) {
        cpu = CpuSeconds(RUSAGE_SELF);
        start = Clock::now();
    };
    ScanOutcome outcome = scanner.ScanDirectory(tunes, false, "Bench", "", "Bench");
    timing.Keep(Seconds(start), CpuSeconds(RUSAGE_SELF) - cpu);
    data.Close();
    return outcome.added;
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

        fs::path tunes = work / "tunes";
        if (!fs::exists(tunes)) {
            std::cout << "making " << kTunes << " Standard MIDI Files under " << tunes << "\n";
            MakeTunes(tunes);
        }
        uint64_t bytes = 0;
        for (const auto& e : fs::directory_iterator(tunes))
            bytes += e.file_size();
        Timing zip, import;
        int added = 0;
        TimeZip(tunes, work, zip); // warm the cache for both sides
        for (int i = 0; i < kImportRuns; ++i) {
            TimeZip(tunes, work, zip);
            added = TimeImport(tunes, work / "home", import);
        }
        std::printf("import stage of %d files (%.1f MB), %d added\n", kTunes, bytes / 1e6, added);
        std::printf("                     wall        cpu\n");
        std::printf("  import stage     %8.3f s %8.3f s\n", import.wall, import.cpu);
        std::printf("  zip -9 -q        %8.3f s %8.3f s\n", zip.wall, zip.cpu);
        std::printf("  ratio            %8.2f   %8.2f   (target <= 1.5)\n", import.wall / zip.wall,
                    import.cpu / zip.cpu);
        if (added != kTunes)
            found = 0; // reported as a failure below
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
