// tunquilctl's sound commands.

#include "base/Files.h"
#include "support/SoundTestTunes.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace tunquil;

namespace {

TEST(CmdSound, LengthListsMillisecondsAndPathsAndNamesTheFilesItCannotRead) {
    test::TempDir dir;
    test::TrackBuilder t;
    t.Note(0, 960, 0, 60).End(1440);
    auto tune = dir.Write("tune.mid", test::SmfBytes(0, 480, {t}));
    auto rmid = dir.Write("tune.rmi", test::RmidBytes(test::SmfBytes(0, 480, {t})));
    auto text = dir.Write("notes.mid", "no tune");
    std::string out;
    EXPECT_EQ(test::RunCtl("length " + tune.string() + " " + rmid.string(), out), 0);
    EXPECT_EQ(out, "1500\t" + tune.string() + "\n1500\t" + rmid.string() + "\n");
    EXPECT_EQ(test::RunCtl("length " + text.string() + " " + tune.string(), out, true), 1);
    EXPECT_NE(out.find(text.string() + ": The file is not a MIDI file"), std::string::npos);
    EXPECT_NE(out.find("1500\t" + tune.string()), std::string::npos);
}

TEST(CmdSound, RenderWritesTheWholeTuneAndPlayReportsTheEnd) {
    test::TempDir dir;
    test::TrackBuilder t;
    t.Note(0, 480, 0, 60, 127).End(960);
    auto tune = dir.Write("tune.mid", test::SmfBytes(0, 480, {t}));
    auto wav = dir / "out.wav";
    std::string out;
    ASSERT_EQ(test::RunCtl("render --soundfont /usr/share/sounds/sf2/TimGM6mb.sf2 " +
                               tune.string() + " " + wav.string(),
                           out, true),
              0)
        << out;
    // The second of the tune, and the tail of its sound dying away.
    auto size = ReadWholeFile(wav).size();
    EXPECT_GE(size, 44u + 44100 * 4);
    EXPECT_LE(size, 44u + 44100 * 4 * 6);
    // At half the speed the second lasts two; a speed or key out of range is a usage error.
    ASSERT_EQ(test::RunCtl("render --soundfont /usr/share/sounds/sf2/TimGM6mb.sf2 --tempo 50 "
                           "--transpose -12 " +
                               tune.string() + " " + wav.string(),
                           out, true),
              0)
        << out;
    EXPECT_GE(ReadWholeFile(wav).size(), 44u + 2 * 44100 * 4);
    EXPECT_EQ(test::RunCtl("render --tempo 401 " + tune.string() + " " + wav.string(), out, true),
              2);
    EXPECT_NE(out.find("--tempo takes a percentage from 25 to 400, not 401"), std::string::npos);
    EXPECT_EQ(test::RunCtl("play --output null --transpose +13 --file " + tune.string(), out, true),
              2);
    // A recording that cannot be written whole is a failure, not a finished render.
    EXPECT_EQ(test::RunCtl("render --soundfont /usr/share/sounds/sf2/TimGM6mb.sf2 " +
                               tune.string() + " /dev/full",
                           out, true),
              1)
        << out;

    ASSERT_EQ(test::RunCtl("play --output null --tempo 400 --file " + tune.string(), out, true), 0)
        << out;
    EXPECT_NE(out.find("1000 ms of 1000 ms, stopped"), std::string::npos) << out;

    EXPECT_EQ(test::RunCtl("play --output null --file " + (dir / "gone.mid").string(), out, true),
              1);
    EXPECT_NE(out.find("Play problem: The MIDI file was not found"), std::string::npos) << out;
}

} // namespace
