#pragma once
// The sequencer's own view of a MIDI file: every track merged into one list of timed events,
// with times in milliseconds from the tempo map of all tracks. Deliberately independent of the
// core's MIDI reader, so that the platform layer stands on its own.

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace tunquil::platform {

class MidiSequenceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Eight bytes an event: a long tune has millions of them, and playing it must not take many
// times the file's size. The time is kept in ticks and turned into milliseconds through the
// tempo map when asked; a channel message is kept whole here, a system-exclusive one in the
// sequence's pool.
struct SequenceEvent {
    uint32_t tick;
    uint8_t data[3]; // a channel message's bytes, or a system-exclusive message's index
    uint8_t size;    // of the channel message, or kSystemExclusive
    static constexpr uint8_t kSystemExclusive = 0xFF;
};
static_assert(sizeof(SequenceEvent) == 8);

// A text or lyric meta event (FF 01, FF 05) as the file holds it, bytes undecoded.
struct SequenceText {
    double ms;
    uint32_t track; // counting the file's tracks from 0
    uint8_t type;   // kText or kLyric
    std::string bytes;
    static constexpr uint8_t kText = 0x01;
    static constexpr uint8_t kLyric = 0x05;
};

class MidiSequence {
public:
    // Reads a Standard MIDI File, or the "data" chunk of a RIFF RMID file. Throws
    // MidiSequenceError when the bytes are neither.
    static MidiSequence Parse(std::span<const uint8_t> bytes);
    // The Standard MIDI File inside a RIFF RMID file, or the bytes themselves when they are
    // not RIFF. Throws MidiSequenceError for a RIFF file without one.
    static std::span<const uint8_t> StandardMidiFileOf(std::span<const uint8_t> bytes);
    // The LengthMs that Parse would give, without gathering the events.
    static double MeasureLengthMs(std::span<const uint8_t> bytes);
    // The text and lyric events of every track, timed by the tempo map that playing uses, in
    // the order a player meets them. Kept apart from Parse so that playing holds no texts.
    // Throws MidiSequenceError as Parse does.
    static std::vector<SequenceText> ReadTexts(std::span<const uint8_t> bytes);

    double LengthMs() const { return lengthMs_; }
    // In the order they are sent: by time, and at equal times the earlier track first.
    const std::vector<SequenceEvent>& Events() const { return events_; }
    // The message as sent: a channel message with its status byte, or a system-exclusive
    // message from F0 up to and including its F7. Valid while the sequence lives.
    std::span<const uint8_t> Message(const SequenceEvent& e) const;
    double Ms(const SequenceEvent& e) const { return TickToMs(e.tick); }
    // Index of the first event at or after `ms`, and of the first one after it.
    std::size_t FirstEventAtOrAfter(double ms) const;
    std::size_t FirstEventAfter(double ms) const;

    // One stretch of the tempo map: from `tick` on, each tick lasts `msPerTick`.
    struct TempoSegment {
        uint64_t tick;
        double ms;
        double msPerTick;
    };

private:
    double TickToMs(uint64_t tick) const;

    std::vector<SequenceEvent> events_;
    std::vector<uint8_t> sysexPool_;
    std::vector<uint32_t> sysexStart_; // message i is pool[start[i], start[i + 1])
    std::vector<TempoSegment> tempoMap_;
    double lengthMs_ = 0;
};

} // namespace tunquil::platform
