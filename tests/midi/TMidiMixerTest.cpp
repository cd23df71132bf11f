// The mixer component and the window's mapping of it, over a mixer in memory.

#include "midi/TMidiMixer.h"

#include "midi/MixerPanel.h"
#include "platform/FakeMixerDevice.h"

#include <gtest/gtest.h>

using namespace tunquil;
using namespace tunquil::platform;

namespace {

enum : uint32_t { kSynthVol = 10, kSynthMute = 11, kSpeakerVol = 20, kSpeakerMute = 21 };

// A mixer like this system's: no treble and bass.
void BuildMixer(FakeMixerDevice& device, uint32_t minimum = 0, uint32_t maximum = 65535) {
    device.AddControl(MixerLine::Synthesizer, MixerControlType::Volume,
                      {kSynthVol, 2, false, minimum, maximum});
    device.AddControl(MixerLine::Synthesizer, MixerControlType::Mute, {kSynthMute, 1, true, 0, 1});
    device.AddControl(MixerLine::Speakers, MixerControlType::Volume,
                      {kSpeakerVol, 2, false, minimum, maximum});
    device.AddControl(MixerLine::Speakers, MixerControlType::Mute, {kSpeakerMute, 1, true, 0, 1});
}

std::string OpenFailure(FakeMixerDevice& device) {
    TMidiMixer mixer(device);
    try {
        mixer.SetActive(true);
    } catch (const std::exception& e) {
        EXPECT_FALSE(mixer.Active());
        return e.what();
    }
    return "opened";
}

TEST(TMidiMixer, OpeningReportsEachMissingPieceWithItsText) {
    FakeMixerDevice noDriver;
    noDriver.failOpen = kMixerNoDriver;
    EXPECT_EQ(OpenFailure(noDriver),
              "Multimedia System Error 6 - No device driver present in mixerOpen");

    FakeMixerDevice noSpeakers;
    BuildMixer(noSpeakers);
    noSpeakers.RemoveLine(MixerLine::Speakers);
    EXPECT_EQ(OpenFailure(noSpeakers), "Can't find audio output mixer line for Fake mixer");

    FakeMixerDevice noSynth;
    BuildMixer(noSynth);
    noSynth.RemoveLine(MixerLine::Synthesizer);
    EXPECT_EQ(OpenFailure(noSynth), "Can't find MIDI output source line for Fake mixer");

    FakeMixerDevice lookUpFails;
    BuildMixer(lookUpFails);
    lookUpFails.failFind = 4711;
    EXPECT_EQ(OpenFailure(lookUpFails),
              "Multimedia Unknown Error 4711 - Unknown error in mixerGetLineControls");

    FakeMixerDevice readFails;
    BuildMixer(readFails);
    readFails.failGet = 1026;
    EXPECT_EQ(OpenFailure(readFails),
              "Multimedia Mixer Error 1026 - Invalid Mixer Value in mixerGetControlDetails");
}

TEST(TMidiMixer, MissingTrebleAndBassOnlyDisableTheirBars) {
    FakeMixerDevice device;
    BuildMixer(device);
    TMidiMixer mixer(device);
    MixerPanel panel(mixer);
    panel.Show();
    EXPECT_TRUE(mixer.Active());
    EXPECT_FALSE(mixer.Slot(kTreble).available);
    EXPECT_FALSE(panel.View().treble.enabled);
    EXPECT_FALSE(panel.View().bass.enabled);
    EXPECT_TRUE(panel.View().midi.volume.enabled);
    EXPECT_TRUE(panel.View().master.muteEnabled);
    EXPECT_NO_THROW(panel.TrebleMoved(3)); // a disabled bar writes nothing
    EXPECT_EQ(device.Writes(), 0);

    device.failSet = 1;
    EXPECT_THROW(panel.MuteToggled(MixerGroup::Master, true), EMMError);
    EXPECT_FALSE(panel.View().master.muted);
}

TEST(MixerPanel, BarsAndBalanceFollowTheControlValues) {
    FakeMixerDevice device;
    BuildMixer(device);
    device.ChangeOutside(kSpeakerVol, {65535, 65535});
    device.ChangeOutside(kSynthVol, {40000, 20000});
    TMidiMixer mixer(device);
    MixerPanel panel(mixer);
    panel.Show();
    EXPECT_EQ(panel.View().master.volume.bottom, 32767);
    EXPECT_EQ(panel.View().master.volume.position, 0);
    panel.VolumeMoved(MixerGroup::Master, 100);
    EXPECT_EQ(device.Values(kSpeakerVol), (std::vector<uint32_t>{65335, 65335}));

    EXPECT_EQ(panel.View().midi.balance, -25);
    EXPECT_EQ(panel.View().midi.volume.position, 12767);
    panel.BalanceMoved(MixerGroup::Midi, -25);
    EXPECT_EQ(device.Values(kSynthVol), (std::vector<uint32_t>{40001, 20000}));
    panel.BalanceMoved(MixerGroup::Midi, -50); // the quieter side keeps 1/50
    EXPECT_EQ(device.Values(kSynthVol), (std::vector<uint32_t>{40001, 800}));

    panel.MuteToggled(MixerGroup::Midi, true);
    EXPECT_EQ(device.Values(kSynthMute), std::vector<uint32_t>{1});
    EXPECT_TRUE(panel.View().midi.muted);
}

TEST(MixerPanel, ValuesAreMappedFromTheMinimumAndKeptWithinTheBounds) {
    FakeMixerDevice device;
    BuildMixer(device, 1000, 3000);
    device.ChangeOutside(kSpeakerVol, {1000, 1000});
    TMidiMixer mixer(device);
    MixerPanel panel(mixer);
    panel.Show();
    // The bar spans the range above the minimum: the quietest value sits at its bottom.
    EXPECT_EQ(panel.View().master.volume.bottom, 1000);
    EXPECT_EQ(panel.View().master.volume.position, 1000);
    panel.VolumeMoved(MixerGroup::Master, 1000);
    EXPECT_EQ(device.Values(kSpeakerVol), (std::vector<uint32_t>{1000, 1000}));
    panel.VolumeMoved(MixerGroup::Master, 5000);
    EXPECT_EQ(device.Values(kSpeakerVol), (std::vector<uint32_t>{1000, 1000}));
    panel.VolumeMoved(MixerGroup::Master, -7);
    EXPECT_EQ(device.Values(kSpeakerVol), (std::vector<uint32_t>{3000, 3000}));
    panel.LeftMoved(MixerGroup::Master, 500);
    EXPECT_EQ(device.Values(kSpeakerVol), (std::vector<uint32_t>{2000, 3000}));
    // Balance divides the part above the minimum.
    panel.BalanceMoved(MixerGroup::Master, 0);
    panel.BalanceMoved(MixerGroup::Master, 25);
    EXPECT_EQ(device.Values(kSpeakerVol), (std::vector<uint32_t>{2000, 3000}));
}

TEST(MixerPanel, ProductsOfFullRangeControlsDoNotOverflow) {
    FakeMixerDevice device;
    BuildMixer(device, 0, 4294967295u);
    device.ChangeOutside(kSynthVol, {4000000000u, 2000000000u});
    TMidiMixer mixer(device);
    MixerPanel panel(mixer);
    panel.Show();
    EXPECT_EQ(panel.View().midi.balance, -25);
    panel.BalanceMoved(MixerGroup::Midi, -25);
    auto values = device.Values(kSynthVol);
    EXPECT_NEAR(double(values[0]), 4e9, 2);
    EXPECT_NEAR(double(values[1]), 2e9, 2);
}

TEST(MixerPanel, TouchingBalanceNeverSilencesAHardPannedLine) {
    FakeMixerDevice device;
    BuildMixer(device);
    device.ChangeOutside(kSynthVol, {40000, 0});
    TMidiMixer mixer(device);
    MixerPanel panel(mixer);
    panel.Show();
    EXPECT_EQ(panel.View().midi.volume.position, 12767); // the louder channel, not the bottom
    EXPECT_EQ(panel.View().midi.balance, -49);
    panel.BalanceMoved(MixerGroup::Midi, -30);
    EXPECT_EQ(device.Values(kSynthVol), (std::vector<uint32_t>{40001, 16000}));
    panel.VolumeMoved(MixerGroup::Midi, panel.View().midi.volume.position);
    EXPECT_EQ(device.Values(kSynthVol)[0], 40001u);
}

TEST(MixerPanel, ChangeNoticesMoveTheBarsWithoutWritingBack) {
    FakeMixerDevice device;
    BuildMixer(device);
    device.ChangeOutside(kSpeakerVol, {40000, 40000});
    TMidiMixer mixer(device);
    MixerPanel panel(mixer);
    std::vector<int> changed;
    mixer.OnControlChange = [&](int index) {
        changed.push_back(index);
        panel.ControlChanged(index);
    };
    // Like a slider, the window reports every move, also those the notice makes.
    panel.onShow = [&](const MixerView& view) {
        panel.VolumeMoved(MixerGroup::Master, view.master.volume.position);
        panel.BalanceMoved(MixerGroup::Master, view.master.balance);
        panel.MuteToggled(MixerGroup::Master, view.master.muted);
    };
    panel.Show();
    device.ChangeOutside(kSpeakerVol, {30000, 30000});
    device.ChangeOutside(kSpeakerMute, {1});
    mixer.DeliverNotices();
    EXPECT_EQ(changed, (std::vector<int>{kMasterVolume, kMasterMute}));
    EXPECT_EQ(panel.View().master.volume.position, (65535 - 30000) / 2);
    EXPECT_TRUE(panel.View().master.muted);
    EXPECT_EQ(device.Writes(), 0);
    EXPECT_EQ(device.Values(kSpeakerVol), (std::vector<uint32_t>{30000, 30000}));

    // The echo of our own write is no change.
    changed.clear();
    panel.onShow = nullptr;
    panel.VolumeMoved(MixerGroup::Master, 100);
    device.NoticeOnly(kSpeakerVol);
    mixer.DeliverNotices();
    EXPECT_TRUE(changed.empty());
}

} // namespace
