#include "MidiFileBytes.h"
#include "base/Files.h"
#include "midi/MidiErrors.h"
#include "support/TempDir.h"

using namespace tunquil;
using namespace tunquil::test;

TEST(MidiData, HeaderKeepsItsWordsAndAnyExtraBytes) {
    TMidiData midiData;
    Load(midiData, MidiFile(480, {Track{}.NoteOn(0).End()}, 0));
    EXPECT_TRUE(midiData.Active());
    EXPECT_EQ(midiData.HeaderBody(), (std::array<uint8_t, 6>{0, 0, 0, 1, 0x01, 0xE0}));
    EXPECT_EQ(midiData.PPQN(), 480);
    EXPECT_TRUE(midiData.ExtraHeader().empty());

    Load(midiData, Header(1, 1, 96, 8) + Chunk("MTrk", Track{}.End().bytes));
    EXPECT_EQ(midiData.ExtraHeader(), (std::vector<uint8_t>{0x55, 0x55}));
    EXPECT_NE(midiData.Tracks(0), nullptr);

    // A division word with its top bit set is read as a plain number.
    Load(midiData, MidiFile(0xE728, {}));
    EXPECT_EQ(midiData.PPQN(), 0xE728);
    midiData.SetPPQN(120);
    EXPECT_EQ(midiData.HeaderBody()[4], 0);
    EXPECT_EQ(midiData.HeaderBody()[5], 120);
}

TEST(MidiData, BrokenHeadersAndChunksFailWithTheirMessages) {
    std::string track = Chunk("MTrk", Track{}.NoteOn(0).End().bytes);
    ExpectLoadFails<EStreamError>("MTh", "Stream read error");
    ExpectLoadFails<EMidiData>("RIFF" + BigEndian32(6) + Bytes({0, 0, 0, 1, 0, 96}) + track,
                               "Invalid MIDI file ID");
    ExpectLoadFails<EMidiData>("MThd" + BigEndian32(5) + Bytes({0, 0, 0, 1, 0, 96}) + track,
                               "Invalid MIDI header size");
    ExpectLoadFails<EStreamError>("MThd" + BigEndian32(6) + Bytes({0, 0, 0}), "Stream read error");
    // A header claiming 4 GiB fails before anything is allocated for it.
    ExpectLoadFails<EStreamError>(
        "MThd" + BigEndian32(0xFFFFFFFF) + Bytes({0, 0, 0, 1, 0, 96}) + track, "Stream read error");
    ExpectLoadFails<EMidiData>(Header(1, 2, 96) + track, "Invalid track start ID");
    ExpectLoadFails<EMidiData>(Header(1, 2, 96) + track + "MTr", "Invalid track start ID");
    ExpectLoadFails<EMidiData>(Header(1, 2, 96) + track + Chunk("MTrx", "\x00\xF8"),
                               "Invalid track start ID");
    ExpectLoadFails<EStreamError>(Header(1, 2, 96) + track + "MTrk\x00", "Stream read error");
    ExpectLoadFails<EStreamError>(Header(1, 1, 96) + "MTrk" + BigEndian32(0xFFFFFFF0) + "\x00\xF8",
                                  "Stream read error");
    // A failure in a later chunk drops the tracks already parsed.
    ExpectLoadFails<EMidiData>(Header(1, 2, 96) + track + Chunk("MTrk", Bytes({0, 1})),
                               "Error in Running Status");
}

TEST(MidiData, EmptyChunksLeaveTheirSlotsEmptyAndFormatIsNotLookedAt) {
    TMidiData midiData;
    Load(midiData, Header(2, 3, 96) + Chunk("MTrk", "") + Chunk("MTrk", Track{}.NoteOn(0).bytes) +
                       Chunk("MTrk", "") + "trailing bytes are not looked at");
    EXPECT_EQ(midiData.Tracks(0), nullptr);
    ASSERT_NE(midiData.Tracks(1), nullptr);
    EXPECT_EQ(midiData.Tracks(1)->Owner(), &midiData);
    EXPECT_EQ(midiData.Tracks(2), nullptr);
}

TEST(MidiData, FilesClaimingMoreThanTheTrackSlotsAreRefused) {
    std::string chunks;
    for (int i = 0; i < 257; ++i)
        chunks += Chunk("MTrk", Track{}.NoteOn(0).End().bytes);
    TMidiData midiData;
    Load(midiData, Header(1, 256, 96) + chunks);
    EXPECT_NE(midiData.Tracks(255), nullptr);
    ExpectLoadFails<EMidiData>(Header(1, 257, 96) + chunks, "Too many tracks");
}

TEST(MidiData, ActiveLoadsTheNamedFileAndFalseClears) {
    TempDir dir;
    TMidiData midiData;
    midiData.SetActive(true); // no file name: an empty file
    EXPECT_TRUE(midiData.Active());
    EXPECT_EQ(midiData.PPQN(), 180);
    midiData.SetActive(false);

    midiData.SetFileName(dir.Write("a.mid", MidiFile(96, {Track{}.NoteOn(0).End()})).string());
    midiData.SetActive(true);
    EXPECT_NE(midiData.Tracks(0), nullptr);
    midiData.SetPPQN(7);
    midiData.SetActive(true); // already active: nothing happens
    EXPECT_EQ(midiData.PPQN(), 7);
    midiData.SetActive(false);
    EXPECT_EQ(midiData.Tracks(0), nullptr);
    EXPECT_EQ(midiData.PPQN(), 180);

    midiData.SetFileName((dir / "missing.mid").string());
    EXPECT_THROW(midiData.SetActive(true), FileError);
    EXPECT_FALSE(midiData.Active());
}
