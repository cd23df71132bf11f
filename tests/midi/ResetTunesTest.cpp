// The reset tunes' bytes, and their playback before a title.

#include "midi/ResetTunes.h"

#include "base/Files.h"
#include "base/ScriptedHost.h"
#include "midi/TMyMidi.h"
#include "platform/FakeSequencerDevice.h"
#include "platform/FluidSynthSequencer.h"
#include "platform/MidiSequence.h"
#include "support/SoundTestTunes.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <thread>

using namespace tunquil;
using platform::FakeSequencerDevice;
using Command = FakeSequencerDevice::Command;

namespace {

std::vector<std::vector<uint8_t>> SysExOf(std::span<const uint8_t> tune, double& lengthMs) {
    auto seq = platform::MidiSequence::Parse(tune);
    lengthMs = seq.LengthMs();
    std::vector<std::vector<uint8_t>> out;
    for (const auto& e : seq.Events()) {
        auto m = seq.Message(e);
        out.emplace_back(m.begin(), m.end());
    }
    return out;
}

// A Roland checksum makes the address and data bytes sum to a multiple of 128.
bool RolandChecksumHolds(const std::vector<uint8_t>& m) {
    int sum = 0;
    for (std::size_t i = 5; i + 1 < m.size(); ++i)
        sum += m[i];
    return sum % 128 == 0;
}

TEST(ResetTunes, CarryTheGeneralMidiAndGsResetMessages) {
    ASSERT_EQ(ResetTuneBytes("GMRESET").size(), 49u);
    ASSERT_EQ(ResetTuneBytes("GSRESET").size(), 82u);
    EXPECT_TRUE(ResetTuneBytes("XGRESET").empty());

    double ms = 0;
    auto gm = SysExOf(ResetTuneBytes("GMRESET"), ms);
    EXPECT_EQ(gm, (std::vector<std::vector<uint8_t>>{{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}}));
    EXPECT_NEAR(ms, 115 * 500.0 / 120, 0.01);

    auto gs = SysExOf(ResetTuneBytes("GSRESET"), ms);
    ASSERT_EQ(gs.size(), 2u);
    EXPECT_EQ(gs[0], (std::vector<uint8_t>{0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00,
                                           0x41, 0xF7}));
    EXPECT_EQ(gs[1].size(), 26u); // F0, 24 bytes of address, values and checksum, F7
    EXPECT_TRUE(RolandChecksumHolds(gs[0]));
    EXPECT_TRUE(RolandChecksumHolds(gs[1]));
    EXPECT_NEAR(ms, (56 + 58) * 500.0 / 120, 0.01);
}

TEST(ResetTunes, XgGm2AndMt32ResetsAreTheirMessageFollowedByTheWait) {
    const std::vector<std::pair<const char*, std::vector<uint8_t>>> resets{
        {"XG", {0xF0, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7}},
        {"GM2", {0xF0, 0x7E, 0x7F, 0x09, 0x03, 0xF7}},
        {"MT32", {0xF0, 0x41, 0x10, 0x16, 0x12, 0x7F, 0x00, 0x00, 0x00, 0x01, 0xF7}}};
    for (const auto& [name, message] : resets) {
        auto bytes = ResetMessageBytes(name);
        EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.end()), message) << name;
        for (int waitMs : {0, 60, 200, 5000}) {
            const std::string tune = MakeResetTune(bytes, waitMs);
            double ms = 0;
            auto events = SysExOf({reinterpret_cast<const uint8_t*>(tune.data()), tune.size()}, ms);
            EXPECT_EQ(events, (std::vector<std::vector<uint8_t>>{message})) << name;
            EXPECT_NEAR(ms, waitMs, 0.01) << name;
        }
    }
    EXPECT_TRUE(
        RolandChecksumHolds({0xF0, 0x41, 0x10, 0x16, 0x12, 0x7F, 0x00, 0x00, 0x00, 0x01, 0xF7}));
    EXPECT_TRUE(ResetMessageBytes("GS").empty());
}

