// The main window's placement rules as arithmetic.

#include "ui/app/MasterLayout.h"

#include <gtest/gtest.h>

namespace tunquil::ui {
namespace {

TEST(MasterLayoutTest, WindowSizeIsClampedToItsMinimum) {
    int w = 500, h = 390;
    ClampWindowSize(w, h);
    EXPECT_EQ(w, 520);
    EXPECT_EQ(h, 380);
    w = 800, h = 600;
    ClampWindowSize(w, h);
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 600);
}

TEST(MasterLayoutTest, SeparatorDragsKeepEachPanelAtLeast140Wide) {
    EXPECT_EQ(AlbumWidthAfterDrag(200, 500, -100), 140);
    EXPECT_EQ(AlbumWidthAfterDrag(200, 500, -30), 170);
    EXPECT_EQ(AlbumWidthAfterDrag(200, 500, 100), 300);
    EXPECT_EQ(AlbumWidthAfterDrag(200, 200, 100), 260); // the category panel gives only 60
}

TEST(MasterLayoutTest, DatabaseAreaPlacesThePanelsAroundTheSeparator) {
    DatabaseAreaLayout l = LayOutDatabaseArea(800, 400, true, 200);
    EXPECT_EQ(l.albumPanel.left, 5);
    EXPECT_EQ(l.albumPanel.top, 32);
    EXPECT_EQ(l.albumPanel.height, 400 - 32 - 5);
    EXPECT_EQ(l.separator.left, 205);
    EXPECT_EQ(l.categoryPanel.left, 210);
    EXPECT_EQ(l.categoryPanel.width, 800 - 210 - 5);
    EXPECT_EQ(LayOutDatabaseArea(800, 400, false, 200).albumPanel.top, 0);
    // A saved width wider than the area still leaves the category panel its 140 pixels.
    DatabaseAreaLayout wide = LayOutDatabaseArea(600, 400, true, 5000);
    EXPECT_EQ(wide.categoryPanel.width, 140);
    EXPECT_EQ(wide.albumWidth, 600 - 15 - 140);
}

TEST(MasterLayoutTest, MusicControlsAreCentredWithTheirGaps) {
    std::vector<int> widths{43, 43, 25, 25, 25, 25, 25, 25, 25, 25, 25, 25};
    std::vector<int> lefts = MusicControlLefts(800, widths);
    int total = 43 * 2 + 25 * 10 + 100;
    EXPECT_EQ(lefts[0], 400 - total / 2);
    EXPECT_EQ(lefts[1], lefts[0] + 43 + 5);
    EXPECT_EQ(lefts[5], lefts[4] + 25 + 30);   // previous stands apart
    EXPECT_EQ(lefts[11], lefts[10] + 25 + 30); // and so does volume
}

} // namespace
} // namespace tunquil::ui
