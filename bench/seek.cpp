// How long a seek takes to take effect, by file size: a tune of notes, controller changes,
// pitch bends and program changes at 10 KB, 100 KB, 1 MB, 10 MB and 50 MB is opened on the
// FluidSynth sequencer, playing to the sound server (a null sink does), and repositioned to a
// spread of points through the player, as the position bar does. Target: every seek within 100 ms,
// whatever the size. The peer is the player's former rule for a file over 250,000 bytes: a stop,
// then 3 s of waiting.
//   bench_seek

#include "BenchFigures.h"
#include "midi/TMyMidi.h"
#include "platform/FluidSynthSequencer.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace tunquil;
using tunquil::bench::Put32;

namespace {

// A type-0 file of about `bytes`: every 10 ms a note on and off on one of 15 channels, with a
// controller, a bend and now and then a program change, so that a seek has state to restore.
std::string TuneOfSize(std::size_t bytes) {
    std::string track;
    track.reserve(bytes + 64);
    track += std::string("\x00\xFF\x51\x03\x07\xA1\x20", 7); // 500,000 us per quarter
    for (uint32_t i = 0; track.size() < bytes; ++i) {
        const char channel = char(i % 15);
        const char note = char(36 + i % 48);
        track += std::string(1, '\x05') + char(0x90 | channel) + note + '\x60';
        track += std::string(1, '\x00') + char(0xB0 | channel) + '\x07' + char(i % 128);
        track += std::string(1, '\x00') + char(0xE0 | channel) + '\x00' + char(0x40 + i % 32);
        if (i % 64 == 0)
            track += std::string(1, '\x00') + char(0xC0 | channel) + char(i % 128);
        track += std::string(1, '\x05') + char(0x80 | channel) + note + '\x00';
    }
    track += std::string("\x00\xFF\x2F\x00", 4);
    std::string file = "MThd";
    Put32(file, 6);
    file += std::string("\x00\x00\x00\x01\x01\xE0", 6); // type 0, one track, 480 ticks
    file += "MTrk";
    Put32(file, uint32_t(track.size()));
    return file + track;
}

} // namespace

int main() {
    const fs::path dir = fs::temp_directory_path() / "tunquil-bench-seek";
    fs::create_directories(dir);
    std::printf("%-8s %10s %10s %12s %12s %14s\n", "size", "length", "seeks", "median ms", "max ms",
                "former rule ms");
    bool met = true;
    for (std::size_t kb : {10u, 100u, 1024u, 10240u, 51200u}) {
        const fs::path file = dir / ("tune-" + std::to_string(kb) + ".mid");
        {
            std::ofstream out(file, std::ios::binary);
            out << TuneOfSize(kb * 1024);
        }
        // The synthesizer on the sound server: a seek restores its channels at the new point.
        platform::FluidSynthSequencer device;
        TMyMidi player(device);
        player.MidiFile = file.string();
        std::string problem;
        player.OnStatus = [&](TMyMidi*, const std::string& text, int code) {
            if (code != 0)
                problem = text + " (" + std::to_string(code) + ")";
        };
        player.Open();
        player.Play();
        const int length = player.Length();
        std::vector<double> ms;
        for (int tenth = 1; tenth <= 9; ++tenth)
            for (int round = 0; round < 3; ++round) {
                auto start = std::chrono::steady_clock::now();
                player.PlayFrom(length / 10 * tenth);
                ms.push_back(std::chrono::duration<double, std::milli>(
                                 std::chrono::steady_clock::now() - start)
                                 .count());
            }
        player.Stop();
        player.Close();
        if (!problem.empty()) {
            std::printf("%6zu KB: %s\n", kb, problem.c_str());
            met = false;
            continue;
        }
        double median = bench::Median(ms), worst = *std::max_element(ms.begin(), ms.end());
        // The former rule stopped a file over 250,000 bytes and waited 500 + 2,500 ms.
        double former = median + (fs::file_size(file) > 250000 ? 3000.0 : 0.0);
        met = met && worst < 100;
        std::printf("%6zu KB %8d s %10zu %12.2f %12.2f %14.0f\n", kb, length / 1000, ms.size(),
                    median, worst, former);
        fs::remove(file);
    }
    std::printf("target: every seek within 100 ms (%s)\n", met ? "met" : "missed");
    return 0;
}
