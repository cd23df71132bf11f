#pragma once
// The sequencer device on FluidSynth. One synthesizer lives as long as the device, so that what
// one tune sets up (a GM or GS reset played just before) still holds for the next. Events are
// sent from the device's own clock thread: in real time for the sound server and for no output,
// as fast as the synthesizer renders for a WAV file.

#include "platform/ClockedSequencer.h"
#include "platform/SynthesizerMix.h"
#include "platform/WaveWriter.h"

#include <filesystem>
#include <memory>

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;
typedef struct _fluid_audio_driver_t fluid_audio_driver_t;

namespace tunquil::platform {

enum class SequencerOutputKind { SoundServer, WaveFile, None };

struct FluidSynthSequencerOptions {
    SequencerOutputKind output = SequencerOutputKind::SoundServer;
    std::filesystem::path waveFile; // for SequencerOutputKind::WaveFile
    std::string soundFontSetting;   // the user's choice; the usual places are searched after it
    // Called for every event sent in real time; for timing measurements.
    SendObserver sendObserver;
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

class FluidSynthSequencer final : public ClockedSequencer {
public:
    explicit FluidSynthSequencer(FluidSynthSequencerOptions options = {});
    ~FluidSynthSequencer() override;

    // The user's SoundFont choice. A file that is no SoundFont is refused (kSeqSoundFontUnusable)
    // and the previous choice stays. A good one is loaded at the next Open, so that a tune never
    // changes its instruments halfway; should that load still fail, the loaded SoundFont stays.
    uint32_t ChangeSoundFont(const std::string& setting);
    // The SoundFont the synthesizer holds now; empty before the first Open.
    std::filesystem::path LoadedSoundFont() const;

private:
    uint32_t StartOutput() override;
    bool HasOutput() const override { return synth_ != nullptr; }
    void Output(const uint8_t* bytes, uint32_t size) override;
    void SilenceOutput() override;
    void BeforePlay() override;
    bool PlaysOffline() const override { return options_.output == SequencerOutputKind::WaveFile; }
    void RunOffline(std::size_t first, std::size_t end, double fromMs, double toMs) override;
    void FlushOutput() override;

    void StopOutput();
    void LoadPendingSoundFont();
    static int RenderForDriver(void* self, int len, int nfx, float* fx[], int nout, float* out[]);

    FluidSynthSequencerOptions options_;

    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;
    fluid_audio_driver_t* driver_ = nullptr;
    int soundFontId_ = -1;
    std::filesystem::path loadedSoundFont_;
    bool soundFontPending_ = false;
    WaveWriter wave_;
};

} // namespace tunquil::platform
