// The program's start and one running copy, offscreen, with an empty library: from nothing to
// the main window shown and locked, to start-up complete; and from a second start's hand-over
// over the real bus to its title playing in the running copy (added to the library first).
// Figures are printed, never asserted.
//   bench_startup [ROUNDS]

#include "app/PlayProgram.h"
#include "app/SingleInstance.h"
#include "base/Files.h"
#include "platform/FakeSequencerDevice.h"
#include "platform/SocketMessageBus.h"
#include "ui/app/BusNotifiers.h"
#include "ui/app/TMasterFrm.h"

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <unistd.h>

using namespace tunquil;
using Wall = std::chrono::steady_clock;

namespace {

double Ms(Wall::time_point from, Wall::time_point to = Wall::now()) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// A one-second tune: one note on channel 1.
std::string Tune() {
    const unsigned char bytes[] = {'M', 'T',  'h',  'd',  0,  0, 0,    6,    0,    0,    0,
                                   1,   0x01, 0xE0, // format 0, 1 track, 480 ticks
                                   'M', 'T',  'r',  'k',  0,  0, 0,    13,   0x00, 0x90, 60,
                                   100, 0x83, 0x60, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00};
    return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

// A program directory whose settings ask no question at start-up.
void NewHome(const fs::path& home) {
    fs::create_directories(home);
    WriteFileAtomically(home / "Tunquil.ini", "[Setup]\nRemindToScan=0\n");
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 10;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const fs::path base =
        fs::temp_directory_path() / ("tunquil-bench-startup-" + std::to_string(getpid()));
    QApplication app(argc, argv);

    std::vector<double> shown, complete;
    for (int r = 0; r < rounds; ++r) {
        fs::path home = base / ("start" + std::to_string(r));
        NewHome(home);
        auto t0 = Wall::now();
        ui::TMasterFrm window(home, std::make_unique<platform::FakeSequencerDevice>());
        window.ApplySavedSettings();
        window.show();
        QCoreApplication::processEvents();
        shown.push_back(Ms(t0));
        window.DeferredStartUp();
        QCoreApplication::processEvents();
        complete.push_back(Ms(t0));
        window.ShutDown();
    }
    std::printf("start-up to the window shown and locked (empty library): median %.1f ms\n",
                Median(shown));
    std::printf("start-up to start-up complete (empty library):          median %.1f ms\n",
                Median(complete));

    // The running copy on the real bus; the second start on a thread of its own.
    fs::path home = base / "running";
    NewHome(home);
    platform::SocketMessageBus bus(base / "run"), secondBus(base / "run");
    auto copy = std::make_unique<RunningCopy>(bus, RunningCopy::Callbacks{});
    if (!copy->Register()) {
        std::fprintf(stderr, "cannot own the bus's main window\n");
        return 1;
    }
    ui::TMasterFrm window(home, std::make_unique<platform::FakeSequencerDevice>());
    window.AdoptRunningCopy(std::move(copy));
    ui::BusNotifiers notifiers(&bus);
    window.show();
    window.DeferredStartUp();
    std::vector<double> handOver;
    for (int r = 0; r < rounds; ++r) {
        fs::path tune = base / ("tune" + std::to_string(r) + ".mid");
        WriteFileAtomically(tune, Tune());
        auto t0 = Wall::now();
        std::thread second([&] { HandOver(secondBus, {tune.string()}); });
        int before = window.Program()->CurrentKey();
        while (window.Program()->CurrentKey() == before || window.Program()->SafeMode() != 2) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            if (Ms(t0) > 10000)
                break;
        }
        handOver.push_back(Ms(t0));
        second.join();
    }
    std::printf("hand-over of a new file to its title playing:            median %.1f ms "
                "(worst %.1f)\n",
                Median(handOver), *std::max_element(handOver.begin(), handOver.end()));
    window.ShutDown();
    std::error_code ec;
    fs::remove_all(base, ec);
    return 0;
}
