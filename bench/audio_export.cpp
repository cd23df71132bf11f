// Titles saved as FLAC files, against the synthesizer's command-line player writing a WAV file
// and the reference encoder turning it into FLAC, tune after tune, in the same run with the
// same SoundFont and tunes. Goals: at most 0.6 of the peer's time, and a peak memory under
// 150 MB whatever the number of titles.
//   bench_audio_export [COUNT]   (default 100 tunes; bench/fetch-openmsx.sh COUNT puts them in
//                                 bench-data/openmsx-COUNT, else bench-data/openmsx is cycled)

#include "BenchFigures.h"
#include "BenchTunes.h"
#include "base/ScriptedHost.h"
#include "database/TCatList.h"
#include "database/TDMM2.h"
#include "export/archive/StoredTune.h"
#include "export/audio/AudioExporter.h"
#include "platform/SoundFontLocator.h"

#include <chrono>
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

// Runs `args` with its output thrown away; true when it succeeded.
bool Run(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double CpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double DirectoryMb(const fs::path& dir) {
    std::uintmax_t bytes = 0;
    for (const auto& e : fs::directory_iterator(dir))
        bytes += e.file_size();
    return double(bytes) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 100;
    auto tunes = bench::BenchTunes("bench-data/openmsx-" + std::to_string(count));
    if (tunes.empty())
        tunes = bench::BenchTunes("bench-data/openmsx");
    auto soundFont = tunquil::platform::LocateSoundFont();
    if (tunes.empty() || soundFont.empty() || count <= 0) {
        std::fprintf(stderr, "No tunes (run bench/fetch-openmsx.sh %d) or no SoundFont\n", count);
        return 1;
    }
    while (int(tunes.size()) < count)
        tunes.push_back(tunes[tunes.size() % tunes.size()]);
    tunes.resize(std::size_t(count));

    fs::path work = fs::temp_directory_path() / ("bench_audio_export." + std::to_string(getpid()));
    fs::create_directories(work / "library");
    fs::create_directories(work / "peer");

    // The library of the tunes, each stored as the program stores titles.
    tunquil::ScriptedHost host;
    tunquil::TCatList categories(work / "library");
    categories.Load();
    tunquil::TDMM2 data(work / "library", host);
    data.SetCategoryList(&categories);
    data.OpenDatabase();
    categories.SetDatabase(&data.Database());
    int32_t ck = categories.AddCategory("Game music");
    int32_t pk = data.Performers().FindOrAdd("", "openMSX");
    std::vector<int32_t> keys;
    for (std::size_t i = 0; i < tunes.size(); ++i) {
        tunquil::ZipOneFile(tunes[i], work / "tune.zip");
        keys.push_back(data.AddTitle(work / "tune.zip",
                                     tunes[i].stem().string() + " " + std::to_string(i + 1), true,
                                     45000, 60, pk, ck, tunes[i].string()));
    }
    long before = tunquil::bench::StatusKb("VmHWM:");

    tunquil::AudioExporter exporter(data.Database(), host, &categories);
    tunquil::AudioSettings settings; // FLAC at 44.1 kHz, -16 LUFS
    double cpuBefore = CpuSeconds(RUSAGE_SELF);
    auto start = Clock::now();
    auto result = exporter.Export(keys, work / "ours", settings, tunquil::ExistingAudioFile::Keep);
    double ours = tunquil::bench::MsSince(start) / 1000;
    double oursCpu = CpuSeconds(RUSAGE_SELF) - cpuBefore;
    long peak = tunquil::bench::StatusKb("VmHWM:");
    if (result.written.size() != tunes.size())
        std::fprintf(stderr, "%s\n", result.Summary().c_str());

    start = Clock::now();
    int peerFailures = 0;
    for (std::size_t i = 0; i < tunes.size(); ++i) {
        std::string wav = (work / "peer" / (std::to_string(i) + ".wav")).string();
        std::string flac = (work / "peer" / (std::to_string(i) + ".flac")).string();
        bool ok = Run({"fluidsynth", "-ni", "-q", "-r", "44100", "-O", "s16", "-T", "wav", "-F",
                       wav, soundFont.string(), tunes[i].string()}) &&
                  Run({"flac", "-s", "-f", "-o", flac, wav});
        peerFailures += !ok;
        fs::remove(wav);
    }
    double peer = tunquil::bench::MsSince(start) / 1000;
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    double peerCpu = CpuSeconds(RUSAGE_CHILDREN);

    std::printf("audio export of %d tunes to FLAC: tunquil %.1f s (%zu written, %.0f MB)   "
                "fluidsynth -F + flac %.1f s (%d failed, %.0f MB)\n",
                count, ours, result.written.size(), DirectoryMb(work / "ours"), peer, peerFailures,
                DirectoryMb(work / "peer"));
    std::printf("ratio %.2f (goal at most 0.60)   peak memory %.1f MB (goal under 150; %.1f MB "
                "before the export)   peer's largest process %.1f MB\n",
                ours / peer, double(peak) / 1024, double(before) / 1024,
                double(children.ru_maxrss) / 1024);
    // On a machine shared with other work the wall-clock ratio shows the cores this run was
    // given; the processor time shows the work itself, and what the ratio is on free cores.
    std::printf("processor time: tunquil %.1f s   peer %.1f s   (%u cores: ratio on free cores "
                "about %.2f)\n",
                oursCpu, peerCpu, std::max(1u, std::thread::hardware_concurrency()),
                oursCpu / std::max(1u, std::thread::hardware_concurrency()) / peerCpu);
    fs::remove_all(work);
    return 0;
}
