#include "midi/MidiPosition.h"

#include "midi/MidiData.h"

#include <algorithm>
#include <stdexcept>

namespace tunquil {

namespace {

constexpr uint8_t kSetTempo = 0x51;
constexpr uint8_t kTimeSignature = 0x58;

// Integer division does not fail by itself on zero; a zero divisor here comes from the file
// (a division word of 0, a time signature that leaves no ticks per beat) and must fail the
// computation instead.
int64_t Divide(int64_t a, int64_t b) {
    if (b == 0)
        throw std::runtime_error("Division by zero");
    return a / b;
}

} // namespace

TMidiPosition::TMidiPosition() {
    Reset();
}

void TMidiPosition::SetMidiData(TMidiData* midiData) {
    if (midiData == midiData_)
        return;
    int32_t was = tick_;
    midiData_ = midiData;
    Reset();
    SeekTick(was);
    Changed();
}

void TMidiPosition::Reset() {
    // Starting over reads the map again: the file attached may have been loaded anew.
    BuildMap();
    ppqn_ = midiData_ ? midiData_->PPQN() : kDefaultPPQN;
    tick_ = 0;
    timeMs_ = 0;
    tempo_ = kDefaultTempoMs;
    tempoTick_ = 0;
    tempoMs_ = 0;
    numerator_ = 4;
    denominatorExponent_ = 2;
    ticksPerBeat_ = ppqn_;
    ticksPerBar_ = ppqn_ * numerator_;
    signatureTick_ = 0;
    barCount_ = 0;
    bar_ = beat_ = tickInBeat_ = 0;
    eventIndex_ = 0;
}

void TMidiPosition::BuildMap() {
    map_.clear();
    for (int slot = 0; midiData_ && slot < TMidiData::kMaxTracks; ++slot) {
        const TMidiTrack* track = midiData_->Tracks(slot);
        for (int32_t i = 0; track && i < track->Count(); ++i) {
            const TMidiEvent& e = track->GetEvent(i);
            if (e.Status != 0xFF || e.Length <= 0)
                continue;
            const uint8_t* block = track->Block(e);
            if (block[0] == kSetTempo || (block[0] == kTimeSignature && slot == 0))
                map_.push_back({e.Time, block, e.Length});
        }
    }
    // Tracks in file order at the same tick, each track's events in its own order.
    std::stable_sort(map_.begin(), map_.end(),
                     [](const MapEvent& a, const MapEvent& b) { return a.time < b.time; });
}

void TMidiPosition::ApplyTempo(int32_t time, const uint8_t* block, int length) {
    if (length < 4) // too short to hold a tempo: ignored
        return;
    // 64-bit products: ticks times milliseconds per quarter passes 2^31 within an hour of
    // a high-resolution tune.
    tempoMs_ += Divide((int64_t{time} - tempoTick_) * tempo_, ppqn_);
    tempoTick_ = time;
    int32_t microseconds = (block[1] << 16) | (block[2] << 8) | block[3];
    tempo_ = microseconds / 1000;
}

void TMidiPosition::ApplyTimeSignature(int32_t time, const uint8_t* block, int length) {
    if (length < 3) // too short to hold numerator and denominator: ignored
        return;
    // Bars since the last change; a bar that has begun counts as a whole one.
    int64_t elapsed = int64_t{time} - signatureTick_;
    barCount_ += Divide(elapsed + ticksPerBar_ - 1, ticksPerBar_);
    signatureTick_ = time;
    numerator_ = block[1];
    denominatorExponent_ = block[2];
    if (denominatorExponent_ > 2) {
        int shift = denominatorExponent_ - 2;
        if (shift >= 31)
            throw std::runtime_error("Invalid time signature");
        ticksPerBeat_ = ppqn_ >> shift;
    } else if (denominatorExponent_ < 2) {
        ticksPerBeat_ = ppqn_ << (2 - denominatorExponent_);
    } else {
        ticksPerBeat_ = ppqn_;
    }
    ticksPerBar_ = ticksPerBeat_ * numerator_;
}

void TMidiPosition::SeekTick(int32_t tick) {
    if (tick < tick_)
        Reset();
    for (; eventIndex_ < static_cast<int32_t>(map_.size()); ++eventIndex_) {
        const MapEvent& e = map_[eventIndex_];
        if (e.time > tick)
            break;
        if (e.block[0] == kSetTempo)
            ApplyTempo(e.time, e.block, e.length);
        else
            ApplyTimeSignature(e.time, e.block, e.length);
    }
    tick_ = tick;

    int64_t r = int64_t{tick} - signatureTick_;
    int64_t beats = Divide(r, ticksPerBeat_);
    tickInBeat_ = static_cast<int32_t>(r % ticksPerBeat_);
    bar_ = Divide(beats, numerator_) + barCount_;
    beat_ = static_cast<int32_t>(beats % numerator_);

    timeMs_ = Divide((int64_t{tick} - tempoTick_) * tempo_, ppqn_) + tempoMs_;
}

int32_t TMidiPosition::EndTick() const {
    int32_t end = 0;
    if (!midiData_)
        return end;
    for (int slot = 0; slot < TMidiData::kMaxTracks; ++slot) {
        const TMidiTrack* track = midiData_->Tracks(slot);
        if (!track || track->Count() == 0)
            continue;
        // Trailing meta and system-exclusive events do not lengthen the tune.
        int32_t i = track->Count() - 1;
        while (i > 0 && track->GetEvent(i).Status >= 0xF0)
            --i;
        int32_t time = track->GetEvent(i).Time; // a copy: the packed field is unaligned
        end = std::max(end, time);
    }
    return end;
}

int64_t TMidiPosition::DurationMs() {
    int32_t was = tick_;
    SeekTick(EndTick());
    int64_t ms = timeMs_;
    SeekTick(was);
    return ms;
}

} // namespace tunquil
