// The player on the real synthesizer, heard through a private sound server's null sink.

#include "midi/TMyMidi.h"
#include "platform/FluidSynthSequencer.h"
#include "support/PulseRecorder.h"
#include "support/SoundTestTunes.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

using namespace tunquil;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// Peaks below this are silence: the organ at full volume peaks far above it, and nothing but
// the last dying samples of a cut-off voice stays below.
constexpr int kSilent = 300;
constexpr int kLoud = 2000;
constexpr char kSmallSoundFont[] = "/usr/share/sounds/sf2/TimGM6mb.sf2";

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

class TMyMidiSound : public ::testing::Test {
protected:
    void SetUp() override {
        TUNQUIL_NEED_SOUND_SERVER();
        recorder_ = std::make_unique<test::PulseRecorder>();
        ASSERT_TRUE(recorder_->Started()) << "parec could not be started";
        // The small SoundFont, where there is one, keeps the start-up short.
        platform::FluidSynthSequencerOptions options;
        if (std::filesystem::exists(kSmallSoundFont))
            options.soundFontSetting = kSmallSoundFont;
        device_ = std::make_unique<platform::FluidSynthSequencer>(options);
        player_ = std::make_unique<TMyMidi>(*device_);
        player_->MidiFile = dir_.Write("listen.mid", tune_.Bytes()).string();
        ASSERT_EQ(player_->Open(), 0);
    }

    // Starts the tune and measures how long the sound takes from the command to the recording:
    // every later moment is judged with this delay taken off.
    void PlayAndMeasureDelay() {
        auto start = Clock::now();
        ASSERT_TRUE(player_->Play());
        std::this_thread::sleep_for(700ms);
        recorder_->WaitUntilHeard(Clock::now());
        auto onset = recorder_->FirstLoud(start, Clock::now(), kLoud);
        ASSERT_TRUE(onset) << "nothing heard while the tune plays";
        delay_ = *onset - start;
        ASSERT_LT(Ms(delay_), 500) << "the sound server is too slow to judge anything";
    }

    // Pauses and checks that the sound ends within 100 ms. The cut is sharp, so it also tells
    // the sound's delay as it stands now, which the next checks use: the server's delay drifts
    // on a busy machine.
    int PauseAndCheckSilence() {
        auto pausedAt = Clock::now();
        int position = player_->Pause();
        ExpectSilenceAfter(pausedAt, "pause");
        return position;
    }

    void ExpectSilenceAfter(Clock::time_point command, const char* what) {
        std::this_thread::sleep_for(600ms);
        recorder_->WaitUntilHeard(Clock::now());
        auto lastSound = recorder_->LastLoud(command - 300ms, Clock::now(), kSilent);
        ASSERT_TRUE(lastSound) << "nothing was heard before the " << what;
        auto cut = *lastSound + 10ms - command; // the end of the last loud block
        EXPECT_LT(Ms(cut - delay_), 100) << "sound went on after the " << what;
        delay_ = std::max(cut, Clock::duration{});
    }

    test::TempDir dir_;
    test::ListeningTune tune_;
    std::unique_ptr<test::PulseRecorder> recorder_;
    std::unique_ptr<platform::FluidSynthSequencer> device_;
    std::unique_ptr<TMyMidi> player_;
    Clock::duration delay_{};
};

TEST_F(TMyMidiSound, PauseAndStopFallSilentAtOnceAndResumeGoesOnFromThePause) {
    PlayAndMeasureDelay();
    if (HasFatalFailure())
        return;
    EXPECT_EQ(player_->Mode(), TMyMidi::kPlaying);
    auto beforePause = Clock::now();
    EXPECT_GT(recorder_->PeakBetween(beforePause - 500ms + delay_, beforePause), kLoud);

    int position = PauseAndCheckSilence();
    EXPECT_EQ(player_->Mode(), TMyMidi::kPaused);
    EXPECT_NEAR(position, 700, 150);
    EXPECT_EQ(player_->Position(), position);

    // Resumed from the pause, the second chord (the first sound after a silence, so its
    // onset is sharp) comes (its start - position) after the resume.
    auto resumedAt = Clock::now();
    player_->Resume();
    EXPECT_EQ(player_->Mode(), TMyMidi::kPlaying);
    auto expected = resumedAt + std::chrono::milliseconds(int(tune_.secondStartMs) - position);
    std::this_thread::sleep_until(expected + 400ms);
    recorder_->WaitUntilHeard(Clock::now());
    auto onset = recorder_->FirstLoud(expected + delay_ - 500ms, Clock::now(), kLoud);
    ASSERT_TRUE(onset) << "the second chord was not heard after the resume";
    EXPECT_NEAR(Ms(*onset - delay_ - expected), 0, 100);

    std::this_thread::sleep_for(300ms);
    auto stoppedAt = Clock::now();
    EXPECT_GT(recorder_->PeakBetween(stoppedAt - 200ms + delay_, stoppedAt), kLoud);
    player_->Stop();
    EXPECT_EQ(player_->Mode(), TMyMidi::kStopped);
    ExpectSilenceAfter(stoppedAt, "stop");
}

TEST_F(TMyMidiSound, PlayFromLandsAtTheAskedPositionAndTheEndAnswersStopped) {
    PlayAndMeasureDelay();
    if (HasFatalFailure())
        return;
    // A pause just before measures the sound's delay afresh.
    PauseAndCheckSilence();
    // 500 ms before the second chord: it must be heard 500 ms after the command.
    auto asked = Clock::now();
    player_->PlayFrom(int(tune_.secondStartMs) - 500);
    std::this_thread::sleep_for(900ms);
    recorder_->WaitUntilHeard(Clock::now());
    auto onset = recorder_->FirstLoud(asked + delay_ + 100ms, Clock::now(), kLoud);
    ASSERT_TRUE(onset) << "the second chord was not heard";
    EXPECT_NEAR(Ms(*onset - delay_ - asked), 500, 100);

    player_->PlayFrom(int(tune_.endMs) - 300);
    std::this_thread::sleep_for(600ms);
    EXPECT_EQ(player_->Mode(), TMyMidi::kStopped);
    EXPECT_EQ(player_->Position(), int(tune_.endMs));
}

} // namespace
