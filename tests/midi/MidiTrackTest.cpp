#include "midi/MidiTrack.h"

#include "MidiFileBytes.h"
#include "midi/MidiErrors.h"

#include <cstring>

using namespace tunquil;
using namespace tunquil::test;

namespace {

std::string Records(const TMidiTrack& track) {
    return std::string(reinterpret_cast<const char*>(track.Memory().Base()),
                       static_cast<std::size_t>(track.Count()) * 11);
}

const TMidiTrack& LoadOneTrack(TMidiData& midiData, const Track& track) {
    Load(midiData, MidiFile(96, {track}));
    EXPECT_NE(midiData.Tracks(0), nullptr);
    return *midiData.Tracks(0);
}

std::string BlockOf(const TMidiTrack& track, int i) {
    const TMidiEvent& e = track.GetEvent(i);
    return std::string(reinterpret_cast<const char*>(track.Block(e)), e.Length);
}

} // namespace

TEST(MidiTrack, ChannelMessagesBecomePackedRecordsWithRunningStatusResolved) {
    TMidiData midiData;
    Track t;
    t.Raw(0, Bytes({0x90, 60, 100}))
        .Raw(300, Bytes({62, 90})) // running status 0x90
        .Raw(0, Bytes({0xC1, 5}))  // one data byte
        .Raw(5, Bytes({0xF8}))     // system status: no data, running status kept
        .Raw(0, Bytes({7}))        // running status is still 0xC1
        .End(1);
    const TMidiTrack& track = LoadOneTrack(midiData, t);
    ASSERT_EQ(track.Count(), 6);
    EXPECT_EQ(track.Memory().Size(), 6 * 11);
    // Time (LE 32), Length (LE 16), Status, Data[4]; the End of Track block offset is 0.
    std::string expected = Bytes({0, 0, 0, 0, 0, 0, 0x90, 60, 100, 0, 0}) +
                           Bytes({0x2C, 1, 0, 0, 0, 0, 0x90, 62, 90, 0, 0}) +
                           Bytes({0x2C, 1, 0, 0, 0, 0, 0xC1, 5, 0, 0, 0}) +
                           Bytes({0x31, 1, 0, 0, 0, 0, 0xF8, 0, 0, 0, 0}) +
                           Bytes({0x31, 1, 0, 0, 0, 0, 0xC1, 7, 0, 0, 0}) +
                           Bytes({0x32, 1, 0, 0, 1, 0, 0xFF, 0, 0, 0, 0});
    EXPECT_EQ(Records(track), expected);
    EXPECT_EQ(BlockOf(track, 5), Bytes({0x2F}));
}

TEST(MidiTrack, MetaAndSysexEventsKeepTheirDataBlocks) {
    TMidiData midiData;
    Track t;
    t.Meta(0, 0x03, "Piano")
        .Sysex(0, 0xF0, Bytes({0x7E, 0x7F, 0x09, 0x01, 0xF7}))
        .Sysex(10, 0xF0, Bytes({0x43, 0x12}));
    t.Sysex(0, 0xF7, Bytes({0x00, 0xF7})).End();
    const TMidiTrack& track = LoadOneTrack(midiData, t);
    ASSERT_EQ(track.Count(), 5);
    EXPECT_EQ(+track.GetEvent(0).Length, 6);
    EXPECT_EQ(BlockOf(track, 0), "\x03Piano");
    EXPECT_EQ(BlockOf(track, 1), Bytes({0x7E, 0x7F, 0x09, 0x01, 0xF7}));
    EXPECT_EQ(track.GetEvent(2).Status, 0xF0);
    EXPECT_EQ(+track.GetEvent(2).Time, 10);
    EXPECT_EQ(BlockOf(track, 3), Bytes({0x00, 0xF7}));
    EXPECT_EQ(track.GetEvent(3).Status, 0xF7);
    EXPECT_EQ(track.Block(track.GetEvent(3)) - track.Block(track.GetEvent(2)), 2);
}

