// The tab control: each tab keeps its own hint as tabs come and go, and the tabs after the first
// can be hidden, which makes the first one active.

#include "ui/GuiTestApp.h"
#include "ui/controls/TExtPageControl.h"

#include <gtest/gtest.h>

namespace tunquil::ui {
namespace {

TEST(PageControlTest, HintsStayWithTheirTabsWhenTabsAreInsertedAndRemoved) {
    test::GuiTestApp();
    TExtPageControl tabs;
    auto* all = new QWidget;
    auto* rock = new QWidget;
    auto* jazz = new QWidget;
    tabs.addTab(all, "all");
    tabs.addTab(rock, "rock");
    tabs.SetTabHint(all, "View all titles");
    tabs.SetTabHint(rock, "View all \"Rock\" titles");
    tabs.insertTab(1, jazz, "jazz"); // no hint of its own
    EXPECT_EQ(tabs.TabHint(1).toStdString(), "");
    EXPECT_EQ(tabs.TabHint(2).toStdString(), "View all \"Rock\" titles");
    tabs.removeTab(1);
    EXPECT_EQ(tabs.TabHint(1).toStdString(), "View all \"Rock\" titles");
    delete jazz;
}

TEST(PageControlTest, HidingTheTabsAfterTheFirstMakesTheFirstActive) {
    test::GuiTestApp();
    TExtPageControl tabs;
    for (const char* caption : {"all", "a", "b"})
        tabs.addTab(new QWidget, caption);
    tabs.setCurrentIndex(2);
    tabs.ShowTabsAfterFirst(false);
    EXPECT_EQ(tabs.currentIndex(), 0);
    EXPECT_FALSE(tabs.isTabVisible(1));
    EXPECT_FALSE(tabs.isTabVisible(2));
    tabs.ShowTabsAfterFirst(true);
    EXPECT_TRUE(tabs.isTabVisible(2));
}

} // namespace
} // namespace tunquil::ui
