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

// Anything past this is no MIDI file anyone wrote; refusing it keeps a wrong file from
// filling memory.
constexpr std::uintmax_t kLargestFile = 256u << 20;
constexpr int kRenderBlock = 4096;
// A rendering goes on after its last event until the synthesizer has fallen silent (its notes
// released, its reverb died away), but never longer than this.
constexpr int64_t kLongestTailFrames = 5 * int64_t(WaveWriter::kSampleRate);
// The loudest sample of a silent block: the synthesizer's dither alone stays below it.
constexpr int kSilentPeak = 8;

uint32_t ReadTuneBytes(const std::string& element, std::vector<uint8_t>& bytes) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(element, ec))
        return kSeqFileNotFound;
    auto size = std::filesystem::file_size(element, ec);
    if (ec)
        return kSeqFileNotFound;
    if (size > kLargestFile)
        return kSeqInvalidFile;
    std::ifstream in(element, std::ios::binary);
    if (!in)
        return kSeqFileNotFound;
    bytes.resize(size);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(size)))
        return kSeqFileNotFound;
    return kSeqOk;
}

uint32_t ReadTune(const std::string& element, std::optional<MidiSequence>& tune) {
    std::vector<uint8_t> bytes;
    if (uint32_t error = ReadTuneBytes(element, bytes))
        return error;
    try {
        tune = MidiSequence::Parse(bytes);
    } catch (const MidiSequenceError&) {
        return kSeqInvalidFile;
    }
    return kSeqOk;
}

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
    : options_(std::move(options)) {
    QuietSynthesizerLog();
}

FluidSynthSequencer::~FluidSynthSequencer() {
    std::lock_guard command(command_);
    std::unique_lock state(state_);
    StopClock(state);
    Silence();
    StopOutput();
}

uint32_t FluidSynthSequencer::StartOutput() {
    if (options_.output == SequencerOutputKind::None || synth_)
        return kSeqOk;
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

uint32_t FluidSynthSequencer::Open(const std::string& element, SequencerDeviceId& id) {
    std::lock_guard command(command_);
    if (openId_ != 0)
        return kSeqDeviceInUse;
    std::optional<MidiSequence> tune;
    if (uint32_t error = ReadTune(element, tune))
        return error;
    if (uint32_t error = StartOutput())
        return error;
    LoadPendingSoundFont();
    std::lock_guard state(state_);
    channels_.reset(); // it reads the tune it replaces
    tune_ = std::move(tune);
    channels_.emplace(*tune_);
    id = openId_ = nextId_++;
    mode_ = SequencerMode::Stopped;
    positionMs_ = 0;
    waveFailed_ = false;
    return kSeqOk;
}

uint32_t FluidSynthSequencer::SetTimeFormat(SequencerDeviceId id, SequencerTimeFormat format) {
    std::lock_guard command(command_);
    if (id == 0 || id != openId_)
        return kSeqInvalidDeviceId;
    return format == SequencerTimeFormat::Milliseconds ? kSeqOk : kSeqBadTimeFormat;
}

void FluidSynthSequencer::StopClock(std::unique_lock<std::mutex>& state) {
    if (!clock_.joinable())
        return;
    stopRequested_ = true;
    wake_.notify_all();
    std::thread ending = std::move(clock_);
    state.unlock();
    ending.join();
    state.lock();
    stopRequested_ = false;
}

double FluidSynthSequencer::PlayingPositionLocked() const {
    if (options_.output == SequencerOutputKind::WaveFile)
        return renderedMs_;
    double elapsed = std::chrono::duration<double, std::milli>(Clock::now() - anchorTime_).count();
    return std::min(anchorMs_ + elapsed * rate_, playToMs_);
}

uint32_t FluidSynthSequencer::Play(SequencerDeviceId id, std::optional<uint32_t> from,
                                   std::optional<uint32_t> to) {
    std::lock_guard command(command_);
    std::unique_lock state(state_);
    if (id == 0 || id != openId_)
        return kSeqInvalidDeviceId;
    if (waveFailed_)
        return kSeqWaveFileFailed;
    double current = mode_ == SequencerMode::Playing ? PlayingPositionLocked() : positionMs_;
    StopClock(state);
    // Whatever the range, nothing of the interrupted play may go on sounding.
    Silence();
    // Positions are whole milliseconds while the tune's end usually is not: a range that asks
    // for the rounded length means the very end.
    double length = tune_->LengthMs();
    double lastMs = std::max(std::round(length), length);
    double fromMs = from ? double(*from) : current;
    double toMs = to ? double(*to) : length;
    if (fromMs > lastMs || toMs > lastMs || fromMs > toMs) {
        if (mode_ == SequencerMode::Playing) {
            positionMs_ = current;
            mode_ = SequencerMode::Stopped;
        }
        return kSeqOutOfRange;
    }
    fromMs = std::min(fromMs, length);
    toMs = std::min(toMs, length);

    if (synth_) {
        fluid_synth_reverb_on(synth_, -1, 1);
        fluid_synth_chorus_on(synth_, -1, 1);
    }
    RestoreChannelsAt(fromMs);
    std::size_t first = tune_->FirstEventAtOrAfter(fromMs);
    std::size_t end = std::max(first, tune_->FirstEventAfter(toMs));
    mode_ = SequencerMode::Playing;
    playToMs_ = toMs;
    renderedMs_ = fromMs;
    anchorMs_ = fromMs;
    anchorTime_ = Clock::now();
    timingChanged_ = false;
    if (options_.output == SequencerOutputKind::WaveFile)
        clock_ = std::thread([=, this] { RunRender(first, end, fromMs, toMs); });
    else
        clock_ = std::thread([=, this] { RunRealTime(first, end, toMs); });
    return kSeqOk;
}

void FluidSynthSequencer::RunRealTime(std::size_t first, std::size_t end, double toMs) {
    const auto& events = tune_->Events();
    // Read with `state_` held, so that a change of speed is seen by the next moment worked out.
    auto due = [&](double ms) {
        return anchorTime_ +
               std::chrono::duration_cast<Clock::duration>(
                   std::chrono::duration<double, std::milli>((ms - anchorMs_) / rate_));
    };
    std::unique_lock state(state_);
    std::size_t i = first;
    for (;;) {
        auto when = due(i < end ? tune_->Ms(events[i]) : toMs);
        if (wake_.wait_until(state, when,
                             [this] { return stopRequested_.load() || timingChanged_; })) {
            if (stopRequested_)
                return;
            timingChanged_ = false;
            continue;
        }
        if (i >= end)
            break;
        auto now = Clock::now();
        for (; i < end && due(tune_->Ms(events[i])) <= now; ++i) {
            Send(tune_->Message(events[i]));
            if (options_.sendObserver)
                options_.sendObserver(due(tune_->Ms(events[i])), Clock::now());
        }
    }
    FinishRange(toMs);
}

void FluidSynthSequencer::RunRender(std::size_t first, std::size_t end, double fromMs,
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
                waveFailed_ = true;
                positionMs_ = std::min(tuneMsAt(frame), toMs);
                mode_ = SequencerMode::Stopped;
                return;
            }
            frame += n;
            std::lock_guard state(state_);
            renderedMs_ = std::min(tuneMsAt(frame), toMs);
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
        waveFailed_ = true;
    FinishRange(toMs);
}

