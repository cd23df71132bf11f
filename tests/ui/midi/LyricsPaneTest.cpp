// The lyrics window offscreen over a play program with a scripted player.

#include "ui/midi/LyricsPane.h"

#include "app/PlayFakes.h"
#include "app/PlayProgram.h"
#include "support/SoundTestTunes.h"
#include "ui/GuiTestApp.h"

#include <QLabel>
#include <gtest/gtest.h>

namespace tunquil::ui {
namespace {

using namespace tunquil::test;

std::string Meta(uint8_t type, const std::string& text) {
    return std::string{'\xFF', char(type), char(text.size())} + text;
}

class LyricsPaneTest : public ::testing::Test, protected FakePlaySetup {
protected:
    LyricsPaneTest() : FakePlaySetup(2) {}
    std::unique_ptr<LyricsPane> pane;

    void SetUp() override {
        GuiTestApp();
        // 480 ticks a quarter at 120 beats a minute: a tick is 500/480 ms. Text events with
        // karaoke line breaks but no karaoke header: the ".kar" origin makes them words.
        TrackBuilder words;
        words.Tempo(0, 500000)
            .Raw(0, Meta(1, "Sing"))
            .Raw(480, Meta(1, " a <song>"))
            .Raw(960, Meta(1, "/Next & last"))
            .End(1920);
        store.Add(1, SmfBytes(1, 480, {words}));
        store.titles[1].texts.origin = "/music/pack.zip+sing.kar";
        pane = std::make_unique<LyricsPane>([this] { return program.LyricsNow(); });
    }
    QString Shown() {
        pane->Refresh();
        if (pane->noteLabel->isVisibleTo(pane.get()))
            return "note: " + pane->noteLabel->accessibleName();
        return pane->currentLabel->accessibleName() + " | " + pane->nextLabel->accessibleName();
    }
};

TEST_F(LyricsPaneTest, FollowsThePlayingTitleThroughPauseSeekAndSteps) {
    EXPECT_EQ(Shown(), "note: " + QString(kNothingPlayingNote));
    program.SetSelection({"1", "2"}, SelectionSource::CategoryGrid);
    program.PlayBottom();
    EXPECT_EQ(Shown(), "Sing a <song> | Next & last");
    EXPECT_EQ(pane->Shown().sung, "Sing");

    player.SetPosition(600);
    EXPECT_EQ(Shown(), "Sing a <song> | Next & last");
    EXPECT_EQ(pane->Shown().sung, "Sing a <song>");
    // The sung part is lit with markup that keeps the words' own "<" and "&" as text.
    EXPECT_TRUE(pane->currentLabel->text().contains("&lt;song&gt;</span>"));

    program.PauseOrResume();
    EXPECT_EQ(Shown(), "Sing a <song> | Next & last");
    program.PauseOrResume();
    program.SeekTo(1500);
    EXPECT_EQ(Shown(), "Next & last | ");

    program.Next();
    EXPECT_EQ(Shown(), "note: " + QString(kNoLyricsNote));
    program.Previous();
    EXPECT_EQ(Shown(), "Sing a <song> | Next & last");
    program.Stop();
    EXPECT_EQ(Shown(), "note: " + QString(kNothingPlayingNote));
}

} // namespace
} // namespace tunquil::ui
