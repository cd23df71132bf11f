#include "base/Text.h"

#include "base/Host.h"

#include <gtest/gtest.h>

using namespace tunquil;

TEST(Text, CutNeverSplitsAMultiByteCharacter) {
    // "é" is two bytes, "€" three: a cut inside either keeps the whole characters before it.
    EXPECT_EQ(CutUtf8("abé", 3), "ab");
    EXPECT_EQ(CutUtf8("abé", 4), "abé");
    EXPECT_EQ(CutUtf8("€€", 5), "€");
    EXPECT_EQ(CutUtf8("plain", 3), "pla");
    EXPECT_TRUE(IsValidUtf8(CutUtf8("ø😀x", 5)));
}

TEST(Text, StoredFieldsThatAreNotUtf8AreReadAsWindows1252) {
    EXPECT_EQ(DecodeStoredText("Caf\xE9"), "Café");
    EXPECT_EQ(DecodeStoredText("\x80 5"), "€ 5");
    EXPECT_EQ(DecodeStoredText("Café"), "Café"); // already UTF-8: kept
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));       // overlong "/"
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));   // surrogate
}

TEST(Text, IgnoringCaseFoldsOnlyAsciiLetters) {
    EXPECT_EQ(CompareTextIgnoringCase("abc", "ABC"), 0);
    EXPECT_LT(CompareTextIgnoringCase("ab", "abc"), 0);
    // "_" (0x5F) lies between upper and lower case: after folding it sorts after letters.
    EXPECT_LT(CompareTextIgnoringCase("a", "_"), 0);
    EXPECT_NE(CompareTextIgnoringCase("é", "É"), 0);
    EXPECT_TRUE(MatchesMask("Song.MID", "*.mid"));
    EXPECT_TRUE(MatchesMask("NPtest.dll", "NP*.dll"));
    EXPECT_FALSE(MatchesMask("song.midi", "*.mid"));
    EXPECT_TRUE(MatchesMask("a.b.c", "*.?"));
    EXPECT_TRUE(MatchesAnyMask("Song.KAR", kMidiFileMasks));
    EXPECT_TRUE(MatchesAnyMask("song.mid", kMidiFileMasks));
    EXPECT_FALSE(MatchesAnyMask("song.karaoke", kMidiFileMasks));
    EXPECT_TRUE(IsKaraokeFileName("/music/pack.zip+Song.Kar"));
    EXPECT_FALSE(IsKaraokeFileName("/music/Karaoke.kar/song.mid"));
}

TEST(Host, LineSeparatorsBecomeLineBreaks) {
    EXPECT_EQ(ExpandLineSeparators("one\\ntwo"), "one\ntwo");
    EXPECT_EQ(ExpandLineSeparators("no separator"), "no separator");
    EXPECT_EQ(ExpandLineSeparators("ends\\n"), "ends\n");
}
