// The mixer of this system against the real sound server (a null sink started by
// scripts/test-services.sh), and the synthesizer line by rendering.

#include "platform/SystemMixer.h"

#include "base/Files.h"
#include "midi/TMidiMixer.h"
#include "platform/FluidSynthSequencer.h"
#include "support/PulseRecorder.h"
#include "support/ScopedEnv.h"
#include "support/SoundTestTunes.h"
#include "support/TempDir.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <regex>
#include <sys/stat.h>
#include <thread>

using namespace tunquil;
using namespace tunquil::platform;
using namespace std::chrono_literals;

namespace {

constexpr char kSmallSoundFont[] = "/usr/share/sounds/sf2/TimGM6mb.sf2";

std::string Shell(const std::string& cmd) {
    std::string out;
    EXPECT_EQ(test::RunShell(cmd, out), 0) << cmd;
    return out;
}

// Puts the default sink back as it was, whatever the test did.
struct SinkRestorer {
    ~SinkRestorer() {
        std::string out;
        test::RunShell("pactl set-sink-volume @DEFAULT_SINK@ 100% && "
                       "pactl set-sink-mute @DEFAULT_SINK@ 0",
                       out);
    }
};

void NeedsTheSoundServer() {
    TUNQUIL_NEED_SOUND_SERVER();
}

// The test command starts a sound server and says so: one that is missing then fails the sound
// tests, where a developer's plain run without one skips them.
TEST(SoundTests, AMissingSoundServerFailsThemWhenTheTestCommandRequiresOne) {
    test::ScopedEnv noServer("PULSE_SERVER", nullptr);
    {
        test::ScopedEnv required("TUNQUIL_SOUND_SERVER_REQUIRED", "1");
        EXPECT_FATAL_FAILURE(NeedsTheSoundServer(), "PULSE_SERVER is not set");
    }
    test::ScopedEnv notRequired("TUNQUIL_SOUND_SERVER_REQUIRED", nullptr);
    ::testing::TestPartResultArray results;
    {
        ::testing::ScopedFakeTestPartResultReporter reporter(
            ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &results);
        NeedsTheSoundServer();
    }
    ASSERT_EQ(results.size(), 1);
    EXPECT_TRUE(results.GetTestPartResult(0).skipped());
}

TEST(SystemMixer, TheSpeakerLineIsTheSoundServersDefaultSinkBothWays) {
    TUNQUIL_NEED_SOUND_SERVER();
    SinkRestorer restore;
    Shell("pactl set-sink-volume @DEFAULT_SINK@ 100% && pactl set-sink-mute @DEFAULT_SINK@ 0");
    SystemMixer device(std::make_shared<SynthesizerMix>());
    TMidiMixer mixer(device);
    mixer.SetActive(true);
    EXPECT_TRUE(mixer.Slot(kMasterVolume).available);
    EXPECT_TRUE(mixer.Slot(kMidiVolume).available);
    EXPECT_FALSE(mixer.Slot(kTreble).available);
    EXPECT_FALSE(mixer.Slot(kBass).available);
    EXPECT_EQ(mixer.Slot(kMasterVolume).left, kMixerFullVolume);

    // Ours to the server.
    mixer.SetValues(kMasterVolume, 32768, 16384);
    auto volume = Shell("pactl get-sink-volume @DEFAULT_SINK@");
    EXPECT_TRUE(std::regex_search(volume, std::regex("front-left: \\d+ / +50%"))) << volume;
    EXPECT_TRUE(std::regex_search(volume, std::regex("front-right: \\d+ / +25%"))) << volume;
    mixer.SetValue(kMasterMute, 1);
    EXPECT_NE(Shell("pactl get-sink-mute @DEFAULT_SINK@").find("yes"), std::string::npos);

    // The server's to ours, as a change notice.
    std::vector<int> changed;
    mixer.OnControlChange = [&](int index) { changed.push_back(index); };
    Shell("pactl set-sink-volume @DEFAULT_SINK@ 19661 && pactl set-sink-mute @DEFAULT_SINK@ 0");
    // Notices arrive one by one; deliver until both changes were seen (or give up).
    for (int round = 0; round < 50 && changed.size() < 2; ++round) {
        if (mixer.WaitForNotice(5s))
            mixer.DeliverNotices();
        else
            break;
    }
    EXPECT_EQ(mixer.Slot(kMasterVolume).left, 19661u);
    EXPECT_EQ(mixer.Slot(kMasterVolume).right, 19661u);
    EXPECT_EQ(mixer.Slot(kMasterMute).left, 0u);
    EXPECT_NE(std::find(changed.begin(), changed.end(), kMasterVolume), changed.end());
    EXPECT_NE(std::find(changed.begin(), changed.end(), kMasterMute), changed.end());
}

TEST(SystemMixer, WithoutASoundServerOpeningFailsWithTheMixerError) {
    test::TempDir dir;
    test::ScopedEnv server("PULSE_SERVER", ("unix:" + (dir / "no-such-socket").string()).c_str());
    SystemMixer device(std::make_shared<SynthesizerMix>());
    TMidiMixer mixer(device);
    try {
        mixer.SetActive(true);
        FAIL() << "opened without a server";
    } catch (const EMMError& e) {
        EXPECT_STREQ(e.what(), "Multimedia System Error 6 - No device driver present in mixerOpen");
    }
}

std::string FourBeats() {
    test::TrackBuilder t;
    t.Tempo(0, 500000).At(0, {0xC0, 0});
    for (uint32_t beat = 0; beat < 4; ++beat)
        t.Note(beat * 480, 400, 0, uint8_t(60 + beat), 120);
    t.End(1920);
    return test::SmfBytes(0, 480, {t});
}

// Renders the tune through a synthesizer line set to `left`/`right` (muted when asked) and
// gives the loudest sample of each channel.
std::pair<int, int> RenderedPeaks(const test::TempDir& dir, uint32_t left, uint32_t right,
                                  bool muted = false) {
    auto mix = std::make_shared<SynthesizerMix>();
    SystemMixer device(mix);
    EXPECT_EQ(device.SetValues(kSynthVolumeControl, {left, right}), kMixerOk);
    EXPECT_EQ(device.SetValues(kSynthMuteControl, {muted ? 1u : 0u}), kMixerOk);
    FluidSynthSequencerOptions options;
    options.output = SequencerOutputKind::WaveFile;
    options.waveFile = dir / "out.wav";
    options.soundFontSetting = kSmallSoundFont;
    options.mix = mix;
    {
        FluidSynthSequencer sequencer(options);
        SequencerDeviceId id = 0;
        EXPECT_EQ(sequencer.Open(dir.Write("tune.mid", FourBeats()).string(), id), kSeqOk);
        EXPECT_EQ(sequencer.Play(id, 0u, std::nullopt), kSeqOk);
        uint32_t mode = 0;
        auto started = std::chrono::steady_clock::now();
        do {
            std::this_thread::sleep_for(5ms);
            sequencer.Status(id, SequencerStatusItem::Mode, mode);
        } while (mode == uint32_t(SequencerMode::Playing) &&
                 std::chrono::steady_clock::now() - started < 20s);
        sequencer.Close(id);
    }
    auto wav = ReadWholeFile(dir / "out.wav");
    int peaks[2] = {0, 0};
    for (std::size_t i = 44; i + 1 < wav.size(); i += 2) {
        int sample = std::abs(int(int16_t(uint8_t(wav[i]) | (uint8_t(wav[i + 1]) << 8))));
        int& peak = peaks[((i - 44) / 2) % 2];
        peak = std::max(peak, sample);
    }
    return {peaks[0], peaks[1]};
}

TEST(SystemMixer, TheSynthesizerLineScalesWhatTheSynthesizerRenders) {
    if (!std::filesystem::exists(kSmallSoundFont))
        GTEST_SKIP() << "no small SoundFont installed";
    test::TempDir dir;
    auto full = RenderedPeaks(dir, kMixerFullVolume, kMixerFullVolume);
    ASSERT_GT(full.first, 1000);
    auto half = RenderedPeaks(dir, 32768, kMixerFullVolume);
    EXPECT_NEAR(double(half.first) / full.first, 0.5, 0.005);
    EXPECT_NEAR(double(half.second) / full.second, 1.0, 0.005);
    auto muted = RenderedPeaks(dir, kMixerFullVolume, kMixerFullVolume, true);
    EXPECT_EQ(muted.first, 0);
    EXPECT_EQ(muted.second, 0);
}

TEST(SystemMixer, TheVolumeControlProgramIsFoundOnThePathOrSaidToBeMissing) {
    test::TempDir dir;
    {
        test::ScopedEnv path("PATH", dir.path().c_str());
        EXPECT_TRUE(FindVolumeControlProgram().command.empty());
        EXPECT_FALSE(StartVolumeControlProgram(FindVolumeControlProgram()));
    }
    auto program = dir.Write("pavucontrol", "#!/bin/sh\nexit 0\n");
    ::chmod(program.c_str(), 0755);
    test::ScopedEnv path("PATH", dir.path().c_str());
    auto found = FindVolumeControlProgram();
    EXPECT_EQ(found.command, program.string());
    EXPECT_TRUE(StartVolumeControlProgram(found));
}

} // namespace
