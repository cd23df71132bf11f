#include "midi/TuneTime.h"

#include "MidiFileBytes.h"
#include "base/Files.h"
#include "midi/MidiPosition.h"
#include "midi/MidiProbe.h"
#include "support/TempDir.h"

#include <sys/stat.h>

using namespace tunquil;
using namespace tunquil::test;

namespace {

int TuneTime(const std::string& bytes) {
    TMidiData midiData;
    int seconds =
        GetTuneTime(midiData, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    EXPECT_FALSE(midiData.Active());
    return seconds;
}

int64_t DurationMs(const std::string& bytes) {
    TMidiData midiData;
    Load(midiData, bytes);
    TMidiPosition position;
    position.SetMidiData(&midiData);
    return position.DurationMs();
}

// A tune in the shape of the reset files: all meta and system-exclusive events.
std::string ResetTune() {
    Track t;
    t.TimeSignature(0, 4, 2).Tempo(0, 500000);
    t.Sysex(0, 0xF0, Bytes({0x7E, 0x7F, 0x09, 0x01, 0xF7}));
    t.Sysex(50, 0xF0, Bytes({0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7}));
    return MidiFile(120, {t.End(65)}, 0);
}

} // namespace

// The time used to assume 600 ms per quarter note and to ignore tempo events outside the first
// track, so that a tune listed longer than the sequencer plays it.
TEST(TuneTime, DurationComesFromTheTempoEventsOfEveryTrackAtTheStandardDefault) {
    EXPECT_EQ(TuneTime(MidiFile(96, {Track{}.Tempo(0, 500000).NoteOn(0).NoteOff(1920).End()})), 10);
    EXPECT_EQ(DurationMs(MidiFile(96, {Track{}.NoteOn(0).NoteOff(1920).End()})), 10000);
    // Whole seconds, cut down: 10.94 s is listed as 10.
    EXPECT_EQ(TuneTime(MidiFile(96, {Track{}.NoteOn(0).NoteOff(2100).End()})), 10);
    // A tempo in the second track counts, merged by tick with the first track's.
    EXPECT_EQ(DurationMs(MidiFile(96, {Track{}.Tempo(0, 1000000).NoteOn(0).NoteOff(1920).End(),
                                       Track{}.Tempo(960, 250000).NoteOn(0).NoteOff(10).End()})),
              10000 + 2500);
    EXPECT_EQ(TuneTime(Header(1, 2, 96) + Chunk("MTrk", "") +
                       Chunk("MTrk", Track{}.Tempo(0, 250000).NoteOn(0).NoteOff(1920).bytes)),
              5);
    // Files that consist of meta and system-exclusive events only last 0 seconds.
    EXPECT_EQ(TuneTime(ResetTune()), 0);
}

TEST(TuneTime, LoadFailuresGiveMinusOneAndIncomputableTimesZero) {
    EXPECT_EQ(TuneTime(MidiFile(96, {Track{}.NoteOn(0).NoteOff(96).End().NoteOn(0)})), -1);
    EXPECT_EQ(TuneTime(MidiFile(96, {Track{Bytes({0, 60, 100})}})), -1);
    EXPECT_EQ(TuneTime("RIFF"), -1);
    EXPECT_EQ(TuneTime(MidiFile(0, {Track{}.NoteOn(0).NoteOff(96).End()})), 0);
    // Ticks per beat shifted down to 0, a numerator of 0, a shift of 31 bits or more.
    EXPECT_EQ(TuneTime(MidiFile(96, {Track{}.TimeSignature(0, 4, 9).NoteOn(0).NoteOff(960)})), 0);
    EXPECT_EQ(TuneTime(MidiFile(96, {Track{}.TimeSignature(0, 0, 2).NoteOn(0).NoteOff(960)})), 0);
    EXPECT_EQ(TuneTime(MidiFile(96, {Track{}.TimeSignature(0, 4, 33).NoteOn(0).NoteOff(960)})), 0);
    EXPECT_EQ(TuneTime(MidiFile(96, {Track{}.TimeSignature(0, 4, 255).NoteOn(0).NoteOff(960)})), 0);

    TempDir dir;
    TMidiData midiData;
    EXPECT_EQ(GetTuneTime(midiData, (dir / "missing.mid").string()), -1);
    EXPECT_EQ(
        GetTuneTime(midiData,
                    dir.Write("ok.mid", MidiFile(96, {Track{}.NoteOn(0).NoteOff(1920)})).string()),
        10);
    EXPECT_FALSE(midiData.Active());
}

TEST(TuneTime, ProbeTellsTheKindByTheFirstFourBytes) {
    TempDir dir;
    auto probe = [&](const std::string& bytes) {
        TMidiProbe p = ProbeMidiFile(dir.Write("f", bytes).string());
        return std::make_pair(p.kind, p.size);
    };
    EXPECT_EQ(probe("MTh"), std::make_pair(-1, int64_t{0}));
    EXPECT_EQ(probe("MThd"), std::make_pair(1, int64_t{4}));
    EXPECT_EQ(probe(std::string("RIFF\x08\0\0\0RMIDdata", 16)), std::make_pair(2, int64_t{16}));
    EXPECT_EQ(probe("mthd...."), std::make_pair(0, int64_t{8}));
    EXPECT_EQ(ProbeMidiFile((dir / "missing").string()).kind, -1);
    EXPECT_EQ(ProbeMidiFile(dir.path().string()).kind, -1);
}

TEST(TuneTime, InfoCommandPrintsKindSizeTimeAndPath) {
    TempDir dir;
    auto tune = dir.Write("tune.mid", MidiFile(96, {Track{}.NoteOn(0).NoteOff(1920)}));
    auto broken = dir.Write("broken.mid", "MThd" + BigEndian32(2));
    auto riff = dir.Write("x.rmi", "RIFFxxxx");
    // A FIFO is unreadable at once, never waited on.
    auto fifo = dir / "fifo.mid";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string out;
    int rc = RunCtl("info '" + tune.string() + "' '" + broken.string() + "' '" + riff.string() +
                        "' '" + (dir / "none").string() + "' '" + fifo.string() + "' 2>'" +
                        (dir / "err").string() + "'",
                    out);
    EXPECT_EQ(rc, 1);
    EXPECT_EQ(out, "1\t" + std::to_string(std::filesystem::file_size(tune)) + "\t10\t" +
                       tune.string() + "\n" + "1\t8\t-1\t" + broken.string() + "\n" + "2\t8\t\t" +
                       riff.string() + "\n" + "-1\t0\t\t" + (dir / "none").string() + "\n" +
                       "-1\t0\t\t" + fifo.string() + "\n");
    EXPECT_EQ(ReadWholeFile(dir / "err"),
              "tunquilctl info: Cannot open " + (dir / "none").string() +
                  ": No such file or directory\ntunquilctl info: " + fifo.string() +
                  " is not a regular file\n");
}