// Ends the tune after a few rounds of the user interface.
class EndingHost : public ScriptedHost {
public:
    explicit EndingHost(FakeSequencerDevice& device) : device_(device) {}
    void ProcessEvents() override {
        ScriptedHost::ProcessEvents();
        if (processEventsCalls == 3)
            device_.mode = platform::SequencerMode::Stopped;
    }

private:
    FakeSequencerDevice& device_;
};

TEST(ResetTunes, PlaybackWaitsForTheEndKeepingTheInterfaceAliveThenStopsAndCloses) {
    test::TempDir dir;
    FakeSequencerDevice device;
    TMyMidi player(device);
    EndingHost host(device);
    auto file = dir / "GSRESET.MID";
    PlayResetTune(player, "GSRESET", file, host, [] { return false; });
    auto bytes = ResetTuneBytes("GSRESET");
    EXPECT_EQ(ReadWholeFile(file), std::string(bytes.begin(), bytes.end()));
    EXPECT_EQ(host.processEventsCalls, 3);
    EXPECT_EQ(device.Count(Command::Play), 1);
    EXPECT_EQ(device.calls.at(device.calls.size() - 2).command, Command::Stop);
    EXPECT_EQ(device.calls.back().command, Command::Close);
    EXPECT_EQ(player.DeviceID(), -1);
}

TEST(ResetTunes, PlaybackFailuresAreIgnoredAndClosingEndsTheWait) {
    test::TempDir dir;
    FakeSequencerDevice device;
    TMyMidi player(device);
    ScriptedHost host;

    device.failNext[Command::Open] = platform::kSeqNoSoundServer;
    EXPECT_NO_THROW(PlayResetTune(player, "GMRESET", dir / "GM.MID", host, nullptr));
    EXPECT_EQ(device.Count(Command::Play), 0);

    // A failing mode query still leaves the device stopped and closed.
    device.failNextStatus[platform::SequencerStatusItem::Mode] = platform::kSeqInvalidDeviceId;
    EXPECT_NO_THROW(PlayResetTune(player, "GMRESET", dir / "GM.MID", host, nullptr));
    EXPECT_EQ(device.calls.back().command, Command::Close);
    EXPECT_EQ(device.openId, 0u);

    // The device would play for ever; the program closing ends the wait.
    int asked = 0;
    PlayResetTune(player, "GMRESET", dir / "GM.MID", host, [&] { return ++asked == 5; });
    EXPECT_EQ(asked, 5);
    EXPECT_EQ(device.openId, 0u);
}

TEST(ResetTunes, AGsResetFollowedByATuneRendersWithoutError) {
    test::TempDir dir;
    platform::FluidSynthSequencerOptions options;
    options.output = platform::SequencerOutputKind::WaveFile;
    options.waveFile = dir / "out.wav";
    options.soundFontSetting = "/usr/share/sounds/sf2/TimGM6mb.sf2";
    {
        platform::FluidSynthSequencer device(options);
        TMyMidi player(device);
        ScriptedHost host;
        PlayResetTune(player, "GSRESET", dir / "GSRESET.MID", host, nullptr);
        test::ListeningTune tune;
        player.MidiFile = dir.Write("tune.mid", tune.Bytes()).string();
        ASSERT_EQ(player.Open(), 0);
        ASSERT_TRUE(player.Play());
        while (player.Mode() == TMyMidi::kPlaying)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_EQ(player.Mode(), TMyMidi::kStopped);
        EXPECT_EQ(player.Position(), int(tune.endMs));
    }
    auto wav = ReadWholeFile(dir / "out.wav");
    // The reset tune's 475 ms and the tune's 5 s, at 44,100 stereo frames of 4 bytes, and
    // what still sounds of the tune after its end.
    auto frames = (wav.size() - 44) / 4;
    EXPECT_GE(double(frames), (475.0 + 5000.0) * 44.1 - 2);
    EXPECT_LE(double(frames), (475.0 + 5000.0 + 5000.0) * 44.1);
    int peak = 0;
    for (std::size_t i = 44; i + 1 < wav.size(); i += 2)
        peak = std::max(peak, std::abs(int(int16_t(uint8_t(wav[i]) | (uint8_t(wav[i + 1]) << 8)))));
    EXPECT_GT(peak, 2000);
}

} // namespace
