// The sequencer device itself: its errors, its modes and positions in real time without
// output, and WAV rendering.

#include "platform/FluidSynthSequencer.h"

#include "base/Files.h"
#include "support/ScopedEnv.h"
#include "support/SoundTestTunes.h"
#include "support/TempDir.h"
#include "support/ToneAnalysis.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <thread>

using namespace tunquil;
using namespace tunquil::platform;
using namespace std::chrono_literals;

namespace {

constexpr char kSmallSoundFont[] = "/usr/share/sounds/sf2/TimGM6mb.sf2";

uint32_t StatusOf(ISequencerDevice& d, SequencerDeviceId id, SequencerStatusItem item) {
    uint32_t value = 0;
    EXPECT_EQ(d.Status(id, item, value), kSeqOk);
    return value;
}

SequencerMode ModeOf(ISequencerDevice& d, SequencerDeviceId id) {
    return SequencerMode(StatusOf(d, id, SequencerStatusItem::Mode));
}

// Four beats, the last note sounding to the very end.
std::string TwoSecondTune() {
    test::TrackBuilder t;
    t.Tempo(0, 500000).At(0, {0xC0, 0});
    for (uint32_t beat = 0; beat < 4; ++beat)
        t.Note(beat * 480, beat < 3 ? 400 : 480, 0, uint8_t(60 + beat), 120);
    t.End(1920);
    return test::SmfBytes(0, 480, {t});
}

TEST(FluidSynthSequencer, OpenFailuresGiveTextsAUserUnderstands) {
    test::TempDir dir;
    FluidSynthSequencer device(WithoutOutput());
    SequencerDeviceId id = 0;
    EXPECT_EQ(device.Open((dir / "none.mid").string(), id), kSeqFileNotFound);
    EXPECT_EQ(device.Open(dir.path().string(), id), kSeqFileNotFound);
    EXPECT_EQ(device.Open(dir.Write("song.mid", "This is a text file.").string(), id),
              kSeqInvalidFile);
    std::string text;
    ASSERT_TRUE(device.ErrorText(kSeqInvalidFile, text));
    EXPECT_NE(text.find("not a MIDI file"), std::string::npos);
    EXPECT_FALSE(device.ErrorText(4711, text));

    // A "SoundFont" that is no such thing.
    FluidSynthSequencerOptions options;
    options.output = SequencerOutputKind::WaveFile;
    options.waveFile = dir / "out.wav";
    options.soundFontSetting = dir.Write("broken.sf2", "RIFF....sfbk").string();
    FluidSynthSequencer broken(options);
    auto tune = dir.Write("tune.mid", TwoSecondTune());
    EXPECT_EQ(broken.Open(tune.string(), id), kSeqSoundFontUnusable);
    EXPECT_EQ(broken.Open(tune.string(), id), kSeqSoundFontUnusable); // tried again, not stuck
}

TEST(FluidSynthSequencer, AnUnreachableSoundServerFailsTheOpenPromptly) {
    if (!std::filesystem::exists(kSmallSoundFont))
        GTEST_SKIP() << "no small SoundFont installed";
    test::TempDir dir;
    test::ScopedEnv server("PULSE_SERVER", ("unix:" + (dir / "no-such-socket").string()).c_str());
    FluidSynthSequencerOptions options;
    options.soundFontSetting = kSmallSoundFont;
    FluidSynthSequencer device(options);
    SequencerDeviceId id = 0;
    EXPECT_EQ(device.Open(dir.Write("tune.mid", TwoSecondTune()).string(), id), kSeqNoSoundServer);
}

TEST(FluidSynthSequencer, PlaysPausesAndStopsOnItsOwnClock) {
    test::TempDir dir;
    FluidSynthSequencer device(WithoutOutput());
    SequencerDeviceId id = 0;
    ASSERT_EQ(device.Open(dir.Write("tune.mid", TwoSecondTune()).string(), id), kSeqOk);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(device.SetTimeFormat(id, SequencerTimeFormat::Milliseconds), kSeqOk);
    EXPECT_EQ(device.SetTimeFormat(id, SequencerTimeFormat(7)), kSeqBadTimeFormat);
    EXPECT_EQ(StatusOf(device, id, SequencerStatusItem::Length), 2000u);
    EXPECT_EQ(ModeOf(device, id), SequencerMode::Stopped);

    SequencerDeviceId second = 0;
    EXPECT_EQ(device.Open(dir.Write("other.mid", TwoSecondTune()).string(), second),
              kSeqDeviceInUse);

    ASSERT_EQ(device.Play(id, 500u, std::nullopt), kSeqOk);
    EXPECT_EQ(ModeOf(device, id), SequencerMode::Playing);
    std::this_thread::sleep_for(200ms);
    ASSERT_EQ(device.Pause(id), kSeqOk);
    EXPECT_EQ(ModeOf(device, id), SequencerMode::Paused);
    uint32_t paused = StatusOf(device, id, SequencerStatusItem::Position);
    EXPECT_GE(paused, 700u);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(StatusOf(device, id, SequencerStatusItem::Position), paused);

    // Playing on without a start goes on from where the pause left it; a range ends early.
    ASSERT_EQ(device.Play(id, std::nullopt, 1000u), kSeqOk);
    std::this_thread::sleep_for(400ms);
    EXPECT_EQ(ModeOf(device, id), SequencerMode::Stopped);
    EXPECT_EQ(StatusOf(device, id, SequencerStatusItem::Position), 1000u);

    EXPECT_EQ(device.Play(id, 2001u, std::nullopt), kSeqOutOfRange);
    EXPECT_EQ(device.Play(id, 1500u, 1000u), kSeqOutOfRange);

    ASSERT_EQ(device.Play(id, 1900u, 2000u), kSeqOk);
    std::this_thread::sleep_for(250ms);
    EXPECT_EQ(ModeOf(device, id), SequencerMode::Stopped);
    EXPECT_EQ(StatusOf(device, id, SequencerStatusItem::Position), 2000u);

    ASSERT_EQ(device.Play(id, 0u, std::nullopt), kSeqOk);
    ASSERT_EQ(device.Stop(id), kSeqOk);
    EXPECT_EQ(ModeOf(device, id), SequencerMode::Stopped);

    ASSERT_EQ(device.Close(id), kSeqOk);
    uint32_t value;
    EXPECT_EQ(device.Status(id, SequencerStatusItem::Mode, value), kSeqInvalidDeviceId);
    EXPECT_EQ(device.Close(id), kSeqInvalidDeviceId);
    EXPECT_EQ(device.Play(0, 0u, std::nullopt), kSeqInvalidDeviceId);
    ASSERT_EQ(device.Open(dir.Write("other.mid", TwoSecondTune()).string(), second), kSeqOk);
    EXPECT_NE(second, id);
}

TEST(FluidSynthSequencer, CommandsFromSeveralThreadsNeverRaceTheClock) {
    // Commands arrive while the clock thread sends and ends ranges; the thread sanitizer build
    // watches this one, and every answer must still hold what the commands promise.
    test::TempDir dir;
    FluidSynthSequencer device(WithoutOutput());
    SequencerDeviceId id = 0;
    ASSERT_EQ(device.Open(dir.Write("tune.mid", TwoSecondTune()).string(), id), kSeqOk);
    std::atomic<bool> done{false};
    std::atomic<int> badAnswers{0};
    std::thread poller([&] {
        uint32_t value;
        while (!done) {
            if (device.Status(id, SequencerStatusItem::Position, value) != kSeqOk || value > 2000)
                ++badAnswers;
            if (device.Status(id, SequencerStatusItem::Mode, value) != kSeqOk ||
                (SequencerMode(value) != SequencerMode::Stopped &&
                 SequencerMode(value) != SequencerMode::Playing &&
                 SequencerMode(value) != SequencerMode::Paused))
                ++badAnswers;
        }
    });
    for (uint32_t i = 0; i < 200; ++i) {
        device.Play(id, (i * 37) % 2000, std::nullopt);
        if (i % 3 == 0) {
            // A pause holds: the clock has stopped moving the position when it returns.
            device.Pause(id);
            EXPECT_EQ(ModeOf(device, id), SequencerMode::Paused);
            uint32_t held = StatusOf(device, id, SequencerStatusItem::Position);
            std::this_thread::sleep_for(1ms);
            EXPECT_EQ(StatusOf(device, id, SequencerStatusItem::Position), held);
        }
        if (i % 5 == 0)
            device.Play(id, 1995u, std::nullopt);
        // Speed and key change under the clock's feet; the position stays within the tune.
        EXPECT_EQ(device.SetTempo(0.25 + (i % 16) * 0.25), kSeqOk);
        EXPECT_EQ(device.SetTranspose(int(i % 25) - 12), kSeqOk);
        if (i % 7 == 0) {
            device.Stop(id);
            EXPECT_EQ(ModeOf(device, id), SequencerMode::Stopped);
        }
    }
    done = true;
    poller.join();
    EXPECT_EQ(badAnswers, 0);
    EXPECT_EQ(device.Close(id), kSeqOk);
}

TEST(FluidSynthSequencer, RendersAWavFileOfTheTuneAndItsDyingTailFasterThanRealTime) {
    if (!std::filesystem::exists(kSmallSoundFont))
        GTEST_SKIP() << "no small SoundFont installed";
    test::TempDir dir;
    FluidSynthSequencerOptions options;
    options.output = SequencerOutputKind::WaveFile;
    options.waveFile = dir / "out.wav";
    options.soundFontSetting = kSmallSoundFont;
    {
        FluidSynthSequencer device(options);
        SequencerDeviceId id = 0;
        ASSERT_EQ(device.Open(dir.Write("tune.mid", TwoSecondTune()).string(), id), kSeqOk);
        auto started = std::chrono::steady_clock::now();
        ASSERT_EQ(device.Play(id, 0u, std::nullopt), kSeqOk);
        while (ModeOf(device, id) == SequencerMode::Playing &&
               std::chrono::steady_clock::now() - started < 10s)
            std::this_thread::sleep_for(5ms);
        EXPECT_EQ(ModeOf(device, id), SequencerMode::Stopped);
        EXPECT_EQ(StatusOf(device, id, SequencerStatusItem::Position), 2000u);
        device.Close(id);
    }
    auto wav = ReadWholeFile(dir / "out.wav");
    ASSERT_GT(wav.size(), 44u);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
    uint32_t dataSize = uint8_t(wav[40]) | uint8_t(wav[41]) << 8 | uint8_t(wav[42]) << 16 |
                        uint32_t(uint8_t(wav[43])) << 24;
    EXPECT_EQ(dataSize, wav.size() - 44);
    auto peak = [&](double fromMs, double toMs) {
        int loudest = 0;
        std::size_t from = 44 + std::size_t(fromMs * 44.1) * 4;
        std::size_t to = std::min(wav.size(), 44 + std::size_t(toMs * 44.1) * 4);
        for (std::size_t i = from; i + 1 < to; i += 2)
            loudest = std::max(
                loudest, std::abs(int(int16_t(uint8_t(wav[i]) | (uint8_t(wav[i + 1]) << 8)))));
        return loudest;
    };
    const double fileMs = double(dataSize) / 4 / 44.1;
    EXPECT_GT(peak(0, 2000), 1000);
    // The last note, released at the last tick, dies away after it instead of being cut off,
    // and the file ends once it has, a few seconds at most.
    EXPECT_GT(peak(2000, 2020), 300);
    EXPECT_LT(peak(fileMs - 20, fileMs), 50);
    EXPECT_LE(fileMs, 2000 + 5100);
}

// A seek used to replay every message from the tune's start; it now sends the channels' state
// at the point. Rendered from a point after the organ and the full volume were set, the note
// after it sounds with them: an organ holds its level where the piano of the start decays.
TEST(FluidSynthSequencer, ASeekRestoresTheProgramAndControllersOfThePoint) {
    if (!std::filesystem::exists(kSmallSoundFont))
        GTEST_SKIP() << "no small SoundFont installed";
    test::TempDir dir;
    auto render = [&](bool organ) {
        test::TrackBuilder t;
        t.Tempo(0, 500000).At(0, {0xC0, 0}).At(0, {0xB0, 7, 0});
        if (organ)
            t.At(480, {0xC0, 19});
        t.At(480, {0xB0, 7, 127});
        t.Note(1440, 1920, 0, 60, 110);
        t.End(3840);
        FluidSynthSequencerOptions options;
        options.output = SequencerOutputKind::WaveFile;
        options.waveFile = dir / (organ ? "organ.wav" : "piano.wav");
        options.soundFontSetting = kSmallSoundFont;
        {
            FluidSynthSequencer device(options);
            SequencerDeviceId id = 0;
            EXPECT_EQ(device.Open(dir.Write("tune.mid", test::SmfBytes(0, 480, {t})).string(), id),
                      kSeqOk);
            EXPECT_EQ(device.Play(id, 750u, std::nullopt), kSeqOk);
            auto started = std::chrono::steady_clock::now();
            while (ModeOf(device, id) == SequencerMode::Playing &&
                   std::chrono::steady_clock::now() - started < 10s)
                std::this_thread::sleep_for(5ms);
            device.Close(id);
        }
        return ReadWholeFile(options.waveFile);
    };
    // The loudest sample between two points of the render, which starts at 750 ms.
    auto peak = [](const std::string& wav, double fromMs, double toMs) {
        int loudest = 0;
        std::size_t from = 44 + std::size_t((fromMs - 750) * 44.1) * 4;
        std::size_t to = std::min(wav.size(), 44 + std::size_t((toMs - 750) * 44.1) * 4);
        for (std::size_t i = from; i + 1 < to; i += 2)
            loudest = std::max(
                loudest, std::abs(int(int16_t(uint8_t(wav[i]) | (uint8_t(wav[i + 1]) << 8)))));
        return loudest;
    };
    const std::string organ = render(true), piano = render(false);
    // The note (1.5 s to 3.5 s) sounds: the volume of the point, not the silence of the start.
    ASSERT_GT(peak(organ, 1500, 1700), 1000);
    ASSERT_GT(peak(piano, 1500, 1700), 1000);
    const double organHeld = double(peak(organ, 3200, 3400)) / peak(organ, 1500, 1700);
    const double pianoHeld = double(peak(piano, 3200, 3400)) / peak(piano, 1500, 1700);
    EXPECT_GT(organHeld, 2 * pianoHeld) << organHeld << " " << pianoHeld;
}

// A tune tunes its channel an octave up, then resets all controllers, which on the synthesizer
// undoes the tuning; its note after that sounds the same played through and after a seek.
TEST(FluidSynthSequencer, ASeekPastAResetOfAllControllersSoundsAsPlayingThrough) {
    if (!std::filesystem::exists(kSmallSoundFont))
        GTEST_SKIP() << "no small SoundFont installed";
    test::TempDir dir;
    test::TrackBuilder t;
    t.Tempo(0, 500000).At(0, {0xC0, 73}).At(0, {0xB0, 91, 0}).At(0, {0xB0, 93, 0});
    t.At(0, {0xB0, 101, 0}).At(0, {0xB0, 100, 2}).At(0, {0xB0, 6, 76}); // coarse tune +12
    t.At(480, {0xB0, 121, 0});
    t.Note(1440, 960, 0, 69, 110);
    t.End(2880);
    const std::string tune = dir.Write("tune.mid", test::SmfBytes(0, 480, {t})).string();
    auto render = [&](uint32_t fromMs) {
        FluidSynthSequencerOptions options;
        options.output = SequencerOutputKind::WaveFile;
        options.waveFile = dir / "out.wav";
        options.soundFontSetting = kSmallSoundFont;
        {
            FluidSynthSequencer device(options);
            SequencerDeviceId id = 0;
            EXPECT_EQ(device.Open(tune, id), kSeqOk);
            EXPECT_EQ(device.Play(id, fromMs, std::nullopt), kSeqOk);
            auto started = std::chrono::steady_clock::now();
            while (ModeOf(device, id) == SequencerMode::Playing &&
                   std::chrono::steady_clock::now() - started < 10s)
                std::this_thread::sleep_for(5ms);
            device.Close(id);
        }
        return test::LeftChannel(ReadWholeFile(options.waveFile));
    };
    // The note sounds from 1.5 s of the tune: 1.5 s into the one render, 0.75 s into the other.
    const double through = test::StrongestFrequency(render(0), 1700, 2300);
    const double sought = test::StrongestFrequency(render(750), 950, 1550);
    EXPECT_NEAR(through, 440, 440 * 0.02);
    EXPECT_NEAR(sought / through, 1.0, 0.02) << through << " " << sought;
}

// Renders `tune` at a speed and a transposition; the device must report the tune's own
// length as the end position whatever the speed.
std::string RenderAt(test::TempDir& dir, const std::string& tune, double rate, int semitones) {
    FluidSynthSequencerOptions options;
    options.output = SequencerOutputKind::WaveFile;
    options.waveFile = dir / "out.wav";
    options.soundFontSetting = kSmallSoundFont;
    {
        FluidSynthSequencer device(options);
        EXPECT_EQ(device.SetTempo(rate), kSeqOk);
        EXPECT_EQ(device.SetTranspose(semitones), kSeqOk);
        SequencerDeviceId id = 0;
        EXPECT_EQ(device.Open(dir.Write("tune.mid", tune).string(), id), kSeqOk);
        EXPECT_EQ(device.Play(id, 0u, std::nullopt), kSeqOk);
        auto started = std::chrono::steady_clock::now();
        while (ModeOf(device, id) == SequencerMode::Playing &&
               std::chrono::steady_clock::now() - started < 10s)
            std::this_thread::sleep_for(5ms);
        EXPECT_EQ(StatusOf(device, id, SequencerStatusItem::Position),
                  StatusOf(device, id, SequencerStatusItem::Length));
        device.Close(id);
    }
    return ReadWholeFile(options.waveFile);
}

// The first moment (ms) at or after `fromMs` where the sound gets loud.
double OnsetAfter(const std::vector<float>& samples, double fromMs) {
    for (auto i = std::size_t(fromMs * test::kWavRate / 1000); i < samples.size(); ++i)
        if (std::abs(samples[i]) > 1000)
            return double(i) * 1000 / test::kWavRate;
    return -1;
}

TEST(FluidSynthSequencer, TempoAndTransposeShapeWhatIsRendered) {
    if (!std::filesystem::exists(kSmallSoundFont))
        GTEST_SKIP() << "no small SoundFont installed";
    test::TempDir dir;
    // A flute (nearly a pure tone) on A4 for a second, then a drum's open triangle, then one
    // more flute note at 3 s; no reverb or chorus to blur where a sound begins.
    test::TrackBuilder t;
    t.Tempo(0, 500000).At(0, {0xC0, 73}).At(0, {0xB0, 91, 0}).At(0, {0xB0, 93, 0});
    t.At(0, {0xB9, 91, 0}).At(0, {0xB9, 93, 0});
    t.Note(0, 960, 0, 69, 110);
    t.Note(1440, 480, 9, 81, 110);
    t.Note(2880, 240, 0, 69, 110);
    t.End(3360);
    const std::string tune = test::SmfBytes(0, 480, {t});

    const auto plain = test::LeftChannel(RenderAt(dir, tune, 1.0, 0));
    const auto fast = test::LeftChannel(RenderAt(dir, tune, 2.0, 0));
    const auto octaveUp = test::LeftChannel(RenderAt(dir, tune, 1.0, 12));

    // Twice the speed: the last note comes after half the time.
    const double plainOnset = OnsetAfter(plain, 2500), fastOnset = OnsetAfter(fast, 1250);
    ASSERT_GT(plainOnset, 0);
    EXPECT_NEAR(fastOnset / plainOnset, 0.5, 0.01) << plainOnset << " " << fastOnset;

    const double a4 = test::StrongestFrequency(plain, 200, 900);
    EXPECT_NEAR(a4, 440, 440 * 0.02);
    EXPECT_NEAR(test::StrongestFrequency(octaveUp, 200, 900) / a4, 2.0, 0.02);
    // The drums keep their sound: the same strongest frequency, a key up or not.
    const double triangle = test::StrongestFrequency(plain, 1550, 1900);
    EXPECT_NEAR(test::StrongestFrequency(octaveUp, 1550, 1900) / triangle, 1.0, 0.01);
}

} // namespace
