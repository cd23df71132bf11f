// The cost of the play program's step from one title to the next: the stored data extracted
// from the database, the archive unpacked, the tune probed, opened on the sequencer and its
// first event sent. Reset tunes are off and the program's settle waits are zero, so the figure
// is the work alone. The peer is the sequencer opening and starting the same tune from a plain
// file, which is the share of a step no program can avoid.

#include "BenchFigures.h"
#include "app/DatabaseTitleStore.h"
#include "app/PlayProgram.h"
#include "app/TMyMidiPlayer.h"
#include "base/Files.h"
#include "base/ScriptedHost.h"
#include "database/TCatList.h"
#include "database/TDMM2.h"
#include "export/archive/StoredTune.h"
#include "platform/FluidSynthSequencer.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>
#include <vector>

using namespace tunquil;
using tunquil::bench::Median;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

std::string Be32(uint32_t v) {
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

// A format-0 tune of about `bytes` bytes: short notes of varied pitch and loudness, so that it
// packs about as well as real music.
std::string TuneOfSize(std::size_t bytes, unsigned seed) {
    std::mt19937 random(seed);
    std::string track("\x00\xFF\x51\x03\x07\xA1\x20\x00\xC0\x00", 10);
    while (track.size() + 12 < bytes) {
        char note = char(36 + random() % 48);
        track += std::string(1, '\0') + "\x90" + note + char(40 + random() % 80);
        track += char(1 + random() % 20);
        track += "\x80" + std::string(1, note) + "\x40";
    }
    track += std::string("\x00\xFF\x2F\x00", 4);
    return "MThd" + Be32(6) + std::string("\x00\x00\x00\x01\x01\xE0", 6) + "MTrk" +
           Be32(uint32_t(track.size())) + track;
}

std::atomic<int64_t> firstSent{0};
std::atomic<int64_t> armedAt{0};

int64_t Now() {
    return Clock::now().time_since_epoch().count();
}

// Waits for the first event sent after the clock was armed; its time since then in ms.
double WaitFirstEvent() {
    auto deadline = Clock::now() + std::chrono::seconds(2);
    while (firstSent.load() == 0 && Clock::now() < deadline)
        std::this_thread::yield();
    int64_t sent = firstSent.load();
    if (sent == 0)
        return -1;
    return double(sent - armedAt.load()) / 1e6;
}

void Arm() {
    firstSent = 0;
    armedAt = Now();
}

} // namespace

int main() {
    const fs::path home =
        fs::temp_directory_path() / ("tunquil-bench-" + std::to_string(::getpid()));
    fs::create_directories(home);
    ScriptedHost host;

    platform::FluidSynthSequencerOptions options;
    options.output = platform::SequencerOutputKind::None;
    options.sendObserver = [](Clock::time_point, Clock::time_point sent) {
        int64_t zero = 0;
        if (armedAt.load() != 0)
            firstSent.compare_exchange_strong(zero, sent.time_since_epoch().count());
    };
    platform::FluidSynthSequencer device(options);
    TMyMidi midi(device);
    TMyMidiPlayer player(midi);

    TDMM2 data(home, host);
    data.OpenDatabase();
    TCatList categories(home);
    categories.SetDatabase(&data.Database());
    data.SetCategoryList(&categories);
    const int32_t ck = categories.AddCategory("Bench");

    std::printf("%-8s %12s %14s %14s %8s %8s\n", "title", "bytes", "step ms (med)", "peer ms (med)",
                "ratio", "target");
    struct Case {
        const char* name;
        std::size_t size;
        double targetMs;
    };
    for (const Case& c : {Case{"30 KB", 30 * 1024, 50}, Case{"1 MB", 1024 * 1024, 250}}) {
        std::vector<std::string> keys;
        std::vector<std::string> tunes;
        for (unsigned i = 0; i < 2; ++i) {
            tunes.push_back(TuneOfSize(c.size, 11 + i));
            fs::path staging = home / "staging";
            fs::create_directories(staging);
            WriteFileAtomically(staging / kStoredTuneEntry, tunes.back());
            ZipOneFile(staging / kStoredTuneEntry, staging / "AAATune.Zzz");
            keys.push_back(std::to_string(data.AddTitle(
                staging / "AAATune.Zzz", std::string(c.name) + " " + std::to_string(i), false,
                45000, 0, 0, ck, "")));
        }

        DatabaseTitleStore store(data);
        PlayProgram program(host, player, store, RealPlayTools(host), home);
        PlayTiming timing;
        timing.afterStep = timing.afterStop = std::chrono::milliseconds(0);
        program.SetTiming(timing);
        program.SetSelection(keys, SelectionSource::CategoryGrid);
        program.PlayBottom();

        const int rounds = 15;
        std::vector<double> step, peer;
        for (int r = 0; r < rounds; ++r) {
            // The title before falls silent first, so that its events are not counted.
            if (midi.Mode() == TMyMidi::kPlaying)
                midi.Pause();
            Arm();
            program.Next();
            double ms = WaitFirstEvent();
            if (ms >= 0)
                step.push_back(ms);
        }

        // The peer: the same tune, already on disk, opened and started directly.
        fs::path plain = home / "plain.mid";
        WriteFileAtomically(plain, tunes[0]);
        for (int r = 0; r < rounds; ++r) {
            if (midi.Mode() == TMyMidi::kPlaying)
                midi.Pause();
            Arm();
            midi.Close();
            midi.MidiFile = plain.string();
            midi.Open();
            midi.Play();
            double ms = WaitFirstEvent();
            if (ms >= 0)
                peer.push_back(ms);
        }
        midi.Close();
        armedAt = 0;

        if (step.empty() || peer.empty()) {
            std::printf("%-8s no event was sent (%zu step, %zu peer samples)\n", c.name,
                        step.size(), peer.size());
            continue;
        }
        double s = Median(step), p = Median(peer);
        std::printf("%-8s %12zu %14.2f %14.2f %8.2f %8.0f %s\n", c.name, tunes[0].size(), s, p,
                    s / p, c.targetMs, s < c.targetMs ? "ok" : "MISSED");
    }
    std::error_code ec;
    data.Database().Close();
    fs::remove_all(home, ec);
    return 0;
}
