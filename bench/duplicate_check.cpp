// What the duplicate check costs an import of many tunes of one length and one size (generated
// jingles, ring tones, a game's short cues): one archive of distinct 169-byte tunes of 2 s each
// imported into an empty library with the check and without it ("allow duplicates"), then
// imported again with the check, when every tune is a duplicate.
// Also the first check in a library of 100,000 titles, which gathers what it looks up by.
//   bench_duplicate_check [TUNES [ROUNDS]]   (default 10000 tunes, 1 round)

#include "BenchDatabase.h"
#include "BenchFigures.h"
#include "base/ScriptedHost.h"
#include "database/TCatList.h"
#include "database/TDMM2.h"
#include "export/archive/TAbZipper.h"
#include "import/TitleImporter.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sys/resource.h>
#include <unistd.h>

using namespace tunquil;
using bench::Median;
using bench::MsSince;
using bench::Put32;

namespace {

// A tune of 169 bytes that lasts 2 s, told apart from the others by its text event.
std::string Cue(int number) {
    std::string tag = "cue " + std::to_string(number);
    tag.resize(123, static_cast<char>('a' + number % 26));
    std::string track("\x00\xFF\x51\x03\x0F\x42\x40", 7); // 1,000,000 us per quarter
    track += std::string("\x00\xFF\x01", 3) + static_cast<char>(tag.size()) + tag;
    track += std::string("\x00\x90\x3C\x40", 4);
    track += std::string("\x81\x40", 2); // 192 ticks: two quarters
    track += std::string("\x80\x3C\x00", 3);
    track += std::string("\x00\xFF\x2F\x00", 4);
    std::string file = "MThd";
    Put32(file, 6);
    file += std::string("\x00\x00\x00\x01\x00\x60", 6);
    file += "MTrk";
    Put32(file, static_cast<uint32_t>(track.size()));
    return file + track;
}

double CpuMs() {
    rusage ru{};
    ::getrusage(RUSAGE_SELF, &ru);
    auto ms = [](const timeval& t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
    return ms(ru.ru_utime) + ms(ru.ru_stime);
}

struct Program {
    explicit Program(const fs::path& dir)
        : categories(dir), data(dir, host), importer(host, data, categories, dir) {
        categories.Load();
        data.SetCategoryList(&categories);
        data.OpenDatabase();
        categories.SetDatabase(&data.Database());
    }
    ScriptedHost host;
    TCatList categories;
    TDMM2 data;
    TitleImporter importer;
};

struct Figures {
    double wallMs = 0, cpuMs = 0;
    int titles = 0;
    std::string result;
};

// Imports the archive into the library at `home` the way the window does.
Figures Import(const fs::path& home, const fs::path& archive, bool checkDuplicates) {
    fs::create_directories(home);
    Program p(home);
    Figures f;
    double cpu = CpuMs();
    auto start = std::chrono::steady_clock::now();
    f.result = p.importer.ImportMusicFile(archive, "", archive.string(), "Various", "Cues", true,
                                          checkDuplicates);
    f.wallMs = MsSince(start);
    f.cpuMs = CpuMs() - cpu;
    f.titles = p.data.Database().LiveCount();
    p.data.Close();
    return f;
}

// One tune added to a library of `titles` titles, with the check and without, in ms.
void FirstCheck(const fs::path& home, int titles) {
    fs::create_directories(home);
    bench::BuildDatabase(home, titles);
    Program p(home);
    fs::path tune = home / "new.mid";
    {
        std::ofstream out(tune, std::ios::binary);
        out << Cue(-1);
    }
    std::string status;
    double add[2] = {};
    for (bool check : {false, true}) {
        p.importer.Pending().origin = (home / (check ? "checked.mid" : "allowed.mid")).string();
        auto start = std::chrono::steady_clock::now();
        p.importer.AddMidiFile(tune, true, status, check);
        add[check] = MsSince(start);
    }
    std::printf("one tune added to a library of %d titles: %.1f ms allowed, %.1f ms checked "
                "(the first check, which gathers the titles)\n",
                titles, add[0], add[1]);
    p.data.Close();
}

} // namespace

int main(int argc, char** argv) {
    int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    char pattern[] = "/tmp/tunquil-bench.XXXXXX";
    fs::path work = ::mkdtemp(pattern);
    int status = 0;
    try {
        fs::path archive = work / "cues.zip";
        {
            TAbZipper zipper;
            zipper.Open(archive);
            for (int i = 0; i < count; ++i)
                zipper.AddBytes(Cue(i), "cue" + std::to_string(i) + ".mid", 0);
            zipper.Save();
        }
        std::vector<double> withWall, withCpu, withoutWall, withoutCpu;
        Figures with, without, again;
        for (int round = 0; round < rounds; ++round) {
            // Alternated, so a slow spell of the machine falls on both.
            fs::path a = work / ("without" + std::to_string(round));
            fs::path b = work / ("with" + std::to_string(round));
            without = Import(a, archive, false);
            with = Import(b, archive, true);
            withoutWall.push_back(without.wallMs);
            withoutCpu.push_back(without.cpuMs);
            withWall.push_back(with.wallMs);
            withCpu.push_back(with.cpuMs);
            if (round == 0)
                again = Import(b, archive, true);
            fs::remove_all(a);
        }
        if (with.titles != count || without.titles != count || again.titles != count) {
            std::cerr << "expected " << count << " titles, got " << without.titles << " / "
                      << with.titles << " / " << again.titles << "\n";
            status = 1;
        }
        double ratioWall = Median(withWall) / Median(withoutWall);
        double ratioCpu = Median(withCpu) / Median(withoutCpu);
        std::printf("one archive of %d distinct tunes of %zu bytes, 2 s each (median of %d)\n",
                    count, Cue(0).size(), rounds);
        std::printf("                                    wall         cpu\n");
        std::printf("  added, duplicates allowed   %9.0f ms %9.0f ms\n", Median(withoutWall),
                    Median(withoutCpu));
        std::printf("  added, duplicates checked   %9.0f ms %9.0f ms\n", Median(withWall),
                    Median(withCpu));
        std::printf("  ratio                       %9.2f    %9.2f      (goal <= 1.5)\n", ratioWall,
                    ratioCpu);
        std::printf("  again, every tune a duplicate %7.0f ms %9.0f ms  (%s)\n", again.wallMs,
                    again.cpuMs, again.result.empty() ? "nothing added" : again.result.c_str());
        FirstCheck(work / "large", 100000);
    } catch (const std::exception& e) {
        std::cerr << "bench_duplicate_check: " << e.what() << "\n";
        status = 1;
    }
    std::error_code ec;
    fs::remove_all(work, ec);
    return status;
}
