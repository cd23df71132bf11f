#include "platform/ClockedSequencer.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <vector>

namespace tunquil::platform {

namespace {

// Anything past this is no MIDI file anyone wrote; refusing it keeps a wrong file from
// filling memory.
constexpr std::uintmax_t kLargestFile = 256u << 20;
constexpr int kDrumChannel = 9; // channel 10 as musicians count

} // namespace

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

uint32_t ReadSequence(const std::string& element, std::optional<MidiSequence>& tune) {
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

ClockedSequencer::ClockedSequencer(SendObserver sendObserver)
    : sendObserver_(std::move(sendObserver)) {}

void ClockedSequencer::Shutdown() {
    std::lock_guard command(command_);
    std::unique_lock state(state_);
    StopClock(state);
    Silence();
}

uint32_t ClockedSequencer::Open(const std::string& element, SequencerDeviceId& id) {
    std::lock_guard command(command_);
    if (openId_ != 0)
        return kSeqDeviceInUse;
    std::optional<MidiSequence> tune;
    if (uint32_t error = ReadSequence(element, tune))
        return error;
    if (uint32_t error = StartOutput())
        return error;
    std::lock_guard state(state_);
    channels_.reset(); // it reads the tune it replaces
    tune_ = std::move(tune);
    channels_.emplace(*tune_);
    id = openId_ = nextId_++;
    mode_ = SequencerMode::Stopped;
    positionMs_ = 0;
    outputError_ = kSeqOk;
    return kSeqOk;
}

uint32_t ClockedSequencer::SetTimeFormat(SequencerDeviceId id, SequencerTimeFormat format) {
    std::lock_guard command(command_);
    if (id == 0 || id != openId_)
        return kSeqInvalidDeviceId;
    return format == SequencerTimeFormat::Milliseconds ? kSeqOk : kSeqBadTimeFormat;
}

void ClockedSequencer::StopClock(std::unique_lock<std::mutex>& state) {
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

double ClockedSequencer::PlayingPositionLocked() const {
    if (PlaysOffline())
        return offlineMs_;
    double elapsed = std::max(
        0.0, std::chrono::duration<double, std::milli>(Clock::now() - anchorTime_).count());
    return std::min(anchorMs_ + elapsed * rate_, playToMs_);
}

uint32_t ClockedSequencer::Play(SequencerDeviceId id, std::optional<uint32_t> from,
                                std::optional<uint32_t> to) {
    std::lock_guard command(command_);
    std::unique_lock state(state_);
    if (id == 0 || id != openId_)
        return kSeqInvalidDeviceId;
    if (outputError_ != kSeqOk)
        return outputError_;
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

    BeforePlay();
    RestoreChannelsAt(fromMs);
    std::size_t first = tune_->FirstEventAtOrAfter(fromMs);
    std::size_t end = std::max(first, tune_->FirstEventAfter(toMs));
    mode_ = SequencerMode::Playing;
    playToMs_ = toMs;
    offlineMs_ = fromMs;
    anchorMs_ = fromMs;
    // An output that takes its messages ahead gets that lead for the first ones too: the tune
    // starts when the lead has passed.
    anchorTime_ = Clock::now() + lookahead_;
    timingChanged_ = false;
    if (PlaysOffline())
        clock_ = std::thread([=, this] { RunOffline(first, end, fromMs, toMs); });
    else
        clock_ = std::thread([=, this] { RunRealTime(first, end, toMs); });
    return kSeqOk;
}

void ClockedSequencer::RunRealTime(std::size_t first, std::size_t end, double toMs) {
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
        // An event goes to the output ahead of its moment by the output's own lead; the end of
        // the range comes on time.
        auto when = i < end ? due(tune_->Ms(events[i])) - lookahead_ : due(toMs);
        bool polled = false;
        if (pollInterval_ != Clock::duration::zero() && when - Clock::now() > pollInterval_) {
            when = Clock::now() + pollInterval_;
            polled = true;
        }
        if (wake_.wait_until(state, when,
                             [this] { return stopRequested_.load() || timingChanged_; })) {
            if (stopRequested_)
                return;
            timingChanged_ = false;
            continue;
        }
        if (pollInterval_ != Clock::duration::zero()) {
            if (uint32_t error = Poll()) {
                // The output failed: the play ends where it stands, and says why.
                positionMs_ = PlayingPositionLocked();
                ReleaseHeldNotes();
                mode_ = SequencerMode::Stopped;
                outputError_ = error;
                return;
            }
        }
        if (polled)
            continue;
        if (i >= end)
            break;
        auto now = Clock::now() + lookahead_;
        for (; i < end && due(tune_->Ms(events[i])) <= now; ++i) {
            sendingDue_ = due(tune_->Ms(events[i]));
            Send(tune_->Message(events[i]));
            if (sendObserver_)
                sendObserver_(*sendingDue_, Clock::now());
        }
        sendingDue_.reset();
    }
    FinishRange(toMs);
}

void ClockedSequencer::FinishRange(double toMs) {
    // Called by the clock thread with `state_` held.
    ReleaseHeldNotes();
    mode_ = SequencerMode::Stopped;
    positionMs_ = toMs;
}

uint32_t ClockedSequencer::Pause(SequencerDeviceId id) {
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

uint32_t ClockedSequencer::Stop(SequencerDeviceId id) {
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

uint32_t ClockedSequencer::Seek(SequencerDeviceId id, uint32_t positionMs) {
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

uint32_t ClockedSequencer::Close(SequencerDeviceId id) {
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
    // An output that failed during the tune is this close's failure too.
    uint32_t error = outputError_;
    outputError_ = kSeqOk;
    return error;
}

void ClockedSequencer::Halt(std::unique_lock<std::mutex>& state) {
    StopClock(state);
    Silence();
    FlushOutput();
}

uint32_t ClockedSequencer::Status(SequencerDeviceId id, SequencerStatusItem item, uint32_t& value) {
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

void ClockedSequencer::Send(const uint8_t* b, uint32_t size) {
    if (size == 0)
        return;
    if (b[0] >= 0xF0) {
        Output(b, size);
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
    case 0xA0: {
        // A note ends as the tune ends it (a note-off with its velocity, or a note-on of
        // velocity 0), and takes its key pressure, on the key it began on. One the tune ends
        // twice goes out twice, as the tune has it, on the key it would sound on now.
        Voice& voice = voices_[channel][d1];
        int key = voice.key != kSilent ? voice.key : Sounding(channel, d1);
        if (key < 0 || key > 127)
            break;
        const uint8_t message[3] = {b[0], uint8_t(key), uint8_t(d2)};
        Output(message, 3);
        if ((b[0] & 0xF0) != 0xA0)
            voice = Voice{};
        break;
    }
    default:
        Output(b, size);
    }
}

void ClockedSequencer::Silence() {
    // The notes that sounded end first, so that an output that holds a note until its note-off
    // (a module on a MIDI cable) lets every one go whatever it makes of what follows.
    DiscardAhead();
    ReleaseHeldNotes();
    SilenceOutput();
}

void ClockedSequencer::ReleaseHeldNotes() {
    for (int channel = 0; channel < 16; ++channel)
        for (int key = 0; key < 128; ++key)
            NoteOff(channel, key);
}

void ClockedSequencer::NoteOn(int channel, int key, int velocity) {
    Voice& voice = voices_[channel][key];
    int sounding = Sounding(channel, key);
    // A key struck again before its release: when a change of transposition put the old note
    // on another key of the output it ends first, or it would sound on; on the same key the
    // output takes the new stroke as the tune gives it.
    if (voice.key != kSilent && voice.key != sounding)
        NoteOff(channel, key);
    if (sounding < 0 || sounding > 127)
        return; // moved off the keyboard: not played, and so not ended either
    voice.key = uint8_t(sounding);
    voice.velocity = uint8_t(velocity);
    const uint8_t on[3] = {uint8_t(0x90 | channel), uint8_t(sounding), uint8_t(velocity)};
    Output(on, 3);
}

int ClockedSequencer::Sounding(int channel, int key) const {
    return channel == kDrumChannel ? key : key + transpose_;
}

void ClockedSequencer::NoteOff(int channel, int key) {
    Voice& voice = voices_[channel][key];
    if (voice.key == kSilent)
        return;
    const uint8_t off[3] = {uint8_t(0x80 | channel), voice.key, 0x40};
    Output(off, 3);
    voice = Voice{};
}

uint32_t ClockedSequencer::SetTempo(double rate) {
    std::lock_guard command(command_);
    if (!TempoInRange(rate))
        return kSeqOutOfRange;
    std::lock_guard state(state_);
    if (mode_ == SequencerMode::Playing && !PlaysOffline()) {
        anchorMs_ = PlayingPositionLocked();
        anchorTime_ = Clock::now();
        timingChanged_ = true;
        wake_.notify_all();
    }
    rate_ = rate;
    return kSeqOk;
}

uint32_t ClockedSequencer::SetTranspose(int semitones) {
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

void ClockedSequencer::RestoreChannelsAt(double ms) {
    if (!HasOutput())
        return;
    // Controllers the previous range left behind (a held pedal, a bend) must not leak into
    // this one; programs, volumes and the output's reset state stay as they are.
    for (int channel = 0; channel < 16; ++channel) {
        const uint8_t reset[3] = {uint8_t(0xB0 | channel), 121, 0};
        Output(reset, 3);
    }
    // What the tune has set on its channels by the position (programs, controllers, parameter
    // data, bends), as an output that played it from the start would have it.
    if (channels_)
        channels_->RestoreBefore(ms, [this](const uint8_t* b, uint32_t size) { Send(b, size); });
}

} // namespace tunquil::platform
