#pragma once
// The sequencer player: one tune open on the sequencer device, played from the start or from a
// position, paused, resumed, stopped and closed, with its length, position and mode. Owners
// learn that a tune has ended by polling Mode.

#include "platform/SequencerDevice.h"

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

namespace tunquil {

// A failure of the sequencer; the message is the device's text or the player's own, and the
// number is the device's error number (0 for the player's own failures).
class EMciError : public std::runtime_error {
public:
    explicit EMciError(const std::string& text, uint32_t error = 0)
        : std::runtime_error(text), error_(error) {}
    uint32_t Error() const { return error_; }

private:
    uint32_t error_;
};

class TMyMidi;
using MMStatus = std::function<void(TMyMidi* Sender, const std::string& StatusMessage, int N)>;

class TMyMidi {
public:
    // Mode codes.
    enum : int {
        kNotReady = 0,
        kPaused = 1,
        kPlaying = 2,
        kStopped = 3,
        kOpen = 4,
        kSeeking = 5,
        kQueryFailed = 6,
        kOther = 7
    };

    explicit TMyMidi(platform::ISequencerDevice& device);
    ~TMyMidi();
    TMyMidi(const TMyMidi&) = delete;
    TMyMidi& operator=(const TMyMidi&) = delete;

    std::string MidiFile;
    MMStatus OnStatus;

    int Open();
    bool Play();
    int Pause();
    int Resume();
    void PlayFrom(int positionMs);
    void Stop();
    // Stops and moves to a position without playing anything; the pause is forgotten.
    void Seek(int positionMs);
    void Close();
    int Position();
    int Mode();
    // The device's speed and transposition (see ISequencerDevice); they need no open tune.
    void SetTempo(double rate);
    void SetTranspose(int semitones);

    int32_t Length() const { return length_; }
    const std::string& LastError() const { return lastError_; }
    bool Busy() const { return busy_; }
    int32_t DeviceID() const { return deviceID_; }
    int32_t PausedAt() const { return pausedAt_; }
    int32_t FileSize() const { return fileSize_; }

private:
    int32_t QueryLength();
    std::string ErrorText(uint32_t error) const;
    void Notify(const std::string& text, int number);
    [[noreturn]] void FailOpen(uint32_t error);

    platform::ISequencerDevice& device_;
    int32_t deviceID_ = -1;
    int32_t pausedAt_ = -1;
    int32_t fileSize_ = 0;
    int32_t length_ = 0;
    std::string lastError_;
    bool busy_ = false;
};

} // namespace tunquil
