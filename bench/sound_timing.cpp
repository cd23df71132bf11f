// Timing accuracy of the clock thread: for every event sent while a tune plays to the sound
// server, the difference between the moment it was due and the moment it reached the
// synthesizer. Target: median under 1 ms, 99th percentile under 5 ms.
//   bench_sound_timing [FILE [SECONDS]]   (default: the first tune of bench-data/openmsx, 30 s)

#include "BenchTunes.h"
#include "platform/FluidSynthSequencer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace tunquil::platform;

int main(int argc, char** argv) {
    fs::path file = bench::FirstBenchTune(argc, argv);
    if (file.empty()) {
        std::fprintf(stderr, "no tune given and none in bench-data/openmsx\n");
        return 1;
    }
    int seconds = argc > 2 ? std::atoi(argv[2]) : 30;
    if (!std::getenv("PULSE_SERVER"))
        std::fprintf(stderr, "note: PULSE_SERVER is not set; playing to the default server\n");

    std::vector<double> lateUs;
    lateUs.reserve(1 << 20);
    FluidSynthSequencerOptions options;
    options.sendObserver = [&](auto due, auto sent) {
        if (lateUs.size() < lateUs.capacity())
            lateUs.push_back(std::chrono::duration<double, std::micro>(sent - due).count());
    };
    FluidSynthSequencer device(options);
    SequencerDeviceId id = 0;
    if (uint32_t error = device.Open(file.string(), id)) {
        std::string text;
        device.ErrorText(error, text);
        std::fprintf(stderr, "%s: %s\n", file.c_str(), text.c_str());
        return 1;
    }
    device.Play(id, 0u, std::nullopt);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    device.Stop(id);
    device.Close(id);

    if (lateUs.empty()) {
        std::printf("no events sent\n");
        return 1;
    }
    std::sort(lateUs.begin(), lateUs.end());
    auto at = [&](double q) { return lateUs[std::size_t(q * double(lateUs.size() - 1))]; };
    std::printf("%s, %d s: %zu events\n", file.filename().c_str(), seconds, lateUs.size());
    std::printf("send time minus due time: median %.3f ms, p99 %.3f ms, max %.3f ms, min %.3f "
                "ms\n",
                at(0.5) / 1000, at(0.99) / 1000, lateUs.back() / 1000, lateUs.front() / 1000);
    std::printf("targets: median < 1 ms (%s), p99 < 5 ms (%s)\n", at(0.5) < 1000 ? "met" : "missed",
                at(0.99) < 5000 ? "met" : "missed");
    return 0;
}
