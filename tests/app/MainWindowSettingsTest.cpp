// The main window's settings in Tunquil.ini: defaults, the position rule and what a maximised
// window leaves alone.

#include "app/MainWindowSettings.h"

#include "base/IniFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace tunquil {
namespace {

TEST(MainWindowSettingsTest, MissingKeysReadAsDefaultsAndLowPositionsAsTen) {
    test::TempDir dir;
    dir.Write("Tunquil.ini", "[Format]\nTop=3\nLeft=40\n[Setup]\nGSReset=1\n");
    MainWindowSettings s = MainWindowSettings::Read(IniFile(dir / "Tunquil.ini"));
    EXPECT_EQ(s.top, 10);
    EXPECT_EQ(s.left, 40);
    EXPECT_EQ(s.width, 585);
    EXPECT_EQ(s.albPanelWidth, 200);
    EXPECT_TRUE(s.showTools);
    EXPECT_EQ(s.reset, ResetChoice::GSOnly);
    EXPECT_EQ(s.tabActiveColor, 12632256u);
    EXPECT_EQ(s.tabActiveFontColor, 32768u);
}

TEST(MainWindowSettingsTest, WritingKeepsOtherKeysAndAMaximisedWindowKeepsItsBounds) {
    test::TempDir dir;
    dir.Write("Tunquil.ini", "[Setup]\nServer=smtp.example\n[Format]\nWidth=640\n");
    IniFile ini(dir / "Tunquil.ini");
    MainWindowSettings s = MainWindowSettings::Read(ini);
    s.width = 1900;
    s.showCatTabs = false;
    s.reset = ResetChoice::GMThenGS;
    // The separator moved while maximised is kept (it used to go with the bounds), and so is
    // how the window was left.
    s.albPanelWidth = 333;
    s.maximized = true;
    s.categoryTab = 2;
    s.sortColumns = "0:2,7:1";
    s.synthLeft = 1000;
    s.Write(ini, true);
    ini.UpdateFile();
    IniFile back(dir / "Tunquil.ini");
    EXPECT_EQ(back.ReadString("Setup", "Server", ""), "smtp.example");
    EXPECT_EQ(back.ReadInteger("Format", "Width", 0), 640);
    MainWindowSettings again = MainWindowSettings::Read(back);
    EXPECT_EQ(again.albPanelWidth, 333);
    EXPECT_TRUE(again.maximized);
    EXPECT_EQ(again.categoryTab, 2);
    EXPECT_EQ(again.sortColumns, "0:2,7:1");
    EXPECT_EQ(again.synthLeft, 1000);
    EXPECT_EQ(again.synthRight, 65535);
    EXPECT_FALSE(back.ReadBool("Setup", "ShowCatTabs", true));
    EXPECT_TRUE(back.ReadBool("Setup", "GMGSReset", false));
    EXPECT_FALSE(back.ReadBool("Setup", "GSReset", true));
    EXPECT_EQ(back.ReadInteger("Format", "TabActiveColor", 0), 12632256);
}

} // namespace
} // namespace tunquil
