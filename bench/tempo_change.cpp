// How promptly a change of speed or key takes hold while a tune plays: the tune plays to no
// output while the speed and the key change every 250 ms, and every event sent is timed
// against the moment it was due on the schedule in force. Compared with the same tune played
// for as long without a change, in the same run. Target: every change heard within 50 ms, so
// no event more than 50 ms late.
//   bench_tempo_change [FILE [SECONDS]]   (default: the first tune of bench-data/openmsx, 20 s)

#include "BenchTunes.h"
#include "platform/FluidSynthSequencer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

using namespace tunquil::platform;
using Clock = std::chrono::steady_clock;

namespace {

struct Lateness {
    std::vector<double> us;
    double At(double q) const {
        return us.empty() ? 0 : us[std::size_t(q * double(us.size() - 1))];
    }
};

// Plays for `seconds`; with `changing`, the speed and the key change every 250 ms. The
// commands' own time is noted in `commandUs`.
Lateness Play(const std::string& file, int seconds, bool changing, std::vector<double>& commandUs) {
    Lateness late;
    late.us.reserve(1 << 20);
    FluidSynthSequencerOptions options = WithoutOutput();
    options.sendObserver = [&](auto due, auto sent) {
        if (late.us.size() < late.us.capacity())
            late.us.push_back(std::chrono::duration<double, std::micro>(sent - due).count());
    };
    FluidSynthSequencer device(options);
    SequencerDeviceId id = 0;
    if (device.Open(file, id) != kSeqOk)
        return late;
    device.Play(id, 0u, std::nullopt);
    const double rates[] = {2.0, 0.5, 4.0, 0.25, 1.5, 0.75, 3.0, 1.0};
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    for (int i = 0; Clock::now() < end; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        if (!changing)
            continue;
        auto before = Clock::now();
        device.SetTempo(rates[i % 8]);
        device.SetTranspose(i % 25 - 12);
        commandUs.push_back(
            std::chrono::duration<double, std::micro>(Clock::now() - before).count());
        uint32_t mode = 0;
        device.Status(id, SequencerStatusItem::Mode, mode);
        if (SequencerMode(mode) != SequencerMode::Playing)
            device.Play(id, 0u, std::nullopt); // a fast stretch reached the end: again
    }
    device.Stop(id);
    device.Close(id);
    std::sort(late.us.begin(), late.us.end());
    return late;
}

} // namespace

int main(int argc, char** argv) {
    auto file = bench::FirstBenchTune(argc, argv);
    if (file.empty()) {
        std::fprintf(stderr, "no tune given and none in bench-data/openmsx\n");
        return 1;
    }
    int seconds = argc > 2 ? std::atoi(argv[2]) : 20;
    std::vector<double> commandUs, unused;
    Lateness steady = Play(file.string(), seconds, false, unused);
    Lateness changing = Play(file.string(), seconds, true, commandUs);
    if (steady.us.empty() || changing.us.empty()) {
        std::printf("no events sent\n");
        return 1;
    }
    std::sort(commandUs.begin(), commandUs.end());
    std::printf("%s, %d s each\n", file.filename().c_str(), seconds);
    for (auto [name, l] : {std::pair{"steady", &steady}, std::pair{"changing", &changing}})
        std::printf("%-9s %7zu events, lateness median %.3f ms, p99 %.3f ms, max %.3f ms\n", name,
                    l->us.size(), l->At(0.5) / 1000, l->At(0.99) / 1000, l->us.back() / 1000);
    std::printf("%zu changes of speed and key, each command %.3f ms median, %.3f ms max\n",
                commandUs.size(), commandUs[commandUs.size() / 2] / 1000, commandUs.back() / 1000);
    std::printf("p99 lateness changing / steady: %.2f\n",
                changing.At(0.99) / std::max(1.0, steady.At(0.99)));
    std::printf("target: no event more than 50 ms late (%s)\n",
                changing.us.back() < 50000 ? "met" : "missed");
    return 0;
}