TEST(MidiTrack, ChunkWithoutEndOfTrackGetsOneAfterItsLastEvent) {
    TMidiData midiData;
    const TMidiTrack& track = LoadOneTrack(midiData, Track{}.NoteOn(0).NoteOff(50).Raw(0, "\xF8"));
    ASSERT_EQ(track.Count(), 4);
    const TMidiEvent& end = track.GetEvent(3);
    EXPECT_EQ(end.Status, 0xFF);
    EXPECT_EQ(+end.Time, 50);
    EXPECT_EQ(BlockOf(track, 3), "\x2F");
    // Exactly one record per event is held, the added one included.
    EXPECT_EQ(track.Memory().Size(), 4 * 11);
    EXPECT_EQ(track.Memory().Committed(), 4 * 11);
}

TEST(MidiTrack, MalformedEventsFailTheLoadWithTheirMessages) {
    auto file = [](const std::string& chunk) { return Header(0, 1, 96) + Chunk("MTrk", chunk); };
    ExpectLoadFails<EMidiData>(file(Track{}.End().NoteOn(0).bytes), "Unexpected end of track");
    ExpectLoadFails<EMidiData>(file(Track{}.End().bytes + Bytes({0})), "Unexpected end of track");
    ExpectLoadFails<EMidiData>(file(Bytes({0, 60, 100})), "Error in Running Status");
    // Running status does not survive into a new chunk.
    ExpectLoadFails<EMidiData>(Header(1, 2, 96) + Chunk("MTrk", Track{}.NoteOn(0).bytes) +
                                   Chunk("MTrk", Bytes({0, 60, 100})),
                               "Error in Running Status");
    // A packet without a closing 0xF7 must be continued by an 0xF7 packet.
    ExpectLoadFails<EMidiData>(file(Track{}.Sysex(0, 0xF0, "\x43\x12").NoteOn(0).bytes),
                               "Error in Sysex");
    ExpectLoadFails<EMidiData>(file(Track{}.Sysex(0, 0xF0, "\x43\x12").Raw(0, "\x01").bytes),
                               "Error in Sysex");
    ExpectLoadFails<EMidiData>(file(Track{}.Sysex(0, 0xF0, "").NoteOn(0).bytes), "Error in Sysex");
    TMidiData midiData;
    EXPECT_NO_THROW(Load(
        midiData,
        file(Track{}.Sysex(0, 0xF0, "\x43\x12").Sysex(5, 0xF7, "\x10\xF7").NoteOn(0).End().bytes)));
}

TEST(MidiTrack, ReadsPastTheChunkFailInsteadOfLeavingIt) {
    // The chunk is followed by another one, so a read past the chunk would find bytes.
    auto file = [](const std::string& chunk) {
        return Header(1, 2, 96) + Chunk("MTrk", chunk) +
               Chunk("MTrk", Track{}.NoteOn(0).End().bytes);
    };
    const std::string ends = "Track data ends inside an event";
    ExpectLoadFails<EMidiData>(file(Bytes({0x81})), ends);                   // delta-time
    ExpectLoadFails<EMidiData>(file(Bytes({0x00})), ends);                   // status
    ExpectLoadFails<EMidiData>(file(Bytes({0x00, 0x90})), ends);             // first data byte
    ExpectLoadFails<EMidiData>(file(Bytes({0x00, 0x90, 60})), ends);         // second data byte
    ExpectLoadFails<EMidiData>(file(Bytes({0x00, 0xFF})), ends);             // meta type
    ExpectLoadFails<EMidiData>(file(Bytes({0x00, 0xFF, 0x01, 0x83})), ends); // length quantity
    ExpectLoadFails<EMidiData>(file(Bytes({0x00, 0xF0})), ends);
    // Data blocks that run past the chunk fail in the second pass, however large they claim to be.
    ExpectLoadFails<std::runtime_error>(file(Bytes({0x00, 0xFF, 0x01, 0x05, 'a', 'b'})),
                                        "Error in second parse pass");
    ExpectLoadFails<std::runtime_error>(
        file(Bytes({0x00, 0xF0}) + Quantity(0xFFFFFFF0u) + "\x01\x02"),
        "Error in second parse pass");
}

