// Database figures: opening 100,000 titles, peak memory with them open, and adding 10,000
// titles then packing after deleting 10 %, with the pack measured against `cp` of the same
// data file in the same run.
//
//   bench_database [WORK_DIR]     (default: a fresh directory under /tmp)

#include "BenchFigures.h"
#include "base/ScriptedHost.h"
#include "database/StoredDate.h"
#include "database/TMyDB.h"
#include "database/TitleOrder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

using namespace tunquil;
using tunquil::bench::StatusKb;
using Clock = std::chrono::steady_clock;

namespace {

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

TitleRecord Title(int i, std::mt19937& rng) {
    static const char* cats[] = {"Rock", "Jazz", "Classical", "Pop", "Folk", "Games", "Film"};
    static const char* firsts[] = {"Ann", "Bob", "Carla", "Dmitri", "Eve", "Frank", ""};
    static const char* lasts[] = {"Lee", "Adams", "Bach", "Mozart", "Oldfield", "Zappa", "Smith"};
    TitleRecord r;
    r.ck = static_cast<int32_t>(rng() % 7) + 1;
    r.pk = static_cast<int32_t>(rng() % 7) + 1;
    r.categoryName = cats[r.ck - 1];
    r.firstName = firsts[r.pk - 1];
    r.lastName = lasts[rng() % 7];
    r.artist = JoinFullName(r.firstName, r.lastName);
    r.title = "Title number " + std::to_string(rng() % 1000000) + " of the collection";
    r.origin = "/home/user/Music/midi/collection " + std::to_string(i % 100) + "/tune" +
               std::to_string(i) + ".mid";
    r.duration = static_cast<int32_t>(rng() % 600) + 1;
    r.durationText = DurationText(r.duration);
    r.dateObtained = 40000 + i / 10.0;
    return r;
}

// Writes the pair directly, streaming, so that building it does not raise this process's
// peak memory before the measurement.
void BuildDatabase(const fs::path& dir, int titles, int dataBytesEach) {
    std::mt19937 rng(42);
    std::ofstream des(dir / "Music.des", std::ios::binary | std::ios::trunc);
    std::ofstream dat(dir / "Music.dat", std::ios::binary | std::ios::trunc);
    std::string data(static_cast<std::size_t>(dataBytesEach), 'd');
    for (int i = 0; i < titles; ++i) {
        TitleRecord r = Title(i, rng);
        r.active = true;
        r.masterKey = i + 1;
        r.slotNumber = i + 1;
        r.dataOffset = i * dataBytesEach;
        r.dataSize = dataBytesEach;
        TitleRecordBytes b = EncodeTitleRecord(r);
        des.write(b.data(), static_cast<std::streamsize>(b.size()));
        dat.write(data.data(), static_cast<std::streamsize>(data.size()));
    }
}

} // namespace

