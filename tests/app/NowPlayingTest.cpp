#include "app/NowPlaying.h"

#include "app/DeviceUnavailableNotice.h"
#include "app/PlayProgram.h"
#include "app/TransportState.h"

#include <gtest/gtest.h>

namespace tunquil {
namespace {

TEST(FormatPanelTime, UsesMinutesBelowAnHourAndHoursFromThenOn) {
    EXPECT_EQ(FormatPanelTime(0), "0:00");
    EXPECT_EQ(FormatPanelTime(5), "0:05");
    EXPECT_EQ(FormatPanelTime(59), "0:59");
    EXPECT_EQ(FormatPanelTime(60), "1:00");
    EXPECT_EQ(FormatPanelTime(247), "4:07");
    EXPECT_EQ(FormatPanelTime(3599), "59:59");
    EXPECT_EQ(FormatPanelTime(3600), "1:00:00");
    EXPECT_EQ(FormatPanelTime(3729), "1:02:09");
    EXPECT_EQ(FormatPanelTime(-4), "0:00");
}

TEST(NowPlaying, TemporaryMessageHoldsAgainstStatePollFor8Seconds) {
    NowPlaying panel;
    auto t0 = NowPlaying::Clock::now();
    EXPECT_EQ(panel.State(), "Idle");
    EXPECT_EQ(panel.Message(), "No program");
    EXPECT_TRUE(panel.PollState(2, false, t0));
    EXPECT_EQ(panel.State(), "Playing");

    panel.ShowTemporary("  MIDI device unavailable ", t0);
    EXPECT_EQ(panel.State(), "MIDI device unavailable");
    EXPECT_FALSE(panel.PollState(3, false, t0 + std::chrono::milliseconds(7999)));
    EXPECT_EQ(panel.State(), "MIDI device unavailable");
    EXPECT_TRUE(panel.PollState(3, false, t0 + std::chrono::milliseconds(8000)));
    EXPECT_EQ(panel.State(), "Stopped");

    EXPECT_FALSE(panel.PollState(5, true, t0 + std::chrono::seconds(9))); // busy keeps it
    EXPECT_TRUE(panel.PollState(6, false, t0 + std::chrono::seconds(9)));
    EXPECT_EQ(panel.State(), "MIDI Error");
    panel.PollState(4, false, t0 + std::chrono::seconds(9));
    EXPECT_EQ(panel.State(), "Idle");
}

TEST(NowPlaying, LineShowsTitleNumberOrMessage) {
    NowPlaying panel;
    panel.Show("Jazz", "Ann Lee", "Blue", "", 2, 5, 65, 3700);
    EXPECT_EQ(panel.Line(), "Title 2 of 5 | Jazz | Ann Lee | Blue | 1:05/1:01:40 | Idle");
    panel.Show("None", "None", "None", "No program", 0, 0, 0, 0);
    EXPECT_EQ(panel.Line(), "No program | None | None | None | 0:00/0:00 | Idle");
}

TEST(TransportState, EnablesControlsByProgramAndPlayerState) {
    TransportInputs in;
    TransportState s = ComputeTransportState(in, InitialTransportState());
    EXPECT_FALSE(s.programMenu);
    EXPECT_FALSE(s.allStop.enabled);
    EXPECT_FALSE(s.oneStop.enabled);
    EXPECT_TRUE(s.play.enabled);
    EXPECT_TRUE(s.playReplace.enabled);

    in.count = 1;
    in.active = true;
    in.mode = 2;
    s = ComputeTransportState(in, s);
    EXPECT_TRUE(s.programMenu);
    EXPECT_FALSE(s.back.enabled);
    EXPECT_FALSE(s.shuffle.enabled);
    EXPECT_TRUE(s.repeat.enabled);
    EXPECT_TRUE(s.pause.enabled);
    EXPECT_EQ(s.oneStop.glyph, Glyph::Stop);

    in.count = 2;
    s = ComputeTransportState(in, s);
    EXPECT_TRUE(s.back.enabled && s.playNext.enabled && s.shuffle.enabled);
    in.navigating = true;
    EXPECT_FALSE(ComputeTransportState(in, s).playNext.enabled);
    in.navigating = false;

    // Playing, but stopped by the user: pause is off, stop offers to play again.
    in.userStopped = true;
    in.mode = 3;
    s = ComputeTransportState(in, s);
    EXPECT_FALSE(s.pause.enabled);
    EXPECT_EQ(s.oneStop.glyph, Glyph::Play);
    EXPECT_EQ(s.oneStop.hint, "Play|Restart play");

    // After stop and clear the button keeps its stop state.
    in = {};
    in.userStopped = in.clearedByStop = true;
    s = ComputeTransportState(in, s);
    EXPECT_EQ(s.oneStop.glyph, Glyph::Stop);
    EXPECT_EQ(s.oneStop.hint, "Stop|Stop current play");
    EXPECT_FALSE(s.oneStop.enabled);

    // A paused title that the user did not stop keeps everything enabled.
    in = {};
    in.mode = 1;
    s = ComputeTransportState(in, s);
    EXPECT_TRUE(s.pause.enabled && s.oneStop.enabled && s.allStop.enabled);
    EXPECT_EQ(s.pause.hint, "Resume");
    in.startupComplete = false;
    EXPECT_FALSE(ComputeTransportState(in, s).volume.enabled);
}

TEST(DeviceUnavailableNotice, StaysAwayForTwoSecondsAfterClose) {
    DeviceUnavailableNotice notice;
    auto t0 = DeviceUnavailableNotice::Clock::now();
    EXPECT_TRUE(notice.MayShow(t0));
    notice.Closed(t0);
    EXPECT_FALSE(notice.MayShow(t0 + std::chrono::milliseconds(1999)));
    EXPECT_TRUE(notice.MayShow(t0 + std::chrono::milliseconds(2000)));
    EXPECT_EQ(DeviceUnavailableNotice::Lines().size(), 9u);
}

TEST(ResetChoiceFromSettings, LastSetChoiceWinsAndNoneWhenNothingIsSet) {
    EXPECT_EQ(ResetChoiceFromSettings(false, false, false, false), ResetChoice::None);
    EXPECT_EQ(ResetChoiceFromSettings(true, false, false, false), ResetChoice::GMThenGS);
    EXPECT_EQ(ResetChoiceFromSettings(false, true, false, false), ResetChoice::GSThenGM);
    EXPECT_EQ(ResetChoiceFromSettings(true, false, true, false), ResetChoice::GMOnly);
    EXPECT_EQ(ResetChoiceFromSettings(true, true, true, true), ResetChoice::GSOnly);
}

} // namespace
} // namespace tunquil