TEST(MidiTrack, DataBlocksMustFitTheSixteenBitLength) {
    TMidiData midiData;
    // A meta block holds the type byte too: 65,534 data bytes are the most.
    EXPECT_NO_THROW(Load(midiData, MidiFile(96, {Track{}.Meta(0, 0x7F, std::string(65534, 'x'))})));
    EXPECT_EQ(+midiData.Tracks(0)->GetEvent(0).Length, 65535);
    EXPECT_NO_THROW(
        Load(midiData, MidiFile(96, {Track{}.Sysex(0, 0xF0, std::string(65534, 'x') + "\xF7")})));
    EXPECT_EQ(+midiData.Tracks(0)->GetEvent(0).Length, 65535);
    ExpectLoadFails<EMidiData>(MidiFile(96, {Track{}.Meta(0, 0x7F, std::string(65535, 'x'))}),
                               "Event data too long");
    ExpectLoadFails<EMidiData>(
        MidiFile(96, {Track{}.Sysex(0, 0xF0, std::string(65535, 'x') + "\xF7")}),
        "Event data too long");
}

TEST(MidiTrack, AbsoluteTimesBeyondThirtyOneBitsFailTheLoad) {
    TMidiData midiData;
    Load(midiData, MidiFile(96, {Track{}.NoteOn(0x7FFFFFF0).NoteOff(0xF)}));
    EXPECT_EQ(+midiData.Tracks(0)->GetEvent(1).Time, 0x7FFFFFFF);
    ExpectLoadFails<EMidiData>(MidiFile(96, {Track{}.NoteOn(0x7FFFFFF0).NoteOff(0x10)}),
                               "Event time out of range");
    ExpectLoadFails<EMidiData>(MidiFile(96, {Track{}.NoteOn(0xFFFFFFFF)}),
                               "Event time out of range");
}

TEST(MidiTrack, RecordsAreLimitedToTheTrackCapacity) {
    auto events = [](int n) {
        Track t;
        t.bytes.reserve(static_cast<std::size_t>(n) * 2 + 4);
        for (int i = 0; i < n - 1; ++i)
            t.Raw(0, "\xF8");
        return t.End();
    };
    TMidiData midiData;
    Load(midiData, MidiFile(96, {events(95325)}));
    EXPECT_EQ(midiData.Tracks(0)->Count(), 95325);
    EXPECT_EQ(midiData.Tracks(0)->Memory().Size(), 95325 * 11);
    ExpectLoadFails<EVirtualMemory>(MidiFile(96, {events(95326)}), "Size exceeds capacity");
}

TEST(MidiTrack, GetEventRejectsIndicesOutsideTheTrack) {
    TMidiData midiData;
    const TMidiTrack& track = LoadOneTrack(midiData, Track{}.NoteOn(0).End());
    for (int bad : {-1, 2}) {
        try {
            track.GetEvent(bad);
            ADD_FAILURE() << bad;
        } catch (const std::exception& e) {
            EXPECT_EQ(typeid(e), typeid(std::runtime_error));
            EXPECT_STREQ(e.what(), "Invalid event no");
        }
    }
}

TEST(MidiTrack, FindEventSearchesByTimeWithEqualTimeModes) {
    TMidiTrack empty;
    EXPECT_EQ(empty.FindEvent(0, 0), -1);

    TMidiData midiData;
    // Times 0, 10, 10, 10, 20, 20 (End of Track).
    const TMidiTrack& track = LoadOneTrack(
        midiData, Track{}.NoteOn(0).NoteOn(10, 61).NoteOn(0, 62).NoteOn(0, 63).NoteOff(10).End());
    EXPECT_EQ(track.FindEvent(10, 0), 1);
    EXPECT_EQ(track.FindEvent(10, 1), 3);
    int other = track.FindEvent(10, 2);
    EXPECT_GE(other, 1);
    EXPECT_LE(other, 3);
    EXPECT_EQ(track.FindEvent(5, 0), 1);
    EXPECT_EQ(track.FindEvent(5, 1), 1);
    EXPECT_EQ(track.FindEvent(-3, 1), 0);
    EXPECT_EQ(track.FindEvent(20, 0), 4);
    EXPECT_EQ(track.FindEvent(20, 1), 5);
    EXPECT_EQ(track.FindEvent(21, 0), -1);
}