int main(int argc, char** argv) {
    fs::path work;
    if (argc > 1) {
        work = argv[1];
        fs::create_directories(work);
    } else {
        std::string pattern = (fs::temp_directory_path() / "tunquil-bench.XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            return 1;
        work = pattern;
    }
    ScriptedHost host;

    // --- open 100,000 titles ---
    fs::path big = work / "big";
    fs::create_directories(big);
    BuildDatabase(big, 100000, 300);
    long hwmBefore = StatusKb("VmHWM:");
    std::vector<double> opens, decodes;
    for (int round = 0; round < 6; ++round) {
        TMyDB db(host);
        auto start = Clock::now();
        db.Open(big / "Music");
        opens.push_back(MsSince(start));
        start = Clock::now();
        std::size_t chars = 0;
        db.ForEachLiveTitle([&](const TitleRecord& r) { chars += r.title.size(); });
        decodes.push_back(MsSince(start));
        if (chars == 0 || db.LiveCount() != 100000)
            return 1;
    }
    long hwmOpen = 0, hwmAll = 0;
    {
        TMyDB db(host);
        db.Open(big / "Music");
        hwmOpen = StatusKb("VmHWM:");
        std::vector<TitleRecord> all = db.LiveTitles(); // what one decoded view would hold
        hwmAll = StatusKb("VmHWM:");
    }
    {
        // The sort comparisons alone, over compact entries as the views build them.
        TMyDB db(host);
        db.Open(big / "Music");
        std::vector<TitleRecord> all = db.LiveTitles();
        const char* names[] = {"category", "artist", "title", "duration", "origin", "date"};
        for (const char* name : names) {
            TitleSortMode mode = *ParseTitleSortMode(name);
            std::vector<TitleSortFields> rows;
            rows.reserve(all.size());
            for (const auto& r : all)
                rows.push_back(SortFieldsOf(r));
            auto start = Clock::now();
            std::sort(rows.begin(), rows.end(),
                      [&](const auto& a, const auto& b) { return CompareTitles(mode, a, b) < 0; });
            std::printf("sort 100000 by %-8s: %.1f ms\n", name, MsSince(start));
        }
    }
    std::sort(opens.begin() + 1, opens.end());
    std::sort(decodes.begin() + 1, decodes.end());
    std::printf("open 100000 titles: cold-ish %.1f ms, warm median %.1f ms (target < 150 ms)\n",
                opens[0], opens[3]);
    std::printf("decode all 100000 records: warm median %.1f ms\n", decodes[3]);
    std::printf("peak memory (VmHWM): before open %ld kB, open %ld kB, plus all records decoded "
                "%ld kB (target < 120 MB with the views)\n",
                hwmBefore, hwmOpen, hwmAll);

    // --- add 10,000, delete 10 %, pack ---
    fs::path small = work / "pack";
    fs::create_directories(small);
    std::mt19937 rng(7);
    std::vector<fs::path> inputs;
    for (int k = 0; k < 8; ++k) {
        fs::path p = work / ("in" + std::to_string(k) + ".zip");
        std::ofstream(p, std::ios::binary)
            << std::string(2000 + 700 * k, static_cast<char>('A' + k));
        inputs.push_back(p);
    }
    std::vector<double> packs, cps, durableCps, ratios;
    for (int round = 0; round < 3; ++round) {
        fs::remove_all(small);
        fs::create_directories(small);
        TMyDB db(host);
        db.Open(small / "Music");
        auto start = Clock::now();
        for (int i = 0; i < 10000; ++i)
            db.AppendTitle(Title(i, rng), inputs[static_cast<std::size_t>(i) % inputs.size()]);
        double addMs = MsSince(start);
        std::vector<int32_t> doomed;
        for (int32_t key = 5; key <= 10000; key += 10)
            doomed.push_back(key);
        db.DeleteTitles(doomed);
        if (round == 0)
            std::printf("add 10000 titles: %.0f ms (%.1f us each); data file %.1f MB\n", addMs,
                        addMs * 1000 / 10000, db.DataFileSize() / 1e6);

        fs::path copy = work / "copy.dat";
        std::string cp = "cp '" + db.DataPath().string() + "' '" + copy.string() + "'";
        ::sync();
        start = Clock::now();
        if (std::system(cp.c_str()) != 0)
            return 1;
        cps.push_back(MsSince(start));
        fs::remove(copy);
        ::sync();
        start = Clock::now();
        if (std::system((cp + " && sync '" + copy.string() + "'").c_str()) != 0)
            return 1;
        durableCps.push_back(MsSince(start));
        fs::remove(copy);
        ::sync();

        int deleted = 0, kept = 0;
        // Where the pack's time goes: the hook is called before each step.
        std::vector<std::pair<std::string, double>> steps;
        db.SetPackFaultHookForTesting([&](std::string_view step) {
            if (step != "copy")
                steps.push_back({std::string(step), MsSince(start)});
            return 0;
        });
        start = Clock::now();
        if (!db.Pack(deleted, kept) || deleted != 1000)
            return 1;
        packs.push_back(MsSince(start));
        ratios.push_back(packs.back() / cps.back());
        std::printf("round %d: pack %.1f ms (steps, ms from start:", round + 1, packs.back());
        for (const auto& [step, ms] : steps)
            std::printf(" %s %.1f", step.c_str(), ms);
        std::printf("); cp %.1f ms; cp + sync %.1f ms\n", cps.back(), durableCps.back());
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    std::printf("pack of 9000 kept / 1000 deleted: median %.1f ms; cp of the same data file: "
                "median %.1f ms; ratio median %.2f (target <= 1.5); against cp + sync %.2f\n",
                median(packs), median(cps), median(ratios), median(packs) / median(durableCps));
    if (argc <= 1)
        fs::remove_all(work);
    return 0;
}
