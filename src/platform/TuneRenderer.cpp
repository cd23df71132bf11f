#include "platform/TuneRenderer.h"

#include "platform/SoundFontLocator.h"

#include <algorithm>
#include <cmath>
#include <fluidsynth.h>
#include <vector>

namespace tunquil::platform {

namespace {

constexpr int kBlockFrames = 4096;
constexpr double kFadeOutMs = 20;
constexpr int kDrumChannel = 9;

} // namespace

TuneRenderer::TuneRenderer(const std::string& soundFontSetting, int sampleRate)
    : sampleRate_(sampleRate) {
    QuietSynthesizerLog();
    auto soundFont = LocateSoundFont(soundFontSetting);
    if (soundFont.empty())
        throw TuneRenderError("No SoundFont was found to render with");
    settings_ = new_fluid_settings();
    if (settings_) {
        fluid_settings_setnum(settings_, "synth.sample-rate", sampleRate);
        // Rendering happens on the worker's own thread; the synthesizer's threads would only
        // compete with the other workers for the cores.
        fluid_settings_setint(settings_, "synth.cpu-cores", 1);
        // Only the samples of the instruments a tune chooses are read, not the whole
        // SoundFont: a worker then holds a few megabytes of samples instead of the 140 of a
        // full General MIDI set.
        fluid_settings_setint(settings_, "synth.dynamic-sample-loading", 1);
        synth_ = new_fluid_synth(settings_);
    }
    if (!synth_) {
        if (settings_)
            delete_fluid_settings(settings_);
        throw TuneRenderError("The synthesizer could not be started");
    }
    if (fluid_synth_sfload(synth_, soundFont.c_str(), 1) == FLUID_FAILED) {
        delete_fluid_synth(synth_);
        delete_fluid_settings(settings_);
        throw TuneRenderError("The SoundFont " + soundFont.string() + " cannot be loaded");
    }
}

TuneRenderer::~TuneRenderer() {
    delete_fluid_synth(synth_);
    delete_fluid_settings(settings_);
}

std::size_t TuneRenderer::FramesFor(double lengthMs, double rate) const {
    return std::size_t(std::max<long long>(0, std::llround(lengthMs / rate * sampleRate_ / 1000)));
}

void TuneRenderer::Send(std::span<const uint8_t> b, int semitones) {
    if (b.empty())
        return;
    if (b[0] == 0xF0) {
        // The synthesizer takes the message without its F0 and F7 framing.
        std::size_t n = b.size() - 1;
        if (n > 0 && b.back() == 0xF7)
            --n;
        if (n > 0)
            fluid_synth_sysex(synth_, reinterpret_cast<const char*>(b.data() + 1), int(n), nullptr,
                              nullptr, nullptr, 0);
        return;
    }
    int channel = b[0] & 0x0F;
    int d1 = b.size() > 1 ? b[1] & 0x7F : 0;
    int d2 = b.size() > 2 ? b[2] & 0x7F : 0;
    int status = b[0] & 0xF0;
    if ((status == 0x80 || status == 0x90 || status == 0xA0) && channel != kDrumChannel) {
        // A key shifted out of range is left out, on and off alike, so none hangs.
        d1 += semitones;
        if (d1 < 0 || d1 > 127)
            return;
    }
    switch (status) {
    case 0x90:
        if (d2 > 0) {
            fluid_synth_noteon(synth_, channel, d1, d2);
            break;
        }
        [[fallthrough]];
    case 0x80:
        fluid_synth_noteoff(synth_, channel, d1);
        break;
    case 0xA0:
        fluid_synth_key_pressure(synth_, channel, d1, d2);
        break;
    case 0xB0:
        fluid_synth_cc(synth_, channel, d1, d2);
        break;
    case 0xC0:
        fluid_synth_program_change(synth_, channel, d1);
        break;
    case 0xD0:
        fluid_synth_channel_pressure(synth_, channel, d1);
        break;
    case 0xE0:
        fluid_synth_pitch_bend(synth_, channel, d1 | (d2 << 7));
        break;
    }
}

bool TuneRenderer::Render(const MidiSequence& tune, const Sink& sink, double rate, int semitones) {
    fluid_synth_system_reset(synth_);
    const auto& events = tune.Events();
    const double framesPerMs = sampleRate_ / 1000.0 / rate;
    const std::size_t total = FramesFor(tune.LengthMs(), rate);
    const std::size_t fadeFrames =
        std::min(total, std::size_t(std::llround(kFadeOutMs * sampleRate_ / 1000)));
    std::vector<float> block(std::size_t(kBlockFrames) * 2);
    std::size_t frame = 0, next = 0;
    while (frame < total) {
        // Every event due by this frame goes to the synthesizer before the frame is rendered.
        while (next < events.size() &&
               std::size_t(std::llround(tune.Ms(events[next]) * framesPerMs)) <= frame)
            Send(tune.Message(events[next++]), semitones);
        std::size_t until = total;
        if (next < events.size())
            until = std::min(until, std::size_t(std::llround(tune.Ms(events[next]) * framesPerMs)));
        auto n = int(std::min<std::size_t>(kBlockFrames, until - frame));
        fluid_synth_write_float(synth_, n, block.data(), 0, 2, block.data(), 1, 2);
        for (int i = 0; i < n; ++i) {
            std::size_t left = total - (frame + std::size_t(i));
            if (left <= fadeFrames) {
                float g = float(left - 1) / float(fadeFrames);
                block[2 * i] *= g;
                block[2 * i + 1] *= g;
            }
        }
        if (!sink(block.data(), std::size_t(n)))
            return false;
        frame += std::size_t(n);
    }
    // The tune's last notes and the reverb would otherwise start the next tune.
    fluid_synth_all_sounds_off(synth_, -1);
    return true;
}

} // namespace tunquil::platform
