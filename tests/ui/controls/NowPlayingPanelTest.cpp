// The now-playing panel offscreen: what it shows for the play program's model, how its labels
// blink, and that a screen reader can read every item.

#include "ui/GuiTestApp.h"
#include "ui/controls/TCDPanelP.h"
#include "ui/controls/TFlashLabel.h"

#include <QAccessible>
#include <gtest/gtest.h>
#include <set>

namespace tunquil::ui {
namespace {

using Item = TCDPanelP::Item;

class NowPlayingPanelTest : public ::testing::Test {
protected:
    void SetUp() override { tunquil::test::GuiTestApp(); }

    std::string Shown(const TCDPanelP& panel, Item item) {
        return panel.ItemLabel(item)->text().toStdString();
    }
};

TEST_F(NowPlayingPanelTest, ShowsTheModelsTextsAndTheTitleLineOrTheMessage) {
    TCDPanelP panel;
    panel.resize(panel.sizeHint());
    panel.show();
    EXPECT_EQ(Shown(panel, Item::Category), "...");
    EXPECT_EQ(Shown(panel, Item::Message), "No program");
    EXPECT_EQ(Shown(panel, Item::State), "Idle");
    EXPECT_TRUE(panel.ItemLabel(Item::Message)->isVisible());
    EXPECT_FALSE(panel.ItemLabel(Item::TitleNumber)->isVisible());

    NowPlaying model;
    model.Show("Jazz", "Ann Lee", "Blue <i>Moon</i>", "", 2, 5, 60, 3729);
    panel.Render(model);
    EXPECT_EQ(Shown(panel, Item::Category), "Jazz");
    EXPECT_EQ(Shown(panel, Item::Artist), "Ann Lee");
    EXPECT_EQ(Shown(panel, Item::Title), "Blue <i>Moon</i>");
    EXPECT_EQ(panel.ItemLabel(Item::Title)->textFormat(), Qt::PlainText);
    EXPECT_EQ(Shown(panel, Item::TitleNumber), "2");
    EXPECT_EQ(Shown(panel, Item::TitleCount), "5");
    EXPECT_EQ(Shown(panel, Item::Elapsed), "1:00");
    EXPECT_EQ(Shown(panel, Item::Total), "1:02:09");
    EXPECT_FALSE(panel.ItemLabel(Item::Message)->isVisible());
    TFlashLabel* number = panel.ItemLabel(Item::TitleNumber);
    TFlashLabel* count = panel.ItemLabel(Item::TitleCount);
    EXPECT_TRUE(number->isVisible());
    // The title line is built from the right: the count stands right of the number, and both
    // stay clear of the category, artist and title values.
    EXPECT_LT(number->geometry().right(), count->geometry().left());
    EXPECT_LE(panel.ItemLabel(Item::Title)->geometry().right(), number->geometry().left());
    EXPECT_LE(panel.ItemLabel(Item::Elapsed)->geometry().right(),
              panel.ItemLabel(Item::Total)->geometry().left());

    model.Show("Jazz", "Ann Lee", "Blue", "Ending play with this title", 5, 5, 61, 3729);
    panel.Render(model);
    EXPECT_TRUE(panel.ItemLabel(Item::Message)->isVisible());
    EXPECT_FALSE(number->isVisible());
}

TEST_F(NowPlayingPanelTest, StatePollShowsThePlayersModeButKeepsAHeldNotice) {
    TCDPanelP panel;
    NowPlaying model;
    int mode = 2;
    bool busy = false;
    panel.AttachPlayer(
        model, [&] { return mode; }, [&] { return busy; });
    panel.PollState();
    EXPECT_EQ(Shown(panel, Item::State), "Playing");

    busy = true;
    mode = 5;
    panel.PollState();
    EXPECT_EQ(Shown(panel, Item::State), "Playing");

    busy = false;
    model.ShowTemporary("MIDI device unavailable");
    mode = 3;
    panel.PollState();
    EXPECT_EQ(Shown(panel, Item::State), "MIDI device unavailable");
}

TEST_F(NowPlayingPanelTest, OnlyAChangedTextBlinksAndTheBlinkEndsInTheRestingColour) {
    TFlashLabel label;
    label.SetDuration(3000);
    label.SetInterval(300);
    label.SetOffColor(Qt::black);
    label.SetTextFlashing("Playing");
    EXPECT_FALSE(label.Flashing()) << "CanFlash is off";

    label.SetCanFlash(true);
    label.SetTextFlashing("Playing");
    EXPECT_FALSE(label.Flashing()) << "same text";

    label.SetTextFlashing("Paused");
    ASSERT_TRUE(label.Flashing());
    int toggles = 0;
    QColor last = label.FontColor();
    while (label.Flashing() && toggles < 100) {
        label.FlashTick();
        ++toggles;
        EXPECT_TRUE(!label.Flashing() || label.FontColor() != last);
        last = label.FontColor();
    }
    EXPECT_EQ(toggles, 11);
    EXPECT_EQ(label.FontColor(), QColor(0, 255, 0));

    label.SetInterval(0);
    EXPECT_EQ(label.Interval(), 350);
}

TEST_F(NowPlayingPanelTest, FillsBeforeEnableFlashingDoNotBlink) {
    TCDPanelP panel;
    NowPlaying model;
    model.Show("Rock", "Bo", "Tune", "", 1, 3, 0, 120);
    panel.Render(model);
    EXPECT_FALSE(panel.ItemLabel(Item::TitleCount)->Flashing());
    EXPECT_FALSE(panel.ItemLabel(Item::Message)->Flashing());

    panel.EnableFlashing();
    model.Show("Jazz", "Bo", "Tune", "", 2, 4, 1, 99);
    panel.Render(model);
    EXPECT_TRUE(panel.ItemLabel(Item::TitleNumber)->Flashing());
    EXPECT_TRUE(panel.ItemLabel(Item::TitleCount)->Flashing());
    EXPECT_FALSE(panel.ItemLabel(Item::Message)->Flashing()) << "unchanged";
    // The values and times never blink: only the program's line and the state do.
    EXPECT_FALSE(panel.ItemLabel(Item::Category)->Flashing());
    EXPECT_FALSE(panel.ItemLabel(Item::Total)->Flashing());
}

// "Title 2 of 9" blinked in black on the panel's black, so it was unreadable for about two
// seconds after each change of title.
TEST_F(NowPlayingPanelTest, ABlinkDimsTheChangedItemsButNeverBlanksThem) {
    TCDPanelP panel;
    panel.EnableFlashing();
    NowPlaying model;
    model.Show("Rock", "Bo", "Tune", "", 2, 9, 0, 120);
    panel.Render(model);
    model.ShowTemporary("MIDI device unavailable");
    panel.ItemLabel(Item::State)->SetTextFlashing(QString::fromStdString(model.State()));
    model.Show("Rock", "Bo", "Tune", "Ending play with this title", 2, 9, 0, 120);
    panel.Render(model);
    const QColor background = panel.palette().color(QPalette::Window);
    for (Item item : {Item::TitleNumber, Item::TitleCount, Item::Message, Item::State}) {
        TFlashLabel* label = panel.ItemLabel(item);
        ASSERT_TRUE(label->Flashing()) << label->objectName().toStdString();
        std::set<QRgb> colours;
        for (int tick = 0; tick < 100 && label->Flashing(); ++tick) {
            label->FlashTick();
            colours.insert(label->FontColor().rgb());
            EXPECT_NE(label->FontColor(), background) << label->objectName().toStdString();
        }
        EXPECT_EQ(colours.size(), 2u) << "it still blinks";
    }
}

TEST_F(NowPlayingPanelTest, ScreenReadersReadEveryItemByItsText) {
    TCDPanelP panel;
    NowPlaying model;
    model.Show("Jazz", "Ann Lee", "Blue", "", 2, 5, 65, 200);
    panel.Render(model);
    QAccessibleInterface* item =
        QAccessible::queryAccessibleInterface(panel.ItemLabel(Item::Title));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(QAccessible::Name).toStdString(), "Blue");
    EXPECT_EQ(item->text(QAccessible::Description).toStdString(), "Title");
    QAccessibleInterface* whole = QAccessible::queryAccessibleInterface(&panel);
    EXPECT_EQ(whole->text(QAccessible::Name).toStdString(), "Now playing");
}

} // namespace
} // namespace tunquil::ui