void FluidSynthSequencer::FinishRange(double toMs) {
    // Called by the clock thread with `state_` held.
    ReleaseHeldNotes();
    mode_ = SequencerMode::Stopped;
    positionMs_ = toMs;
}

uint32_t FluidSynthSequencer::Pause(SequencerDeviceId id) {
    std::lock_guard command(command_);
    std::unique_lock state(state_);
    if (id == 0 || id != openId_)
        return kSeqInvalidDeviceId;
    if (mode_ == SequencerMode::Stopped) {
        // A tune that is not playing is held where it stands, ready to go on from there.
        mode_ = SequencerMode::Paused;
        return kSeqOk;
    }
    if (mode_ != SequencerMode::Playing)
        return kSeqOk;
    double at = PlayingPositionLocked();
    StopClock(state);
    Silence();
    // The clock may have reached the end while we waited for it.
    if (mode_ == SequencerMode::Playing) {
        positionMs_ = at;
        mode_ = SequencerMode::Paused;
    }
    return kSeqOk;
}

uint32_t FluidSynthSequencer::Stop(SequencerDeviceId id) {
    std::lock_guard command(command_);
    std::unique_lock state(state_);
    if (id == 0 || id != openId_)
        return kSeqInvalidDeviceId;
    if (mode_ == SequencerMode::Playing)
        positionMs_ = PlayingPositionLocked();
    Halt(state);
    mode_ = SequencerMode::Stopped;
    return kSeqOk;
}

uint32_t FluidSynthSequencer::Seek(SequencerDeviceId id, uint32_t positionMs) {
    std::lock_guard command(command_);
    std::unique_lock state(state_);
    if (id == 0 || id != openId_)
        return kSeqInvalidDeviceId;
    const double length = tune_->LengthMs();
    if (positionMs > std::max(std::round(length), length))
        return kSeqOutOfRange;
    Halt(state);
    // Nothing is sent: the channels are set up for the position by the play that follows.
    positionMs_ = std::min(double(positionMs), length);
    mode_ = SequencerMode::Stopped;
    return kSeqOk;
}

uint32_t FluidSynthSequencer::Close(SequencerDeviceId id) {
    std::lock_guard command(command_);
    std::unique_lock state(state_);
    if (id == 0 || id != openId_)
        return kSeqInvalidDeviceId;
    Halt(state);
    channels_.reset();
    tune_.reset();
    openId_ = 0;
    mode_ = SequencerMode::NotReady;
    positionMs_ = 0;
    // A recording that could not be written whole is this close's failure too.
    return waveFailed_ ? kSeqWaveFileFailed : kSeqOk;
}

