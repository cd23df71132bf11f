// Speed and key changed while a tune plays on the real synthesizer, heard through the test
// sound server's null sink.

#include "platform/FluidSynthSequencer.h"
#include "support/PulseRecorder.h"
#include "support/SoundTestTunes.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
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

TEST(TempoSound, ChangesWhilePlayingLeaveNoGapNoStuckNoteAndMoveTheEnd) {
    TUNQUIL_NEED_SOUND_SERVER();
    test::PulseRecorder recorder;
    ASSERT_TRUE(recorder.Started()) << "parec could not be started";
    FluidSynthSequencerOptions options;
    if (std::filesystem::exists(kSmallSoundFont))
        options.soundFontSetting = kSmallSoundFont;
    FluidSynthSequencer device(options);
    test::TempDir dir;
    SequencerDeviceId id = 0;
    ASSERT_EQ(device.Open(dir.Write("held.mid", HeldChordTune()).string(), id), kSeqOk);

    const auto start = Clock::now();
    ASSERT_EQ(device.Play(id, std::nullopt, std::nullopt), kSeqOk);
    // One second at the tune's speed, half a second at 150 %, a fifth up; then 75 % and three
    // semitones down for the rest: 1 + 0.75 + 0.75 seconds of the tune are gone at 2 s, and
    // the remaining 1.5 seconds take 2 more.
    std::this_thread::sleep_until(start + 1000ms);
    ASSERT_EQ(device.SetTempo(1.5), kSeqOk);
    std::this_thread::sleep_until(start + 1500ms);
    ASSERT_EQ(device.SetTranspose(5), kSeqOk);
    std::this_thread::sleep_until(start + 2000ms);
    ASSERT_EQ(device.SetTempo(0.75), kSeqOk);
    ASSERT_EQ(device.SetTranspose(-3), kSeqOk);
    uint32_t position = 0;
    device.Status(id, SequencerStatusItem::Position, position);
    EXPECT_NEAR(position, 2500, 60) << "the tune's own time, not the time heard";

    while (ModeOf(device, id) == SequencerMode::Playing && Clock::now() - start < 8s)
        std::this_thread::sleep_for(5ms);
    const auto ended = Clock::now();
    EXPECT_NEAR(Ms(ended - start), 4000, 100) << "the speed changes were not applied promptly";

    // Long enough after the end for the organ's release, and for a sound server whose delay
    // grew while playing (it raises its latency after an underrun on a busy machine).
    std::this_thread::sleep_for(1500ms);
    const auto heardUntil = Clock::now();
    recorder.WaitUntilHeard(heardUntil);
    auto onset = recorder.FirstLoud(start, ended, kLoud);
    ASSERT_TRUE(onset) << "nothing heard";
    const auto delay = *onset - start;
    // Around each change, every 10 ms block sounds: a gap would be a run of quiet blocks.
    // Only the changes are judged, so that an underrun of the server elsewhere is not blamed
    // on them.
    for (auto change : {1000ms, 1500ms, 2000ms})
        EXPECT_LE(Ms(recorder.LongestQuiet(start + change + delay - 100ms,
                                           start + change + delay + 300ms, kSilent)),
                  20)
            << "a gap at the change " << change.count() << " ms after the start";
    // No note outlives the tune: a stuck one would still sound until the device closes.
    EXPECT_LE(recorder.PeakBetween(heardUntil - 400ms, heardUntil), kSilent)
        << "a note went on sounding after the end";
    device.Close(id);
}

} // namespace
