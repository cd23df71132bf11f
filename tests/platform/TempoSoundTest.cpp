// Speed and key changed while a tune plays on the real synthesizer, heard through the test
// sound server's null sink.

#include "platform/FluidSynthSequencer.h"
#include "support/Plays.h"
#include "support/PulseRecorder.h"
#include "support/SoundTestTunes.h"
#include "support/TempDir.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

using namespace tunquil;
using namespace tunquil::platform;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr char kSmallSoundFont[] = "/usr/share/sounds/sf2/TimGM6mb.sf2";
constexpr int kSilent = 300;
constexpr int kLoud = 2000;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

SequencerMode ModeOf(ISequencerDevice& device, SequencerDeviceId id) {
    uint32_t value = 0;
    EXPECT_EQ(device.Status(id, SequencerStatusItem::Mode, value), kSeqOk);
    return SequencerMode(value);
}

// An organ chord held for four seconds of the tune, with a melody note struck every quarter
// second over it: changes land both on held notes and between strikes.
std::string HeldChordTune() {
    test::TrackBuilder t;
    auto ticks = [](uint32_t ms) { return ms * 960 / 1000; };
    t.Tempo(0, 500000).At(0, {0xC0, 19}).At(0, {0xB0, 7, 127}).At(0, {0xB0, 91, 0});
    t.At(0, {0xB0, 93, 0});
    for (uint8_t key : {48, 55, 64})
        t.Note(0, ticks(4000), 0, key, 110);
    for (uint32_t ms = 0; ms < 4000; ms += 250)
        t.Note(ticks(ms), ticks(200), 0, uint8_t(72 + (ms / 250) % 5), 110);
    t.End(ticks(4000));
    return test::SmfBytes(0, 480, {t});
}

// One play of the held chord with the changes, as the sound server heard it; what went wrong,
// or empty.
std::string PlayWithChanges(const std::string& file) {
    std::ostringstream faults;
    test::PulseRecorder recorder;
    if (!recorder.Started())
        return "parec could not be started";
    FluidSynthSequencerOptions options;
    if (std::filesystem::exists(kSmallSoundFont))
        options.soundFontSetting = kSmallSoundFont;
    FluidSynthSequencer device(options);
    SequencerDeviceId id = 0;
    if (device.Open(file, id) != kSeqOk)
        return "the tune did not open";

    const auto start = Clock::now();
    if (device.Play(id, std::nullopt, std::nullopt) != kSeqOk)
        return "the tune did not play";
    // One second at the tune's speed, half a second at 150 %, a fifth up; then 75 % and three
    // semitones down for the rest: 1 + 0.75 + 0.75 seconds of the tune are gone at 2 s, and
    // the remaining 1.5 seconds take 2 more.
    std::this_thread::sleep_until(start + 1000ms);
    device.SetTempo(1.5);
    std::this_thread::sleep_until(start + 1500ms);
    device.SetTranspose(5);
    std::this_thread::sleep_until(start + 2000ms);
    device.SetTempo(0.75);
    device.SetTranspose(-3);
    uint32_t position = 0;
    device.Status(id, SequencerStatusItem::Position, position);
    if (std::abs(int(position) - 2500) > 60)
        faults << "at 2 s the position was " << position
               << " ms, not the tune's own time (2500 ms); ";

    while (ModeOf(device, id) == SequencerMode::Playing && Clock::now() - start < 8s)
        std::this_thread::sleep_for(5ms);
    const auto ended = Clock::now();
    if (std::abs(Ms(ended - start) - 4000) > 100)
        faults << "the tune ended after " << Ms(ended - start)
               << " ms, not 4000: the speed changes were not applied promptly; ";

    // Long enough after the end for the organ's release, and for a sound server whose delay
    // grew while playing (it raises its latency after an underrun on a busy machine).
    std::this_thread::sleep_for(1500ms);
    const auto heardUntil = Clock::now();
    recorder.WaitUntilHeard(heardUntil);
    auto onset = recorder.FirstLoud(start, ended, kLoud);
    if (!onset)
        return faults.str() + "nothing heard";
    const auto delay = *onset - start;
    // Around each change, every 10 ms block sounds: a gap would be a run of quiet blocks.
    for (auto change : {1000ms, 1500ms, 2000ms}) {
        const double gap = Ms(recorder.LongestQuiet(start + change + delay - 100ms,
                                                    start + change + delay + 300ms, kSilent));
        if (gap > 20)
            faults << "a gap of " << gap << " ms at the change " << change.count()
                   << " ms after the start; ";
    }
    // No note outlives the tune: a stuck one would still sound until the device closes.
    if (int peak = recorder.PeakBetween(heardUntil - 400ms, heardUntil); peak > kSilent)
        faults << "a note went on sounding after the end (peak " << peak << "); ";
    device.Close(id);
    return faults.str();
}

// A gap that a change makes comes at every play; the sound server of a busy machine drops out
// now and then wherever it happens to be, the changes included.
TEST(TempoSound, ChangesWhilePlayingLeaveNoGapNoStuckNoteAndMoveTheEnd) {
    TUNQUIL_NEED_SOUND_SERVER();
    test::TempDir dir;
    const std::string file = dir.Write("held.mid", HeldChordTune()).string();
    const std::string faults =
        test::UntilOnePlayGoesRight(3, [&] { return PlayWithChanges(file); });
    EXPECT_TRUE(faults.empty()) << "every play went wrong; the last: " << faults;
}

} // namespace
