#pragma once
// The sequencer device on FluidSynth. One synthesizer lives as long as the device, so that what
// one tune sets up (a GM or GS reset played just before) still holds for the next. Events are
// sent from the device's own clock thread: in real time for the sound server and for no output,
// as fast as the synthesizer renders for a WAV file.

#include "platform/ChannelStates.h"
#include "platform/MidiSequence.h"
#include "platform/SequencerDevice.h"
#include "platform/SynthesizerMix.h"
#include "platform/WaveWriter.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;
typedef struct _fluid_audio_driver_t fluid_audio_driver_t;

namespace tunquil::platform {

enum class SequencerOutputKind { SoundServer, WaveFile, None };

struct FluidSynthSequencerOptions {
    SequencerOutputKind output = SequencerOutputKind::SoundServer;
    std::filesystem::path waveFile; // for SequencerOutputKind::WaveFile
    std::string soundFontSetting;   // the user's choice; the usual places are searched after it
    // Called on the clock thread for every event sent in real time, with the moment it was due
    // and the moment it went to the synthesizer. For timing measurements.
    std::function<void(std::chrono::steady_clock::time_point due,
                       std::chrono::steady_clock::time_point sent)>
        sendObserver;
    // The mixer's volume, balance and mute for the synthesizer line; none leaves the sound as
    // the synthesizer renders it.
    std::shared_ptr<SynthesizerMix> mix;
};

// Options for a device that plays in real time to no output at all.
inline FluidSynthSequencerOptions WithoutOutput() {
    FluidSynthSequencerOptions options;
    options.output = SequencerOutputKind::None;
    return options;
}

// The length in milliseconds that the device's Status gives for the tune in `element` once it
// is open, measured without loading the tune for playing; the device's error codes.
uint32_t MeasureTuneLength(const std::string& element, uint32_t& lengthMs);

class FluidSynthSequencer final : public ISequencerDevice {
public:
    explicit FluidSynthSequencer(FluidSynthSequencerOptions options = {});
    ~FluidSynthSequencer() override;
    FluidSynthSequencer(const FluidSynthSequencer&) = delete;
    FluidSynthSequencer& operator=(const FluidSynthSequencer&) = delete;

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

    // The user's SoundFont choice. A file that is no SoundFont is refused (kSeqSoundFontUnusable)
    // and the previous choice stays. A good one is loaded at the next Open, so that a tune never
    // changes its instruments halfway; should that load still fail, the loaded SoundFont stays.
    uint32_t ChangeSoundFont(const std::string& setting);
    // The SoundFont the synthesizer holds now; empty before the first Open.
    std::filesystem::path LoadedSoundFont() const;

private:
    using Clock = std::chrono::steady_clock;

    uint32_t StartOutput();
    void StopOutput();
    // Ends the clock thread, if any, and waits for it; `state` is released meanwhile.
    void StopClock(std::unique_lock<std::mutex>& state);
    // Stops the clock, silences the synthesizer and flushes a recording (noting a failure).
    void Halt(std::unique_lock<std::mutex>& state);
    void RunRealTime(std::size_t first, std::size_t end, double toMs);
    void RunRender(std::size_t first, std::size_t end, double fromMs, double toMs);
    void FinishRange(double toMs);
    double PlayingPositionLocked() const;
    void Send(const uint8_t* bytes, uint32_t size);
    void Send(std::span<const uint8_t> m) { Send(m.data(), uint32_t(m.size())); }
    void Silence();
    void ReleaseHeldNotes();
    void NoteOn(int channel, int key, int velocity);
    void NoteOff(int channel, int key);
    void RestoreChannelsAt(double ms);
    void LoadPendingSoundFont();
    static int RenderForDriver(void* self, int len, int nfx, float* fx[], int nout, float* out[]);

    FluidSynthSequencerOptions options_;

    std::mutex command_;       // one command at a time, whatever thread sends it
    mutable std::mutex state_; // shared with the clock thread
    std::condition_variable wake_;
    std::atomic<bool> stopRequested_{false};
    std::thread clock_;

    SequencerDeviceId openId_ = 0;
    SequencerDeviceId nextId_ = 1;
    std::optional<MidiSequence> tune_;
    std::optional<ChannelStates> channels_; // of tune_
    SequencerMode mode_ = SequencerMode::NotReady;
    double positionMs_ = 0; // while not playing
    double playToMs_ = 0;
    // The real-time clock: the tune was at anchorMs_ at anchorTime_ and has gone on at rate_
    // since. A change of speed moves the anchor to the moment of the change.
    Clock::time_point anchorTime_;
    double anchorMs_ = 0;
    double rate_ = 1.0;
    int transpose_ = 0;
    bool timingChanged_ = false; // wakes the clock thread to work out its next moment again
    double renderedMs_ = 0;      // the position while rendering to a WAV file
    bool waveFailed_ = false;

    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;
    fluid_audio_driver_t* driver_ = nullptr;
    int soundFontId_ = -1;
    std::filesystem::path loadedSoundFont_;
    bool soundFontPending_ = false;
    WaveWriter wave_;
    // The notes sounding, by the key the tune played: the key the synthesizer was given and its
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