void FluidSynthSequencer::Halt(std::unique_lock<std::mutex>& state) {
    StopClock(state);
    Silence();
    if (wave_.IsOpen() && !wave_.Flush())
        waveFailed_ = true;
}

uint32_t FluidSynthSequencer::Status(SequencerDeviceId id, SequencerStatusItem item,
                                     uint32_t& value) {
    std::lock_guard command(command_);
    std::lock_guard state(state_);
    if (id == 0 || id != openId_)
        return kSeqInvalidDeviceId;
    switch (item) {
    case SequencerStatusItem::Length:
        value = uint32_t(std::llround(tune_->LengthMs()));
        return kSeqOk;
    case SequencerStatusItem::Position:
        value = uint32_t(
            std::llround(mode_ == SequencerMode::Playing ? PlayingPositionLocked() : positionMs_));
        return kSeqOk;
    case SequencerStatusItem::Mode:
        value = uint32_t(mode_);
        return kSeqOk;
    }
    return kSeqBadStatusItem;
}

void FluidSynthSequencer::Send(const uint8_t* b, uint32_t size) {
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
            NoteOn(channel, d1, d2);
            break;
        }
        [[fallthrough]];
    case 0x80:
        NoteOff(channel, d1);
        break;
    case 0xA0:
        if (synth_ && voices_[channel][d1].key != kSilent)
            fluid_synth_key_pressure(synth_, channel, voices_[channel][d1].key, d2);
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

void FluidSynthSequencer::Silence() {
    // Sound off, not note off: a paused tune must fall silent now, not after its release tails;
    // the effect units would otherwise ring on for a while, so they go off until the next play.
    if (synth_) {
        fluid_synth_all_sounds_off(synth_, -1);
        fluid_synth_reverb_on(synth_, -1, 0);
        fluid_synth_chorus_on(synth_, -1, 0);
    }
    for (auto& channel : voices_)
        for (auto& voice : channel)
            voice = Voice{};
}

void FluidSynthSequencer::ReleaseHeldNotes() {
    for (int channel = 0; channel < 16; ++channel)
        for (int key = 0; key < 128; ++key)
            NoteOff(channel, key);
}

namespace {
constexpr int kDrumChannel = 9; // channel 10 as musicians count
}

void FluidSynthSequencer::NoteOn(int channel, int key, int velocity) {
    Voice& voice = voices_[channel][key];
    // A key struck again before its release: the old note ends first, in case a change of
    // transposition put it on another key of the synthesizer.
    NoteOff(channel, key);
    int sounding = channel == kDrumChannel ? key : key + transpose_;
    if (sounding < 0 || sounding > 127)
        return; // moved off the keyboard: not played, and so not ended either
    voice.key = uint8_t(sounding);
    voice.velocity = uint8_t(velocity);
    if (synth_)
        fluid_synth_noteon(synth_, channel, sounding, velocity);
}

void FluidSynthSequencer::NoteOff(int channel, int key) {
    Voice& voice = voices_[channel][key];
    if (voice.key == kSilent)
        return;
    if (synth_)
        fluid_synth_noteoff(synth_, channel, voice.key);
    voice = Voice{};
}

uint32_t FluidSynthSequencer::SetTempo(double rate) {
    std::lock_guard command(command_);
    if (!TempoInRange(rate))
        return kSeqOutOfRange;
    std::lock_guard state(state_);
    if (mode_ == SequencerMode::Playing && options_.output != SequencerOutputKind::WaveFile) {
        anchorMs_ = PlayingPositionLocked();
        anchorTime_ = Clock::now();
        timingChanged_ = true;
        wake_.notify_all();
    }
    rate_ = rate;
    return kSeqOk;
}

uint32_t FluidSynthSequencer::SetTranspose(int semitones) {
    std::lock_guard command(command_);
    if (!TransposeInRange(semitones))
        return kSeqOutOfRange;
    std::lock_guard state(state_);
    transpose_ = semitones;
    // Notes held through the change move with it: a sustained chord would otherwise clash
    // with the melody that follows in the new key. Each is struck again on its new key.
    for (int channel = 0; channel < 16; ++channel) {
        if (channel == kDrumChannel)
            continue;
        for (int key = 0; key < 128; ++key) {
            Voice held = voices_[channel][key];
            if (held.key != kSilent && held.key != key + transpose_)
                NoteOn(channel, key, held.velocity);
        }
    }
    return kSeqOk;
}

void FluidSynthSequencer::RestoreChannelsAt(double ms) {
    if (!synth_)
        return;
    // Controllers the previous range left behind (a held pedal, a bend) must not leak into
    // this one; programs, volumes and the synthesizer's reset state stay as they are.
    for (int channel = 0; channel < 16; ++channel)
        fluid_synth_cc(synth_, channel, 121, 0);
    // What the tune has set on its channels by the position (programs, controllers, parameter
    // data, bends), as a synthesizer that played it from the start would have it.
    if (channels_)
        channels_->RestoreBefore(ms, [this](const uint8_t* b, uint32_t size) { Send(b, size); });
}

} // namespace tunquil::platform
