#pragma once
// The sequencer's own view of a MIDI file: every track merged into one list of timed events,
// with times in milliseconds from the tempo map of all tracks. Deliberately independent of the
// core's MIDI reader, so that the platform layer stands on its own.

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

namespace tunquil::platform {

class MidiSequenceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct SequenceEvent {
    double ms;       // time from the start of the tune
    uint32_t offset; // of the message bytes in the sequence's byte pool
    uint32_t size;
    // The message as sent: a channel message with its status byte, or a system-exclusive
    // message from F0 up to and including its F7.
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

    double LengthMs() const { return lengthMs_; }
    const std::vector<SequenceEvent>& Events() const { return events_; }
    const uint8_t* Bytes(const SequenceEvent& e) const { return pool_.data() + e.offset; }
    // Index of the first event at or after `ms`.
    std::size_t FirstEventAtOrAfter(double ms) const;

private:
    std::vector<SequenceEvent> events_;
    std::vector<uint8_t> pool_;
    double lengthMs_ = 0;
};

} // namespace tunquil::platform
