#pragma once
// The MIDI sequencer device: the command set the player sends (open a MIDI file, time format,
// play from/to, pause, stop, close, status) with numbered errors and their texts. Every command
// answers 0 on success or an error number that ErrorText turns into a sentence for the user.

#include <cstdint>
#include <optional>
#include <string>

namespace tunquil::platform {

using SequencerDeviceId = uint32_t; // never 0 for an open tune

enum SequencerError : uint32_t {
    kSeqOk = 0,
    kSeqInvalidDeviceId = 257,
    kSeqFileNotFound = 258,
    kSeqInvalidFile = 259,
    kSeqDeviceInUse = 260,
    kSeqNoSoundFont = 261,
    kSeqSoundFontUnusable = 262,
    kSeqNoSoundServer = 263,
    kSeqSynthesizerFailed = 264,
    kSeqWaveFileFailed = 265,
    kSeqOutOfRange = 266,
    kSeqBadTimeFormat = 267,
    kSeqBadStatusItem = 268,
    kSeqPortNotFound = 269,
    kSeqPortGone = 270,
};

// The device's modes; the values are those the player's mode table was written against.
enum class SequencerMode : uint32_t {
    NotReady = 524,
    Stopped = 525,
    Playing = 526,
    Recording = 527,
    Seeking = 528,
    Paused = 529,
    Open = 530,
};

enum class SequencerTimeFormat : uint32_t { Milliseconds = 0, Ticks = 1 };

enum class SequencerStatusItem : uint32_t { Length = 1, Position = 2, Mode = 4 };

class ISequencerDevice {
public:
    virtual ~ISequencerDevice() = default;

    // Opens a Standard MIDI File or RIFF RMID file; `id` receives the new device id.
    virtual uint32_t Open(const std::string& element, SequencerDeviceId& id) = 0;
    virtual uint32_t SetTimeFormat(SequencerDeviceId id, SequencerTimeFormat format) = 0;
    // Starts playing and returns at once. Without `from` it plays on from the current position;
    // without `to` it plays to the end of the tune.
    virtual uint32_t Play(SequencerDeviceId id, std::optional<uint32_t> from,
                          std::optional<uint32_t> to) = 0;
    // Both return once the tune has fallen silent. Pausing a stopped tune holds it paused where
    // it stands.
    virtual uint32_t Pause(SequencerDeviceId id) = 0;
    virtual uint32_t Stop(SequencerDeviceId id) = 0;
    // Stops, when playing, and moves to a position without a sound: the tune rests there,
    // stopped, and a play without a start goes on from there.
    virtual uint32_t Seek(SequencerDeviceId id, uint32_t positionMs) = 0;
    virtual uint32_t Close(SequencerDeviceId id) = 0;
    // Length and position in milliseconds; the mode as a SequencerMode value.
    virtual uint32_t Status(SequencerDeviceId id, SequencerStatusItem item, uint32_t& value) = 0;

    // The playing speed as a share of the tune's own tempo, kMinTempo to kMaxTempo, and the
    // shift in semitones of every key but the drums' (channel 10), -kMaxTranspose to
    // +kMaxTranspose. They belong to the device, not to a tune: they hold for every tune until
    // changed, and a change while a tune plays is heard at once. Lengths and positions stay
    // the tune's own milliseconds (its time at 100 %), so that a position means the same
    // place in the music at any speed. A value out of range is refused (kSeqOutOfRange).
    virtual uint32_t SetTempo(double rate) = 0;
    virtual uint32_t SetTranspose(int semitones) = 0;
    static constexpr double kMinTempo = 0.25;
    static constexpr double kMaxTempo = 4.0;
    static constexpr int kMaxTranspose = 12;

    // The text of an error number; false (and `text` untouched) for a number it does not know.
    virtual bool ErrorText(uint32_t error, std::string& text) const;
};

// Whether a tempo or a transposition is one the devices take.
inline bool TempoInRange(double rate) {
    return rate >= ISequencerDevice::kMinTempo && rate <= ISequencerDevice::kMaxTempo;
}
inline bool TransposeInRange(int semitones) {
    return semitones >= -ISequencerDevice::kMaxTranspose &&
           semitones <= ISequencerDevice::kMaxTranspose;
}

// The texts of the numbers above, shared by every implementation.
bool SequencerErrorText(uint32_t error, std::string& text);

// Whether an error is the device's own trouble (no sound server, no SoundFont, a WAV file that
// cannot be written, another tune holding the device) rather than the tune's: such an error
// would come back with any tune, so no tune may be blamed for it.
bool IsDeviceFailure(uint32_t error);

} // namespace tunquil::platform
