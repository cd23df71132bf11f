// The main window over a large library: from the start to the summary line shown (and the
// same over an empty library), sorting every row from the menu until the grid has repainted,
// scrolling page by page, type-ahead, the accessible table's answers, and the peak memory.
// Figures are printed, never asserted.
//   bench_window [TITLES]

#include "BenchDatabase.h"
#include "BenchFigures.h"
#include "platform/FakeSequencerDevice.h"
#include "ui/app/TMasterFrm.h"
#include "ui/controls/TMyStringGrid.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QScrollBar>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <unistd.h>

using namespace tunquil;
using tunquil::bench::Median;
using tunquil::bench::StatusKb;
using Wall = std::chrono::steady_clock;

namespace {

// Thread CPU time: the machine is shared, and waiting for a core is not our cost.
double CpuNow() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// Makes and starts the window on `home` and waits until its summary line has been painted.
std::unique_ptr<ui::TMasterFrm> StartWindow(const fs::path& home, double& ms, double& cpu) {
    auto t0 = Wall::now();
    double c0 = CpuNow();
    auto window =
        std::make_unique<ui::TMasterFrm>(home, std::make_unique<platform::FakeSequencerDevice>());
    window->resize(1000, 700);
    window->show();
    QCoreApplication::processEvents();
    window->StartUp();
    window->AllTitlesSummary()->repaint();
    window->AllTitlesGrid()->viewport()->repaint();
    ms = bench::MsSince(t0);
    cpu = CpuNow() - c0;
    return window;
}

} // namespace

int main(int argc, char** argv) {
    const int titles = argc > 1 ? std::atoi(argv[1]) : 100000;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const fs::path base =
        fs::temp_directory_path() / ("tunquil-bench-window-" + std::to_string(getpid()));
    const fs::path empty = base / "empty", full = base / "full";
    fs::create_directories(empty);
    fs::create_directories(full);
    bench::BuildDatabase(full, titles);

    std::vector<double> emptyStart, emptyCpu;
    for (int round = 0; round < 3; ++round) {
        double ms = 0, cpu = 0;
        auto window = StartWindow(empty, ms, cpu);
        emptyStart.push_back(ms);
        emptyCpu.push_back(cpu);
    }
    double fullMs = 0, fullCpu = 0;
    auto window = StartWindow(full, fullMs, fullCpu);
    std::printf("start to summary line shown: %.0f ms wall, %.0f ms CPU with %d titles (target "
                "<= 1000 ms); %.0f ms wall, %.0f ms CPU with none; the titles cost %.0f ms wall, "
                "%.0f ms CPU (target <= 500 ms)\n",
                fullMs, fullCpu, titles, Median(emptyStart), Median(emptyCpu),
                fullMs - Median(emptyStart), fullCpu - Median(emptyCpu));
    std::printf("  summary: %s\n", window->AllTitlesSummary()->text().toUtf8().constData());

    ui::TMyStringGrid* grid = window->AllTitlesGrid();
    const char* columns[] = {"&Category", "&Artist", "&Title",
                             "&Duration", "&Origin", "Date &obtained"};
    for (const char* column : columns) {
        std::vector<double> rounds, cpu;
        for (int round = 0; round < 3; ++round) {
            window->MenuItem({"&Categories", "&Sort by", round % 2 ? "&Title" : "&Origin"})
                ->trigger();
            auto t0 = Wall::now();
            double c0 = CpuNow();
            window->MenuItem({"&Categories", "&Sort by", column})->trigger();
            grid->viewport()->repaint();
            rounds.push_back(bench::MsSince(t0));
            cpu.push_back(CpuNow() - c0);
        }
        QString name = QString(column).remove('&');
        std::printf("sort %d rows from the menu by %-13s to repaint: %6.1f ms wall, %6.1f ms "
                    "CPU (target <= 150 ms)\n",
                    titles, name.toUtf8().constData(), Median(rounds), Median(cpu));
    }

    QScrollBar* bar = grid->verticalScrollBar();
    const int pages = 200;
    auto t0 = Wall::now();
    for (int i = 0; i < pages; ++i) {
        bar->setValue(bar->value() + bar->pageStep());
        grid->viewport()->repaint();
    }
    double perPage = bench::MsSince(t0) / pages;
    std::printf("scrolling a page and repainting: %.2f ms (%.0f pages a second)\n", perPage,
                1000.0 / perPage);

    // Type-ahead's worst case: a letter no title starts with looks at every row.
    {
        std::vector<double> rounds;
        for (int round = 0; round < 5; ++round) {
            double c0 = CpuNow();
            grid->TypeAhead("~");
            rounds.push_back(CpuNow() - c0);
        }
        std::printf("type-ahead key with no title matching, %d rows: %.1f ms CPU\n", titles,
                    Median(rounds));
    }
    // What a screen reader's table costs: a click with the interface made, and the selected
    // rows asked after Ctrl+A.
    {
        QAccessibleInterface* table = QAccessible::queryAccessibleInterface(grid);
        std::vector<double> clicks;
        for (int round = 0; round < 5; ++round) {
            double c0 = CpuNow();
            grid->PressRow(1 + round * 1000, Qt::NoModifier);
            grid->ReleaseRow(1 + round * 1000);
            QCoreApplication::processEvents();
            clicks.push_back(CpuNow() - c0);
        }
        grid->SelectAll();
        double c0 = CpuNow();
        const qsizetype selected = table->tableInterface()->selectedRows().size();
        std::printf("a click with the accessible table made: %.2f ms CPU; its %lld selected rows "
                    "after Ctrl+A asked in %.1f ms CPU\n",
                    Median(clicks), static_cast<long long>(selected), CpuNow() - c0);
    }
    std::printf("peak memory: %.1f MB (target < 150 MB)\n", StatusKb("VmHWM:") / 1024.0);

    window.reset();
    std::error_code ec;
    fs::remove_all(base, ec);
    return 0;
}
