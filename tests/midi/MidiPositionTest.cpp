#include "midi/MidiPosition.h"

#include "MidiFileBytes.h"

using namespace tunquil;
using namespace tunquil::test;

namespace {

class CountingPosition : public TMidiPosition {
public:
    int changes = 0;

protected:
    void Changed() override { ++changes; }
};

} // namespace

TEST(MidiPosition, EachTempoSegmentIsTruncatedOnItsOwn) {
    // PPQN 7, 500 ms per quarter for 1 tick (71.4 -> 71), then 1 ms per quarter.
    TMidiData midiData;
    Load(midiData, MidiFile(7, {Track{}.Tempo(1, 1000).Tempo(1, 1999).NoteOn(5).End()}));
    TMidiPosition position;
    position.SetMidiData(&midiData);
    position.SeekTick(2);
    EXPECT_EQ(position.TimeMs(), 71);
    EXPECT_EQ(position.TempoMs(), 1);
    position.SeekTick(7);
    EXPECT_EQ(position.TimeMs(), 71 + 0 + 0); // (1 x 1) / 7 and (5 x 1) / 7 both truncate to 0
    EXPECT_EQ(position.DurationMs(), 71);
    EXPECT_EQ(position.Tick(), 7);
    // Seeking back starts over from the top of the tempo map.
    position.SeekTick(1);
    EXPECT_EQ(position.TimeMs(), 71);
    EXPECT_EQ(position.TempoMs(), 1);
    position.SeekTick(0);
    EXPECT_EQ(position.TempoMs(), 500);
    EXPECT_EQ(position.TimeMs(), 0);
}

TEST(MidiPosition, LongTunesDoNotOverflowTheTickTimesTempoProduct) {
    TMidiData midiData;
    // 960 ticks per quarter at 500 ms: about 31 hours at the last tick.
    Load(midiData, MidiFile(960, {Track{}.Tempo(0, 500000).NoteOn(0).NoteOff(0x7FFFFFF0).End()}));
    TMidiPosition position;
    position.SetMidiData(&midiData);
    EXPECT_EQ(position.DurationMs(), int64_t{0x7FFFFFF0} * 500 / 960);
}

TEST(MidiPosition, TimeSignaturesGiveBarsAndBeatsButNotTime) {
    TMidiData midiData;
    // 3/4 from tick 0; at tick 200 (bar 2 begun) 6/8, whose beats are eighths of 48 ticks.
    Load(midiData,
         MidiFile(96,
                  {Track{}.TimeSignature(0, 3, 2).TimeSignature(200, 6, 3).NoteOff(2000).End()}));
    TMidiPosition position;
    position.SetMidiData(&midiData);
    position.SeekTick(150);
    EXPECT_EQ(position.Bar(), 0);
    EXPECT_EQ(position.Beat(), 1);
    EXPECT_EQ(position.TickInBeat(), 54);
    EXPECT_EQ(position.TimeMs(), 150 * 500 / 96);
    // The bar begun before the change counts as whole: 200 ticks of 3/4 make bar 1 the next.
    position.SeekTick(200 + 288 + 2 * 48 + 1);
    EXPECT_EQ(position.Numerator(), 6);
    EXPECT_EQ(position.TicksPerBeat(), 48);
    EXPECT_EQ(position.TicksPerBar(), 288);
    EXPECT_EQ(position.Bar(), 2);
    EXPECT_EQ(position.Beat(), 2);
    EXPECT_EQ(position.TickInBeat(), 1);
    // A half-note beat doubles the ticks per beat.
    Load(midiData, MidiFile(96, {Track{}.TimeSignature(0, 2, 1).NoteOff(2000).End()}));
    position.SeekTick(0);
    position.SeekTick(192 * 3);
    EXPECT_EQ(position.TicksPerBeat(), 192);
    EXPECT_EQ(position.Bar(), 1);
    EXPECT_EQ(position.Beat(), 1);
}

TEST(MidiPosition, ShortTempoAndTimeSignatureEventsAreIgnored) {
    TMidiData midiData;
    Load(midiData, MidiFile(96, {Track{}
                                     .Meta(0, 0x51, Bytes({0x07, 0xA1}))
                                     .Meta(0, 0x58, Bytes({3}))
                                     .Meta(0, 0x51, "")
                                     .NoteOff(96)
                                     .End()}));
    TMidiPosition position;
    position.SetMidiData(&midiData);
    position.SeekTick(96);
    EXPECT_EQ(position.TempoMs(), 500);
    EXPECT_EQ(position.Numerator(), 4);
    EXPECT_EQ(position.TimeMs(), 500);
}

TEST(MidiPosition, EndTickSkipsTrailingMetaAndSysexEvents) {
    TMidiData midiData;
    Load(midiData, MidiFile(96, {Track{}.Meta(10, 0x01, "x").Tempo(5, 500000).End(100),
                                 Track{}.NoteOn(0).NoteOff(300).Sysex(50, 0xF0, "\x01\xF7").End(9),
                                 Track{}.NoteOn(0).NoteOff(200).End(900)}));
    TMidiPosition position;
    position.SetMidiData(&midiData);
    EXPECT_EQ(position.EndTick(), 300);
    // A track of meta events only contributes the time of its first event.
    Load(midiData, MidiFile(96, {Track{}.Meta(10, 0x01, "x").Tempo(5, 500000).End(100)}));
    EXPECT_EQ(position.EndTick(), 10);
    TMidiPosition detached;
    EXPECT_EQ(detached.EndTick(), 0);
    EXPECT_EQ(detached.PPQN(), 180);
}

TEST(MidiPosition, AttachingAnotherFileResetsAndSeeksBack) {
    TMidiData first;
    TMidiData second;
    Load(first, MidiFile(96, {Track{}.NoteOff(960).End()}));
    Load(second, MidiFile(48, {Track{}.Tempo(0, 1000000).NoteOff(960).End()}));
    CountingPosition position;
    position.SetMidiData(&first);
    EXPECT_EQ(position.changes, 1);
    position.SeekTick(96);
    EXPECT_EQ(position.TimeMs(), 500);
    position.SetMidiData(&first);
    EXPECT_EQ(position.changes, 1);
    position.SetMidiData(&second);
    EXPECT_EQ(position.changes, 2);
    EXPECT_EQ(position.Tick(), 96);
    EXPECT_EQ(position.PPQN(), 48);
    EXPECT_EQ(position.TimeMs(), 2000);
}
