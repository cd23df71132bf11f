// The settings file keeps its Windows form and everything a writer did not touch.

#include "base/IniFile.h"

#include "base/Files.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace tunquil {
namespace {

TEST(IniFile, ReadsValuesWithoutRegardToCaseAndWithDefaults) {
    test::TempDir dir;
    WriteFileAtomically(dir / "t.ini", "; comment\n[Setup]\n  ShowTools = 0 \nServer=\"a b\"\n"
                                       "Count=42\nBad=12x\nYes=7\n[other]\nServer=no\n");
    IniFile ini(dir / "t.ini");
    EXPECT_EQ(ini.ReadString("setup", "SERVER", "d"), "a b");
    EXPECT_EQ(ini.ReadString("Setup", "Missing", "d"), "d");
    EXPECT_EQ(ini.ReadString("Nowhere", "Server", "d"), "d");
    EXPECT_FALSE(ini.ReadBool("Setup", "showtools", true));
    EXPECT_TRUE(ini.ReadBool("Setup", "Yes", false)); // any non-zero number
    EXPECT_TRUE(ini.ReadBool("Setup", "Missing", true));
    EXPECT_EQ(ini.ReadInteger("Setup", "Count", 0), 42);
    EXPECT_EQ(ini.ReadInteger("Setup", "Bad", -1), -1);
    EXPECT_EQ(ini.ReadString("Other", "Server", ""), "no");
    EXPECT_TRUE(ini.ValueExists("SETUP", "count"));
    EXPECT_FALSE(ini.SectionExists("Mail"));
}

TEST(IniFile, WritingOneKeyKeepsEveryOtherLine) {
    test::TempDir dir;
    const std::string original = "; kept\r\n[A]\r\nx=1\r\n\r\n[Setup]\r\nFirst=1\r\n"
                                 "odd line without equals\r\nLast=2\r\n\r\n[Z]\r\nz=9\r\n";
    WriteFileAtomically(dir / "t.ini", original);
    IniFile ini(dir / "t.ini");
    ini.WriteString("Setup", "First", "1"); // unchanged: nothing to save
    ini.UpdateFile();
    EXPECT_EQ(ReadWholeFile(dir / "t.ini"), original);

    ini.WriteBool("setup", "FIRST", false);
    ini.WriteString("Setup", "EMail Address", "me@example.org");
    ini.WriteInteger("New Section", "RAS", -3);
    ini.UpdateFile();
    EXPECT_EQ(ReadWholeFile(dir / "t.ini"),
              "; kept\r\n[A]\r\nx=1\r\n\r\n[Setup]\r\nFirst=0\r\n"
              "odd line without equals\r\nLast=2\r\nEMail Address=me@example.org\r\n\r\n"
              "[Z]\r\nz=9\r\n\r\n[New Section]\r\nRAS=-3\r\n");
    EXPECT_EQ(IniFile(dir / "t.ini").ReadInteger("new section", "ras", 0), -3);
}

TEST(IniFile, MissingFileIsCreatedOnlyWhenWritten) {
    test::TempDir dir;
    IniFile empty(dir / "Tunquil.ini");
    empty.UpdateFile();
    EXPECT_FALSE(std::filesystem::exists(dir / "Tunquil.ini"));
    IniFile ini(dir / "Tunquil.ini");
    ini.WriteString("Setup", "Log File", "line\nbreak");
    ini.WriteString("Setup", "Name", "Ann");
    ini.DeleteKey("Setup", "name");
    ini.UpdateFile();
    // A line break in a value would start a new entry; it is written as a blank.
    EXPECT_EQ(ReadWholeFile(dir / "Tunquil.ini"), "[Setup]\nLog File=line break\n");
}

} // namespace
} // namespace tunquil
