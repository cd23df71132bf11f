#include "platform/FluidSynthSequencer.h"

#include "platform/SoundFontLocator.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fluidsynth.h>
#include <fstream>
#include <vector>

namespace tunquil::platform {

namespace {

constexpr int kRenderBlock = 4096;
// A rendering goes on after its last event until the synthesizer has fallen silent (its notes
// released, its reverb died away), but never longer than this.
constexpr int64_t kLongestTailFrames = 5 * int64_t(WaveWriter::kSampleRate);
// The loudest sample of a silent block: the synthesizer's dither alone stays below it.
constexpr int kSilentPeak = 8;

} // namespace

uint32_t MeasureTuneLength(const std::string& element, uint32_t& lengthMs) {
    std::vector<uint8_t> bytes;
    if (uint32_t error = ReadTuneBytes(element, bytes))
        return error;
    try {
        lengthMs = uint32_t(std::llround(MidiSequence::MeasureLengthMs(bytes)));
    } catch (const MidiSequenceError&) {
        return kSeqInvalidFile;
    }
    return kSeqOk;
}

FluidSynthSequencer::FluidSynthSequencer(FluidSynthSequencerOptions options)
    : ClockedSequencer(options.sendObserver), options_(std::move(options)) {
    QuietSynthesizerLog();
}

FluidSynthSequencer::~FluidSynthSequencer() {
    Shutdown();
    std::lock_guard command(command_);
    StopOutput();
}

uint32_t FluidSynthSequencer::StartOutput() {
    if (options_.output == SequencerOutputKind::None)
        return kSeqOk;
    if (synth_) {
        LoadPendingSoundFont();
        return kSeqOk;
    }
    auto soundFont = LocateSoundFont(options_.soundFontSetting);
    if (soundFont.empty())
        return kSeqNoSoundFont;
    settings_ = new_fluid_settings();
    if (!settings_)
        return kSeqSynthesizerFailed;
    fluid_settings_setnum(settings_, "synth.sample-rate", WaveWriter::kSampleRate);
    fluid_settings_setstr(settings_, "audio.driver", "pulseaudio");
    fluid_settings_setstr(settings_, "audio.pulseaudio.media-role", "music");
    // The driver keeps about one period buffered at the sound server: the synthesizer's
    // default of 64 frames (1.5 ms) drops out whenever a busy machine keeps the driver or the
    // server waiting, heard as gaps of 50 to 150 ms. 2048 frames (46 ms) ride out such waits,
    // and a pause or a change of speed is still heard at once.
    fluid_settings_setint(settings_, "audio.period-size", 2048);
    synth_ = new_fluid_synth(settings_);
    uint32_t error = kSeqOk;
    if (!synth_)
        error = kSeqSynthesizerFailed;
    else if ((soundFontId_ = fluid_synth_sfload(synth_, soundFont.c_str(), 1)) == FLUID_FAILED)
        error = kSeqSoundFontUnusable;
    else if (options_.output == SequencerOutputKind::SoundServer) {
        loadedSoundFont_ = soundFont;
        soundFontPending_ = false;
        // Our own render function, so that the mixer's volume, balance and mute apply.
        driver_ = new_fluid_audio_driver2(settings_, RenderForDriver, this);
        if (!driver_)
            error = kSeqNoSoundServer;
    } else if (!wave_.Open(options_.waveFile)) {
        error = kSeqWaveFileFailed;
    } else {
        loadedSoundFont_ = soundFont;
        soundFontPending_ = false;
    }
    if (error != kSeqOk)
        StopOutput(); // so that the next open tries again from scratch
    return error;
}

void FluidSynthSequencer::StopOutput() {
    // The driver calls into the synthesizer from its own thread: it goes first.
    if (driver_)
        delete_fluid_audio_driver(driver_);
    driver_ = nullptr;
    if (synth_)
        delete_fluid_synth(synth_);
    synth_ = nullptr;
    if (settings_)
        delete_fluid_settings(settings_);
    settings_ = nullptr;
    soundFontId_ = -1;
    loadedSoundFont_.clear();
    wave_.Close();
}

int FluidSynthSequencer::RenderForDriver(void* self, int len, int nfx, float* fx[], int nout,
                                         float* out[]) {
    auto* device = static_cast<FluidSynthSequencer*>(self);
    int result;
    if (nfx == 0) {
        // The sound server's driver has no effect buffers: the effects go into the dry ones.
        float* mixed[4] = {out[0], out[1], out[0], out[1]};
        result = fluid_synth_process(device->synth_, len, 4, mixed, nout, out);
    } else {
        result = fluid_synth_process(device->synth_, len, nfx, fx, nout, out);
    }
    if (device->options_.mix && nout >= 2)
        device->options_.mix->Apply(out[0], out[1], len);
    return result;
}

uint32_t FluidSynthSequencer::ChangeSoundFont(const std::string& setting) {
    std::lock_guard command(command_);
    if (!setting.empty() && !CanLoadSoundFont(setting))
        return kSeqSoundFontUnusable;
    options_.soundFontSetting = setting;
    soundFontPending_ = true;
    return kSeqOk;
}

std::filesystem::path FluidSynthSequencer::LoadedSoundFont() const {
    std::lock_guard state(state_);
    return loadedSoundFont_;
}

void FluidSynthSequencer::LoadPendingSoundFont() {
    if (!synth_ || !soundFontPending_)
        return;
    soundFontPending_ = false;
    auto wanted = LocateSoundFont(options_.soundFontSetting);
    if (wanted.empty() || wanted == loadedSoundFont_)
        return;
    int id = fluid_synth_sfload(synth_, wanted.c_str(), 1);
    if (id == FLUID_FAILED)
        return; // the SoundFont that plays now is kept
    if (soundFontId_ >= 0)
        fluid_synth_sfunload(synth_, soundFontId_, 1);
    soundFontId_ = id;
    std::lock_guard state(state_);
    loadedSoundFont_ = wanted;
}

void FluidSynthSequencer::BeforePlay() {
    if (synth_) {
        fluid_synth_reverb_on(synth_, -1, 1);
        fluid_synth_chorus_on(synth_, -1, 1);
    }
}

void FluidSynthSequencer::RunOffline(std::size_t first, std::size_t end, double fromMs,
                                     double toMs) {
    const auto& events = tune_->Events();
    constexpr double kFramesPerMs = WaveWriter::kSampleRate / 1000.0;
    // Frames are counted from the anchor, where the tune stood at anchorMs; a change of speed
    // while rendering moves the anchor to the frame it came at.
    int64_t frame = 0, anchorFrame = 0;
    double anchorMs = fromMs, rate;
    {
        std::lock_guard state(state_);
        rate = rate_;
    }
    auto tuneMsAt = [&](int64_t f) {
        return anchorMs + double(f - anchorFrame) / kFramesPerMs * rate;
    };
    std::vector<int16_t> buffer(kRenderBlock * 2);
    for (std::size_t i = first;; ++i) {
        {
            std::lock_guard state(state_);
            if (rate_ != rate) {
                anchorMs = tuneMsAt(frame);
                anchorFrame = frame;
                rate = rate_;
            }
        }
        double eventMs = i < end ? tune_->Ms(events[i]) : toMs;
        auto target =
            anchorFrame + int64_t(std::llround((eventMs - anchorMs) * kFramesPerMs / rate));
        while (frame < target) {
            if (stopRequested_)
                return;
            int n = int(std::min<int64_t>(kRenderBlock, target - frame));
            fluid_synth_write_s16(synth_, n, buffer.data(), 0, 2, buffer.data(), 1, 2);
            if (options_.mix)
                options_.mix->ApplyInterleaved(buffer.data(), n);
            if (!wave_.Write(buffer.data(), std::size_t(n))) {
                std::lock_guard state(state_);
                outputError_ = kSeqWaveFileFailed;
                positionMs_ = std::min(tuneMsAt(frame), toMs);
                mode_ = SequencerMode::Stopped;
                return;
            }
            frame += n;
            std::lock_guard state(state_);
            offlineMs_ = std::min(tuneMsAt(frame), toMs);
        }
        if (i >= end)
            break;
        std::lock_guard state(state_);
        Send(tune_->Message(events[i]));
    }
    {
        std::lock_guard state(state_);
        ReleaseHeldNotes();
    }
    // The tail is not cut short by a command: it is short, and a file that ends in a click is
    // worse than a command that waits for it.
    bool written = true;
    for (int64_t tail = 0; written && tail < kLongestTailFrames; tail += kRenderBlock) {
        fluid_synth_write_s16(synth_, kRenderBlock, buffer.data(), 0, 2, buffer.data(), 1, 2);
        if (options_.mix)
            options_.mix->ApplyInterleaved(buffer.data(), kRenderBlock);
        int peak = 0;
        for (int16_t sample : buffer)
            peak = std::max(peak, std::abs(int(sample)));
        if (peak <= kSilentPeak && fluid_synth_get_active_voice_count(synth_) == 0)
            break; // a range that ended in silence gets no tail at all
        written = wave_.Write(buffer.data(), kRenderBlock);
    }
    std::lock_guard state(state_);
    if (!written || !wave_.Flush())
        outputError_ = kSeqWaveFileFailed;
    FinishRange(toMs);
}

void FluidSynthSequencer::FlushOutput() {
    if (wave_.IsOpen() && !wave_.Flush())
        outputError_ = kSeqWaveFileFailed;
}

void FluidSynthSequencer::Output(const uint8_t* b, uint32_t size) {
    if (size == 0)
        return;
    if (b[0] == 0xF0) {
        // The synthesizer takes the message without its F0 and F7 framing.
        uint32_t n = size - 1;
        if (n > 0 && b[size - 1] == 0xF7)
            --n;
        if (synth_ && n > 0)
            fluid_synth_sysex(synth_, reinterpret_cast<const char*>(b + 1), int(n), nullptr,
                              nullptr, nullptr, 0);
        return;
    }
    int channel = b[0] & 0x0F;
    int d1 = size > 1 ? b[1] & 0x7F : 0;
    int d2 = size > 2 ? b[2] & 0x7F : 0;
    switch (b[0] & 0xF0) {
    case 0x90:
        if (d2 > 0) {
            if (synth_)
                fluid_synth_noteon(synth_, channel, d1, d2);
            break;
        }
        [[fallthrough]];
    case 0x80:
        if (synth_)
            fluid_synth_noteoff(synth_, channel, d1);
        break;
    case 0xA0:
        if (synth_)
            fluid_synth_key_pressure(synth_, channel, d1, d2);
        break;
    case 0xB0:
        if (synth_)
            fluid_synth_cc(synth_, channel, d1, d2);
        break;
    case 0xC0:
        if (synth_)
            fluid_synth_program_change(synth_, channel, d1);
        break;
    case 0xD0:
        if (synth_)
            fluid_synth_channel_pressure(synth_, channel, d1);
        break;
    case 0xE0:
        if (synth_)
            fluid_synth_pitch_bend(synth_, channel, d1 | (d2 << 7));
        break;
    }
}

void FluidSynthSequencer::SilenceOutput() {
    // Sound off, not note off: a paused tune must fall silent now, not after its release tails;
    // the effect units would otherwise ring on for a while, so they go off until the next play.
    if (synth_) {
        fluid_synth_all_sounds_off(synth_, -1);
        fluid_synth_reverb_on(synth_, -1, 0);
        fluid_synth_chorus_on(synth_, -1, 0);
    }
}

} // namespace tunquil::platform
