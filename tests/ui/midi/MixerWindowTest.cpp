// The sound-control window offscreen, over a mixer in memory and over the real sound server.

#include "platform/FakeMixerDevice.h"
#include "platform/SystemMixer.h"
#include "support/PulseRecorder.h"
#include "support/TempDir.h"
#include "ui/GuiTestApp.h"
#include "ui/midi/TMixerFrm2.h"

#include <QAbstractSlider>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>
#include <regex>

namespace tunquil::ui {
namespace {

using namespace tunquil::platform;

enum : uint32_t { kSynthVol = 10, kSynthMute = 11, kSpeakerVol = 20, kSpeakerMute = 21 };

void BuildMixer(FakeMixerDevice& device) {
    device.AddControl(MixerLine::Synthesizer, MixerControlType::Volume,
                      {kSynthVol, 2, false, 0, 65535});
    device.AddControl(MixerLine::Synthesizer, MixerControlType::Mute, {kSynthMute, 1, true, 0, 1});
    device.AddControl(MixerLine::Speakers, MixerControlType::Volume,
                      {kSpeakerVol, 2, false, 0, 65535});
    device.AddControl(MixerLine::Speakers, MixerControlType::Mute, {kSpeakerMute, 1, true, 0, 1});
}

class MixerWindowTest : public ::testing::Test {
protected:
    void SetUp() override { tunquil::test::GuiTestApp(); }
};

TEST_F(MixerWindowTest, ShowsTheMixerWithNamedControlsAndWritesTheUsersMoves) {
    FakeMixerDevice device;
    BuildMixer(device);
    device.ChangeOutside(kSpeakerVol, {40000, 40000});
    TMixerFrm2 window(device);
    std::vector<QString> errors;
    window.onError = [&](const QString& text) { errors.push_back(text); };
    ASSERT_TRUE(window.ShowMixer());
    EXPECT_EQ(window.windowTitle(), "Tunquil sound control");
    for (auto* control : window.findChildren<QWidget*>()) {
        if (qobject_cast<QAbstractSlider*>(control) || qobject_cast<QPushButton*>(control)) {
            EXPECT_FALSE(control->accessibleName().isEmpty());
        }
    }
    EXPECT_EQ(window.btnGMute->accessibleName(), "Master volume Mute");
    EXPECT_FALSE(window.tbTreble->isEnabled());
    EXPECT_FALSE(window.tbBass->isEnabled());
    EXPECT_TRUE(window.tbGVolume->isEnabled());
    EXPECT_EQ(window.tbGVolume->maximum(), 32767);
    EXPECT_EQ(window.tbGVolume->value(), 20000); // 40000 of 65535, on a bar of 32767

    // Called again while minimised, the window comes back (it used to stay minimised).
    window.showMinimized();
    ASSERT_TRUE(window.ShowMixer());
    EXPECT_FALSE(window.isMinimized());

    window.tbGVolume->setValue(32767 - 100);
    EXPECT_EQ(device.Values(kSpeakerVol), (std::vector<uint32_t>{65335, 65335}));
    window.btnMute->click();
    EXPECT_EQ(device.Values(kSynthMute), std::vector<uint32_t>{1});

    // A control the device refuses to write is reported and shows the mixer's value again.
    device.failSet = 1;
    window.tbGPan->setValue(-20);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Multimedia System Error 1 - Unspecified error in mixerSetControlDetails");
    EXPECT_EQ(window.tbGPan->value(), 0);
}

TEST_F(MixerWindowTest, ANoticeMovesTheBarsOnTheWindowsThreadWithoutWritingBack) {
    FakeMixerDevice device;
    BuildMixer(device);
    TMixerFrm2 window(device);
    ASSERT_TRUE(window.ShowMixer());
    device.ChangeOutside(kSpeakerVol, {30000, 10000});
    device.ChangeOutside(kSpeakerMute, {1});
    QCoreApplication::processEvents();
    EXPECT_EQ(window.tbGVolume->value(), 30000 / 2);
    EXPECT_EQ(window.tbRightGVolume->value(), 10000 / 2);
    EXPECT_EQ(window.tbGPan->value(), -33);
    EXPECT_TRUE(window.btnGMute->isChecked());
    EXPECT_EQ(device.Writes(), 0);
}

// The rows of a vertical bar's centre column painted in the style's highlight (the groove's
// filled part).
int FilledRows(QSlider* bar) {
    const QImage image = bar->grab().toImage();
    const QColor fill = bar->palette().color(QPalette::Highlight);
    int rows = 0;
    for (int y = 0; y < image.height(); ++y) {
        const QColor c = image.pixelColor(image.width() / 2, y);
        if (std::abs(c.hue() - fill.hue()) < 20 && c.saturation() > 80)
            ++rows;
    }
    return rows;
}

// The coloured part of the bars sat above the handle and grew as the volume fell.
TEST_F(MixerWindowTest, ALouderBarLooksFullerAndUpMakesItLouder) {
    FakeMixerDevice device;
    BuildMixer(device);
    device.ChangeOutside(kSpeakerVol, {60000, 60000});
    TMixerFrm2 window(device);
    ASSERT_TRUE(window.ShowMixer());
    QSlider* bar = window.tbGVolume;
    EXPECT_GT(bar->value(), bar->maximum() * 8 / 10);
    const int loud = FilledRows(bar);
    device.ChangeOutside(kSpeakerVol, {8000, 8000});
    QCoreApplication::processEvents();
    EXPECT_LT(bar->value(), bar->maximum() * 2 / 10);
    const int quiet = FilledRows(bar);
    EXPECT_GT(loud, 2 * quiet) << loud << " rows filled when loud, " << quiet << " when quiet";

    bar->setFocus();
    QTest::keyClick(bar, Qt::Key_Up);
    EXPECT_GT(device.Values(kSpeakerVol)[0], 8000u);
}

TEST_F(MixerWindowTest, AMixerThatCannotBeOpenedLeavesTheWindowClosedWithItsMessage) {
    FakeMixerDevice device;
    BuildMixer(device);
    device.RemoveLine(MixerLine::Speakers);
    TMixerFrm2 window(device);
    QString error;
    EXPECT_FALSE(window.ShowMixer(&error));
    EXPECT_TRUE(window.ReadFailed());
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(error, "Can't find audio output mixer line for Fake mixer");
    tunquil::test::TempDir empty;
    qputenv("PATH", QByteArray::fromStdString(empty.path().string()));
    QString said = ShowMixerOrFallback(window);
    qunsetenv("PATH");
    EXPECT_TRUE(said.contains("No volume control program (pavucontrol) is installed."));
}

TEST_F(MixerWindowTest, TheMasterBarsFollowAndSteerTheSoundServer) {
    TUNQUIL_NEED_SOUND_SERVER();
    std::string out;
    tunquil::test::RunShell("pactl set-sink-volume @DEFAULT_SINK@ 100%", out);
    SystemMixer device(std::make_shared<SynthesizerMix>());
    TMixerFrm2 window(device);
    ASSERT_TRUE(window.ShowMixer());
    window.tbGVolume->setValue(window.tbGVolume->maximum() / 2); // half way: 50 %
    tunquil::test::RunShell("pactl get-sink-volume @DEFAULT_SINK@", out);
    EXPECT_TRUE(std::regex_search(out, std::regex("front-left: \\d+ / +50%"))) << out;

    tunquil::test::RunShell("pactl set-sink-volume @DEFAULT_SINK@ 0", out);
    ASSERT_TRUE(window.Mixer().WaitForNotice(std::chrono::seconds(5)));
    for (int i = 0; i < 100 && window.tbGVolume->value() != 0; ++i) {
        QCoreApplication::processEvents();
        window.Mixer().WaitForNotice(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(window.tbGVolume->value(), 0);
    tunquil::test::RunShell("pactl set-sink-volume @DEFAULT_SINK@ 100%", out);
}

} // namespace
} // namespace tunquil::ui
