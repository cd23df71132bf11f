#include "midi/TMyMidi.h"

#include "base/Text.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

namespace tunquil {

using platform::SequencerMode;
using platform::SequencerStatusItem;

namespace {

// Clears the busy flag however the guarded step ends.
class BusyFlag {
public:
    explicit BusyFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~BusyFlag() { flag_ = false; }
    BusyFlag(const BusyFlag&) = delete;
    BusyFlag& operator=(const BusyFlag&) = delete;

private:
    bool& flag_;
};

constexpr char kNoDevice[] = "No MCI device open";

} // namespace

TMyMidi::TMyMidi(platform::ISequencerDevice& device) : device_(device) {}

TMyMidi::~TMyMidi() {
    Close();
}

std::string TMyMidi::ErrorText(uint32_t error) const {
    std::string text;
    if (!device_.ErrorText(error, text))
        return "Undefined error code";
    return CutUtf8(text, 255); // the texts came through a buffer of 256 characters
}

void TMyMidi::Notify(const std::string& text, int number) {
    if (OnStatus)
        OnStatus(this, text, number);
}

void TMyMidi::FailOpen(uint32_t error) {
    lastError_ = ErrorText(error);
    Notify("Error opening MCI device", int(error));
    Close();
    throw EMciError(lastError_, error);
}

int TMyMidi::Open() {
    std::error_code ec;
    if (std::filesystem::is_regular_file(MidiFile, ec)) {
        auto size = std::filesystem::file_size(MidiFile, ec);
        if (!ec)
            fileSize_ = int32_t(std::min<std::uintmax_t>(size, INT32_MAX));
    }
    platform::SequencerDeviceId id = 0;
    uint32_t error;
    {
        BusyFlag busy(busy_);
        error = device_.Open(MidiFile, id);
    }
    if (error)
        FailOpen(error);
    deviceID_ = int32_t(id);
    error = device_.SetTimeFormat(id, platform::SequencerTimeFormat::Milliseconds);
    if (error)
        FailOpen(error);
    length_ = QueryLength();
    Notify("Device ID is " + std::to_string(deviceID_), 0);
    return 0;
}

bool TMyMidi::Play() {
    if (deviceID_ == -1)
        return false;
    if (uint32_t error = device_.Play(uint32_t(deviceID_), 0u, std::nullopt)) {
        lastError_ = ErrorText(error);
        throw EMciError(lastError_, error);
    }
    pausedAt_ = -1;
    return true;
}

int TMyMidi::Pause() {
    if (deviceID_ == -1)
        throw EMciError(kNoDevice);
    if (uint32_t error = device_.Pause(uint32_t(deviceID_))) {
        lastError_ = ErrorText(error);
        throw EMciError(lastError_, error);
    }
    pausedAt_ = Position();
    return pausedAt_;
}

int TMyMidi::Resume() {
    if (pausedAt_ != -1) {
        PlayFrom(pausedAt_);
        pausedAt_ = -1;
    }
    return 0;
}

void TMyMidi::PlayFrom(int positionMs) {
    if (deviceID_ == -1)
        return;
    uint32_t error = 0;
    {
        // Our sequencer repositions any file at once: no stop first and no waiting around it,
        // which kept a large file silent for three seconds.
        BusyFlag busy(busy_);
        error = device_.Play(uint32_t(deviceID_), uint32_t(std::max(positionMs, 0)),
                             uint32_t(std::max(length_, 0)));
    }
    if (error)
        Notify("Error setting new play position", int(error));
    else
        Notify("No apparent problem setting position", 0);
}

void TMyMidi::Stop() {
    if (deviceID_ == -1)
        throw EMciError(kNoDevice);
    // Whatever the device answers, the tune is to be considered stopped.
    device_.Stop(uint32_t(deviceID_));
}

void TMyMidi::Seek(int positionMs) {
    if (deviceID_ == -1)
        throw EMciError(kNoDevice);
    if (uint32_t error = device_.Seek(uint32_t(deviceID_), uint32_t(std::max(positionMs, 0)))) {
        lastError_ = ErrorText(error);
        throw EMciError(lastError_, error);
    }
    pausedAt_ = -1;
}

void TMyMidi::SetTempo(double rate) {
    if (uint32_t error = device_.SetTempo(rate)) {
        lastError_ = ErrorText(error);
        throw EMciError(lastError_, error);
    }
}

void TMyMidi::SetTranspose(int semitones) {
    if (uint32_t error = device_.SetTranspose(semitones)) {
        lastError_ = ErrorText(error);
        throw EMciError(lastError_, error);
    }
}

void TMyMidi::Close() {
    if (deviceID_ != -1)
        device_.Close(uint32_t(deviceID_));
    deviceID_ = -1;
}

int32_t TMyMidi::QueryLength() {
    if (deviceID_ == -1) {
        Notify("No MIDI device open", 0);
        return 0;
    }
    uint32_t value = 0;
    if (uint32_t error = device_.Status(uint32_t(deviceID_), SequencerStatusItem::Length, value)) {
        lastError_ = ErrorText(error);
        return 0;
    }
    return int32_t(std::min<uint32_t>(value, INT32_MAX));
}

int TMyMidi::Position() {
    if (deviceID_ == -1 || busy_)
        return 0;
    uint32_t value = 0;
    if (uint32_t error =
            device_.Status(uint32_t(deviceID_), SequencerStatusItem::Position, value)) {
        lastError_ = ErrorText(error);
        return 0;
    }
    return int(std::min<uint32_t>(value, INT32_MAX));
}

int TMyMidi::Mode() {
    if (deviceID_ == -1)
        return kNotReady;
    if (busy_)
        return kSeeking;
    uint32_t value = 0;
    if (uint32_t error = device_.Status(uint32_t(deviceID_), SequencerStatusItem::Mode, value)) {
        lastError_ = ErrorText(error);
        if (!OnStatus)
            throw EMciError("could not get mode information");
        OnStatus(this, lastError_, int(error));
        return kQueryFailed;
    }
    switch (SequencerMode(value)) {
    case SequencerMode::NotReady:
        return kNotReady;
    case SequencerMode::Paused:
        return kPaused;
    case SequencerMode::Playing:
        return kPlaying;
    case SequencerMode::Stopped:
        return kStopped;
    case SequencerMode::Open:
        return kOpen;
    case SequencerMode::Seeking:
        return kSeeking;
    default:
        return kOther;
    }
}

} // namespace tunquil
