// How far the lyrics shown trail the sequencer: a real tune with words added (a line of nine
// syllables every bar, from the second bar to the end) plays whole on the FluidSynth
// sequencer while the lyrics are asked for as the lyrics pane asks, every 15 ms. Each syllable's
// lag is the sequencer's position once the pane knows the syllable is sung, less the
// syllable's time. Goal: median under 30 ms, worst under 100 ms.
//   bench_lyrics_lag [TUNE.mid]   (default: the first tune of bench-data/openmsx)

#include "BenchFigures.h"
#include "BenchTunes.h"
#include "app/LyricsDisplay.h"
#include "app/PlayServices.h"
#include "base/Files.h"
#include "midi/Lyrics.h"
#include "midi/TMyMidi.h"
#include "platform/FluidSynthSequencer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;
using namespace tunquil;

int main(int argc, char** argv) {
    const fs::path tune = ::bench::FirstBenchTune(argc, argv);
    if (tune.empty()) {
        std::fprintf(stderr, "no tune: run bench/fetch-openmsx.sh or name one\n");
        return 1;
    }
    const fs::path dir = fs::temp_directory_path() / "tunquil-bench-lyrics";
    fs::create_directories(dir);
    const std::string make = std::string("/usr/bin/python3 '") + TUNQUIL_SOURCE_DIR +
                             "/tests/support/karaoke_tunes.py' '" + dir.string() + "' '" +
                             tune.string() + "'";
    if (std::system(make.c_str()) != 0) {
        std::fprintf(stderr, "could not add words to %s (needs python3-mido)\n", tune.c_str());
        return 1;
    }
    const fs::path kar = dir / "real.kar";
    const std::string bytes = ReadWholeFile(kar);
    const Lyrics lyrics = Lyrics::FromMidi(
        std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), true);
    std::vector<double> times;
    for (const auto& line : lyrics.Lines())
        for (const auto& s : line.syllables)
            times.push_back(s.ms);

    // The sound server when there is one, else the same clock with no output.
    auto device = std::make_unique<platform::FluidSynthSequencer>();
    auto player = std::make_unique<TMyMidi>(*device);
    player->MidiFile = kar.string();
    const char* output = "sound server";
    try {
        player->Open();
    } catch (const std::exception&) {
        player.reset();
        device = std::make_unique<platform::FluidSynthSequencer>(platform::WithoutOutput());
        player = std::make_unique<TMyMidi>(*device);
        player->MidiFile = kar.string();
        player->Open();
        output = "no output";
    }
    player->Play();

    std::vector<double> lags;
    std::size_t next = 0; // the first syllable not yet seen sung
    LyricsDisplay shown;
    while (next < times.size()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
        const double position = player->Position();
        shown = DisplayLyrics(lyrics, true, position);
        // The pane has its answer now: what the sequencer has reached by then is the lag.
        const double after = player->Position();
        for (; next < times.size() && times[next] <= position; ++next)
            lags.push_back(after - times[next]);
        if (!PlayingLike(player->Mode()))
            break; // the tune ended before its words: the rest are not counted
    }
    player->Close();

    if (lags.empty()) {
        std::fprintf(stderr, "no syllable was reached\n");
        return 1;
    }
    const double median = tunquil::bench::Median(lags);
    const double worst = *std::max_element(lags.begin(), lags.end());
    std::printf("tune %s (%s), %zu lines, %zu syllables\n", tune.filename().c_str(), output,
                lyrics.Lines().size(), lags.size());
    std::printf("lag of the lyrics shown behind the sequencer: median %.1f ms, worst %.1f ms\n",
                median, worst);
    std::printf("goal: median under 30 ms, worst under 100 ms: %s\n",
                median < 30 && worst < 100 ? "met" : "NOT met");
    return 0;
}
