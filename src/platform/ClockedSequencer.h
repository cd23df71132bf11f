#pragma once
// What every sequencer device of ours shares, whatever it plays through: the open tune, its
// clock (a thread of its own that sends each event when it falls due, at the chosen speed), the
// commands and their modes, seeks that restore the channels' state, transposition of the notes
// and the bookkeeping of the notes sounding. A device adds its output: where the messages go,
// how it falls silent and what it does when it fails.

#include "platform/ChannelStates.h"
#include "platform/MidiSequence.h"
#include "platform/SequencerDevice.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace tunquil::platform {

// Called on the clock thread for every event sent in real time, with the moment it was due
// and the moment it went to the output. For timing measurements.
using SendObserver = std::function<void(std::chrono::steady_clock::time_point due,
                                        std::chrono::steady_clock::time_point sent)>;

// Reads the bytes, or the tune, in `element`; the device's error codes.
uint32_t ReadTuneBytes(const std::string& element, std::vector<uint8_t>& bytes);
uint32_t ReadSequence(const std::string& element, std::optional<MidiSequence>& tune);

class ClockedSequencer : public ISequencerDevice {
public:
    ~ClockedSequencer() override = default;
    ClockedSequencer(const ClockedSequencer&) = delete;
    ClockedSequencer& operator=(const ClockedSequencer&) = delete;

    uint32_t Open(const std::string& element, SequencerDeviceId& id) override;
    uint32_t SetTimeFormat(SequencerDeviceId id, SequencerTimeFormat format) override;
    uint32_t Play(SequencerDeviceId id, std::optional<uint32_t> from,
                  std::optional<uint32_t> to) override;
    uint32_t Pause(SequencerDeviceId id) override;
    uint32_t Stop(SequencerDeviceId id) override;
    uint32_t Seek(SequencerDeviceId id, uint32_t positionMs) override;
    uint32_t Close(SequencerDeviceId id) override;
    uint32_t Status(SequencerDeviceId id, SequencerStatusItem item, uint32_t& value) override;
    uint32_t SetTempo(double rate) override;
    uint32_t SetTranspose(int semitones) override;

    // The error an output failure ended the last play with (kSeqOk when none); Close forgets it.
    uint32_t OutputError() const {
        std::lock_guard state(state_);
        return outputError_;
    }

protected:
    using Clock = std::chrono::steady_clock;

    explicit ClockedSequencer(SendObserver sendObserver = {});

    // Called with `command_` held, before a tune is loaded: gets the output ready (kept from one
    // tune to the next) or answers why it cannot be.
    virtual uint32_t StartOutput() = 0;
    // Whether there is an output to send to; without one, events are timed but go nowhere.
    virtual bool HasOutput() const = 0;
    // A message as it goes out, the note bookkeeping and transposition done. Called with
    // `state_` held, from the clock thread or a command.
    virtual void Output(const uint8_t* bytes, uint32_t size) = 0;
    // Silences the output at once; the notes it was given have been ended before.
    virtual void SilenceOutput() = 0;
    // Before the silence: an output that was given messages ahead drops those not yet out.
    virtual void DiscardAhead() {}
    // Just before a play starts, the channels not yet restored.
    virtual void BeforePlay() {}
    // Whether the tune is played off-line (as fast as the output takes it) by RunOffline
    // instead of on the real-time clock; the position is then offlineMs_.
    virtual bool PlaysOffline() const { return false; }
    virtual void RunOffline(std::size_t /*first*/, std::size_t /*end*/, double /*fromMs*/,
                            double /*toMs*/) {}
    // Called with `state_` held after every stop of the clock, to finish pending output.
    virtual void FlushOutput() {}
    // Called on the clock thread with `state_` held at least every pollInterval_ while the tune
    // plays. Answers an error to end the play with (kSeqOk to go on).
    virtual uint32_t Poll() { return kSeqOk; }

    // For the derived destructor, before its output goes: ends the clock and silences.
    void Shutdown();

    // Sends a message of the tune, or one of the device's own, through the note bookkeeping.
    void Send(const uint8_t* bytes, uint32_t size);
    void Send(std::span<const uint8_t> m) { Send(m.data(), uint32_t(m.size())); }
    void ReleaseHeldNotes();
    void FinishRange(double toMs);

    std::mutex command_;       // one command at a time, whatever thread sends it
    mutable std::mutex state_; // shared with the clock thread
    std::atomic<bool> stopRequested_{false};

    std::optional<MidiSequence> tune_;
    SequencerMode mode_ = SequencerMode::NotReady;
    double positionMs_ = 0; // while not playing
    double rate_ = 1.0;
    double offlineMs_ = 0; // the position while playing off-line
    // An output that failed during a play: the error that play ended with, answered by the
    // next Play and by Close (which forgets it).
    uint32_t outputError_ = kSeqOk;
    Clock::duration pollInterval_ = Clock::duration::zero(); // zero: no polling
    // While the clock sends an event of the tune: the moment it was due. An output that can
    // place a message in time (ahead of a period) places it there rather than at the moment
    // the clock woke.
    std::optional<Clock::time_point> sendingDue_;
    // How long before its moment an event is handed to an output that places each message at
    // its due moment itself: a clock thread that wakes late then still meets the moment.
    // Zero for an output that sends each message the moment it gets it.
    Clock::duration lookahead_ = Clock::duration::zero();

private:
    void StopClock(std::unique_lock<std::mutex>& state);
    // Stops the clock, silences the output and finishes what it has pending.
    void Halt(std::unique_lock<std::mutex>& state);
    void Silence();
    void RunRealTime(std::size_t first, std::size_t end, double toMs);
    double PlayingPositionLocked() const;
    void NoteOn(int channel, int key, int velocity);
    void NoteOff(int channel, int key);
    // The key of the output that a key of the tune sounds on now; off the keyboard when
    // outside 0 to 127.
    int Sounding(int channel, int key) const;
    void RestoreChannelsAt(double ms);

    SendObserver sendObserver_;
    std::condition_variable wake_;
    std::thread clock_;

    SequencerDeviceId openId_ = 0;
    SequencerDeviceId nextId_ = 1;
    std::optional<ChannelStates> channels_; // of tune_
    double playToMs_ = 0;
    // The real-time clock: the tune was at anchorMs_ at anchorTime_ and has gone on at rate_
    // since. A change of speed moves the anchor to the moment of the change.
    Clock::time_point anchorTime_;
    double anchorMs_ = 0;
    int transpose_ = 0;
    bool timingChanged_ = false; // wakes the clock thread to work out its next moment again
    // The notes sounding, by the key the tune played: the key the output was given and its
    // velocity. A note ends on the key it began on, whatever the transposition meanwhile, and
    // no range end leaves one hanging.
    struct Voice {
        uint8_t key = kSilent;
        uint8_t velocity = 0;
    };
    static constexpr uint8_t kSilent = 0xFF;
    Voice voices_[16][128];
};

} // namespace tunquil::platform
