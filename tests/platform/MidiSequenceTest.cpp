// The sequencer's own reading of MIDI files: merged events, their times and the length.

#include "platform/MidiSequence.h"

#include "support/SoundTestTunes.h"

#include <gtest/gtest.h>

using namespace tunquil;
using platform::MidiSequence;
using platform::MidiSequenceError;
using test::TrackBuilder;

namespace {

MidiSequence Parse(const std::string& bytes) {
    return MidiSequence::Parse(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

std::vector<double> Times(const MidiSequence& s) {
    std::vector<double> out;
    for (const auto& e : s.Events())
        out.push_back(s.Ms(e));
    return out;
}

TEST(MidiSequence, TempoChangesOfAnyTrackTimeEveryTrack) {
    // 480 ticks per quarter; the conductor track halves the tempo at tick 480, the notes live
    // in a second track and the longest track is a third one.
    TrackBuilder conductor, notes, tail;
    conductor.Tempo(0, 500000).Tempo(480, 1000000).End(480);
    notes.Note(0, 480, 0, 60).Note(960, 480, 0, 62);
    tail.At(0, {0xC1, 5}).End(1920);
    auto seq = Parse(test::SmfBytes(1, 480, {conductor, notes, tail}));
    auto times = Times(seq);
    std::vector<double> expected{0, 0, 500, 1500, 2500};
    ASSERT_EQ(times.size(), expected.size());
    for (std::size_t i = 0; i < times.size(); ++i)
        EXPECT_NEAR(times[i], expected[i], 1e-6);
    EXPECT_NEAR(seq.LengthMs(), 500 + 3 * 1000, 1e-6);
}

TEST(MidiSequence, TextsAreTimedByTheTempoMapOfEveryTrack) {
    auto meta = [](uint8_t type, const std::string& text) {
        return std::string{'\xFF', char(type), char(text.size())} + text;
    };
    TrackBuilder conductor, words, other;
    conductor.Tempo(0, 500000).Tempo(480, 1000000).Raw(480, meta(0x03, "name, not text"));
    words.Raw(960, meta(0x05, "sing")).Raw(0, meta(0x01, "@T"));
    other.Raw(960, meta(0x01, "note")).Note(0, 10, 0, 60);
    const std::string bytes = test::SmfBytes(1, 480, {conductor, words, other});
    auto texts = MidiSequence::ReadTexts(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0].bytes, "@T");
    EXPECT_EQ(texts[1].bytes, "sing");
    EXPECT_EQ(texts[1].type, platform::SequenceText::kLyric);
    EXPECT_EQ(texts[1].track, 1u);
    EXPECT_NEAR(texts[1].ms, 1500, 1e-6);
    EXPECT_EQ(texts[2].bytes, "note"); // same tick, later track
    EXPECT_EQ(texts[2].track, 2u);
}

TEST(MidiSequence, EventsAtOneTickKeepTheOrderOfTheirTracks) {
    TrackBuilder a, b;
    a.At(10, {0xB0, 7, 100});
    b.At(10, {0xC0, 3});
    auto seq = Parse(test::SmfBytes(1, 96, {a, b}));
    ASSERT_EQ(seq.Events().size(), 2u);
    EXPECT_EQ(seq.Message(seq.Events()[0])[0], 0xB0);
    EXPECT_EQ(seq.Message(seq.Events()[1])[0], 0xC0);
    EXPECT_EQ(seq.FirstEventAtOrAfter(0), 0u);
    EXPECT_EQ(seq.FirstEventAtOrAfter(1000), 2u);
}

TEST(MidiSequence, RunningStatusAndSystemExclusiveAreKept) {
    // Note on, then two more notes under running status, a SysEx and an F7 escape that is no
    // whole message (dropped).
    std::string body = std::string("\x00\x90\x3C\x40", 4) + std::string("\x00\x3E\x40", 3) +
                       std::string("\x60\x3C\x00", 3) +
                       std::string("\x00\xF0\x05\x7E\x7F\x09\x01\xF7", 8) +
                       std::string("\x00\xF7\x01\xF8", 4) + std::string("\x00\xFF\x2F\x00", 4);
    std::string smf = "MThd" + test::Be(6, 4) + test::Be(0, 2) + test::Be(1, 2) + test::Be(96, 2) +
                      "MTrk" + test::Be(uint32_t(body.size()), 4) + body;
    auto seq = Parse(smf);
    ASSERT_EQ(seq.Events().size(), 4u);
    const auto& e = seq.Events();
    auto message = [&seq](const auto& e) {
        auto m = seq.Message(e);
        return std::vector<uint8_t>(m.begin(), m.end());
    };
    EXPECT_EQ(message(e[1]), (std::vector<uint8_t>{0x90, 0x3E, 0x40}));
    EXPECT_DOUBLE_EQ(seq.Ms(e[2]), 500);
    EXPECT_EQ(message(e[3]), (std::vector<uint8_t>{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}));
}

TEST(MidiSequence, RmidFilesPlayTheirDataChunk) {
    TrackBuilder t;
    t.Note(0, 960, 0, 60);
    auto smf = test::SmfBytes(0, 480, {t});
    // A chunk before the data chunk is stepped over.
    auto rmid = test::RmidBytes(smf);
    rmid.insert(12, std::string("LIST\x03\x00\x00\x00", 8) + "abc" + '\0');
    uint32_t riffSize = uint32_t(rmid.size() - 8);
    rmid.replace(4, 4, std::string{char(riffSize), char(riffSize >> 8), 0, 0});
    EXPECT_DOUBLE_EQ(Parse(rmid).LengthMs(), 1000);
    EXPECT_THROW(Parse("RIFF\x04\x00\x00\x00WAVE"), MidiSequenceError);
    EXPECT_THROW(Parse(std::string("RIFF\x04\x00\x00\x00RMID", 12)), MidiSequenceError);
}

TEST(MidiSequence, SmpteDivisionsCountRealTime) {
    // 25 frames of 40 ticks: one tick per millisecond, whatever the tempo says.
    TrackBuilder t;
    t.Tempo(0, 250000).Note(0, 1234, 0, 60);
    auto seq = Parse(test::SmfBytes(0, uint16_t((uint8_t(-25) << 8) | 40), {t}));
    EXPECT_DOUBLE_EQ(seq.LengthMs(), 1234);
}

TEST(MidiSequence, DamagedFilesKeepWhatCameBeforeTheDamageAndOtherFilesAreRefused) {
    TrackBuilder t;
    t.Note(0, 480, 0, 60).Note(480, 480, 0, 62);
    auto smf = test::SmfBytes(0, 480, {t});
    // Cut inside the second note: the first note and the second's start survive.
    auto cut = smf.substr(0, smf.size() - 6);
    auto seq = Parse(cut);
    EXPECT_EQ(seq.Events().size(), 3u);
    EXPECT_DOUBLE_EQ(seq.LengthMs(), 500);

    EXPECT_THROW(Parse(""), MidiSequenceError);
    EXPECT_THROW(Parse("MThd"), MidiSequenceError);
    EXPECT_THROW(Parse("ID3\x03 not a tune at all, just some bytes"), MidiSequenceError);
    EXPECT_THROW(
        Parse("MThd" + test::Be(6, 4) + test::Be(0, 2) + test::Be(0, 2) + test::Be(480, 2)),
        MidiSequenceError); // no track
    EXPECT_THROW(Parse("MThd" + test::Be(6, 4) + test::Be(0, 2) + test::Be(1, 2) + test::Be(0, 2) +
                       t.Bytes()),
                 MidiSequenceError); // no division
    EXPECT_THROW(Parse("MThd" + test::Be(0xFFFFFFF0u, 4) + std::string(10, '\0')),
                 MidiSequenceError);
}

TEST(MidiSequence, TheLengthAloneIsMeasuredAsParsingGivesIt) {
    auto measure = [](const std::string& bytes) {
        return MidiSequence::MeasureLengthMs(
            std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    };
    TrackBuilder conductor, notes, smpte;
    conductor.Tempo(0, 500000).Tempo(480, 1000000).End(480);
    notes.Note(0, 480, 0, 60).Note(960, 480, 0, 62);
    smpte.Tempo(0, 250000).Note(0, 1234, 0, 60);
    auto tempoMap = test::SmfBytes(1, 480, {conductor, notes});
    for (const std::string& file :
         {tempoMap, test::RmidBytes(tempoMap), tempoMap.substr(0, tempoMap.size() - 6),
          test::SmfBytes(0, uint16_t((uint8_t(-25) << 8) | 40), {smpte})})
        EXPECT_DOUBLE_EQ(measure(file), Parse(file).LengthMs());
    EXPECT_THROW(measure("MThd"), MidiSequenceError);
    EXPECT_THROW(
        measure("MThd" + test::Be(6, 4) + test::Be(0, 2) + test::Be(0, 2) + test::Be(480, 2)),
        MidiSequenceError);
}

} // namespace
