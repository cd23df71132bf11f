// How much memory playing a tune takes, against the size of its file: a tune is opened on the
// FluidSynth sequencer (reading it, merging its tracks, keeping the channel snapshots that
// seeks restore) and played for a moment, in a process of its own so that the peak belongs to
// it alone: what it holds while it plays, and its peak while the file is read (when the file's
// own bytes are held too). Target: at most 4 times the file's size. Three kinds of file: notes
// under running status as most files hold them, notes with their status bytes, and the densest a
// file can be (a program change of two bytes an event).
//   bench_play_memory [megabytes of the largest file, default 46]

#include "BenchFigures.h"
#include "platform/FluidSynthSequencer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace tunquil;
using tunquil::bench::Put32;

namespace {

enum class Kind { RunningStatus, FullStatus, Densest };

const char* NameOf(Kind kind) {
    switch (kind) {
    case Kind::RunningStatus:
        return "running status";
    case Kind::FullStatus:
        return "full status";
    case Kind::Densest:
        return "densest";
    }
    return "";
}

// A type-1 file of about `bytes` over four tracks, so that playing it has tracks to merge.
std::string TuneOfSize(std::size_t bytes, Kind kind) {
    std::string file = "MThd";
    Put32(file, 6);
    file += std::string("\x00\x01\x00\x04\x01\xE0", 6); // type 1, four tracks, 480 ticks
    for (int t = 0; t < 4; ++t) {
        std::string track;
        track.reserve(bytes / 4 + 64);
        const char channel = char(t);
        for (uint32_t i = 0; track.size() < bytes / 4; ++i) {
            const char note = char(36 + i % 48);
            switch (kind) {
            case Kind::RunningStatus:
                if (i % 256 == 0)
                    track += std::string(1, '\x00') + char(0x90 | channel) + note + '\x60';
                else
                    track += std::string(1, '\x01') + note + char(i % 2 ? 0 : 0x60);
                break;
            case Kind::FullStatus:
                track += std::string(1, '\x01') + char(0x90 | channel) + note + '\x60';
                track += std::string(1, '\x01') + char(0x80 | channel) + note + '\x00';
                break;
            case Kind::Densest:
                if (i % 256 == 0)
                    track += std::string(1, '\x00') + char(0xC0 | channel) + '\x00';
                else
                    track += std::string(1, '\x01') + char(i % 128);
                break;
            }
        }
        track += std::string("\x00\xFF\x2F\x00", 4);
        file += "MTrk";
        Put32(file, uint32_t(track.size()));
        file += track;
    }
    return file;
}

// Opens and plays `file` in this process; prints the growth of the peak resident size.
void Measure(const fs::path& small, const fs::path& file, Kind kind) {
    platform::FluidSynthSequencer device;
    platform::SequencerDeviceId id = 0;
    // The synthesizer and its sound font come with any tune: a small one first leaves only
    // what the large tune itself needs to be measured.
    if (device.Open(small.string(), id) != 0 || device.Play(id, 0, 50) != 0) {
        std::printf("cannot play on the sound server\n");
        std::exit(1);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    device.Close(id);
    const long before = bench::StatusKb("VmRSS:");
    auto start = std::chrono::steady_clock::now();
    if (device.Open(file.string(), id) != 0) {
        std::printf("cannot open the tune\n");
        std::exit(1);
    }
    const double openMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    uint32_t length = 0;
    device.Status(id, platform::SequencerStatusItem::Length, length);
    device.Play(id, length / 2, length / 2 + 500);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const long playing = bench::StatusKb("VmRSS:");
    const long peak = bench::StatusKb("VmHWM:");
    device.Stop(id);
    device.Close(id);
    const double fileMb = double(fs::file_size(file)) / 1e6;
    const double playMb = double(playing - before) * 1024 / 1e6;
    const double peakMb = double(peak - before) * 1024 / 1e6;
    std::printf("%-15s %8.1f %10.1f %7.2fx %10.1f %7.2fx %8.0f\n", NameOf(kind), fileMb, playMb,
                playMb / fileMb, peakMb, peakMb / fileMb, openMs);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    const std::size_t largest = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 46;
    const fs::path dir = fs::temp_directory_path() / "tunquil-bench-play-memory";
    fs::create_directories(dir);
    const fs::path small = dir / "small.mid";
    std::ofstream(small, std::ios::binary) << TuneOfSize(4096, Kind::FullStatus);
    std::printf("%-15s %8s %10s %8s %10s %8s %8s\n", "file", "file MB", "playing MB", "ratio",
                "opening MB", "ratio", "open ms");
    for (Kind kind : {Kind::RunningStatus, Kind::FullStatus, Kind::Densest})
        for (std::size_t mb : {std::size_t(1), std::size_t(10), largest}) {
            const fs::path file = dir / "tune.mid";
            std::ofstream(file, std::ios::binary) << TuneOfSize(mb << 20, kind);
            std::fflush(stdout);
            pid_t child = fork();
            if (child == 0) {
                Measure(small, file, kind);
                std::_Exit(0);
            }
            int status = 0;
            waitpid(child, &status, 0);
            fs::remove(file);
        }
    fs::remove_all(dir);
    std::printf("target: playing takes at most 4 times the file's size\n");
    return 0;
}
