#pragma once
// Plays a tune into memory blocks as fast as the synthesizer renders, for writing audio files.
// One renderer holds one synthesizer with the SoundFont loaded, so a worker that renders many
// tunes loads it once; each tune starts from a reset synthesizer, so nothing one tune set up
// leaks into the next.

#include "platform/MidiSequence.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <stdexcept>

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;

namespace tunquil::platform {

class TuneRenderError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TuneRenderer {
public:
    // Throws TuneRenderError when there is no SoundFont or the synthesizer cannot load it.
    TuneRenderer(const std::string& soundFontSetting, int sampleRate);
    ~TuneRenderer();
    TuneRenderer(const TuneRenderer&) = delete;
    TuneRenderer& operator=(const TuneRenderer&) = delete;

    int SampleRate() const { return sampleRate_; }

    // Receives interleaved left/right frames; returning false stops the rendering.
    using Sink = std::function<bool(const float* frames, std::size_t count)>;

    // Renders `tune` from its start to its length, speed scaled by `rate` and every key but
    // the drums' shifted by `semitones`. The last few milliseconds fade out, so that a tune
    // whose notes still sound at its end does not stop with a click. False when the sink
    // stopped it.
    bool Render(const MidiSequence& tune, const Sink& sink, double rate = 1.0, int semitones = 0);

    // The number of frames Render hands over for a tune of `lengthMs` at `rate`.
    std::size_t FramesFor(double lengthMs, double rate = 1.0) const;

private:
    void Send(std::span<const uint8_t> message, int semitones);

    int sampleRate_;
    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;
};

} // namespace tunquil::platform
