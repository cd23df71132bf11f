// What a seek sends so that the channels stand as the tune has set them by the new position.

#include "platform/ChannelStates.h"

#include "support/SoundTestTunes.h"

#include <gtest/gtest.h>

using namespace tunquil;
using namespace tunquil::platform;

namespace {

using Messages = std::vector<std::vector<uint8_t>>;

Messages RestoredBefore(const MidiSequence& tune, double ms) {
    Messages sent;
    ChannelStates(tune).RestoreBefore(
        ms, [&](const uint8_t* b, uint32_t size) { sent.emplace_back(b, b + size); });
    return sent;
}

// 480 ticks a quarter at 500 ms: one tick is 1/0.96 ms; a quarter note is 500 ms.
MidiSequence Tune(const test::TrackBuilder& track) {
    std::string bytes = test::SmfBytes(0, 480, {track});
    return MidiSequence::Parse(
        std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

// Thousands of notes between the settings, so that the state comes from a snapshot and the
// events after it.
void Filler(test::TrackBuilder& t, uint32_t from, uint32_t to) {
    for (uint32_t tick = from; tick + 2 < to; tick += 2)
        t.Note(tick, 1, 1, 60);
}

TEST(ChannelStates, AChannelIsRestoredAsTheTuneLeftItAtThePointNotAtItsEnd) {
    test::TrackBuilder t;
    t.Tempo(0, 500000);
    t.At(0, {0xB0, 7, 10}); // volume 10, undone by the reset
    t.Raw(10, std::string("\xF0\x0A\x41\x10\x42\x12\x40\x00\x7F\x00\x41\xF7", 12)); // GS reset
    t.At(20, {0xB0, 0, 1}).At(20, {0xC0, 5}); // program 5 in bank 1
    t.At(30, {0xB0, 0, 2});                   // bank 2, no program chosen in it
    t.At(40, {0xB0, 7, 100});
    t.At(50, {0xB0, 101, 0}).At(50, {0xB0, 100, 0}).At(50, {0xB0, 6, 12}); // bend range 12
    t.At(60, {0xB0, 99, 1}).At(60, {0xB0, 98, 8}).At(60, {0xB0, 6, 64});   // an NRPN
    t.At(70, {0xE0, 0, 0x50}).At(70, {0xD0, 33});
    Filler(t, 100, 20000);
    t.At(20000, {0xB0, 7, 0}).At(20000, {0xC0, 9}); // after the point: never restored
    t.Note(20010, 100, 0, 64);
    t.End(20200);
    MidiSequence tune = Tune(t);
    ASSERT_GT(tune.Events().size(), ChannelStates::kSnapshotEvery * 2);

    Messages sent = RestoredBefore(tune, 15000.0);
    const Messages expected{
        {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7},
        {0xB0, 0, 1},
        {0xC0, 5},
        {0xB0, 0, 2},
        {0xB0, 7, 100},
        {0xB0, 101, 0},
        {0xB0, 100, 0},
        {0xB0, 6, 12},
        {0xB0, 99, 1},
        {0xB0, 98, 8},
        {0xB0, 6, 64},
        {0xB0, 99, 1},
        {0xB0, 98, 8},
        {0xE0, 0, 0x50},
        {0xD0, 33},
    };
    EXPECT_EQ(sent, expected);
    // Before anything was set there is nothing to send; after the end, the late settings.
    EXPECT_TRUE(RestoredBefore(tune, 0.0).empty());
    Messages late = RestoredBefore(tune, 1e9);
    EXPECT_NE(std::find(late.begin(), late.end(), std::vector<uint8_t>{0xC0, 9}), late.end());
    EXPECT_NE(std::find(late.begin(), late.end(), std::vector<uint8_t>{0xB0, 7, 0}), late.end());
}

TEST(ChannelStates, ASystemResetForgetsWhatCameBeforeIt) {
    test::TrackBuilder t;
    t.Tempo(0, 500000);
    t.At(0, {0xC1, 40}).At(0, {0xB1, 7, 20}); // program and volume before General MIDI on
    t.Raw(10, std::string("\xF0\x05\x7E\x7F\x09\x01\xF7", 7));
    t.At(20, {0xB1, 10, 30});
    t.End(1000);
    MidiSequence tune = Tune(t);
    const Messages expected{{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}, {0xB1, 10, 30}};
    EXPECT_EQ(RestoredBefore(tune, 500.0), expected);
}

// A tune's own reset of all controllers resets on the synthesizer all but the banks, volume,
// balance, pan, the sound and effect controllers, and the registered parameters other than
// the channel's tuning (fine and coarse tune are generator offsets there, as the
// non-registered parameters are). A seek that restored any of the others would sound unlike
// playing the tune through.
TEST(ChannelStates, AResetOfAllControllersClearsWhatTheSynthesizerClears) {
    test::TrackBuilder t;
    t.Tempo(0, 500000);
    for (uint8_t controller : {0, 1, 2, 4, 5, 7, 8, 10, 11, 12, 16, 32, 39, 64, 68, 71, 84, 91})
        t.At(0, {0xB2, controller, 50});
    t.At(0, {0xB2, 101, 0}).At(0, {0xB2, 100, 0}).At(0, {0xB2, 6, 12}); // bend range
    t.At(0, {0xB2, 101, 0}).At(0, {0xB2, 100, 2}).At(0, {0xB2, 6, 76}); // coarse tune
    t.At(0, {0xB2, 99, 120}).At(0, {0xB2, 98, 8}).At(0, {0xB2, 6, 70}); // a generator
    t.At(0, {0xE2, 0, 0x50}).At(0, {0xD2, 33});
    t.At(10, {0xB2, 121, 0});
    t.End(1000);
    MidiSequence tune = Tune(t);
    const Messages expected{
        {0xB2, 0, 50},  {0xB2, 7, 50},  {0xB2, 8, 50},  {0xB2, 10, 50},
        {0xB2, 32, 50}, {0xB2, 39, 50}, {0xB2, 71, 50}, {0xB2, 91, 50},
        {0xB2, 101, 0}, {0xB2, 100, 0}, {0xB2, 6, 12},
    };
    EXPECT_EQ(RestoredBefore(tune, 500.0), expected);
}

} // namespace
