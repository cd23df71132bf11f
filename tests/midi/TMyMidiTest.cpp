// The player's commands and answers against a scripted sequencer device.

#include "midi/TMyMidi.h"

#include "platform/FakeSequencerDevice.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace tunquil;
using platform::FakeSequencerDevice;
using platform::SequencerMode;
using Command = FakeSequencerDevice::Command;

namespace {

class TMyMidiTest : public ::testing::Test {
protected:
    TMyMidiTest() : player(device) {
        player.OnStatus = [this](TMyMidi* sender, const std::string& text, int n) {
            EXPECT_EQ(sender, &player);
            notices.emplace_back(text, n);
        };
    }

    void OpenFile(std::size_t size = 100) {
        player.MidiFile = dir.Write("tune.mid", std::string(size, 'x')).string();
        player.Open();
        notices.clear();
        device.calls.clear();
    }

    std::string DeviceText(uint32_t error) {
        std::string text;
        device.ErrorText(error, text);
        return text;
    }

    test::TempDir dir;
    FakeSequencerDevice device;
    TMyMidi player;
    std::vector<std::pair<std::string, int>> notices;
};

TEST_F(TMyMidiTest, OpenKeepsTheDeviceTheLengthAndTheFileSize) {
    device.lengthMs = 61234;
    player.MidiFile = dir.Write("tune.mid", std::string(777, 'x')).string();
    EXPECT_EQ(player.Open(), 0);
    EXPECT_EQ(player.DeviceID(), 1);
    EXPECT_EQ(player.Length(), 61234);
    EXPECT_EQ(player.FileSize(), 777);
    EXPECT_FALSE(player.Busy());
    ASSERT_EQ(device.calls.size(), 3u);
    EXPECT_EQ(device.calls[0].element, player.MidiFile);
    EXPECT_EQ(device.calls[1].command, Command::SetTimeFormat);
    EXPECT_EQ(device.calls[2].item, platform::SequencerStatusItem::Length);
    EXPECT_EQ(notices, (decltype(notices){{"Device ID is 1", 0}}));
    EXPECT_EQ(player.Mode(), TMyMidi::kStopped);
}

TEST_F(TMyMidiTest, OpenFailuresCloseTheDeviceAndRaiseItsText) {
    player.MidiFile = (dir / "missing.mid").string();
    try {
        player.Open();
        FAIL() << "opened a missing file";
    } catch (const EMciError& e) {
        EXPECT_EQ(e.what(), DeviceText(platform::kSeqFileNotFound));
    }
    EXPECT_EQ(player.LastError(), DeviceText(platform::kSeqFileNotFound));
    EXPECT_EQ(notices.at(0), std::make_pair(std::string("Error opening MCI device"),
                                            int(platform::kSeqFileNotFound)));
    EXPECT_EQ(player.Mode(), TMyMidi::kNotReady);
    EXPECT_EQ(player.DeviceID(), -1);

    // A device that opens but refuses the time format is closed again.
    player.MidiFile = dir.Write("tune.mid", "x").string();
    device.failNext[Command::SetTimeFormat] = platform::kSeqBadTimeFormat;
    EXPECT_THROW(player.Open(), EMciError);
    EXPECT_EQ(device.calls.back().command, Command::Close);
    EXPECT_EQ(device.openId, 0u);
    EXPECT_EQ(player.DeviceID(), -1);

    // An error number the device has no text for.
    device.failNext[Command::Open] = 9999;
    try {
        player.Open();
        FAIL();
    } catch (const EMciError& e) {
        EXPECT_STREQ(e.what(), "Undefined error code");
    }
}

TEST_F(TMyMidiTest, WithoutAnOpenDeviceCommandsRefuseOrDoNothing) {
    EXPECT_FALSE(player.Play());
    EXPECT_EQ(player.Position(), 0);
    EXPECT_EQ(player.Mode(), TMyMidi::kNotReady);
    player.PlayFrom(1000);
    player.Close();
    player.Close();
    EXPECT_TRUE(device.calls.empty());
    try {
        player.Pause();
        FAIL();
    } catch (const EMciError& e) {
        EXPECT_STREQ(e.what(), "No MCI device open");
    }
    OpenFile();
    player.Close();
    player.Close();
    EXPECT_EQ(device.Count(Command::Close), 1);
    try {
        player.Stop();
        FAIL();
    } catch (const EMciError& e) {
        EXPECT_STREQ(e.what(), "No MCI device open");
    }
}

TEST_F(TMyMidiTest, PauseKeepsThePositionForResumeAndPlayForgetsIt) {
    OpenFile();
    ASSERT_TRUE(player.Play());
    EXPECT_EQ(device.calls.back().from, 0u);
    EXPECT_FALSE(device.calls.back().to);

    device.positionMs = 4321;
    EXPECT_EQ(player.Pause(), 4321);
    EXPECT_EQ(player.Mode(), TMyMidi::kPaused);
    player.Resume();
    EXPECT_EQ(device.calls.back().command, Command::Play);
    EXPECT_EQ(device.calls.back().from, 4321u);
    EXPECT_EQ(device.calls.back().to, 60000u);
    EXPECT_EQ(player.PausedAt(), -1);

    // A second resume, or one without a pause, sends nothing.
    auto before = device.calls.size();
    player.Resume();
    EXPECT_EQ(device.calls.size(), before);

    player.Pause();
    ASSERT_TRUE(player.Play());
    EXPECT_EQ(device.calls.back().from, 0u);
    before = device.calls.size();
    player.Resume();
    EXPECT_EQ(device.calls.size(), before);
}

TEST_F(TMyMidiTest, DeviceErrorsOfPlayAndPauseRaiseTheDeviceText) {
    OpenFile();
    device.failNext[Command::Play] = platform::kSeqNoSoundServer;
    EXPECT_THROW(player.Play(), EMciError);
    EXPECT_EQ(player.LastError(), DeviceText(platform::kSeqNoSoundServer));
    device.failNext[Command::Pause] = platform::kSeqInvalidDeviceId;
    try {
        player.Pause();
        FAIL();
    } catch (const EMciError& e) {
        EXPECT_EQ(e.what(), DeviceText(platform::kSeqInvalidDeviceId));
    }
    // Stop does not look at the device's answer.
    device.failNext[Command::Stop] = platform::kSeqInvalidDeviceId;
    EXPECT_NO_THROW(player.Stop());
}

// A file over 250,000 bytes used to be stopped first and kept silent for 3 s around the seek.
TEST_F(TMyMidiTest, PlayFromRepositionsAtOnceWhateverTheFileSize) {
    for (std::size_t size : {std::size_t{250000}, std::size_t{250001}, std::size_t{5} << 20}) {
        OpenFile(size);
        player.PlayFrom(1500);
        ASSERT_EQ(device.calls.size(), 1u) << size;
        EXPECT_EQ(device.calls[0].command, Command::Play);
        EXPECT_EQ(device.calls[0].from, 1500u);
        EXPECT_EQ(device.calls[0].to, 60000u);
        EXPECT_FALSE(player.Busy());
        EXPECT_EQ(notices.back(),
                  std::make_pair(std::string("No apparent problem setting position"), 0));
        player.Close();
    }
}

TEST_F(TMyMidiTest, PlayFromFailureIsNotifiedNotRaised) {
    OpenFile();
    device.failNext[Command::Play] = platform::kSeqOutOfRange;
    EXPECT_NO_THROW(player.PlayFrom(70000));
    EXPECT_EQ(notices.back(), std::make_pair(std::string("Error setting new play position"),
                                             int(platform::kSeqOutOfRange)));
    player.OnStatus = nullptr;
    device.failNext[Command::Play] = platform::kSeqOutOfRange;
    EXPECT_NO_THROW(player.PlayFrom(70000));
}

TEST_F(TMyMidiTest, ModeMapsEveryDeviceMode) {
    OpenFile();
    const std::pair<SequencerMode, int> table[] = {
        {SequencerMode::NotReady, 0},  {SequencerMode::Paused, 1}, {SequencerMode::Playing, 2},
        {SequencerMode::Stopped, 3},   {SequencerMode::Open, 4},   {SequencerMode::Seeking, 5},
        {SequencerMode::Recording, 7}, {SequencerMode(12345), 7},
    };
    for (auto [mode, code] : table) {
        device.mode = mode;
        EXPECT_EQ(player.Mode(), code) << uint32_t(mode);
    }
}

TEST_F(TMyMidiTest, AFailedModeQueryRaisesOrAnswersSixThroughTheCallback) {
    OpenFile();
    device.failNextStatus[platform::SequencerStatusItem::Mode] = platform::kSeqInvalidDeviceId;
    EXPECT_EQ(player.Mode(), TMyMidi::kQueryFailed);
    EXPECT_EQ(notices.back(), std::make_pair(DeviceText(platform::kSeqInvalidDeviceId),
                                             int(platform::kSeqInvalidDeviceId)));

    player.OnStatus = nullptr;
    device.failNextStatus[platform::SequencerStatusItem::Mode] = platform::kSeqInvalidDeviceId;
    try {
        player.Mode();
        FAIL();
    } catch (const EMciError& e) {
        EXPECT_STREQ(e.what(), "could not get mode information");
    }
    EXPECT_EQ(player.LastError(), DeviceText(platform::kSeqInvalidDeviceId));
}

TEST_F(TMyMidiTest, FailedPositionAndLengthQueriesAnswerZero) {
    device.failNextStatus[platform::SequencerStatusItem::Length] = platform::kSeqInvalidFile;
    player.MidiFile = dir.Write("tune.mid", "x").string();
    player.Open();
    EXPECT_EQ(player.Length(), 0);
    EXPECT_EQ(player.LastError(), DeviceText(platform::kSeqInvalidFile));

    device.positionMs = 5000;
    device.failNextStatus[platform::SequencerStatusItem::Position] = platform::kSeqOutOfRange;
    EXPECT_EQ(player.Position(), 0);
    EXPECT_EQ(player.LastError(), DeviceText(platform::kSeqOutOfRange));
    EXPECT_EQ(player.Position(), 5000);
}

TEST_F(TMyMidiTest, DestroyingThePlayerClosesTheDevice) {
    {
        TMyMidi other(device);
        other.MidiFile = dir.Write("tune.mid", "x").string();
        other.Open();
        EXPECT_NE(device.openId, 0u);
    }
    EXPECT_EQ(device.openId, 0u);
}

} // namespace
