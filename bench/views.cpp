// The views of a large database: open 100,000 titles and fill the views, sort them by every
// column, and the memory all that takes. Figures are printed, each next to a peer measured in
// the same run: reading the descriptor file whole, and a plain comparison sort of the rows.

#include "BenchDatabase.h"
#include "BenchFigures.h"
#include "base/Files.h"
#include "base/ScriptedHost.h"
#include "database/TCatList.h"
#include "database/TDMM2.h"
#include "database/TTitleViews.h"
#include "database/TitleOrder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

using namespace tunquil;
using tunquil::bench::BuildDatabase;
using tunquil::bench::Median;
using tunquil::bench::StatusKb;
// Thread CPU time: the machine is shared, and waiting for a core is not our cost. Wall-clock
// figures are printed beside it where it matters.
struct Clock {
    using time_point = double;
    static double now() {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
    }
};
using Wall = std::chrono::steady_clock;

namespace {

double Ms(Clock::time_point from) {
    return Clock::now() - from;
}
double WallMs(Wall::time_point from) {
    return std::chrono::duration<double, std::milli>(Wall::now() - from).count();
}

struct Program {
    ScriptedHost host;
    TCatList categories;
    TDMM2 dmm;
    TTitleViews views;
    double openMs = 0, fillMs = 0;
    explicit Program(const fs::path& home)
        : categories(home), dmm(home, host), views((categories.Load(), categories)) {
        auto t0 = Clock::now();
        dmm.OpenDatabase();
        openMs = Ms(t0);
        categories.SetDatabase(&dmm.Database());
        dmm.SetCategoryList(&categories);
        views.Attach(dmm.Database());
        t0 = Clock::now();
        views.LoadViews(dmm.Database());
        fillMs = Ms(t0);
    }
};

} // namespace

int main(int argc, char** argv) {
    // bench_views [TITLES] [fill | build DIR]: "fill" stops after the open-and-fill rounds (for
    // profiling); "build DIR" only writes the database into DIR (to measure the program on it).
    const int titles = argc > 1 ? std::atoi(argv[1]) : 100000;
    const bool fillOnly = argc > 2 && std::string(argv[2]) == "fill";
    if (argc > 3 && std::string(argv[2]) == "build") {
        fs::create_directories(argv[3]);
        BuildDatabase(argv[3], titles);
        return 0;
    }
    fs::path home = fs::temp_directory_path() / ("tunquil-bench-views-" + std::to_string(getpid()));
    fs::create_directories(home);
    BuildDatabase(home, titles);
    std::printf("database: %d titles, Music.des %.1f MB\n", titles,
                fs::file_size(home / "Music.des") / 1e6);
    long rssBefore = StatusKb("VmRSS:");

    // The first opening also gives the peak memory of a database with its views.
    {
        Program program(home);
        std::printf("peak memory with the database open and its views filled: %.1f MB "
                    "(resident now %.1f MB; %.1f MB before opening)\n",
                    StatusKb("VmHWM:") / 1024.0, StatusKb("VmRSS:") / 1024.0, rssBefore / 1024.0);
        std::printf("  title store of the views: %.1f MB\n",
                    program.views.Store().MemoryBytes() / 1e6);
    }

    std::vector<double> fill, read, openOnly, viewsOnly, wall;
    for (int round = 0; round < 5; ++round) {
        auto t0 = Clock::now();
        std::string bytes = ReadWholeFile(home / "Music.des");
        read.push_back(Ms(t0));
        t0 = Clock::now();
        auto w0 = Wall::now();
        Program program(home);
        fill.push_back(Ms(t0));
        wall.push_back(WallMs(w0));
        openOnly.push_back(program.openMs);
        viewsOnly.push_back(program.fillMs);
    }
    double fillMs = Median(fill), readMs = Median(read);
    std::printf("open and fill the views (warm, median of 5): %.1f ms CPU, %.1f ms wall "
                "(target < 150 ms)\n",
                fillMs, Median(wall));
    std::printf("  of which opening the database %.1f ms, filling and sorting the views %.1f ms\n",
                Median(openOnly), Median(viewsOnly));
    std::printf("  peer, reading Music.des whole: %.1f ms; ratio %.1f\n", readMs, fillMs / readMs);

    if (fillOnly) {
        fs::remove_all(home);
        return 0;
    }
    Program program(home);
    TTitleGrid& grid = program.views.AllTitles();
    for (int column = 0; column < grid.ColumnCount(); ++column) {
        std::vector<double> ours, peer;
        for (int round = 0; round < 3; ++round) {
            // Start from another order each time, so that no sort meets sorted rows.
            grid.Sort((column + 2) % grid.ColumnCount());
            auto t0 = Clock::now();
            grid.Sort(column);
            ours.push_back(Ms(t0));

            // The peer: a comparison sort of the rows with the title comparison itself.
            std::vector<int> rows(static_cast<std::size_t>(grid.TitleCount()));
            for (std::size_t i = 0; i < rows.size(); ++i)
                rows[i] = static_cast<int>(i) + 1;
            std::shuffle(rows.begin(), rows.end(), std::mt19937(round));
            TitleSortMode mode = grid.SortMode();
            t0 = Clock::now();
            std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
                TitleRow x = grid.Row(a), y = grid.Row(b);
                return CompareTitles(mode,
                                     {x.categoryName, x.lastName, x.firstName, x.title, x.origin,
                                      x.duration, x.dateObtained},
                                     {y.categoryName, y.lastName, y.firstName, y.title, y.origin,
                                      y.duration, y.dateObtained}) < 0;
            });
            peer.push_back(Ms(t0));
        }
        double oursMs = Median(ours), peerMs = Median(peer);
        std::printf("sort %d rows by %-13s %6.1f ms CPU (target < 100 ms); peer comparison sort "
                    "%6.1f ms; ratio %.2f\n",
                    grid.TitleCount(), TTitleView::HeaderText(grid.Columns()[column]), oursMs,
                    peerMs, oursMs / peerMs);
    }
    std::error_code ec;
    fs::remove_all(home, ec);
    return 0;
}
