// Import speed against Info-ZIP: a quiet import of every MIDI file of a folder (no duplicate
// test) against `zip -9 -q` of the same files, and an archive of 1,000 titles against `zip -9`
// of their MIDI files. Both sides do the same Deflate work, so the ratio shows what the rest
// of the import costs. Run bench/run-import-bench.sh, which fetches the data first.
//   bench_import_speed [FOLDER]   (default bench-data/openmsx-2000)

#include "base/Files.h"
#include "base/ScriptedHost.h"
#include "base/Text.h"
#include "database/TCatList.h"
#include "database/TDMM2.h"
#include "export/archive/TitleArchiver.h"
#include "import/TitleImporter.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sys/resource.h>
#include <unistd.h>

using namespace tunquil;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// User + system CPU seconds of this process or of its finished children: a figure that the
// other load on a shared machine disturbs far less than the wall clock.
double CpuSeconds(int who) {
    rusage ru{};
    ::getrusage(who, &ru);
    auto s = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return s(ru.ru_utime) + s(ru.ru_stime);
}

double lastZipCpu = 0;

// Runs `zip -9 -q` on the files listed in a file (read from standard input, "-@") and returns
// the seconds it took.
double TimeInfoZip(const std::vector<fs::path>& files, const fs::path& work,
                   const std::string& name) {
    fs::path list = work / (name + ".list");
    {
        std::ofstream out(list);
        for (const auto& f : files)
            out << f.string() << "\n";
    }
    fs::path zip = work / (name + ".zip");
    std::string cmd = "zip -9 -q -j '" + zip.string() + "' -@ < '" + list.string() + "'";
    double cpu = CpuSeconds(RUSAGE_CHILDREN);
    auto start = Clock::now();
    if (std::system(cmd.c_str()) != 0)
        throw std::runtime_error("zip failed: " + cmd);
    double wall = Seconds(start);
    lastZipCpu = CpuSeconds(RUSAGE_CHILDREN) - cpu;
    return wall;
}

struct Program {
    explicit Program(const fs::path& dir)
        : categories(dir), data(dir, host), importer(host, data, categories, dir),
          archiver(host, data.Database(), dir) {
        categories.Load();
        data.SetCategoryList(&categories);
        data.OpenDatabase();
        categories.SetDatabase(&data.Database());
    }
    ScriptedHost host;
    TCatList categories;
    TDMM2 data;
    TitleImporter importer;
    TitleArchiver archiver;
};

} // namespace

int main(int argc, char** argv) {
    fs::path folder = argc > 1 ? argv[1] : "bench-data/openmsx-2000";
    std::vector<fs::path> files;
    for (auto& e : fs::directory_iterator(folder))
        if (MatchesMask(e.path().filename().string(), "*.mid"))
            files.push_back(fs::absolute(e.path()));
    std::sort(files.begin(), files.end());
    if (files.empty()) {
        std::cerr << "no MIDI files in " << folder << " (run bench/run-import-bench.sh)\n";
        return 2;
    }
    uint64_t bytes = 0;
    for (const auto& f : files)
        bytes += ReadWholeFile(f).size(); // also brings every file into the page cache

    char pattern[] = "/tmp/tunquil-bench.XXXXXX";
    fs::path work = ::mkdtemp(pattern);
    int status = 0;
    try {
        // --- import ---
        double zipImport = TimeInfoZip(files, work, "import");
        fs::path home = work / "home";
        fs::create_directories(home);
        double zipImportCpu = lastZipCpu;
        double cpu = CpuSeconds(RUSAGE_SELF);
        auto start = Clock::now();
        int added = 0;
        {
            Program p(home);
            p.importer.Pending().ck = p.categories.AddCategory("Bench");
            p.importer.Pending().pk = p.data.Performers().FindOrAdd("", "Various");
            // As a scan adds: flushed to disk about once a second, before any "OK" is told.
            TitleImporter::AddBatch batch(
                p.importer,
                [&](const std::string&, const std::string& result) { added += result == "OK"; });
            for (const auto& f : files)
                batch.Report(f.string(),
                             p.importer.ImportMusicFile(f, f.filename().string(), f.string(), "",
                                                        "", true, false));
            batch.Finish();
            p.data.Close();
        }
        double ours = Seconds(start);
        double oursCpu = CpuSeconds(RUSAGE_SELF) - cpu;
        std::printf("import of %zu MIDI files (%.1f MB), %d added\n", files.size(), bytes / 1e6,
                    added);
        std::printf("                     wall        cpu\n");
        std::printf("  tunquil import   %8.3f s %8.3f s\n", ours, oursCpu);
        std::printf("  zip -9 -q        %8.3f s %8.3f s\n", zipImport, zipImportCpu);
        std::printf("  ratio            %8.2f   %8.2f   (target <= 1.2)\n", ours / zipImport,
                    oursCpu / zipImportCpu);

        // --- archive of 1,000 titles ---
        std::size_t n = std::min<std::size_t>(1000, files.size());
        std::vector<fs::path> some(files.begin(), files.begin() + static_cast<long>(n));
        double zipArchive = TimeInfoZip(some, work, "archive");
        double zipArchiveCpu = lastZipCpu;
        Program p(home);
        std::vector<std::string> keys;
        for (std::size_t i = 1; i <= n; ++i)
            keys.push_back(std::to_string(i));
        cpu = CpuSeconds(RUSAGE_SELF);
        start = Clock::now();
        auto outcome = p.archiver.BuildTitleArchive((work / "titles.zip").string(), keys);
        double archive = Seconds(start);
        double archiveCpu = CpuSeconds(RUSAGE_SELF) - cpu;
        std::printf("archive of %zu titles: %s\n", n, p.archiver.LastMessage().c_str());
        std::printf("  tunquil archive  %8.3f s %8.3f s\n", archive, archiveCpu);
        std::printf("  zip -9 -q        %8.3f s %8.3f s\n", zipArchive, zipArchiveCpu);
        std::printf("  ratio            %8.2f   %8.2f\n", archive / zipArchive,
                    archiveCpu / zipArchiveCpu);
        std::printf("  sizes            %ju bytes (tunquil), %ju bytes (zip)\n",
                    static_cast<uintmax_t>(fs::file_size(work / "titles.zip")),
                    static_cast<uintmax_t>(fs::file_size(work / "archive.zip")));
        if (outcome != TitleArchiver::Outcome::Completed)
            status = 1;
        p.data.Close();
    } catch (const std::exception& e) {
        std::cerr << "bench_import_speed: " << e.what() << "\n";
        status = 1;
    }
    std::error_code ec;
    fs::remove_all(work, ec);
    return status;
}
