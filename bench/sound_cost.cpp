// Cost against the synthesizer's own command-line player, measured in the same run with the
// same SoundFont and file:
//  - CPU seconds to play a tune for 60 s to the sound server: `tunquilctl play` against
//    `fluidsynth -a pulseaudio -ni` (target: at most 1.1 times);
//  - rendering the whole tune to WAV: `tunquilctl render` against `fluidsynth -F` (target: at
//    most 1.1 times its time).
//   bench_sound_cost [FILE [SECONDS]]   (default: the first tune of bench-data/openmsx, 60 s)

#include "BenchTunes.h"
#include "platform/SoundFontLocator.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct Run {
    double wall = 0;
    double cpu = 0;
    int status = 0;
};

// Runs `argv`; when `limit` is positive, ends it with SIGTERM after that many seconds.
Run Measure(std::vector<std::string> args, double limit = 0) {
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    auto start = Clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    Run run;
    std::atomic<bool> ended{false};
    std::thread timer;
    if (limit > 0)
        timer = std::thread([&] {
            auto end = start + std::chrono::duration<double>(limit);
            while (!ended && Clock::now() < end)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (!ended)
                kill(pid, SIGTERM);
        });
    rusage usage{};
    wait4(pid, &run.status, 0, &usage);
    ended = true;
    if (timer.joinable())
        timer.join();
    run.wall = std::chrono::duration<double>(Clock::now() - start).count();
    run.cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
              usage.ru_stime.tv_usec / 1e6;
    return run;
}

} // namespace

int main(int argc, char** argv) {
    fs::path ctl = fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "tunquilctl";
    fs::path file = bench::FirstBenchTune(argc, argv);
    if (file.empty()) {
        std::fprintf(stderr, "no tune given and none in bench-data/openmsx\n");
        return 1;
    }
    double seconds = argc > 2 ? std::atof(argv[2]) : 60;
    auto soundFont = tunquil::platform::LocateSoundFont();
    if (soundFont.empty() || !fs::exists(ctl)) {
        std::fprintf(stderr, "no SoundFont, or no tunquilctl at %s\n", ctl.c_str());
        return 1;
    }
    std::printf("tune %s, SoundFont %s\n", file.filename().c_str(), soundFont.c_str());

    // Playing: ours first, then the peer for exactly as long (both load the SoundFont).
    // 0 seconds leaves the playing out.
    if (seconds > 0) {
        auto ours = Measure({ctl.string(), "play", "--file", file.string(), "--seconds",
                             std::to_string(seconds), "--output", "server", "--soundfont",
                             soundFont.string()});
        auto peer = Measure(
            {"fluidsynth", "-a", "pulseaudio", "-ni", "-q", soundFont.string(), file.string()},
            ours.wall);
        std::printf(
            "play %.0f s:  tunquil %.2f CPU s (%.1f s wall)   fluidsynth %.2f CPU s (%.1f s "
            "wall)   ratio %.2f (target <= 1.1)\n",
            seconds, ours.cpu, ours.wall, peer.cpu, peer.wall, ours.cpu / peer.cpu);
    }

    // Rendering: three alternating rounds, the best of each.
    auto tmp = fs::temp_directory_path();
    Run bestOurs{1e9, 1e9}, bestPeer{1e9, 1e9};
    for (int round = 0; round < 3; ++round) {
        auto a = Measure({ctl.string(), "render", "--soundfont", soundFont.string(), file.string(),
                          (tmp / "tunquil-bench-ours.wav").string()});
        auto b =
            Measure({"fluidsynth", "-ni", "-q", "-r", "44100", "-O", "s16", "-T", "wav", "-F",
                     (tmp / "tunquil-bench-peer.wav").string(), soundFont.string(), file.string()});
        bestOurs.wall = std::min(bestOurs.wall, a.wall);
        bestOurs.cpu = std::min(bestOurs.cpu, a.cpu);
        bestPeer.wall = std::min(bestPeer.wall, b.wall);
        bestPeer.cpu = std::min(bestPeer.cpu, b.cpu);
    }
    auto size = [&](const char* name) {
        std::error_code ec;
        return double(fs::file_size(tmp / name, ec));
    };
    std::printf("render:  tunquil %.2f s wall (%.2f CPU s, %.1f MB)   fluidsynth -F %.2f s wall "
                "(%.2f CPU s, %.1f MB)   ratio %.2f (target <= 1.1)\n",
                bestOurs.wall, bestOurs.cpu, size("tunquil-bench-ours.wav") / 1e6, bestPeer.wall,
                bestPeer.cpu, size("tunquil-bench-peer.wav") / 1e6, bestOurs.wall / bestPeer.wall);
    fs::remove(tmp / "tunquil-bench-ours.wav");
    fs::remove(tmp / "tunquil-bench-peer.wav");
    return 0;
}