TEST(MidiTrack, InsertEventKeepsTimeOrderAndTheClosingEndOfTrackLast) {
    TMidiData midiData;
    Load(midiData, MidiFile(96, {Track{}.NoteOn(0).NoteOff(10).End(10)}));
    TMidiTrack& track = *midiData.Tracks(0);
    const uint8_t note[2] = {64, 70};
    track.InsertEvent(0, 0x91, note, 0); // after the event of equal time
    EXPECT_EQ(track.GetEvent(1).Status, 0x91);
    EXPECT_EQ(track.GetEvent(1).Data2(), 70);
    // Growth comes in steps of 1,024 records.
    EXPECT_EQ(track.Memory().Size(), 3 * 11 + 11264);

    // Later than everything: the End of Track moves along and stays last.
    const uint8_t text[3] = {0x01, 'h', 'i'};
    track.InsertEvent(100, 0xFF, text, 3);
    ASSERT_EQ(track.Count(), 5);
    EXPECT_EQ(+track.GetEvent(3).Time, 100);
    EXPECT_EQ(BlockOf(track, 3), "\x01hi");
    EXPECT_EQ(+track.GetEvent(4).Time, 100);
    EXPECT_EQ(BlockOf(track, 4), "\x2F");
    for (int i = 1; i < track.Count(); ++i)
        EXPECT_LE(+track.GetEvent(i - 1).Time, +track.GetEvent(i).Time);

    // Without a closing End of Track there is no place after the last event.
    TMidiTrack bare;
    bare.InsertEvent(5, 0x90, note, 0);
    EXPECT_EQ(bare.Count(), 1);
    try {
        bare.InsertEvent(6, 0x80, note, 0);
        ADD_FAILURE();
    } catch (const EMidiData& e) {
        EXPECT_STREQ(e.what(), "System error inserting event");
    }
}

TEST(MidiTrack, LongMixedChannelStreamsDecodeExactly) {
    // Varied deltas (one to four bytes), running and new statuses, one and two data bytes and
    // interleaved meta events, checked event by event: most of a chunk is decoded by a fast
    // path and its last bytes by the general one, and both must agree.
    struct Expected {
        int32_t time;
        uint8_t status, data1, data2;
    };
    std::vector<Expected> expected;
    Track t;
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    int32_t time = 0;
    uint8_t running = 0;
    for (int i = 0; i < 3000; ++i) {
        uint32_t r = next() >> 8;
        uint32_t delta = (r % 7 == 0) ? (r % 3000000) : (r % 5 == 0) ? r % 300 : r % 100;
        time += static_cast<int32_t>(delta);
        if (r % 41 == 0) {
            t.Meta(delta, 0x01, "m");
            expected.push_back({time, 0xFF, 0, 0});
            continue;
        }
        static const uint8_t statuses[] = {0x90, 0x80, 0xB3, 0xC4, 0xD5, 0xE6, 0xA7};
        uint8_t status = (r % 3 == 0 || running == 0) ? statuses[(r >> 4) % 7] : running;
        bool two = (status & 0xE0) != 0xC0;
        uint8_t d1 = static_cast<uint8_t>((r >> 3) & 0x7F);
        uint8_t d2 = two ? static_cast<uint8_t>((r >> 10) & 0x7F) : 0;
        std::string bytes;
        if (status != running)
            bytes.push_back(static_cast<char>(status));
        bytes.push_back(static_cast<char>(d1));
        if (two)
            bytes.push_back(static_cast<char>(d2));
        t.Raw(delta, bytes);
        running = status;
        expected.push_back({time, status, d1, d2});
    }
    TMidiData midiData;
    const TMidiTrack& track = LoadOneTrack(midiData, t);
    ASSERT_EQ(track.Count(), static_cast<int32_t>(expected.size()) + 1);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const TMidiEvent& e = track.GetEvent(static_cast<int32_t>(i));
        ASSERT_EQ(+e.Time, expected[i].time) << i;
        ASSERT_EQ(e.Status, expected[i].status) << i;
        if (e.Status != 0xFF) {
            ASSERT_EQ(e.Data1(), expected[i].data1) << i;
            ASSERT_EQ(e.Data2(), expected[i].data2) << i;
            ASSERT_EQ(+e.Length, 0) << i;
        } else {
            ASSERT_EQ(BlockOf(track, static_cast<int>(i)), "\x01m") << i;
        }
    }
}
